#include "notestore.h"
#include "textfile.h"

#include "richtext.h"
#include "support/notetext.h"
#include "support/owntrash.h"
#include "textdocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>
#include <thread>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>

namespace {

const QDateTime longAgo(QDate(2020, 1, 2), QTime(3, 4, 5), QTimeZone::utc());

QDateTime minutesLater(int minutes)
{
    return longAgo.addSecs(60 * minutes);
}

QByteArray noteFile(const QString& text, const std::optional<QDateTime>& created = std::nullopt)
{
    return RichText::encode(*RichText::plain(text), {}, {}, created);
}

QString textOf(const QByteArray& file)
{
    const auto decoded = RichText::decode(file);
    return decoded ? pemby::documentText(*decoded->text) : QStringLiteral("<not a note file>");
}

// A scratch notes folder.
class NotesFolder {
public:
    NotesFolder() : path_(root_.filePath(QStringLiteral("Notes")))
    {
        // No test may reach the user's own trash.
        useOwnTrash();
        QDir().mkpath(path_);
    }

    const QString& path() const { return path_; }
    QString file(const QString& name) const { return path_ + u'/' + name; }

    void put(const QString& name, const QByteArray& bytes, const QDateTime& modified = longAgo) const
    {
        QDir().mkpath(QFileInfo(file(name)).path());
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    void putNote(const QString& id, const QString& text, const QDateTime& modified = longAgo) const
    {
        put(id + QStringLiteral(".rtf"), noteFile(text), modified);
    }
    bool has(const QString& name) const { return QFileInfo::exists(file(name)); }
    QByteArray bytes(const QString& name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QDateTime modified(const QString& name) const { return QFileInfo(file(name)).lastModified(); }

private:
    QTemporaryDir root_;
    QString path_;
};

QStringList ids(const NoteStore& store)
{
    QStringList out;
    for (const auto& note : store.notes())
        out.append(note->id());
    return out;
}

std::shared_ptr<Note> noteWithID(const NoteStore& store, const QString& id)
{
    for (const auto& note : store.notes()) {
        if (note->id() == id)
            return note;
    }
    return nullptr;
}

QStringList titles(const Board& board)
{
    QStringList out;
    for (const BoardColumn& column : board.columns())
        out.append(column.title);
    return out;
}

// Notes a, b, c, changed in that order (c last), in the manual order a, b, c, with b
// in the board's second column.
void putThreeNotes(const NotesFolder& folder)
{
    folder.putNote(QStringLiteral("a"), QStringLiteral("Apples"), minutesLater(1));
    folder.putNote(QStringLiteral("b"), QStringLiteral("Bananas"), minutesLater(2));
    folder.putNote(QStringLiteral("c"), QStringLiteral("Cherries"), minutesLater(3));
    folder.put(QStringLiteral("order.json"), R"(["a","b","c"])");
    folder.put(QStringLiteral("board.json"),
               R"({"cards":{"1":["a"],"2":["b"]},"columns":[{"id":"1","title":"One"},{"id":"2","title":"Two"}],"offBoard":["c"]})");
}

} // namespace

void PrintTo(const QDateTime& t, std::ostream* os)
{
    *os << t.toString(Qt::ISODateWithMs).toStdString();
}

TEST(NoteStore, ConvertsMarkdownNotesKeepingTheirDate)
{
    NotesFolder folder;
    const QByteArray markdown = "# Groceries\n- milk\r\n- eggs";
    folder.put(QStringLiteral("a.md"), markdown, longAgo);
    folder.put(QStringLiteral("broken.md"), "caf\xE9", longAgo);
    folder.put(QStringLiteral("upper.MD"), "not a note", longAgo);

    NoteStore store(folder.path());
    store.load();

    EXPECT_FALSE(folder.has(QStringLiteral("a.md")));
    EXPECT_EQ(folder.bytes(QStringLiteral("Original Markdown/a.md")), markdown);
    const QByteArray converted = folder.bytes(QStringLiteral("a.rtf"));
    EXPECT_EQ(textOf(converted), QStringLiteral("# Groceries\n- milk\n- eggs"));
    EXPECT_EQ(runsOf(*RichText::decode(converted)->text),
              (QList<QList<TextRun>>{{{"# Groceries", 15}}, {{"- milk", 15}}, {{"- eggs", 15}}}));
    EXPECT_EQ(folder.modified(QStringLiteral("a.rtf")), longAgo);

    ASSERT_EQ(ids(store), QStringList{"a"});
    EXPECT_EQ(store.notes()[0]->modified(), longAgo);
    EXPECT_EQ(store.notes()[0]->title(), QStringLiteral("# Groceries"));

    // What cannot be read stays where it is, to be tried again.
    EXPECT_TRUE(folder.has(QStringLiteral("broken.md")));
    EXPECT_FALSE(folder.has(QStringLiteral("broken.rtf")));
    EXPECT_TRUE(folder.has(QStringLiteral("upper.MD")));
}

TEST(NoteStore, AMarkdownNoteBesideItsNoteFileIsPutAwayUnread)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("the real one"), longAgo);
    const QByteArray rtf = folder.bytes(QStringLiteral("a.rtf"));
    folder.put(QStringLiteral("a.md"), "\xFF\xFE not even text", minutesLater(5));

    NoteStore store(folder.path());
    store.load();

    EXPECT_FALSE(folder.has(QStringLiteral("a.md")));
    EXPECT_EQ(folder.bytes(QStringLiteral("Original Markdown/a.md")), QByteArray("\xFF\xFE not even text"));
    EXPECT_EQ(folder.bytes(QStringLiteral("a.rtf")), rtf);
    EXPECT_EQ(folder.modified(QStringLiteral("a.rtf")), longAgo);
    ASSERT_EQ(ids(store), QStringList{"a"});
    EXPECT_EQ(store.notes()[0]->title(), QStringLiteral("the real one"));
}

