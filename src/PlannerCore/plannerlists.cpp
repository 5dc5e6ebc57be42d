// The undated lists and the repeat rules of the plan.
#include "planner.h"

#include "textutil.h"

#include <QSet>

#include <algorithm>

void Planner::ensureLists()
{
    if (lists.isEmpty())
        lists.append(EventuallyList{QStringLiteral("eventually"), {}});
}

bool Planner::addList(const std::optional<QString>& name)
{
    if (lists.size() >= listCap)
        return false;
    QString chosen;
    if (name) {
        // A list name is a heading line of the lists file.
        chosen = pemby::flattenLineBreaks(*name);
    } else {
        const auto taken = [&](const QString& candidate) {
            return std::any_of(lists.cbegin(), lists.cend(), [&](const EventuallyList& l) { return l.name == candidate; });
        };
        const QStringList& defaults = defaultListNames();
        const auto free = std::find_if_not(defaults.cbegin(), defaults.cend(), taken);
        chosen = free != defaults.cend() ? *free : QStringLiteral("list ") + QString::number(lists.size() + 1);
    }
    lists.append(EventuallyList{chosen, {}});
    return true;
}

void Planner::removeList(int index, std::optional<int> moveTo)
{
    if (index < 1 || index >= lists.size())
        return;
    if (moveTo && *moveTo != index && *moveTo >= 0 && *moveTo < lists.size())
        lists[*moveTo].things.append(lists[index].things);
    lists.removeAt(index);
}

void Planner::removeAllLists(bool keepThings)
{
    if (lists.isEmpty()) {
        ensureLists();
        return;
    }
    EventuallyList first = lists.first();
    if (keepThings) {
        for (qsizetype i = 1; i < lists.size(); ++i)
            first.things.append(lists[i].things);
    }
    lists = {first};
}

void Planner::renameList(int index, const QString& name)
{
    // Inner line breaks too: a pasted name must stay one heading of the lists file.
    const QString cleaned = pemby::flattenLineBreaks(pemby::trimWhitespace(name)).toLower();
    if (cleaned.isEmpty() || index < 0 || index >= lists.size())
        return;
    lists[index].name = cleaned;
}

// Six hexadecimal characters give a few million ids, so a clash is rare but not
// impossible; a reused id would adopt the things an ended rule made.
static QString freshRuleId(const Planner& plan)
{
    QSet<QString> used;
    for (const RepeatRule& r : plan.repeats)
        used.insert(r.id);
    plan.forEachThing([&](const Place&, int, const Thing& t) {
        if (t.repeatID)
            used.insert(*t.repeatID);
    });
    for (;;) {
        const QString id = pemby::newUuidLower().left(6);
        if (!used.contains(id))
            return id;
    }
}

void Planner::setRepeat(const QUuid& id, std::optional<RepeatKind> kind)
{
    const auto at = locate(id);
    if (!at || !at->place.isDay())
        return;
    const Thing current = things(at->place).at(at->index);
    if (current.repeatID) {
        const QString old = *current.repeatID;
        repeats.removeIf([&](const RepeatRule& r) { return r.id == old; });
    }
    if (!kind) {
        update(id, [](Thing& t) { t.repeatID.reset(); });
        return;
    }
    const QString ruleId = freshRuleId(*this);
    // The rule's title is one line of the repeats file.
    repeats.append(RepeatRule{ruleId, pemby::flattenLineBreaks(current.title), *kind, *at->place.day(), current.mark});
    update(id, [&](Thing& t) { t.repeatID = ruleId; });
}

void Planner::applyRepeats(Day monday, Day today)
{
    QSet<QString> applied = appliedRepeats.value(monday);
    // A week that is over is never filled, and not recorded either.
    const bool weekIsOver = monday.adding(6) < today;
    for (const RepeatRule& rule : repeats) {
        if (applied.contains(rule.id) || weekIsOver)
            continue;
        for (int i = 0; i < 7; ++i) {
            const Day d = monday.adding(i);
            if (d < today || !rule.occursOn(d))
                continue;
            const QList<Thing> existing = days.value(d);
            const bool made = std::any_of(existing.cbegin(), existing.cend(),
                                          [&](const Thing& t) { return t.repeatID == rule.id; });
            if (made)
                continue;
            Thing t = Thing::make(rule.title);
            t.mark = rule.mark;
            t.repeatID = rule.id;
            edit(Place::onDay(d), [&](QList<Thing>& things) { things.append(t); });
        }
        // Recorded even when no day occurred: a rule fills a week once.
        applied.insert(rule.id);
    }
    if (!applied.isEmpty() && applied != appliedRepeats.value(monday))
        appliedRepeats.insert(monday, applied);
}
