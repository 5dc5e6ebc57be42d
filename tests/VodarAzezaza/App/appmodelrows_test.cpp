#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"
#include "otherapps.h"

#include <gtest/gtest.h>

namespace {

const Day monday{2026, 3, 2};
const Day tuesday{2026, 3, 3};
const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Day friday{2026, 3, 6};
const Day sunday{2026, 3, 8};
const Place today = Place::onDay(wednesday);

SharedThing other(const QString& id)
{
    SharedThing thing;
    thing.id = id;
    thing.title = id;
    thing.day = wednesday.iso();
    thing.sourceApp = QStringLiteral("todo");
    return thing;
}

// The rows as "title" for own things and "[id@slot]" for other apps' things, and each
// own row's index checked against its place in the own list.
QStringList shape(const QList<TodayRow>& rows)
{
    QStringList out;
    int own = 0;
    for (const TodayRow& row : rows) {
        if (row.isMine()) {
            EXPECT_EQ(row.index, own++);
            out.append(row.thing.title);
        } else {
            out.append(QStringLiteral("[%1@%2]").arg(row.other.id).arg(row.slot));
        }
    }
    return out;
}

QList<QUuid> addAll(AppModel& m, const QStringList& titles, const Place& place = today)
{
    QList<QUuid> ids;
    for (const QString& title : titles)
        ids.append(*m.add(title, place));
    return ids;
}

QStringList selectedTitles(const AppModel& m)
{
    QStringList out;
    for (const Thing& t : m.selection().orderedThings())
        out.append(t.title);
    return out;
}

} // namespace

TEST(AppModelRows, OtherAppsThingsStandAtTheirSlots)
{
    struct Case {
        const char* name;
        QStringList mine;
        QString stored;  // "order.otherApps" as stored
        QStringList others;
        QStringList rows;
    };
    const QList<Case> cases{
        {"no own things: the given order, every slot clamped to 0", {}, R"({"a":2,"b":0,"c":-3})", {"a", "b", "c", "d"},
         {"[a@0]", "[b@0]", "[c@0]", "[d@0]"}},
        {"no other things", {"x", "y"}, "{}", {}, {"x", "y"}},
        {"before the first, between, and after the last", {"x", "y", "z"}, R"({"a":0,"b":2,"c":3})", {"c", "b", "a"},
         {"[a@0]", "x", "y", "[b@2]", "z", "[c@3]"}},
        {"equal slots keep the given order", {"x", "y"}, R"({"a":1,"b":1,"c":1})", {"b", "c", "a"},
         {"x", "[b@1]", "[c@1]", "[a@1]", "y"}},
        {"past the end and without a slot: after the last, in the given order", {"x", "y"}, R"({"a":9,"c":2})",
         {"a", "b", "c"}, {"x", "y", "[a@2]", "[b@2]", "[c@2]"}},
        {"a slot stored below 0 counts as first", {"x", "y"}, R"({"a":-5,"b":0})", {"b", "a"},
         {"[b@0]", "[a@0]", "x", "y"}},
        {"slots sort before the given order does", {"x", "y", "z"}, R"({"a":2,"b":1})", {"a", "b"},
         {"x", "[b@1]", "y", "[a@2]", "z"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.settings().setValue("order.otherApps", c.stored);
        // The rows are in the store, so start-up keeps their slots.
        for (const QString& id : c.others)
            h.family().upsert(other(id));
        AppModel& m = h.start();
        addAll(m, c.mine);
        EXPECT_EQ(shape(m.otherApps().rows(m.planner().things(today), m.otherApps().todayFromOthers())), c.rows);
    }
}

TEST(AppModelRows, RowIDs)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid id = *m.add("buy milk", today);
    const QList<TodayRow> rows = m.otherApps().rows(m.planner().things(today), {other("4f1c-todo")});
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].id(), id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(rows[0].id().size(), 36);
    EXPECT_EQ(rows[1].id(), "family-4f1c-todo");
    EXPECT_EQ(rows[1].other, other("4f1c-todo"));
}

