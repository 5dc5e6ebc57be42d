#include "appmodel.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "familyfiles.h"
#include "pembythings.h"
#include "modelharness.h"
#include "sqlite.h"

#include <QKeySequence>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day monday{2026, 3, 2};
const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

// The undo shortcut as the toasts write it: Ctrl+Z here, ⌘Z on a Mac.
QString undoKey()
{
    return QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText);
}

QString syncIDOf(const AppModel& m, const QString& title)
{
    return m.planner().thing(idOf(m.planner(), title))->syncID.value_or(QString());
}

class AppModelSync : public ::testing::Test {
protected:
    AppModelSync()
    {
        h.syncDelay = 50ms;
        h.usePrivateBus();
    }

    // Started, with the start-up sync done and its echo heard.
    AppModel& started()
    {
        AppModel& m = h.start();
        settle(m);
        return m;
    }
    void settle(AppModel& m)
    {
        EXPECT_TRUE(waitForSync(m));
        EXPECT_TRUE(waitUntil([&] { return !m.ownChangePending(); })) << "the echo comes back";
        QTest::qWait(20);
    }

    ModelHarness h;
};

} // namespace

TEST_F(AppModelSync, PublishesEveryOwnThingOnceAfterABurst)
{
    Sibling todo(h);
    AppModel& m = started();
    EXPECT_EQ(todo.heard, 1);

    m.commit([](Planner& p) {
        const auto id = p.add(QStringLiteral("send the invoice"), today);
        p.update(*id, [](Thing& t) {
            t.zs = 2;
            t.mark = Mark::Red;
            t.steps = {{"attach the receipt", true}, {"post it", false}};
            t.note = "the blue folder";
            t.noteID = "0a0b0c0d-0000-4000-8000-000000000001";
            t.link = "https://example.com/invoice";
            t.remind = TimeOfDay{18, 0};
        });
    });
    m.commit([](Planner& p) {
        p.add(QStringLiteral("fix the bike light"), Place::inList(0));
        p.add(QStringLiteral("renew the passport"), Place::inMonth(MonthKey{2026, 3}));
    });
    ASSERT_TRUE(waitUntil([&] { return todo.heard == 2; }));
    settle(m);
    EXPECT_EQ(todo.heard, 2) << "two saves, one publish, one post";

    const Thing invoice = m.planner().things(today).first();
    ASSERT_TRUE(invoice.syncID);
    EXPECT_EQ(invoice.syncID->size(), 36);
    EXPECT_EQ(*invoice.syncID, invoice.syncID->toUpper());
    EXPECT_TRUE(h.text(thisWeek).contains("{sync:" + *invoice.syncID + "}"));

    const auto row = storedRow(h.family(), *invoice.syncID);
    ASSERT_TRUE(row);
    SharedThing expected = Sibling::row(*invoice.syncID, "send the invoice", wednesday, "planner");
    expected.zs = 2;
    expected.steps = {{"attach the receipt", true}, {"post it", false}};
    expected.note = "the blue folder";
    expected.noteID = "0a0b0c0d-0000-4000-8000-000000000001";
    expected.link = "https://example.com/invoice";
    expected.updatedAt = row->updatedAt;
    EXPECT_EQ(*row, expected);
    for (const QString title : {"fix the bike light", "renew the passport"}) {
        const auto undated = storedRow(h.family(), syncIDOf(m, title));
        ASSERT_TRUE(undated) << title.toStdString();
        EXPECT_EQ(undated->day, std::nullopt);
        EXPECT_EQ(undated->sourceApp, "planner");
    }
    EXPECT_EQ(h.family().allThings()->size(), 3);
}

TEST_F(AppModelSync, SkipsItsOwnEchoOnceAndRefreshesOnASiblingsPost)
{
    Sibling todo(h);
    AppModel& m = started();

    // Written without a post: the planner's own echo must not make it read the store.
    todo.store.upsert(Sibling::row("T1", "buy stamps", wednesday));
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    settle(m);
    EXPECT_TRUE(m.otherApps().familyThings().isEmpty());

    todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.otherApps().familyThings().size() == 1; }));
    EXPECT_EQ(m.otherApps().familyThings().first().title, "buy stamps");
    EXPECT_EQ(m.otherApps().todayFromOthers().size(), 1);
}

