// The plan's read-only queries. Every lookup scans: a plan holds a few hundred things,
// and an index would have to be kept right across every copy on the undo stack.
#include "planner.h"

#include "textutil.h"

#include <algorithm>

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

std::optional<Location> Planner::locate(const QUuid& id) const
{
    std::optional<Location> found;
    forEachThing([&](const Place& place, int index, const Thing& t) {
        if (t.id != id)
            return false;
        found = Location{place, index};
        return true;
    });
    return found;
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

static bool matchesQuery(const Thing& t, const QString& query)
{
    if (pemby::containsIgnoringCase(t.title, query) || pemby::containsIgnoringCase(t.note, query))
        return true;
    return std::any_of(t.steps.cbegin(), t.steps.cend(),
                       [&](const Step& s) { return pemby::containsIgnoringCase(s.title, query); });
}

QList<SearchHit> Planner::search(const QString& query) const
{
    const QString q = pemby::trimBlanks(query);
    if (q.isEmpty())
        return {};
    QList<SearchHit> hits;
    // Latest first: what one searches for is usually what one planned recently.
    const QList<Day> dayKeys = days.keys();
    for (auto d = dayKeys.crbegin(); d != dayKeys.crend(); ++d) {
        for (const Thing& t : days.value(*d)) {
            if (matchesQuery(t, q))
                hits.append({Place::onDay(*d), t});
        }
    }
    for (auto it = months.cend(); it != months.cbegin();) {
        --it;
        for (const Thing& t : *it) {
            if (matchesQuery(t, q))
                hits.append({Place::inMonth(it.key()), t});
        }
    }
    for (qsizetype l = 0; l < lists.size(); ++l) {
        for (const Thing& t : lists[l].things) {
            if (matchesQuery(t, q))
                hits.append({Place::inList(int(l)), t});
        }
    }
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