TEST(NoteStore, LoadsEveryReadableNoteFileAndNothingElse)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("one"), QStringLiteral("first"), minutesLater(2));
    folder.putNote(QStringLiteral(".hidden"), QStringLiteral("hidden"), minutesLater(1));
    folder.put(QStringLiteral("bad.rtf"), "this is not RTF");
    folder.put(QStringLiteral("CAPS.RTF"), noteFile(QStringLiteral("caps")));
    folder.put(QStringLiteral("plain.txt"), "text");
    QDir(folder.path()).mkdir(QStringLiteral("folder.rtf"));

    NoteStore store(folder.path());
    store.load();
    EXPECT_EQ(ids(store), (QStringList{"one", ".hidden"}));
    EXPECT_EQ(noteWithID(store, QStringLiteral("one"))->modified(), minutesLater(2));
}

// Loading the folder again decodes only what changed on disk: the other notes are the
// very notes already held, and a file with new bytes or a new date is read anew.
TEST(NoteStore, ALoadAgainTakesAnewOnlyTheNotesWhoseFilesChanged)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    const auto a = noteWithID(store, QStringLiteral("a"));
    const auto b = noteWithID(store, QStringLiteral("b"));
    const auto c = noteWithID(store, QStringLiteral("c"));

    folder.putNote(QStringLiteral("b"), QStringLiteral("Bananas, ripe"), minutesLater(2));  // new bytes, same date
    folder.put(QStringLiteral("c.rtf"), folder.bytes(QStringLiteral("c.rtf")), minutesLater(9));  // touched
    folder.putNote(QStringLiteral("d"), QStringLiteral("Dates"), minutesLater(4));
    store.load();

    EXPECT_EQ(noteWithID(store, QStringLiteral("a")), a) << "unchanged: the same note";
    const auto b2 = noteWithID(store, QStringLiteral("b"));
    ASSERT_TRUE(b2);
    EXPECT_NE(b2, b);
    EXPECT_EQ(b2->text(), "Bananas, ripe");
    const auto c2 = noteWithID(store, QStringLiteral("c"));
    ASSERT_TRUE(c2);
    EXPECT_NE(c2, c);
    EXPECT_EQ(c2->modified(), minutesLater(9));
    EXPECT_TRUE(noteWithID(store, QStringLiteral("d")));

    // What a load leaves as known is what a save compares with: an unchanged note
    // saves without a conflict copy.
    ASSERT_TRUE(store.save(*a));
    EXPECT_EQ(store.notes().size(), 4);
}

TEST(NoteStore, ALoadReadsAgainOnlyTheFilesWhoseSizeOrTimesMoved)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    // A file's look is trusted only a few seconds after its last write.
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    store.load();
    const int reads = store.filesRead();
    const auto a = noteWithID(store, QStringLiteral("a"));

    store.load();
    EXPECT_EQ(store.filesRead(), reads) << "nothing moved, nothing read";
    EXPECT_EQ(noteWithID(store, QStringLiteral("a")), a);

    folder.putNote(QStringLiteral("b"), QStringLiteral("Bananas, ripe"), minutesLater(2));  // new bytes, same date
    store.load();
    EXPECT_EQ(store.filesRead(), reads + 1);
    EXPECT_EQ(noteWithID(store, QStringLiteral("b"))->text(), "Bananas, ripe");
    EXPECT_EQ(noteWithID(store, QStringLiteral("a")), a);
    // A write this fresh could hide another one in the same tick of the clock.
    store.load();
    EXPECT_EQ(store.filesRead(), reads + 2);

    // What a load skipped is still what a save compares with.
    ASSERT_TRUE(store.save(*a));
    EXPECT_EQ(store.notes().size(), 3);
}

// What a load of the folder by a store that never read it gives, note by note.
void expectAsAFreshLoad(const NoteStore& store, const QString& folder, const NoteSortOrder& order)
{
    NoteStore fresh(folder);
    fresh.setSortOrder(order);
    fresh.load();
    EXPECT_EQ(ids(store), ids(fresh));
    for (const auto& note : fresh.notes()) {
        const auto held = noteWithID(store, note->id());
        ASSERT_TRUE(held) << note->id().toStdString();
        EXPECT_EQ(held->text(), note->text());
        EXPECT_EQ(held->modified(), note->modified());
        EXPECT_EQ(held->created(), note->created());
    }
    EXPECT_EQ(store.manualOrder(), fresh.manualOrder());
    EXPECT_TRUE(store.board() == fresh.board());
}