TEST_F(AppModelSync, CopiesBackWhatTheSiblingChanged)
{
    h.syncDelay = 5ms;
    Sibling todo(h);
    AppModel& m = started();
    const Day monday11{2026, 3, 9};
    struct Case {
        const char* name;
        std::function<void(const QString& id)> edit;
        // The thing after a refresh, whether or not an own change waits to be published.
        std::function<void(Thing&)> after;
        Day day;  // where it stands then
    };
    const auto same = [](Thing&) {};
    const QList<Case> cases{
        {"ticked", [&](const QString& id) { todo.store.setDone(id, true); }, [](Thing& t) { t.done = true; }, wednesday},
        {"renamed", [&](const QString& id) { todo.store.setTitle(id, "  buy oat milk\n"); },
         [](Thing& t) { t.title = "buy oat milk"; }, wednesday},
        {"renamed to blanks", [&](const QString& id) { todo.store.setTitle(id, " \t "); }, same, wednesday},
        {"renamed and ticked",
         [&](const QString& id) {
             todo.store.setTitle(id, "buy oat milk");
             todo.store.setDone(id, true);
         },
         [](Thing& t) {
             t.title = "buy oat milk";
             t.done = true;
         },
         wednesday},
        {"a note's text only", [&](const QString& id) { todo.store.setNote(id, std::nullopt, "two litres"); },
         [](Thing& t) { t.note = "two litres"; }, wednesday},
        {"a note with its id",
         [&](const QString& id) { todo.store.setNote(id, "0a0b0c0d-0000-4000-8000-000000000009", "two litres"); },
         [](Thing& t) {
             t.note = "two litres";
             t.noteID = "0a0b0c0d-0000-4000-8000-000000000009";
         },
         wednesday},
        {"steps", [&](const QString& id) { todo.store.setSteps(id, {{"find a bag", true}}); },
         [](Thing& t) { t.steps = {{"find a bag", true}}; }, wednesday},
        {"moved to another day", [&](const QString& id) { todo.store.setDay(id, "2026-03-09"); }, same, monday11},
    };
    for (const bool pending : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (pending ? ", own change waiting" : ""));
            m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
            settle(m);
            const QUuid id = m.planner().things(today).last().id;
            Thing expected = *m.planner().thing(id);
            const QString syncID = *expected.syncID;
            const Thing original = expected;
            const qsizetype entries = m.undoStack().size();

            c.edit(syncID);
            h.age();
            if (pending)
                m.scheduleSync();  // and no turn of the event loop before the refresh
            m.refreshFromFamily();
            c.after(expected);
            EXPECT_EQ(*m.planner().thing(id), expected);
            EXPECT_EQ(m.planner().locate(id)->place, Place::onDay(c.day));
            EXPECT_EQ(m.undoStack().size(), entries) << "no undo step";
            EXPECT_EQ(h.fresh().contains(thisWeek), !(expected == original) || c.day != wednesday)
                << "saved when it changed";
            if (!pending) {
                // Only a title the plan holds otherwise than the row (trimmed, on one
                // line) goes back at once, or the next start would publish it as new.
                const bool reworded = std::string(c.name) == "renamed";
                EXPECT_EQ(m.syncPending(), reworded) << "a copy-back is saved, not published back";
            }

            // The next sync publishes the plan as it is now: nothing the sibling did is undone.
            m.scheduleSync();
            settle(m);
            const auto row = storedRow(h.family(), syncID);
            ASSERT_TRUE(row);
            EXPECT_EQ(row->day, c.day.iso());
            EXPECT_EQ(row->title, expected.title);
            EXPECT_EQ(row->done, expected.done);
            if (c.day != wednesday)
                m.commit([&](Planner& p) { p.remove(id); });
        }
    }
}

TEST_F(AppModelSync, ACopyBackIsNotTakenBackByUndo)
{
    Sibling todo(h);
    AppModel& m = started();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    m.commit([](Planner& p) { p.add(QStringLiteral("call mum"), today); });
    settle(m);
    const QString milk = syncIDOf(m, "buy milk");

    todo.store.setDone(milk, true);
    todo.store.setTitle(milk, "buy oat milk");
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.planner().things(today).first().done; }));

    m.undo();
    ASSERT_EQ(titlesOn(m, today), QStringList{"buy oat milk"});
    EXPECT_TRUE(m.planner().things(today).first().done);
    settle(m);
    EXPECT_TRUE(storedRow(h.family(), milk)->done) << "undo must not publish the tick away";
    EXPECT_EQ(storedRow(h.family(), milk)->title, "buy oat milk");
    m.redo();
    EXPECT_TRUE(m.planner().things(today).first().done);
}

