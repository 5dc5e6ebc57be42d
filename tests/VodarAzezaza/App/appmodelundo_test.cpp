#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

void add(AppModel& m, const QString& title, const Place& place = today)
{
    m.commit([&](Planner& p) { p.add(title, place); });
}

bool liveRow(FamilyStore& store, const QString& id)
{
    const QList<SharedThing> rows = store.allThings().value();
    return std::any_of(rows.cbegin(), rows.cend(), [&](const SharedThing& r) { return r.id == id; });
}

class AppModelUndo : public ::testing::Test {
protected:
    AppModelUndo() { h.syncDelay = 10ms; }
    ModelHarness h;
};

} // namespace

TEST_F(AppModelUndo, ACommitThatChangesNothingLeavesNoTrace)
{
    AppModel& m = h.start();
    add(m, "buy milk");
    add(m, "call mum");
    m.undo();
    ASSERT_TRUE(waitForSync(m));
    h.age();
    const QUuid milk = idOf(m.planner(), "buy milk");

    m.commit([&](Planner& p) { p.update(milk, [](Thing& t) { t.title = QStringLiteral("buy milk"); }); });
    EXPECT_EQ(m.undoStack().size(), 1);
    EXPECT_EQ(m.redoStack().size(), 1);
    EXPECT_TRUE(h.fresh().isEmpty());
    EXPECT_FALSE(m.syncPending());
}

TEST_F(AppModelUndo, KeepsTheNewest100Changes)
{
    AppModel& m = h.start();
    for (int i = 0; i <= 100; ++i)
        add(m, QString::number(i));
    EXPECT_EQ(m.undoStack().size(), AppModel::undoLimit);
    while (!m.undoStack().isEmpty())
        m.undo();
    EXPECT_EQ(titlesOn(m, today), QStringList{"0"});
    EXPECT_EQ(m.redoStack().size(), 100);

    // An empty stack: nothing at all, not even a save.
    ASSERT_TRUE(waitForSync(m));
    h.age();
    SignalCount planner(m, &AppModel::plannerChanged);
    m.undo();
    EXPECT_EQ(planner(), 0);
    EXPECT_TRUE(h.fresh().isEmpty());
    EXPECT_FALSE(m.syncPending());
}

TEST_F(AppModelUndo, UndoThenRedoRestoresThePlanAndSavesBoth)
{
    AppModel& m = h.start();
    add(m, "buy milk");
    const Planner before = m.planner();
    m.commit([&](Planner& p) { p.move(idOf(p, "buy milk"), Place::onDay(thursday)); });
    const Planner after = m.planner();

    h.age();
    m.undo();
    EXPECT_EQ(m.planner(), before);
    EXPECT_EQ(h.fresh(), QStringList{thisWeek});
    EXPECT_TRUE(m.syncPending());
    EXPECT_TRUE(h.text(thisWeek).contains("## wed 2026-03-04\n- [ ] buy milk"));

    h.age();
    m.redo();
    EXPECT_EQ(m.planner(), after);
    EXPECT_EQ(h.fresh(), QStringList{thisWeek});
    EXPECT_TRUE(h.text(thisWeek).contains("## thu 2026-03-05\n- [ ] buy milk"));
    EXPECT_TRUE(m.redoStack().isEmpty());

    // A new change empties redo.
    m.undo();
    add(m, "call mum");
    EXPECT_TRUE(m.redoStack().isEmpty());
}

TEST_F(AppModelUndo, UndoForgetsTheSelectionOfThingsItTakesAway)
{
    AppModel& m = h.start();
    add(m, "buy milk");
    add(m, "call mum");
    const QUuid milk = idOf(m.planner(), "buy milk");
    const QUuid mum = idOf(m.planner(), "call mum");
    m.selection().setIDs({milk, mum});
    m.selection().setAnchor(mum);
    m.setOpened(mum);
    m.setEditing(Editing::thing(mum));

    m.undo();
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{milk});
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
    EXPECT_EQ(m.opened(), std::nullopt);
    EXPECT_EQ(m.editing(), std::nullopt) << "the inline edit of a thing that is gone ends with it";

    m.redo();
    m.selection().setIDs({milk, mum});
    m.selection().setAnchor(milk);
    m.setOpened(milk);
    m.undo();
    EXPECT_EQ(m.selection().anchor(), milk);
    EXPECT_EQ(m.opened(), milk);
}

TEST_F(AppModelUndo, UndoKeepsAWeekLoadedAfterTheSnapshot)
{
    const QString far = "0F0F0F0F-0000-4000-8000-000000000001";
    h.put("2026-W15.md", weekFile(Day{2026, 4, 6}, {{Day{2026, 4, 7}, {"- [ ] renew the passport {sync:" + far + "}"}}}));
    AppModel& m = h.start();
    ASSERT_TRUE(waitForSync(m));
    EXPECT_FALSE(liveRow(h.family(), far)) << "the week is not loaded yet";

    add(m, "buy milk");
    m.go(5);
    ASSERT_TRUE(waitForSync(m));
    ASSERT_TRUE(liveRow(h.family(), far));

    m.undo();
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 4, 7})), QStringList{"renew the passport"});
    EXPECT_TRUE(h.text("2026-W15.md").contains("renew the passport"));
    ASSERT_TRUE(waitForSync(m));
    EXPECT_TRUE(liveRow(h.family(), far));
    EXPECT_TRUE(titlesOn(m, today).isEmpty());

    m.redo();
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 4, 7})), QStringList{"renew the passport"});
    EXPECT_EQ(titlesOn(m, today), QStringList{"buy milk"});
}