TEST(NoteStore, AReloadOfTheChangedFilesOnlyGivesWhatALoadGives)
{
    // With and without an order file, listed by date and by the manual order; from a
    // listing of the folder's own, and from the store's, which follows the kernel's word
    // and the last reload's look.
    struct Setup {
        bool orderFile;
        NoteSortOrder order;
        bool storesListing;
    };
    QList<Setup> setups;
    for (const bool storesListing : {false, true}) {
        setups += {{true, NoteSortOrder(), storesListing},
                   {false, NoteSortOrder(), storesListing},
                   {true, NoteSortOrder(NoteSortKey::manual), storesListing},
                   {false, NoteSortOrder(NoteSortKey::manual), storesListing}};
    }
    std::vector<std::unique_ptr<NotesFolder>> folders;
    for (const Setup& setup : setups) {
        folders.push_back(std::make_unique<NotesFolder>());
        putThreeNotes(*folders.back());
        if (!setup.orderFile) {
            ASSERT_TRUE(QFile::remove(folders.back()->file(QStringLiteral("order.json"))));
        }
    }
    // A file's look is trusted only a few seconds after its last write.
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    std::vector<std::unique_ptr<NoteStore>> stores;
    for (qsizetype i = 0; i < setups.size(); ++i) {
        stores.push_back(std::make_unique<NoteStore>(folders[i]->path()));
        stores.back()->setSortOrder(setups[i].order);
        stores.back()->load();
    }

    // Each step changes every folder the same way, after the steps before it.
    struct Step {
        const char* what;
        std::function<void(const NotesFolder&)> change;
        bool changedOnly;  // read by the reload of the changed files alone
    };
    const auto touch = [](const NotesFolder& f, const char* id, int minutes) {
        const QString name = QString::fromLatin1(id) + QStringLiteral(".rtf");
        f.put(name, f.bytes(name), minutesLater(minutes));
    };
    const QList<Step> steps{
        {"one note's text changed",
         [](const NotesFolder& f) { f.putNote(QStringLiteral("b"), QStringLiteral("Bananas, ripe"), minutesLater(2)); },
         true},
        {"its date changed, to the newest", [&](const NotesFolder& f) { touch(f, "a", 9); }, true},
        {"one note's text and date changed, to the oldest",
         [](const NotesFolder& f) { f.putNote(QStringLiteral("c"), QStringLiteral("Cherries, red"), minutesLater(0)); },
         true},
        {"two notes' dates crossed",
         [&](const NotesFolder& f) {
             touch(f, "a", 1);
             touch(f, "c", 8);
         },
         true},
        {"one note's date met another's", [&](const NotesFolder& f) { touch(f, "a", 8); }, true},
        {"a file that is no note came", [](const NotesFolder& f) { f.put(QStringLiteral("notes.txt"), "plain text"); },
         true},
        {"a note written through a file that then took its name",
         [](const NotesFolder& f) {
             f.put(QStringLiteral(".b.tmp"), noteFile(QStringLiteral("Bananas, green")), minutesLater(5));
             ASSERT_TRUE(QFile::remove(f.file(QStringLiteral("b.rtf"))));
             ASSERT_TRUE(QFile::rename(f.file(QStringLiteral(".b.tmp")), f.file(QStringLiteral("b.rtf"))));
         },
         true},
        {"one changed after that", [&](const NotesFolder& f) { touch(f, "b", 6); }, true},
        {"one added", [](const NotesFolder& f) { f.putNote(QStringLiteral("d"), QStringLiteral("Dates"), minutesLater(4)); },
         false},
        {"one renamed",
         [](const NotesFolder& f) {
             ASSERT_TRUE(QFile::rename(f.file(QStringLiteral("d.rtf")), f.file(QStringLiteral("e.rtf"))));
         },
         false},
        {"one removed", [](const NotesFolder& f) { ASSERT_TRUE(QFile::remove(f.file(QStringLiteral("b.rtf")))); }, false},
        {"order.json changed", [](const NotesFolder& f) { f.put(QStringLiteral("order.json"), R"(["e","c","a"])"); }, false},
    };
    for (const Step& step : steps) {
        for (qsizetype i = 0; i < setups.size(); ++i) {
            SCOPED_TRACE(testing::Message() << step.what << (setups[i].orderFile ? ", order file" : ", no order file")
                                            << (setups[i].order.key == NoteSortKey::manual ? ", manual order" : "")
                                            << (setups[i].storesListing ? ", the store's listing" : ""));
            NoteStore& store = *stores[i];
            step.change(*folders[i]);
            const auto before = ids(store);
            const NoteStore::Listing listing =
                setups[i].storesListing ? store.currentListing() : NoteStore::list(folders[i]->path());
            const bool changedOnly = store.reloadChanged(listing);
            EXPECT_EQ(changedOnly, step.changedOnly);
            if (!changedOnly) {
                EXPECT_EQ(ids(store), before) << "nothing changed when it can't tell";
                store.load();
            }
            expectAsAFreshLoad(store, folders[i]->path(), setups[i].order);
        }
    }
}

TEST(NoteStore, AReloadOfTheChangedFilesOnlyReadsJustThose)
{
    NotesFolder folder;
    putThreeNotes(folder);
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    NoteStore store(folder.path());
    store.load();
    const int reads = store.filesRead();
    const auto a = noteWithID(store, QStringLiteral("a"));

    folder.putNote(QStringLiteral("b"), QStringLiteral("Bananas, ripe"), minutesLater(2));
    ASSERT_TRUE(store.reloadChanged(NoteStore::list(folder.path()), 1));
    EXPECT_EQ(store.filesRead(), reads + 1);
    EXPECT_EQ(noteWithID(store, QStringLiteral("a")), a) << "unchanged: the same note";
    EXPECT_EQ(noteWithID(store, QStringLiteral("b"))->text(), "Bananas, ripe");

    // More changed files than allowed: nothing read, for a load in steps to do it.
    folder.putNote(QStringLiteral("a"), QStringLiteral("Apples, green"), minutesLater(1));
    folder.putNote(QStringLiteral("c"), QStringLiteral("Cherries, red"), minutesLater(3));
    const int readsBefore = store.filesRead();
    EXPECT_FALSE(store.reloadChanged(NoteStore::list(folder.path()), 2));  // b is still too fresh to trust
    EXPECT_EQ(store.filesRead(), readsBefore);
    EXPECT_EQ(noteWithID(store, QStringLiteral("a")), a);

    // A changed file that is no note file now: the whole folder is loaded, as load() does.
    folder.put(QStringLiteral("a.rtf"), "not a note file");
    ASSERT_TRUE(store.reloadChanged(NoteStore::list(folder.path())));
    EXPECT_EQ(ids(store), (QStringList{"c", "b"}));
    expectAsAFreshLoad(store, folder.path(), NoteSortOrder());
}

