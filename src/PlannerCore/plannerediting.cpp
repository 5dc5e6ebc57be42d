// Editing operations on the plan's things. Each keeps the plan's invariants: an emptied
// day loses its entry, an emptied month and an emptied list keep theirs, and thing ids
// stay unique because things are moved, never copied.
#include "planner.h"

#include "textutil.h"

#include <QSet>

#include <algorithm>

// Callers pass distinct ids; a repeated one would be counted and taken out twice.
static QList<QUuid> distinct(const QList<QUuid>& ids)
{
    QList<QUuid> out;
    QSet<QUuid> seen;
    for (const QUuid& id : ids) {
        if (!seen.contains(id)) {
            seen.insert(id);
            out.append(id);
        }
    }
    return out;
}

static bool isValidList(const Place& place, qsizetype listCount)
{
    return !place.isList() || (place.listIndex() >= 0 && place.listIndex() < listCount);
}

void Planner::edit(const Place& place, const std::function<void(QList<Thing>&)>& change)
{
    switch (place.kind()) {
    case Place::Kind::Day: {
        const Day d = *place.day();
        // Take the array out rather than copy it, so an unshared plan edits in place.
        QList<Thing> things = days.take(d);
        change(things);
        if (!things.isEmpty())
            days.insert(d, std::move(things));
        return;
    }
    case Place::Kind::List: {
        const int i = place.listIndex();
        if (i < 0 || i >= lists.size())
            return;
        change(lists[i].things);
        return;
    }
    case Place::Kind::Month: {
        auto it = months.find(place.month());
        if (it != months.end()) {
            // A month keeps its entry when emptied: its file stays and says so.
            change(*it);
            return;
        }
        // An absent month gets an entry only when something arrives, or the plan would
        // differ by an empty entry after an operation that did nothing.
        QList<Thing> things;
        change(things);
        if (!things.isEmpty())
            months.insert(place.month(), std::move(things));
        return;
    }
    }
}

std::optional<QUuid> Planner::add(const Thing& thing, const Place& place, std::optional<int> at)
{
    if (!isValidList(place, lists.size()))
        return std::nullopt;
    // A second thing with an id the plan already holds could never be found, moved or
    // removed on its own.
    if (locate(thing.id))
        return std::nullopt;
    edit(place, [&](QList<Thing>& things) {
        if (at && *at >= 0 && *at < things.size())
            things.insert(*at, thing);
        else
            things.append(thing);
    });
    return thing.id;
}

std::optional<QUuid> Planner::add(const QString& title, const Place& place, std::optional<int> at)
{
    // A title is one line of its file: a pasted line break must not start another thing.
    const QString trimmed = pemby::titleText(title);
    if (trimmed.isEmpty())
        return std::nullopt;
    return add(Thing::make(trimmed), place, at);
}

void Planner::update(const QUuid& id, const std::function<void(Thing&)>& change)
{
    const auto at = locate(id);
    if (!at)
        return;
    edit(at->place, [&](QList<Thing>& things) {
        Thing& t = things[at->index];
        change(t);
        t.id = id;  // the id is the thing's identity; a change never gets to reuse another's
    });
}

std::optional<Thing> Planner::remove(const QUuid& id)
{
    const auto at = locate(id);
    if (!at)
        return std::nullopt;
    Thing removed;
    edit(at->place, [&](QList<Thing>& things) { removed = things.takeAt(at->index); });
    return removed;
}

void Planner::toggle(const QUuid& id)
{
    update(id, [](Thing& t) { t.done = !t.done; });
}

void Planner::move(const QUuid& id, const Place& to, std::optional<int> at)
{
    move(QList<QUuid>{id}, to, at);
}

