#include "planner.h"

#include "support/plannertesting.h"

#include <gtest/gtest.h>

namespace {

const Day mon = day("2024-01-08");
const Day tue = day("2024-01-09");
const Day wed = day("2024-01-10");
const MonthKey may{2024, 5};

// Monday [A B C D E], Tuesday [F G], three lists [X] [Y] [], May [M].
Planner fixture()
{
    Planner plan;
    plan.days[mon] = made({"A", "B", "C", "D", "E"});
    plan.days[tue] = made({"F", "G"});
    plan.lists = {{"eventually", made({"X"})}, {"to read", made({"Y"})}, {"someday", {}}};
    plan.months[may] = made({"M"});
    return plan;
}

// Ids by title; "?" is an id no thing has.
QList<QUuid> ids(const Planner& plan, const QStringList& names)
{
    QList<QUuid> out;
    for (const QString& n : names)
        out.append(n == "?" ? QUuid::createUuid() : idOf(plan, n));
    return out;
}

} // namespace

TEST(PlannerEditing, AddTitleTrimsAndKeepsOneLine)
{
    Planner plan = fixture();
    const Planner before = plan;
    EXPECT_EQ(plan.add(QStringLiteral(" \t\n "), Place::onDay(wed)), std::nullopt);
    EXPECT_EQ(plan.add(QStringLiteral("x"), Place::inList(3)), std::nullopt);
    EXPECT_EQ(plan, before);
    EXPECT_FALSE(plan.days.contains(wed));

    const auto id = plan.add(QStringLiteral("  water\r\nthe\u2028plants \n"), Place::onDay(wed));
    ASSERT_TRUE(id);
    Thing expected;
    expected.id = *id;
    expected.title = "water the plants";
    EXPECT_EQ(plan.thing(*id), expected);
}

TEST(PlannerEditing, AddInsertsAtAnIndexOrAppends)
{
    struct Case { std::optional<int> at; QString monday; };
    const Case cases[] = {
        {0, "N A B C D E"}, {1, "A N B C D E"}, {4, "A B C D N E"}, {5, "A B C D E N"},
        {9, "A B C D E N"}, {-1, "A B C D E N"}, {std::nullopt, "A B C D E N"},
    };
    for (const auto& c : cases) {
        Planner plan = fixture();
        Thing n = Thing::make("N");
        n.zs = 3;
        n.syncID = "S";
        EXPECT_EQ(plan.add(n, Place::onDay(mon), c.at), n.id);
        EXPECT_EQ(titles(plan.days[mon]).join(' '), c.monday) << c.at.value_or(-99);
        EXPECT_EQ(plan.thing(n.id), n);  // inserted unchanged
    }

    Planner plan = fixture();
    const Thing n = Thing::make("N");
    EXPECT_EQ(plan.add(n, Place::onDay(wed), 0), n.id);
    EXPECT_EQ(titles(plan.days[wed]), QStringList{"N"});
    EXPECT_TRUE(plan.add(Thing::make("P"), Place::inMonth(MonthKey{2024, 6})));
    EXPECT_EQ(titles(plan.months[MonthKey{2024, 6}]), QStringList{"P"});
}

TEST(PlannerEditing, AddRefusesWhatCannotBeAdded)
{
    Planner plan = fixture();
    const Planner before = plan;
    EXPECT_EQ(plan.add(Thing::make("N"), Place::inList(3)), std::nullopt);
    EXPECT_EQ(plan.add(Thing::make("N"), Place::inList(-1)), std::nullopt);
    // The same thing twice would leave two things no operation can tell apart.
    EXPECT_EQ(plan.add(*plan.thing(idOf(plan, "A")), Place::onDay(wed)), std::nullopt);
    EXPECT_EQ(plan, before);
}

TEST(PlannerEditing, RemoveKeepsMonthsAndListsButNotEmptyDays)
{
    Planner plan = fixture();
    plan.days[wed] = made({"W"});
    EXPECT_EQ(plan.remove(idOf(plan, "W"))->title, "W");
    EXPECT_EQ(plan.remove(idOf(plan, "M"))->title, "M");
    EXPECT_EQ(plan.remove(idOf(plan, "X"))->title, "X");
    EXPECT_EQ(plan.remove(idOf(plan, "F"))->title, "F");
    EXPECT_EQ(describe(plan), "2024-01-08[A B C D E] 2024-01-09[G] list0[] list1[Y] list2[] 2024-05[]");

    const Planner before = plan;
    EXPECT_EQ(plan.remove(QUuid::createUuid()), std::nullopt);
    EXPECT_EQ(plan, before);
}

TEST(PlannerEditing, UpdateAndToggleChangeOneThingWhereItStands)
{
    Planner plan = fixture();
    const QUuid y = idOf(plan, "Y");
    plan.update(y, [](Thing& t) {
        t.title = "Y2";
        t.mark = Mark::Green;
        t.id = QUuid::createUuid();  // ignored: ids are identity
    });
    EXPECT_EQ(plan.thing(y)->title, "Y2");
    EXPECT_EQ(plan.thing(y)->mark, Mark::Green);
    EXPECT_EQ(plan.locate(y), (Location{Place::inList(1), 0}));

    plan.toggle(idOf(plan, "M"));
    EXPECT_TRUE(plan.months[may][0].done);
    plan.toggle(idOf(plan, "M"));
    EXPECT_FALSE(plan.months[may][0].done);

    const Planner before = plan;
    plan.update(QUuid::createUuid(), [](Thing& t) { t.title = "never"; });
    plan.toggle(QUuid::createUuid());
    EXPECT_EQ(plan, before);
}

