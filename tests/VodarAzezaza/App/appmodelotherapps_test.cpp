#include "appmodel.h"
#include "familyfiles.h"
#include "modelharness.h"
#include "sqlite.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};

QStringList ids(const QList<SharedThing>& things)
{
    QStringList out;
    for (const SharedThing& t : things)
        out.append(t.id);
    return out;
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class AppModelOtherApps : public ::testing::Test {
protected:
    AppModelOtherApps()
    {
        h.syncDelay = 5ms;
        h.usePrivateBus();
        todo = std::make_unique<Sibling>(h);
    }

    AppModel& started()
    {
        AppModel& m = h.start();
        EXPECT_TRUE(waitForSync(m));
        EXPECT_TRUE(waitUntil([&] { return !m.ownChangePending(); }));
        return m;
    }

    // The sibling writes rows and says so; the model reads them.
    void sibling(const QList<SharedThing>& rows, AppModel& m)
    {
        for (const SharedThing& row : rows)
            todo->store.upsert(row);
        m.refreshFromFamily();
    }

    int postsOf(const std::function<void()>& operation) { return todo->postsDuring(operation); }

    ModelHarness h;
    std::unique_ptr<Sibling> todo;
};

} // namespace

TEST_F(AppModelOtherApps, TodayShowsWhatIsOpenAndThenWhatWasTickedHere)
{
    AppModel& m = started();
    SharedThing doneThere = Sibling::row("T2", "paid", wednesday);
    doneThere.done = true;
    sibling({Sibling::row("T1", "water the plants", wednesday), doneThere, Sibling::row("T3", "tomorrow's", thursday),
             Sibling::row("T4", "undated", std::nullopt), Sibling::row("N1", "from the notes app", wednesday, "notes"),
             Sibling::row("T6", "Zebra", wednesday), Sibling::row("T7", "apple", wednesday),
             Sibling::row("T8", "leaves the store", wednesday)},
            m);
    m.commit([](Planner& p) { p.add(QStringLiteral("own thing"), Place::onDay(wednesday)); });
    ASSERT_TRUE(waitForSync(m));
    EXPECT_EQ(ids(m.otherApps().todayFromOthers()), (QStringList{"T1", "N1", "T6", "T7", "T8"}));

    for (const QString id : {"T6", "T7", "T8"})
        m.otherApps().toggleExternal(*m.otherApps().externalThing(id));
    EXPECT_EQ(ids(m.otherApps().todayFromOthers()), (QStringList{"T1", "N1", "T6", "T7", "T8"}))
        << "ticked here: at the end, by title, capitals first";
    todo->store.markDeleted("T8", std::nullopt);
    m.refreshFromFamily();
    EXPECT_EQ(ids(m.otherApps().todayFromOthers()), (QStringList{"T1", "N1", "T6", "T7"}));
    EXPECT_FALSE(ids(m.otherApps().familyThings()).contains(*m.planner().things(Place::onDay(wednesday)).first().syncID));
    EXPECT_EQ(m.otherApps().externalThing("T8")->title, "leaves the store") << "still known from the tick";
    EXPECT_EQ(m.otherApps().externalThing("nope"), std::nullopt);
}

TEST_F(AppModelOtherApps, TickingKeepsAThingInTheColumnUntilTheAppQuits)
{
    AppModel& m = started();
    sibling({Sibling::row("T1", "water the plants", wednesday)}, m);

    EXPECT_EQ(postsOf([&] { m.otherApps().toggleExternal(*m.otherApps().externalThing("T1")); }), 1);
    EXPECT_TRUE(storedRow(h.family(), "T1")->done);
    ASSERT_EQ(m.otherApps().todayFromOthers().size(), 1);
    EXPECT_TRUE(m.otherApps().todayFromOthers().first().done);

    // Unticked in the sibling: still shown done here, from the tick.
    todo->store.setDone("T1", false);
    m.refreshFromFamily();
    EXPECT_TRUE(m.otherApps().todayFromOthers().first().done);

    todo->store.setDone("T1", true);
    m.otherApps().toggleExternal(m.otherApps().todayFromOthers().first());
    ASSERT_EQ(m.otherApps().todayFromOthers().size(), 1);
    EXPECT_FALSE(m.otherApps().todayFromOthers().first().done);
    EXPECT_FALSE(storedRow(h.family(), "T1")->done);

    m.otherApps().toggleExternal(m.otherApps().todayFromOthers().first());
    AppModel& again = started();
    EXPECT_TRUE(again.otherApps().todayFromOthers().isEmpty()) << "done in the store, and not ticked in this run";
}

