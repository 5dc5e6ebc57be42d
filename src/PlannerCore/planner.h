#pragma once
// The whole plan as one value. Copying a Planner shares its containers (Qt implicit
// sharing), so the undo stack's whole-plan snapshots cost a reference count each.

#include "things.h"

#include <QMap>
#include <QSet>
#include <QStringList>

#include <functional>

struct Location {
    Place place;
    int index = 0;
    bool operator==(const Location&) const = default;
};

struct SearchHit {
    Place place;
    Thing thing;
    bool operator==(const SearchHit&) const = default;
};

struct Planner {
    // Days with no things have no entry; months keep theirs when emptied.
    QMap<Day, QList<Thing>> days;
    // Keyed by the Monday of a week: ids of the repeat rules already applied to it.
    QMap<Day, QSet<QString>> appliedRepeats;
    QList<EventuallyList> lists;
    QMap<MonthKey, QList<Thing>> months;
    QList<RepeatRule> repeats;

    bool operator==(const Planner&) const = default;

    static constexpr int listCap = 6;
    static constexpr int softCap = 6;
    static const QStringList& defaultListNames();

    // Queries
    QList<Thing> things(const Place& place) const;
    std::optional<Location> locate(const QUuid& id) const;
    std::optional<Thing> thing(const QUuid& id) const;
    std::optional<Thing> thingWithSyncID(const QString& syncID) const;
    int openCount(Day day) const;
    QList<SearchHit> search(const QString& query) const;
    std::optional<RepeatKind> repeatKind(const Thing& thing) const;

    // Editing
    // Inserts the thing unchanged at `at` (appends when out of range or absent); nullopt
    // when nothing was added (a list index out of range).
    std::optional<QUuid> add(const Thing& thing, const Place& place, std::optional<int> at = std::nullopt);
    // A new thing with the trimmed title; nullopt for a blank title or a bad list index.
    std::optional<QUuid> add(const QString& title, const Place& place, std::optional<int> at = std::nullopt);
    void update(const QUuid& id, const std::function<void(Thing&)>& change);
    std::optional<Thing> remove(const QUuid& id);
    void toggle(const QUuid& id);
    void move(const QUuid& id, const Place& to, std::optional<int> at = std::nullopt);
    void move(const QList<QUuid>& ids, const Place& to, std::optional<int> at = std::nullopt);
    void nudge(const QUuid& id, int offset);
    void nudge(const QList<QUuid>& ids, int offset);
    int rollOver(Day to);
    void notThisWeek(const QUuid& id);
    int pushRest(const QList<Day>& days, Day from);

    // Undated lists and repeat rules
    void ensureLists();
    bool addList(const std::optional<QString>& name = std::nullopt);
    void removeList(int index, std::optional<int> moveTo);
    void removeAllLists(bool keepThings);
    void renameList(int index, const QString& name);
    void setRepeat(const QUuid& id, std::optional<RepeatKind> kind);
    void applyRepeats(Day monday, Day today);

private:
    // Runs `change` on the things of one place, keeping the invariants: an emptied day
    // loses its entry, an emptied month keeps it, a list index out of range does nothing.
    void edit(const Place& place, const std::function<void(QList<Thing>&)>& change);
};
