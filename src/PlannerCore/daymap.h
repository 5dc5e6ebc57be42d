#pragma once
// The things of each day, as a map from Day to its things in display order.
//
// The plan is copied whole for every undo entry, and every edit then changes one day
// of one copy. A flat QMap would detach all of its day nodes on that edit, so a
// hundred undo entries of a ten-year plan would cost nearly as much as the plan. Here
// the days are grouped by month and the months by year: an edit detaches the (short)
// map of years, the year's months and the one month it touches, and every other
// month stays shared with the snapshots.
//
// The interface is the part of QMap's the planner uses; iteration runs in day order.

#include "calendar.h"
#include "groupedmap.h"
#include "things.h"

#include <QList>
#include <QMap>

#include <iterator>
#include <type_traits>

// The groups of the plan's maps: a key's year.
inline int yearOfDay(const Day& day)
{
    return day.year;
}

inline int yearOfMonth(const MonthKey& month)
{
    return month.year;
}

inline MonthKey monthOfDay(const Day& day)
{
    return day.monthKey();
}

class DayMap
    : public GroupedMap<Day, QList<Thing>, MonthKey, monthOfDay,
                        GroupedMap<MonthKey, QMap<Day, QList<Thing>>, int, yearOfMonth>> {
public:
    using GroupedMap::GroupedMap;

    // The days whose things are not the same in `other`, either map holding them, in
    // order. Months the two still share are passed over whole.
    QList<Day> changedDays(const DayMap& other) const
    {
        QList<Day> out;
        forEachDifference(*this, other, [&](Day day) { out.append(day); });
        return out;
    }

    // Calls `f(day, things)` for every day, the latest first, until it returns true;
    // whether it did.
    template <class F>
    bool anyLatestFirst(F&& f) const
    {
        for (auto day = cend(); day != cbegin();) {
            --day;
            if (f(day.key(), day.value()))
                return true;
        }
        return false;
    }
};