TEST_F(AppModelSync, ADeletionInTheSiblingIsAnUndoableChangeHere)
{
    Sibling todo(h);
    AppModel& m = started();
    m.commit([](Planner& p) {
        p.add(QStringLiteral("buy milk"), today);
        p.add(QStringLiteral("call mum"), today);
        p.add(QStringLiteral("water the plants"), today);
    });
    settle(m);
    const QUuid milk = idOf(m.planner(), "buy milk");
    m.selection().setIDs({milk, idOf(m.planner(), "call mum")});
    m.setOpened(milk);
    const qsizetype entries = m.undoStack().size();

    todo.store.markDeleted(syncIDOf(m, "buy milk"), QStringLiteral("todo"));
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return !m.planner().thing(milk); }));
    EXPECT_EQ(m.undoStack().size(), entries + 1);
    EXPECT_EQ(m.toast(), "Deleted in Pemby Todo. " + undoKey() + " if that was a mistake.");
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "call mum")});
    EXPECT_EQ(m.opened(), std::nullopt);
    EXPECT_TRUE(h.family().deletedByOthers("planner")->isEmpty()) << "taken over";
    settle(m);

    m.undo();
    settle(m);
    EXPECT_TRUE(storedRow(h.family(), syncIDOf(m, "buy milk"))) << "undo and a sync bring the row back";

    // Two at once: one undo step each.
    todo.store.markDeleted(syncIDOf(m, "buy milk"), QStringLiteral("todo"));
    todo.store.markDeleted(syncIDOf(m, "call mum"), QStringLiteral("notes"));
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return titlesOn(m, today) == QStringList{"water the plants"}; }));
    EXPECT_EQ(m.undoStack().size(), entries + 2);
}

TEST_F(AppModelSync, RowsOfWeeksNotLoadedGoAndComeBack)
{
    const QString far = "0F0F0F0F-0000-4000-8000-000000000001";
    const QString deleted = "0F0F0F0F-0000-4000-8000-000000000002";
    h.put("2026-W15.md", weekFile(Day{2026, 4, 6}, {{Day{2026, 4, 7},
                                                     {"- [ ] renew the passport {sync:" + far + "}",
                                                      "- [ ] book the flights {sync:" + deleted + "}"}}}));
    // Published in an earlier run; meanwhile the sibling deleted one of them.
    SharedThing row = Sibling::row(far, "renew the passport", Day{2026, 4, 7}, "planner");
    h.family().upsert(row);
    row.id = deleted;
    row.title = "book the flights";
    h.family().upsert(row);
    h.family().markDeleted(deleted, QStringLiteral("todo"));

    AppModel& m = started();
    EXPECT_FALSE(storedRow(h.family(), far)) << "not in the loaded plan: marked deleted";
    EXPECT_TRUE(h.family().deletedByOthers("planner")->contains(deleted)) << "waits for its week";

    m.go(5);
    m.refreshFromFamily();
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 4, 7})), QStringList{"renew the passport"});
    EXPECT_EQ(m.toast(), "Deleted in Pemby Todo. " + undoKey() + " if that was a mistake.");
    settle(m);
    EXPECT_TRUE(storedRow(h.family(), far)) << "loaded again: revived";
    EXPECT_FALSE(storedRow(h.family(), deleted));
}

TEST_F(AppModelSync, TwoThingsWithOneSyncIDGetARowEach)
{
    // A line copied by hand in the week file.
    const QString copied = "0F0F0F0F-0000-4000-8000-000000000003";
    h.put(thisWeek, weekFile(monday, {{wednesday, {"- [ ] buy milk {sync:" + copied + "}",
                                                   "- [ ] buy bread {sync:" + copied + "}"}}}));
    AppModel& m = started();
    const QList<Thing> things = m.planner().things(today);
    ASSERT_EQ(things.size(), 2);
    EXPECT_EQ(things[0].syncID, copied);
    ASSERT_TRUE(things[1].syncID);
    EXPECT_NE(*things[1].syncID, copied);
    EXPECT_EQ(storedRow(h.family(), copied)->title, "buy milk");
    EXPECT_EQ(storedRow(h.family(), *things[1].syncID)->title, "buy bread");
    EXPECT_TRUE(h.text(thisWeek).contains("buy bread {sync:" + *things[1].syncID + "}"));
}