TEST(NoteStore, ANoteTooLongToReadWholeIsListedByItsStartAndNeverWrittenBack)
{
    // Eight megabytes of paragraph ends would make a document of gigabytes; sixty
    // thousand lines is a long note the editor itself writes.
    QByteArray lines = "{\\rtf1\\ansi Packing list\\par socks and more\\par ";
    for (int i = 0; i < 60'000; ++i)
        lines += "item " + QByteArray::number(i) + "\\par ";
    lines += "}";
    const QByteArray flood = "{\\rtf1\\ansi " + QByteArray("\\par").repeated(2'000'000) + "}";
    struct Case { const char* name; QByteArray bytes; QString title; QString preview; };
    const Case cases[] = {
        {"lines", lines, QStringLiteral("Packing list"), QStringLiteral("socks and more")},
        {"flood", flood, Note::untitled(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NotesFolder folder;
        folder.putNote(QStringLiteral("one"), QStringLiteral("first"), minutesLater(2));
        folder.put(QStringLiteral("long.rtf"), c.bytes, minutesLater(1));

        NoteStore store(folder.path());
        store.load();
        EXPECT_EQ(ids(store), (QStringList{"one", "long"}));
        const auto note = noteWithID(store, QStringLiteral("long"));
        ASSERT_TRUE(note);
        EXPECT_TRUE(note->isCutShort());
        EXPECT_FALSE(noteWithID(store, QStringLiteral("one"))->isCutShort());
        EXPECT_EQ(note->title(), c.title);
        EXPECT_EQ(note->preview(), c.preview);
        EXPECT_LE(note->attributedText().blockCount(), NoteStore::startParagraphs);

        // Its start written over the file would lose the rest, whatever happens to the note.
        note->setAttributedText(Note::retitled(note->attributedText(), QStringLiteral("Renamed")));
        const Status saved = store.save(*note);
        ASSERT_FALSE(saved);
        EXPECT_TRUE(saved.errorText().contains(QStringLiteral("too long to edit here"))) << saved.errorText().toStdString();
        const NoteStore::TrashedNote trashed = store.trash(note);
        ASSERT_TRUE(QFile::remove(*trashed.trashedPath));
        EXPECT_FALSE(store.restore({trashed}));
        EXPECT_FALSE(folder.has(QStringLiteral("long.rtf")));
        folder.put(QStringLiteral("long.rtf"), c.bytes);
        store.load();
        EXPECT_TRUE(noteWithID(store, QStringLiteral("long"))->isCutShort());
        EXPECT_EQ(folder.bytes(QStringLiteral("long.rtf")), c.bytes);
    }
}

TEST(NoteStore, ALoadInStepsShowsTheNewestNotesFirstAndEndsAsALoadDoes)
{
    NotesFolder folder;
    for (int i = 0; i < 7; ++i)
        folder.putNote(QStringLiteral("n%1").arg(i), QStringLiteral("Note %1").arg(i), minutesLater(i));
    NoteStore store(folder.path());
    store.beginLoad();
    EXPECT_TRUE(store.isLoading());
    EXPECT_FALSE(store.loadStep({2, {}}));
    EXPECT_EQ(ids(store), (QStringList{"n6", "n5"}));
    EXPECT_FALSE(folder.has(NoteStore::boardFileName())) << "the board waits for the whole folder";

    // Changed outside during the load: a note not reached yet, a note gone, a note new.
    folder.putNote(QStringLiteral("n1"), QStringLiteral("Note 1, changed"), minutesLater(10));
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("n0.rtf"))));
    EXPECT_FALSE(store.loadStep({2, {}}));
    EXPECT_EQ(ids(store), (QStringList{"n6", "n5", "n4", "n3"}));
    while (!store.loadStep({2, {}}))
        ;
    EXPECT_FALSE(store.isLoading());
    EXPECT_EQ(ids(store), (QStringList{"n1", "n6", "n5", "n4", "n3", "n2"}));
    EXPECT_EQ(noteWithID(store, QStringLiteral("n1"))->text(), "Note 1, changed");
    EXPECT_TRUE(folder.has(NoteStore::boardFileName()));

    // A reload in steps keeps the notes it has not reached yet in their places.
    const auto n2 = noteWithID(store, QStringLiteral("n2"));
    folder.putNote(QStringLiteral("n2"), QStringLiteral("Note 2, changed"), minutesLater(2));
    store.beginLoad();
    EXPECT_FALSE(store.loadStep({1, {}}));
    EXPECT_EQ(ids(store), (QStringList{"n1", "n6", "n5", "n4", "n3", "n2"}));
    EXPECT_EQ(noteWithID(store, QStringLiteral("n2")), n2);
    while (!store.loadStep({1, {}}))
        ;
    EXPECT_EQ(noteWithID(store, QStringLiteral("n2"))->text(), "Note 2, changed");
}

TEST(NoteStore, AFailedWriteNamesTheNoteAndTheSystemsReason)
{
    // A limit on file sizes fails the write as a full disk does, even for root.
    NotesFolder folder;
    NoteStore store(folder.path());
    store.load();
    const Note note(QStringLiteral("n"), QStringLiteral("groceries\n") + QString(4096, u'x'), longAgo);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status saved = store.save(note);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(saved.errorText(), QStringLiteral("\u201Cgroceries\u201D couldn't be written (%1).").arg(qt_error_string(EFBIG)));
    EXPECT_FALSE(pemby::entryExists(folder.file(QStringLiteral("n.rtf"))));
}

