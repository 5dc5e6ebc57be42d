// The planner and a sibling edit the same things; whatever the timing, no edit of
// either side is lost, and where both changed the same field the planner's stays.
#include "appmodel.h"
#include "familyfiles.h"
#include "familysync.h"
#include "modelharness.h"
#include "otherapps.h"
#include "sqlite.h"
#include "textutil.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

using Agreed = FamilyStore::Agreed;

Agreed agreed(const QString& title, bool done = false, const std::optional<QString>& day = wednesday.iso())
{
    Agreed a;
    a.title = title;
    a.done = done;
    a.day = day;
    return a;
}

void settle(AppModel& m)
{
    EXPECT_TRUE(waitForSync(m));
    EXPECT_TRUE(waitUntil([&] { return !m.ownChangePending(); })) << "the echo comes back";
    QTest::qWait(30);
}

// "call mum" and "buy milk" on today, published; their sync ids.
std::pair<QString, QString> publishTwo(AppModel& m)
{
    settle(m);
    m.commit([](Planner& p) {
        p.add(QStringLiteral("call mum"), today);
        p.add(QStringLiteral("buy milk"), today);
    });
    settle(m);
    return {m.planner().things(today)[0].syncID.value(), m.planner().things(today)[1].syncID.value()};
}

} // namespace