// A week read later repeats the id of a thing already loaded: the loaded thing keeps
// its id, the line read gets one of its own, and the other lines keep theirs.
TEST_F(AppModelSync, AWeekReadLaterThatRepeatsALoadedSyncIDGetsAFreshOne)
{
    const QString copied = "0F0F0F0F-0000-4000-8000-000000000004";
    const QString own = "0F0F0F0F-0000-4000-8000-000000000005";
    const Day later{2026, 3, 25};
    h.put(thisWeek, weekFile(monday, {{wednesday, {"- [ ] buy milk {sync:" + copied + "}"}}}));
    h.put("2026-W13.md", weekFile(later.monday(), {{later, {"- [ ] buy bread {sync:" + copied + "}",
                                                            "- [ ] post the card {sync:" + own + "}"}}}));
    AppModel& m = started();
    ASSERT_TRUE(m.planner().things(Place::onDay(later)).isEmpty()) << "not loaded at start";
    m.go(3);
    const QList<Thing> things = m.planner().things(Place::onDay(later));
    ASSERT_EQ(things.size(), 2);
    const QList<Thing> known = m.planner().things(today);
    ASSERT_EQ(known.size(), 1);
    EXPECT_EQ(known[0].syncID, copied);
    ASSERT_TRUE(things[0].syncID);
    EXPECT_NE(*things[0].syncID, copied);
    EXPECT_EQ(things[1].syncID, own);
}

TEST_F(AppModelSync, AStoreThatDidNotOpenKeepsTheRememberedSlots)
{
    h.breakFamilyStore();
    h.settings().setValue("order.otherApps", R"({"T1":1})");
    AppModel& m = h.start();
    m.otherApps().setSelectedExternal(QStringLiteral("T1"));
    m.refreshFromFamily();
    EXPECT_TRUE(m.otherApps().familyThings().isEmpty());
    EXPECT_EQ(m.otherApps().externalSlots(), (QMap<QString, int>{{"T1", 1}}));
    EXPECT_EQ(m.otherApps().selectedExternal(), "T1");
    EXPECT_EQ(h.settings().value("order.otherApps"), QVariant(R"({"T1":1})"));
}

// The planner was closed while the sibling worked on its rows. What the sibling did
// comes back at start, before the start-up sync could publish the old values over it.
TEST_F(AppModelSync, ASiblingsEditsWhileThePlannerWasClosedSurviveItsStart)
{
    Sibling todo(h);
    AppModel& m = started();
    m.commit([](Planner& p) {
        const auto milk = p.add(QStringLiteral("buy milk"), today);
        p.update(*milk, [](Thing& t) {
            t.note = "one litre";
            t.steps = {{"find a bag", false}};
        });
        p.add(QStringLiteral("call mum"), today);
    });
    settle(m);
    const QString milk = syncIDOf(m, "buy milk");
    const QString mum = syncIDOf(m, "call mum");
    h.stop();

    const QString noteID = "0a0b0c0d-0000-4000-8000-00000000000b";
    ASSERT_TRUE(todo.store.setTitle(milk, "buy oat milk"));
    ASSERT_TRUE(todo.store.setNote(milk, noteID, "two litres"));
    ASSERT_TRUE(todo.store.setSteps(milk, {{"find a bag", true}, {"pay", false}}));
    ASSERT_TRUE(todo.store.setDone(mum, true));

    AppModel& again = h.start();
    const auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_EQ(titlesOn(again, today), (QStringList{"buy oat milk", "call mum"}));
        const Thing oat = again.planner().things(today).first();
        EXPECT_EQ(oat.note, "two litres");
        EXPECT_EQ(oat.noteID, noteID);
        EXPECT_EQ(oat.steps, (QList<Step>{{"find a bag", true}, {"pay", false}}));
        EXPECT_TRUE(again.planner().things(today).last().done);
        const auto row = storedRow(h.family(), milk);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->title, "buy oat milk");
        EXPECT_EQ(row->note, "two litres");
        EXPECT_EQ(row->steps, (QList<SharedStep>{{"find a bag", true}, {"pay", false}}));
    };
    check("at start");
    EXPECT_TRUE(h.text(thisWeek).contains("buy oat milk")) << "saved";
    EXPECT_EQ(again.undoStack().size(), 0) << "no undo step";
    settle(again);
    check("after the start-up sync");
}