TEST(NoteStore, TakesTheCreationDateFromTheMetadataElseNeverAfterTheLastChange)
{
    NotesFolder folder;
    // Written now, dated long ago: the file was born after its last change.
    folder.putNote(QStringLiteral("plain"), QStringLiteral("x"), longAgo);
    const QDateTime later = longAgo.addYears(3);
    folder.put(QStringLiteral("dated.rtf"), noteFile(QStringLiteral("y"), later), longAgo);

    NoteStore store(folder.path());
    store.load();
    EXPECT_EQ(noteWithID(store, QStringLiteral("plain"))->created(), longAgo);
    EXPECT_EQ(noteWithID(store, QStringLiteral("dated"))->created(), later);
}

TEST(NoteStore, ReconcilesTheManualOrderOnLoad)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("a"), minutesLater(1));
    folder.putNote(QStringLiteral("b"), QStringLiteral("b"), minutesLater(60));
    folder.putNote(QStringLiteral("c"), QStringLiteral("c"), minutesLater(2));
    folder.put(QStringLiteral("order.json"), R"(["c","x","a","a"])");

    NoteStore store(folder.path());
    store.load();
    EXPECT_EQ(store.manualOrder(), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), QByteArray(R"(["b","c","a"])"));
    EXPECT_EQ(ids(store), (QStringList{"b", "c", "a"}));  // by last change
}

TEST(NoteStore, WritesNoManualOrderWithoutOne)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("a"));
    NoteStore store(folder.path(), [] { return minutesLater(90); });
    store.load();

    const auto created = store.create();
    EXPECT_EQ(store.notes().first(), created);
    EXPECT_EQ(created->modified(), minutesLater(90));
    EXPECT_EQ(created->created(), minutesLater(90));
    EXPECT_TRUE(created->isEmpty());
    EXPECT_EQ(store.manualOrder(), (QStringList{created->id(), "a"}));
    EXPECT_FALSE(folder.has(QStringLiteral("order.json")));
    EXPECT_FALSE(folder.has(created->id() + QStringLiteral(".rtf")));
    // The board has the new note off the board.
    EXPECT_TRUE(Board::fromJson(folder.bytes(QStringLiteral("board.json")))->offBoard().contains(created->id()));
}

TEST(NoteStore, TheFirstLoadWritesTheStandardBoard)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("a"));
    folder.putNote(QStringLiteral("b"), QStringLiteral("b"));
    NoteStore store(folder.path());
    store.load();

    const auto written = Board::fromJson(folder.bytes(QStringLiteral("board.json")));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, store.board());
    EXPECT_EQ(titles(*written), (QStringList{"To Do", "Doing", "Done"}));
    EXPECT_EQ(written->offBoard(), (QSet<QString>{"a", "b"}));
    EXPECT_TRUE(written->allNoteIDs().isEmpty());
}

TEST(NoteStore, LeavesABoardItCannotReadAlone)
{
    const struct {
        const char* name;
        QByteArray content;  // empty: a folder stands in the file's place
    } cases[] = {
        {"a newer format", R"({"version":2,"lanes":[{"id":"1","cards":["a"]}]})"},
        {"not JSON", "{\"cards\":"},
        {"a read error", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NotesFolder folder;
        folder.putNote(QStringLiteral("a"), QStringLiteral("a"));
        if (c.content.isEmpty())
            QDir(folder.path()).mkdir(QStringLiteral("board.json"));
        else
            folder.put(QStringLiteral("board.json"), c.content);

        NoteStore store(folder.path());
        store.load();
        EXPECT_EQ(titles(store.board()), (QStringList{"To Do", "Doing", "Done"}));
        EXPECT_EQ(store.board().offBoard(), QSet<QString>{"a"});

        // Nothing that changes the board in memory replaces the file either.
        const auto created = store.create();
        store.trash(noteWithID(store, QStringLiteral("a")));
        store.modifyBoard([](Board& board) { board.addColumn(QStringLiteral("More")); });
        EXPECT_FALSE(store.saveBoard().ok());
        if (c.content.isEmpty())
            EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("board.json"))).isDir());
        else
            EXPECT_EQ(folder.bytes(QStringLiteral("board.json")), c.content);
    }
}

TEST(NoteStore, ANoteFileThatCannotBeReadKeepsItsPlace)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("a"), minutesLater(1));
    folder.putNote(QStringLiteral("b"), QStringLiteral("b"), minutesLater(2));
    folder.put(QStringLiteral("bad.rtf"), "written by something newer");
    const QByteArray order = R"(["b","bad","a"])";
    const QByteArray board =
        R"({"cards":{"1":["bad","a"]},"columns":[{"id":"1","title":"One"}],"offBoard":["b"]})";
    folder.put(QStringLiteral("order.json"), order);
    folder.put(QStringLiteral("board.json"), board);

    NoteStore store(folder.path());
    store.load();
    EXPECT_EQ(ids(store), (QStringList{"b", "a"}));
    EXPECT_EQ(store.manualOrder(), (QStringList{"b", "bad", "a"}));
    EXPECT_EQ(store.board().location(QStringLiteral("bad")), (Board::Location{"1", 0}));
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), order);
    EXPECT_EQ(folder.bytes(QStringLiteral("board.json")), board);
}