// Field by field: one side's change is taken, both sides' changes leave the plan's.
TEST(FamilySyncMerge, TakesWhatOnlyTheStoreChangedAndKeepsThePlansOwn)
{
    const Agreed base = agreed("buy milk");
    struct Case {
        const char* name;
        Agreed plan;
        Agreed stored;
        std::function<void(FamilySync::Take&)> expected;
    };
    Agreed renamedThere = base;
    renamedThere.title = "buy oat milk";
    Agreed tickedHere = base;
    tickedHere.done = true;
    Agreed renamedHere = base;
    renamedHere.title = "buy soy milk";
    Agreed blank = base;
    blank.title = "  ";
    Agreed movedThere = base;
    movedThere.day = "2026-03-09";
    Agreed notedThere = base;
    notedThere.note = "two litres";
    Agreed both = renamedThere;
    both.done = true;
    const Case cases[] = {
        {"nobody changed it", base, base, [](FamilySync::Take&) {}},
        {"renamed there", base, renamedThere, [](FamilySync::Take& t) { t.title = "buy oat milk"; }},
        {"ticked here, renamed there", tickedHere, renamedThere, [](FamilySync::Take& t) { t.title = "buy oat milk"; }},
        {"renamed on both sides", renamedHere, renamedThere, [](FamilySync::Take&) {}},
        {"renamed and ticked there", base, both,
         [](FamilySync::Take& t) {
             t.title = "buy oat milk";
             t.done = true;
         }},
        {"renamed to blanks there", base, blank, [](FamilySync::Take&) {}},
        {"moved there", base, movedThere, [](FamilySync::Take& t) { t.day = "2026-03-09"; }},
        {"a note there", base, notedThere,
         [](FamilySync::Take& t) { t.note = std::pair(std::optional<QString>(), QStringLiteral("two litres")); }},
        {"the same change on both sides", renamedThere, renamedThere, [](FamilySync::Take&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FamilySync::Take expected;
        c.expected(expected);
        const FamilySync::Take take = FamilySync::merge(c.plan, c.stored, base);
        EXPECT_EQ(take.title, expected.title);
        EXPECT_EQ(take.done, expected.done);
        EXPECT_EQ(take.note, expected.note);
        EXPECT_EQ(take.steps, expected.steps);
        EXPECT_EQ(take.day, expected.day);
        // Without a base nothing the plan holds is given up.
        EXPECT_TRUE(FamilySync::merge(c.plan, c.stored, std::nullopt).isEmpty());
    }
}

// The base outlives the sync object, and a replaced store forgets it.
TEST(FamilySyncBase, IsKeptOnDiskAndForgottenForAnotherFile)
{
    QTemporaryDir dir;
    FamilyStore store(dir.filePath("family.db"));
    const QString basePath = dir.filePath("state/family-base.db");
    SharedThing row;
    row.id = "A";
    row.title = "buy milk";
    row.day = wednesday.iso();
    row.steps = {{"find a bag", true}};
    row.sourceApp = "planner";
    {
        FamilySync sync(store, "planner", basePath);
        sync.agreed({row}, {});
    }
    {
        FamilySync sync(store, "planner", basePath);
        ASSERT_TRUE(sync.base("A"));
        EXPECT_EQ(*sync.base("A"), Agreed::of(row));
        sync.forget();
    }
    FamilySync sync(store, "planner", basePath);
    EXPECT_FALSE(sync.base("A"));
}

// After the first publication only what changed is written, and the store still holds
// exactly the plan: a rename, a move to another day, a move into a list, a deletion, a
// reorder (which no row holds), and a sibling's tick of a row the plan did not touch.
TEST(FamilySyncPublish, AfterTheFirstOnlyTheChangedRowsAreWrittenAndTheStoreMirrorsThePlan)
{
    QTemporaryDir dir;
    FamilyStore store(dir.filePath("family.db"));
    FamilyStore sibling(dir.filePath("family.db"));
    FamilySync sync(store, "planner", dir.filePath("family-base.db"));
    const Day thursday = wednesday.adding(1);
    Planner plan;
    plan.lists.append(EventuallyList{QStringLiteral("someday"), {}});
    QStringList titles;
    for (int day = 0; day < 3; ++day) {
        for (int i = 0; i < 4; ++i) {
            Thing thing = Thing::make(QStringLiteral("thing %1.%2").arg(day).arg(i));
            thing.syncID = pemby::newUuidUpper();
            plan.add(thing, Place::onDay(wednesday.adding(day)));
        }
    }
    const auto rowsOfPlan = [&] {
        QMap<QString, SharedThing> rows;
        plan.forEachThing([&](const Place& place, int, const Thing& thing) {
            SharedThing row = sync.row(thing, place.day(), 0);
            rows.insert(row.id, row);
        });
        return rows;
    };
    const auto rowsOfStore = [&] {
        QMap<QString, SharedThing> rows;
        const Result<QList<SharedThing>> read = sibling.allThings();
        for (SharedThing row : read.value()) {
            row.updatedAt = 0;
            rows.insert(row.id, row);
        }
        return rows;
    };
    ASSERT_EQ(sync.publish(plan, 1).written, 12);
    EXPECT_EQ(rowsOfStore(), rowsOfPlan());
    EXPECT_EQ(sync.publish(plan, 2).written, 0) << "nothing changed";

    plan.update(idOf(plan, "thing 0.1"), [](Thing& t) { t.title = QStringLiteral("renamed"); });
    plan.move(idOf(plan, "thing 0.2"), Place::onDay(thursday));
    plan.move(idOf(plan, "thing 1.3"), Place::inList(0));
    plan.remove(idOf(plan, "thing 2.0"));
    plan.move(idOf(plan, "thing 2.3"), Place::onDay(wednesday.adding(2)), 0);
    const QString touched = plan.thing(idOf(plan, "thing 2.1"))->syncID.value();
    ASSERT_TRUE(sibling.setDone(touched, true));
    ASSERT_TRUE(sync.readChanges());
    const FamilyStore::Publication published = sync.publish(plan, 3);
    EXPECT_EQ(published.written, 4) << "the rename, the two moves and the deletion";
    // The sibling ticked a row after the base: it is looked at, and not written over
    // before the plan has taken the tick in.
    EXPECT_EQ(published.heldBack, QStringList{touched});
    QMap<QString, SharedThing> expected = rowsOfPlan();
    expected[touched].done = true;
    EXPECT_EQ(rowsOfStore(), expected);
}

namespace {

enum class When { InTheDelay, UnderALock, Closed, ClosedWithNoBase, AfterACrash };
enum class What { OtherThing, SameThingOtherField, SameField };

const char* name(When when)
{
    switch (when) {
    case When::InTheDelay: return "inside the sync delay";
    case When::UnderALock: return "under another app's lock";
    case When::Closed: return "while the planner was closed";
    case When::ClosedWithNoBase: return "while closed, and no base kept";
    case When::AfterACrash: return "after a crash before publishing";
    }
    return "";
}

const char* name(What what)
{
    switch (what) {
    case What::OtherThing: return "another thing";
    case What::SameThingOtherField: return "the same thing, another field";
    case What::SameField: return "the same field";
    }
    return "";
}

} // namespace

// The planner renames A; the sibling renames B, ticks A, or renames A too.
TEST(FamilySyncRun, NoEditOfEitherSideIsLost)
{
    for (const When when : {When::InTheDelay, When::UnderALock, When::Closed, When::ClosedWithNoBase, When::AfterACrash}) {
        for (const What what : {What::OtherThing, What::SameThingOtherField, What::SameField}) {
            SCOPED_TRACE(std::string(name(what)) + ", " + name(when));
            ModelHarness h;
            h.syncDelay = 50ms;
            h.setFamilyBusyTimeout(20ms);
            h.usePrivateBus();
            Sibling todo(h);
            AppModel* m = &h.start();
            const auto [a, b] = publishTwo(*m);

            // The sibling's edit, through its store or, under its own lock, by hand.
            const auto siblingEdits = [&](SqliteConnection* locked) {
                const auto title = [&](const QString& id, const QString& text) {
                    if (!locked) {
                        ASSERT_TRUE(todo.store.setTitle(id, text));
                        return;
                    }
                    SqliteStatement update(*locked, "UPDATE things SET title = ?, updated_at = 1 WHERE id = ?;");
                    update.bindText(1, text);
                    update.bindText(2, id);
                    ASSERT_TRUE(update.run());
                };
                switch (what) {
                case What::OtherThing:
                    title(b, "buy oat milk");
                    break;
                case What::SameThingOtherField:
                    if (locked)
                        ASSERT_TRUE(locked->exec(("UPDATE things SET done = 1 WHERE id = '" + a + "';").toUtf8()));
                    else
                        ASSERT_TRUE(todo.store.setDone(a, true));
                    break;
                case What::SameField:
                    title(a, "call dad");
                    break;
                }
            };
            const auto renameHere = [&] {
                m->commit([&](Planner& p) {
                    p.update(p.thingWithSyncID(a)->id, [](Thing& t) { t.title = "call mum back"; });
                });
            };

            switch (when) {
            case When::InTheDelay:
                renameHere();
                ASSERT_TRUE(m->syncPending());
                siblingEdits(nullptr);
                // The sync runs before the sibling's notification is heard.
                m->flushSync();
                todo.post();
                break;
            case When::UnderALock: {
                SqliteConnection lock = SqliteConnection::open(h.familyPath()).connection;
                ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE;"));
                renameHere();
                QTest::qWait(150);  // the sync meets the lock, and tries again
                EXPECT_TRUE(m->syncPending());
                siblingEdits(&lock);
                ASSERT_TRUE(lock.exec("COMMIT;"));
                m->flushSync();
                todo.post();
                break;
            }
            case When::Closed:
            case When::ClosedWithNoBase: {
                h.stop();
                QString text = h.text(thisWeek);
                ASSERT_TRUE(text.contains("call mum"));
                h.put(thisWeek, text.replace("call mum", "call mum back"));
                if (when == When::ClosedWithNoBase) {
                    for (const char* suffix : {"", "-wal", "-shm"})
                        QFile::remove(h.root() + "/family-base.db" + suffix);
                }
                siblingEdits(nullptr);
                m = &h.start();
                break;
            }
            case When::AfterACrash:
                renameHere();
                h.stop();  // gone before the sync ran
                siblingEdits(nullptr);
                m = &h.start();
                break;
            }
            ASSERT_TRUE(waitUntil([&] { return !m->syncPending(); }, 5000));
            settle(*m);
            QTest::qWait(50);
            settle(*m);

            const auto check = [&](const char* where, const QString& titleA, bool doneA, const QString& titleB) {
                SCOPED_TRACE(where);
                const auto thingA = m->planner().thingWithSyncID(a);
                const auto thingB = m->planner().thingWithSyncID(b);
                ASSERT_TRUE(thingA && thingB);
                EXPECT_EQ(thingA->title, titleA);
                EXPECT_EQ(thingA->done, doneA);
                EXPECT_EQ(thingB->title, titleB);
                const auto rowA = storedRow(todo.store, a);
                const auto rowB = storedRow(todo.store, b);
                ASSERT_TRUE(rowA && rowB);
                EXPECT_EQ(rowA->title, titleA);
                EXPECT_EQ(rowA->done, doneA);
                EXPECT_EQ(rowB->title, titleB);
            };
            switch (what) {
            case What::OtherThing:
                check("in the plan and the store", "call mum back", false, "buy oat milk");
                break;
            case What::SameThingOtherField:
                check("in the plan and the store", "call mum back", true, "buy milk");
                break;
            case What::SameField:
                // Both renamed it: the person at this window wins.
                check("in the plan and the store", "call mum back", false, "buy milk");
                break;
            }
            EXPECT_TRUE(h.text(thisWeek).contains("call mum back"));
        }
    }
}

// The sibling holds its write lock while the person ticks and renames its things on the
// board: nothing fails, nothing is taken back, the footnote says the sync waits, and
// every change reaches the store, in order, once the lock goes.
TEST(FamilySyncOthers, ChangesUnderAnotherAppsLockWaitAndArriveOnceItGoes)
{
    ModelHarness h;
    h.setFamilyBusyTimeout(20ms);
    h.usePrivateBus();
    Sibling todo(h);
    ASSERT_TRUE(todo.store.upsert(Sibling::row("T1", "buy stamps", wednesday)));
    ASSERT_TRUE(todo.store.upsert(Sibling::row("T2", "post the letter", wednesday)));
    ASSERT_TRUE(todo.store.upsert(Sibling::row("T3", "ring the bank", wednesday)));
    AppModel& m = h.start();
    ASSERT_EQ(m.otherApps().todayFromOthers().size(), 3);
    const auto shown = [&](const QString& id) { return m.otherApps().externalThing(id).value(); };

    SqliteConnection lock = SqliteConnection::open(h.familyPath()).connection;
    ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE;"));
    SignalCount footnote(m, &AppModel::syncErrorChanged);
    m.otherApps().toggleExternal(shown("T1"));
    m.otherApps().renameExternal(shown("T2"), "post both letters");
    m.otherApps().renameExternal(shown("T1"), "buy ten stamps");
    // Ticked and unticked again while waiting: the last word is the person's.
    m.otherApps().toggleExternal(shown("T3"));
    m.otherApps().toggleExternal(shown("T3"));
    // Several tries meet the lock; a busy machine takes its time over them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.syncWaits(); }, 5000));

    EXPECT_EQ(m.saveError(), std::nullopt) << "waiting is no failure";
    EXPECT_EQ(m.syncError(), std::nullopt);
    EXPECT_TRUE(m.syncWaits());
    EXPECT_EQ(m.footnote(), "sync waits: another app is writing to the family store");
    EXPECT_GE(footnote(), 1);
    EXPECT_TRUE(shown("T1").done);
    EXPECT_EQ(shown("T1").title, "buy ten stamps");
    EXPECT_EQ(shown("T2").title, "post both letters");
    EXPECT_FALSE(shown("T3").done);
    // A sibling's notification meanwhile reads the store, which has none of it yet.
    todo.post();
    QTest::qWait(100);
    EXPECT_TRUE(shown("T1").done);
    EXPECT_EQ(shown("T2").title, "post both letters");
    EXPECT_EQ(storedRow(todo.store, "T1")->title, "buy stamps");

    const int heard = todo.heard;
    ASSERT_TRUE(lock.exec("COMMIT;"));
    ASSERT_TRUE(waitUntil([&] { return !m.syncWaits(); }));
    EXPECT_TRUE(storedRow(todo.store, "T1")->done);
    EXPECT_EQ(storedRow(todo.store, "T1")->title, "buy ten stamps");
    EXPECT_EQ(storedRow(todo.store, "T2")->title, "post both letters");
    EXPECT_FALSE(storedRow(todo.store, "T3")->done);
    EXPECT_TRUE(waitUntil([&] { return todo.heard > heard; })) << "the family hears of it";
    EXPECT_EQ(m.saveError(), std::nullopt);
    EXPECT_NE(m.footnote(), "sync waits: another app is writing to the family store");
    EXPECT_TRUE(shown("T1").done);
    EXPECT_EQ(shown("T1").title, "buy ten stamps");
}

// Quitting does not wait for the next try: what still waits is written on the way out.
TEST(FamilySyncOthers, AChangeStillWaitingIsWrittenOnTheWayOut)
{
    ModelHarness h;
    h.setFamilyBusyTimeout(20ms);
    h.usePrivateBus();
    Sibling todo(h);
    ASSERT_TRUE(todo.store.upsert(Sibling::row("T1", "buy stamps", wednesday)));
    AppModel& m = h.start();
    SqliteConnection lock = SqliteConnection::open(h.familyPath()).connection;
    ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE;"));
    m.otherApps().renameExternal(*m.otherApps().externalThing("T1"), "buy ten stamps");
    ASSERT_TRUE(m.syncWaits());
    ASSERT_TRUE(lock.exec("COMMIT;"));
    m.flushSync();  // as the app does when it quits
    EXPECT_EQ(storedRow(todo.store, "T1")->title, "buy ten stamps");
    EXPECT_FALSE(m.syncWaits());
}

// A sibling whose clock is half a minute behind is heard like any other, and the
// planner's next publication leaves its edit alone.
TEST(FamilySyncRun, AClockThatStepsBackDecidesNothing)
{
    ModelHarness h;
    h.syncDelay = 20ms;
    h.usePrivateBus();
    Sibling todo(h);
    AppModel& m = h.start();
    const QString milk = publishTwo(m).second;

    FamilyStore behind(h.familyPath(), [] { return QDateTime::currentDateTimeUtc().addSecs(-30); });
    ASSERT_TRUE(behind.setTitle(milk, "buy oat milk"));
    ASSERT_TRUE(behind.setDone(milk, true));
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.planner().thingWithSyncID(milk)->title == "buy oat milk"; }));
    EXPECT_TRUE(m.planner().thingWithSyncID(milk)->done);

    m.commit([](Planner& p) { p.update(p.things(today)[0].id, [](Thing& t) { t.title = "call mum back"; }); });
    settle(m);
    EXPECT_EQ(storedRow(todo.store, milk)->title, "buy oat milk");
    EXPECT_TRUE(storedRow(todo.store, milk)->done);
}