// The other way round: rows that still hold what the planner published say nothing
// against the files, which may have changed since (by hand, on another computer, or
// an edit saved in the moment before the planner quit).
TEST_F(AppModelSync, RowsThatHoldWhatWasPublishedDoNotOverrideTheFilesAtStart)
{
    Sibling todo(h);
    AppModel& m = started();
    m.commit([](Planner& p) {
        p.add(QStringLiteral("buy milk"), today);
        p.add(QStringLiteral("water the plants"), today);
    });
    settle(m);
    const QString milk = syncIDOf(m, "buy milk");
    const QString plants = syncIDOf(m, "water the plants");
    // Saved, and closed before the sync ran.
    m.commit([&](Planner& p) {
        p.update(idOf(p, "buy milk"), [](Thing& t) {
            t.title = "buy oat milk";
            t.done = true;
        });
    });
    ASSERT_TRUE(m.syncPending());
    h.stop();
    h.put(thisWeek, h.text(thisWeek).replace("water the plants", "water the ferns"));

    AppModel& again = h.start();
    EXPECT_EQ(titlesOn(again, today), (QStringList{"buy oat milk", "water the ferns"}));
    EXPECT_TRUE(again.planner().things(today).first().done);
    settle(again);
    EXPECT_EQ(storedRow(h.family(), milk)->title, "buy oat milk");
    EXPECT_TRUE(storedRow(h.family(), milk)->done);
    EXPECT_EQ(storedRow(h.family(), plants)->title, "water the ferns");
}

// A sibling in the middle of a long write holds the store's lock. The sync waits for
// it once, tries again on its own without freezing the window again, and publishes
// everything once the lock goes; meanwhile nothing stale is copied back.
TEST_F(AppModelSync, ALockHeldPastTheWaitCostsOneWaitAndTheRowsArriveOnceItGoes)
{
    h.setFamilyBusyTimeout(100ms);
    Sibling todo(h);
    AppModel& m = started();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    settle(m);
    const QString milk = syncIDOf(m, "buy milk");
    const auto plannerRows = [&] {
        const Result<QList<SharedThing>> rows = todo.store.allThings();
        int n = 0;
        for (const SharedThing& row : rows.value())
            n += row.sourceApp == "planner";
        return n;
    };

    SqliteConnection lock = SqliteConnection::open(h.familyPath()).connection;
    ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE;"));
    LogCounter waits("app.pemby.planner.family", "held the lock past");
    m.commit([](Planner& p) {
        for (int i = 0; i < 10; ++i)
            p.add(QStringLiteral("thing %1").arg(i), today);
        p.update(idOf(p, "buy milk"), [](Thing& t) { t.done = true; });
    });
    // The sync, then several tries; a busy machine takes its time over them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return waits() >= 1; }, 5000));
    EXPECT_EQ(waits(), 1);
    EXPECT_TRUE(m.syncPending());
    EXPECT_EQ(plannerRows(), 1);
    EXPECT_EQ(m.syncError(), std::nullopt) << "a lock is no reason to say syncing is off";
    EXPECT_TRUE(m.syncWaits());
    EXPECT_EQ(m.footnote(), "sync waits: another app is writing to the family store");

    // The sibling says it changed something: the tick still waiting to be published
    // is not taken back from the row that has not heard of it yet.
    const int heard = todo.heard;
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return todo.heard > heard; }));
    QTest::qWait(50);
    EXPECT_TRUE(m.planner().thing(idOf(m.planner(), "buy milk"))->done);

    ASSERT_TRUE(lock.exec("COMMIT;"));
    ASSERT_TRUE(waitUntil([&] { return plannerRows() == 11; }));
    EXPECT_TRUE(storedRow(todo.store, milk)->done);
    EXPECT_TRUE(waitUntil([&] { return !m.syncPending(); }));
    EXPECT_EQ(waits(), 1);
    EXPECT_FALSE(m.syncWaits());
}