TEST(NoteStore, TrashThenRestore)
{
    const QString trash = useOwnTrash();
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    const auto b = noteWithID(store, QStringLiteral("b"));
    const QByteArray bytes = folder.bytes(QStringLiteral("b.rtf"));

    const NoteStore::TrashedNote record = store.trash(b);
    ASSERT_TRUE(record.trashedPath);
    EXPECT_EQ(QFileInfo(*record.trashedPath).path(), trash + QStringLiteral("/files"));
    const QString info = trash + QStringLiteral("/info/") + QFileInfo(*record.trashedPath).fileName() + QStringLiteral(".trashinfo");
    EXPECT_TRUE(QFileInfo::exists(info));
    EXPECT_FALSE(folder.has(QStringLiteral("b.rtf")));
    EXPECT_EQ(record.manualIndex, 1);
    EXPECT_EQ(record.boardLocation, (Board::Location{"2", 0}));
    EXPECT_FALSE(record.wasOffBoard);
    EXPECT_EQ(ids(store), (QStringList{"c", "a"}));
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), QByteArray(R"(["a","c"])"));
    EXPECT_FALSE(Board::fromJson(folder.bytes(QStringLiteral("board.json")))->isOnBoard(QStringLiteral("b")));

    ASSERT_TRUE(store.restore({record}).ok());
    EXPECT_EQ(folder.bytes(QStringLiteral("b.rtf")), bytes);
    EXPECT_FALSE(QFileInfo::exists(*record.trashedPath));
    EXPECT_FALSE(QFileInfo::exists(info));
    EXPECT_EQ(noteWithID(store, QStringLiteral("b")), b);
    EXPECT_EQ(ids(store), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(store.manualOrder(), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), QByteArray(R"(["a","b","c"])"));
    EXPECT_EQ(Board::fromJson(folder.bytes(QStringLiteral("board.json")))->location(QStringLiteral("b")),
              (Board::Location{"2", 0}));
}

TEST(NoteStore, TrashesIntoTheDataFolderEvenBeforeItExists)
{
    // Qt moves the file into the working directory when the data folder is missing.
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("a"));
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    QTemporaryDir root;
    const QString missing = root.filePath(QStringLiteral("not/yet"));
    qputenv("XDG_DATA_HOME", missing.toUtf8());
    NoteStore store(folder.path());
    store.load();
    const auto record = store.trash(noteWithID(store, QStringLiteral("a")));
    qputenv("XDG_DATA_HOME", dataHome);

    ASSERT_TRUE(record.trashedPath);
    EXPECT_EQ(*record.trashedPath, missing + QStringLiteral("/Trash/files/a.rtf"));
    EXPECT_TRUE(QFileInfo::exists(*record.trashedPath));
}

TEST(NoteStore, RestoreKeepsAFileThatTookItsNameAndBringsTheNoteBackBesideIt)
{
    useOwnTrash();
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    const NoteStore::TrashedNote record = store.trash(noteWithID(store, QStringLiteral("b")));
    ASSERT_TRUE(record.trashedPath);
    folder.putNote(QStringLiteral("b"), QStringLiteral("someone else's"));

    const Status restored = store.restore({record});
    EXPECT_EQ(restored.errorText(),
              QStringLiteral("\u201CBananas\u201D was changed elsewhere; your version is a new note beside it."));
    EXPECT_EQ(textOf(folder.bytes(QStringLiteral("b.rtf"))), QStringLiteral("someone else's"));
    const auto copy = store.conflictCopy(QStringLiteral("b"));
    ASSERT_TRUE(copy);
    EXPECT_EQ(textOf(folder.bytes(*copy + QStringLiteral(".rtf"))), QStringLiteral("Bananas"));
    ASSERT_TRUE(noteWithID(store, QStringLiteral("b")));
    EXPECT_EQ(noteWithID(store, QStringLiteral("b"))->text(), QStringLiteral("someone else's"));
    EXPECT_EQ(noteWithID(store, *copy)->text(), QStringLiteral("Bananas"));
    EXPECT_EQ(store.notes().size(), 4);
    // The trashed file stays where it is.
    EXPECT_TRUE(QFileInfo::exists(*record.trashedPath));
}

TEST(NoteStore, AFailedTrashLeavesTheFileAndRestoreWritesFromMemory)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.setTrashFile([](const QString&) { return std::nullopt; });
    store.load();
    const auto b = noteWithID(store, QStringLiteral("b"));
    b->setAttributedText(RichText::plain(QStringLiteral("Bananas, edited")));

    const NoteStore::TrashedNote record = store.trash(b);
    EXPECT_EQ(record.trashedPath, std::nullopt);
    EXPECT_EQ(ids(store), (QStringList{"c", "a"}));
    EXPECT_TRUE(folder.has(QStringLiteral("b.rtf")));

    ASSERT_TRUE(store.restore({record}).ok());
    EXPECT_EQ(textOf(folder.bytes(QStringLiteral("b.rtf"))), QStringLiteral("Bananas, edited"));
    EXPECT_EQ(store.manualOrder(), (QStringList{"a", "b", "c"}));
}

TEST(NoteStore, DiscardDeletesTheFileForGood)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.setTrashFile([](const QString& path) -> std::optional<QString> {
        ADD_FAILURE() << "discarding moved " << path.toStdString() << " to the trash";
        return std::nullopt;
    });
    store.load();
    store.discard(noteWithID(store, QStringLiteral("a")));
    EXPECT_FALSE(folder.has(QStringLiteral("a.rtf")));
    EXPECT_EQ(ids(store), (QStringList{"c", "b"}));
    EXPECT_EQ(store.manualOrder(), (QStringList{"b", "c"}));
    EXPECT_FALSE(store.board().isOnBoard(QStringLiteral("a")));
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), QByteArray(R"(["b","c"])"));
}