TEST(AppModelRows, ClicksWithShiftAndCommand)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QList<QUuid> ids = addAll(m, {"0", "1", "2", "3", "4", "5", "6", "7"});
    const QUuid elsewhere = *m.add("elsewhere", Place::onDay(thursday));

    m.otherApps().setSelectedExternal(QStringLiteral("todo-1"));
    m.selection().click(ids[5], false, false);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{ids[5]});
    EXPECT_EQ(m.selection().anchor(), ids[5]);
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);

    // Ranges run from the anchor, which stays; a range replaces the selection.
    m.otherApps().setSelectedExternal(QStringLiteral("todo-1"));
    m.selection().click(ids[2], false, true);
    EXPECT_EQ(selectedTitles(m), (QStringList{"2", "3", "4", "5"}));
    EXPECT_EQ(m.selection().anchor(), ids[5]);
    m.selection().click(ids[7], false, true);
    EXPECT_EQ(selectedTitles(m), (QStringList{"5", "6", "7"}));
    EXPECT_EQ(m.otherApps().selectedExternal(), "todo-1");

    // Command adds the range to what is selected.
    m.selection().click(ids[0], true, false);
    EXPECT_EQ(m.selection().anchor(), ids[0]);
    m.selection().click(ids[1], true, true);
    EXPECT_EQ(selectedTitles(m), (QStringList{"0", "1", "5", "6", "7"}));

    // Shift on another place is a plain click.
    m.selection().click(elsewhere, false, true);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{elsewhere});
    EXPECT_EQ(m.selection().anchor(), elsewhere);

    // Command on the selected anchor takes it out and drops the anchor, so the next
    // shift-click is a plain click.
    m.selection().click(ids[3], true, false);
    EXPECT_EQ(m.selection().anchor(), ids[3]);
    m.selection().click(ids[3], true, false);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{elsewhere});
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
    m.selection().click(ids[6], false, true);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{ids[6]});
    EXPECT_EQ(m.selection().anchor(), ids[6]);

    // Command on a selected thing that is not the anchor keeps the anchor.
    m.selection().click(ids[4], true, false);
    m.selection().click(ids[6], true, false);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{ids[4]});
    EXPECT_EQ(m.selection().anchor(), ids[4]);
}

TEST(AppModelRows, ArrowsMoveTheSelection)
{
    ModelHarness h;
    AppModel& m = h.start();
    // mon: 3 things; tue, wed: none; thu: 1; fri: 2; the first list: 1.
    const QList<QUuid> mon = addAll(m, {"m0", "m1", "m2"}, Place::onDay(monday));
    m.add("t0", Place::onDay(thursday));
    addAll(m, {"f0", "f1"}, Place::onDay(friday));
    m.add("l0", Place::inList(0));

    struct Step {
        int dx;
        int dy;
        QString selected;
    };
    m.selection().select(mon[2]);
    const QList<Step> steps{
        {0, 1, "m2"},   // down on the last stays
        {0, -1, "m1"},  // up
        {-1, 0, "m1"},  // left of the first column stays
        {1, 0, "t0"},   // empty tue and wed are jumped over; the row is clamped
        {1, 0, "f0"},   // the row of t0 is 0
        {0, 1, "f1"},
        {-1, 0, "t0"},
        {1, 0, "f0"},
        {0, -1, "f0"},  // up on the first stays
        {1, 0, "l0"},   // on past the empty weekend into the lists
        {1, 0, "l0"},   // the end of the board
        {-3, 0, "f0"},  // three columns left lands on fri at once
        {-2, 0, "m0"},  // two at a time: wed is empty, mon is not
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(QStringLiteral("%1,%2 to %3").arg(step.dx).arg(step.dy).arg(step.selected).toStdString());
        m.selection().move(step.dx, step.dy);
        ASSERT_EQ(selectedTitles(m), QStringList{step.selected});
    }
    EXPECT_EQ(m.selection().anchor(), mon[0]);
    EXPECT_EQ(m.undoStack().size(), 7) << "moving the selection is no change of the plan";
}