TEST_F(AppModelSync, AStoreFileDeletedOrReplacedWhileRunningIsSaidAndOpenedAgain)
{
    Sibling todo(h);
    AppModel& m = started();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    settle(m);
    const QString milk = syncIDOf(m, "buy milk");
    todo.store.upsert(Sibling::row("T1", "buy stamps", wednesday));
    m.refreshFromFamily();
    ASSERT_EQ(m.otherApps().familyThings().size(), 1);

    SignalCount footnote(m, &AppModel::syncErrorChanged);
    removeDatabase(h.familyPath());
    m.refresh(h.now());  // the heartbeat looks at the file
    EXPECT_EQ(m.syncError(), "family.db was deleted");
    EXPECT_EQ(m.footnote(), "sync is off: family.db was deleted");
    EXPECT_EQ(footnote(), 1);
    m.refreshFromFamily();
    EXPECT_EQ(m.otherApps().familyThings().size(), 1) << "what was read stays shown";

    // Another database takes the name (a backup put back, a sibling starting anew).
    {
        FamilyStore restored(h.familyPath());
        ASSERT_TRUE(restored.upsert(Sibling::row("T9", "from the backup", wednesday)));
    }
    m.refresh(h.now());
    EXPECT_EQ(m.syncError(), std::nullopt);
    EXPECT_EQ(footnote(), 2);
    ASSERT_TRUE(waitUntil([&] { return m.otherApps().familyThings().size() == 1 && m.otherApps().familyThings().first().id == "T9"; }));
    settle(m);
    FamilyStore reader(h.familyPath());
    const auto row = storedRow(reader, milk);
    ASSERT_TRUE(row) << "everything published into the new file";
    EXPECT_EQ(row->title, "buy milk");
}

// A title is one line wherever it comes from (an add link, a paste, a sibling's edit of
// a row): the week file, the plan and the family store hold the same text, so the next
// start finds nothing to publish anew.
TEST_F(AppModelSync, ATitleWithLineBreaksIsOneLineInTheFileThePlanAndTheStore)
{
    Sibling todo(h);
    AppModel& m = started();

    m.open("vodarazezaza://add?title=from%0Athe%E2%80%A8link%0D%0A&day=2026-03-04");
    PembyThing pasted;
    pasted.title = QStringLiteral("pasted\r\nover\u2029two\u0000lines").replace(u'\u0000', QChar(0));
    pasted.steps = {{QStringLiteral("a\nstep"), false}};
    QMimeData clipboard;
    PembyThings::copy({pasted}, clipboard);
    ASSERT_TRUE(m.drag().addThings(PembyThings::paste(&clipboard), today));
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    settle(m);
    const QString milk = syncIDOf(m, "buy milk");
    ASSERT_TRUE(todo.store.setTitle(milk, QStringLiteral("buy\noat\u2028milk")));
    h.age();
    m.refreshFromFamily();
    settle(m);

    const QStringList titles{"from the link", "pasted over twolines", "buy oat milk"};
    ASSERT_EQ(titlesOn(m, today), titles);
    EXPECT_EQ(m.planner().things(today)[1].steps, (QList<Step>{{"a step", false}}));
    const QString file = h.text(thisWeek);
    QMap<QString, double> stamps;
    for (const Thing& thing : m.planner().things(today)) {
        EXPECT_TRUE(file.contains("- [ ] " + thing.title + " {sync:")) << thing.title.toStdString();
        const auto row = storedRow(h.family(), *thing.syncID);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->title, thing.title);
        stamps.insert(row->id, row->updatedAt);
    }
    EXPECT_TRUE(file.contains("  - [ ] a step\n"));
    EXPECT_FALSE(file.contains(QChar(0)));

    h.stop();
    AppModel& again = h.start();
    settle(again);
    EXPECT_EQ(titlesOn(again, today), titles);
    for (auto it = stamps.cbegin(); it != stamps.cend(); ++it)
        EXPECT_EQ(storedRow(h.family(), it.key())->updatedAt, *it) << "published again: " << it.key().toStdString();
}