TEST(PlannerEditing, MovePlacesThingsTogetherBeforeTheIndex)
{
    struct Case { QStringList ids; Place to; std::optional<int> at; const char* expected; };
    const Case cases[] = {
        // Within one place.
        {{"B"}, Place::onDay(mon), 3, "2024-01-08[A C B D E] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"B"}, Place::onDay(mon), {}, "2024-01-08[A C D E B] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"B", "D"}, Place::onDay(mon), 4, "2024-01-08[A C B D E] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"D", "B"}, Place::onDay(mon), 0, "2024-01-08[D B A C E] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"C", "A"}, Place::onDay(mon), 2, "2024-01-08[B C A D E] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"E"}, Place::onDay(mon), 5, "2024-01-08[A B C D E] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"A"}, Place::onDay(mon), 99, "2024-01-08[B C D E A] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"A"}, Place::onDay(mon), -3, "2024-01-08[B C D E A] 2024-01-09[F G] list0[X] list1[Y] list2[] 2024-05[M]"},
        // Across places: an emptied day goes, an emptied month or list stays.
        {{"F", "G"}, Place::onDay(mon), 0, "2024-01-08[F G A B C D E] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"G", "F"}, Place::onDay(wed), {}, "2024-01-08[A B C D E] 2024-01-10[G F] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"A", "B", "C", "D", "E"}, Place::onDay(tue), 1, "2024-01-09[F A B C D E G] list0[X] list1[Y] list2[] 2024-05[M]"},
        {{"M"}, Place::inList(2), {}, "2024-01-08[A B C D E] 2024-01-09[F G] list0[X] list1[Y] list2[M] 2024-05[]"},
        {{"X"}, Place::onDay(mon), 2, "2024-01-08[A B X C D E] 2024-01-09[F G] list0[] list1[Y] list2[] 2024-05[M]"},
        {{"Y"}, Place::inMonth(MonthKey{2024, 6}), {}, "2024-01-08[A B C D E] 2024-01-09[F G] list0[X] list1[] list2[] 2024-05[M] 2024-06[Y]"},
        // Ids not found are skipped; a repeated id moves once.
        {{"B", "?", "B"}, Place::onDay(tue), 1, "2024-01-08[A C D E] 2024-01-09[F B G] list0[X] list1[Y] list2[] 2024-05[M]"},
    };
    for (const auto& c : cases) {
        Planner plan = fixture();
        plan.move(ids(plan, c.ids), c.to, c.at);
        EXPECT_EQ(describe(plan), c.expected) << c.ids.join(',').toStdString() << " to " << describe(c.to).toStdString();
    }
}

TEST(PlannerEditing, MoveThatFindsNothingChangesNothing)
{
    struct Case { QStringList ids; Place to; };
    const Case cases[] = {
        {{"?"}, Place::onDay(wed)},  // must not leave an empty Wednesday behind
        {{"?", "?"}, Place::inMonth(MonthKey{2024, 6})},
        {{}, Place::onDay(wed)},
        {{"A", "X"}, Place::inList(3)},
        {{"A"}, Place::inList(-1)},
    };
    for (const auto& c : cases) {
        Planner plan = fixture();
        const Planner before = plan;
        plan.move(ids(plan, c.ids), c.to, 0);
        EXPECT_EQ(plan, before) << describe(c.to).toStdString();
        plan.move(ids(plan, c.ids), c.to);
        EXPECT_EQ(plan, before) << describe(c.to).toStdString();
    }
}

TEST(PlannerEditing, NudgeSwapsRowsInsideEachPlace)
{
    struct Case { QStringList ids; int by; const char* expected; };
    const Case cases[] = {
        {{"B", "C"}, -1, "2024-01-08[B C A D] 2024-01-09[F G]"},
        {{"B", "C"}, 1, "2024-01-08[A D B C] 2024-01-09[F G]"},
        {{"A", "B"}, -1, "2024-01-08[A B C D] 2024-01-09[F G]"},
        {{"A"}, 2, "2024-01-08[C B A D] 2024-01-09[F G]"},
        {{"D"}, 1, "2024-01-08[A B C D] 2024-01-09[F G]"},
        {{"A", "C"}, 1, "2024-01-08[B A D C] 2024-01-09[F G]"},
        {{"D", "A"}, -3, "2024-01-08[A B C D] 2024-01-09[F G]"},
        {{"B"}, 0, "2024-01-08[A B C D] 2024-01-09[F G]"},
        // Each place on its own: a group blocked at the top does not stop the other.
        {{"A", "G"}, -1, "2024-01-08[A B C D] 2024-01-09[G F]"},
        {{"B", "F"}, -1, "2024-01-08[B A C D] 2024-01-09[F G]"},
        {{"?", "C"}, -1, "2024-01-08[A C B D] 2024-01-09[F G]"},
        {{"C", "C"}, -1, "2024-01-08[A C B D] 2024-01-09[F G]"},
    };
    for (const auto& c : cases) {
        Planner plan;
        plan.days[mon] = made({"A", "B", "C", "D"});
        plan.days[tue] = made({"F", "G"});
        plan.nudge(ids(plan, c.ids), c.by);
        EXPECT_EQ(describe(plan), c.expected) << c.ids.join(',').toStdString() << " by " << c.by;
    }
}

