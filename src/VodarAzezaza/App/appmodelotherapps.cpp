// The sibling apps' things for today: shown beside the planner's own, changed straight
// in the family store (never copied into the plan, never undoable here), each change
// announced and followed by a fresh read of the store.
#include "appmodel.h"

#include "appmodelstate.h"
#include "appmodelsyncstate.h"

#include "appsettings.h"
#include "familystore.h"
#include "logcategories.h"
#include "textutil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

namespace {

// The store's reason when it refused the change.
std::optional<QString> failureOf(const FamilyStore::Answer& answer)
{
    return answer.isFailed() ? std::optional<QString>(answer.error) : std::nullopt;
}

} // namespace

QString AppModel::appName(const QString& sourceApp)
{
    return sourceApp == u"todo" ? QStringLiteral("Pemby Todo") : sourceApp;
}

QList<SharedThing> AppModel::todayFromOthers() const
{
    const QString day = d_->today.iso();
    QList<SharedThing> open;
    QSet<QString> present;
    for (const SharedThing& thing : d_->familyThings) {
        present.insert(thing.id);
        if (thing.day == day && !thing.done && !d_->tickedExternal.contains(thing.id))
            open.append(thing);
    }
    // Ticked here, they stay in the column, shown done, until they leave the store.
    QList<SharedThing> ticked;
    for (const SharedThing& thing : d_->tickedExternal) {
        if (thing.day == day && present.contains(thing.id))
            ticked.append(thing);
    }
    std::stable_sort(ticked.begin(), ticked.end(),
                     [](const SharedThing& a, const SharedThing& b) { return a.title < b.title; });
    return open + ticked;
}

std::optional<SharedThing> AppModel::externalThing(const QString& id) const
{
    for (const SharedThing& thing : d_->familyThings) {
        if (thing.id == id)
            return thing;
    }
    if (const auto ticked = d_->tickedExternal.constFind(id); ticked != d_->tickedExternal.cend())
        return *ticked;
    return std::nullopt;
}

void AppModel::toggleExternal(const SharedThing& thing)
{
    const Transition transition(*this);
    const bool done = !thing.done;
    const FamilyStore::Answer written = sync_->familySync->setOthersDone(thing.id, thing.sourceApp, done);
    // Refused, the row goes on showing what the store holds.
    if (!externalChangeFailed(failureOf(written), changeFailedText(thing.sourceApp))) {
        QMap<QString, SharedThing> ticked = d_->tickedExternal;
        if (done) {
            SharedThing kept = thing;
            kept.done = true;
            ticked.insert(thing.id, kept);
        } else {
            ticked.remove(thing.id);
        }
        assign(d_->tickedExternal, ticked, &AppModel::tickedExternalChanged);
        if (written)
            announce();
    }
    refreshFromFamily();
}

void AppModel::renameExternal(const SharedThing& thing, const QString& title)
{
    const Transition transition(*this);
    const QString trimmed = pemby::titleText(title);
    // A sibling's title with a line break reads as one line in the field: left as it
    // was, it is no rename, and the sibling's text stays its own.
    if (trimmed.isEmpty() || trimmed == pemby::titleText(thing.title))
        return;
    const FamilyStore::Answer written = sync_->familySync->setOthersTitle(thing.id, thing.sourceApp, trimmed);
    if (!externalChangeFailed(failureOf(written), changeFailedText(thing.sourceApp))) {
        if (d_->tickedExternal.contains(thing.id)) {
            QMap<QString, SharedThing> ticked = d_->tickedExternal;
            ticked[thing.id].title = trimmed;
            assign(d_->tickedExternal, ticked, &AppModel::tickedExternalChanged);
        }
        if (written)
            announce();
    }
    refreshFromFamily();
}

void AppModel::setExternalSteps(const QString& id, const QList<SharedStep>& steps)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing)
        return;
    const FamilyStore::Answer written = familyStore_.setSteps(id, steps);
    if (!externalChangeFailed(failureOf(written), changeFailedText(thing->sourceApp))) {
        if (d_->tickedExternal.contains(id)) {
            QMap<QString, SharedThing> ticked = d_->tickedExternal;
            ticked[id].steps = steps;
            assign(d_->tickedExternal, ticked, &AppModel::tickedExternalChanged);
        }
        if (written)
            announce();
    }
    refreshFromFamily();
}

