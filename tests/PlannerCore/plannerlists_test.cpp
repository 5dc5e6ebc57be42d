#include "planner.h"

#include "support/plannertesting.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QStringList names(const Planner& plan)
{
    QStringList out;
    for (const auto& l : plan.lists)
        out.append(l.name);
    return out;
}

Planner threeLists()
{
    Planner plan;
    plan.lists = {{"eventually", made({"a1", "a2"})}, {"to read", made({"b1"})}, {"someday", made({"c1", "c2"})}};
    return plan;
}

RepeatRule rule(const char* id, RepeatKind kind, const char* start, std::optional<Mark> mark = std::nullopt)
{
    return RepeatRule{id, QStringLiteral("rule ") + id, kind, day(start), mark};
}

} // namespace

TEST(PlannerLists, EnsureListsMakesTheFirstListOnce)
{
    Planner plan;
    plan.ensureLists();
    EXPECT_EQ(plan.lists, (QList<EventuallyList>{{"eventually", {}}}));
    Planner full = threeLists();
    const Planner before = full;
    full.ensureLists();
    EXPECT_EQ(full, before);
}

TEST(PlannerLists, AddListPicksTheFirstFreeDefaultName)
{
    struct Case { QStringList existing; QString added; };
    const Case cases[] = {
        {{}, "eventually"},
        {{"eventually", "someday"}, "to read"},
        {{"To Read", "eventually"}, "to read"},  // names compare exactly
        {{"eventually", "to read", "someday", "maybe", "one day"}, "whenever"},
        {{"whenever", "one day", "maybe", "someday", "to read"}, "eventually"},
    };
    for (const auto& c : cases) {
        Planner plan;
        for (const QString& n : c.existing)
            plan.lists.append({n, {}});
        EXPECT_TRUE(plan.addList());
        EXPECT_EQ(names(plan), c.existing + QStringList{c.added}) << c.existing.join(',').toStdString();
        EXPECT_TRUE(plan.lists.last().things.isEmpty());
    }
}

TEST(PlannerLists, AddListStopsAtTheCapAndKeepsGivenNames)
{
    Planner plan = threeLists();
    EXPECT_TRUE(plan.addList(QStringLiteral("someday")));
    EXPECT_TRUE(plan.addList(QStringLiteral(" Big Ideas ")));
    EXPECT_TRUE(plan.addList(QStringLiteral("two\nlines")));
    EXPECT_EQ(names(plan), (QStringList{"eventually", "to read", "someday", "someday", " Big Ideas ", "two lines"}));
    const Planner full = plan;
    EXPECT_FALSE(plan.addList());
    EXPECT_FALSE(plan.addList(QStringLiteral("seventh")));
    EXPECT_EQ(plan, full);
    EXPECT_EQ(plan.lists.size(), Planner::listCap);
}

TEST(PlannerLists, RemoveListMovesOrDropsItsThings)
{
    struct Case { int index; std::optional<int> target; const char* expected; };
    const Case cases[] = {
        {0, std::nullopt, "list0[a1 a2] list1[b1] list2[c1 c2]"},
        {0, 1, "list0[a1 a2] list1[b1] list2[c1 c2]"},
        {3, 0, "list0[a1 a2] list1[b1] list2[c1 c2]"},
        {-1, 0, "list0[a1 a2] list1[b1] list2[c1 c2]"},
        {2, std::nullopt, "list0[a1 a2] list1[b1]"},
        {2, 2, "list0[a1 a2] list1[b1]"},
        {2, 7, "list0[a1 a2] list1[b1]"},
        {2, 0, "list0[a1 a2 c1 c2] list1[b1]"},
        {1, 2, "list0[a1 a2] list1[c1 c2 b1]"},
    };
    for (const auto& c : cases) {
        Planner plan = threeLists();
        plan.removeList(c.index, c.target);
        EXPECT_EQ(describe(plan), c.expected) << c.index << " to " << c.target.value_or(-99);
    }
}

TEST(PlannerLists, RemoveAllListsKeepsTheFirst)
{
    Planner kept = threeLists();
    kept.removeAllLists(true);
    EXPECT_EQ(describe(kept), "list0[a1 a2 b1 c1 c2]");
    EXPECT_EQ(names(kept), QStringList{"eventually"});

    Planner dropped = threeLists();
    dropped.removeAllLists(false);
    EXPECT_EQ(describe(dropped), "list0[a1 a2]");

    Planner none;
    none.removeAllLists(true);
    EXPECT_EQ(none.lists, (QList<EventuallyList>{{"eventually", {}}}));
}