// A sibling that writes in a hurry posts many notifications; the planner reads the
// store once for the burst, and only the rows that changed.
TEST_F(AppModelSync, ABurstOfNotificationsIsOneRefresh)
{
    Sibling todo(h);
    QList<SharedThing> rows;
    for (int i = 0; i < 3000; ++i)
        rows.append(Sibling::row(QStringLiteral("T%1").arg(i), QStringLiteral("thing %1").arg(i), wednesday));
    ASSERT_FALSE(todo.store.publish(rows, "todo").answer.isFailed());
    AppModel& m = started();
    ASSERT_EQ(m.otherApps().familyThings().size(), 3000);
    const int before = m.familyRefreshes();

    ASSERT_TRUE(todo.store.setTitle("T7", "thing seven"));
    for (int i = 0; i < 100; ++i)
        todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.familyRefreshes() > before; }));
    QTest::qWait(300);
    EXPECT_EQ(m.familyRefreshes(), before + 1);
    ASSERT_EQ(m.otherApps().familyThings().size(), 3000);
    EXPECT_EQ(m.otherApps().familyThings()[7].title, "thing seven");
    EXPECT_EQ(m.otherApps().familyThings()[8].title, "thing 8");
}

// Another planner on the same folder wrote the week file: this planner's save is
// refused (its version goes to a conflict copy), and it must not publish the plan the
// files refused, or the other planner's rows would be marked deleted.
TEST_F(AppModelSync, ASaveRefusedForAConflictPublishesNothing)
{
    AppModel& m = started();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    settle(m);
    const QString other = "0F0F0F0F-0000-4000-8000-0000000000AA";
    h.put(thisWeek, h.text(thisWeek) + "- [ ] from the other planner {sync:" + other + "}\n");
    ASSERT_TRUE(h.family().upsert(Sibling::row(other, "from the other planner", wednesday, "planner")));

    m.commit([](Planner& p) { p.add(QStringLiteral("call mum"), today); });
    ASSERT_TRUE(m.saveError());
    ASSERT_TRUE(waitForSync(m));
    QTest::qWait(100);
    EXPECT_TRUE(storedRow(h.family(), other)) << "the other planner's row stays";

    // The heartbeat reads the file again; the next save goes through and publishes.
    m.refresh(h.now());
    m.commit([](Planner& p) { p.add(QStringLiteral("water the plants"), today); });
    settle(m);
    EXPECT_FALSE(m.saveError());
    EXPECT_TRUE(storedRow(h.family(), other));
    EXPECT_TRUE(storedRow(h.family(), syncIDOf(m, "water the plants")));
}

// A trigger someone planted in family.db would run with every write; even a render
// run, which writes no file of its own, must not write through it.
TEST_F(AppModelSync, APlantedTriggerIsNeverWrittenThrough)
{
    ASSERT_TRUE(h.family().upsert(Sibling::row("T1", "buy stamps", wednesday)));
    {
        // Planted in a file the planner has not set up yet: its change log is missing too.
        SqliteConnection other = SqliteConnection::open(h.familyPath()).connection;
        ASSERT_TRUE(other.exec("DROP TRIGGER planner_changes_insert; DROP TRIGGER planner_changes_update; "
                               "DROP TRIGGER planner_changes_delete; DROP TABLE planner_changes;"));
        ASSERT_TRUE(other.exec("CREATE TRIGGER evil AFTER INSERT ON things BEGIN UPDATE things SET title = 'owned'; END;"));
    }
    h.put(thisWeek, weekFile(monday, {{wednesday, {"- [ ] buy milk"}}}));
    for (const bool render : {true, false}) {
        SCOPED_TRACE(render ? "a render run" : "an ordinary run");
        AppModel::Services services = h.services();
        services.writesFiles = !render;
        AppModel m(h.folder(), h.today, &h.settings(), h.family(), h.notesFolder(), h.notesAppFolder(),
                   std::move(services));
        ASSERT_TRUE(waitForSync(m));
        const QString planted = "family.db holds a trigger or view the planner did not make (evil)";
        EXPECT_EQ(m.footnote(), "sync is off: " + planted);
        ASSERT_EQ(m.otherApps().todayFromOthers().size(), 1) << "read all the same";
        m.otherApps().toggleExternal(m.otherApps().familyThings().value(0));
        EXPECT_EQ(m.footnote(), "Couldn't change it in Pemby Todo: " + planted);
        const QList<SharedThing> rows = *h.family().allThings();
        ASSERT_EQ(rows.size(), 1) << "nothing of the planner's published";
        EXPECT_EQ(rows.first().title, "buy stamps");
        EXPECT_FALSE(rows.first().done);
    }
}
