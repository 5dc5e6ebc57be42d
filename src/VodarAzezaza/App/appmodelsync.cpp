// Publishing the planner's own things to the family store, and taking back what the
// sibling apps did to them: ticks, renames, notes and steps, and deletions.
#include "appmodel.h"
#include "shortcuttext.h"

#include "logcategories.h"
#include "pembysync.h"
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

// What a sibling's edit of a row brings back to the thing: the done flag always, the
// rest only while no change of the planner's own waits to be published.
struct CopyBack {
    QString syncID;
    bool done = false;
    std::optional<QString> title;
    std::optional<std::pair<std::optional<QString>, QString>> note;  // note id, note text
    std::optional<QList<Step>> steps;
    // What is taken back reads otherwise than the row (a title made one line): the
    // row gets it as the plan has it, or the next start would publish it as new.
    bool reworded = false;

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
    // A sibling may keep line breaks in a title; the plan holds it on one line, as its
    // file does.
    const QString title = pemby::titleText(row.title);
    if (!title.isEmpty() && title != thing.title)
        copy.title = title;
    if (row.noteID != thing.noteID || row.note != thing.note)
        copy.note = std::make_pair(row.noteID, row.note);
    QList<Step> steps;
    for (const SharedStep& step : row.steps)
        steps.append(Step{pemby::oneLineText(step.title), step.done});
    if (steps != thing.steps)
        copy.steps = steps;
    const auto stepsAsRow = [&] {
        return std::equal(steps.cbegin(), steps.cend(), row.steps.cbegin(), row.steps.cend(),
                          [](const Step& a, const SharedStep& b) { return a.title == b.title; });
    };
    copy.reworded = (copy.title && *copy.title != row.title) || (copy.steps && !stepsAsRow());
    return copy;
}

