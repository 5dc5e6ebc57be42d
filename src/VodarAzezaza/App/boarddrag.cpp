// Drag and drop: what a drag from this window carries, what a drop does to the plan
// and the family store, and where the other apps' things of today's column stand once
// own things landed there or left; and the one way records from outside become things.
#include "boarddrag.h"

#include "appmodelstate.h"
#include "logcategories.h"
#include "pembythings.h"
#include "textutil.h"

namespace {

QString describe(const Place& place)
{
    switch (place.kind()) {
    case Place::Kind::Day:
        return QStringLiteral("day ") + place.day()->iso();
    case Place::Kind::List:
        return QStringLiteral("list ") + QString::number(place.listIndex());
    case Place::Kind::Month:
        return QStringLiteral("month %1-%2")
            .arg(place.month().year, 4, 10, QLatin1Char('0'))
            .arg(place.month().month, 2, 10, QLatin1Char('0'));
    }
    return {};
}

QList<QUuid> idsOf(const QList<Thing>& things)
{
    QList<QUuid> ids;
    ids.reserve(things.size());
    for (const Thing& thing : things)
        ids.append(thing.id);
    return ids;
}

// The ids of `wanted` in the plan's own order: days, lists, months.
QList<QUuid> inPlanOrder(const Planner& plan, const QSet<QUuid>& wanted)
{
    QList<QUuid> ids;
    plan.forEachThing([&](const Place&, int, const Thing& thing) {
        if (wanted.contains(thing.id))
            ids.append(thing.id);
    });
    return ids;
}

// What another app's thing of today's column keeps to while own things move.
struct Anchor {
    enum class Kind { Thing, FirstLanded, End };
    QString id;    // the other app's thing
    Kind kind = Kind::End;
    QUuid above;   // Thing: the own thing it stays just above
};

} // namespace

bool BoardDrag::isDraggingInside() const
{
    return !model_.d_->dragging.isEmpty() || model_.d_->draggingExternal.has_value();
}

const QSet<QUuid>& BoardDrag::dragging() const
{
    return model_.d_->dragging;
}

void BoardDrag::setDragging(const QSet<QUuid>& ids)
{
    model_.assign(model_.d_->dragging, ids, *this, &BoardDrag::draggingChanged);
}

const std::optional<SharedThing>& BoardDrag::draggingExternal() const
{
    return model_.d_->draggingExternal;
}

void BoardDrag::setDraggingExternal(const std::optional<SharedThing>& thing)
{
    model_.assign(model_.d_->draggingExternal, thing, *this, &BoardDrag::draggingExternalChanged);
}

QString BoardDrag::beginDrag(const QUuid& id)
{
    const AppModel::Transition transition(model_);
    setDraggingExternal(std::nullopt);
    if (model_.d_->selection.contains(id)) {
        setDragging(model_.d_->selection);
    } else {
        model_.selection().select(id);
        setDragging({id});
    }
    const auto thing = model_.d_->planner.thing(id);
    return thing ? thing->title : QString();
}

QString BoardDrag::beginExternalDrag(const SharedThing& thing)
{
    const AppModel::Transition transition(model_);
    qCInfo(lcDrag, "family drag began: %s", qUtf8Printable(thing.id));
    model_.selection().clear();
    model_.otherApps().setSelectedExternal(thing.id);
    setDragging({});
    setDraggingExternal(thing);
    return thing.id;
}

void BoardDrag::endDrag()
{
    const AppModel::Transition transition(model_);
    // A drag that was cancelled, or let go outside every target, must not make the next
    // drop from another program move these things instead of taking its text.
    setDragging({});
    setDraggingExternal(std::nullopt);
}

