#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"
#include "privatebus.h"

#include <QDeadlineTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day monday{2026, 3, 2};
const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Day friday{2026, 3, 6};
const Place today = Place::onDay(wednesday);
const QString mistake = " Ctrl+Z if that was a mistake.";

// Next week (Monday 9 March) is loaded at start-up; the one after it is not.
const Day nextMonday{2026, 3, 9};
const Day nextTuesday{2026, 3, 10};
const Day laterTuesday{2026, 3, 17};

bool becomes(const std::function<bool()>& done, int ms = 2000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

QList<QUuid> addAll(AppModel& m, const QStringList& titles, const Place& place = today)
{
    QList<QUuid> ids;
    for (const QString& title : titles)
        ids.append(*m.add(title, place));
    return ids;
}

QStringList titlesOf(const QList<Thing>& things)
{
    QStringList out;
    for (const Thing& t : things)
        out.append(t.title);
    return out;
}

std::optional<QString> selectedTitle(const AppModel& m)
{
    if (m.selection().ids().size() != 1)
        return std::nullopt;
    return m.planner().thing(*m.selection().ids().begin())->title;
}

} // namespace

TEST(AppModelThings, AddingAndRenaming)
{
    ModelHarness h;
    AppModel& m = h.start();
    EXPECT_EQ(m.add(" \t\n", today), std::nullopt);
    EXPECT_TRUE(m.undoStack().isEmpty());

    const QUuid milk = *m.add("  buy milk ", today);
    EXPECT_EQ(titlesOn(m, today), QStringList{"buy milk"});
    m.rename(milk, "\n oat milk  \n");
    EXPECT_EQ(titlesOn(m, today), QStringList{"oat milk"});
    EXPECT_TRUE(h.text("2026-W10.md").contains("- [ ] oat milk {sync:"));
    EXPECT_EQ(m.undoStack().size(), 2);

    // A blank title deletes the thing, without a toast.
    m.rename(milk, "   ");
    EXPECT_TRUE(titlesOn(m, today).isEmpty());
    EXPECT_EQ(m.toast(), std::nullopt);
    m.undo();
    EXPECT_EQ(titlesOn(m, today), QStringList{"oat milk"});
}

TEST(AppModelThings, OneThingChangesAreOneUndoStepEach)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QList<QUuid> ids = addAll(m, {"a", "b", "c"});
    const qsizetype before = m.undoStack().size();

    m.toggle(ids[0]);
    m.move(ids[2], today, 0);
    m.move(ids[0], Place::onDay(thursday), std::nullopt);
    m.setMark(ids[1], Mark::Red);
    m.update(ids[1], [](Thing& t) { t.steps.append(Step{"first", false}); });
    EXPECT_EQ(m.undoStack().size(), before + 5);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"c", "b"}));
    EXPECT_EQ(titlesOn(m, Place::onDay(thursday)), QStringList{"a"});
    const Thing b = *m.planner().thing(ids[1]);
    EXPECT_EQ(b.mark, Mark::Red);
    EXPECT_EQ(b.steps, (QList<Step>{{"first", false}}));
    EXPECT_TRUE(m.planner().thing(ids[0])->done);

    // Unknown ids change nothing and leave no undo entry.
    const QUuid gone = QUuid::createUuid();
    m.toggle(gone);
    m.setMark(gone, Mark::Green);
    m.move(gone, today, std::nullopt);
    EXPECT_EQ(m.undoStack().size(), before + 5);
}

