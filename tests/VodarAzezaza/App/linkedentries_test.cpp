// The plan folder and the notes folder sync, so anyone who shares them can plant
// links there. Whatever sits at a name the stores read or write, nothing outside the
// folder is read into it, created or changed, and the stores say what they skipped.
#include "modelharness.h"

#include "board.h"
#include "notesmodel.h"
#include "notestore.h"
#include "plannerstore.h"
#include "richtext.h"
#include "textfile.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Plant { LinkToFile, DanglingLink, LinkToFolder, HardLink };

const char* nameOf(Plant plant)
{
    switch (plant) {
    case Plant::LinkToFile: return "a link to a file elsewhere";
    case Plant::DanglingLink: return "a dangling link";
    case Plant::LinkToFolder: return "a link to a folder";
    case Plant::HardLink: return "a hard link";
    }
    return "";
}

bool isSymbolic(Plant plant) { return plant != Plant::HardLink; }

const QByteArray secret = "SECRET 0600 line\nsecond private line\n";

// A private place beside the shared folder: a private file, a folder with a file, and
// the names a dangling link points at.
class Elsewhere {
public:
    Elsewhere()
    {
        write("private.txt", secret, 0600);
        write("hard.txt", secret, 0600);
        QDir().mkpath(dir_.filePath("folder"));
        write("folder/inside.txt", secret, 0600);
    }

    QString path(const QString& name) const { return dir_.filePath(name); }

    void plant(Plant plant, const QString& at) const
    {
        const QByteArray where = QFile::encodeName(at);
        int done = -1;
        switch (plant) {
        case Plant::LinkToFile: done = ::symlink(QFile::encodeName(path("private.txt")).constData(), where.constData()); break;
        case Plant::DanglingLink: done = ::symlink(QFile::encodeName(path("created.txt")).constData(), where.constData()); break;
        case Plant::LinkToFolder: done = ::symlink(QFile::encodeName(path("folder")).constData(), where.constData()); break;
        case Plant::HardLink: done = ::link(QFile::encodeName(path("hard.txt")).constData(), where.constData()); break;
        }
        ASSERT_EQ(done, 0) << at.toStdString();
    }

    // Every entry with its bytes and mode, to see that nothing changed or appeared.
    QMap<QString, QString> snapshot() const
    {
        QMap<QString, QString> out;
        QDirIterator it(dir_.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            struct stat info {};
            ::lstat(QFile::encodeName(entry).constData(), &info);
            QFile file(entry);
            const QByteArray bytes = S_ISREG(info.st_mode) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            out.insert(QDir(dir_.path()).relativeFilePath(entry),
                       QString::number(info.st_mode, 8) + u' ' + QString::fromUtf8(bytes));
        }
        return out;
    }

private:
    void write(const QString& name, const QByteArray& bytes, int mode) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        ::chmod(QFile::encodeName(path(name)).constData(), mode_t(mode));
    }

    QTemporaryDir dir_;
};

// The regular files of a folder, not following links, that hold the private text.
QStringList holdingSecret(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        if (QFileInfo(entry).isSymLink())
            continue;
        QFile file(entry);
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains("SECRET"))
            out.append(QDir(folder).relativeFilePath(entry));
    }
    return out;
}

void putFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const Day monday{2024, 1, 29};

struct Scenario {
    const char* what;
    // The entry planted, relative to the folder.
    QString entry;
    // Plants it through `plant`, then uses the store as the planner does; returns the
    // names the store says it skipped.
    std::function<QStringList(const QString& folder, const std::function<void(const QString&)>& plant)> run;
    // Whether the store names the entry when it is a symbolic link.
    bool named = true;
};

