#include "planner.h"

#include "support/plannertesting.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

Planner sixLists()
{
    Planner plan;
    for (int i = 0; i < 6; ++i)
        plan.lists.append({QStringLiteral("l%1").arg(i), made({QStringLiteral("t%1").arg(i)})});
    return plan;
}

} // namespace

TEST(PlannerQueries, ThingsOfAPlace)
{
    Planner plan = sixLists();
    plan.days[day("2024-01-10")] = made({"a", "b"});
    plan.months[MonthKey{2024, 5}] = made({"m"});
    const Planner before = plan;

    EXPECT_EQ(titles(plan.things(Place::onDay(day("2024-01-10")))), (QStringList{"a", "b"}));
    EXPECT_EQ(titles(plan.things(Place::inList(5))), (QStringList{"t5"}));
    EXPECT_EQ(titles(plan.things(Place::inMonth(MonthKey{2024, 5}))), (QStringList{"m"}));
    EXPECT_TRUE(plan.things(Place::inList(6)).isEmpty());
    EXPECT_TRUE(plan.things(Place::inList(-1)).isEmpty());
    EXPECT_TRUE(plan.things(Place::onDay(day("2024-01-11"))).isEmpty());
    EXPECT_TRUE(plan.things(Place::inMonth(MonthKey{2024, 6})).isEmpty());
    EXPECT_EQ(plan, before);  // reading makes no entries
    EXPECT_FALSE(plan.days.contains(day("2024-01-11")));
}

TEST(PlannerQueries, FindsThingsByIdAndSyncId)
{
    Planner plan = sixLists();
    plan.days[day("2024-01-10")] = made({"a", "b"});
    plan.months[MonthKey{2024, 5}] = made({"m"});
    plan.lists[2].things[0].syncID = "ABC";
    plan.months[MonthKey{2024, 5}][0].syncID = "";

    const QUuid b = idOf(plan, "b");
    EXPECT_EQ(plan.locate(b), (Location{Place::onDay(day("2024-01-10")), 1}));
    EXPECT_EQ(plan.locate(idOf(plan, "t3")), (Location{Place::inList(3), 0}));
    EXPECT_EQ(plan.locate(idOf(plan, "m")), (Location{Place::inMonth(MonthKey{2024, 5}), 0}));
    EXPECT_EQ(plan.locate(QUuid::createUuid()), std::nullopt);
    EXPECT_EQ(plan.thing(b)->title, "b");
    EXPECT_EQ(plan.thing(QUuid::createUuid()), std::nullopt);

    EXPECT_EQ(plan.thingWithSyncID("ABC")->title, "t2");
    EXPECT_EQ(plan.thingWithSyncID("abc"), std::nullopt);  // exact text
    EXPECT_EQ(plan.thingWithSyncID("")->title, "m");       // set but empty is still set
    plan.months[MonthKey{2024, 5}][0].syncID.reset();
    EXPECT_EQ(plan.thingWithSyncID(""), std::nullopt);     // no sync id never matches
}

TEST(PlannerQueries, OpenCountAndRepeatKind)
{
    Planner plan;
    plan.days[day("2024-01-10")] = made({"a", "b", "c"});
    plan.days[day("2024-01-10")][1].done = true;
    EXPECT_EQ(plan.openCount(day("2024-01-10")), 2);
    EXPECT_EQ(plan.openCount(day("2024-01-11")), 0);

    plan.repeats = {{"aaaaaa", "x", RepeatKind::Weekly, day("2024-01-01"), std::nullopt},
                    {"bbbbbb", "y", RepeatKind::Daily, day("2024-01-01"), std::nullopt},
                    {"bbbbbb", "z", RepeatKind::Monthly, day("2024-01-01"), std::nullopt}};
    Thing t = Thing::make("t");
    EXPECT_EQ(plan.repeatKind(t), std::nullopt);
    t.repeatID = "bbbbbb";
    EXPECT_EQ(plan.repeatKind(t), RepeatKind::Daily);  // the first rule of that id
    t.repeatID = "cccccc";
    EXPECT_EQ(plan.repeatKind(t), std::nullopt);       // a rule that was ended
}

