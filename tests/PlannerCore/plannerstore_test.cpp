#include "plannerstore.h"

#include "markdown.h"
#include "support/markdowntesting.h"
#include "support/plannertesting.h"
#include "textfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const Day week5 = day("2024-01-29");
const Day week6 = day("2024-02-05");
const Day wednesday5 = day("2024-01-31");
const MonthKey may{2024, 5};
const QDateTime longAgo(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());

// A scratch planner folder with the few file operations the tests need. Files written
// by the store are told from the others by their modification time: `age()` moves
// every file into the past, and `fresh()` lists those written since.
class Folder {
public:
    explicit Folder(const QString& sub = QStringLiteral("Pemby Planner")) : path_(root_.filePath(sub)) {}

    const QString& path() const { return path_; }
    QString file(const QString& name) const { return path_ + u'/' + name; }

    void put(const QString& name, const QByteArray& bytes) const
    {
        QDir().mkpath(path_);
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void put(const QString& name, const QString& text) const { put(name, text.toUtf8()); }
    QByteArray bytes(const QString& name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString text(const QString& name) const { return QString::fromUtf8(bytes(name)); }
    QStringList names() const { return QDir(path_).entryList(QDir::Files, QDir::Name); }
    QStringList conflictCopies() const { return names().filter(QStringLiteral("conflict")); }

    void age() const
    {
        for (const QString& name : names()) {
            QFile f(file(name));
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
    }
    QStringList fresh() const
    {
        QStringList out;
        for (const QString& name : names()) {
            if (QFileInfo(file(name)).lastModified() > longAgo.addYears(1))
                out.append(name);
        }
        return out;
    }

private:
    QTemporaryDir root_;
    QString path_;
};

const QStringList exampleFiles{"2024-W05.md", "2024-05.md", "eventually.md", "repeats.md"};

void putExamples(const Folder& folder, const std::function<QByteArray(QByteArray)>& form = {})
{
    for (const QString& name : exampleFiles)
        folder.put(name, form ? form(fixture(name)) : fixture(name));
}

// A copy kept beside a file that can't be read says so under its first line; the
// rest is the plan's version of the file.
QString unmarked(const QString& copy)
{
    QStringList lines = copy.split(u'\n');
    if (lines.size() < 2 || !lines[1].startsWith("<!-- your version of ") || !lines[1].endsWith(" -->"))
        return QStringLiteral("no mark in: ") + copy;
    lines.removeAt(1);
    return lines.join(u'\n');
}

void loadExamples(PlannerStore& store, Planner& plan)
{
    store.loadBase(plan);
    store.loadWeek(week5, plan);
    store.loadMonth(may, plan);
}

} // namespace

TEST(PlannerStore, ANewFolderSavesNothingAndCreatesNothing)
{
    Folder folder;
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadWeeks(day("2024-01-01"), day("2024-02-20"), plan);
    store.loadMonth(may, plan);
    EXPECT_EQ(plan.lists, (QList<EventuallyList>{{"eventually", {}}}));
    EXPECT_TRUE(plan.repeats.isEmpty());
    EXPECT_TRUE(plan.days.isEmpty());
    EXPECT_TRUE(plan.months.isEmpty());
    EXPECT_EQ(store.loadedWeeks().size(), 8);
    // A day the calendar cannot move ends the walk instead of looping on it.
    store.loadWeeks(Day{2024, 2, 30}, day("2024-03-10"), plan);
    EXPECT_EQ(store.loadedWeeks().size(), 9);
    EXPECT_TRUE(store.save(plan).ok());
    EXPECT_FALSE(QFileInfo::exists(folder.path()));
}

TEST(PlannerStore, WritesOnlyTheFilesWhoseTextChanged)
{
    Folder folder;
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadWeeks(day("2024-01-01"), day("2024-02-20"), plan);
    plan.add(QStringLiteral("buy stamps"), Place::onDay(wednesday5));
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.names(), QStringList{"2024-W05.md"});
    EXPECT_TRUE(folder.text("2024-W05.md").contains("\n## wed 2024-01-31\n- [ ] buy stamps\n\n## thu"));

    folder.age();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});

    // A change inside a thing reaches its file, and only its file.
    plan.add(QStringLiteral("read the paper"), Place::inList(0));
    ASSERT_TRUE(store.save(plan).ok());
    folder.age();
    plan.toggle(plan.days[wednesday5].first().id);
    plan.update(plan.lists[0].things.first().id, [](Thing& t) { t.title = "read the news"; });
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), (QStringList{"2024-W05.md", "eventually.md"}));
    EXPECT_TRUE(folder.text("2024-W05.md").contains("\n- [x] buy stamps\n"));
    EXPECT_EQ(folder.text("eventually.md"), "# eventually\n\n## eventually\n- [ ] read the news\n");

    // Emptied, the file is rewritten in its empty form, never deleted.
    plan.days.clear();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.text("2024-W05.md"), Markdown::encodeWeek(week5, Planner{}));

    // A week whose rules were applied is written so that they stay applied.
    plan.appliedRepeats[week6] = {"4f0c2a"};
    folder.age();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{"2024-W06.md"});
    EXPECT_TRUE(folder.text("2024-W06.md").startsWith("# 2024 week 6\n<!-- repeats: 4f0c2a -->\n"));
}