TEST(AppModelThings, TheNeighbourTakesOverTheSelectionOfDeletedThings)
{
    struct Case {
        const char* name;
        QStringList things;
        QStringList deleting;
        bool asSelection;  // deleteSelection of these, else deleteThing of the one
        std::optional<QString> selected;
        QString toast;
    };
    const QList<Case> cases{
        {"the only thing", {"a"}, {"a"}, false, std::nullopt, "Deleted." + mistake},
        {"the first", {"a", "b", "c"}, {"a"}, false, "b", "Deleted." + mistake},
        {"the middle", {"a", "b", "c"}, {"b"}, false, "c", "Deleted." + mistake},
        {"the last", {"a", "b", "c"}, {"c"}, false, "b", "Deleted." + mistake},
        {"one selected", {"a", "b", "c"}, {"b"}, true, "c", "Deleted." + mistake},
        {"three in the middle", {"a", "b", "c", "d", "e"}, {"b", "c", "d"}, true, "e", "Deleted 3." + mistake},
        {"three at the end", {"a", "b", "c", "d", "e"}, {"c", "d", "e"}, true, "b", "Deleted 3." + mistake},
        {"three apart", {"a", "b", "c", "d", "e"}, {"a", "c", "e"}, true, "b", "Deleted 3." + mistake},
        {"all of them", {"a", "b"}, {"a", "b"}, true, std::nullopt, "Deleted 2." + mistake},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        AppModel& m = h.start();
        addAll(m, c.things);
        QSet<QUuid> deleting;
        for (const QString& title : c.deleting)
            deleting.insert(idOf(m.planner(), title));
        m.selection().setIDs(deleting);
        m.selection().setAnchor(idOf(m.planner(), c.deleting.first()));
        m.otherApps().setSelectedExternal(QStringLiteral("todo-1"));
        m.setOpened(idOf(m.planner(), c.deleting.last()));
        const qsizetype before = m.undoStack().size();

        if (c.asSelection)
            m.deleteSelection(false);
        else
            m.deleteThing(idOf(m.planner(), c.deleting.first()), false);

        QStringList left = c.things;
        for (const QString& title : c.deleting)
            left.removeAll(title);
        EXPECT_EQ(titlesOn(m, today), left);
        EXPECT_EQ(selectedTitle(m), c.selected);
        EXPECT_EQ(m.selection().anchor().has_value(), c.selected.has_value());
        EXPECT_EQ(m.opened(), std::nullopt);
        EXPECT_EQ(m.toast(), c.toast);
        EXPECT_EQ(m.undoStack().size(), before + 1);
        m.undo();
        EXPECT_EQ(titlesOn(m, today), c.things);
    }
}

TEST(AppModelThings, DeletingQuietlyAndFromTheMenu)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QList<QUuid> ids = addAll(m, {"a", "b", "c", "d"});

    // Part of a selection of several: the whole selection goes.
    m.selection().setIDs({ids[0], ids[1]});
    m.deleteFromMenu(ids[1]);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"c", "d"}));
    EXPECT_EQ(m.toast(), "Deleted 2." + mistake);
    EXPECT_EQ(selectedTitle(m), "c");

    // Not selected: only that thing, and the selection stays.
    m.deleteFromMenu(ids[3]);
    EXPECT_EQ(titlesOn(m, today), QStringList{"c"});
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{ids[2]});

    // Cut deletes quietly.
    m.showToast(QStringLiteral("earlier"));
    m.deleteSelection(true);
    EXPECT_TRUE(titlesOn(m, today).isEmpty());
    EXPECT_EQ(m.toast(), "earlier");

    // Nothing selected, or a thing that is gone: nothing happens, not even a toast.
    const qsizetype steps = m.undoStack().size();
    m.deleteSelection(false);
    m.deleteThing(ids[0], false);
    EXPECT_EQ(m.undoStack().size(), steps);
    EXPECT_EQ(m.toast(), "earlier");
}