TEST(PlannerQueries, SearchMatchesTitlesNotesAndStepsOnce)
{
    Planner plan;
    plan.lists = {{"eventually", {}}};
    Thing title = Thing::make("Buy Milk");
    title.note = "milk again";  // matches twice, listed once
    Thing note = Thing::make("shop");
    note.note = "first line\nthen MILK";
    Thing step = Thing::make("breakfast");
    step.steps = {{"eggs", false}, {"oat milk", true}};
    const Thing none = Thing::make("nothing here");
    plan.days[day("2024-03-03")] = {title, note, step, none};

    const auto hits = plan.search(" milk\t");
    ASSERT_EQ(hits.size(), 3);
    EXPECT_EQ(hits[0].thing, title);
    EXPECT_EQ(hits[1].thing, note);
    EXPECT_EQ(hits[2].thing, step);
    EXPECT_EQ(hits[0].place, Place::onDay(day("2024-03-03")));

    EXPECT_TRUE(plan.search(" \t ").isEmpty());
    EXPECT_TRUE(plan.search("").isEmpty());
    EXPECT_TRUE(plan.search("\nmilk").isEmpty());  // line breaks are part of the query
    EXPECT_EQ(plan.search("MILK").size(), 3);
}

TEST(PlannerQueries, SearchFindsAnAccentWrittenEitherWay)
{
    const QString composed = QStringLiteral("caf\u00e9");
    const QString decomposed = QStringLiteral("cafe\u0301");
    struct Case { QString title, query; };
    const Case cases[] = {
        {"Meet at the " + composed, decomposed},
        {"Meet at the " + decomposed, composed},
        {"MEET AT THE " + composed.toUpper(), decomposed},
        {"MEET AT THE " + decomposed.toUpper(), composed},
        {"meet at the " + composed, decomposed.toUpper()},
        {"meet at the " + decomposed, composed.toUpper()},
    };
    for (const auto& c : cases) {
        Planner plan;
        plan.lists = {{"eventually", made({"other"})}};
        const Thing inTitle = Thing::make(c.title);
        Thing inNote = Thing::make("note");
        inNote.note = c.title;
        Thing inStep = Thing::make("step");
        inStep.steps = {{c.title, false}};
        plan.days[day("2024-03-03")] = {inTitle, inNote, inStep};
        const auto hits = plan.search(c.query);
        ASSERT_EQ(hits.size(), 3) << c.title.toStdString() << " / " << c.query.toStdString();
        EXPECT_EQ(hits[0].thing, inTitle);
        // The bare letter is another letter, however the accent is written.
        EXPECT_TRUE(plan.search("cafe").isEmpty()) << c.title.toStdString();
    }
}

TEST(PlannerQueries, SearchOrderIsLatestDaysThenLatestMonthsThenLists)
{
    Planner plan;
    plan.lists = {{"eventually", made({"x list0"})}, {"to read", made({"x list1"})}};
    plan.days[day("2024-03-03")] = made({"x mar3 a", "x mar3 b"});
    plan.days[day("2024-03-10")] = made({"x mar10"});
    plan.days[day("2023-12-31")] = made({"x dec31", "other"});
    plan.months[MonthKey{2024, 4}] = made({"x april"});
    plan.months[MonthKey{2025, 1}] = made({"x jan25"});
    plan.months[MonthKey{2024, 12}] = {};

    QStringList found, places;
    for (const auto& hit : plan.search("x")) {
        found.append(hit.thing.title);
        places.append(describe(hit.place));
    }
    EXPECT_EQ(found, (QStringList{"x mar10", "x mar3 a", "x mar3 b", "x dec31", "x jan25", "x april",
                                  "x list0", "x list1"}));
    EXPECT_EQ(places, (QStringList{"2024-03-10", "2024-03-03", "2024-03-03", "2023-12-31", "2025-01", "2024-04",
                                   "list0", "list1"}));
}