TEST_F(AppModelOtherApps, RenamingWritesOnlyARealChange)
{
    AppModel& m = started();
    sibling({Sibling::row("T1", "water the plants", wednesday)}, m);
    const double stamp = storedRow(h.family(), "T1")->updatedAt;
    for (const QString title : {"   ", "water the plants", "  water the plants\n"}) {
        EXPECT_EQ(postsOf([&] { m.otherApps().renameExternal(*m.otherApps().externalThing("T1"), title); }), 0) << title.toStdString();
        EXPECT_EQ(storedRow(h.family(), "T1")->updatedAt, stamp);
    }

    // A sibling's title on two lines reads as one in the field: left so, it stays the
    // sibling's; a real change is written on one line.
    sibling({Sibling::row("T2", "water\nthe roses", wednesday)}, m);
    EXPECT_EQ(postsOf([&] { m.otherApps().renameExternal(*m.otherApps().externalThing("T2"), "water the roses"); }), 0);
    EXPECT_EQ(storedRow(h.family(), "T2")->title, "water\nthe roses");
    EXPECT_EQ(postsOf([&] { m.otherApps().renameExternal(*m.otherApps().externalThing("T2"), "water\nthe tulips"); }), 1);
    EXPECT_EQ(storedRow(h.family(), "T2")->title, "water the tulips");

    m.otherApps().toggleExternal(*m.otherApps().externalThing("T1"));
    EXPECT_EQ(postsOf([&] { m.otherApps().renameExternal(*m.otherApps().externalThing("T1"), "  water the ferns "); }), 1);
    EXPECT_EQ(storedRow(h.family(), "T1")->title, "water the ferns");
    EXPECT_EQ(m.otherApps().tickedExternal().value("T1").title, "water the ferns");
    EXPECT_EQ(m.otherApps().externalThing("T1")->title, "water the ferns");
}

TEST_F(AppModelOtherApps, StepsAreWrittenForTheSiblingAndAnnouncedOnlyWhenTheyChanged)
{
    AppModel& m = started();
    SharedThing row = Sibling::row("T1", "water the plants", wednesday);
    row.steps = {{"fill the can", true}};
    sibling({row}, m);
    const QList<SharedStep> same = row.steps;
    EXPECT_EQ(postsOf([&] { m.otherApps().setExternalSteps("T1", same); }), 0);

    // What the sibling reads from its own handle once it has heard the planner.
    const QList<SharedStep> steps{{"fill the can", true}, {"  the fern too", false}};
    const int heard = todo->heard;
    m.otherApps().setExternalSteps("T1", steps);
    ASSERT_TRUE(waitUntil([&] { return todo->heard > heard; }));
    EXPECT_EQ(storedRow(todo->store, "T1")->steps, steps);
    EXPECT_EQ(m.otherApps().externalThing("T1")->steps, steps) << "read back at once";
    EXPECT_TRUE(waitUntil([&] { return !m.ownChangePending(); })) << "its own echo is skipped";

    m.otherApps().toggleExternal(*m.otherApps().externalThing("T1"));
    const QList<SharedStep> fewer{{"fill the can", true}};
    EXPECT_EQ(postsOf([&] { m.otherApps().setExternalSteps("T1", fewer); }), 1);
    EXPECT_EQ(m.otherApps().tickedExternal().value("T1").steps, fewer) << "the ticked copy shows the same steps";

    todo->store.markDeleted("T1", std::nullopt);
    m.refreshFromFamily();
    EXPECT_EQ(postsOf([&] { m.otherApps().setExternalSteps("gone", steps); }), 0);
}

