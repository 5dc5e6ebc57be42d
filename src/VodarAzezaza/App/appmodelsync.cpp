// Publishing the planner's own things to the family store, and taking back what the
// sibling apps did to them: ticks, renames, notes and steps, and deletions.
#include "appmodel.h"

#include "appmodelstate.h"
#include "appmodelsyncstate.h"
#include "familystore.h"
#include "familysync.h"
#include "logcategories.h"
#include "pembysync.h"
#include "remindercenter.h"
#include "shortcuttext.h"
#include "textutil.h"

#include <QHash>
#include <QSettings>
#include <QTimer>

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

// What the plan takes of a row the store changed: the fields of the merge, onto the
// own thing with that sync id.
struct CopyBack {
    QString syncID;
    FamilySync::Take take;
    // What is taken back reads otherwise than the row (a title made one line): the
    // row gets it as the plan has it, or the next start would publish it as new.
    bool reworded = false;

    bool applyTo(Thing& thing) const
    {
        bool changed = false;
        if (take.done && thing.done != *take.done) {
            thing.done = *take.done;
            changed = true;
        }
        if (take.title && thing.title != *take.title) {
            thing.title = *take.title;
            changed = true;
        }
        if (take.note && (thing.noteID != take.note->first || thing.note != take.note->second)) {
            thing.noteID = take.note->first;
            thing.note = take.note->second;
            changed = true;
        }
        if (take.steps) {
            QList<Step> steps;
            for (const SharedStep& step : *take.steps)
                steps.append(Step{step.title, step.done});
            if (thing.steps != steps) {
                thing.steps = steps;
                changed = true;
            }
        }
        return changed;
    }
};

// A sibling may keep line breaks in a title or a step; the plan holds them on one line,
// as its file does.
CopyBack oneLineCopy(const QString& syncID, const SharedThing& row, FamilySync::Take take)
{
    CopyBack copy{syncID, std::move(take), false};
    if (copy.take.title) {
        const QString title = pemby::titleText(*copy.take.title);
        if (title.isEmpty())
            copy.take.title.reset();
        else
            copy.take.title = title;
    }
    if (copy.take.steps) {
        for (SharedStep& step : *copy.take.steps)
            step.title = pemby::oneLineText(step.title);
    }
    const auto stepsAsRow = [&] {
        return std::equal(copy.take.steps->cbegin(), copy.take.steps->cend(), row.steps.cbegin(), row.steps.cend(),
                          [](const SharedStep& a, const SharedStep& b) { return a.title == b.title; });
    };
    copy.reworded = (copy.take.title && *copy.take.title != row.title) || (copy.take.steps && !stepsAsRow());
    return copy;
}

// The first thing of each sync id, in the plan's order: a refresh looks up every row,
// and a scan per row would not do for a plan loaded whole. With `wanted`, only those.
using Found = AppModel::OwnThing;
QHash<QString, Found> bySyncID(const Planner& plan, const QSet<QString>* wanted = nullptr)
{
    QHash<QString, Found> index;
    plan.forEachThing([&](const Place& place, int, const Thing& thing) {
        if (thing.syncID && (!wanted || wanted->contains(*thing.syncID)) && !index.contains(*thing.syncID))
            index.insert(*thing.syncID, Found{place, thing});
    });
    return index;
}

// The fields of an own thing that the merge looks at.
FamilyStore::Agreed agreedOf(const Thing& thing, const Place& place)
{
    FamilyStore::Agreed agreed;
    agreed.title = thing.title;
    agreed.done = thing.done;
    if (const auto day = place.day())
        agreed.day = day->iso();
    for (const Step& step : thing.steps)
        agreed.steps.append(SharedStep{step.title, step.done});
    agreed.note = thing.note;
    agreed.noteID = thing.noteID;
    return agreed;
}

} // namespace

void AppModel::ensureSyncIDs()
{
    Planner next = d_->planner;
    if (ensureSyncIDs(next))
        setPlanner(std::move(next));
}

