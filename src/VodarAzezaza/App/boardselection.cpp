// The board's selection: clicks with their modifiers, the arrow keys that move it, the
// command-arrows that carry the selected things themselves, the tick of all of them, and
// who takes it over when things leave.
#include "boardselection.h"

#include "appmodelstate.h"

#include <algorithm>

const QSet<QUuid>& BoardSelection::ids() const
{
    return model_.d_->selection;
}

void BoardSelection::setIDs(const QSet<QUuid>& ids)
{
    model_.assign(model_.d_->selection, ids, *this, &BoardSelection::selectionChanged);
}

const std::optional<QUuid>& BoardSelection::anchor() const
{
    return model_.d_->selectionAnchor;
}

void BoardSelection::setAnchor(const std::optional<QUuid>& id)
{
    model_.assign(model_.d_->selectionAnchor, id, *this, &BoardSelection::selectionAnchorChanged);
}

QList<Thing> BoardSelection::orderedThings() const
{
    QList<Thing> selected;
    const QSet<QUuid>& ids = model_.d_->selection;
    if (ids.isEmpty())
        return selected;
    for (const Place& place : model_.columns()) {
        for (const Thing& thing : model_.d_->planner.things(place)) {
            if (ids.contains(thing.id))
                selected.append(thing);
        }
    }
    return selected;
}

QList<QUuid> BoardSelection::orderedIDs() const
{
    QList<QUuid> ids;
    for (const Thing& thing : orderedThings())
        ids.append(thing.id);
    return ids;
}

std::optional<QUuid> BoardSelection::primary() const
{
    const auto& anchor = model_.d_->selectionAnchor;
    if (anchor && model_.d_->selection.contains(*anchor))
        return anchor;
    const QList<QUuid> ids = orderedIDs();
    if (ids.isEmpty())
        return std::nullopt;
    return ids.first();
}

void BoardSelection::select(const std::optional<QUuid>& id)
{
    const AppModel::Transition transition(model_);
    setIDs(id ? QSet<QUuid>{*id} : QSet<QUuid>());
    setAnchor(id);
    model_.otherApps().setSelectedExternal(std::nullopt);
}

void BoardSelection::selectExternal(const QString& id)
{
    const AppModel::Transition transition(model_);
    setIDs({});
    setAnchor(std::nullopt);
    model_.otherApps().setSelectedExternal(id);
}

void BoardSelection::clear()
{
    const AppModel::Transition transition(model_);
    setIDs({});
    setAnchor(std::nullopt);
    model_.otherApps().setSelectedExternal(std::nullopt);
}

void BoardSelection::click(const QUuid& id, bool command, bool shift)
{
    const AppModel::Transition transition(model_);
    const QSet<QUuid>& selection = model_.d_->selection;
    const std::optional<QUuid>& anchor = model_.d_->selectionAnchor;
    const Planner& plan = model_.d_->planner;
    if (shift && anchor && *anchor != id) {
        const auto from = plan.locate(*anchor);
        const auto to = plan.locate(id);
        if (from && to && from->place == to->place) {
            const QList<Thing> things = plan.things(to->place);
            QSet<QUuid> range = command ? selection : QSet<QUuid>();
            for (int i = std::min(from->index, to->index); i <= std::max(from->index, to->index); ++i)
                range.insert(things[i].id);
            setIDs(range);
            return;
        }
    }
    if (!command) {
        select(id);
    } else if (selection.contains(id)) {
        setIDs(QSet<QUuid>(selection).subtract({id}));
        if (anchor == id)
            setAnchor(std::nullopt);
    } else {
        setIDs(QSet<QUuid>(selection).unite({id}));
        setAnchor(id);
    }
}

void BoardSelection::move(int dx, int dy)
{
    const AppModel::Transition transition(model_);
    const Planner& plan = model_.d_->planner;
    const QList<Place> places = model_.columns();
    const auto first = primary();
    const auto at = first ? plan.locate(*first) : std::nullopt;
    if (!at) {
        // Today's things come first only when today is on the board; a board left on
        // another week starts at its own first column, not at a thing out of sight.
        const Place today = Place::onDay(model_.d_->today);
        if (places.contains(today)) {
            if (const QList<Thing> things = plan.things(today); !things.isEmpty()) {
                select(things.first().id);
                return;
            }
        }
        for (const Place& place : places) {
            if (const QList<Thing> things = plan.things(place); !things.isEmpty()) {
                select(things.first().id);
                return;
            }
        }
        select(std::nullopt);
        return;
    }

    if (dy != 0) {
        const QList<Thing> things = plan.things(at->place);
        const int j = at->index + dy;
        if (j >= 0 && j < things.size())
            select(things[j].id);
        return;
    }
    const qsizetype column = places.indexOf(at->place);
    if (column < 0)
        return;
    // Empty columns are jumped over; the row stays where the target is long enough.
    for (qsizetype c = column + dx; c >= 0 && c < places.size(); c += dx) {
        const QList<Thing> things = plan.things(places[c]);
        if (!things.isEmpty()) {
            select(things[std::min<qsizetype>(at->index, things.size() - 1)].id);
            return;
        }
        if (dx == 0)
            return;
    }
}