QList<Scenario> scenarios()
{
    QList<Scenario> out;
    out.append({"a week file", QStringLiteral("2024-W05.md"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/2024-W05.md"));
                    PlannerStore store(folder);
                    Planner plan;
                    store.loadBase(plan);
                    store.loadWeek(monday, plan);
                    plan.days[monday.adding(2)].append(Thing::make(QStringLiteral("call mum")));
                    (void)store.save(plan);
                    plan.days[monday.adding(2)].append(Thing::make(QStringLiteral("and dad")));
                    (void)store.save(plan);
                    store.reloadIfChanged(plan);
                    return store.skippedFiles();
                }});
    out.append({"the lists file", QStringLiteral("eventually.md"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/eventually.md"));
                    PlannerStore store(folder);
                    Planner plan;
                    store.loadBase(plan);
                    plan.lists[0].things.append(Thing::make(QStringLiteral("someday")));
                    (void)store.save(plan);
                    return store.skippedFiles();
                }});
    out.append({"a week file found by the search", QStringLiteral("2024-W05.md"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/2024-W05.md"));
                    PlannerStore store(folder);
                    Planner plan;
                    store.loadEverything(plan);
                    return store.skippedFiles();
                }});
    // The conflict copy's name is known ahead: the file's name and the time.
    out.append({"the conflict copy's name", QString(), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    PlannerStore store(folder);
                    Planner plan;
                    store.loadWeek(monday, plan);
                    plan.days[monday].append(Thing::make(QStringLiteral("ours")));
                    EXPECT_TRUE(store.save(plan).ok());
                    putFile(folder + QStringLiteral("/2024-W05.md"), "# theirs\n");
                    const QDateTime now = QDateTime::currentDateTime();
                    for (int s = 0; s < 4; ++s)
                        plant(folder + QStringLiteral("/2024-W05 (conflict ") + now.addSecs(s).toString(u"yyyy-MM-dd HHmmss")
                              + QStringLiteral(").md"));
                    plan.days[monday].append(Thing::make(QStringLiteral("more of ours")));
                    const Status saved = store.save(plan);
                    EXPECT_FALSE(saved.ok());
                    EXPECT_TRUE(saved.errorText().contains(u"your version is in")) << saved.errorText().toStdString();
                    return store.skippedFiles();
                }, false});
    out.append({"a note file", QStringLiteral("a.rtf"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/a.rtf"));
                    NoteStore store(folder);
                    store.load();
                    EXPECT_TRUE(store.notes().isEmpty());
                    (void)store.save(Note(QStringLiteral("a"), QStringLiteral("mine"), QDateTime::currentDateTimeUtc()));
                    return store.skippedEntries();
                }});
    out.append({"a Markdown note to convert", QStringLiteral("leak.md"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/leak.md"));
                    NoteStore store(folder);
                    store.load();
                    return store.skippedEntries();
                }});
    out.append({"the note a Markdown note converts to", QStringLiteral("keys.rtf"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    putFile(folder + QStringLiteral("/keys.md"), "ssh-ed25519 first\nssh-ed25519 planted\n");
                    plant(folder + QStringLiteral("/keys.rtf"));
                    NoteStore store(folder);
                    store.load();
                    return store.skippedEntries();
                }});
    out.append({"the folder of converted notes", QString(), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    putFile(folder + QStringLiteral("/old.md"), "an old note\n");
                    plant(folder + u'/' + NoteStore::legacyFolderName());
                    NoteStore store(folder);
                    store.load();
                    EXPECT_EQ(store.notes().size(), 1);
                    return store.skippedEntries();
                }, false});
    out.append({"the board file", QStringLiteral("board.json"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/board.json"));
                    NoteStore store(folder);
                    store.load();
                    const auto note = store.create();
                    store.modifyBoard([&](Board& board) { board.move(note->id(), board.columns().first().id, 0); });
                    return store.skippedEntries();
                }});
    out.append({"the order file", QStringLiteral("order.json"), [](const QString& folder, const auto& plant) {
                    QDir().mkpath(folder);
                    plant(folder + QStringLiteral("/order.json"));
                    NoteStore store(folder);
                    store.load();
                    store.setManualOrder({QStringLiteral("x")});
                    store.create();
                    return store.skippedEntries();
                }});
    return out;
}

TEST(LinkedEntriesTest, NothingOutsideTheFolderIsReadCreatedOrChanged)
{
    for (const Scenario& scenario : scenarios()) {
        for (const Plant plant : {Plant::LinkToFile, Plant::DanglingLink, Plant::LinkToFolder, Plant::HardLink}) {
            SCOPED_TRACE(std::string(scenario.what) + " as " + nameOf(plant));
            const Elsewhere elsewhere;
            const auto before = elsewhere.snapshot();
            QTemporaryDir shared;
            const QString folder = shared.filePath("synced");

            const QStringList skipped = scenario.run(folder, [&](const QString& at) { elsewhere.plant(plant, at); });

            EXPECT_EQ(elsewhere.snapshot(), before);
            if (isSymbolic(plant)) {
                EXPECT_EQ(holdingSecret(folder), QStringList());
                if (scenario.named) {
                    EXPECT_EQ(skipped, QStringList{scenario.entry});
                }
            } else {
                // A hard link is a file of the folder like any other; writing it
                // never reaches the other name.
                EXPECT_EQ(skipped, QStringList());
            }
        }
    }
}

} // namespace

namespace {

void ageFile(const QString& path, qint64 seconds)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("half a save");
    file.flush();
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
}

TEST(LinkedEntriesTest, TheFootnoteNamesWhatWasSkippedAndAStartClearsKilledWrites)
{
    ModelHarness harness;
    const Elsewhere elsewhere;
    const auto before = elsewhere.snapshot();
    const QString stale = QStringLiteral("/.pemby-0a1b2c3d4e.tmp");
    for (const QString& folder : {harness.folder(), harness.notesAppFolder(), harness.notesFolder()}) {
        QDir().mkpath(folder);
        ageFile(folder + stale, 3600);
    }
    // Today's week file and a note, both links to a private file.
    elsewhere.plant(Plant::LinkToFile, harness.folder() + QStringLiteral("/2026-W10.md"));
    elsewhere.plant(Plant::DanglingLink, harness.notesAppFolder() + QStringLiteral("/keys.rtf"));

    AppModel& m = harness.start();
    for (const QString& folder : {harness.folder(), harness.notesAppFolder(), harness.notesFolder()})
        EXPECT_FALSE(pemby::entryExists(folder + stale)) << folder.toStdString();
    EXPECT_EQ(m.footnote(), "skipped 2026-W10.md: not a regular file.");
    m.setMode(Mode::Notes);
    m.notes().reload();
    EXPECT_EQ(m.footnote(), "skipped keys.rtf: not a regular file.");
    EXPECT_EQ(elsewhere.snapshot(), before);
}

} // namespace
