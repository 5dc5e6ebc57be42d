#pragma once
// The whole plan as one value. Copying a Planner shares its containers (Qt implicit
// sharing), so the undo stack's whole-plan snapshots cost a reference count each.

#include "daymap.h"
#include "things.h"

#include <QMap>
#include <QSet>
#include <QStringList>

#include <functional>
#include <type_traits>

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
    DayMap days;
    // Keyed by the Monday of a week: ids of the repeat rules already applied to it.
    // Grouped by year, as the months are, so that a week read in copies its year only.
    GroupedMap<Day, QSet<QString>, int, yearOfDay> appliedRepeats;
    QList<EventuallyList> lists;
    GroupedMap<MonthKey, QList<Thing>, int, yearOfMonth> months;
    QList<RepeatRule> repeats;

    bool operator==(const Planner&) const = default;

    static constexpr int listCap = 6;
    static constexpr int softCap = 6;
    static const QStringList& defaultListNames();

    // Queries. A missing thing gives nullopt or an empty result; nothing fails.
    // The things of a place in stored order; [] for an absent day or month and for a
    // list index out of range.
    QList<Thing> things(const Place& place) const;
    // Days first (the latest first), then the lists in order, then the months.
    std::optional<Location> locate(const QUuid& id) const;
    std::optional<Thing> thing(const QUuid& id) const;
    // The first thing whose sync id is exactly `syncID`: days, lists, months.
    std::optional<Thing> thingWithSyncID(const QString& syncID) const;
    // Things of the day that are not done.
    int openCount(Day day) const;
    // Things whose title, note or a step title holds the query (trimmed of blanks),
    // ignoring case: days latest first, then months latest first, then the lists.
    QList<SearchHit> search(const QString& query) const;
    // The kind of the first rule named by the thing's repeatID; nullopt without one.
    std::optional<RepeatKind> repeatKind(const Thing& thing) const;
    // Visits every thing in the plan's order (days, then the lists, then the months)
    // with its place and its index there. A visit that returns true ends the walk, and
    // so does the result.
    template <class Visit>
    bool forEachThing(Visit&& visit) const;
    // The places whose things are not those of `before`: the days and months either plan
    // holds, and the list indexes of either. What the two still share is passed over at
    // the cost of a pointer compare, so this follows the change, not the plan.
    QList<Place> changedPlaces(const Planner& before) const;

    // Editing. Operations that find nothing to do leave the plan equal to what it was.
    // Inserts the thing unchanged at `at` (appends when `at` is absent or out of range).
    // nullopt when nothing was added: a list index out of range, or an id the plan
    // already holds.
    std::optional<QUuid> add(const Thing& thing, const Place& place, std::optional<int> at = std::nullopt);
    // A new thing with the title trimmed and its inner line breaks made spaces;
    // nullopt for a blank title or a bad list index.
    std::optional<QUuid> add(const QString& title, const Place& place, std::optional<int> at = std::nullopt);
    // Runs `change` on the thing where it stands; the thing keeps its id.
    void update(const QUuid& id, const std::function<void(Thing&)>& change);
    std::optional<Thing> remove(const QUuid& id);
    void toggle(const QUuid& id);
    // Moves the things, in the order of the ids, to stand together just before the thing
    // that stood at `at` in `to` (at the end without `at`, or when it lies past the end
    // or is negative). Ids not found are skipped; a bad list index moves nothing.
    void move(const QUuid& id, const Place& to, std::optional<int> at = std::nullopt);
    void move(const QList<QUuid>& ids, const Place& to, std::optional<int> at = std::nullopt);
    // Swaps each thing with the one `offset` rows away inside its own place; the things
    // of one place stay put together when any of them would leave it.
    void nudge(const QUuid& id, int offset);
    void nudge(const QList<QUuid>& ids, int offset);
    // Carries the unfinished things without a repeat rule of the days before `to` to
    // the end of `to`, counting a move each; returns how many.
    int rollOver(Day to);
    // A thing on a day goes to the end of the same weekday next week, counting a move.
    void notThisWeek(const QUuid& id);
    // Does the same for every unfinished thing without a repeat rule on the days of
    // `week` from `from` on; returns how many.
    int pushRest(const QList<Day>& week, Day from);

    // Undated lists and repeat rules
    // One empty list "eventually" when there is none.
    void ensureLists();
    // Appends an empty list, named `name` or the first free default name; false at the cap.
    bool addList(const std::optional<QString>& name = std::nullopt);
    // Removes a list other than the first, its things appended to `moveTo` when that is
    // another valid list, else removed with it.
    void removeList(int index, std::optional<int> moveTo);
    // Keeps only the first list (made when missing), with or without the others' things.
    void removeAllLists(bool keepThings);
    // Trimmed, on one line and lower case; a blank name or a bad index changes nothing.
    void renameList(int index, const QString& name);
    // Gives a thing on a day a new rule of `kind` starting on its day (ending the rule it
    // carried), or none for nullopt.
    void setRepeat(const QUuid& id, std::optional<RepeatKind> kind);
    // Adds the things the rules make in the week of `monday` from `today` on, once per
    // rule and week.
    void applyRepeats(Day monday, Day today);

private:
    // Runs `change` on the things of one place, keeping the invariants: an emptied day
    // loses its entry, an emptied month keeps it, a list index out of range does nothing.
    void edit(const Place& place, const std::function<void(QList<Thing>&)>& change);
};

template <class Visit>
bool Planner::forEachThing(Visit&& visit) const
{
    const auto walk = [&](const Place& place, const QList<Thing>& things) {
        for (qsizetype i = 0; i < things.size(); ++i) {
            if constexpr (std::is_same_v<std::invoke_result_t<Visit&, const Place&, int, const Thing&>, bool>) {
                if (visit(place, int(i), things[i]))
                    return true;
            } else {
                visit(place, int(i), things[i]);
            }
        }
        return false;
    };
    for (auto it = days.cbegin(); it != days.cend(); ++it) {
        if (walk(Place::onDay(it.key()), *it))
            return true;
    }
    for (qsizetype l = 0; l < lists.size(); ++l) {
        if (walk(Place::inList(int(l)), lists[l].things))
            return true;
    }
    for (auto it = months.cbegin(); it != months.cend(); ++it) {
        if (walk(Place::inMonth(it.key()), *it))
            return true;
    }
    return false;
}