TEST(PlannerStore, WritesMonthsAndListsOnlyWhenTheyHoldSomething)
{
    Folder folder;
    folder.put("2024-05.md", fixture("2024-05.md"));
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadMonth(may, plan);
    store.loadMonth(MonthKey{2024, 6}, plan);
    EXPECT_EQ(titles(plan.months[may]), QStringList{"renew the passport"});
    EXPECT_FALSE(plan.months.contains(MonthKey{2024, 6}));
    plan.months[MonthKey{2024, 6}] = {};
    folder.age();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});

    plan.months[may].clear();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{"2024-05.md"});
    EXPECT_EQ(folder.text("2024-05.md"), "# 2024-05, roughly\n\n");

    struct Case { const char* what; std::function<void(Planner&)> change; };
    const Case cases[] = {
        {"untouched", [](Planner&) {}},
        {"renamed", [](Planner& p) { p.renameList(0, "Inbox"); }},
        {"second list", [](Planner& p) { p.addList(); }},
        {"a thing", [](Planner& p) { p.add(QStringLiteral("x"), Place::inList(0)); }},
    };
    for (const auto& c : cases) {
        Folder empty;
        PlannerStore fresh(empty.path());
        Planner p;
        fresh.loadBase(p);
        c.change(p);
        ASSERT_TRUE(fresh.save(p).ok());
        EXPECT_EQ(empty.names(), std::string(c.what) == "untouched" ? QStringList{} : QStringList{"eventually.md"}) << c.what;
    }
}

TEST(PlannerStore, ReadsItsOwnFilesInAnyLineEndingAndLeavesThemAlone)
{
    const std::function<QByteArray(QByteArray)> forms[] = {
        [](QByteArray b) { return b; },
        [](QByteArray b) { return b.replace("\n", "\r\n"); },
        [](QByteArray b) { return b.replace('\n', '\r'); },
        [](QByteArray b) { return "\xEF\xBB\xBF" + b; },
        [](QByteArray b) { return "\xEF\xBB\xBF" + b.replace("\n", "\r\n"); },
    };
    for (const auto& form : forms) {
        Folder folder;
        putExamples(folder, form);
        PlannerStore store(folder.path());
        Planner plan;
        loadExamples(store, plan);
        EXPECT_EQ(idless(plan), examplePlan());
        folder.age();
        ASSERT_TRUE(store.save(plan).ok());
        EXPECT_EQ(folder.fresh(), QStringList{});
        for (const QString& name : exampleFiles)
            EXPECT_EQ(folder.bytes(name), form(fixture(name))) << name.toStdString();
        EXPECT_FALSE(store.reloadIfChanged(plan));
    }
}

TEST(PlannerStore, ComparesTextsAsCanonicallyEquivalent)
{
    Folder folder;
    folder.put("2024-05.md", QStringLiteral("# 2024-05, roughly\n\n- [ ] caf") + QStringLiteral("e\u0301") + "\n");
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadMonth(may, plan);
    plan.months[may][0].title = QStringLiteral("caf\u00e9");
    folder.age();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});

    // A sync service composing the file again changes nothing the plan holds, and a save
    // after it writes nothing; a change of an accent is a change.
    folder.put("2024-05.md", QStringLiteral("# 2024-05, roughly\n\n- [ ] caf\u00e9\n"));
    EXPECT_FALSE(store.reloadIfChanged(plan));
    folder.age();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});
    folder.put("2024-05.md", QStringLiteral("# 2024-05, roughly\n\n- [ ] cafe\u0300\n"));
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(plan.months[may][0].title, QStringLiteral("cafe\u0300"));
    plan.months[may][0].title = QStringLiteral("caf\u00e9");
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.text("2024-05.md"), QStringLiteral("# 2024-05, roughly\n\n- [ ] caf\u00e9\n"));
}