// A day's text, made once: every sync gives the rows of a day the very same string,
// which the store then recognises without reading it.
const QString& dayText(Day day)
{
    static QHash<Day, QString> texts;
    auto it = texts.find(day);
    if (it == texts.end())
        it = texts.insert(day, day.iso());
    return *it;
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
    // A thing without a sync id gets one. So does a thing whose id another thing
    // already carries, or the two would share one row: that only comes from a file (a
    // line copied by hand), so it is looked for only after files were read, and the
    // thing already known keeps its id. Either way only what changed since the last
    // look is looked at, against the counts of every id the plan carried then: a
    // commit or a file read must not cost a pass over a plan that may be loaded whole.
    // A changed place mostly holds the things it held, with the ids they had: those
    // stay counted, and only the ids that came or went touch the counts.
    const QList<Place> changedPlaces = plan.changedPlaces(syncIDsChecked_);
    QList<QList<Thing>> changedThings;
    changedThings.reserve(changedPlaces.size());
    QList<QList<qsizetype>> fresh;  // the positions in each place whose id is not the one counted there
    fresh.reserve(changedPlaces.size());
    for (const Place& place : changedPlaces) {
        const QList<Thing> before = syncIDsChecked_.things(place);
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
            const auto it = syncIDCounts_.find(*before[i].syncID);
            if (it != syncIDCounts_.end() && --*it <= 0)
                syncIDCounts_.erase(it);
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
                int& count = syncIDCounts_[*thing.syncID];
                if (count++ == 0 || !afterReading)
                    continue;
                --count;
            }
            const QString id = pemby::newUuidUpper();
            ++syncIDCounts_[id];
            given.insert(thing.id, id);
            if (places.isEmpty() || places.last() != place)
                places.append(place);
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

SharedThing AppModel::shared(const Thing& thing, const std::optional<Day>& day, double now) const
{
    SharedThing row;
    row.id = thing.syncID ? *thing.syncID : thing.id.toString(QUuid::WithoutBraces).toUpper();
    row.title = thing.title;
    row.done = thing.done;
    if (day)
        row.day = dayText(*day);
    row.zs = thing.zs;
    if (!thing.steps.isEmpty()) {
        row.steps.reserve(thing.steps.size());
        for (const Step& step : thing.steps)
            row.steps.append(SharedStep{step.title, step.done});
    }
    row.note = thing.note;
    row.noteID = thing.noteID;
    row.link = thing.link;
    row.sourceApp = plannerTag();
    row.updatedAt = now;
    return row;
}

void AppModel::syncAll()
{
    const Transition transition(*this);
    syncPending_ = false;
    ensureSyncIDs();

    // The rows of each list of things, in the plan's order. A list that is the very
    // same as at the last sync (the plan's lists are shared until changed) keeps its
    // rows, so an unchanged plan is published at the cost of its lists, not its things.
    const double stamp = double(now().toMSecsSinceEpoch()) / 1000.0;
    QList<SyncGroup> groups;
    FamilyStore::RowGroups rows;
    const auto add = [&](const QList<Thing>& things, const std::optional<Day>& day) {
        const qsizetype i = groups.size();
        if (i < syncGroups_.size() && syncGroups_[i].day == day && syncGroups_[i].things.isSharedWith(things)) {
            groups.append(syncGroups_[i]);
        } else {
            QList<SharedThing> built;
            built.reserve(things.size());
            for (const Thing& thing : things)
                built.append(shared(thing, day, stamp));
            groups.append(SyncGroup{day, things, built});
        }
        rows.append(groups.last().rows);
    };
    for (auto it = planner_.days.cbegin(); it != planner_.days.cend(); ++it)
        add(*it, it.key());
    for (const EventuallyList& list : planner_.lists)
        add(list.things, std::nullopt);
    for (const QList<Thing>& things : planner_.months)
        add(things, std::nullopt);
    syncGroups_ = std::move(groups);

    // The store mirrors the loaded plan: a row of a thing deleted here, or of a week not
    // loaded now, goes, with no deleting app, so the planner never takes it for a
    // deletion made elsewhere. Once another app has kept its lock past one wait, the
    // tries that follow do not wait again: each would freeze the window as long.
    const FamilyStore::Publication published = familyStore_.publish(
        rows, plannerTag(), familyLockHeld_ ? std::optional(std::chrono::milliseconds(0)) : std::nullopt);
    if (published.answer.busy && !familyLockHeld_)
        qCInfo(lcSync) << "another app holds the family store; publishing again shortly";
    familyLockHeld_ = published.answer.busy;
    if (published.answer.busy) {
        // The rows still wait to be published, so the siblings' titles are not taken
        // back meanwhile; the lock usually goes soon.
        syncPending_ = true;
        syncTimer_.start();
    } else if (!published.answer.isFailed()) {
        publishedAt_ = published.at;
        announce();
    }
    noteFamilyState();
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
    refreshFromFamily(false);
}

void AppModel::refreshFromFamily(bool startingUp)
{
    const Transition transition(*this);
    applyDeletesFromFamily();

    const Result<QList<SharedThing>> read = familyStore_.allThings();
    noteFamilyState();
    // A read that failed says nothing about what is there: the rows, their slots and
    // the selection stay as the last good read left them.
    if (!read)
        return;
    const QList<SharedThing>& rows = *read;
    QList<SharedThing> others;
    for (const SharedThing& row : rows) {
        if (row.sourceApp != plannerTag())
            others.append(row);
    }
    assign(familyThings_, others, &AppModel::familyThingsChanged);

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

    const QHash<QString, Thing> index = bySyncID(planner_);
    QHash<QUuid, CopyBack> copies;
    for (const SharedThing& row : rows) {
        if (row.sourceApp != plannerTag())
            continue;
        const auto thing = index.constFind(row.id);
        if (thing == index.cend())
            continue;
        // A row that still holds what we last published brings nothing back: where the
        // plan differs, the plan changed since (typed here and not published yet, or
        // re-read from a file edited elsewhere) and the next sync publishes it.
        if (publishedAt_ && row.updatedAt <= *publishedAt_)
            continue;
        // At start the sync is already scheduled, but nothing waiting in it was typed
        // in this run: a sibling's edit made meanwhile comes back whole.
        CopyBack copy = copyBack(row, *thing, startingUp ? false : syncPending_);
        Thing changed = *thing;
        if (copy.applyTo(changed))
            copies.insert(thing->id, std::move(copy));
    }
    if (copies.isEmpty())
        return;
    Planner next = planner_;
    changeThings<CopyBack>(next, copies, [](Thing& thing, const CopyBack& copy) { return copy.applyTo(thing); });
    setPlanner(std::move(next));
    if (std::any_of(copies.cbegin(), copies.cend(), [](const CopyBack& copy) { return copy.reworded; }))
        scheduleSync();
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
    const Result<QStringList> deleted = familyStore_.deletedByOthers(plannerTag());
    if (!deleted)
        return;
    for (const QString& id : *deleted) {
        // Not loaded: left for a later refresh, when its week is.
        const auto thing = planner_.thingWithSyncID(id);
        if (!thing)
            continue;
        // Taken over before the thing goes: a deletion left standing would take the
        // thing away again after an undo brought it back. Not taken over now, it is
        // tried again at the next refresh.
        if (familyStore_.acknowledgeDelete(id).isFailed())
            continue;
        commit([&](Planner& plan) { plan.remove(thing->id); });
        setSelection(QSet<QUuid>(selection_).subtract({thing->id}));
        if (opened_ == thing->id)
            setOpened(std::nullopt);
        show(QStringLiteral("Deleted in Pemby Todo. ") + pemby::ifThatWasAMistake());
    }
}

void AppModel::noteFamilyState()
{
    assign(syncError_, familyStore_.failure(), &AppModel::syncErrorChanged);
    const int generation = familyStore_.generation();
    if (generation == familyGeneration_)
        return;
    familyGeneration_ = generation;
    // Another file took the old one's place: it holds none of what we published, and
    // other apps' rows of its own.
    qCInfo(lcSync) << "the family store was opened again; publishing to it";
    scheduleSync();
    QTimer::singleShot(0, this, [this] { refreshFromFamily(); });
}

void AppModel::checkFamilyStore()
{
    familyStore_.check();
    noteFamilyState();
    keepPublishedAt();
}

void AppModel::keepPublishedAt()
{
    // Written with the heartbeat and at the end of the run, not after every sync: the
    // settings file's write would cost more than the sync. After a crash the time
    // kept is at most a heartbeat old, which only takes back rows as they were then.
    if (!publishedAt_)
        return;
    const QString text = QString::number(*publishedAt_, 'g', 17);
    if (defaults_->value(publishedAtKey()).toString() != text)
        writeSetting(publishedAtKey(), text);
}

QString AppModel::publishedAtKey()
{
    return QStringLiteral("family.publishedAt");
}

std::optional<double> AppModel::readPublishedAt() const
{
    const QVariant value = defaults_->value(publishedAtKey());
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    bool ok = false;
    const double at = value.toString().toDouble(&ok);
    return ok ? std::optional(at) : std::nullopt;
}