void AppModel::moveExternal(const QString& id, Day day)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing || thing->day == day.iso())
        return;
    const FamilyStore::Answer written = familyStore_.setDay(id, day.iso());
    // A row that is gone meanwhile, or that the store refused to change, was not moved,
    // so nothing says it was.
    if (externalChangeFailed(failureOf(written), changeFailedText(thing->sourceApp)) || !written) {
        refreshFromFamily();
        return;
    }
    setSlot(id, std::nullopt);
    announce();
    refreshFromFamily();
    showToast(QStringLiteral("Moved it in ") + appName(thing->sourceApp) + QStringLiteral(" too."));
}

void AppModel::deleteExternal(const QString& id)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing)
        return;
    const FamilyStore::Answer written = familyStore_.markDeleted(id, plannerTag());
    // Refused, the thing is still there: it stays ticked, selected and open.
    if (externalChangeFailed(failureOf(written), changeFailedText(thing->sourceApp))) {
        refreshFromFamily();
        return;
    }
    if (d_->tickedExternal.contains(id)) {
        QMap<QString, SharedThing> ticked = d_->tickedExternal;
        ticked.remove(id);
        assign(d_->tickedExternal, ticked, &AppModel::tickedExternalChanged);
    }
    if (d_->selectedExternal == id)
        setSelectedExternal(std::nullopt);
    if (d_->openedExternal == id)
        setOpenedExternal(std::nullopt);
    if (d_->editing == Editing::external(id))
        setEditing(std::nullopt);
    if (written)
        announce();
    refreshFromFamily();
    if (written)
        showToast(QStringLiteral("Deleted. Gone from ") + appName(thing->sourceApp) + QStringLiteral(" too."));
}

bool AppModel::saveExternalNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing)
        return true;
    // The note id comes from another app's row: it names a file only when it is a UUID
    // (storeNoteFile makes a fresh one otherwise), so a row can never make the planner
    // write or delete outside the notes folder.
    const std::optional<QByteArray> before = noteFiles_.read(thing->noteID);
    const auto stored = storeNoteFile(thing->noteID, rtf, plain);
    if (!stored)
        return false;
    const FamilyStore::Answer written = familyStore_.setNote(id, stored->noteID, stored->note);
    const bool failed = externalChangeFailed(failureOf(written), QStringLiteral("Couldn't save the note: "));
    if (failed) {
        // The row keeps its note, so the file goes back to what the row names.
        if (stored->noteID && stored->noteID != thing->noteID)
            noteFiles_.remove(stored->noteID);
        if (before && thing->noteID && !writeNote(*thing->noteID, *before))
            qCWarning(lcNotes) << "couldn't put back the note" << *thing->noteID;
    } else if (written) {
        announce();
    }
    refreshFromFamily();
    return !failed;
}

QString AppModel::changeFailedText(const QString& sourceApp)
{
    return QStringLiteral("Couldn't change it in ") + appName(sourceApp) + QStringLiteral(": ");
}

// A change of another app's thing that the store refused becomes the save error;
// one that went through ends the error an earlier refusal left. Whether it failed.
// `text` leads the error: "Couldn't change it in Pemby Todo: " and SQLite's reason.
// `failure` is the store's reason when it refused.
bool AppModel::externalChangeFailed(const std::optional<QString>& failure, const QString& text)
{
    if (!failure) {
        if (d_->externalError && d_->saveError == d_->externalError)
            assign(d_->saveError, std::optional<QString>(), &AppModel::saveErrorChanged);
        d_->externalError.reset();
        return false;
    }
    qCWarning(lcSync) << "the family store refused a change of another app's thing:" << *failure;
    d_->externalError = text + *failure;
    assign(d_->saveError, d_->externalError, &AppModel::saveErrorChanged);
    return true;
}

// Remembers (or forgets, for none) the slot of another app's thing; below 0 is 0.
void AppModel::setSlot(const QString& id, std::optional<int> slot)
{
    QMap<QString, int> changed = d_->externalSlots;
    if (slot)
        changed.insert(id, std::max(0, *slot));
    else
        changed.remove(id);
    setExternalSlots(changed);
}

// Stores the slots and writes them all under "order.otherApps", when they changed.
void AppModel::setExternalSlots(const QMap<QString, int>& remembered)
{
    if (!assign(d_->externalSlots, remembered, &AppModel::externalSlotsChanged))
        return;
    // The whole map, every time.
    d_->settings->writeOtherAppSlots(remembered);
}