// A file that stands as it was read is not read again at each look, but no write
// hides from the look: not one of the same size that puts the old modification time
// back, not one made within the same tick of the file system's clock.
TEST(PlannerStore, NoOutsideWriteHidesBehindAFileThatLooksTheSame)
{
    Folder folder;
    const QString name = QStringLiteral("2024-W05.md");
    folder.put(name, QStringLiteral("## wed 2024-01-31\n- [ ] buy milk\n"));
    const QDateTime modified = QFileInfo(folder.file(name)).lastModified();
    // Settled: a few seconds after its last write, the file's look can be trusted.
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    PlannerStore store(folder.path());
    Planner plan;
    store.loadWeek(week5, plan);
    EXPECT_FALSE(store.reloadIfChanged(plan));

    const auto sameSizeSameTime = [&](const char* text) {
        folder.put(name, QString::fromUtf8(text));
        QFile f(folder.file(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    };
    sameSizeSameTime("## wed 2024-01-31\n- [ ] buy malk\n");
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(describe(plan), "2024-01-31[buy malk]");
    sameSizeSameTime("## wed 2024-01-31\n- [ ] buy mulk\n");  // at once: not settled
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(describe(plan), "2024-01-31[buy mulk]");
    EXPECT_FALSE(store.reloadIfChanged(plan));
}

TEST(PlannerStore, ReloadsWhatChangedOutsideOnce)
{
    Folder folder;
    putExamples(folder);
    PlannerStore store(folder.path());
    Planner plan;
    loadExamples(store, plan);
    store.loadWeek(week6, plan);
    EXPECT_FALSE(store.reloadIfChanged(plan));

    folder.put("2024-W05.md", QStringLiteral("## wed 2024-01-31\n- [ ] changed by hand\n"));
    folder.put("2024-W06.md", QStringLiteral("## mon 2024-02-05\n- [ ] appeared\n"));
    folder.put("2024-W07.md", QStringLiteral("## mon 2024-02-12\n- [ ] not loaded\n"));
    folder.put("eventually.md", QStringLiteral("# eventually\n"));
    folder.put("repeats.md", QStringLiteral("# repeats\n\n"));
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(describe(plan), "2024-01-31[changed by hand] 2024-02-05[appeared] list0[] 2024-05[renew the passport]");
    EXPECT_EQ(plan.lists.first().name, "eventually");
    EXPECT_TRUE(plan.repeats.isEmpty());
    EXPECT_TRUE(plan.appliedRepeats.isEmpty());
    EXPECT_FALSE(store.reloadIfChanged(plan));

    // A file that disappears changes nothing; loading a loaded week again reads nothing.
    QFile::remove(folder.file("2024-05.md"));
    folder.put("2024-W05.md", QStringLiteral("## mon 2024-01-29\n- [ ] again\n"));
    store.loadWeek(week5, plan);
    EXPECT_EQ(titles(plan.days[wednesday5]), QStringList{"changed by hand"});
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(describe(plan), "2024-01-29[again] 2024-02-05[appeared] list0[] 2024-05[renew the passport]");

    // Without a change the missing month is not written back; with one it is.
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_FALSE(QFileInfo::exists(folder.file("2024-05.md")));
    plan.add(QStringLiteral("and this"), Place::inMonth(may));
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.text("2024-05.md"), "# 2024-05, roughly\n\n- [ ] renew the passport\n- [ ] and this\n");
}

// The look after an outside change reads only what the kernel says changed, and still
// sees every change: a write that keeps the size and the time, a file renamed over, a
// file for a week looked for without one, a change through another name of the file,
// one made while the folder was moved away. A week spelled otherwise is no plan file.
TEST(PlannerStore, EveryOutsideChangeIsSeenAtTheNextLook)
{
    const QString week = QStringLiteral("2024-W05.md");
    const struct {
        const char* name;
        std::function<void(const Folder& folder, const QString& elsewhere)> change;
        bool changed;
        const char* plan;
    } cases[] = {
        {"same size, same time",
         [&](const Folder& folder, const QString&) {
             const QDateTime modified = QFileInfo(folder.file(week)).lastModified();
             folder.put(week, QStringLiteral("## wed 2024-01-31\n- [ ] buy malk\n"));
             QFile f(folder.file(week));
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
         },
         true, "2024-01-31[buy malk] list0[] 2024-05[renew the passport]"},
        {"renamed over",
         [&](const Folder& folder, const QString&) {
             folder.put(QStringLiteral("new.tmp"), QStringLiteral("## thu 2024-02-01\n- [ ] renamed in\n"));
             ASSERT_EQ(::rename(QFile::encodeName(folder.file(QStringLiteral("new.tmp"))).constData(),
                                QFile::encodeName(folder.file(week)).constData()),
                       0);
         },
         true, "2024-02-01[renamed in] list0[] 2024-05[renew the passport]"},
        {"a week looked for without a file",
         [&](const Folder& folder, const QString&) {
             folder.put(QStringLiteral("2024-W06.md"), QStringLiteral("## mon 2024-02-05\n- [ ] appeared\n"));
         },
         true, "2024-01-31[buy milk] 2024-02-05[appeared] list0[] 2024-05[renew the passport]"},
        {"deleted and made again",
         [&](const Folder& folder, const QString&) {
             ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("2024-05.md"))));
             folder.put(QStringLiteral("2024-05.md"), QStringLiteral("# 2024-05\n- [ ] made again\n"));
         },
         true, "2024-01-31[buy milk] list0[] 2024-05[made again]"},
        {"through another name elsewhere",
         [&](const Folder&, const QString& elsewhere) {
             QFile f(elsewhere);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write("## fri 2024-02-02\n- [ ] through the link\n");
         },
         true, "2024-02-02[through the link] list0[] 2024-05[renew the passport]"},
        {"while the folder was away",
         [&](const Folder& folder, const QString&) {
             const QString away = folder.path() + QStringLiteral(" away");
             ASSERT_TRUE(QDir().rename(folder.path(), away));
             QFile f(away + u'/' + week);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write("## sat 2024-02-03\n- [ ] while away\n");
             f.close();
             ASSERT_TRUE(QDir().rename(away, folder.path()));
         },
         true, "2024-02-03[while away] list0[] 2024-05[renew the passport]"},
        {"a week spelled otherwise",
         [&](const Folder& folder, const QString&) {
             folder.put(QStringLiteral("2024-W5.md"), QStringLiteral("## mon 2024-01-29\n- [ ] not ours\n"));
         },
         false, "2024-01-31[buy milk] list0[] 2024-05[renew the passport]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        folder.put(week, QStringLiteral("## wed 2024-01-31\n- [ ] buy milk\n"));
        folder.put(QStringLiteral("2024-05.md"), QStringLiteral("# 2024-05\n- [ ] renew the passport\n"));
        QTemporaryDir other;
        const QString elsewhere = other.filePath(week);
        ASSERT_EQ(::link(QFile::encodeName(folder.file(week)).constData(), QFile::encodeName(elsewhere).constData()), 0);
        PlannerStore store(folder.path());
        Planner plan;
        store.loadBase(plan);
        store.loadWeek(week5, plan);
        store.loadWeek(week6, plan);
        store.loadMonth(may, plan);
        EXPECT_FALSE(store.reloadIfChanged(plan));
        c.change(folder, elsewhere);
        EXPECT_EQ(store.reloadIfChanged(plan), c.changed);
        EXPECT_EQ(describe(plan), c.plan);
        EXPECT_FALSE(store.reloadIfChanged(plan));
    }
}

TEST(PlannerStore, LoadsEveryWeekAndMonthFileByItsName)
{
    Folder folder;
    putExamples(folder);
    for (const char* name : {"notes.md", "2024-W05 copy.md", "2024-13.md", "2024-00.md", "x-y-z.md", "2024-W.md", "2024-Wx.md",
                             "W05-2024.md", "2024-W05.txt", "2024-W2147483647.md", "99999999999-12.md", "2024-w06.md"})
        folder.put(QString::fromUtf8(name), QStringLiteral("## mon 2024-02-05\n- [ ] must not load\n- [ ] x\n"));
    // Names that are not canonical make the store read the canonical file.
    folder.put("2024-W9.md", QByteArray());
    folder.put("2024-W09.md", QStringLiteral("## tue 2024-02-27\n- [ ] week nine\n"));
    folder.put("2024-6.md", QByteArray());
    QDir(folder.path()).mkdir("2024-W10.md");

    PlannerStore store(folder.path());
    Planner plan;
    store.loadEverything(plan);
    EXPECT_EQ(describe(plan), "2024-01-29[water the plants send the invoice] 2024-01-31[buy stamps] 2024-02-27[week nine] "
                              "2024-05[renew the passport]");
    QList<Day> weeks = store.loadedWeeks().values();
    std::sort(weeks.begin(), weeks.end());
    EXPECT_EQ(weeks, (QList<Day>{week5, day("2024-02-26")}));
    EXPECT_EQ(store.loadedMonths(), (QSet<MonthKey>{may, MonthKey{2024, 6}}));
    EXPECT_TRUE(plan.lists.isEmpty());  // loadEverything reads no lists or rules

    Planner none;
    PlannerStore missing(folder.path() + "/nowhere");
    missing.loadEverything(none);
    EXPECT_TRUE(missing.loadedWeeks().isEmpty());
}