TEST(NoteStore, RestoringNotesTrashedOneAfterTheOtherPutsEachInItsPlace)
{
    useOwnTrash();
    NotesFolder folder;
    putThreeNotes(folder);
    folder.putNote(QStringLiteral("d"), QStringLiteral("Dates"), minutesLater(4));
    folder.put(QStringLiteral("order.json"), R"(["a","b","c","d"])");
    NoteStore store(folder.path());
    store.load();

    const auto first = store.trash(noteWithID(store, QStringLiteral("b")));
    const auto second = store.trash(noteWithID(store, QStringLiteral("c")));
    EXPECT_EQ(store.manualOrder(), (QStringList{"a", "d"}));
    ASSERT_TRUE(store.restore({first, second}).ok());
    EXPECT_EQ(store.manualOrder(), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(store.board().offBoard(), (QSet<QString>{"c", "d"}));
    EXPECT_EQ(store.board().location(QStringLiteral("b")), (Board::Location{"2", 0}));
}

TEST(NoteStore, ANoteRestoredIntoADeletedColumnIsOffTheBoardAfterTheNextLoad)
{
    useOwnTrash();
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    const auto record = store.trash(noteWithID(store, QStringLiteral("b")));
    store.modifyBoard([](Board& board) { board.deleteColumn(QStringLiteral("2")); });

    ASSERT_TRUE(store.restore({record}).ok());
    EXPECT_FALSE(store.board().isOnBoard(QStringLiteral("b")));
    EXPECT_FALSE(store.board().offBoard().contains(QStringLiteral("b")));
    store.load();
    EXPECT_TRUE(store.board().offBoard().contains(QStringLiteral("b")));
}

TEST(NoteStore, RestoreStopsAtTheFirstNoteItCannotBringBack)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    const auto stray = std::make_shared<Note>(QStringLiteral("../stray"), QStringLiteral("x"), longAgo);
    const auto b = store.trash(noteWithID(store, QStringLiteral("b")));

    NoteStore::TrashedNote strayRecord;
    strayRecord.note = stray;
    const Status restored = store.restore({strayRecord, b});
    EXPECT_FALSE(restored.ok());
    EXPECT_FALSE(restored.errorText().isEmpty());
    EXPECT_EQ(ids(store), (QStringList{"c", "a"}));
    EXPECT_FALSE(QFileInfo::exists(folder.path() + QStringLiteral("/../stray.rtf")));
}

TEST(NoteStore, SaveReportsWhatWentWrong)
{
    QTemporaryDir root;
    const QString blocked = root.filePath(QStringLiteral("file"));
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    NoteStore store(blocked + QStringLiteral("/Notes"));
    const Note note(QStringLiteral("a"), QStringLiteral("text"), longAgo);
    const Status saved = store.save(note);
    EXPECT_FALSE(saved.ok());
    EXPECT_FALSE(saved.errorText().isEmpty());

    NotesFolder folder;
    NoteStore ok(folder.path());
    EXPECT_FALSE(ok.save(Note(QStringLiteral("../a"), QStringLiteral("text"), longAgo)).ok());
    EXPECT_TRUE(ok.save(note).ok());
    EXPECT_EQ(textOf(folder.bytes(QStringLiteral("a.rtf"))), QStringLiteral("text"));
}

// The sibling app saves while we have the note open: its file stays, and what was
// typed here becomes a new note beside it.
TEST(NoteStore, SaveKeepsAFileChangedElsewhere)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path(), [] { return minutesLater(60); });
    store.load();
    const auto b = noteWithID(store, QStringLiteral("b"));
    folder.putNote(QStringLiteral("b"), QStringLiteral("Bananas, theirs"), minutesLater(30));
    const QByteArray theirs = folder.bytes(QStringLiteral("b.rtf"));
    b->setAttributedText(RichText::plain(QStringLiteral("Bananas, mine")));

    const Status saved = store.save(*b);
    EXPECT_EQ(saved.errorText(),
              QStringLiteral("\u201CBananas, mine\u201D was changed elsewhere; your version is a new note beside it."));
    EXPECT_EQ(folder.bytes(QStringLiteral("b.rtf")), theirs);
    const auto copyID = store.conflictCopy(QStringLiteral("b"));
    ASSERT_TRUE(copyID);
    EXPECT_EQ(textOf(folder.bytes(*copyID + QStringLiteral(".rtf"))), QStringLiteral("Bananas, mine"));
    // The list holds what the folder holds: their text in the same note, ours first.
    EXPECT_EQ(b->text(), QStringLiteral("Bananas, theirs"));
    EXPECT_EQ(b->modified(), minutesLater(30));
    EXPECT_EQ(ids(store).first(), *copyID);
    EXPECT_EQ(noteWithID(store, *copyID)->created(), minutesLater(60));
    EXPECT_EQ(store.manualOrder().first(), *copyID);

    // More saves of our version before the file changes again update that one copy.
    const Note again(QStringLiteral("b"), QStringLiteral("Bananas, mine, typed on"), longAgo);
    EXPECT_FALSE(store.save(again).ok());
    EXPECT_EQ(store.conflictCopy(QStringLiteral("b")), copyID);
    EXPECT_EQ(textOf(folder.bytes(*copyID + QStringLiteral(".rtf"))), QStringLiteral("Bananas, mine, typed on"));
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.rtf")}).size(), 4);

    // The note as it now is saves over the file it was read from.
    b->setAttributedText(RichText::plain(QStringLiteral("Bananas, theirs and edited")));
    EXPECT_TRUE(store.save(*b).ok());
    EXPECT_EQ(textOf(folder.bytes(QStringLiteral("b.rtf"))), QStringLiteral("Bananas, theirs and edited"));
    EXPECT_EQ(store.conflictCopy(QStringLiteral("b")), std::nullopt);
}

