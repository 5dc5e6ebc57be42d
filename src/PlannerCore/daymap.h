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

class DayMap {
    using Month = QMap<Day, QList<Thing>>;
    using Months = GroupedMap<MonthKey, Month, int, yearOfMonth>;

    template <bool Const>
    class Iterator {
        using OuterIt = std::conditional_t<Const, Months::const_iterator, Months::iterator>;
        using InnerIt = std::conditional_t<Const, Month::const_iterator, Month::iterator>;

    public:
        using iterator_category = std::forward_iterator_tag;
        using difference_type = std::ptrdiff_t;
        using value_type = QList<Thing>;
        using reference = std::conditional_t<Const, const QList<Thing>&, QList<Thing>&>;
        using pointer = std::conditional_t<Const, const QList<Thing>*, QList<Thing>*>;

        Iterator() = default;
        // A mutable iterator converts to a const one, as QMap's does.
        template <bool C = Const, class = std::enable_if_t<C>>
        Iterator(const Iterator<false>& other) : outer_(other.outer_), end_(other.end_), inner_(other.inner_) {}

        const Day& key() const { return inner_.key(); }
        reference value() const { return inner_.value(); }
        reference operator*() const { return inner_.value(); }
        pointer operator->() const { return &inner_.value(); }

        Iterator& operator++()
        {
            if (++inner_ == monthEnd()) {
                ++outer_;
                enterMonth();
            }
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++*this;
            return before;
        }

        friend bool operator==(const Iterator& a, const Iterator& b)
        {
            return a.outer_ == b.outer_ && (a.outer_ == a.end_ || a.inner_ == b.inner_);
        }

    private:
        friend class DayMap;
        friend class Iterator<!Const>;

        Iterator(OuterIt outer, OuterIt end) : outer_(outer), end_(end) { enterMonth(); }
        Iterator(OuterIt outer, OuterIt end, InnerIt inner) : outer_(outer), end_(end), inner_(inner) {}

        InnerIt monthEnd() const
        {
            if constexpr (Const)
                return outer_.value().cend();
            else
                return outer_.value().end();
        }
        // Months are never empty, so the first day of the month is a real position.
        void enterMonth()
        {
            if (outer_ == end_)
                return;
            if constexpr (Const)
                inner_ = outer_.value().cbegin();
            else
                inner_ = outer_.value().begin();
        }

        OuterIt outer_{};
        OuterIt end_{};
        InnerIt inner_{};
    };

public:
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    bool operator==(const DayMap& other) const { return months_ == other.months_; }

    // The day's things, an entry made for it when it had none.
    QList<Thing>& operator[](Day day) { return months_[day.monthKey()][day]; }
    QList<Thing> value(Day day, const QList<Thing>& fallback = {}) const
    {
        const auto month = months_.constFind(day.monthKey());
        return month == months_.cend() ? fallback : month->value(day, fallback);
    }
    bool contains(Day day) const
    {
        const auto month = months_.constFind(day.monthKey());
        return month != months_.cend() && month->contains(day);
    }
    void insert(Day day, const QList<Thing>& things) { months_[day.monthKey()].insert(day, things); }
    // Removes the day's entry; the number of entries removed (0 or 1).
    qsizetype remove(Day day)
    {
        // A day not there detaches nothing: a week read in removes each of its empty days.
        if (!contains(day))
            return 0;
        const auto month = months_.find(day.monthKey());
        const qsizetype removed = month->remove(day);
        if (month->isEmpty())
            months_.erase(month);
        return removed;
    }
    // Removes the day's entry and gives its things (none when it had no entry).
    QList<Thing> take(Day day)
    {
        const auto month = months_.find(day.monthKey());
        if (month == months_.end())
            return {};
        QList<Thing> things = month->take(day);
        if (month->isEmpty())
            months_.erase(month);
        return things;
    }
    void clear() { months_.clear(); }

    bool isEmpty() const { return months_.isEmpty(); }
    qsizetype size() const
    {
        qsizetype n = 0;
        for (const Month& month : months_)
            n += month.size();
        return n;
    }
    QList<Day> keys() const
    {
        QList<Day> out;
        for (const Month& month : months_)
            out.append(month.keys());
        return out;
    }
    // The days whose things are not the same in `other`, either map holding them, in
    // order. Months the two still share are passed over whole.
    QList<Day> changedDays(const DayMap& other) const
    {
        QList<Day> out;
        forEachDifference(months_, other.months_, [&](MonthKey key) {
            forEachDifference(months_.value(key), other.months_.value(key), [&](Day day) { out.append(day); });
        });
        return out;
    }
    // The things of the latest day; the map must not be empty.
    const QList<Thing>& last() const { return months_.last().last(); }
    QList<Thing>& last() { return months_.last().last(); }

    // Calls `f(day, things)` for every day, the latest first, until it returns true;
    // whether it did.
    template <class F>
    bool anyLatestFirst(F&& f) const
    {
        for (auto month = months_.cend(); month != months_.cbegin();) {
            --month;
            for (auto day = month->cend(); day != month->cbegin();) {
                --day;
                if (f(day.key(), day.value()))
                    return true;
            }
        }
        return false;
    }

    const_iterator constFind(Day day) const
    {
        const auto month = months_.constFind(day.monthKey());
        if (month == months_.cend())
            return cend();
        const auto inner = month->constFind(day);
        return inner == month->cend() ? cend() : const_iterator(month, months_.cend(), inner);
    }
    iterator begin() { return iterator(months_.begin(), months_.end()); }
    iterator end() { return iterator(months_.end(), months_.end()); }
    const_iterator begin() const { return cbegin(); }
    const_iterator end() const { return cend(); }
    const_iterator cbegin() const { return const_iterator(months_.cbegin(), months_.cend()); }
    const_iterator cend() const { return const_iterator(months_.cend(), months_.cend()); }
    const_iterator constBegin() const { return cbegin(); }
    const_iterator constEnd() const { return cend(); }

private:
    // Every month held has at least one day entry, so equal plans hold equal months.
    Months months_;
};