TEST(AppModelThings, LabelsOfPlaces)
{
    ModelHarness h;
    h.put("eventually.md", "# eventually\n\n## eventually\n\n## home\n\n## trip\n");
    AppModel& m = h.start();
    const QList<std::pair<Place, QString>> cases{
        {Place::onDay(Day{2024, 3, 5}), "tue 5 mar"},
        {Place::onDay(Day{2026, 12, 27}), "sun 27 dec"},
        {Place::onDay(Day{2027, 1, 16}), "sat 16 jan"},
        {Place::inList(0), "eventually"},
        {Place::inList(2), "trip"},
        {Place::inList(3), "eventually"},
        {Place::inList(9), "eventually"},
        {Place::inList(-1), "eventually"},
        {Place::inMonth(MonthKey{2026, 3}), "mar, roughly"},
        {Place::inMonth(MonthKey{2031, 11}), "nov, roughly"},
    };
    for (const auto& [place, label] : cases)
        EXPECT_EQ(m.label(place), label);
}

TEST(AppModelThings, MovingToADay)
{
    struct Case {
        const char* name;
        Mode mode;
        Day target;
        std::optional<QString> toast;
    };
    const QList<Case> cases{
        {"another day of the week", Mode::Week, friday, std::nullopt},
        {"a day of next week", Mode::Week, nextTuesday, "Moved to tue 10 mar."},
        {"a day of the month board", Mode::Month, Day{2026, 3, 31}, std::nullopt},
        {"a day of April on the March board", Mode::Month, Day{2026, 4, 5}, std::nullopt},
        {"a day past the month board", Mode::Month, Day{2026, 4, 6}, "Moved to mon 6 apr."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        AppModel& m = h.start();
        m.setMode(c.mode);
        const QUuid id = *m.add("renew the passport", today);
        m.setOpened(id);
        m.setDay(id, c.target);
        EXPECT_EQ(titlesOn(m, Place::onDay(c.target)), QStringList{"renew the passport"});
        EXPECT_EQ(m.toast(), c.toast);
        EXPECT_EQ(m.opened(), c.toast ? std::nullopt : std::optional<QUuid>(id));
    }
}

TEST(AppModelThings, MovingToADayOfAWeekNotLoadedKeepsThatWeeksThings)
{
    ModelHarness h;
    h.put("2026-W12.md", weekFile(Day{2026, 3, 16}, {{laterTuesday, {"- [ ] dentist"}}}));
    AppModel& m = h.start();
    const QUuid id = *m.add("renew the passport", today);

    // The day it already has: nothing at all.
    const qsizetype steps = m.undoStack().size();
    m.setDay(id, wednesday);
    EXPECT_EQ(m.undoStack().size(), steps);
    EXPECT_EQ(m.toast(), std::nullopt);

    m.setDay(id, laterTuesday);
    EXPECT_EQ(titlesOn(m, Place::onDay(laterTuesday)), (QStringList{"dentist", "renew the passport"}));
    EXPECT_EQ(m.toast(), "Moved to tue 17 mar.");
    const QString file = h.text("2026-W12.md");
    EXPECT_TRUE(file.contains("- [ ] dentist"));
    EXPECT_TRUE(file.contains("- [ ] renew the passport"));
    EXPECT_EQ(m.undoStack().size(), steps + 1);

    // Undo takes the thing back and leaves the week loaded with its own things.
    m.undo();
    EXPECT_EQ(titlesOn(m, Place::onDay(laterTuesday)), QStringList{"dentist"});
    EXPECT_TRUE(h.text("2026-W12.md").contains("- [ ] dentist"));
    EXPECT_EQ(titlesOn(m, today), QStringList{"renew the passport"});

    // A thing that is gone goes nowhere and says nothing.
    m.showToast(QStringLiteral("earlier"));
    m.setDay(QUuid::createUuid(), laterTuesday);
    EXPECT_EQ(m.toast(), "earlier");
}

TEST(AppModelThings, NotThisWeekIntoAWeekNotLoaded)
{
    ModelHarness h;
    h.put("2026-W11.md", weekFile(nextMonday, {{nextTuesday, {"- [ ] slides", "- [ ] call mum"}}}));
    h.put("2026-W12.md", weekFile(Day{2026, 3, 16}, {{laterTuesday, {"- [ ] dentist"}}}));
    AppModel& m = h.start();
    m.go(1);
    const QUuid slides = idOf(m.planner(), "slides");
    m.selection().select(slides);

    m.notThisWeek({slides});
    EXPECT_EQ(titlesOn(m, Place::onDay(laterTuesday)), (QStringList{"dentist", "slides"}));
    EXPECT_EQ(m.planner().thing(slides)->zs, 1);
    EXPECT_EQ(m.toast(), "Not this week. Fair.");
    EXPECT_EQ(selectedTitle(m), "call mum");
    const QString file = h.text("2026-W12.md");
    EXPECT_TRUE(file.contains("- [ ] dentist"));
    EXPECT_TRUE(file.contains("- [ ] slides"));

    m.undo();
    EXPECT_EQ(titlesOn(m, Place::onDay(nextTuesday)), (QStringList{"slides", "call mum"}));
    EXPECT_EQ(titlesOn(m, Place::onDay(laterTuesday)), QStringList{"dentist"});
}

TEST(AppModelThings, NotThisWeekCountsOnlyTheThingsThatMoved)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid thu = *m.add("thu", Place::onDay(thursday));
    const QUuid fri = *m.add("fri", Place::onDay(friday));
    const QUuid listed = *m.add("listed", Place::inList(0));
    const QUuid monthly = *m.add("monthly", Place::inMonth(MonthKey{2026, 3}));

    // Lists and months have no next week: they stay, and are not counted.
    m.selection().setIDs({listed});
    const qsizetype steps = m.undoStack().size();
    m.notThisWeek({listed, monthly});
    EXPECT_EQ(m.undoStack().size(), steps);
    EXPECT_EQ(m.toast(), std::nullopt);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{listed});

    m.notThisWeek({thu, listed, fri, monthly});
    EXPECT_EQ(m.toast(), "2 moved to next week. Fair.");
    EXPECT_EQ(titlesOn(m, Place::onDay(thursday.adding(7))), QStringList{"thu"});
    EXPECT_EQ(titlesOn(m, Place::onDay(friday.adding(7))), QStringList{"fri"});
    EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"listed"});
    EXPECT_EQ(m.planner().thing(listed)->zs, 0);
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.undoStack().size(), steps + 1);

    m.notThisWeek({listed, thu});
    EXPECT_EQ(m.toast(), "Not this week. Fair.");
    EXPECT_EQ(m.planner().thing(thu)->zs, 2);
}