TEST(NoteStore, SaveWritesOverNothingItHasNotRead)
{
    NotesFolder folder;
    putThreeNotes(folder);
    NoteStore store(folder.path());
    store.load();
    const auto a = noteWithID(store, QStringLiteral("a"));
    const auto c = noteWithID(store, QStringLiteral("c"));

    // Deleted elsewhere: written again, nothing is lost.
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("a.rtf"))));
    EXPECT_TRUE(store.save(*a).ok());
    EXPECT_EQ(textOf(folder.bytes(QStringLiteral("a.rtf"))), QStringLiteral("Apples"));

    // Someone else wrote just what we meant to: no copy.
    c->setAttributedText(RichText::plain(QStringLiteral("Cherries, ripe")));
    folder.put(QStringLiteral("c.rtf"), RichText::encode(c->attributedText(), {}, {}, c->created()));
    EXPECT_TRUE(store.save(*c).ok());
    EXPECT_EQ(store.conflictCopy(QStringLiteral("c")), std::nullopt);

    // A note created here whose name a file took before its first save.
    const auto fresh = store.create();
    folder.putNote(fresh->id(), QStringLiteral("a file of that name"));
    EXPECT_FALSE(store.save(*fresh).ok());
    EXPECT_TRUE(store.conflictCopy(fresh->id()));
    EXPECT_EQ(textOf(folder.bytes(fresh->id() + QStringLiteral(".rtf"))), QStringLiteral("a file of that name"));
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.rtf")}).size(), 5);
}

// Mac Greek, which this computer's iconv cannot convert: the text reads with
// U+FFFD where its letters were, and writing that back would lose them for good.
TEST(NoteStore, ANoteInACodePageThatCannotBeConvertedIsNotWrittenBackUnedited)
{
    NotesFolder folder;
    const QByteArray greek = "{\\rtf1\\mac\\ansicpg10006 Greek \\'e1\\'e2}";
    folder.put(QStringLiteral("g.rtf"), greek);
    NoteStore store(folder.path());
    store.load();
    const auto g = noteWithID(store, QStringLiteral("g"));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->text(), QStringLiteral("Greek \uFFFD\uFFFD"));

    const QString refused = QStringLiteral("\u201CGreek \uFFFD\uFFFD\u201D has text in code page 10006, which this "
                                           "computer can't convert, so it was left as it is.");
    EXPECT_EQ(store.save(*g).errorText(), refused);
    g->setCollapsedSections({0});  // folding alone is no edit of the text
    EXPECT_EQ(store.save(*g).errorText(), refused);
    g->setAttributedText(RichText::plain(g->text()));  // the same text, stored again by the editor
    EXPECT_EQ(store.save(*g).errorText(), refused);
    EXPECT_EQ(folder.bytes(QStringLiteral("g.rtf")), greek);

    g->setAttributedText(RichText::plain(QStringLiteral("Greek, typed again")));
    EXPECT_TRUE(store.save(*g).ok());
    EXPECT_EQ(textOf(folder.bytes(QStringLiteral("g.rtf"))), QStringLiteral("Greek, typed again"));
}

TEST(NoteStore, SavesTheMetadataWithTheNote)
{
    NotesFolder folder;
    NoteStore store(folder.path());
    Note note(QStringLiteral("a"), QStringLiteral("Title\nbody"), minutesLater(5), longAgo);
    note.setCollapsibleSections({0, 2});
    note.setCollapsedSections({2});
    ASSERT_TRUE(store.save(note).ok());

    store.load();
    ASSERT_EQ(ids(store), QStringList{"a"});
    const auto loaded = store.notes()[0];
    EXPECT_EQ(loaded->created(), longAgo);
    EXPECT_EQ(loaded->collapsibleSections(), (QList<int>{0, 2}));
    EXPECT_EQ(loaded->collapsedSections(), (QList<int>{2}));
    EXPECT_EQ(loaded->text(), QStringLiteral("Title\nbody"));
}

TEST(NoteStore, SortOrders)
{
    NotesFolder folder;
    folder.putNote(QStringLiteral("a"), QStringLiteral("Note 10"), minutesLater(3));
    folder.putNote(QStringLiteral("b"), QStringLiteral("note 2"), minutesLater(1));
    folder.putNote(QStringLiteral("c"), QStringLiteral("Apples"), minutesLater(2));
    NoteStore store(folder.path());
    store.setCollator(NoteSortOrder::titleCollator(QLocale(QLocale::English, QLocale::UnitedStates)));
    store.load();
    EXPECT_EQ(ids(store), (QStringList{"a", "c", "b"}));

    // Switching to the manual order without one keeps the list as shown, and writes nothing.
    store.setSortOrder(NoteSortOrder(NoteSortKey::manual));
    EXPECT_EQ(ids(store), (QStringList{"a", "c", "b"}));
    EXPECT_EQ(store.manualOrder(), (QStringList{"a", "c", "b"}));
    EXPECT_FALSE(folder.has(QStringLiteral("order.json")));

    store.setSortOrder(NoteSortOrder(NoteSortKey::title));
    EXPECT_EQ(ids(store), (QStringList{"c", "b", "a"}));

    store.setSortOrder(NoteSortOrder(NoteSortKey::manual));
    // Shown by title, so that is the manual order now.
    EXPECT_EQ(ids(store), (QStringList{"c", "b", "a"}));
    store.moveManually({QStringLiteral("a"), QStringLiteral("gone"), QStringLiteral("a")}, 1);
    EXPECT_EQ(ids(store), (QStringList{"c", "a", "b"}));
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), QByteArray(R"(["c","a","b"])"));
    store.moveManually({QStringLiteral("c")}, 99);
    EXPECT_EQ(ids(store), (QStringList{"a", "b", "c"}));

    store.setManualOrder({QStringLiteral("c"), QStringLiteral("b")});
    EXPECT_EQ(ids(store), (QStringList{"a", "c", "b"}));  // a, missing, goes first
    EXPECT_EQ(folder.bytes(QStringLiteral("order.json")), QByteArray(R"(["a","c","b"])"));
}