TEST(PlannerLists, RenameListTrimsLowerCasesAndKeepsOneLine)
{
    struct Case { int index; QString name; QStringList names; };
    const Case cases[] = {
        {1, "  To Read \t", {"eventually", "to read", "someday"}},
        {0, "\n Work \r\n", {"work", "to read", "someday"}},
        {2, "Books\nand\r\nFilms", {"eventually", "to read", "books and films"}},
        {2, QStringLiteral("A\u2029B"), {"eventually", "to read", "a b"}},
        {1, " \t\n", {"eventually", "to read", "someday"}},
        {3, "later", {"eventually", "to read", "someday"}},
        {-1, "later", {"eventually", "to read", "someday"}},
    };
    for (const auto& c : cases) {
        Planner plan = threeLists();
        plan.renameList(c.index, c.name);
        EXPECT_EQ(names(plan), c.names) << c.name.toStdString();
    }
}

TEST(RepeatRuleTest, OccursAfterItsStartByKind)
{
    struct Case { RepeatKind kind; const char* start; const char* on; bool occurs; };
    const Case cases[] = {
        {RepeatKind::Daily, "2026-03-04", "2026-03-04", false},  // never the start day
        {RepeatKind::Daily, "2026-03-04", "2026-03-03", false},
        {RepeatKind::Daily, "2026-03-04", "2026-03-05", true},
        {RepeatKind::Daily, "2026-03-04", "2027-01-01", true},
        {RepeatKind::Weekdays, "2026-03-04", "2026-03-06", true},   // Friday
        {RepeatKind::Weekdays, "2026-03-04", "2026-03-07", false},  // Saturday
        {RepeatKind::Weekdays, "2026-03-04", "2026-03-08", false},  // Sunday
        {RepeatKind::Weekdays, "2026-03-04", "2026-03-09", true},   // Monday
        {RepeatKind::Weekly, "2026-03-03", "2026-03-10", true},
        {RepeatKind::Weekly, "2026-03-03", "2026-03-11", false},
        {RepeatKind::Weekly, "2026-03-03", "2026-03-03", false},
        {RepeatKind::Weekly, "2026-03-03", "2026-02-24", false},
        {RepeatKind::Monthly, "2026-01-31", "2026-03-31", true},
        {RepeatKind::Monthly, "2026-01-31", "2026-01-31", false},
        {RepeatKind::Monthly, "2026-01-30", "2026-03-30", true},
        {RepeatKind::Monthly, "2026-01-15", "2026-02-15", true},
        {RepeatKind::Monthly, "2026-01-15", "2026-02-16", false},
    };
    for (const auto& c : cases) {
        const RepeatRule r{"abcdef", "t", c.kind, day(c.start), std::nullopt};
        EXPECT_EQ(r.occursOn(day(c.on)), c.occurs) << repeatKindRawValue(c.kind).toStdString() << " from " << c.start
                                                   << " on " << c.on;
    }

    // No end-of-month adjustment: the 31st skips February and April entirely.
    const RepeatRule the31st{"abcdef", "t", RepeatKind::Monthly, day("2026-01-31"), std::nullopt};
    const RepeatRule the30th{"abcdef", "t", RepeatKind::Monthly, day("2026-01-30"), std::nullopt};
    for (Day d = day("2026-02-01"); d < day("2026-03-01"); d = d.adding(1)) {
        EXPECT_FALSE(the31st.occursOn(d)) << d.iso().toStdString();
        EXPECT_FALSE(the30th.occursOn(d)) << d.iso().toStdString();
    }
    for (Day d = day("2026-04-01"); d < day("2026-05-01"); d = d.adding(1))
        EXPECT_FALSE(the31st.occursOn(d)) << d.iso().toStdString();
}