TEST(AppModelThings, PushingTheRestOfTheWeekIntoAWeekNotLoaded)
{
    ModelHarness h;
    h.put("2026-W11.md", weekFile(nextMonday, {{nextMonday, {"- [ ] slides", "- [x] rent"}},
                                               {Day{2026, 3, 12}, {"- [ ] call mum"}}}));
    h.put("2026-W12.md", weekFile(Day{2026, 3, 16}, {{Day{2026, 3, 16}, {"- [ ] dentist"}}}));
    AppModel& m = h.start();
    m.go(1);

    m.pushRestOfWeek();
    EXPECT_EQ(m.toast(), "2 moved to next week. we've all been there.");
    EXPECT_EQ(titlesOn(m, Place::onDay(nextMonday)), QStringList{"rent"});
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 16})), (QStringList{"dentist", "slides"}));
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 19})), QStringList{"call mum"});
    EXPECT_EQ(m.planner().thing(idOf(m.planner(), "slides"))->zs, 1);
    EXPECT_EQ(m.planner().thing(idOf(m.planner(), "dentist"))->zs, 0);
    const QString file = h.text("2026-W12.md");
    EXPECT_TRUE(file.contains("- [ ] dentist"));
    EXPECT_TRUE(file.contains("- [ ] slides"));
    EXPECT_TRUE(file.contains("- [ ] call mum"));

    // Nothing open is left: no change, no undo entry, no file written.
    const qsizetype steps = m.undoStack().size();
    h.age();
    m.pushRestOfWeek();
    EXPECT_EQ(m.toast(), "Nothing left to move.");
    EXPECT_EQ(m.undoStack().size(), steps);
    EXPECT_TRUE(h.fresh().isEmpty());

    // One thing reads the same way.
    m.goToday();
    m.add("the one", Place::onDay(friday));
    m.pushRestOfWeek();
    EXPECT_EQ(m.toast(), "1 moved to next week. we've all been there.");
}

