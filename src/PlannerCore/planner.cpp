// The plan's read-only queries. Every lookup scans (an index would have to be kept right
// across every copy on the undo stack), the latest days first.
#include "planner.h"

#include "textutil.h"

#include <algorithm>
#include <vector>

const QStringList& Planner::defaultListNames()
{
    static const QStringList names{
        QStringLiteral("eventually"), QStringLiteral("to read"), QStringLiteral("someday"),
        QStringLiteral("maybe"),      QStringLiteral("one day"), QStringLiteral("whenever"),
    };
    return names;
}

QList<Thing> Planner::things(const Place& place) const
{
    switch (place.kind()) {
    case Place::Kind::Day:
        return days.value(*place.day());
    case Place::Kind::List: {
        const int i = place.listIndex();
        return i >= 0 && i < lists.size() ? lists[i].things : QList<Thing>{};
    }
    case Place::Kind::Month:
        return months.value(place.month());
    }
    return {};
}

static std::optional<int> indexOf(const QList<Thing>& things, const QUuid& id)
{
    for (qsizetype i = 0; i < things.size(); ++i) {
        if (things[i].id == id)
            return int(i);
    }
    return std::nullopt;
}

std::optional<Location> Planner::locate(const QUuid& id) const
{
    // Latest first: the things one edits are nearly always those of the last weeks,
    // and a plan of years must not be walked from its first day for each edit.
    std::optional<Location> found;
    if (days.anyLatestFirst([&](Day day, const QList<Thing>& things) {
            if (const auto i = indexOf(things, id))
                found = Location{Place::onDay(day), *i};
            return found.has_value();
        }))
        return found;
    for (qsizetype l = 0; l < lists.size(); ++l) {
        if (const auto i = indexOf(lists[l].things, id))
            return Location{Place::inList(int(l)), *i};
    }
    for (auto it = months.cbegin(); it != months.cend(); ++it) {
        if (const auto i = indexOf(*it, id))
            return Location{Place::inMonth(it.key()), *i};
    }
    return std::nullopt;
}

std::optional<Thing> Planner::thing(const QUuid& id) const
{
    const auto at = locate(id);
    if (!at)
        return std::nullopt;
    return things(at->place).at(at->index);
}

std::optional<Thing> Planner::thingWithSyncID(const QString& syncID) const
{
    std::optional<Thing> found;
    forEachThing([&](const Place&, int, const Thing& t) {
        if (!t.syncID || *t.syncID != syncID)
            return false;
        found = t;
        return true;
    });
    return found;
}

QList<Place> Planner::changedPlaces(const Planner& before) const
{
    QList<Place> places;
    for (const Day day : days.changedDays(before.days))
        places.append(Place::onDay(day));
    for (qsizetype l = 0, n = std::max(lists.size(), before.lists.size()); l < n; ++l) {
        if (l >= lists.size() || l >= before.lists.size() || !(lists[l].things == before.lists[l].things))
            places.append(Place::inList(int(l)));
    }
    forEachDifference(months, before.months, [&](MonthKey month) { places.append(Place::inMonth(month)); });
    return places;
}

int Planner::openCount(Day day) const
{
    const auto it = days.constFind(day);
    if (it == days.cend())
        return 0;
    return int(std::count_if(it->cbegin(), it->cend(), [](const Thing& t) { return !t.done; }));
}

static bool matchesQuery(const Thing& t, const pemby::CaselessNeedle& query)
{
    if (query.isIn(t.title) || query.isIn(t.note))
        return true;
    return std::any_of(t.steps.cbegin(), t.steps.cend(), [&](const Step& s) { return query.isIn(s.title); });
}

QList<SearchHit> Planner::search(const QString& query) const
{
    const QString trimmed = pemby::trimBlanks(query);
    if (trimmed.isEmpty())
        return {};
    const pemby::CaselessNeedle q(trimmed);
    // The scan only notes where the hits are; each hit's thing is copied once, into a
    // result of the right size, so the cost stays that of the scan at any plan size.
    struct Found {
        Place place;
        const Thing* thing;
    };
    std::vector<Found> found;
    const auto scan = [&](const Place& place, const QList<Thing>& things) {
        for (const Thing& t : things) {
            if (matchesQuery(t, q))
                found.push_back({place, &t});
        }
    };
    // Latest first: what one searches for is usually what one planned recently.
    days.anyLatestFirst([&](Day day, const QList<Thing>& things) {
        scan(Place::onDay(day), things);
        return false;
    });
    for (auto it = months.cend(); it != months.cbegin();) {
        --it;
        scan(Place::inMonth(it.key()), *it);
    }
    for (qsizetype l = 0; l < lists.size(); ++l)
        scan(Place::inList(int(l)), lists[l].things);

    QList<SearchHit> hits;
    hits.reserve(qsizetype(found.size()));
    for (const Found& f : found)
        hits.append(SearchHit{f.place, *f.thing});
    return hits;
}

std::optional<RepeatKind> Planner::repeatKind(const Thing& thing) const
{
    if (!thing.repeatID)
        return std::nullopt;
    for (const RepeatRule& rule : repeats) {
        if (rule.id == *thing.repeatID)
            return rule.kind;
    }
    return std::nullopt;
}
