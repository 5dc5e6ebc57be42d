// Publishing the planner's own things to the family store, and taking back what the
// sibling apps did to them: ticks, renames, notes and steps, and deletions.
#include "appmodel.h"
#include "shortcuttext.h"

#include "logcategories.h"
#include "pembysync.h"
#include "textutil.h"

#include <QHash>

namespace {

// The things of a place, to be changed where they stand: only that container detaches.
// The place must be one the plan holds.
QList<Thing>& thingsAt(Planner& plan, const Place& place)
{
    switch (place.kind()) {
    case Place::Kind::List:
        return plan.lists[place.listIndex()].things;
    case Place::Kind::Month:
        return plan.months[place.month()];
    case Place::Kind::Day:
        break;
    }
    return plan.days[*place.day()];
}

// Runs `change` on the things of `places` whose id is a key of `changes`. Only the
// containers that hold one are touched, so the copies of the plan on the undo stack
// keep sharing the rest.
template <class V>
bool changeThingsAt(Planner& plan, const QList<Place>& places, const QHash<QUuid, V>& changes,
                    const std::function<bool(Thing&, const V&)>& change)
{
    bool changed = false;
    for (const Place& place : places) {
        const QList<Thing> there = plan.things(place);
        if (std::none_of(there.cbegin(), there.cend(), [&](const Thing& t) { return changes.contains(t.id); }))
            continue;
        for (Thing& thing : thingsAt(plan, place)) {
            const auto it = changes.constFind(thing.id);
            if (it != changes.cend())
                changed = change(thing, *it) || changed;
        }
    }
    return changed;
}

// The same wherever the things are in the plan.
template <class V>
bool changeThings(Planner& plan, const QHash<QUuid, V>& changes, const std::function<bool(Thing&, const V&)>& change)
{
    if (changes.isEmpty())
        return false;
    QList<Place> places;
    plan.forEachThing([&](const Place& place, int, const Thing& thing) {
        if (changes.contains(thing.id) && (places.isEmpty() || places.last() != place))
            places.append(place);
    });
    return changeThingsAt(plan, places, changes, change);
}

bool giveSyncID(Thing& thing, const QString& id)
{
    if (thing.syncID == id)
        return false;
    thing.syncID = id;
    return true;
}

// What a sibling's edit of a row brings back to the thing: the done flag always, the
// rest only while no change of the planner's own waits to be published.
struct CopyBack {
    QString syncID;
    bool done = false;
    std::optional<QString> title;
    std::optional<std::pair<std::optional<QString>, QString>> note;  // note id, note text
    std::optional<QList<Step>> steps;

    bool applyTo(Thing& thing) const
    {
        bool changed = false;
        if (thing.done != done) {
            thing.done = done;
            changed = true;
        }
        if (title && thing.title != *title) {
            thing.title = *title;
            changed = true;
        }
        if (note && (thing.noteID != note->first || thing.note != note->second)) {
            thing.noteID = note->first;
            thing.note = note->second;
            changed = true;
        }
        if (steps && thing.steps != *steps) {
            thing.steps = *steps;
            changed = true;
        }
        return changed;
    }
};

CopyBack copyBack(const SharedThing& row, const Thing& thing, bool onlyDone)
{
    CopyBack copy;
    copy.syncID = row.id;
    copy.done = row.done;
    if (onlyDone)
        return copy;
    const QString title = pemby::trimWhitespace(row.title);
    if (!title.isEmpty() && title != thing.title)
        copy.title = title;
    if (row.noteID != thing.noteID || row.note != thing.note)
        copy.note = std::make_pair(row.noteID, row.note);
    QList<Step> steps;
    for (const SharedStep& step : row.steps)
        steps.append(Step{step.title, step.done});
    if (steps != thing.steps)
        copy.steps = steps;
    return copy;
}

// The first thing of each sync id, in the plan's order: a refresh looks up every row,
// and a scan per row would not do for a plan loaded whole.
QHash<QString, Thing> bySyncID(const Planner& plan)
{
    QHash<QString, Thing> index;
    plan.forEachThing([&](const Place&, int, const Thing& thing) {
        if (thing.syncID && !index.contains(*thing.syncID))
            index.insert(*thing.syncID, thing);
    });
    return index;
}

} // namespace

void AppModel::ensureSyncIDs()
{
    Planner next = planner_;
    if (ensureSyncIDs(next))
        setPlanner(std::move(next));
}

bool AppModel::ensureSyncIDs(Planner& plan, bool afterReading)
{
    // A thing without a sync id gets one. So does a thing whose id an earlier thing
    // already carries, or the two would share one row: that only comes from a file (a
    // line copied by hand), so it is looked for only after files were read. Every other
    // time only what changed since the last look can lack an id, and only that is
    // looked at: a commit must not cost a pass over a plan that may be loaded whole.
    QHash<QUuid, QString> given;
    QList<Place> places;
    const auto give = [&](const Place& place, const Thing& thing) {
        given.insert(thing.id, pemby::newUuidUpper());
        if (places.isEmpty() || places.last() != place)
            places.append(place);
    };
    if (afterReading) {
        QSet<QStringView> seen;  // views into the plan's own strings
        plan.forEachThing([&](const Place& place, int, const Thing& thing) {
            if (thing.syncID) {
                const qsizetype before = seen.size();
                seen.insert(*thing.syncID);
                if (seen.size() > before)
                    return;
            }
            give(place, thing);
        });
    } else {
        for (const Place& place : plan.changedPlaces(syncIDsChecked_)) {
            for (const Thing& thing : plan.things(place)) {
                if (!thing.syncID)
                    give(place, thing);
            }
        }
    }
    const bool changed = changeThingsAt<QString>(plan, places, given, giveSyncID);
    syncIDsChecked_ = plan;
    if (!changed)
        return false;
    // The same thing in an earlier plan gets the same id, so undo keeps its row. A thing
    // read from a file can stand anywhere there; one made since stands where it is now.
    patchSnapshots([&](Planner& snapshot) {
        if (afterReading)
            changeThings<QString>(snapshot, given, giveSyncID);
        else
            changeThingsAt<QString>(snapshot, places, given, giveSyncID);
    });
    return true;
}

