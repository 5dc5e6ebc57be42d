#include "appmodel.h"
#include "modelharness.h"

#include <QKeySequence>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day monday{2026, 3, 2};
const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

std::optional<SharedThing> rowOf(FamilyStore& store, const QString& id)
{
    const Result<QList<SharedThing>> rows = store.allThings();
    for (const SharedThing& row : rows.value()) {
        if (row.id == id)
            return row;
    }
    return std::nullopt;
}

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

    const auto row = rowOf(h.family(), *invoice.syncID);
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
        const auto undated = rowOf(h.family(), syncIDOf(m, title));
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
    EXPECT_TRUE(m.familyThings().isEmpty());

    todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.familyThings().size() == 1; }));
    EXPECT_EQ(m.familyThings().first().title, "buy stamps");
    EXPECT_EQ(m.todayFromOthers().size(), 1);
}

TEST_F(AppModelSync, CopiesBackWhatTheSiblingChanged)
{
    h.syncDelay = 5ms;
    Sibling todo(h);
    AppModel& m = started();
    struct Case {
        const char* name;
        std::function<void(const QString& id)> edit;
        // The thing after a refresh with no own change waiting, and with one.
        std::function<void(Thing&)> idle;
        std::function<void(Thing&)> pending;
    };
    const auto same = [](Thing&) {};
    const auto done = [](Thing& t) { t.done = true; };
    const QList<Case> cases{
        {"ticked", [&](const QString& id) { todo.store.setDone(id, true); }, done, done},
        {"renamed", [&](const QString& id) { todo.store.setTitle(id, "  buy oat milk\n"); },
         [](Thing& t) { t.title = "buy oat milk"; }, same},
        {"renamed to blanks", [&](const QString& id) { todo.store.setTitle(id, " \t "); }, same, same},
        {"renamed and ticked",
         [&](const QString& id) {
             todo.store.setTitle(id, "buy oat milk");
             todo.store.setDone(id, true);
         },
         [](Thing& t) {
             t.title = "buy oat milk";
             t.done = true;
         },
         done},
        {"a note's text only", [&](const QString& id) { todo.store.setNote(id, std::nullopt, "two litres"); },
         [](Thing& t) { t.note = "two litres"; }, same},
        {"a note with its id",
         [&](const QString& id) { todo.store.setNote(id, "0a0b0c0d-0000-4000-8000-000000000009", "two litres"); },
         [](Thing& t) {
             t.note = "two litres";
             t.noteID = "0a0b0c0d-0000-4000-8000-000000000009";
         },
         same},
        {"steps", [&](const QString& id) { todo.store.setSteps(id, {{"find a bag", true}}); },
         [](Thing& t) { t.steps = {{"find a bag", true}}; }, same},
        {"moved to another day", [&](const QString& id) { todo.store.setDay(id, "2026-03-09"); }, same, same},
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
            (pending ? c.pending : c.idle)(expected);
            EXPECT_EQ(*m.planner().thing(id), expected);
            EXPECT_EQ(m.undoStack().size(), entries) << "no undo step";
            EXPECT_EQ(h.fresh().contains(thisWeek), !(expected == original)) << "saved when it changed";
            if (!pending) {
                EXPECT_FALSE(m.syncPending()) << "a copy-back is saved, not published back";
            }

            // The next sync publishes the plan's version: a move elsewhere does not stick.
            m.scheduleSync();
            settle(m);
            const auto row = rowOf(h.family(), syncID);
            ASSERT_TRUE(row);
            EXPECT_EQ(row->day, wednesday.iso());
            EXPECT_EQ(row->title, expected.title);
            EXPECT_EQ(row->done, expected.done);
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
    EXPECT_TRUE(rowOf(h.family(), milk)->done) << "undo must not publish the tick away";
    EXPECT_EQ(rowOf(h.family(), milk)->title, "buy oat milk");
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
    m.setSelection({milk, idOf(m.planner(), "call mum")});
    m.setOpened(milk);
    const qsizetype entries = m.undoStack().size();

    todo.store.markDeleted(syncIDOf(m, "buy milk"), QStringLiteral("todo"));
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return !m.planner().thing(milk); }));
    EXPECT_EQ(m.undoStack().size(), entries + 1);
    EXPECT_EQ(m.toast(), "Deleted in Pemby Todo. " + undoKey() + " if that was a mistake.");
    EXPECT_EQ(m.selection(), QSet<QUuid>{idOf(m.planner(), "call mum")});
    EXPECT_EQ(m.opened(), std::nullopt);
    EXPECT_TRUE(h.family().deletedByOthers("planner")->isEmpty()) << "taken over";
    settle(m);

    m.undo();
    settle(m);
    EXPECT_TRUE(rowOf(h.family(), syncIDOf(m, "buy milk"))) << "undo and a sync bring the row back";

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
    EXPECT_FALSE(rowOf(h.family(), far)) << "not in the loaded plan: marked deleted";
    EXPECT_TRUE(h.family().deletedByOthers("planner")->contains(deleted)) << "waits for its week";

    m.go(5);
    m.refreshFromFamily();
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 4, 7})), QStringList{"renew the passport"});
    EXPECT_EQ(m.toast(), "Deleted in Pemby Todo. " + undoKey() + " if that was a mistake.");
    settle(m);
    EXPECT_TRUE(rowOf(h.family(), far)) << "loaded again: revived";
    EXPECT_FALSE(rowOf(h.family(), deleted));
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
    EXPECT_EQ(rowOf(h.family(), copied)->title, "buy milk");
    EXPECT_EQ(rowOf(h.family(), *things[1].syncID)->title, "buy bread");
    EXPECT_TRUE(h.text(thisWeek).contains("buy bread {sync:" + *things[1].syncID + "}"));
}

TEST_F(AppModelSync, AStoreThatDidNotOpenKeepsTheRememberedSlots)
{
    h.breakFamilyStore();
    h.settings().setValue("order.otherApps", R"({"T1":1})");
    AppModel& m = h.start();
    m.setSelectedExternal(QStringLiteral("T1"));
    m.refreshFromFamily();
    EXPECT_TRUE(m.familyThings().isEmpty());
    EXPECT_EQ(m.externalSlots(), (QMap<QString, int>{{"T1", 1}}));
    EXPECT_EQ(m.selectedExternal(), "T1");
    EXPECT_EQ(h.settings().value("order.otherApps"), QVariant(R"({"T1":1})"));
}