TEST(AppModelThings, PushingTheRestLeavesThePastDaysOfTheWeek)
{
    ModelHarness h;
    AppModel& m = h.start();
    // Open on a day before today (roll-over happens only at start and on a new day).
    m.add("left on monday", Place::onDay(monday));
    m.add("today's", today);
    m.pushRestOfWeek();
    EXPECT_EQ(titlesOn(m, Place::onDay(monday)), QStringList{"left on monday"});
    EXPECT_EQ(titlesOn(m, Place::onDay(wednesday.adding(7))), QStringList{"today's"});
    EXPECT_EQ(m.toast(), "1 moved to next week. we've all been there.");
}

TEST(AppModelThings, ARepeatFillsTheLoadedWeeksAheadInTheSameStep)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid plants = *m.add("water the plants", today);
    const qsizetype steps = m.undoStack().size();

    m.setRepeat(plants, RepeatKind::Weekly);
    EXPECT_EQ(m.undoStack().size(), steps + 1);
    EXPECT_EQ(titlesOn(m, Place::onDay(wednesday.adding(7))), QStringList{"water the plants"});
    EXPECT_EQ(m.planner().repeats.size(), 1);
    EXPECT_TRUE(h.text("repeats.md").contains("water the plants"));

    m.undo();
    EXPECT_TRUE(titlesOn(m, Place::onDay(wednesday.adding(7))).isEmpty());
    EXPECT_TRUE(m.planner().repeats.isEmpty());

    // The weeks loaded later get theirs when they come on screen.
    m.redo();
    m.go(2);
    EXPECT_EQ(titlesOn(m, Place::onDay(wednesday.adding(14))), QStringList{"water the plants"});
}

TEST(AppModelThings, AReminderWithoutNotificationsSaysSo)
{
    ModelHarness h;  // its bus is no bus: no notification service
    AppModel& m = h.start();
    const QUuid id = *m.add("call mum", today);

    m.setReminder(id, TimeOfDay{18, 30});
    EXPECT_EQ(m.planner().thing(id)->remind, (TimeOfDay{18, 30}));
    EXPECT_TRUE(h.text("2026-W10.md").contains("18:30"));
    ASSERT_TRUE(becomes([&] { return m.toast().has_value(); }));
    EXPECT_EQ(m.toast(), "Notifications are off for Pemby Planner. System Settings can fix that.");
}

TEST(AppModelThings, AReminderWithNotificationsIsScheduledQuietly)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ModelHarness h;
    h.bus = bus.connect(QStringLiteral("planner"));
    AppModel& m = h.start();
    const QUuid id = *m.add("call mum", today);

    m.setReminder(id, TimeOfDay{18, 30});
    ASSERT_TRUE(becomes([&] { return h.scheduler().pendingIdentifiers().size() == 1; }));
    QTest::qWait(200);
    EXPECT_EQ(m.toast(), std::nullopt);

    // Clearing asks nothing and withdraws the notification.
    m.setReminder(id, std::nullopt);
    ASSERT_TRUE(becomes([&] { return h.scheduler().pendingIdentifiers().isEmpty(); }));
    EXPECT_EQ(m.planner().thing(id)->remind, std::nullopt);
    QTest::qWait(100);
    EXPECT_EQ(m.toast(), std::nullopt);
}

