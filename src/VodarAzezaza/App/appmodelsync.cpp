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
using Found = OwnThing;
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

void AppModel::Sync::ensureSyncIDs(AppModel& m)
{
    Planner next = m.d_->planner;
    if (ensureSyncIDs(m, next))
        Steps::setPlanner(m, std::move(next));
}

bool AppModel::Sync::ensureSyncIDs(AppModel& m, Planner& plan, bool afterReading)
{
    // A thing without a sync id gets one. So does a thing whose id another thing
    // already carries, or the two would share one row: that only comes from a file (a
    // line copied by hand), so it is looked for only after files were read, and the
    // thing already known keeps its id. Either way only what changed since the last
    // look is looked at, against the counts of every id the plan carried then: a
    // commit or a file read must not cost a pass over a plan that may be loaded whole.
    // A changed place mostly holds the things it held, with the ids they had: those
    // stay counted, and only the ids that came or went touch the counts.
    const QList<Place> changedPlaces = plan.changedPlaces(m.sync_->syncIDsChecked);
    QList<QList<Thing>> changedThings;
    changedThings.reserve(changedPlaces.size());
    QList<QList<qsizetype>> fresh;  // the positions in each place whose id is not the one counted there
    fresh.reserve(changedPlaces.size());
    for (const Place& place : changedPlaces) {
        const QList<Thing> before = m.sync_->syncIDsChecked.things(place);
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
            const auto it = m.sync_->syncIDCounts.find(*before[i].syncID);
            if (it != m.sync_->syncIDCounts.end() && --*it <= 0)
                m.sync_->syncIDCounts.erase(it);
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
                int& count = m.sync_->syncIDCounts[*thing.syncID];
                if (count++ == 0 || !afterReading)
                    continue;
                --count;
            }
            const QString id = pemby::newUuidUpper();
            ++m.sync_->syncIDCounts[id];
            given.insert(thing.id, id);
            if (places.isEmpty() || places.last() != place)
                places.append(place);
        }
    }
    const bool changed = changeThingsAt<QString>(plan, places, given, giveSyncID);
    m.sync_->syncIDsChecked = plan;
    if (!changed)
        return false;
    // The same thing in an earlier plan gets the same id, so undo keeps its row. A thing
    // read from a file can stand anywhere there; one made since stands where it is now.
    Steps::patchSnapshots(m, [&](Planner& snapshot) {
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
void AppModel::Sync::syncAll(AppModel& m)
{
    const Transition transition(m);
    m.d_->syncPending = false;
    // A plan the files refused (another planner wrote them meanwhile) is not published:
    // its rows would take the other planner's away. It is once a save goes through.
    if (m.d_->saveError && m.d_->saveError != m.d_->externalError) {
        m.sync_->publishAfterSave = true;
        return;
    }
    // A row another app changed since the base is not written over: its change is taken
    // into the plan first and the plan published again. Twice at most in one go: a row
    // that keeps changing is published at the next sync.
    for (int round = 0;; ++round) {
        if (!publishOnce(m) || round == 2)
            break;
    }
    noteFamilyState(m);
}

// One publication; true when rows were held back and the plan took their changes
// in, so it is to be published again.
bool AppModel::Sync::publishOnce(AppModel& m)
{
    ensureSyncIDs(m);

    // The store mirrors the loaded plan: a row of a thing deleted here, or of a week not
    // loaded now, goes, with no deleting app, so the planner never takes it for a
    // deletion made elsewhere. Once another app has kept its lock past one wait, the
    // tries that follow do not wait at all.
    const double stamp = double(Steps::now(m).toMSecsSinceEpoch()) / 1000.0;
    const FamilyStore::Publication published = m.sync_->familySync->publish(
        m.d_->planner, stamp, m.d_->familyLockHeld ? std::optional(std::chrono::milliseconds(0)) : std::nullopt);
    if (published.answer.busy && !m.d_->familyLockHeld)
        qCInfo(lcSync) << "another app holds the family store; publishing again shortly";
    // The footnote says the sync waits, and says so no more once it went through.
    m.assign(m.d_->familyLockHeld, published.answer.busy, &AppModel::syncErrorChanged);
    if (published.answer.busy) {
        // The rows still wait to be published; the lock usually goes soon.
        m.d_->syncPending = true;
        m.d_->syncTimer.start();
        return false;
    }
    if (published.answer.isFailed())
        return false;
    if (published.heldBack.isEmpty()) {
        announce(m);
        return false;
    }
    // What the store changed comes into the plan; then the plan goes out again.
    m.sync_->tookFromFamily = false;
    m.refreshFromFamily();
    keepDeletedHereChangedThere(m, published.heldBack);
    if (!m.sync_->tookFromFamily) {
        announce(m);
        return false;
    }
    return true;
}

// Rows held back that are gone from the plan but changed elsewhere come back.
void AppModel::Sync::keepDeletedHereChangedThere(AppModel& m, const QStringList& heldBack)
{
    // A row that is gone from the plan but that another app changed since: deleted here
    // and edited there, it is kept, back where the row says. A row of a week not loaded
    // now simply waits in the store until that week is.
    const Result<QList<SharedThing>> rows = m.d_->familyStore.things(heldBack);
    if (!rows)
        return;
    Planner next = m.d_->planner;
    bool added = false;
    for (const SharedThing& row : *rows) {
        if (row.sourceApp != plannerTag() || next.thingWithSyncID(row.id))
            continue;
        std::optional<Place> place;
        if (row.day) {
            const auto day = Day::fromIso(*row.day);
            if (!day || !m.d_->store.loadedWeeks().contains(day->monday()))
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
    m.sync_->tookFromFamily = true;
    Steps::setPlanner(m, std::move(next));
    Steps::save(m, false);
}

// The own things of these sync ids, where they stand.
QHash<QString, OwnThing> AppModel::Sync::ownThings(AppModel& m, const QSet<QString>& wanted)
{
    // Where each sync id stands, kept up to date with the places that changed since it
    // was last looked at: a refresh after one sibling change looks at that one thing,
    // not at every thing of a plan that may be loaded whole.
    if (!m.sync_->syncIndexValid) {
        m.sync_->syncIndex.clear();
        m.d_->planner.forEachThing([&](const Place& place, int, const Thing& thing) {
            if (thing.syncID && !m.sync_->syncIndex.contains(*thing.syncID))
                m.sync_->syncIndex.insert(*thing.syncID, place);
        });
        m.sync_->syncIndexValid = true;
    } else {
        for (const Place& place : m.d_->planner.changedPlaces(m.sync_->syncIndexed)) {
            for (const Thing& thing : m.d_->planner.things(place)) {
                if (thing.syncID)
                    m.sync_->syncIndex.insert(*thing.syncID, place);
            }
        }
    }
    m.sync_->syncIndexed = m.d_->planner;
    QHash<QString, OwnThing> found;
    bool stale = false;
    for (const QString& id : wanted) {
        const auto place = m.sync_->syncIndex.constFind(id);
        if (place == m.sync_->syncIndex.cend())
            continue;
        const QList<Thing> there = m.d_->planner.things(*place);
        const auto thing = std::find_if(there.cbegin(), there.cend(), [&](const Thing& t) { return t.syncID == id; });
        if (thing == there.cend()) {
            stale = true;  // moved or gone since: look everywhere
            break;
        }
        found.insert(id, OwnThing{*place, *thing});
    }
    if (!stale)
        return found;
    m.sync_->syncIndexValid = false;
    return bySyncID(m.d_->planner, &wanted);
}

// Posts the change notification, whose echo is then skipped once.
void AppModel::Sync::announce(AppModel& m)
{
    // Without a bus nothing is sent, and no echo must be waited for.
    m.d_->ownChangePending = true;
    if (!PembySync::post(m.d_->bus))
        m.d_->ownChangePending = false;
}

// The change notification arrived.
void AppModel::Sync::familyChanged(AppModel& m)
{
    if (std::exchange(m.d_->ownChangePending, false))
        return;
    // A burst of notifications is one refresh: the first starts a short wait, and what
    // arrives meanwhile is read by the same refresh. A steady stream reads once a wait.
    if (!m.d_->familyRefreshTimer.isActive())
        m.d_->familyRefreshTimer.start();
}

void AppModel::refreshFromFamily()
{
    Sync::refreshFromFamily(*this);
}

void AppModel::Sync::refreshFromFamily(AppModel& m)
{
    const Transition transition(m);
    const Result<FamilyStore::Changes> read = m.sync_->familySync->readChanges();
    // Deletions made elsewhere are looked for when a row went, after a whole read, and
    // when more weeks are loaded (a deletion waits for its thing's week): asking every
    // time would read every row of the store.
    const bool rowWent = read && std::any_of(read->rows.cbegin(), read->rows.cend(), [](const FamilyStore::Change& c) {
        return !c.live;
    });
    if (!read || read->whole || rowWent || m.d_->store.loadedWeeks().size() != m.sync_->deletionsCheckedWeeks) {
        m.sync_->deletionsCheckedWeeks = m.d_->store.loadedWeeks().size();
        applyDeletesFromFamily(m);
    }
    noteFamilyState(m);
    // A read that failed says nothing about what is there: the rows, their slots and
    // the selection stay as the last good read left them.
    if (!read)
        return;
    ++m.d_->familyRefreshes;

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
            others.reserve(m.d_->familyThings.size() + changed.size());
            for (const SharedThing& thing : std::as_const(m.d_->familyThings)) {
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
            others = m.d_->familyThings;
        }
    }
    for (const FamilyStore::Change& change : read->rows) {
        // A row that still holds what we published brings nothing back.
        if (change.live && change.row.sourceApp == plannerTag() && !change.publisherWroteLast)
            planned.insert(change.row.id, change.row);
    }
    if (m.assign(m.d_->familyThings, m.sync_->familySync->withWaiting(others), m.otherApps(), &OtherApps::familyThingsChanged) || read->whole)
        forgetGoneExternals(m);
    mergeOwnRows(m, planned);
}

// Drops the slots and the selection of other apps' rows that are gone.
void AppModel::Sync::forgetGoneExternals(AppModel& m)
{
    QSet<QString> present;
    for (const SharedThing& row : std::as_const(m.d_->familyThings))
        present.insert(row.id);
    QMap<QString, int> kept;
    for (auto it = m.d_->externalSlots.cbegin(); it != m.d_->externalSlots.cend(); ++it) {
        if (present.contains(it.key()))
            kept.insert(it.key(), *it);
    }
    if (kept.size() != m.d_->externalSlots.size())
        m.otherApps().setExternalSlots(kept);
    if (m.d_->selectedExternal) {
        const QList<SharedThing> shown = m.otherApps().todayFromOthers();
        if (std::none_of(shown.cbegin(), shown.cend(), [&](const SharedThing& t) { return t.id == *m.d_->selectedExternal; }))
            m.otherApps().setSelectedExternal(std::nullopt);
    }
}

// Takes into the plan what the store changed of these own rows (by sync id).
void AppModel::Sync::mergeOwnRows(AppModel& m, const QHash<QString, SharedThing>& planned)
{
    if (planned.isEmpty())
        return;
    // Each field of an own row that only the other app changed since the base comes
    // into the plan; where the plan changed it too, the plan's stays and is published.
    QSet<QString> wanted;
    for (auto it = planned.cbegin(); it != planned.cend(); ++it)
        wanted.insert(it.key());
    const QHash<QString, Found> index = ownThings(m, wanted);
    QHash<QUuid, CopyBack> copies;
    QList<std::pair<QUuid, Day>> moves;
    for (auto it = planned.cbegin(); it != planned.cend(); ++it) {
        const auto found = index.constFind(it.key());
        if (found == index.cend())
            continue;
        FamilySync::Take take =
            m.sync_->familySync->merge(it.key(), agreedOf(found->thing, found->place), FamilyStore::Agreed::of(*it));
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
        m.sync_->familySync->settled(it.key(), agreedOf(changed, movedTo ? Place::onDay(*movedTo) : found->place),
                             FamilyStore::Agreed::of(*it));
        if (copied)
            copies.insert(found->thing.id, std::move(copy));
    }
    if (copies.isEmpty() && moves.isEmpty())
        return;
    m.sync_->tookFromFamily = true;
    // A thing moved to a week not loaded: that week is read first, so its file keeps
    // what it holds.
    for (const auto& [id, day] : moves) {
        if (!m.d_->store.loadedWeeks().contains(day.monday()))
            Steps::readPlanFiles(m, [day](PlannerStore& store, Planner& plan) { store.loadWeek(day.monday(), plan); });
    }
    Planner next = m.d_->planner;
    changeThings<CopyBack>(next, copies, [](Thing& thing, const CopyBack& copy) { return copy.applyTo(thing); });
    for (const auto& [id, day] : moves)
        next.move(id, Place::onDay(day));
    Steps::setPlanner(m, std::move(next));
    if (std::any_of(copies.cbegin(), copies.cend(), [](const CopyBack& copy) { return copy.reworded; }))
        m.scheduleSync();
    // A sibling's edit is no undo step: undo must not take it back and publish that.
    if (!copies.isEmpty() && (!m.d_->undoStack.isEmpty() || !m.d_->redoStack.isEmpty())) {
        QList<CopyBack> edits = copies.values();
        Steps::patchSnapshots(m, [&](Planner& snapshot) {
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
    Steps::save(m, false);
}

// Removes own things that another app deleted, one undo step each; a thing changed
// here since the base stays.
void AppModel::Sync::applyDeletesFromFamily(AppModel& m)
{
    const Result<QStringList> deleted = m.d_->familyStore.deletedByOthers(plannerTag());
    if (!deleted)
        return;
    for (const QString& id : *deleted) {
        // Not loaded: left for a later refresh, when its week is.
        const auto thing = m.d_->planner.thingWithSyncID(id);
        if (!thing)
            continue;
        // Taken over before the thing goes: a deletion left standing would take the
        // thing away again after an undo brought it back. Not taken over now, it is
        // tried again at the next refresh.
        if (m.d_->familyStore.acknowledgeDelete(id).isFailed())
            continue;
        // Deleted there but changed here since the base: the thing stays, and the next
        // publication brings its row back.
        const auto location = m.d_->planner.locate(thing->id);
        const auto base = m.sync_->familySync->base(id);
        if (location && base && !(agreedOf(*thing, location->place) == *base)) {
            m.scheduleSync();
            continue;
        }
        m.commit([&](Planner& plan) { plan.remove(thing->id); });
        m.selection().setIDs(QSet<QUuid>(m.d_->selection).subtract({thing->id}));
        if (m.d_->opened == thing->id)
            m.setOpened(std::nullopt);
        m.showToast(QStringLiteral("Deleted in Pemby Todo. ") + pemby::ifThatWasAMistake());
    }
}

// After the store was used: the footnote follows its state, and a file opened anew
// gets everything published again.
void AppModel::Sync::noteFamilyState(AppModel& m)
{
    m.assign(m.d_->syncError, m.d_->familyStore.failure(), &AppModel::syncErrorChanged);
    m.assign(m.d_->othersWait, m.sync_->familySync->othersWait(), &AppModel::syncErrorChanged);
    const int generation = m.d_->familyStore.generation();
    if (generation == m.sync_->familyGeneration)
        return;
    m.sync_->familyGeneration = generation;
    // Another file took the old one's place: it holds none of what we published, and
    // other apps' rows of its own; nothing is agreed with it yet.
    qCInfo(lcSync) << "the family store was opened again; publishing to it";
    m.sync_->familySync->forget();
    m.scheduleSync();
    QTimer::singleShot(0, &m, [&m] { m.refreshFromFamily(); });
}

// Looks at the store's file, which siblings may delete or replace.
void AppModel::Sync::checkFamilyStore(AppModel& m)
{
    m.d_->familyStore.check();
    noteFamilyState(m);
}