TEST(AppModelRows, TheFirstArrowPicksAThingOnTheBoard)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.otherApps().setSelectedExternal(QStringLiteral("todo-1"));

    // Nothing anywhere: nothing is selected, and the other app's thing is let go.
    m.selection().move(0, 1);
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);

    // Today is empty: the first column that has things, in board order.
    m.add("listed", Place::inList(0));
    m.add("fri", Place::onDay(friday));
    m.add("thu", Place::onDay(thursday));
    m.selection().move(1, 0);
    EXPECT_EQ(selectedTitles(m), QStringList{"thu"});

    // Today's first thing when today has any.
    m.add("today 0", today);
    m.add("today 1", today);
    m.selection().select(std::nullopt);
    m.selection().move(0, -1);
    EXPECT_EQ(selectedTitles(m), QStringList{"today 0"});

    // A selection no longer in the plan counts as none.
    m.selection().select(QUuid::createUuid());
    m.selection().move(1, 0);
    EXPECT_EQ(selectedTitles(m), QStringList{"today 0"});

    // With the board on another week, today's things are out of sight: that week's
    // first column with things is where the selection starts.
    const Day nextTuesday{2026, 3, 10};
    m.add("next tue", Place::onDay(nextTuesday));
    m.go(1);
    m.selection().move(0, 1);
    EXPECT_EQ(selectedTitles(m), QStringList{"next tue"});

    // A week with nothing on its days: the lists are columns of the board too.
    m.go(1);
    m.selection().move(0, 1);
    EXPECT_EQ(selectedTitles(m), QStringList{"listed"});
}

TEST(AppModelRows, CarryingUpAndDown)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QList<QUuid> ids = addAll(m, {"a", "b", "c", "d"});
    const qsizetype steps = m.undoStack().size();

    // The top thing cannot go up: no change, no undo entry.
    m.selection().select(ids[0]);
    m.selection().carry(0, -1);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(m.undoStack().size(), steps);

    m.selection().setIDs({ids[0], ids[1]});
    m.selection().carry(0, 1);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"c", "a", "b", "d"}));
    m.selection().carry(0, 1);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"c", "d", "a", "b"}));
    m.selection().carry(0, 1);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"c", "d", "a", "b"}));
    EXPECT_EQ(m.undoStack().size(), steps + 2);
    EXPECT_EQ(m.selection().ids(), (QSet<QUuid>{ids[0], ids[1]})) << "the selection follows its things";
}

TEST(AppModelRows, CarryingAcrossDays)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid tue = *m.add("tue", Place::onDay(tuesday));
    const QUuid wed = *m.add("wed", today);
    m.add("already thu", Place::onDay(thursday));

    // Things of two days go to the day after the primary thing's day, in board order.
    m.selection().setIDs({tue, wed});
    m.selection().setAnchor(tue);
    m.selection().carry(1, 0);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"tue", "wed"}));
    m.selection().setAnchor(wed);
    m.selection().carry(1, 0);
    EXPECT_EQ(titlesOn(m, Place::onDay(thursday)), (QStringList{"already thu", "tue", "wed"}));
    EXPECT_EQ(m.selection().ids(), (QSet<QUuid>{tue, wed}));

    // Left from the first day of the week: the Sunday before it.
    m.selection().select(tue);
    m.selection().carry(-3, 0);
    EXPECT_EQ(titlesOn(m, Place::onDay(monday)), QStringList{"tue"});
    m.selection().carry(-1, 0);
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 1})), QStringList{"tue"});
    EXPECT_TRUE(h.text("2026-W09.md").contains("- [ ] tue"));
}