TEST(AppModelThings, SendingToTheFirstList)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.add("fix the bike", Place::inList(0));
    const QList<QUuid> ids = addAll(m, {"a", "b", "c"});
    m.selection().select(ids[1]);

    m.sendToEventually({ids[1]});
    EXPECT_EQ(titlesOn(m, Place::inList(0)), (QStringList{"fix the bike", "b"}));
    EXPECT_EQ(selectedTitle(m), "c");

    m.selection().setIDs({ids[0], ids[2]});
    m.sendToEventually({ids[2], ids[0]});
    EXPECT_EQ(titlesOn(m, Place::inList(0)), (QStringList{"fix the bike", "b", "c", "a"}));
    EXPECT_TRUE(m.selection().ids().isEmpty());

    const qsizetype steps = m.undoStack().size();
    m.sendToEventually({});
    EXPECT_EQ(m.undoStack().size(), steps);
}

TEST(AppModelThings, ColumnsSelectionOrderAndThePlaceForANewThing)
{
    ModelHarness h;
    h.put("eventually.md", "# eventually\n\n## eventually\n\n## home\n- [ ] fix the shelf\n");
    AppModel& m = h.start();
    const QUuid shelf = idOf(m.planner(), "fix the shelf");
    const QUuid monthly = *m.add("sort the photos", Place::inMonth(MonthKey{2026, 3}));
    const QUuid late = *m.add("next week", Place::onDay(nextTuesday));
    const QUuid thu = *m.add("thu", Place::onDay(thursday));

    QList<Place> week;
    for (int i = 0; i < 7; ++i)
        week.append(Place::onDay(monday.adding(i)));
    EXPECT_EQ(m.columns(), (week + QList<Place>{Place::inList(0), Place::inList(1)}));
    EXPECT_EQ(m.placeForNew(), today);

    // Selected things off the board are left out; the anchor leads while selected.
    m.selection().setIDs({shelf, late, thu});
    EXPECT_EQ(titlesOf(m.selection().orderedThings()), (QStringList{"thu", "fix the shelf"}));
    EXPECT_EQ(m.selection().primary(), thu);
    m.selection().setAnchor(shelf);
    EXPECT_EQ(m.selection().primary(), shelf);
    EXPECT_EQ(m.placeForNew(), Place::inList(1));

    m.settings().setShowLists(false);
    EXPECT_EQ(m.columns(), week);

    // The month board: every day of its weeks, then the month itself.
    m.setMode(Mode::Month);
    const QList<Place> columns = m.columns();
    ASSERT_EQ(columns.size(), 6 * 7 + 1);
    EXPECT_EQ(columns.first(), Place::onDay(Day{2026, 2, 23}));
    EXPECT_EQ(columns[41], Place::onDay(Day{2026, 4, 5}));
    EXPECT_EQ(columns.last(), Place::inMonth(MonthKey{2026, 3}));
    m.selection().setIDs({monthly, late, thu});
    m.selection().setAnchor(monthly);
    EXPECT_EQ(m.selection().orderedIDs(), (QList<QUuid>{thu, late, monthly}));
    EXPECT_EQ(m.selection().primary(), monthly);
    EXPECT_EQ(m.placeForNew(), Place::inMonth(MonthKey{2026, 3}));
    m.selection().select(std::nullopt);
    EXPECT_EQ(m.placeForNew(), today);

    // A week without today starts new things on its first day.
    m.setMode(Mode::Week);
    m.go(1);
    EXPECT_EQ(m.placeForNew(), Place::onDay(nextMonday));
    m.setMode(Mode::Notes);
    EXPECT_EQ(m.placeForNew(), today);
}

TEST(AppModelThings, SelectingOneThingEndsTheOtherAppsSelection)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QList<QUuid> ids = addAll(m, {"a", "b"});
    m.selection().setIDs({ids[0], ids[1]});
    m.otherApps().setSelectedExternal(QStringLiteral("todo-1"));
    m.selection().select(ids[1]);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{ids[1]});
    EXPECT_EQ(m.selection().anchor(), ids[1]);
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);
    m.selection().select(std::nullopt);
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
}