SharedThing AppModel::shared(const Thing& thing, const std::optional<Day>& day) const
{
    SharedThing row;
    row.id = thing.syncID.value_or(thing.id.toString(QUuid::WithoutBraces).toUpper());
    row.title = thing.title;
    row.done = thing.done;
    if (day)
        row.day = day->iso();
    row.zs = thing.zs;
    for (const Step& step : thing.steps)
        row.steps.append(SharedStep{step.title, step.done});
    row.note = thing.note;
    row.noteID = thing.noteID;
    row.link = thing.link;
    row.sourceApp = plannerTag();
    row.updatedAt = double(now().toMSecsSinceEpoch()) / 1000.0;
    return row;
}

void AppModel::syncAll()
{
    const Transition transition(*this);
    syncPending_ = false;
    ensureSyncIDs();

    QList<SharedThing> rows;
    planner_.forEachThing(
        [&](const Place& place, int, const Thing& thing) { rows.append(shared(thing, place.day())); });

    QSet<QString> published;
    for (const SharedThing& row : rows) {
        published.insert(row.id);
        familyStore_.upsert(row);
    }
    // The store mirrors the loaded plan: a row of a thing deleted here, or of a week not
    // loaded now, goes, with no deleting app, so the planner never takes it for a
    // deletion made elsewhere.
    for (const SharedThing& row : familyStore_.allThings()) {
        if (row.sourceApp == plannerTag() && !published.contains(row.id))
            familyStore_.markDeleted(row.id, std::nullopt);
    }
    announce();
}

void AppModel::announce()
{
    // Without a bus nothing is sent, and no echo must be waited for.
    ownChangePending_ = true;
    if (!PembySync::post(bus_))
        ownChangePending_ = false;
}

void AppModel::familyChanged()
{
    if (std::exchange(ownChangePending_, false))
        return;
    refreshFromFamily();
}

void AppModel::refreshFromFamily()
{
    const Transition transition(*this);
    applyDeletesFromFamily();

    const QList<SharedThing> rows = familyStore_.allThings();
    QList<SharedThing> others;
    for (const SharedThing& row : rows) {
        if (row.sourceApp != plannerTag())
            others.append(row);
    }
    assign(familyThings_, others, &AppModel::familyThingsChanged);

    // A store that did not open says nothing about which things still exist.
    if (!familyStore_.openError()) {
        QSet<QString> present;
        for (const SharedThing& row : others)
            present.insert(row.id);
        QMap<QString, int> kept;
        for (auto it = externalSlots_.cbegin(); it != externalSlots_.cend(); ++it) {
            if (present.contains(it.key()))
                kept.insert(it.key(), *it);
        }
        if (kept.size() != externalSlots_.size())
            setExternalSlots(kept);
        if (selectedExternal_) {
            const QList<SharedThing> shown = todayFromOthers();
            if (std::none_of(shown.cbegin(), shown.cend(), [&](const SharedThing& t) { return t.id == *selectedExternal_; }))
                setSelectedExternal(std::nullopt);
        }
    }

    const QHash<QString, Thing> index = bySyncID(planner_);
    QHash<QUuid, CopyBack> copies;
    for (const SharedThing& row : rows) {
        if (row.sourceApp != plannerTag())
            continue;
        const auto thing = index.constFind(row.id);
        if (thing == index.cend())
            continue;
        CopyBack copy = copyBack(row, *thing, syncPending_);
        Thing changed = *thing;
        if (copy.applyTo(changed))
            copies.insert(thing->id, std::move(copy));
    }
    if (copies.isEmpty())
        return;
    Planner next = planner_;
    changeThings<CopyBack>(next, copies, [](Thing& thing, const CopyBack& copy) { return copy.applyTo(thing); });
    setPlanner(std::move(next));
    // A sibling's edit is no undo step: undo must not take it back and publish that.
    if (!undoStack_.isEmpty() || !redoStack_.isEmpty()) {
        QList<CopyBack> edits = copies.values();
        patchSnapshots([&](Planner& snapshot) {
            const QHash<QString, Thing> there = bySyncID(snapshot);
            QHash<QUuid, CopyBack> mine;
            for (const CopyBack& copy : edits) {
                if (const auto thing = there.constFind(copy.syncID); thing != there.cend())
                    mine.insert(thing->id, copy);
            }
            changeThings<CopyBack>(snapshot, mine, [](Thing& thing, const CopyBack& copy) { return copy.applyTo(thing); });
        });
    }
    save(false);
}

void AppModel::applyDeletesFromFamily()
{
    for (const QString& id : familyStore_.deletedByOthers(plannerTag())) {
        // Not loaded: left for a later refresh, when its week is.
        const auto thing = planner_.thingWithSyncID(id);
        if (!thing)
            continue;
        commit([&](Planner& plan) { plan.remove(thing->id); });
        setSelection(QSet<QUuid>(selection_).subtract({thing->id}));
        if (opened_ == thing->id)
            setOpened(std::nullopt);
        familyStore_.acknowledgeDelete(id);
        show(QStringLiteral("Deleted in Pemby Todo. ") + pemby::ifThatWasAMistake());
    }
}