TEST(PlannerEditing, RollOverCarriesOpenThingsWithoutRulesToToday)
{
    Planner plan;
    plan.days[day("2024-01-07")] = made({"sun done"});
    plan.days[day("2024-01-07")][0].done = true;
    plan.days[mon] = made({"open1", "done1", "instance", "origin", "open2"});
    plan.days[mon][0].zs = 2;
    plan.days[mon][1].done = true;
    plan.days[mon][2].repeatID = "r1";
    plan.days[mon][3].repeatID = "r2";
    plan.days[tue] = made({"open3"});
    plan.days[wed] = made({"today"});
    plan.days[day("2024-01-11")] = made({"later"});
    plan.lists = {{"eventually", made({"listed"})}};
    plan.months[may] = made({"monthly"});

    EXPECT_EQ(plan.rollOver(wed), 3);
    EXPECT_EQ(describe(plan), "2024-01-07[sun done] 2024-01-08[done1 instance origin] 2024-01-10[today open1 open2 open3] "
                              "2024-01-11[later] list0[listed] 2024-05[monthly]");
    QList<int> moves;
    for (const Thing& t : plan.days[wed])
        moves.append(t.zs);
    EXPECT_EQ(moves, (QList<int>{0, 3, 1, 1}));

    // A count at the most a move can reach stays there: no move overflows it.
    plan.days[tue] = made({"pushed for ever"});
    plan.days[tue][0].zs = Thing::maxMoveCount;
    EXPECT_EQ(plan.rollOver(wed), 1);
    EXPECT_EQ(plan.days[wed].last().zs, Thing::maxMoveCount);
    plan.notThisWeek(plan.days[wed].last().id);
    EXPECT_EQ(plan.days[wed.adding(7)].last().zs, Thing::maxMoveCount);
    plan.days.remove(wed.adding(7));

    const Planner after = plan;
    EXPECT_EQ(plan.rollOver(wed), 0);
    EXPECT_EQ(plan, after);
}

TEST(PlannerEditing, RollOverWithNothingOpenChangesNothing)
{
    Planner plan;
    plan.days[mon] = made({"done"});
    plan.days[mon][0].done = true;
    const Planner before = plan;
    EXPECT_EQ(plan.rollOver(wed), 0);
    EXPECT_EQ(plan, before);
    EXPECT_FALSE(plan.days.contains(wed));
}

TEST(PlannerEditing, PushRestMovesTheRestOfTheWeekOnAWeek)
{
    Planner plan;
    plan.days[mon] = made({"m1"});
    plan.days[tue] = made({"t1"});
    plan.days[wed] = made({"w1", "w2", "w3", "w4"});
    plan.days[wed][1].done = true;
    plan.days[wed][2].repeatID = "r1";
    plan.days[day("2024-01-13")] = made({"s1"});
    plan.days[day("2024-01-17")] = made({"already"});
    QList<Day> week;
    for (int i = 0; i < 7; ++i)
        week.append(mon.adding(i));

    EXPECT_EQ(plan.pushRest(week, wed), 3);
    EXPECT_EQ(describe(plan), "2024-01-08[m1] 2024-01-09[t1] 2024-01-10[w2 w3] 2024-01-17[already w1 w4] 2024-01-20[s1]");
    EXPECT_EQ(plan.thing(idOf(plan, "w1"))->zs, 1);
    EXPECT_EQ(plan.thing(idOf(plan, "m1"))->zs, 0);

    // A thing that lands on a later day of the given days is pushed once, not again.
    Planner twice;
    twice.days[wed] = made({"w"});
    EXPECT_EQ(twice.pushRest({wed, wed.adding(7)}, wed), 1);
    EXPECT_EQ(describe(twice), "2024-01-17[w]");
    EXPECT_EQ(twice.days[day("2024-01-17")][0].zs, 1);
}

TEST(PlannerEditing, NotThisWeekOnlyMovesThingsOnDays)
{
    Planner plan = fixture();
    plan.days[mon.adding(7)] = made({"next"});
    plan.notThisWeek(idOf(plan, "B"));
    EXPECT_EQ(titles(plan.days[mon.adding(7)]), (QStringList{"next", "B"}));
    EXPECT_EQ(plan.thing(idOf(plan, "B"))->zs, 1);

    const Planner before = plan;
    plan.notThisWeek(idOf(plan, "X"));
    plan.notThisWeek(idOf(plan, "M"));
    plan.notThisWeek(QUuid::createUuid());
    EXPECT_EQ(plan, before);
}