void Planner::move(const QList<QUuid>& requested, const Place& to, std::optional<int> at)
{
    const QList<QUuid> ids = distinct(requested);
    if (ids.isEmpty() || !isValidList(to, lists.size()))
        return;
    if (at && *at < 0)
        at.reset();
    if (at) {
        // Aim at the thing that stood at `at`, in the place as it is once the moved
        // things are out of it.
        int before = 0;
        for (const QUuid& id : ids) {
            const auto loc = locate(id);
            if (loc && loc->place == to && loc->index < *at)
                ++before;
        }
        *at -= before;
    }
    QList<Thing> moving;
    for (const QUuid& id : ids) {
        const auto loc = locate(id);
        if (!loc)
            continue;
        edit(loc->place, [&](QList<Thing>& things) { moving.append(things.takeAt(loc->index)); });
    }
    // Nothing found: touching the target would create an empty day entry.
    if (moving.isEmpty())
        return;
    edit(to, [&](QList<Thing>& things) {
        for (qsizetype j = 0; j < moving.size(); ++j) {
            const qsizetype i = at ? *at + j : -1;
            if (at && i < things.size())
                things.insert(i, std::move(moving[j]));
            else
                things.append(std::move(moving[j]));
        }
    });
}

void Planner::nudge(const QUuid& id, int offset)
{
    nudge(QList<QUuid>{id}, offset);
}

void Planner::nudge(const QList<QUuid>& requested, int offset)
{
    if (offset == 0)
        return;
    QList<std::pair<Place, QList<int>>> groups;
    for (const QUuid& id : distinct(requested)) {
        const auto loc = locate(id);
        if (!loc)
            continue;
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == loc->place; });
        if (group == groups.end())
            groups.append({loc->place, {loc->index}});
        else
            group->second.append(loc->index);
    }
    for (auto& group : groups) {
        // Named, not bound: a lambda below captures them.
        const Place& place = group.first;
        QList<int>& indexes = group.second;
        const qsizetype n = things(place).size();
        // A group that would leave its place stays whole rather than break apart.
        const bool fits = std::all_of(indexes.cbegin(), indexes.cend(),
                                      [&](int i) { return i + offset >= 0 && i + offset < n; });
        if (!fits)
            continue;
        // Swap the leading row first, so a block of rows travels together in its order.
        if (offset < 0)
            std::sort(indexes.begin(), indexes.end());
        else
            std::sort(indexes.begin(), indexes.end(), std::greater<>());
        // Named again for the lambda: clang before 16 cannot capture a structured binding.
        edit(place, [&, &rows = indexes](QList<Thing>& things) {
            for (const int i : rows)
                things.swapItemsAt(i, i + offset);
        });
    }
}

int Planner::rollOver(Day to)
{
    QList<Day> past;
    for (auto it = days.cbegin(); it != days.cend() && it.key() < to; ++it) {
        if (std::any_of(it->cbegin(), it->cend(), [](const Thing& t) { return t.isCarriable(); }))
            past.append(it.key());
    }
    QList<Thing> carried;
    for (const Day d : past) {
        edit(Place::onDay(d), [&](QList<Thing>& things) {
            QList<Thing> staying;
            for (Thing& t : things)
                (t.isCarriable() ? carried : staying).append(std::move(t));
            things = std::move(staying);
        });
    }
    if (carried.isEmpty())
        return 0;
    for (Thing& t : carried)
        t.countMove();
    const int count = int(carried.size());
    edit(Place::onDay(to), [&](QList<Thing>& things) { things.append(std::move(carried)); });
    return count;
}

void Planner::notThisWeek(const QUuid& id)
{
    const auto at = locate(id);
    if (!at || !at->place.isDay())
        return;
    update(id, [](Thing& t) { t.countMove(); });
    move(id, Place::onDay(at->place.day()->adding(7)));
}

int Planner::pushRest(const QList<Day>& week, Day from)
{
    // Choose every thing before moving any, so a thing that lands on a later day of
    // `week` is not pushed a second time.
    QList<QUuid> pushing;
    QSet<Day> seen;
    for (const Day d : week) {
        if (d < from || seen.contains(d))
            continue;
        seen.insert(d);
        for (const Thing& t : days.value(d)) {
            if (t.isCarriable())
                pushing.append(t.id);
        }
    }
    for (const QUuid& id : pushing) {
        const auto at = locate(id);
        if (!at || !at->place.isDay())
            continue;
        update(id, [](Thing& t) { t.countMove(); });
        move(id, Place::onDay(at->place.day()->adding(7)));
    }
    return int(pushing.size());
}