TEST_F(AppModelOtherApps, MovingToAnotherDayLeavesTodayAndItsSlot)
{
    h.settings().setValue("order.otherApps", R"({"T1":2,"T2":0})");
    for (const SharedThing& row : {Sibling::row("T1", "water the plants", wednesday), Sibling::row("T2", "undated", std::nullopt),
                                   Sibling::row("N1", "a notes thing", wednesday, "notes")})
        todo->store.upsert(row);
    AppModel& m = started();
    EXPECT_EQ(m.otherApps().externalSlots().size(), 2) << "their rows are there";

    EXPECT_EQ(postsOf([&] { m.otherApps().moveExternal("T1", wednesday); }), 0);
    EXPECT_EQ(m.toast(), std::nullopt);
    EXPECT_EQ(postsOf([&] { m.otherApps().moveExternal("nope", thursday); }), 0);

    EXPECT_EQ(postsOf([&] { m.otherApps().moveExternal("T1", thursday); }), 1);
    EXPECT_EQ(storedRow(h.family(), "T1")->day, thursday.iso());
    EXPECT_EQ(ids(m.otherApps().todayFromOthers()), QStringList{"N1"});
    EXPECT_EQ(m.otherApps().externalSlots(), (QMap<QString, int>{{"T2", 0}}));
    EXPECT_EQ(h.settings().value("order.otherApps"), QVariant(R"({"T2":0})"));
    EXPECT_EQ(m.toast(), "Moved it in Pemby Todo too.");

    m.otherApps().moveExternal("T2", wednesday);  // a thing without a day is moved
    EXPECT_EQ(storedRow(h.family(), "T2")->day, wednesday.iso());
    m.otherApps().moveExternal("N1", thursday);
    EXPECT_EQ(m.toast(), "Moved it in notes too.");
}

TEST_F(AppModelOtherApps, DeletingMarksTheRowDeletedByThePlanner)
{
    AppModel& m = started();
    sibling({Sibling::row("N1", "a notes thing", wednesday, "notes"), Sibling::row("T1", "water", wednesday)}, m);
    m.otherApps().toggleExternal(*m.otherApps().externalThing("N1"));
    m.otherApps().setSelectedExternal(QStringLiteral("N1"));
    m.setOpenedExternal(QStringLiteral("N1"));
    m.setEditing(Editing::external("N1"));

    EXPECT_EQ(postsOf([&] { m.otherApps().deleteExternal("N1"); }), 1);
    EXPECT_EQ(m.toast(), "Deleted. Gone from notes too.");
    EXPECT_FALSE(storedRow(h.family(), "N1"));
    EXPECT_EQ(*h.family().deletedByOthers("notes"), QStringList{"N1"});
    EXPECT_FALSE(m.otherApps().tickedExternal().contains("N1"));
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);
    EXPECT_EQ(m.openedExternal(), std::nullopt);
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(ids(m.otherApps().todayFromOthers()), QStringList{"T1"});
    EXPECT_EQ(m.undoStack().size(), 0) << "not undoable here";

    m.otherApps().deleteExternal("T1");
    EXPECT_EQ(m.toast(), "Deleted. Gone from Pemby Todo too.");
    EXPECT_EQ(postsOf([&] { m.otherApps().deleteExternal("T1"); }), 0) << "gone already";
}