// A folder of many files is read on a few threads at once: each file must still land
// in its own week or month, with its own layout, as loading them one by one does.
TEST(PlannerStore, LoadingEverythingAtOnceTakesEachFileAsLoadingItAloneDoes)
{
    const auto fill = [](const Folder& folder) {
        for (int w = 0; w < 90; ++w) {
            const Day monday = week5.adding(7 * w);
            QString text = QStringLiteral("# week %1\n\n## mon %2\n- [ ] first of %1 {zz}\n    - [x] a step of %1\n"
                                          "free text of %1\n- [ ] second of %1\n    > a note of %1\n")
                               .arg(w)
                               .arg(monday.iso());
            if (w % 3 == 0)
                text.replace(u'\n', QStringLiteral("\r\n"));
            folder.put(Markdown::weekFileName(monday), text);
        }
        for (int m = 1; m <= 12; ++m)
            folder.put(Markdown::monthFileName(MonthKey{2025, m}),
                       QStringLiteral("# mine\n- [ ] month %1\n* kept as it is\n").arg(m));
        folder.put(Markdown::weekFileName(week5.adding(7 * 90)), QByteArray("## mon 2025-10-20\n- [ ] \xff\n"));
        ASSERT_TRUE(QFile::link("/dev/null", folder.file(Markdown::weekFileName(week5.adding(7 * 91)))));
    };
    Folder together, alone;
    fill(together);
    fill(alone);
    const auto clock = [] { return QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)); };

    PlannerStore all(together.path(), clock);
    Planner allPlan;
    all.loadEverything(allPlan);
    PlannerStore one(alone.path(), clock);
    Planner onePlan;
    for (int w = 0; w < 92; ++w)
        one.loadWeek(week5.adding(7 * w), onePlan);
    for (int m = 1; m <= 12; ++m)
        one.loadMonth(MonthKey{2025, m}, onePlan);

    EXPECT_EQ(describe(allPlan), describe(onePlan));
    EXPECT_EQ(allPlan.days.value(week5.adding(7 * 41)).first().title, "first of 41");
    EXPECT_EQ(allPlan.days.value(week5.adding(7 * 41)).last().note, "a note of 41");
    EXPECT_EQ(all.loadedWeeks(), one.loadedWeeks());
    EXPECT_EQ(all.loadedMonths(), one.loadedMonths());
    EXPECT_EQ(all.takeFilesRead(), one.takeFilesRead());
    EXPECT_EQ(all.skippedFiles(), one.skippedFiles());
    EXPECT_EQ(all.unreadableWeek(week5.adding(7 * 90)), one.unreadableWeek(week5.adding(7 * 90)));
    EXPECT_TRUE(all.unreadableWeek(week5.adding(7 * 90)));

    // The same edit of every file then writes the same texts: each kept its own lines.
    const auto edit = [](Planner& plan) {
        for (auto it = plan.days.begin(); it != plan.days.end(); ++it)
            it->first().title += QStringLiteral(" edited");
        for (auto it = plan.months.begin(); it != plan.months.end(); ++it)
            it->first().done = true;
        plan.add(QStringLiteral("into the unreadable week"), Place::onDay(week5.adding(7 * 90)));
    };
    edit(allPlan);
    edit(onePlan);
    EXPECT_EQ(all.save(allPlan).errorText(), one.save(onePlan).errorText());
    ASSERT_EQ(together.names(), alone.names());
    for (const QString& name : together.names())
        EXPECT_EQ(together.text(name), alone.text(name)) << name.toStdString();
    EXPECT_TRUE(together.text(Markdown::weekFileName(week5.adding(7 * 63))).contains("free text of 63"));
}

TEST(PlannerStore, TriesAFailedWriteAgainAtTheNextSave)
{
    // CI runs as root, so a regular file where the folder should be is what stops a write.
    Folder folder(QStringLiteral("blocker/Pemby Planner"));
    const QString blocker = QFileInfo(folder.path()).path();
    QDir().mkpath(QFileInfo(blocker).path());
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadWeek(week5, plan);
    plan.add(QStringLiteral("buy stamps"), Place::onDay(wednesday5));
    const Status failed = store.save(plan);
    EXPECT_FALSE(failed.ok());
    // The error names the folder and why; files that share it do not repeat it.
    EXPECT_EQ(failed.errorText(), "couldn't create the folder " + QDir::toNativeSeparators(folder.path()) + " (Not a directory)");

    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.names(), QStringList{"2024-W05.md"});
}