TEST(AppModelRows, CarryingIntoAWeekNotLoaded)
{
    ModelHarness h;
    const Day later{2026, 3, 16};
    h.put("2026-W12.md", weekFile(later, {{later, {"- [ ] dentist"}}}));
    AppModel& m = h.start();
    m.go(1);
    const QUuid id = *m.add("renew the passport", Place::onDay(Day{2026, 3, 15}));
    m.selection().select(id);
    m.selection().carry(1, 0);
    EXPECT_EQ(titlesOn(m, Place::onDay(later)), (QStringList{"dentist", "renew the passport"}));
    const QString file = h.text("2026-W12.md");
    EXPECT_TRUE(file.contains("- [ ] dentist"));
    EXPECT_TRUE(file.contains("- [ ] renew the passport"));

    m.undo();
    EXPECT_EQ(titlesOn(m, Place::onDay(later)), QStringList{"dentist"});
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 15})), QStringList{"renew the passport"});
}

TEST(AppModelRows, CarryingAcrossListsAndMonths)
{
    ModelHarness h;
    h.put("eventually.md", "# eventually\n\n## eventually\n- [ ] fix the bike\n\n## home\n");
    AppModel& m = h.start();
    const QUuid bike = idOf(m.planner(), "fix the bike");
    const qsizetype steps = m.undoStack().size();

    m.selection().select(bike);
    m.selection().carry(-1, 0);
    EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"fix the bike"});
    m.selection().carry(1, 0);
    EXPECT_EQ(titlesOn(m, Place::inList(1)), QStringList{"fix the bike"});
    m.selection().carry(1, 0);
    EXPECT_EQ(titlesOn(m, Place::inList(1)), QStringList{"fix the bike"}) << "the last list";
    EXPECT_EQ(m.undoStack().size(), steps + 1);

    m.setMode(Mode::Month);
    const QUuid photos = *m.add("sort the photos", Place::inMonth(MonthKey{2026, 3}));
    m.selection().select(photos);
    m.selection().carry(1, 0);
    m.selection().carry(-1, 0);
    EXPECT_EQ(titlesOn(m, Place::inMonth(MonthKey{2026, 3})), QStringList{"sort the photos"});
    EXPECT_EQ(m.undoStack().size(), steps + 2);
}

TEST(AppModelRows, TogglingAndMarkingTheSelection)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QList<QUuid> ids = addAll(m, {"a", "b", "c", "d"});
    m.toggle(ids[1]);
    m.selection().setIDs({ids[0], ids[1], ids[2]});
    const qsizetype steps = m.undoStack().size();
    const auto done = [&] {
        QList<bool> flags;
        for (const QUuid& id : ids)
            flags.append(m.planner().thing(id)->done);
        return flags;
    };

    m.selection().toggle();
    EXPECT_EQ(done(), (QList<bool>{true, true, true, false}));
    m.selection().toggle();
    EXPECT_EQ(done(), (QList<bool>{false, false, false, false}));
    EXPECT_EQ(m.undoStack().size(), steps + 2);
    m.undo();
    EXPECT_EQ(done(), (QList<bool>{true, true, true, false}));

    m.setMark({ids[0], ids[3], QUuid::createUuid()}, Mark::Green);
    EXPECT_EQ(m.planner().thing(ids[0])->mark, Mark::Green);
    EXPECT_EQ(m.planner().thing(ids[3])->mark, Mark::Green);
    EXPECT_EQ(m.planner().thing(ids[1])->mark, std::nullopt);
    m.setMark(QList<QUuid>{ids[0], ids[3]}, std::nullopt);
    EXPECT_EQ(m.planner().thing(ids[0])->mark, std::nullopt);
    EXPECT_EQ(m.undoStack().size(), steps + 3);

    // Nothing selected: nothing toggles.
    m.selection().select(std::nullopt);
    m.selection().toggle();
    EXPECT_EQ(m.undoStack().size(), steps + 3);
}
