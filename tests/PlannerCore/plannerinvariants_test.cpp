// A long seeded run of random operations over a plan of several weeks, lists and
// months, checking after every step what every operation promises: no empty day
// entries, unique ids, no thing lost or duplicated, list limits, and that an
// operation with nothing to do leaves the plan equal.
#include "planner.h"

#include "support/plannertesting.h"

#include <QSet>

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr unsigned seed = 20240108;
constexpr int steps = 4000;

const Day firstMonday = day("2024-01-01");

QList<QUuid> allIds(const Planner& plan)
{
    QList<QUuid> out;
    const auto add = [&](const QList<Thing>& things) {
        for (const Thing& t : things)
            out.append(t.id);
    };
    for (const auto& things : plan.days)
        add(things);
    for (const auto& list : plan.lists)
        add(list.things);
    for (const auto& things : plan.months)
        add(things);
    return out;
}

QSet<QUuid> idsOf(const QList<Thing>& things)
{
    QSet<QUuid> out;
    for (const Thing& t : things)
        out.insert(t.id);
    return out;
}

// An empty text when the plan keeps its shape, else what is wrong.
QString shapeProblem(const Planner& plan)
{
    for (auto it = plan.days.cbegin(); it != plan.days.cend(); ++it) {
        if (it->isEmpty())
            return "empty day entry " + it.key().iso();
    }
    for (auto it = plan.appliedRepeats.cbegin(); it != plan.appliedRepeats.cend(); ++it) {
        if (it->isEmpty())
            return "empty applied-rules entry " + it.key().iso();
    }
    if (plan.lists.isEmpty() || plan.lists.size() > Planner::listCap)
        return QStringLiteral("%1 lists").arg(plan.lists.size());
    const QList<QUuid> ids = allIds(plan);
    if (QSet<QUuid>(ids.cbegin(), ids.cend()).size() != ids.size())
        return QStringLiteral("a thing id occurs twice");
    return {};
}

class RandomRun {
public:
    RandomRun() : rng_(seed) {}

    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }

    Day anyDay() { return firstMonday.adding(pick(28)); }
    Place anyPlace(const Planner& plan)
    {
        switch (pick(6)) {
        case 0: return Place::inList(pick(int(plan.lists.size()) + 2) - 1);  // sometimes out of range
        case 1: return Place::inMonth(MonthKey{2024, 1 + pick(3)});
        default: return Place::onDay(anyDay());
        }
    }
    std::optional<int> anyIndex() { return chance(30) ? std::nullopt : std::optional<int>(pick(9) - 2); }
    // Mostly a thing of the plan, now and then an id that no thing has.
    QUuid anyId(const Planner& plan)
    {
        const QList<QUuid> ids = allIds(plan);
        if (ids.isEmpty() || chance(8))
            return QUuid::createUuid();
        return ids[pick(int(ids.size()))];
    }
    QList<QUuid> someIds(const Planner& plan)
    {
        QList<QUuid> out;
        const int n = pick(4);
        for (int i = 0; i < n; ++i)
            out.append(anyId(plan));
        return out;
    }
    Place untouchedPlace()
    {
        return chance(50) ? Place::onDay(day("2030-06-03").adding(pick(7))) : Place::inMonth(MonthKey{2030, 1 + pick(12)});
    }
    QList<QUuid> unknownIds()
    {
        return {QUuid::createUuid(), QUuid::createUuid()};
    }

private:
    std::mt19937 rng_;
};

Planner startingPlan()
{
    Planner plan;
    for (int i = 0; i < 21; i += 2)
        plan.days[firstMonday.adding(i)] = made({QStringLiteral("d%1a").arg(i), QStringLiteral("d%1b").arg(i)});
    plan.lists = {{"eventually", made({"e1", "e2"})}, {"to read", made({"r1"})}, {"someday", {}}};
    plan.months[MonthKey{2024, 1}] = made({"jan"});
    plan.months[MonthKey{2024, 2}] = {};
    return plan;
}

} // namespace

