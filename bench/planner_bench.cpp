// How the plan value behaves at the size of a heavy user's year: the application
// model copies it before every change and compares the result, so a copy must cost a
// reference count and a comparison of two nearly equal plans must not walk every thing.
// Run on demand: build/<dir>/bench/planner_bench
#include "benchmark.h"
#include "planner.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

Planner bigPlan()
{
    Planner plan;
    const Day monday{2024, 1, 1};
    for (int d = 0; d < 52 * 7; ++d) {
        QList<Thing> things;
        for (int i = 0; i < 12; ++i) {
            Thing t = Thing::make(QStringLiteral("thing %1 of day %2").arg(i).arg(d));
            t.note = QStringLiteral("a note line\nand another");
            t.steps = {{"one", true}, {"two", false}};
            things.append(t);
        }
        plan.days.insert(monday.adding(d), things);
    }
    for (int l = 0; l < Planner::listCap; ++l) {
        QList<Thing> things;
        for (int i = 0; i < 60; ++i)
            things.append(Thing::make(QStringLiteral("list %1 thing %2").arg(l).arg(i)));
        plan.lists.append({QStringLiteral("list %1").arg(l), things});
    }
    for (int m = 1; m <= 12; ++m)
        plan.months.insert(MonthKey{2024, m}, {Thing::make("month thing")});
    return plan;
}

} // namespace

int main()
{
    Planner plan = bigPlan();
    const QUuid someId = plan.days.last().last().id;
    std::printf("plan: %lld days, %lld lists\n", (long long)plan.days.size(), (long long)plan.lists.size());

    measure("copy (an undo snapshot)", 100000, [&](int) {
        Planner copy = plan;
        (void)copy;
    });
    measure("copy and compare unchanged", 10000, [&](int) {
        const Planner copy = plan;
        if (!(copy == plan))
            std::abort();
    });
    measure("copy, toggle one thing, compare", 1000, [&](int) {
        Planner copy = plan;
        copy.toggle(someId);
        if (copy == plan)
            std::abort();
    });
    measure("locate the last thing", 1000, [&](int) {
        if (!plan.locate(someId))
            std::abort();
    });
    measure("search a common word", 100, [&](int) {
        if (plan.search("thing").isEmpty())
            std::abort();
    });
    // A word with an accent takes the way of every script: each text composed and
    // folded under the locale before it is looked into.
    measure("search a word with an accent", 100, [&](int) {
        if (!plan.search(QStringLiteral("caf\u00e9")).isEmpty())
            std::abort();
    });
    return 0;
}