TEST(PlannerRepeats, SetRepeatMakesARuleFromAThingOnADay)
{
    Planner plan;
    plan.lists = {{"eventually", made({"listed"})}};
    plan.days[day("2026-03-03")] = made({"water\nthe plants"});  // as a rename could leave it
    plan.days[day("2026-03-03")][0].mark = Mark::Green;
    const QUuid id = idOf(plan, "water\nthe plants");

    const Planner before = plan;
    plan.setRepeat(idOf(plan, "listed"), RepeatKind::Daily);
    plan.setRepeat(QUuid::createUuid(), RepeatKind::Daily);
    EXPECT_EQ(plan, before);

    plan.setRepeat(id, RepeatKind::Weekly);
    ASSERT_EQ(plan.repeats.size(), 1);
    const RepeatRule made = plan.repeats[0];
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{6}$").match(made.id).hasMatch()) << made.id.toStdString();
    EXPECT_EQ(made, (RepeatRule{made.id, "water the plants", RepeatKind::Weekly, day("2026-03-03"), Mark::Green}));
    EXPECT_EQ(plan.thing(id)->repeatID, made.id);
    EXPECT_EQ(plan.repeatKind(*plan.thing(id)), RepeatKind::Weekly);

    // Another kind replaces the rule.
    plan.setRepeat(id, RepeatKind::Monthly);
    ASSERT_EQ(plan.repeats.size(), 1);
    EXPECT_NE(plan.repeats[0].id, made.id);
    EXPECT_EQ(plan.repeats[0].kind, RepeatKind::Monthly);
    EXPECT_EQ(plan.thing(id)->repeatID, plan.repeats[0].id);
}

TEST(PlannerRepeats, EndingARuleFromAnyOfItsThings)
{
    Planner plan;
    plan.repeats = {rule("aaaaaa", RepeatKind::Daily, "2026-03-02"), rule("bbbbbb", RepeatKind::Daily, "2026-03-02"),
                    rule("cccccc", RepeatKind::Daily, "2026-03-02")};
    plan.days[day("2026-03-02")] = made({"origin"});
    plan.days[day("2026-03-02")][0].repeatID = "bbbbbb";
    plan.days[day("2026-03-03")] = made({"instance", "other"});
    plan.days[day("2026-03-03")][0].repeatID = "bbbbbb";
    plan.days[day("2026-03-03")][1].repeatID = "cccccc";

    // From the thing it was made from: the rule goes, its instances keep their id.
    Planner fromOrigin = plan;
    fromOrigin.setRepeat(idOf(plan, "origin"), std::nullopt);
    EXPECT_EQ(fromOrigin.repeats, (QList<RepeatRule>{plan.repeats[0], plan.repeats[2]}));
    EXPECT_EQ(fromOrigin.thing(idOf(plan, "origin"))->repeatID, std::nullopt);
    EXPECT_EQ(fromOrigin.thing(idOf(plan, "instance"))->repeatID, "bbbbbb");
    EXPECT_EQ(fromOrigin.repeatKind(*fromOrigin.thing(idOf(plan, "instance"))), std::nullopt);

    // From one of the things it made: the rule goes too.
    Planner fromInstance = plan;
    fromInstance.setRepeat(idOf(plan, "instance"), std::nullopt);
    EXPECT_EQ(fromInstance.repeats, (QList<RepeatRule>{plan.repeats[0], plan.repeats[2]}));
    EXPECT_EQ(fromInstance.thing(idOf(plan, "instance"))->repeatID, std::nullopt);
    EXPECT_EQ(fromInstance.thing(idOf(plan, "origin"))->repeatID, "bbbbbb");
}

TEST(PlannerRepeats, NewRuleIdsNeverReuseAnIdInThePlan)
{
    Planner plan;
    plan.days[day("2026-03-02")] = made({"t"});
    const QUuid id = idOf(plan, "t");
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        plan.setRepeat(id, RepeatKind::Daily);
        const QString ruleId = *plan.thing(id)->repeatID;
        EXPECT_FALSE(seen.contains(ruleId));
        seen.insert(ruleId);
        // Keep each old id alive on a thing, as an instance of an ended rule would.
        Thing instance = Thing::make("old");
        instance.repeatID = ruleId;
        plan.add(instance, Place::onDay(day("2026-03-03")));
    }
}

TEST(PlannerRepeats, WeeklyRuleFillsAWeekOnce)
{
    Planner plan;
    plan.repeats = {rule("4f0c2a", RepeatKind::Weekly, "2026-03-03", Mark::Red)};
    const Day monday = day("2026-03-09");
    plan.applyRepeats(monday, monday);
    EXPECT_EQ(describe(plan), "2026-03-10[rule 4f0c2a]");
    Thing t = plan.days[day("2026-03-10")][0];
    Thing expected = Thing::make("rule 4f0c2a");
    expected.id = t.id;
    expected.mark = Mark::Red;
    expected.repeatID = "4f0c2a";
    EXPECT_EQ(t, expected);
    EXPECT_EQ(plan.appliedRepeats, (QMap<Day, QSet<QString>>{{monday, {"4f0c2a"}}}));

    const Planner once = plan;
    plan.applyRepeats(monday, monday);
    EXPECT_EQ(plan, once);
    plan.remove(t.id);
    const Planner deleted = plan;
    plan.applyRepeats(monday, monday);
    EXPECT_EQ(plan, deleted);
}