TEST_F(AppModelUndo, UndoNeverRevertsAFileChangedOutside)
{
    h.put("eventually.md", "# eventually\n\n## eventually\n- [ ] fix the bike light\n");
    AppModel& m = h.start();
    add(m, "buy milk");
    add(m, "dune", Place::inList(0));
    m.undo();  // something on the redo stack as well

    // Another program adds a line to this week and rewrites the lists.
    QString week = h.text(thisWeek);
    week.replace("- [ ] buy milk", "- [ ] buy milk\n- [ ] from the phone");
    h.put(thisWeek, week);
    h.put("eventually.md", "# eventually\n\n## eventually\n- [ ] fix the bike light\n- [ ] from the laptop\n");
    m.refresh(h.now());
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "from the phone"}));

    m.undo();
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "from the phone"}));
    EXPECT_EQ(titlesOn(m, Place::inList(0)), (QStringList{"fix the bike light", "from the laptop"}));
    EXPECT_TRUE(h.text(thisWeek).contains("from the phone"));
    EXPECT_TRUE(h.text("eventually.md").contains("from the laptop"));
    EXPECT_FALSE(m.saveError()) << m.saveError().value_or(QString()).toStdString();

    m.redo();
    m.redo();
    EXPECT_EQ(titlesOn(m, Place::inList(0)), (QStringList{"fix the bike light", "from the laptop"}));
    EXPECT_TRUE(h.text(thisWeek).contains("from the phone"));
}

TEST_F(AppModelUndo, AThingKeepsItsSyncIDAcrossUndo)
{
    // A line typed by hand carries no sync id; the one it gets must hold in every plan,
    // or undo would publish it under a second id.
    const Day tuesday{2026, 4, 7};
    h.put("2026-W15.md", weekFile(Day{2026, 4, 6}, {{tuesday, {"- [ ] typed by hand"}}}));
    AppModel& m = h.start();
    add(m, "buy milk");
    m.go(5);
    ASSERT_TRUE(waitForSync(m));
    const auto syncID = m.planner().days.value(tuesday).first().syncID;
    ASSERT_TRUE(syncID);

    m.undo();
    EXPECT_EQ(m.planner().days.value(tuesday).first().syncID, syncID);
    ASSERT_TRUE(waitForSync(m));
    EXPECT_TRUE(liveRow(h.family(), *syncID));
    EXPECT_EQ(h.family().allThings()->size(), 1);
}

// The reminders are worked out again only for the weeks a change touched; what they
// end up as must be what working out every week would give.
TEST_F(AppModelUndo, RemindersFollowAThingAcrossWeeksThroughUndoAndRedo)
{
    AppModel& m = h.start();
    const QUuid id = *m.add("call mum", today);
    m.update(id, [](Thing& t) { t.remind = TimeOfDay{18, 0}; });
    const auto pending = [&] {
        QCoreApplication::processEvents();
        return h.scheduler().pendingIdentifiers();
    };
    const QStringList here{"2026-03-02|2026-03-04|18:00|call mum"};
    const QStringList there{"2026-03-09|2026-03-11|18:00|call mum"};
    EXPECT_EQ(pending(), here);

    m.setDay(id, Day{2026, 3, 11});
    EXPECT_EQ(pending(), there) << "gone from the week it left";
    m.undo();
    EXPECT_EQ(pending(), here);
    m.redo();
    EXPECT_EQ(pending(), there);
    m.toggle(id);
    EXPECT_EQ(pending(), QStringList{}) << "a done thing reminds of nothing";
}

TEST_F(AppModelUndo, RemindersCatchUpWithChangesWhoseSaveFailed)
{
    // Runs as root in CI: a regular file where the folder should be is what stops a write.
    h.folderName = "blocker/Pemby Planner";
    const QString blocker = h.root() + "/blocker";
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        if (const auto id = p.add(QStringLiteral("call the dentist"), today))
            p.update(*id, [](Thing& t) { t.remind = TimeOfDay{18, 0}; });
    });
    ASSERT_TRUE(m.saveError());
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.scheduler().pendingIdentifiers().isEmpty());

    // The next good save is of another week; this week's reminder comes along.
    ASSERT_TRUE(QFile::remove(blocker));
    add(m, "pay rent", Place::onDay(Day{2026, 3, 12}));
    EXPECT_EQ(m.saveError(), std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(h.scheduler().pendingIdentifiers(), QStringList{"2026-03-02|2026-03-04|18:00|call the dentist"});
}
