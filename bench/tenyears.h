#pragma once
// Ten years of heavy use of the planner, for the benchmarks: about 520 week files, 120
// month files and 50,000 things with steps, notes, marks and tags, always the same.
// Other spans of years scale the same way.

#include "plannerstore.h"
#include "textutil.h"

#include <QRandomGenerator>

#include <cstdio>

inline const QStringList words{"call", "buy", "milk", "fix", "the", "bike", "light", "send", "invoice", "book", "dentist",
                               "read", "paper", "water", "plants", "plan", "trip", "write", "letter", "clean", "desk"};

struct Shape {
    Day firstMonday;
    Day lastMonday;
    MonthKey firstMonth;
    int weeks = 520;
    int months = 120;

    // `years` (ten unless said) that end half a year after `today`.
    static Shape around(Day today, int years = 10)
    {
        Shape shape;
        shape.weeks = 52 * years;
        shape.months = 12 * years;
        shape.firstMonday = today.monday().adding(-7 * (shape.weeks - 26));
        shape.lastMonday = shape.firstMonday.adding(7 * (shape.weeks - 1));
        shape.firstMonth = today.monthKey().adding(-(shape.months - 6));
        return shape;
    }
};

inline QString title(QRandomGenerator& rng)
{
    QStringList picked;
    const int n = 2 + rng.bounded(4);
    for (int i = 0; i < n; ++i)
        picked.append(words[rng.bounded(int(words.size()))]);
    return picked.join(u' ');
}

inline Thing randomThing(QRandomGenerator& rng, const QStringList& ruleIds)
{
    Thing t = Thing::make(title(rng));
    t.done = rng.bounded(3) == 0;
    t.zs = rng.bounded(10) < 7 ? 0 : 1 + rng.bounded(5);
    if (rng.bounded(4) == 0)
        t.mark = allMarks[rng.bounded(3)];
    if (rng.bounded(3) == 0) {
        for (int s = 0, n = 1 + rng.bounded(3); s < n; ++s)
            t.steps.append(Step{title(rng), rng.bounded(2) == 0});
    }
    if (rng.bounded(5) == 0)
        t.note = title(rng) + u'\n' + title(rng);
    if (rng.bounded(12) == 0)
        t.repeatID = ruleIds[rng.bounded(int(ruleIds.size()))];
    if (rng.bounded(10) == 0)
        t.link = QStringLiteral("https://example.com/item/%1?from=mail").arg(rng.bounded(100000));
    if (rng.bounded(7) == 0)
        t.remind = TimeOfDay{int(rng.bounded(24)), int(rng.bounded(60))};
    if (rng.bounded(20) == 0)
        t.noteID = pemby::newUuidLower();
    t.syncID = pemby::newUuidUpper();
    return t;
}

inline Planner tenYears(const Shape& shape, qsizetype& things)
{
    QRandomGenerator rng(20240129);
    Planner plan;
    QStringList ruleIds;
    for (int r = 0; r < 10; ++r) {
        ruleIds.append(QStringLiteral("%1").arg(0xa00000 + r, 6, 16, QLatin1Char('0')));
        plan.repeats.append(RepeatRule{ruleIds.last(), title(rng), allRepeatKinds[r % 4], shape.firstMonday.adding(r), std::nullopt});
    }
    things = 0;
    for (int w = 0; w < shape.weeks; ++w) {
        const Day monday = shape.firstMonday.adding(7 * w);
        plan.appliedRepeats.insert(monday, QSet<QString>(ruleIds.begin(), ruleIds.begin() + 3));
        for (int d = 0; d < 7; ++d) {
            QList<Thing> day;
            for (int i = 0, n = 6 + rng.bounded(13); i < n; ++i)
                day.append(randomThing(rng, ruleIds));
            things += day.size();
            plan.days.insert(monday.adding(d), day);
        }
    }
    for (int m = 0; m < shape.months; ++m) {
        QList<Thing> month;
        for (int i = 0, n = 20 + rng.bounded(21); i < n; ++i)
            month.append(randomThing(rng, ruleIds));
        things += month.size();
        plan.months.insert(shape.firstMonth.adding(m), month);
    }
    for (const QString& name : Planner::defaultListNames()) {
        QList<Thing> list;
        for (int i = 0; i < 400; ++i)
            list.append(randomThing(rng, ruleIds));
        things += list.size();
        plan.lists.append(EventuallyList{name, list});
    }
    return plan;
}

inline qsizetype countThings(const Planner& plan)
{
    qsizetype n = 0;
    for (const auto& things : plan.days)
        n += things.size();
    for (const auto& things : plan.months)
        n += things.size();
    for (const auto& list : plan.lists)
        n += list.things.size();
    return n;
}

// Writes the ten years into `folder`; `things` says how many there are.
inline Status writeTenYears(const QString& folder, const Shape& shape, qsizetype& things)
{
    const Planner plan = tenYears(shape, things);
    PlannerStore writer(folder);
    Planner scratch;
    writer.loadBase(scratch);
    writer.loadWeeks(shape.firstMonday, shape.lastMonday, scratch);
    for (int m = 0; m < shape.months; ++m)
        writer.loadMonth(shape.firstMonth.adding(m), scratch);
    return writer.save(plan);
}

// The same, saying on standard error why it failed; false then.
inline bool writeTenYearsOrSay(const QString& folder, const Shape& shape, qsizetype& things)
{
    if (const Status s = writeTenYears(folder, shape, things); !s) {
        std::fprintf(stderr, "couldn't write the folder: %s\n", s.errorText().toUtf8().constData());
        return false;
    }
    return true;
}