bool BoardDrag::drop(const QStringList& texts, const Place& place, std::optional<int> before, bool externalAbove)
{
    const AppModel::Transition transition(model_);
    const Place today = Place::onDay(model_.d_->today);
    const QList<QUuid> mine = idsOf(model_.d_->planner.things(today));
    const int n = int(mine.size());
    const bool ontoToday = place == today;
    const int target = ontoToday ? before.value_or(n) : 0;
    const QSet<QUuid> landing = model_.d_->dragging;

    // Only own things that move shift today's own rows under the other apps' things.
    // Another app's thing that moves sets its own slot, and text from outside lands
    // after the last row, where it pushes nobody down.
    QList<Anchor> anchors;
    if (!model_.d_->draggingExternal && !landing.isEmpty()) {
        for (const SharedThing& other : model_.otherApps().todayFromOthers()) {
            const int stored = model_.d_->externalSlots.value(other.id, n);
            const int slot = std::min(stored, n);
            Anchor anchor;
            anchor.id = other.id;
            if (ontoToday && externalAbove && slot == target) {
                anchor.kind = Anchor::Kind::FirstLanded;
            } else if (stored < n) {
                // The first own thing from its slot on that stays put: one that is being
                // dragged would take the other app's thing along.
                for (int k = slot; k < n; ++k) {
                    if (!landing.contains(mine[k])) {
                        anchor.kind = Anchor::Kind::Thing;
                        anchor.above = mine[k];
                        break;
                    }
                }
            }
            anchors.append(anchor);
        }
    }

    const bool taken = dropped(texts, place, before);
    if (!taken || anchors.isEmpty())
        return taken;

    const QList<QUuid> after = idsOf(model_.d_->planner.things(today));
    std::optional<int> firstLanded;
    for (int i = 0; i < after.size(); ++i) {
        if (landing.contains(after[i])) {
            firstLanded = i;
            break;
        }
    }
    QMap<QString, int> remembered = model_.d_->externalSlots;
    for (const Anchor& anchor : anchors) {
        std::optional<int> slot;
        switch (anchor.kind) {
        case Anchor::Kind::Thing:
            if (const qsizetype index = after.indexOf(anchor.above); index >= 0)
                slot = int(index);
            break;
        case Anchor::Kind::FirstLanded:
            slot = firstLanded;
            break;
        case Anchor::Kind::End:
            break;
        }
        if (slot)
            remembered.insert(anchor.id, *slot);
        else
            remembered.remove(anchor.id);
    }
    model_.otherApps().setExternalSlots(remembered);
    return taken;
}

bool BoardDrag::dropped(const QStringList& texts, const Place& place, std::optional<int> before)
{
    const QString external = model_.d_->draggingExternal ? model_.d_->draggingExternal->id : QStringLiteral("-");
    qCInfo(lcDrag, "drop on %s external=%s own=%lld", qUtf8Printable(describe(place)), qUtf8Printable(external),
           qlonglong(model_.d_->dragging.size()));

    if (model_.d_->draggingExternal) {
        const SharedThing other = *model_.d_->draggingExternal;
        const auto day = place.day();
        if (!day) {
            endDrag();
            return false;
        }
        if (other.day == day->iso()) {
            // Within its own day: only where it stands among the own rows changes.
            model_.otherApps().setSlot(other.id, before);
            model_.selection().clear();
            model_.otherApps().setSelectedExternal(other.id);
        } else {
            model_.otherApps().moveExternal(other.id, *day);
        }
        endDrag();
        return true;
    }

    if (model_.d_->dragging.isEmpty()) {
        QList<PembyThing> things;
        for (const QString& text : texts)
            things.append(PembyThings::parse(text));
        const bool added = addThings(things, place);
        endDrag();
        return added;
    }

    QList<QUuid> ids;
    for (const QUuid& id : model_.selection().orderedIDs()) {
        if (model_.d_->dragging.contains(id))
            ids.append(id);
    }
    if (ids.isEmpty())
        ids = inPlanOrder(model_.d_->planner, model_.d_->dragging);
    // The target week's file keeps its other things only when the week is in the plan
    // before it is saved.
    if (const auto day = place.day())
        AppModel::Steps::loadWeeksOf(model_, {*day});
    model_.commit([&](Planner& plan) { plan.move(ids, place, before); });
    endDrag();
    return true;
}

// Whether things can be added there: a list must be one of the plan's.
bool BoardDrag::takesThings(const Place& place) const
{
    return !place.isList() || (place.listIndex() >= 0 && place.listIndex() < model_.d_->planner.lists.size());
}

bool BoardDrag::addThings(const QList<PembyThing>& things, const Place& place)
{
    const AppModel::Transition transition(model_);
    return !addNewThings(things, place).isEmpty();
}

// The ids of the things added, in order.
QList<QUuid> BoardDrag::addNewThings(const QList<PembyThing>& records, const Place& place)
{
    // A list that is not there takes nothing, and gets no note files written for it.
    if (!takesThings(place))
        return {};
    QList<Thing> things;
    std::optional<QString> noteFailure;
    for (const PembyThing& record : records) {
        Thing thing = record.toThing();
        if (thing.title.isEmpty())
            continue;
        if (record.rtf) {
            const QString noteID = pemby::newUuidLower();
            if (const Status written = model_.thingNotes().writeNote(noteID, *record.rtf))
                thing.noteID = noteID;
            else
                noteFailure = written.errorText();
        }
        things.append(thing);
    }
    if (things.isEmpty())
        return {};

    if (const auto day = place.day())
        AppModel::Steps::loadWeeksOf(model_, {*day});
    QList<QUuid> added;
    model_.commit([&](Planner& plan) {
        for (const Thing& thing : things) {
            if (const auto id = plan.add(thing, place))
                added.append(*id);
        }
    });
    if (!added.isEmpty())
        model_.selection().select(added.last());
    // The things keep their plain notes; the rich text that could not be written is
    // said after the save, which would clear it otherwise.
    if (noteFailure)
        model_.thingNotes().noteNotSaved(*noteFailure);
    return added;
}
