// Which rows a day column shows when other apps' things join it, and the selection:
// clicks with their modifiers, the arrow keys that move it, the command-arrows that
// carry the selected things themselves, and the other keys the key map names.
#include "appmodel.h"

#include "appmodelstate.h"

#include <algorithm>

QList<TodayRow> AppModel::rows(const QList<Thing>& mine, const QList<SharedThing>& others) const
{
    return todayRows(mine, others, d_->externalSlots);
}

void AppModel::click(const QUuid& id, bool command, bool shift)
{
    const Transition transition(*this);
    if (shift && d_->selectionAnchor && *d_->selectionAnchor != id) {
        const auto from = d_->planner.locate(*d_->selectionAnchor);
        const auto to = d_->planner.locate(id);
        if (from && to && from->place == to->place) {
            const QList<Thing> things = d_->planner.things(to->place);
            QSet<QUuid> range = command ? d_->selection : QSet<QUuid>();
            for (int i = std::min(from->index, to->index); i <= std::max(from->index, to->index); ++i)
                range.insert(things[i].id);
            setSelection(range);
            return;
        }
    }
    if (!command) {
        select(id);
    } else if (d_->selection.contains(id)) {
        setSelection(QSet<QUuid>(d_->selection).subtract({id}));
        if (d_->selectionAnchor == id)
            setSelectionAnchor(std::nullopt);
    } else {
        setSelection(QSet<QUuid>(d_->selection).unite({id}));
        setSelectionAnchor(id);
    }
}

void AppModel::moveSelection(int dx, int dy)
{
    const Transition transition(*this);
    const QList<Place> places = columns();
    const auto primary = primarySelection();
    const auto at = primary ? d_->planner.locate(*primary) : std::nullopt;
    if (!at) {
        // Today's things come first only when today is on the board; a board left on
        // another week starts at its own first column, not at a thing out of sight.
        const Place today = Place::onDay(d_->today);
        if (places.contains(today)) {
            if (const QList<Thing> things = d_->planner.things(today); !things.isEmpty()) {
                select(things.first().id);
                return;
            }
        }
        for (const Place& place : places) {
            if (const QList<Thing> things = d_->planner.things(place); !things.isEmpty()) {
                select(things.first().id);
                return;
            }
        }
        select(std::nullopt);
        return;
    }

    if (dy != 0) {
        const QList<Thing> things = d_->planner.things(at->place);
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
        const QList<Thing> things = d_->planner.things(places[c]);
        if (!things.isEmpty()) {
            select(things[std::min<qsizetype>(at->index, things.size() - 1)].id);
            return;
        }
        if (dx == 0)
            return;
    }
}

void AppModel::carrySelection(int dx, int dy)
{
    const Transition transition(*this);
    // Carrying nowhere would only put the things at the end of their own day.
    if (dx == 0 && dy == 0)
        return;
    const QList<QUuid> ids = selectedIDs();
    if (ids.isEmpty())
        return;
    const auto primary = primarySelection();
    const auto at = primary ? d_->planner.locate(*primary) : std::nullopt;
    if (!at)
        return;

    if (dy != 0) {
        commit([&](Planner& plan) { plan.nudge(ids, dy); });
        return;
    }
    switch (at->place.kind()) {
    case Place::Kind::Day: {
        // Across the week's ends too: the target's week is loaded first, so the undo
        // snapshot already holds it.
        const Day target = at->place.day()->adding(dx);
        loadWeeksOf({target});
        commit([&](Planner& plan) { plan.move(ids, Place::onDay(target)); });
        return;
    }
    case Place::Kind::List: {
        const int m = at->place.listIndex() + dx;
        if (m >= 0 && m < d_->planner.lists.size())
            commit([&](Planner& plan) { plan.move(ids, Place::inList(m)); });
        return;
    }
    case Place::Kind::Month:
        return;
    }
}