TEST(PlannerStore, KeepsAFileItCannotReadAndSavesItsOwnVersionBeside)
{
    Folder folder;
    const QByteArray broken = "# 2024 week 5\n\n## wed 2024-01-31\n- [ ] caf\xE9 in Latin-1\n";
    folder.put("2024-W05.md", broken);
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadWeeks(week5, week6, plan);
    EXPECT_TRUE(plan.days.isEmpty());

    // What is added to that week lives on in a conflict copy, not only in memory; the
    // saves until the file is fixed keep that one copy up to date.
    plan.add(QStringLiteral("mine"), Place::onDay(wednesday5));
    plan.add(QStringLiteral("next week"), Place::onDay(week6));
    QString copy;
    for (const QString& more : {QString(), QStringLiteral("and more")}) {
        if (!more.isEmpty())
            plan.add(more, Place::onDay(wednesday5));
        const Status refused = store.save(plan);
        ASSERT_EQ(folder.conflictCopies().size(), 1);
        copy = folder.conflictCopies().first();
        EXPECT_EQ(refused.errorText(), "2024-W05.md can't be read (not valid UTF-8 text); your version is in " + copy);
        EXPECT_EQ(folder.bytes("2024-W05.md"), broken);
        EXPECT_EQ(unmarked(folder.text(copy)), Markdown::encodeWeek(week5, plan));
        EXPECT_FALSE(store.reloadIfChanged(plan));
    }
    // The refusal does not keep the other files from being written.
    EXPECT_EQ(folder.names(), (QStringList{copy, "2024-W05.md", "2024-W06.md"}));

    // A file that turns unreadable after it was looked for is kept just the same, and
    // the error names every file it could not save.
    folder.put("eventually.md", QByteArray("## eventually\n- [ ] \xFF\n"));
    plan.add(QStringLiteral("listed"), Place::inList(0));
    const Status both = store.save(plan);
    EXPECT_TRUE(both.errorText().startsWith("2024-W05.md can't be read")) << both.errorText().toStdString();
    EXPECT_TRUE(both.errorText().endsWith("; also eventually.md")) << both.errorText().toStdString();
    EXPECT_EQ(folder.bytes("eventually.md"), QByteArray("## eventually\n- [ ] \xFF\n"));

    // Fixed, the file is read back as it is; the planner's version stays in its copy.
    folder.put("2024-W05.md", QStringLiteral("## mon 2024-01-29\n- [ ] fixed\n"));
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(titles(plan.days[week5]), QStringList{"fixed"});
    EXPECT_FALSE(plan.days.contains(wednesday5));
    EXPECT_TRUE(folder.text(copy).contains("- [ ] and more\n"));
}

TEST(PlannerStore, KeepsAnOutsideChangeAndSavesItsOwnVersionBeside)
{
    Folder folder;
    putExamples(folder);
    PlannerStore store(folder.path());
    Planner plan;
    loadExamples(store, plan);

    Planner phone;
    phone.days[week5] = {thing("edited on the phone")};
    const QString outside = Markdown::encodeWeek(week5, phone);
    folder.put("2024-W05.md", outside);
    plan.add(QStringLiteral("edited here"), Place::onDay(wednesday5));
    const QString ours = Markdown::encodeWeek(week5, plan);

    const Status conflict = store.save(plan);
    ASSERT_FALSE(conflict.ok());
    ASSERT_EQ(folder.conflictCopies().size(), 1);
    const QString copy = folder.conflictCopies().first();
    EXPECT_EQ(conflict.errorText(), "2024-W05.md was changed elsewhere; your version is in " + copy);
    EXPECT_TRUE(copy.startsWith("2024-W05 (conflict ")) << copy.toStdString();
    EXPECT_EQ(folder.text("2024-W05.md"), outside);
    EXPECT_EQ(folder.text(copy), ours);

    // Until the outside text is read back, saves report the conflict without more copies.
    EXPECT_EQ(store.save(plan).errorText(), conflict.errorText());
    EXPECT_EQ(folder.conflictCopies().size(), 1);
    // A further edit goes to the same copy: one outside change, one copy, up to date.
    plan.add(QStringLiteral("and more"), Place::onDay(wednesday5));
    EXPECT_EQ(store.save(plan).errorText(), conflict.errorText());
    ASSERT_EQ(folder.conflictCopies(), QStringList{copy});
    EXPECT_EQ(folder.text(copy), Markdown::encodeWeek(week5, plan));
    // Another outside change is another version to keep: it gets a copy of its own.
    phone.days[week5].append(thing("and again"));
    folder.put("2024-W05.md", Markdown::encodeWeek(week5, phone));
    EXPECT_FALSE(store.save(plan).ok());
    ASSERT_EQ(folder.conflictCopies().size(), 2);
    EXPECT_EQ(folder.text(copy), Markdown::encodeWeek(week5, plan));
    phone.days[week5].removeLast();
    folder.put("2024-W05.md", outside);

    // Reading back takes the outside version; then nothing is left to write.
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(describe(plan), "2024-01-29[edited on the phone] list0[fix the bike light] list1[] 2024-05[renew the passport]");
    folder.age();
    EXPECT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});

    // No loader mistakes a conflict copy for a plan file.
    PlannerStore again(folder.path());
    Planner reread;
    again.loadEverything(reread);
    EXPECT_EQ(again.loadedWeeks(), QSet<Day>{week5});
    EXPECT_EQ(again.loadedMonths(), QSet<MonthKey>{may});
    EXPECT_EQ(describe(reread), "2024-01-29[edited on the phone] 2024-05[renew the passport]");
}

TEST(PlannerStore, ConflictCopiesAreNamedByTheStoresClock)
{
    Folder folder;
    putExamples(folder);
    const QDateTime at(QDate(2024, 3, 1), QTime(10, 15, 30), QTimeZone::utc());
    PlannerStore store(folder.path(), [&] { return at; });
    Planner plan;
    loadExamples(store, plan);

    // Two outside versions within the same second: the later copy takes the next number.
    Planner phone;
    for (const char* title : {"edited on the phone", "and again"}) {
        phone.days[week5].append(thing(title));
        folder.put("2024-W05.md", Markdown::encodeWeek(week5, phone));
        plan.add(QString::fromUtf8(title) + QStringLiteral(" here"), Place::onDay(wednesday5));
        EXPECT_FALSE(store.save(plan).ok());
    }
    EXPECT_EQ(folder.conflictCopies(),
              (QStringList{"2024-W05 (conflict 2024-03-01 101530 2).md", "2024-W05 (conflict 2024-03-01 101530).md"}));
}

