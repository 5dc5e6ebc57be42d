// The spine every change of the plan passes through: commit, save, the toast, the
// debounced family sync, and undo and redo of whole plans.
#include "appmodel.h"

#include "appmodelstate.h"
#include "appmodelsyncstate.h"
#include "logcategories.h"
#include "remindercenter.h"

#include <QDir>

namespace {

// Gives `map` the entry that `from` has under `key`, or none when it has none. Shared
// maps are only touched when they really differ: every touch copies a whole map.
template <class Map, class K>
void carryEntry(Map& map, const K& key, const Map& from)
{
    const auto theirs = from.constFind(key);
    const auto mine = map.constFind(key);
    if (theirs == from.cend()) {
        if (mine != map.cend())
            map.remove(key);
    } else if (mine == map.cend() || !(*mine == *theirs)) {
        map.insert(key, *theirs);
    }
}

// What the files brought into `from`, carried into an earlier copy of the plan.
void carryFiles(Planner& snapshot, const Planner& from, const PlannerStore::FilesRead& files)
{
    for (const Day monday : files.weeks) {
        for (int i = 0; i < 7; ++i)
            carryEntry(snapshot.days, monday.adding(i), from.days);
        carryEntry(snapshot.appliedRepeats, monday, from.appliedRepeats);
    }
    for (const MonthKey month : files.months)
        carryEntry(snapshot.months, month, from.months);
    if (files.lists && !(snapshot.lists == from.lists))
        snapshot.lists = from.lists;
    if (files.repeats && !(snapshot.repeats == from.repeats))
        snapshot.repeats = from.repeats;
}

} // namespace

// Every read of plan files goes through here. Whatever the files brought in is
// carried into the undo and redo snapshots too, so undo never empties a week loaded
// since a snapshot was taken nor reverts an edit made outside.
PlannerStore::FilesRead AppModel::Steps::readPlanFiles(AppModel& m, const std::function<void(PlannerStore&, Planner&)>& read)
{
    Planner next = m.d_->planner;
    read(m.d_->store, next);
    // Whatever the store read behind the model's back comes along here too.
    PlannerStore::FilesRead files = m.d_->store.takeFilesRead();
    // Lines written elsewhere may lack a sync id, or repeat one: they get theirs before
    // the snapshots take in what the files brought.
    if (!files.isEmpty())
        Sync::ensureSyncIDs(m, next, true);
    setPlanner(m, std::move(next));
    if (!files.isEmpty())
        patchSnapshots(m, [&](Planner& snapshot) { carryFiles(snapshot, m.d_->planner, files); });
    m.assign(m.d_->skippedPlanFiles, m.d_->store.skippedFiles(), &AppModel::skippedFilesChanged);
    return files;
}

// Runs a change that is no undo step on every snapshot of both stacks as well.
void AppModel::Steps::patchSnapshots(AppModel& m, const std::function<void(Planner&)>& change)
{
    for (Planner& snapshot : m.d_->undoStack)
        change(snapshot);
    for (Planner& snapshot : m.d_->redoStack)
        change(snapshot);
}

void AppModel::commit(const std::function<void(Planner&)>& change)
{
    const Transition transition(*this);
    Planner next = d_->planner;
    change(next);
    if (next == d_->planner)
        return;
    d_->undoStack.append(d_->planner);
    if (d_->undoStack.size() > undoLimit)
        d_->undoStack.removeFirst();
    d_->redoStack.clear();
    // New things get their sync ids in the same change, so observers hear of it once.
    Sync::ensureSyncIDs(*this, next);
    replace(d_->planner, std::move(next), *this, &AppModel::plannerChanged);
    Steps::save(*this, true);
}

// Writes the plan, keeps the reminders in step and, when `broadcast`, schedules the
// family sync. A failure becomes the save error.
void AppModel::Steps::save(AppModel& m, bool broadcast)
{
    State& d = *m.d_;
    Sync::ensureSyncIDs(m);
    const Status saved = d.writesFiles ? m.d_->store.save(d.planner) : Status{};
    if (saved) {
        m.assign(d.saveError, std::optional<QString>(), &AppModel::saveErrorChanged);
        syncReminders(m);
        if (std::exchange(m.sync_->publishAfterSave, false))
            broadcast = true;
    } else {
        qCWarning(lcStore) << "save failed:" << saved.errorText();
        const QString text = QStringLiteral("Couldn't save to ") + QDir(m.d_->store.folder()).dirName() + QStringLiteral(": ")
            + saved.errorText();
        m.assign(d.saveError, std::optional<QString>(text), &AppModel::saveErrorChanged);
    }
    if (broadcast)
        m.scheduleSync();
}

// Brings the reminders of the weeks whose days changed since they were last brought
// up to date; the first time, and on a new day, those of every loaded week.
void AppModel::Steps::syncReminders(AppModel& m)
{
    State& d = *m.d_;
    // Reminders are wanted per day, so a week whose days are as they were wants what it
    // wanted: only the weeks of changed days are worked out again.
    QSet<Day> weeks;
    if (!d.remindersSynced) {
        weeks = m.d_->store.loadedWeeks();
    } else {
        const QSet<Day>& loaded = m.d_->store.loadedWeeks();
        for (const Day day : d.planner.days.changedDays(d.remindersSynced->days)) {
            if (loaded.contains(day.monday()))
                weeks.insert(day.monday());
        }
    }
    d.remindersSynced = d.planner;
    if (!weeks.isEmpty())
        d.reminders->sync(d.planner, weeks, now(m));
}

void AppModel::scheduleSync()
{
    d_->syncPending = true;
    d_->syncTimer.start();
}

void AppModel::flushSync()
{
    sync_->familySync->retryOthers(true);
    if (!d_->syncPending)
        return;
    d_->syncTimer.stop();
    Sync::syncAll(*this);
}

void AppModel::showToast(const QString& toast)
{
    const Transition transition(*this);
    assign(d_->toast, std::optional<QString>(toast), &AppModel::toastChanged);
    d_->toastTimer.start();
}

void AppModel::undo()
{
    const Transition transition(*this);
    Steps::restore(*this, d_->undoStack, d_->redoStack);
}

void AppModel::redo()
{
    const Transition transition(*this);
    Steps::restore(*this, d_->redoStack, d_->undoStack);
}

// Undo and redo: the newest plan of `from` becomes the plan, the plan goes onto `to`.
void AppModel::Steps::restore(AppModel& m, QList<Planner>& from, QList<Planner>& to)
{
    if (from.isEmpty())
        return;
    Planner entry = from.takeLast();
    to.append(m.d_->planner);
    // What the restored plan no longer holds stops being selected, opened or edited
    // as the transition ends.
    setPlanner(m, std::move(entry));
    m.d_->anchorFollowsSelection = true;
    save(m, true);
}