TEST(PlannerInvariants, RandomOperationsKeepThePlanWhole)
{
    RandomRun run;
    Planner plan = startingPlan();
    ASSERT_EQ(shapeProblem(plan), "");

    for (int step = 0; step < steps; ++step) {
        const Planner before = plan;
        const QList<QUuid> beforeIdList = allIds(before);
        const QSet<QUuid> beforeIds(beforeIdList.cbegin(), beforeIdList.cend());
        QSet<QUuid> expected = beforeIds;  // what the ids must be afterwards
        bool mayGrowByRules = false;       // applyRepeats adds things of its own
        bool mustStayEqual = false;
        QString op;

        switch (run.pick(20)) {
        case 0: {
            op = "add title";
            const auto id = plan.add(run.chance(10) ? QStringLiteral(" \n") : QStringLiteral("t%1\nx").arg(step),
                                     run.anyPlace(plan), run.anyIndex());
            if (id)
                expected.insert(*id);
            break;
        }
        case 1: {
            op = "add thing";
            // Now and then a thing the plan already holds, which must be refused.
            const bool again = !beforeIdList.isEmpty() && run.chance(20);
            const Thing t = again ? *before.thing(beforeIdList[run.pick(int(beforeIdList.size()))])
                                  : Thing::make(QStringLiteral("n%1").arg(step));
            const auto id = plan.add(t, run.anyPlace(plan), run.anyIndex());
            if (again)
                mustStayEqual = true;
            else if (id)
                expected.insert(*id);
            break;
        }
        case 2: {
            op = "remove";
            if (const auto removed = plan.remove(run.anyId(plan)))
                expected.remove(removed->id);
            else
                mustStayEqual = true;
            break;
        }
        case 3:
            op = "toggle";
            plan.toggle(run.anyId(plan));
            break;
        case 4:
            op = "update";
            plan.update(run.anyId(plan), [&](Thing& t) { t.title += "'"; t.id = QUuid::createUuid(); });
            break;
        case 5:
        case 6:
        case 7:
            op = "move";
            plan.move(run.someIds(plan), run.anyPlace(plan), run.anyIndex());
            break;
        case 8:
            op = "move unknown";
            // Also to places nothing else touches, where a stray empty entry would show.
            plan.move(run.unknownIds(), run.chance(50) ? run.anyPlace(plan) : run.untouchedPlace(), run.anyIndex());
            mustStayEqual = true;
            break;
        case 9:
        case 10:
            op = "nudge";
            plan.nudge(run.someIds(plan), run.pick(5) - 2);
            break;
        case 11:
            op = "roll over";
            plan.rollOver(run.anyDay());
            break;
        case 12:
            op = "not this week";
            plan.notThisWeek(run.anyId(plan));
            break;
        case 13: {
            op = "push rest";
            const Day monday = run.anyDay().monday();
            QList<Day> week;
            for (int i = 0; i < 7; ++i)
                week.append(monday.adding(i));
            plan.pushRest(week, run.anyDay());
            break;
        }
        case 14:
            op = "add list";
            plan.addList(run.chance(50) ? std::nullopt : std::optional<QString>("Named\nList"));
            break;
        case 15: {
            op = "remove list";
            const int index = run.pick(int(plan.lists.size()) + 1);
            const std::optional<int> target = run.chance(50) ? std::nullopt : std::optional<int>(run.pick(7) - 1);
            const bool keeps = target && *target != index && *target >= 0 && *target < plan.lists.size();
            if (index >= 1 && index < plan.lists.size() && !keeps)
                expected -= idsOf(plan.lists[index].things);
            plan.removeList(index, target);
            break;
        }
        case 16: {
            op = "remove all lists";
            if (!run.chance(10))
                break;
            const bool keep = run.chance(50);
            if (!keep) {
                for (qsizetype i = 1; i < plan.lists.size(); ++i)
                    expected -= idsOf(plan.lists[i].things);
            }
            plan.removeAllLists(keep);
            break;
        }
        case 17:
            op = "rename list";
            plan.renameList(run.pick(int(plan.lists.size()) + 1), run.chance(20) ? " \n " : " New\r\nName ");
            break;
        case 18: {
            op = "set repeat";
            const int kind = run.pick(5);
            plan.setRepeat(run.anyId(plan), kind == 4 ? std::nullopt : std::optional<RepeatKind>(allRepeatKinds[kind]));
            break;
        }
        case 19: {
            op = "apply repeats";
            const Day monday = run.anyDay().monday();
            const Day today = run.anyDay();
            plan.applyRepeats(monday, today);
            mayGrowByRules = true;
            const Planner applied = plan;
            plan.applyRepeats(monday, today);
            ASSERT_EQ(plan, applied) << "seed " << seed << " step " << step << ": applying twice changed the plan";
            break;
        }
        }

        const auto failure = [&](const QString& what) {
            return QStringLiteral("seed %1 step %2 (%3): %4").arg(seed).arg(step).arg(op, what).toStdString();
        };
        const QString problem = shapeProblem(plan);
        ASSERT_TRUE(problem.isEmpty()) << failure(problem);
        if (mustStayEqual) {
            ASSERT_EQ(plan, before) << failure("an operation with nothing to do changed the plan");
        }

        const QList<QUuid> afterList = allIds(plan);
        QSet<QUuid> after(afterList.cbegin(), afterList.cend());
        if (mayGrowByRules) {
            ASSERT_TRUE(after.contains(expected)) << failure("a thing was lost");
            for (const QUuid& id : after - expected) {
                const auto made = plan.thing(id);
                ASSERT_TRUE(made->repeatID && !made->done && made->zs == 0) << failure("a rule made an odd thing");
            }
        } else {
            ASSERT_EQ(after, expected) << failure("things were lost or appeared");
        }
    }
}
