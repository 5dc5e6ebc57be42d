// The keys of the boards and the focus panel: what the key map makes of a press, given
// what the model shows, and the operation that carries it out.
#include "appmodel.h"

#include "appmodelstate.h"

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
        view.hasPrimarySelection = selection().primary().has_value();
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
        selection().move(command.dx, command.dy);
        break;
    case Kind::CarrySelection:
        selection().carry(command.dx, command.dy);
        break;
    case Kind::NotThisWeek:
        notThisWeek(selection().orderedIDs());
        break;
    case Kind::ToggleExternal:
        if (const auto thing = otherApps().shownSelectedExternal())
            otherApps().toggleExternal(*thing);
        break;
    case Kind::ToggleSelection:
        selection().toggle();
        break;
    case Kind::OpenExternalDetail:
        openExternalDetail(QString(*d_->selectedExternal));
        break;
    case Kind::EditExternal:
        setEditing(Editing::external(*d_->selectedExternal));
        break;
    case Kind::OpenDetail:
        setOpened(selection().primary());
        break;
    case Kind::EditTitle:
        setEditing(Editing::thing(*selection().primary()));
        break;
    case Kind::ClearSelection:
        selection().clear();
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
        if (const QList<QUuid> ids = selection().orderedIDs(); !ids.isEmpty())
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
        sendToEventually(selection().orderedIDs());
        break;
    }
    return command.result;
}
