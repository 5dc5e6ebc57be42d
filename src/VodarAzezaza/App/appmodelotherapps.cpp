// The sibling apps' things for today: shown beside the planner's own, changed straight
// in the family store (never copied into the plan, never undoable here), each change
// announced and followed by a fresh read of the store.
#include "appmodel.h"

#include "textutil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

QString AppModel::appName(const QString& sourceApp)
{
    return sourceApp == u"todo" ? QStringLiteral("Pemby Todo") : sourceApp;
}

QList<SharedThing> AppModel::todayFromOthers() const
{
    const QString day = today_.iso();
    QList<SharedThing> open;
    QSet<QString> present;
    for (const SharedThing& thing : familyThings_) {
        present.insert(thing.id);
        if (thing.day == day && !thing.done && !tickedExternal_.contains(thing.id))
            open.append(thing);
    }
    // Ticked here, they stay in the column, shown done, until they leave the store.
    QList<SharedThing> ticked;
    for (const SharedThing& thing : tickedExternal_) {
        if (thing.day == day && present.contains(thing.id))
            ticked.append(thing);
    }
    std::stable_sort(ticked.begin(), ticked.end(),
                     [](const SharedThing& a, const SharedThing& b) { return a.title < b.title; });
    return open + ticked;
}

std::optional<SharedThing> AppModel::externalThing(const QString& id) const
{
    for (const SharedThing& thing : familyThings_) {
        if (thing.id == id)
            return thing;
    }
    if (const auto ticked = tickedExternal_.constFind(id); ticked != tickedExternal_.cend())
        return *ticked;
    return std::nullopt;
}

void AppModel::toggleExternal(const SharedThing& thing)
{
    const Transition transition(*this);
    const bool done = !thing.done;
    QMap<QString, SharedThing> ticked = tickedExternal_;
    if (done) {
        SharedThing kept = thing;
        kept.done = true;
        ticked.insert(thing.id, kept);
    } else {
        ticked.remove(thing.id);
    }
    assign(tickedExternal_, ticked, &AppModel::tickedExternalChanged);
    if (familyStore_.setDone(thing.id, done))
        announce();
    refreshFromFamily();
}

void AppModel::renameExternal(const SharedThing& thing, const QString& title)
{
    const Transition transition(*this);
    const QString trimmed = pemby::trimWhitespace(title);
    if (trimmed.isEmpty() || trimmed == thing.title)
        return;
    const bool written = familyStore_.setTitle(thing.id, trimmed);
    if (tickedExternal_.contains(thing.id)) {
        QMap<QString, SharedThing> ticked = tickedExternal_;
        ticked[thing.id].title = trimmed;
        assign(tickedExternal_, ticked, &AppModel::tickedExternalChanged);
    }
    if (written)
        announce();
    refreshFromFamily();
}

void AppModel::setExternalSteps(const QString& id, const QList<SharedStep>& steps)
{
    const Transition transition(*this);
    if (!externalThing(id))
        return;
    const bool written = familyStore_.setSteps(id, steps);
    if (tickedExternal_.contains(id)) {
        QMap<QString, SharedThing> ticked = tickedExternal_;
        ticked[id].steps = steps;
        assign(tickedExternal_, ticked, &AppModel::tickedExternalChanged);
    }
    if (written)
        announce();
    refreshFromFamily();
}

void AppModel::moveExternal(const QString& id, Day day)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing || thing->day == day.iso())
        return;
    // A row that is gone meanwhile was not moved, so nothing says it was.
    if (!familyStore_.setDay(id, day.iso())) {
        refreshFromFamily();
        return;
    }
    setSlot(id, std::nullopt);
    announce();
    refreshFromFamily();
    show(QStringLiteral("Moved it in ") + appName(thing->sourceApp) + QStringLiteral(" too."));
}

void AppModel::deleteExternal(const QString& id)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing)
        return;
    const bool written = familyStore_.markDeleted(id, plannerTag());
    if (tickedExternal_.contains(id)) {
        QMap<QString, SharedThing> ticked = tickedExternal_;
        ticked.remove(id);
        assign(tickedExternal_, ticked, &AppModel::tickedExternalChanged);
    }
    if (selectedExternal_ == id)
        setSelectedExternal(std::nullopt);
    if (openedExternal_ == id)
        setOpenedExternal(std::nullopt);
    if (editing_ == Editing::external(id))
        setEditing(std::nullopt);
    if (written)
        announce();
    refreshFromFamily();
    if (written)
        show(QStringLiteral("Deleted. Gone from ") + appName(thing->sourceApp) + QStringLiteral(" too."));
}

void AppModel::saveExternalNote(const QString& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    const Transition transition(*this);
    const auto thing = externalThing(id);
    if (!thing)
        return;
    // The note id comes from another app's row: it names a file only when it is a UUID
    // (storeNoteFile makes a fresh one otherwise), so a row can never make the planner
    // write or delete outside the notes folder.
    const auto stored = storeNoteFile(thing->noteID, rtf, plain);
    if (!stored)
        return;
    if (familyStore_.setNote(id, stored->noteID, stored->note))
        announce();
    refreshFromFamily();
}

void AppModel::setSlot(const QString& id, std::optional<int> slot)
{
    QMap<QString, int> changed = externalSlots_;
    if (slot)
        changed.insert(id, std::max(0, *slot));
    else
        changed.remove(id);
    setExternalSlots(changed);
}

void AppModel::setExternalSlots(const QMap<QString, int>& remembered)
{
    if (!assign(externalSlots_, remembered, &AppModel::externalSlotsChanged))
        return;
    // The whole map, as one JSON object, every time.
    QJsonObject object;
    for (auto it = remembered.cbegin(); it != remembered.cend(); ++it)
        object.insert(it.key(), *it);
    writeSetting(QStringLiteral("order.otherApps"),
                 QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}