void AppModel::toggleSelection()
{
    const Transition transition(*this);
    const QList<QUuid> ids = selectedIDs();
    if (ids.isEmpty())
        return;
    const bool allDone = std::all_of(ids.cbegin(), ids.cend(), [this](const QUuid& id) {
        const auto thing = d_->planner.thing(id);
        return thing && thing->done;
    });
    commit([&](Planner& plan) {
        for (const QUuid& id : ids)
            plan.update(id, [&](Thing& t) { t.done = !allDone; });
    });
}

void AppModel::setMark(const QList<QUuid>& ids, std::optional<Mark> mark)
{
    const Transition transition(*this);
    commit([&](Planner& plan) {
        for (const QUuid& id : ids)
            plan.update(id, [&](Thing& t) { t.mark = mark; });
    });
}

// ---- Keys ------------------------------------------------------------------------

KeyCommand AppModel::keyCommand(const KeyPress& press, bool inFocus) const
{
    KeyView view;
    view.inFocus = inFocus;
    view.mode = d_->mode;
    view.fieldOpen = d_->editing || d_->opened || d_->editingNote || d_->openedExternal || d_->editingExternalNote || d_->zoomed
                     || d_->isSearching;
    view.hasSelection = !d_->selection.isEmpty();
    view.hasSelectedExternal = d_->selectedExternal.has_value();
    // Only worked out when the key could need them: both read the board.
    if (!view.fieldOpen && (inFocus || d_->mode != Mode::Notes)) {
        view.hasPrimarySelection = primarySelection().has_value();
        view.showsSelectedExternal = otherApps().shownSelectedExternal().has_value();
    }
    return ::keyCommand(press, view);
}

KeyPress::Result AppModel::handleKey(const KeyPress& press, bool inFocus)
{
    const Transition transition(*this);
    const KeyCommand command = keyCommand(press, inFocus);
    using Kind = KeyCommand::Kind;
    switch (command.kind) {
    case Kind::None:
        break;
    case Kind::DeleteExternal:
        otherApps().deleteExternal(*d_->selectedExternal);
        break;
    case Kind::DeleteSelection:
        deleteSelection(false);
        break;
    case Kind::MoveSelection:
        moveSelection(command.dx, command.dy);
        break;
    case Kind::CarrySelection:
        carrySelection(command.dx, command.dy);
        break;
    case Kind::NotThisWeek:
        notThisWeek(selectedIDs());
        break;
    case Kind::ToggleExternal:
        if (const auto thing = otherApps().shownSelectedExternal())
            otherApps().toggleExternal(*thing);
        break;
    case Kind::ToggleSelection:
        toggleSelection();
        break;
    case Kind::OpenExternalDetail:
        openExternalDetail(QString(*d_->selectedExternal));
        break;
    case Kind::EditExternal:
        setEditing(Editing::external(*d_->selectedExternal));
        break;
    case Kind::OpenDetail:
        setOpened(primarySelection());
        break;
    case Kind::EditTitle:
        setEditing(Editing::thing(*primarySelection()));
        break;
    case Kind::ClearSelection:
        clearSelection();
        break;
    case Kind::NewThing:
        // The panel starts afresh; the board keeps the selection, which decided the place.
        if (inFocus) {
            startNewThing(focusPlace());
        } else {
            setEditing(Editing::newThing(placeForNew()));
        }
        break;
    case Kind::ToggleFloats:
        settings().setFloats(!d_->floats);
        break;
    case Kind::SetMark:
        if (const QList<QUuid> ids = selectedIDs(); !ids.isEmpty())
            setMark(ids, command.mark);
        break;
    case Kind::GoToday:
        goToday();
        break;
    case Kind::ShowWeek:
        setMode(Mode::Week);
        break;
    case Kind::ShowMonth:
        setMode(Mode::Month);
        break;
    case Kind::Go:
        go(command.dx);
        break;
    case Kind::ToggleLists:
        settings().setShowLists(!d_->showLists);
        break;
    case Kind::SendToEventually:
        sendToEventually(selectedIDs());
        break;
    }
    return command.result;
}