TEST(PlannerStore, TreatsAFileThatAppearedAsAnOutsideChange)
{
    Folder folder;
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadWeek(week5, plan);
    store.loadWeek(week6, plan);
    plan.add(QStringLiteral("mine"), Place::onDay(week5));
    plan.add(QStringLiteral("same on both"), Place::onDay(week6));
    // Another device made week 5 its own way, and week 6 exactly as this plan has it.
    folder.put("2024-W05.md", QStringLiteral("## mon 2024-01-29\n- [ ] theirs\n"));
    folder.put("2024-W06.md", Markdown::encodeWeek(week6, plan));

    const Status status = store.save(plan);
    EXPECT_TRUE(status.errorText().startsWith("2024-W05.md was changed elsewhere")) << status.errorText().toStdString();
    EXPECT_EQ(folder.text("2024-W05.md"), "## mon 2024-01-29\n- [ ] theirs\n");
    EXPECT_EQ(folder.conflictCopies().size(), 1);
    EXPECT_TRUE(store.reloadIfChanged(plan));
    EXPECT_EQ(describe(plan), "2024-01-29[theirs] 2024-02-05[same on both] list0[]");
    EXPECT_TRUE(store.save(plan).ok());
}

TEST(PlannerStore, ReportsWhatItTookFromTheFiles)
{
    Folder folder;
    putExamples(folder);
    PlannerStore store(folder.path());
    Planner plan;
    EXPECT_TRUE(store.takeFilesRead().isEmpty());

    loadExamples(store, plan);
    store.loadWeek(week6, plan);  // no file: nothing taken
    store.loadMonth(MonthKey{2024, 6}, plan);
    PlannerStore::FilesRead expected;
    expected.weeks = {week5};
    expected.months = {may};
    expected.lists = expected.repeats = true;
    EXPECT_EQ(store.takeFilesRead(), expected);
    EXPECT_TRUE(store.takeFilesRead().isEmpty());

    // Loading again reads nothing; a save reads nothing either.
    store.loadWeek(week5, plan);
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_FALSE(store.reloadIfChanged(plan));
    EXPECT_TRUE(store.takeFilesRead().isEmpty());

    folder.put("2024-W06.md", QStringLiteral("## mon 2024-02-05\n- [ ] appeared\n"));
    folder.put("repeats.md", QStringLiteral("# repeats\n\n"));
    EXPECT_TRUE(store.reloadIfChanged(plan));
    PlannerStore::FilesRead reread;
    reread.weeks = {week6};
    reread.repeats = true;
    EXPECT_EQ(store.takeFilesRead(), reread);
}

namespace {

const Day week10{2026, 3, 2};
const QStringList handEdited{"2026-W10.md", "eventually.md", "repeats.md"};

QByteArray handEditedFixture(const QString& name)
{
    return fixture("handedited/" + name);
}

} // namespace

TEST(PlannerStore, LeavesAFileAloneUntilWhatItHoldsChangesAndThenKeepsEveryLineItDidNotTake)
{
    // Typed by hand: a title of its own, free text, "* " bullets, numbered lines,
    // headings that end in no date or in a day of another week, a bare checkbox, a
    // brace group that names no field, lists past the sixth, a rule without an id.
    Folder folder;
    for (const QString& name : handEdited)
        folder.put(name, handEditedFixture(name));
    folder.put("2026-W09.md", QStringLiteral("# last week\n\n## mon 2026-02-23\n* a bullet\n- [x] done {sync:ABC}\n"));
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    store.loadWeeks(week10.adding(-7), week10, plan);
    store.loadEverything(plan);  // as a search does
    EXPECT_EQ(titles(plan.days[Day{2026, 3, 4}]), (QStringList{"buy milk {note:shopping}", "{z-5}"}));
    EXPECT_EQ(plan.lists.size(), 6);
    EXPECT_EQ(plan.repeats.size(), 1);

    folder.age();
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});
    for (const QString& name : handEdited)
        EXPECT_EQ(folder.bytes(name), handEditedFixture(name)) << name.toStdString();

    // One edit in each file rewrites just those files, with every line their readers
    // left in its section, after the line it followed.
    plan.update(plan.days[Day{2026, 3, 5}].first().id, [](Thing& t) { t.done = true; });
    plan.add(QStringLiteral("a new book"), Place::inList(1));
    plan.repeats[0].mark = Mark::Green;
    ASSERT_TRUE(store.save(plan).ok());
    EXPECT_EQ(folder.fresh(), handEdited);
    for (const QString& name : handEdited)
        EXPECT_EQ(folder.text(name), QString::fromUtf8(handEditedFixture("edited/" + name))) << name.toStdString();

    // What was written reads back as the plan.
    PlannerStore again(folder.path());
    Planner reread;
    again.loadBase(reread);
    again.loadWeeks(week10.adding(-7), week10, reread);
    EXPECT_EQ(idless(reread), idless(plan));
}

TEST(PlannerStore, KeepsTheLinesOfAListThatIsGoneAndOfThingsThatMoved)
{
    Folder folder;
    folder.put("eventually.md", QStringLiteral("# eventually\n\n## eventually\n- [ ] a\nabout a\n- [ ] b\n\n## to read\n"
                                               "* a bullet\n- [ ] c\nafter c\n\n## someday\n- [ ] d\n"));
    PlannerStore store(folder.path());
    Planner plan;
    store.loadBase(plan);
    // "a" moves to the last list, "c"'s list goes with its things.
    plan.move(plan.lists[0].things[0].id, Place::inList(2));
    plan.removeList(1, std::nullopt);
    plan.renameList(0, "inbox");
    ASSERT_TRUE(store.save(plan).ok());
    // The gone list's lines follow the things of the list before it, in their order.
    EXPECT_EQ(folder.text("eventually.md"), "# eventually\n\n## inbox\nabout a\n- [ ] b\n* a bullet\nafter c\n\n"
                                            "## someday\n- [ ] d\n- [ ] a\n");
    PlannerStore again(folder.path());
    Planner reread;
    again.loadBase(reread);
    EXPECT_EQ(idless(reread).lists, idless(plan).lists);
}