// Deleted on one side and changed on the other: the thing is kept, with the change.
TEST(FamilySyncRun, AThingDeletedOnOneSideAndChangedOnTheOtherIsKept)
{
    ModelHarness h;
    h.syncDelay = 50ms;
    h.usePrivateBus();
    Sibling todo(h);
    AppModel& m = h.start();
    const auto [mum, milk] = publishTwo(m);

    // Deleted here; renamed there before the deletion was published.
    m.commit([&](Planner& p) { p.remove(p.thingWithSyncID(mum)->id); });
    ASSERT_TRUE(todo.store.setTitle(mum, "call mum at six"));
    m.flushSync();
    todo.post();
    settle(m);
    ASSERT_TRUE(m.planner().thingWithSyncID(mum));
    EXPECT_EQ(m.planner().thingWithSyncID(mum)->title, "call mum at six");
    EXPECT_EQ(storedRow(todo.store, mum)->title, "call mum at six");

    // Renamed here; deleted there before the rename was published.
    m.commit([&](Planner& p) { p.update(p.thingWithSyncID(milk)->id, [](Thing& t) { t.title = "buy oat milk"; }); });
    ASSERT_TRUE(todo.store.markDeleted(milk, QStringLiteral("todo")));
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return !m.syncPending() && storedRow(todo.store, milk).has_value(); }));
    settle(m);
    ASSERT_TRUE(m.planner().thingWithSyncID(milk));
    EXPECT_EQ(m.planner().thingWithSyncID(milk)->title, "buy oat milk");
    EXPECT_EQ(storedRow(todo.store, milk)->title, "buy oat milk");
}