TEST_F(AppModelOtherApps, SavesTheNoteOfAnotherAppsThing)
{
    AppModel& m = started();
    SharedThing withNote = Sibling::row("T2", "has a note", wednesday);
    withNote.noteID = "0A0B0C0D-0000-4000-8000-0000000000AA";
    withNote.note = "old";
    SharedThing badID = Sibling::row("T3", "a bad note id", wednesday);
    badID.noteID = "../../escape";
    sibling({Sibling::row("T1", "no note yet", wednesday), withNote, badID}, m);

    // A new note gets a new lower-case id.
    EXPECT_EQ(postsOf([&] { m.otherApps().saveExternalNote("T1", QByteArray("{\\rtf1 two litres}"), "  two litres \n"); }), 1);
    const auto first = storedRow(h.family(), "T1");
    ASSERT_TRUE(first->noteID);
    EXPECT_TRUE(pemby::isUuidText(*first->noteID));
    EXPECT_EQ(*first->noteID, first->noteID->toLower());
    EXPECT_EQ(first->note, "two litres");
    EXPECT_EQ(read(h.notesFolder() + "/" + *first->noteID + ".rtf"), "{\\rtf1 two litres}");

    // A note id the row has is kept.
    m.otherApps().saveExternalNote("T2", QByteArray("{\\rtf1 new}"), "new");
    EXPECT_EQ(storedRow(h.family(), "T2")->noteID, withNote.noteID);
    EXPECT_EQ(read(h.notesFolder() + "/" + *withNote.noteID + ".rtf"), "{\\rtf1 new}");

    // Only blanks, with rich text or without: the note goes, file and all.
    m.otherApps().saveExternalNote("T2", QByteArray("{\\rtf1  }"), " \n ");
    EXPECT_EQ(storedRow(h.family(), "T2")->noteID, std::nullopt);
    EXPECT_EQ(storedRow(h.family(), "T2")->note, "");
    EXPECT_FALSE(QFile::exists(h.notesFolder() + "/" + *withNote.noteID + ".rtf"));
    EXPECT_EQ(postsOf([&] { m.otherApps().saveExternalNote("T2", std::nullopt, ""); }), 0) << "nothing left to change";

    // A note id that is no UUID never becomes a path.
    m.otherApps().saveExternalNote("T3", QByteArray("{\\rtf1 x}"), "x");
    const auto third = storedRow(h.family(), "T3");
    ASSERT_TRUE(third->noteID);
    EXPECT_TRUE(pemby::isUuidText(*third->noteID));
    EXPECT_FALSE(QFile::exists(QDir(h.notesFolder()).filePath("../../escape.rtf")));
    QStringList notes{*first->noteID + ".rtf", *third->noteID + ".rtf"};
    notes.sort();
    EXPECT_EQ(QDir(h.notesFolder()).entryList(QDir::Files, QDir::Name), notes);
    EXPECT_EQ(m.saveError(), std::nullopt);

    // Text that came without its rich text could not be written out: the note stays.
    EXPECT_EQ(postsOf([&] { m.otherApps().saveExternalNote("T1", std::nullopt, "two litres"); }), 0);
    EXPECT_EQ(read(h.notesFolder() + "/" + *first->noteID + ".rtf"), "{\\rtf1 two litres}");
    EXPECT_EQ(storedRow(h.family(), "T1")->noteID, first->noteID);
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.saveError()->startsWith("Couldn't save the note: ")) << m.saveError()->toStdString();
}

TEST_F(AppModelOtherApps, ANoteThatCannotBeWrittenIsASaveErrorAndChangesNothing)
{
    h.blockNotesFolder();
    AppModel& m = started();
    sibling({Sibling::row("T1", "water the plants", wednesday)}, m);

    EXPECT_EQ(postsOf([&] { m.otherApps().saveExternalNote("T1", QByteArray("{\\rtf1 x}"), "x"); }), 0);
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.saveError()->startsWith("Couldn't save the note: ")) << m.saveError()->toStdString();
    EXPECT_EQ(storedRow(h.family(), "T1")->noteID, std::nullopt);
    EXPECT_EQ(m.footnote(), *m.saveError());
    EXPECT_EQ(postsOf([&] { m.otherApps().saveExternalNote("nope", QByteArray("{\\rtf1 x}"), "x"); }), 0);
}

TEST_F(AppModelOtherApps, SlotsOfThingsThatLeftTheStoreAreForgotten)
{
    todo->store.upsert(Sibling::row("T1", "water the plants", wednesday));
    h.settings().setValue("order.otherApps", R"({"T1":3,"gone":1})");
    AppModel& m = started();
    EXPECT_EQ(m.otherApps().externalSlots(), (QMap<QString, int>{{"T1", 3}}));
    EXPECT_EQ(h.settings().value("order.otherApps"), QVariant(R"({"T1":3})"));

    m.otherApps().setSelectedExternal(QStringLiteral("T1"));
    todo->store.setDay("T1", thursday.iso());
    m.refreshFromFamily();
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt) << "no longer in today's column";
    EXPECT_EQ(m.otherApps().externalSlots().size(), 1);
}