TEST(PlannerStore, SkipsPlanFilesThatAreNoRegularFilesOrTooLargeAndSaysWhich)
{
    // A FIFO would block the read for ever, /dev/zero would fill the memory, and a file
    // of many megabytes is no week of ours.
    Folder folder;
    QDir().mkpath(folder.path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.file("2024-W05.md")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", folder.file("2024-W06.md")));
    folder.put("2024-W07.md", QByteArray("## mon 2024-02-12\n- [ ] x\n") + QByteArray(9 * 1024 * 1024, ' '));
    folder.put("2024-05.md", QByteArray("# 2024-05, roughly\n\n- [ ] renew the passport\n"));

    QStringList warnings;
    static QStringList* sink = nullptr;
    sink = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        sink->append(text);
    });
    PlannerStore store(folder.path());
    Planner plan;
    store.loadWeeks(week5, day("2024-02-12"), plan);
    store.loadEverything(plan);
    qInstallMessageHandler(previous);

    EXPECT_EQ(describe(plan), "2024-05[renew the passport]");
    for (const char* name : {"2024-W05.md", "2024-W06.md", "2024-W07.md"}) {
        EXPECT_TRUE(std::any_of(warnings.cbegin(), warnings.cend(), [&](const QString& w) {
            return w.contains(QLatin1String(name)) && w.contains("skipping");
        })) << name << " in " << warnings.join(" | ").toStdString();
    }
    // Nor is one of them ever written over.
    plan.add(QStringLiteral("mine"), Place::onDay(wednesday5));
    const Status kept = store.save(plan);
    EXPECT_TRUE(kept.errorText().startsWith("2024-W05.md can't be read (it is not a regular file)")) << kept.errorText().toStdString();
    EXPECT_TRUE(QFileInfo(folder.file("2024-W05.md")).isFile() == false);
    EXPECT_EQ(folder.conflictCopies().size(), 1);
}

TEST(PlannerStore, KeepsOneCopyBesideAFileThatCannotBeReadAcrossStarts)
{
    Folder folder;
    const QByteArray broken = "# 2024 week 5\n\n## wed 2024-01-31\n- [ ] caf\xE9 in Latin-1\n";
    folder.put("2024-W05.md", broken);
    const auto start = [&](Planner& plan) {
        auto store = std::make_unique<PlannerStore>(folder.path());
        store->loadBase(plan);
        store->loadWeeks(week5, week6, plan);
        return store;
    };

    // First start: what is added to the week goes to a copy, which says what it is.
    Planner first;
    auto store = start(first);
    EXPECT_TRUE(first.days.isEmpty());
    EXPECT_EQ(store->unreadableWeek(week5), "2024-W05.md can't be read (not valid UTF-8 text)");
    EXPECT_EQ(store->unreadableWeek(week6), std::nullopt);
    first.add(QStringLiteral("mine"), Place::onDay(wednesday5));
    const Status refused = store->save(first);
    ASSERT_EQ(folder.conflictCopies().size(), 1);
    const QString copy = folder.conflictCopies().first();
    EXPECT_EQ(refused.errorText(), "2024-W05.md can't be read (not valid UTF-8 text); your version is in " + copy);
    const QString afterOne = folder.text(copy);
    EXPECT_EQ(unmarked(afterOne), Markdown::encodeWeek(week5, first));

    // Second start, no edit: the week is what the copy holds, the save names that copy
    // and writes nothing.
    Planner second;
    store = start(second);
    EXPECT_EQ(describe(second), "2024-01-31[mine] list0[]");
    folder.age();
    EXPECT_EQ(store->save(second).errorText(), refused.errorText());
    EXPECT_EQ(folder.fresh(), QStringList{});
    EXPECT_EQ(folder.conflictCopies(), QStringList{copy});
    EXPECT_EQ(folder.text(copy), afterOne);

    // An edit of the second run goes to the same copy, with the first run's.
    second.add(QStringLiteral("more"), Place::onDay(week5));
    EXPECT_EQ(store->save(second).errorText(), refused.errorText());
    EXPECT_EQ(folder.conflictCopies(), QStringList{copy});
    EXPECT_EQ(unmarked(folder.text(copy)), Markdown::encodeWeek(week5, second));
    Planner third;
    store = start(third);
    EXPECT_EQ(describe(third), "2024-01-29[more] 2024-01-31[mine] list0[]");
    EXPECT_EQ(folder.bytes("2024-W05.md"), broken);
    // Emptied, the copy is emptied too: nothing comes back at the next start.
    const QList<Thing> kept = third.days[week5];
    third.days.remove(week5);
    EXPECT_FALSE(store->save(third).ok());
    EXPECT_EQ(unmarked(folder.text(copy)), Markdown::encodeWeek(week5, third));
    Planner emptied;
    store = start(emptied);
    EXPECT_EQ(describe(emptied), "2024-01-31[mine] list0[]");
    emptied.days[week5] = kept;
    EXPECT_FALSE(store->save(emptied).ok());

    // Another unreadable version is another file: its own copy, none of the first's.
    folder.put("2024-W05.md", broken + "- [ ] \xFF\n");
    Planner fourth;
    store = start(fourth);
    EXPECT_TRUE(fourth.days.isEmpty());
    fourth.add(QStringLiteral("theirs"), Place::onDay(week5));
    EXPECT_FALSE(store->save(fourth).ok());
    EXPECT_EQ(folder.conflictCopies().size(), 2);
    EXPECT_TRUE(folder.text(copy).contains("- [ ] mine\n"));

    // Fixed, the file is the week again; the copies stay for the user to merge.
    folder.put("2024-W05.md", QStringLiteral("## mon 2024-01-29\n- [ ] fixed\n"));
    Planner fixed;
    store = start(fixed);
    EXPECT_EQ(describe(fixed), "2024-01-29[fixed] list0[]");
    EXPECT_EQ(store->unreadableWeek(week5), std::nullopt);
    EXPECT_TRUE(store->save(fixed).ok());
    EXPECT_EQ(folder.conflictCopies().size(), 2);
}

