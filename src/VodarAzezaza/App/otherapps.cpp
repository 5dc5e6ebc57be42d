// The sibling apps' things for today: shown beside the planner's own, changed straight
// in the family store (never copied into the plan, never undoable here), each change
// announced and followed by a fresh read of the store.
#include "otherapps.h"

#include "appmodelstate.h"
#include "appmodelsyncstate.h"

#include "appsettings.h"
#include "familystore.h"
#include "logcategories.h"
#include "textutil.h"

namespace {

// The store's reason when it refused the change.
std::optional<QString> failureOf(const FamilyStore::Answer& answer)
{
    return answer.isFailed() ? std::optional<QString>(answer.error) : std::nullopt;
}

} // namespace

const QList<SharedThing>& OtherApps::familyThings() const
{
    return model_.d_->familyThings;
}

const QMap<QString, SharedThing>& OtherApps::tickedExternal() const
{
    return model_.d_->tickedExternal;
}

const QMap<QString, int>& OtherApps::externalSlots() const
{
    return model_.d_->externalSlots;
}

const std::optional<QString>& OtherApps::selectedExternal() const
{
    return model_.d_->selectedExternal;
}

void OtherApps::setSelectedExternal(const std::optional<QString>& id)
{
    model_.assign(model_.d_->selectedExternal, id, *this, &OtherApps::selectedExternalChanged);
}

QString OtherApps::appName(const QString& sourceApp)
{
    return sourceApp == u"todo" ? QStringLiteral("Pemby Todo") : sourceApp;
}

QList<TodayRow> OtherApps::rows(const QList<Thing>& mine, const QList<SharedThing>& others) const
{
    return todayRows(mine, others, model_.d_->externalSlots);
}

QList<SharedThing> OtherApps::todayFromOthers() const
{
    const QString day = model_.d_->today.iso();
    QList<SharedThing> open;
    QSet<QString> present;
    for (const SharedThing& thing : model_.d_->familyThings) {
        present.insert(thing.id);
        if (thing.day == day && !thing.done && !model_.d_->tickedExternal.contains(thing.id))
            open.append(thing);
    }
    // Ticked here, they stay in the column, shown done, until they leave the store.
    QList<SharedThing> ticked;
    for (const SharedThing& thing : model_.d_->tickedExternal) {
        if (thing.day == day && present.contains(thing.id))
            ticked.append(thing);
    }
    std::stable_sort(ticked.begin(), ticked.end(),
                     [](const SharedThing& a, const SharedThing& b) { return a.title < b.title; });
    return open + ticked;
}

std::optional<SharedThing> OtherApps::externalThing(const QString& id) const
{
    for (const SharedThing& thing : model_.d_->familyThings) {
        if (thing.id == id)
            return thing;
    }
    if (const auto ticked = model_.d_->tickedExternal.constFind(id); ticked != model_.d_->tickedExternal.cend())
        return *ticked;
    return std::nullopt;
}

void OtherApps::toggleExternal(const SharedThing& thing)
{
    const AppModel::Transition transition(model_);
    const bool done = !thing.done;
    const FamilyStore::Answer written = model_.sync_->familySync->setOthersDone(thing.id, thing.sourceApp, done);
    // Refused, the row goes on showing what the store holds.
    if (!externalChangeFailed(failureOf(written), changeFailedText(thing.sourceApp))) {
        QMap<QString, SharedThing> ticked = model_.d_->tickedExternal;
        if (done) {
            SharedThing kept = thing;
            kept.done = true;
            ticked.insert(thing.id, kept);
        } else {
            ticked.remove(thing.id);
        }
        model_.assign(model_.d_->tickedExternal, ticked, *this, &OtherApps::tickedExternalChanged);
        if (written)
            AppModel::Sync::announce(model_);
    }
    model_.refreshFromFamily();
}

void OtherApps::renameExternal(const SharedThing& thing, const QString& title)
{
    const AppModel::Transition transition(model_);
    const QString trimmed = pemby::titleText(title);
    // A sibling's title with a line break reads as one line in the field: left as it
    // was, it is no rename, and the sibling's text stays its own.
    if (trimmed.isEmpty() || trimmed == pemby::titleText(thing.title))
        return;
    const FamilyStore::Answer written = model_.sync_->familySync->setOthersTitle(thing.id, thing.sourceApp, trimmed);
    if (!externalChangeFailed(failureOf(written), changeFailedText(thing.sourceApp))) {
        if (model_.d_->tickedExternal.contains(thing.id)) {
            QMap<QString, SharedThing> ticked = model_.d_->tickedExternal;
            ticked[thing.id].title = trimmed;
            model_.assign(model_.d_->tickedExternal, ticked, *this, &OtherApps::tickedExternalChanged);
        }
        if (written)
            AppModel::Sync::announce(model_);
    }
    model_.refreshFromFamily();
}

void OtherApps::setExternalSteps(const QString& id, const QList<SharedStep>& steps)
{
    const AppModel::Transition transition(model_);
    const auto thing = externalThing(id);
    if (!thing)
        return;
    const FamilyStore::Answer written = model_.d_->familyStore.setSteps(id, steps);
    if (!externalChangeFailed(failureOf(written), changeFailedText(thing->sourceApp))) {
        if (model_.d_->tickedExternal.contains(id)) {
            QMap<QString, SharedThing> ticked = model_.d_->tickedExternal;
            ticked[id].steps = steps;
            model_.assign(model_.d_->tickedExternal, ticked, *this, &OtherApps::tickedExternalChanged);
        }
        if (written)
            AppModel::Sync::announce(model_);
    }
    model_.refreshFromFamily();
}