TEST(PlannerRepeats, FillsOnlyTheRestOfTheWeekFromToday)
{
    struct Case { RepeatKind kind; const char* start; const char* today; const char* expected; };
    const Case cases[] = {
        // A daily rule made on Wednesday, applied with today Wednesday: Thursday to Sunday.
        {RepeatKind::Daily, "2026-03-11", "2026-03-11",
         "2026-03-12[rule r] 2026-03-13[rule r] 2026-03-14[rule r] 2026-03-15[rule r]"},
        {RepeatKind::Weekdays, "2026-03-01", "2026-03-09",
         "2026-03-09[rule r] 2026-03-10[rule r] 2026-03-11[rule r] 2026-03-12[rule r] 2026-03-13[rule r]"},
        {RepeatKind::Daily, "2026-03-01", "2026-03-14", "2026-03-14[rule r] 2026-03-15[rule r]"},
        {RepeatKind::Monthly, "2026-02-10", "2026-03-09", "2026-03-10[rule r]"},
        {RepeatKind::Monthly, "2026-01-31", "2026-03-09", ""},
        {RepeatKind::Daily, "2026-03-20", "2026-03-09", ""},  // starts after the week
    };
    const Day monday = day("2026-03-09");
    for (const auto& c : cases) {
        Planner plan;
        plan.repeats = {RepeatRule{"r", "rule r", c.kind, day(c.start), std::nullopt}};
        plan.applyRepeats(monday, day(c.today));
        EXPECT_EQ(describe(plan), c.expected) << repeatKindRawValue(c.kind).toStdString() << " from " << c.start;
        // Recorded even when nothing was made, so the week is never filled again.
        EXPECT_EQ(plan.appliedRepeats.value(monday), QSet<QString>{"r"});
    }
}

TEST(PlannerRepeats, AWeekThatIsOverIsNeitherFilledNorRecorded)
{
    Planner plan;
    plan.repeats = {rule("aaaaaa", RepeatKind::Daily, "2026-01-01")};
    const Planner before = plan;
    plan.applyRepeats(day("2026-03-09"), day("2026-03-16"));
    EXPECT_EQ(plan, before);
    EXPECT_TRUE(plan.appliedRepeats.isEmpty());

    plan.repeats.clear();
    plan.applyRepeats(day("2026-03-09"), day("2026-03-09"));
    EXPECT_TRUE(plan.appliedRepeats.isEmpty());  // no rules: no empty record
}

TEST(PlannerRepeats, RulesOfOneDayComeInRuleOrderAndNeverTwice)
{
    Planner plan;
    plan.repeats = {rule("bbbbbb", RepeatKind::Weekly, "2026-03-03"), rule("aaaaaa", RepeatKind::Weekly, "2026-03-03"),
                    rule("bbbbbb", RepeatKind::Daily, "2026-03-03")};
    // An instance already on the day (its week file lost the record) is not made again.
    plan.days[day("2026-03-10")] = made({"kept"});
    plan.days[day("2026-03-10")][0].repeatID = "aaaaaa";
    plan.days[day("2026-03-10")][0].done = true;
    plan.applyRepeats(day("2026-03-09"), day("2026-03-09"));
    EXPECT_EQ(describe(plan), "2026-03-10[kept rule bbbbbb]");
    EXPECT_EQ(plan.appliedRepeats.value(day("2026-03-09")), (QSet<QString>{"aaaaaa", "bbbbbb"}));

    // Rules already applied to the week are skipped; new ones join the record.
    plan.repeats.append(rule("cccccc", RepeatKind::Weekly, "2026-03-03"));
    plan.applyRepeats(day("2026-03-09"), day("2026-03-09"));
    EXPECT_EQ(describe(plan), "2026-03-10[kept rule bbbbbb rule cccccc]");
    EXPECT_EQ(plan.appliedRepeats.value(day("2026-03-09")), (QSet<QString>{"aaaaaa", "bbbbbb", "cccccc"}));
}
