// The one key map of the boards and the focus panel. Working out what a press asks
// for changes nothing, so the views can ask it while deciding whether a menu shortcut
// may have the key; handling it then calls the model's own operations.
#include "keymap.h"

#include "appmodel.h"

#include <QKeyEvent>

namespace {

using Kind = KeyCommand::Kind;

// Delete, forward delete, and the characters they type on the desktops we run on
// (DEL, backspace, and the Mac's function-key code for forward delete).
bool isDelete(const KeyPress& press)
{
    if (press.key == Qt::Key_Backspace || press.key == Qt::Key_Delete)
        return true;
    return press.text.size() == 1
        && (press.text[0] == QChar(0x7F) || press.text[0] == QChar(0x08) || press.text[0] == QChar(0xF728));
}

} // namespace

KeyPress KeyPress::fromEvent(const QKeyEvent& event)
{
    KeyPress press;
    press.key = Qt::Key(event.key());
    press.text = event.text();
    press.command = event.modifiers().testFlag(Qt::ControlModifier);
    press.shift = event.modifiers().testFlag(Qt::ShiftModifier);
    press.repeat = event.isAutoRepeat();
    return press;
}

std::optional<SharedThing> AppModel::shownSelectedExternal() const
{
    if (!selectedExternal_)
        return std::nullopt;
    for (const SharedThing& thing : todayFromOthers()) {
        if (thing.id == *selectedExternal_)
            return thing;
    }
    return std::nullopt;
}

KeyCommand AppModel::keyCommand(const KeyPress& press, bool inFocus) const
{
    const KeyCommand ignored;
    // The notes screen has keys of its own; every open field, popover, sheet or the
    // search keeps its keys.
    if (!inFocus && mode_ == Mode::Notes)
        return ignored;
    if (editing_ || opened_ || editingNote_ || openedExternal_ || editingExternalNote_ || zoomed_ || isSearching_)
        return ignored;

    if (isDelete(press)) {
        // Only while it is still in today's column: a thing gone from there is not
        // what the user sees selected.
        if (shownSelectedExternal())
            return KeyCommand::handled(Kind::DeleteExternal);
        if (selection_.isEmpty())
            return ignored;
        return KeyCommand::handled(Kind::DeleteSelection);
    }

    const Kind moveOrCarry = press.command ? Kind::CarrySelection : Kind::MoveSelection;
    switch (press.key) {
    case Qt::Key_Left:
        if (inFocus)
            return ignored;
        return KeyCommand::handled(moveOrCarry, -1, 0);
    case Qt::Key_Right:
        if (inFocus)
            return ignored;
        if (press.shift)
            return KeyCommand::handled(Kind::NotThisWeek);
        return KeyCommand::handled(moveOrCarry, 1, 0);
    case Qt::Key_Up:
        return KeyCommand::handled(moveOrCarry, 0, -1);
    case Qt::Key_Down:
        return KeyCommand::handled(moveOrCarry, 0, 1);
    case Qt::Key_Space:
        if (shownSelectedExternal())
            return KeyCommand::handled(Kind::ToggleExternal);
        if (selection_.isEmpty())
            return ignored;
        return KeyCommand::handled(Kind::ToggleSelection);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selectedExternal_)
            return KeyCommand::handled(press.command ? Kind::OpenExternalDetail : Kind::EditExternal);
        if (!primarySelection())
            return ignored;
        return KeyCommand::handled(press.command ? Kind::OpenDetail : Kind::EditTitle);
    case Qt::Key_Escape:
        return KeyCommand::handled(Kind::ClearSelection);
    default:
        break;
    }
    // The menus have these.
    if (press.command)
        return ignored;

    // A shifted letter acts like the plain one.
    const QString c = press.text.toLower();
    if (inFocus) {
        if (c == u"n")
            return KeyCommand::handled(Kind::NewThing);
        if (c == u"p")
            return KeyCommand::handled(Kind::ToggleFloats);
    } else {
        if (c == u"n")
            return KeyCommand::handled(Kind::NewThing);
        if (c == u"t")
            return KeyCommand::handled(Kind::GoToday);
        if (c == u"w")
            return KeyCommand::handled(Kind::ShowWeek);
        if (c == u"m")
            return KeyCommand::handled(Kind::ShowMonth);
        if (c == u"[")
            return KeyCommand::handled(Kind::Go, -1);
        if (c == u"]")
            return KeyCommand::handled(Kind::Go, 1);
        if (c == u"l")
            return mode_ == Mode::Week ? KeyCommand::handled(Kind::ToggleLists) : ignored;
        if (c == u"e")
            return selection_.isEmpty() ? ignored : KeyCommand::handled(Kind::SendToEventually);
    }
    if (c == u"1" || c == u"2" || c == u"3")
        return selection_.isEmpty() ? ignored : KeyCommand::marking(allMarks[c[0].unicode() - u'1']);
    if (c == u"0")
        return selection_.isEmpty() ? ignored : KeyCommand::marking(std::nullopt);
    return ignored;
}

KeyPress::Result AppModel::handleKey(const KeyPress& press, bool inFocus)
{
    const Transition transition(*this);
    const KeyCommand command = keyCommand(press, inFocus);
    switch (command.kind) {
    case Kind::None:
        break;
    case Kind::DeleteExternal:
        deleteExternal(*selectedExternal_);
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
        if (const auto thing = shownSelectedExternal())
            toggleExternal(*thing);
        break;
    case Kind::ToggleSelection:
        toggleSelection();
        break;
    case Kind::OpenExternalDetail: {
        const QString id = *selectedExternal_;
        clearSelection();
        setSelectedExternal(id);
        setEditing(std::nullopt);
        setOpenedExternal(id);
        break;
    }
    case Kind::EditExternal:
        setEditing(Editing::external(*selectedExternal_));
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
        setFloats(!floats_);
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
        setShowLists(!showLists_);
        break;
    case Kind::SendToEventually:
        sendToEventually(selectedIDs());
        break;
    }
    return command.result;
}