// A change the store refuses (a sibling holds the lock past the wait, or the file no
// longer reads as a database) is the save error, and everything shown stays as the
// store has it: the rows, their slots, the tick, the selection. A tick or a rename
// under a lock is not refused: it waits for the lock (the family sync's tests).
TEST(AppModelOtherAppsRefused, ShowTheSaveErrorAndKeepTheRowsAndSlots)
{
    struct Condition {
        const char* name;
        QString reason;
    };
    const Condition conditions[] = {
        {"locked", "database is locked"},
        {"unreadable", "file is not a database"},
    };
    struct Operation {
        const char* name;
        std::function<void(AppModel&)> run;
        QString text;
        bool waitsForTheLock = false;
    };
    const QString refused = "Couldn't change it in Pemby Todo: ";
    const Operation operations[] = {
        {"tick", [](AppModel& m) { m.otherApps().toggleExternal(*m.otherApps().externalThing("T1")); }, refused, true},
        {"rename", [](AppModel& m) { m.otherApps().renameExternal(*m.otherApps().externalThing("T1"), "water the ferns"); }, refused, true},
        {"steps", [](AppModel& m) { m.otherApps().setExternalSteps("T1", {{"fill the can", false}}); }, refused},
        {"move", [](AppModel& m) { m.otherApps().moveExternal("T1", thursday); }, refused},
        {"delete", [](AppModel& m) { m.otherApps().deleteExternal("T1"); }, refused},
        {"note", [](AppModel& m) { m.otherApps().saveExternalNote("T1", QByteArray("{\\rtf1 x}"), "x"); },
         "Couldn't save the note: "},
    };
    for (const Condition& condition : conditions) {
        for (const Operation& operation : operations) {
            if (QString(condition.name) == "locked" && operation.waitsForTheLock)
                continue;
            SCOPED_TRACE(std::string(condition.name) + ", " + operation.name);
            ModelHarness h;
            h.syncDelay = 5ms;
            h.setFamilyBusyTimeout(50ms);
            h.family().upsert(Sibling::row("T1", "water the plants", wednesday));
            h.family().upsert(Sibling::row("T2", "buy stamps", wednesday));
            h.settings().setValue("order.otherApps", R"({"T1":1,"T2":0})");
            AppModel& m = h.start();
            ASSERT_TRUE(waitForSync(m));
            m.otherApps().setSelectedExternal(QStringLiteral("T1"));
            m.setOpenedExternal(QStringLiteral("T1"));
            const QList<SharedThing> shown = m.otherApps().familyThings();
            ASSERT_EQ(ids(m.otherApps().todayFromOthers()), (QStringList{"T1", "T2"}));

            SqliteConnection lock;
            if (QString(condition.name) == "locked") {
                lock = SqliteConnection::open(h.familyPath()).connection;
                ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE;"));
            } else {
                SqliteConnection(SqliteConnection::open(h.familyPath()).connection)
                    .exec("PRAGMA wal_checkpoint(TRUNCATE);");
                replaceFile(h.familyPath(), QByteArray(8192, 'x'));
            }

            operation.run(m);
            EXPECT_EQ(m.saveError(), operation.text + condition.reason);
            EXPECT_EQ(m.footnote(), *m.saveError());
            EXPECT_EQ(m.otherApps().familyThings(), shown);
            EXPECT_EQ(ids(m.otherApps().todayFromOthers()), (QStringList{"T1", "T2"}));
            EXPECT_FALSE(m.otherApps().todayFromOthers().first().done) << "as the store has it";
            EXPECT_TRUE(m.otherApps().tickedExternal().isEmpty());
            EXPECT_EQ(m.otherApps().externalSlots(), (QMap<QString, int>{{"T1", 1}, {"T2", 0}}));
            EXPECT_EQ(h.settings().value("order.otherApps"), QVariant(R"({"T1":1,"T2":0})"));
            EXPECT_EQ(m.otherApps().selectedExternal(), "T1");
            EXPECT_EQ(m.openedExternal(), "T1");
            EXPECT_EQ(m.toast(), std::nullopt);
            EXPECT_TRUE(QDir(h.notesFolder()).entryList(QDir::Files).isEmpty()) << "no note file left behind";

            if (lock.isOpen()) {
                EXPECT_EQ(m.syncError(), std::nullopt);
                ASSERT_TRUE(lock.exec("ROLLBACK;"));
                // Once the lock is gone the same change goes through and the error goes with it.
                operation.run(m);
                EXPECT_EQ(m.saveError(), std::nullopt);
            } else {
                EXPECT_EQ(m.syncError(), condition.reason);
            }
        }
    }
}