TEST(PlannerStore, NeverWritesAFileItWouldNotReadBack)
{
    Folder folder;
    putExamples(folder);
    PlannerStore store(folder.path());
    Planner plan;
    loadExamples(store, plan);
    const QByteArray before = folder.bytes("2024-W05.md");

    // Nine megabytes of note on a thing that moves to a list: the save is refused,
    // saying so in figures, and no file is touched, so the thing stays in its week.
    const QUuid big = plan.days[week5].first().id;
    plan.update(big, [](Thing& t) { t.note = QString(9 * 1024 * 1024, u'x'); });
    plan.move(big, Place::inList(0));
    folder.age();
    const Status refused = store.save(plan);
    EXPECT_EQ(refused.errorText(), "eventually.md would be too large (9.0 MB, more than 8.0 MB), so the change isn't saved");
    EXPECT_EQ(folder.fresh(), QStringList{});
    EXPECT_EQ(folder.bytes("2024-W05.md"), before);
    EXPECT_TRUE(folder.conflictCopies().isEmpty());
    EXPECT_EQ(store.save(plan).errorText(), refused.errorText());
    EXPECT_EQ(folder.fresh(), QStringList{});

    // Taken back, the plan saves as before; the files read back at the next start.
    plan.update(big, [](Thing& t) { t.note = QStringLiteral("short"); });
    plan.move(big, Place::onDay(week5));
    EXPECT_TRUE(store.save(plan).ok());
    PlannerStore again(folder.path());
    Planner reread;
    again.loadWeek(week5, reread);
    EXPECT_EQ(reread.days[week5].last().note, "short");

    // Refused reads give figures that differ, in bytes where megabytes would not.
    struct Case { qint64 size; qint64 cap; const char* text; };
    const Case cases[] = {
        {8 * 1024 * 1024 + 1, 8 * 1024 * 1024, "8388609 bytes, more than 8388608 bytes"},
        {9 * 1024 * 1024, 8 * 1024 * 1024, "9.0 MB, more than 8.0 MB"},
        {2048, 1024, "2 KB, more than 1 KB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pemby::sizeOverLimit(c.size, c.cap), c.text) << c.size;
    folder.put("2024-W06.md", QByteArray(8 * 1024 * 1024 + 1, ' '));
    EXPECT_EQ(pemby::readTextFile(folder.file("2024-W06.md")).error,
              "it is too large (8388609 bytes, more than 8388608 bytes)");
}

TEST(PlannerStore, HandWrittenListsAndTagsStayAsWrittenThroughEditsAndStarts)
{
    // A seventh list kept as text, and lines that name a field twice.
    Folder folder;
    const QString lists = "# eventually\n\n## one\n- [ ] a {green} {red}\nabout a\n\n## two\nfree text\n- [ ] b\n\n## three\n\n"
                          "## four\n\n## five\n\n## six\n\n## seven\n- [ ] hidden\n";
    folder.put("eventually.md", lists);
    folder.put("2024-W05.md", QStringLiteral("# 2024 week 5\n\n## mon 2024-01-29\n- [ ] post {zz} {z3}\n- [ ] other\n"));
    const auto start = [&](Planner& plan) {
        auto store = std::make_unique<PlannerStore>(folder.path());
        store->loadBase(plan);
        store->loadWeek(week5, plan);
        return store;
    };

    Planner first;
    auto store = start(first);
    ASSERT_EQ(first.lists.size(), 6);
    first.removeList(1, std::nullopt);
    first.toggle(first.days[week5][1].id);
    ASSERT_TRUE(store->save(first).ok());
    const QString afterOne = "# eventually\n\n## one\n- [ ] a {green} {red}\nabout a\nfree text\n\n## three\n\n## four\n\n"
                             "## five\n\n## six\n\n## seven\n<!-- kept as text: lists past the sixth -->\n- [ ] hidden\n";
    EXPECT_EQ(folder.text("eventually.md"), afterOne);
    EXPECT_EQ(folder.text("2024-W05.md"), "# 2024 week 5\n\n## mon 2024-01-29\n- [ ] post {zz} {z3}\n- [x] other\n\n"
                                          "## tue 2024-01-30\n\n## wed 2024-01-31\n\n## thu 2024-02-01\n\n## fri 2024-02-02\n\n"
                                          "## sat 2024-02-03\n\n## sun 2024-02-04\n");

    // The second start reads five lists and the same things, and writes nothing.
    Planner second;
    store = start(second);
    EXPECT_EQ(describe(second), "2024-01-29[post other] list0[a] list1[] list2[] list3[] list4[]");
    EXPECT_EQ(second.lists.size(), 5);
    EXPECT_EQ(second.lists[0].things[0].mark, Mark::Green);
    EXPECT_EQ(second.days[week5][0].zs, 2);
    folder.age();
    ASSERT_TRUE(store->save(second).ok());
    EXPECT_EQ(folder.fresh(), QStringList{});
    // A list added again takes the room; the kept text stays text.
    second.addList();
    second.update(second.days[week5][0].id, [](Thing& t) { t.countMove(); });
    ASSERT_TRUE(store->save(second).ok());
    EXPECT_TRUE(folder.text("eventually.md").endsWith("## six\n\n## " + second.lists.last().name + "\n\n## seven\n- [ ] hidden\n"))
        << folder.text("eventually.md").toStdString();
    EXPECT_TRUE(folder.text("2024-W05.md").contains("\n- [ ] post {zzz} {z3}\n")) << folder.text("2024-W05.md").toStdString();
    Planner third;
    start(third);
    EXPECT_EQ(third.lists.size(), 6);
    EXPECT_EQ(third.days[week5][0].zs, 3);
}