bool AppModel::ensureSyncIDs(Planner& plan, bool afterReading)
{
    // A thing without a sync id gets one. So does a thing whose id another thing
    // already carries, or the two would share one row: that only comes from a file (a
    // line copied by hand), so it is looked for only after files were read, and the
    // thing already known keeps its id. Either way only what changed since the last
    // look is looked at, against the counts of every id the plan carried then: a
    // commit or a file read must not cost a pass over a plan that may be loaded whole.
    // A changed place mostly holds the things it held, with the ids they had: those
    // stay counted, and only the ids that came or went touch the counts.
    const QList<Place> changedPlaces = plan.changedPlaces(sync_->syncIDsChecked);
    QList<QList<Thing>> changedThings;
    changedThings.reserve(changedPlaces.size());
    QList<QList<qsizetype>> fresh;  // the positions in each place whose id is not the one counted there
    fresh.reserve(changedPlaces.size());
    for (const Place& place : changedPlaces) {
        const QList<Thing> before = sync_->syncIDsChecked.things(place);
        const QList<Thing> now = plan.things(place);
        QList<qsizetype> positions;
        for (qsizetype i = 0; i < std::max(before.size(), now.size()); ++i) {
            const bool same = i < before.size() && i < now.size() && before[i].syncID && before[i].syncID == now[i].syncID;
            if (same)
                continue;
            if (i < now.size())
                positions.append(i);
            if (i >= before.size() || !before[i].syncID)
                continue;
            const auto it = sync_->syncIDCounts.find(*before[i].syncID);
            if (it != sync_->syncIDCounts.end() && --*it <= 0)
                sync_->syncIDCounts.erase(it);
        }
        changedThings.append(now);
        fresh.append(positions);
    }
    QHash<QUuid, QString> given;
    QList<Place> places;
    for (qsizetype p = 0; p < changedPlaces.size(); ++p) {
        const Place& place = changedPlaces[p];
        for (const qsizetype i : std::as_const(fresh[p])) {
            const Thing& thing = changedThings[p][i];
            if (thing.syncID) {
                int& count = sync_->syncIDCounts[*thing.syncID];
                if (count++ == 0 || !afterReading)
                    continue;
                --count;
            }
            const QString id = pemby::newUuidUpper();
            ++sync_->syncIDCounts[id];
            given.insert(thing.id, id);
            if (places.isEmpty() || places.last() != place)
                places.append(place);
        }
    }
    const bool changed = changeThingsAt<QString>(plan, places, given, giveSyncID);
    sync_->syncIDsChecked = plan;
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

// Publishes every own thing of the loaded plan, marks the rows it no longer
// publishes deleted, and posts the change notification. Nothing another app changed
// since the base is written over: that comes into the plan first.
void AppModel::syncAll()
{
    const Transition transition(*this);
    d_->syncPending = false;
    // A plan the files refused (another planner wrote them meanwhile) is not published:
    // its rows would take the other planner's away. It is once a save goes through.
    if (d_->saveError && d_->saveError != d_->externalError) {
        sync_->publishAfterSave = true;
        return;
    }
    // A row another app changed since the base is not written over: its change is taken
    // into the plan first and the plan published again. Twice at most in one go: a row
    // that keeps changing is published at the next sync.
    for (int round = 0;; ++round) {
        if (!publishOnce() || round == 2)
            break;
    }
    noteFamilyState();
}

// One publication; true when rows were held back and the plan took their changes
// in, so it is to be published again.
bool AppModel::publishOnce()
{
    ensureSyncIDs();

    // The store mirrors the loaded plan: a row of a thing deleted here, or of a week not
    // loaded now, goes, with no deleting app, so the planner never takes it for a
    // deletion made elsewhere. Once another app has kept its lock past one wait, the
    // tries that follow do not wait at all.
    const double stamp = double(now().toMSecsSinceEpoch()) / 1000.0;
    const FamilyStore::Publication published = sync_->familySync->publish(
        d_->planner, stamp, d_->familyLockHeld ? std::optional(std::chrono::milliseconds(0)) : std::nullopt);
    if (published.answer.busy && !d_->familyLockHeld)
        qCInfo(lcSync) << "another app holds the family store; publishing again shortly";
    // The footnote says the sync waits, and says so no more once it went through.
    assign(d_->familyLockHeld, published.answer.busy, &AppModel::syncErrorChanged);
    if (published.answer.busy) {
        // The rows still wait to be published; the lock usually goes soon.
        d_->syncPending = true;
        d_->syncTimer.start();
        return false;
    }
    if (published.answer.isFailed())
        return false;
    if (published.heldBack.isEmpty()) {
        announce();
        return false;
    }
    // What the store changed comes into the plan; then the plan goes out again.
    sync_->tookFromFamily = false;
    refreshFromFamily();
    keepDeletedHereChangedThere(published.heldBack);
    if (!sync_->tookFromFamily) {
        announce();
        return false;
    }
    return true;
}

// Rows held back that are gone from the plan but changed elsewhere come back.
void AppModel::keepDeletedHereChangedThere(const QStringList& heldBack)
{
    // A row that is gone from the plan but that another app changed since: deleted here
    // and edited there, it is kept, back where the row says. A row of a week not loaded
    // now simply waits in the store until that week is.
    const Result<QList<SharedThing>> rows = familyStore_.things(heldBack);
    if (!rows)
        return;
    Planner next = d_->planner;
    bool added = false;
    for (const SharedThing& row : *rows) {
        if (row.sourceApp != plannerTag() || next.thingWithSyncID(row.id))
            continue;
        std::optional<Place> place;
        if (row.day) {
            const auto day = Day::fromIso(*row.day);
            if (!day || !store_.loadedWeeks().contains(day->monday()))
                continue;
            place = Place::onDay(*day);
        } else if (!next.lists.isEmpty()) {
            place = Place::inList(0);
        } else {
            continue;
        }
        Thing thing;
        thing.id = QUuid::createUuid();
        thing.title = pemby::trimWhitespace(row.title).isEmpty() ? row.title : pemby::trimWhitespace(row.title);
        thing.done = row.done;
        thing.zs = int(row.zs);
        for (const SharedStep& step : row.steps)
            thing.steps.append(Step{step.title, step.done});
        thing.note = row.note;
        thing.noteID = row.noteID;
        thing.link = row.link;
        thing.syncID = row.id;
        next.add(thing, *place);
        added = true;
    }
    if (!added)
        return;
    sync_->tookFromFamily = true;
    setPlanner(std::move(next));
    save(false);
}

// The own things of these sync ids, where they stand.
QHash<QString, AppModel::OwnThing> AppModel::ownThings(const QSet<QString>& wanted)
{
    // Where each sync id stands, kept up to date with the places that changed since it
    // was last looked at: a refresh after one sibling change looks at that one thing,
    // not at every thing of a plan that may be loaded whole.
    if (!sync_->syncIndexValid) {
        sync_->syncIndex.clear();
        d_->planner.forEachThing([&](const Place& place, int, const Thing& thing) {
            if (thing.syncID && !sync_->syncIndex.contains(*thing.syncID))
                sync_->syncIndex.insert(*thing.syncID, place);
        });
        sync_->syncIndexValid = true;
    } else {
        for (const Place& place : d_->planner.changedPlaces(sync_->syncIndexed)) {
            for (const Thing& thing : d_->planner.things(place)) {
                if (thing.syncID)
                    sync_->syncIndex.insert(*thing.syncID, place);
            }
        }
    }
    sync_->syncIndexed = d_->planner;
    QHash<QString, OwnThing> found;
    bool stale = false;
    for (const QString& id : wanted) {
        const auto place = sync_->syncIndex.constFind(id);
        if (place == sync_->syncIndex.cend())
            continue;
        const QList<Thing> there = d_->planner.things(*place);
        const auto thing = std::find_if(there.cbegin(), there.cend(), [&](const Thing& t) { return t.syncID == id; });
        if (thing == there.cend()) {
            stale = true;  // moved or gone since: look everywhere
            break;
        }
        found.insert(id, OwnThing{*place, *thing});
    }
    if (!stale)
        return found;
    sync_->syncIndexValid = false;
    return bySyncID(d_->planner, &wanted);
}

// Posts the change notification, whose echo is then skipped once.
void AppModel::announce()
{
    // Without a bus nothing is sent, and no echo must be waited for.
    d_->ownChangePending = true;
    if (!PembySync::post(bus_))
        d_->ownChangePending = false;
}

// The change notification arrived.
void AppModel::familyChanged()
{
    if (std::exchange(d_->ownChangePending, false))
        return;
    // A burst of notifications is one refresh: the first starts a short wait, and what
    // arrives meanwhile is read by the same refresh. A steady stream reads once a wait.
    if (!d_->familyRefreshTimer.isActive())
        d_->familyRefreshTimer.start();
}

void AppModel::refreshFromFamily()
{
    refreshFromFamily(false);
}

void AppModel::refreshFromFamily(bool)
{
    const Transition transition(*this);
    const Result<FamilyStore::Changes> read = sync_->familySync->readChanges();
    // Deletions made elsewhere are looked for when a row went, after a whole read, and
    // when more weeks are loaded (a deletion waits for its thing's week): asking every
    // time would read every row of the store.
    const bool rowWent = read && std::any_of(read->rows.cbegin(), read->rows.cend(), [](const FamilyStore::Change& c) {
        return !c.live;
    });
    if (!read || read->whole || rowWent || store_.loadedWeeks().size() != sync_->deletionsCheckedWeeks) {
        sync_->deletionsCheckedWeeks = store_.loadedWeeks().size();
        applyDeletesFromFamily();
    }
    noteFamilyState();
    // A read that failed says nothing about what is there: the rows, their slots and
    // the selection stay as the last good read left them.
    if (!read)
        return;
    ++d_->familyRefreshes;

    // The other apps' rows: all of them after a whole read, else the last ones with
    // what changed since.
    QList<SharedThing> others;
    QHash<QString, SharedThing> planned;
    if (read->whole) {
        for (const FamilyStore::Change& change : read->rows) {
            if (change.live && change.row.sourceApp != plannerTag())
                others.append(change.row);
        }
    } else {
        // Only rows of other apps can be among them; the planner's own are not walked.
        QHash<QString, const FamilyStore::Change*> changed;
        for (const FamilyStore::Change& change : read->rows) {
            if (change.row.sourceApp != plannerTag() || !change.live)
                changed.insert(change.row.id, &change);
        }
        if (!changed.isEmpty()) {
            others.reserve(d_->familyThings.size() + changed.size());
            for (const SharedThing& thing : std::as_const(d_->familyThings)) {
                const auto it = changed.find(thing.id);
                if (it == changed.end()) {
                    others.append(thing);
                    continue;
                }
                if ((*it)->live && (*it)->row.sourceApp != plannerTag())
                    others.append((*it)->row);
                changed.erase(it);
            }
            for (const FamilyStore::Change& change : read->rows) {
                if (changed.contains(change.row.id) && change.live && change.row.sourceApp != plannerTag())
                    others.append(change.row);
            }
        } else {
            others = d_->familyThings;
        }
    }
    for (const FamilyStore::Change& change : read->rows) {
        // A row that still holds what we published brings nothing back.
        if (change.live && change.row.sourceApp == plannerTag() && !change.publisherWroteLast)
            planned.insert(change.row.id, change.row);
    }
    if (assign(d_->familyThings, sync_->familySync->withWaiting(others), otherApps(), &OtherApps::familyThingsChanged) || read->whole)
        forgetGoneExternals();
    mergeOwnRows(planned);
}

// Drops the slots and the selection of other apps' rows that are gone.
void AppModel::forgetGoneExternals()
{
    QSet<QString> present;
    for (const SharedThing& row : std::as_const(d_->familyThings))
        present.insert(row.id);
    QMap<QString, int> kept;
    for (auto it = d_->externalSlots.cbegin(); it != d_->externalSlots.cend(); ++it) {
        if (present.contains(it.key()))
            kept.insert(it.key(), *it);
    }
    if (kept.size() != d_->externalSlots.size())
        otherApps().setExternalSlots(kept);
    if (d_->selectedExternal) {
        const QList<SharedThing> shown = otherApps().todayFromOthers();
        if (std::none_of(shown.cbegin(), shown.cend(), [&](const SharedThing& t) { return t.id == *d_->selectedExternal; }))
            otherApps().setSelectedExternal(std::nullopt);
    }
}

// Takes into the plan what the store changed of these own rows (by sync id).
void AppModel::mergeOwnRows(const QHash<QString, SharedThing>& planned)
{
    if (planned.isEmpty())
        return;
    // Each field of an own row that only the other app changed since the base comes
    // into the plan; where the plan changed it too, the plan's stays and is published.
    QSet<QString> wanted;
    for (auto it = planned.cbegin(); it != planned.cend(); ++it)
        wanted.insert(it.key());
    const QHash<QString, Found> index = ownThings(wanted);
    QHash<QUuid, CopyBack> copies;
    QList<std::pair<QUuid, Day>> moves;
    for (auto it = planned.cbegin(); it != planned.cend(); ++it) {
        const auto found = index.constFind(it.key());
        if (found == index.cend())
            continue;
        FamilySync::Take take =
            sync_->familySync->merge(it.key(), agreedOf(found->thing, found->place), FamilyStore::Agreed::of(*it));
        if (take.day) {
            if (const auto day = Day::fromIso(*take.day))
                moves.append({found->thing.id, *day});
        }
        std::optional<Day> movedTo;
        if (take.day) {
            movedTo = Day::fromIso(*take.day);
            take.day.reset();
        }
        CopyBack copy = oneLineCopy(it.key(), *it, std::move(take));
        Thing changed = found->thing;
        const bool copied = copy.applyTo(changed);
        // Where the plan now holds what the row holds, both sides agree.
        sync_->familySync->settled(it.key(), agreedOf(changed, movedTo ? Place::onDay(*movedTo) : found->place),
                             FamilyStore::Agreed::of(*it));
        if (copied)
            copies.insert(found->thing.id, std::move(copy));
    }
    if (copies.isEmpty() && moves.isEmpty())
        return;
    sync_->tookFromFamily = true;
    // A thing moved to a week not loaded: that week is read first, so its file keeps
    // what it holds.
    for (const auto& [id, day] : moves) {
        if (!store_.loadedWeeks().contains(day.monday()))
            readPlanFiles([day](PlannerStore& store, Planner& plan) { store.loadWeek(day.monday(), plan); });
    }
    Planner next = d_->planner;
    changeThings<CopyBack>(next, copies, [](Thing& thing, const CopyBack& copy) { return copy.applyTo(thing); });
    for (const auto& [id, day] : moves)
        next.move(id, Place::onDay(day));
    setPlanner(std::move(next));
    if (std::any_of(copies.cbegin(), copies.cend(), [](const CopyBack& copy) { return copy.reworded; }))
        scheduleSync();
    // A sibling's edit is no undo step: undo must not take it back and publish that.
    if (!copies.isEmpty() && (!d_->undoStack.isEmpty() || !d_->redoStack.isEmpty())) {
        QList<CopyBack> edits = copies.values();
        patchSnapshots([&](Planner& snapshot) {
            QSet<QString> ids;
            for (const CopyBack& copy : edits)
                ids.insert(copy.syncID);
            const QHash<QString, Found> there = bySyncID(snapshot, &ids);
            QHash<QUuid, CopyBack> mine;
            for (const CopyBack& copy : edits) {
                if (const auto thing = there.constFind(copy.syncID); thing != there.cend())
                    mine.insert(thing->thing.id, copy);
            }
            changeThings<CopyBack>(snapshot, mine, [](Thing& thing, const CopyBack& copy) { return copy.applyTo(thing); });
        });
    }
    save(false);
}

// Removes own things that another app deleted, one undo step each; a thing changed
// here since the base stays.
void AppModel::applyDeletesFromFamily()
{
    const Result<QStringList> deleted = familyStore_.deletedByOthers(plannerTag());
    if (!deleted)
        return;
    for (const QString& id : *deleted) {
        // Not loaded: left for a later refresh, when its week is.
        const auto thing = d_->planner.thingWithSyncID(id);
        if (!thing)
            continue;
        // Taken over before the thing goes: a deletion left standing would take the
        // thing away again after an undo brought it back. Not taken over now, it is
        // tried again at the next refresh.
        if (familyStore_.acknowledgeDelete(id).isFailed())
            continue;
        // Deleted there but changed here since the base: the thing stays, and the next
        // publication brings its row back.
        const auto location = d_->planner.locate(thing->id);
        const auto base = sync_->familySync->base(id);
        if (location && base && !(agreedOf(*thing, location->place) == *base)) {
            scheduleSync();
            continue;
        }
        commit([&](Planner& plan) { plan.remove(thing->id); });
        setSelection(QSet<QUuid>(d_->selection).subtract({thing->id}));
        if (d_->opened == thing->id)
            setOpened(std::nullopt);
        showToast(QStringLiteral("Deleted in Pemby Todo. ") + pemby::ifThatWasAMistake());
    }
}

// After the store was used: the footnote follows its state, and a file opened anew
// gets everything published again.
void AppModel::noteFamilyState()
{
    assign(d_->syncError, familyStore_.failure(), &AppModel::syncErrorChanged);
    assign(d_->othersWait, sync_->familySync->othersWait(), &AppModel::syncErrorChanged);
    const int generation = familyStore_.generation();
    if (generation == sync_->familyGeneration)
        return;
    sync_->familyGeneration = generation;
    // Another file took the old one's place: it holds none of what we published, and
    // other apps' rows of its own; nothing is agreed with it yet.
    qCInfo(lcSync) << "the family store was opened again; publishing to it";
    sync_->familySync->forget();
    scheduleSync();
    QTimer::singleShot(0, this, [this] { refreshFromFamily(); });
}

// Looks at the store's file, which siblings may delete or replace.
void AppModel::checkFamilyStore()
{
    familyStore_.check();
    noteFamilyState();
}