void OtherApps::moveExternal(const QString& id, Day day)
{
    const AppModel::Transition transition(model_);
    const auto thing = externalThing(id);
    if (!thing || thing->day == day.iso())
        return;
    const FamilyStore::Answer written = model_.d_->familyStore.setDay(id, day.iso());
    // A row that is gone meanwhile, or that the store refused to change, was not moved,
    // so nothing says it was.
    if (externalChangeFailed(failureOf(written), changeFailedText(thing->sourceApp)) || !written) {
        model_.refreshFromFamily();
        return;
    }
    setSlot(id, std::nullopt);
    AppModel::Sync::announce(model_);
    model_.refreshFromFamily();
    model_.showToast(QStringLiteral("Moved it in ") + appName(thing->sourceApp) + QStringLiteral(" too."));
}

void OtherApps::deleteExternal(const QString& id)
{
    const AppModel::Transition transition(model_);
    const auto thing = externalThing(id);
    if (!thing)
        return;
    const FamilyStore::Answer written = model_.d_->familyStore.markDeleted(id, AppModel::Sync::plannerTag());
    // Refused, the thing is still there: it stays ticked, selected and open.
    if (externalChangeFailed(failureOf(written), changeFailedText(thing->sourceApp))) {
        model_.refreshFromFamily();
        return;
    }
    if (model_.d_->tickedExternal.contains(id)) {
        QMap<QString, SharedThing> ticked = model_.d_->tickedExternal;
        ticked.remove(id);
        model_.assign(model_.d_->tickedExternal, ticked, *this, &OtherApps::tickedExternalChanged);
    }
    if (model_.d_->selectedExternal == id)
        setSelectedExternal(std::nullopt);
    if (model_.d_->openedExternal == id)
        model_.setOpenedExternal(std::nullopt);
    if (model_.d_->editing == Editing::external(id))
        model_.setEditing(std::nullopt);
    if (written)
        AppModel::Sync::announce(model_);
    model_.refreshFromFamily();
    if (written)
        model_.showToast(QStringLiteral("Deleted. Gone from ") + appName(thing->sourceApp) + QStringLiteral(" too."));
}

bool OtherApps::saveExternalNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    const AppModel::Transition transition(model_);
    const auto thing = externalThing(id);
    if (!thing)
        return true;
    // The note id comes from another app's row: it names a file only when it is a UUID
    // (storeNoteFile makes a fresh one otherwise), so a row can never make the planner
    // write or delete outside the notes folder.
    const std::optional<QByteArray> before = model_.d_->noteFiles->read(thing->noteID);
    const auto stored = model_.thingNotes().storeNoteFile(thing->noteID, rtf, plain);
    if (!stored)
        return false;
    const FamilyStore::Answer written = model_.d_->familyStore.setNote(id, stored->noteID, stored->note);
    const bool failed = externalChangeFailed(failureOf(written), QStringLiteral("Couldn't save the note: "));
    if (failed) {
        // The row keeps its note, so the file goes back to what the row names.
        if (stored->noteID && stored->noteID != thing->noteID)
            model_.d_->noteFiles->remove(stored->noteID);
        if (before && thing->noteID && !model_.thingNotes().writeNote(*thing->noteID, *before))
            qCWarning(lcNotes) << "couldn't put back the note" << *thing->noteID;
    } else if (written) {
        AppModel::Sync::announce(model_);
    }
    model_.refreshFromFamily();
    return !failed;
}

QString OtherApps::changeFailedText(const QString& sourceApp)
{
    return QStringLiteral("Couldn't change it in ") + appName(sourceApp) + QStringLiteral(": ");
}

// A change of another app's thing that the store refused becomes the save error;
// one that went through ends the error an earlier refusal left. Whether it failed.
// `text` leads the error: "Couldn't change it in Pemby Todo: " and SQLite's reason.
// `failure` is the store's reason when it refused.
bool OtherApps::externalChangeFailed(const std::optional<QString>& failure, const QString& text)
{
    if (!failure) {
        if (model_.d_->externalError && model_.d_->saveError == model_.d_->externalError)
            model_.assign(model_.d_->saveError, std::optional<QString>(), &AppModel::saveErrorChanged);
        model_.d_->externalError.reset();
        return false;
    }
    qCWarning(lcSync) << "the family store refused a change of another app's thing:" << *failure;
    model_.d_->externalError = text + *failure;
    model_.assign(model_.d_->saveError, model_.d_->externalError, &AppModel::saveErrorChanged);
    return true;
}

// Remembers (or forgets, for none) the slot of another app's thing; below 0 is 0.
void OtherApps::setSlot(const QString& id, std::optional<int> slot)
{
    QMap<QString, int> changed = model_.d_->externalSlots;
    if (slot)
        changed.insert(id, std::max(0, *slot));
    else
        changed.remove(id);
    setExternalSlots(changed);
}

// Stores the slots and writes them all under "order.otherApps", when they changed.
void OtherApps::setExternalSlots(const QMap<QString, int>& remembered)
{
    if (!model_.assign(model_.d_->externalSlots, remembered, *this, &OtherApps::externalSlotsChanged))
        return;
    // The whole map, every time.
    model_.d_->settings->writeOtherAppSlots(remembered);
}

std::optional<SharedThing> OtherApps::shownSelectedExternal() const
{
    if (!model_.d_->selectedExternal)
        return std::nullopt;
    for (const SharedThing& thing : todayFromOthers()) {
        if (thing.id == *model_.d_->selectedExternal)
            return thing;
    }
    return std::nullopt;
}