void BoardSelection::carry(int dx, int dy)
{
    const AppModel::Transition transition(model_);
    // Carrying nowhere would only put the things at the end of their own day.
    if (dx == 0 && dy == 0)
        return;
    const QList<QUuid> ids = orderedIDs();
    if (ids.isEmpty())
        return;
    const auto first = primary();
    const auto at = first ? model_.d_->planner.locate(*first) : std::nullopt;
    if (!at)
        return;

    if (dy != 0) {
        model_.commit([&](Planner& plan) { plan.nudge(ids, dy); });
        return;
    }
    switch (at->place.kind()) {
    case Place::Kind::Day: {
        // Across the week's ends too: the target's week is loaded first, so the undo
        // snapshot already holds it.
        const Day target = at->place.day()->adding(dx);
        AppModel::Steps::loadWeeksOf(model_, {target});
        model_.commit([&](Planner& plan) { plan.move(ids, Place::onDay(target)); });
        return;
    }
    case Place::Kind::List: {
        const int m = at->place.listIndex() + dx;
        if (m >= 0 && m < model_.d_->planner.lists.size())
            model_.commit([&](Planner& plan) { plan.move(ids, Place::inList(m)); });
        return;
    }
    case Place::Kind::Month:
        return;
    }
}

void BoardSelection::toggle()
{
    const AppModel::Transition transition(model_);
    const QList<QUuid> ids = orderedIDs();
    if (ids.isEmpty())
        return;
    const bool allDone = std::all_of(ids.cbegin(), ids.cend(), [this](const QUuid& id) {
        const auto thing = model_.d_->planner.thing(id);
        return thing && thing->done;
    });
    model_.commit([&](Planner& plan) {
        for (const QUuid& id : ids)
            plan.update(id, [&](Thing& t) { t.done = !allDone; });
    });
}

void BoardSelection::dropLists()
{
    const AppModel::Transition transition(model_);
    QSet<QUuid> inLists;
    for (const EventuallyList& list : model_.d_->planner.lists) {
        for (const Thing& thing : list.things)
            inLists.insert(thing.id);
    }
    setIDs(QSet<QUuid>(model_.d_->selection).subtract(inLists));
    if (model_.d_->selectionAnchor && inLists.contains(*model_.d_->selectionAnchor))
        setAnchor(std::nullopt);
    const std::optional<Editing>& editing = model_.d_->editing;
    if (editing && (editing->isListName() || (editing->isNew() && editing->place().isList())))
        model_.setEditing(std::nullopt);
}

// The thing that takes the row of a thing leaving its place: the next one, else the
// one before; none when it is alone or gone.
std::optional<QUuid> BoardSelection::neighbour(const QUuid& id) const
{
    const Planner& plan = model_.d_->planner;
    const auto at = plan.locate(id);
    if (!at)
        return std::nullopt;
    const QList<Thing> things = plan.things(at->place);
    if (at->index + 1 < things.size())
        return things[at->index + 1].id;
    if (at->index > 0)
        return things[at->index - 1].id;
    return std::nullopt;
}

// The nearest thing outside `ids` in the place of the first of them that has one.
std::optional<QUuid> BoardSelection::neighbourAfterDeleting(const QList<QUuid>& ids) const
{
    const Planner& plan = model_.d_->planner;
    const QSet<QUuid> going(ids.cbegin(), ids.cend());
    for (const QUuid& id : ids) {
        const auto at = plan.locate(id);
        if (!at)
            continue;
        const QList<Thing> things = plan.things(at->place);
        for (qsizetype i = at->index + 1; i < things.size(); ++i) {
            if (!going.contains(things[i].id))
                return things[i].id;
        }
        for (qsizetype i = at->index - 1; i >= 0; --i) {
            if (!going.contains(things[i].id))
                return things[i].id;
        }
    }
    return std::nullopt;
}