TEST(PlannerQueries, EqualityComparesEveryCollection)
{
    Planner a;
    a.days[day("2024-01-10")] = made({"a"});
    Planner b = a;
    EXPECT_EQ(a, b);
    b.months[MonthKey{2024, 5}] = {};
    EXPECT_NE(a, b);  // an empty month entry is a difference

    b = a;
    b.appliedRepeats[day("2024-01-08")] = {"abcdef"};
    EXPECT_NE(a, b);

    b = a;
    b.days[day("2024-01-10")][0].zs = 1;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.days[day("2024-01-10")][0].zs, 0);  // the copy changed, not the original
}

TEST(PlannerQueries, ChangedPlacesAreThoseWhoseThingsDifferFromAnEarlierCopy)
{
    Planner base = sixLists();
    base.days[day("2024-01-10")] = made({"a", "b"});
    base.days[day("2024-01-11")] = made({"c"});
    base.days[day("2024-02-01")] = made({"d"});
    base.months[MonthKey{2024, 5}] = made({"m"});

    struct Case {
        const char* name;
        std::function<void(Planner&)> edit;
        QStringList places;
    };
    const QList<Case> cases{
        {"nothing", [](Planner&) {}, {}},
        {"a thing of a day", [](Planner& p) { p.days[day("2024-01-11")][0].done = true; }, {"2024-01-11"}},
        {"a move between months",
         [](Planner& p) { p.move(idOf(p, "a"), Place::onDay(day("2024-02-01"))); },
         {"2024-01-10", "2024-02-01"}},
        {"a day emptied, a day made",
         [](Planner& p) {
             p.remove(idOf(p, "c"));
             p.add(QStringLiteral("e"), Place::onDay(day("2023-12-31")));
         },
         {"2023-12-31", "2024-01-11"}},
        {"a list's things, not its name",
         [](Planner& p) {
             p.lists[1].name = QStringLiteral("renamed");
             p.lists[4].things.clear();
         },
         {"list4"}},
        {"a list gone", [](Planner& p) { p.removeList(5, std::nullopt); }, {"list5"}},
        {"a month", [](Planner& p) { p.add(QStringLiteral("n"), Place::inMonth(MonthKey{2024, 6})); }, {"2024-06"}},
        {"an equal copy put back",
         [](Planner& p) {
             QList<Thing> same = p.days.value(day("2024-01-10"));
             same.detach();
             p.days[day("2024-01-10")] = same;
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Planner after = base;
        c.edit(after);
        QStringList places;
        for (const Place& place : after.changedPlaces(base))
            places.append(describe(place));
        EXPECT_EQ(places, c.places);
    }
}

TEST(PlannerQueries, EveryThingIsVisitedInPlanOrderUntilAVisitSaysStop)
{
    Planner plan;
    plan.lists.append({QStringLiteral("l"), made({"l0", "l1"})});
    plan.months[MonthKey{2024, 5}] = made({"m0"});
    plan.days[day("2024-02-01")] = made({"d1"});
    plan.days[day("2024-01-10")] = made({"d0a", "d0b"});

    QStringList seen;
    EXPECT_FALSE(plan.forEachThing([&](const Place& place, int index, const Thing& thing) {
        seen.append(describe(place) + u'/' + QString::number(index) + u'=' + thing.title);
    }));
    EXPECT_EQ(seen, (QStringList{"2024-01-10/0=d0a", "2024-01-10/1=d0b", "2024-02-01/0=d1", "list0/0=l0", "list0/1=l1",
                                 "2024-05/0=m0"}));

    seen.clear();
    EXPECT_TRUE(plan.forEachThing([&](const Place&, int, const Thing& thing) {
        seen.append(thing.title);
        return thing.title == u"l0";
    }));
    EXPECT_EQ(seen, (QStringList{"d0a", "d0b", "d1", "l0"}));
}
