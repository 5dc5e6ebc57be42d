// The one key map of the boards and the focus panel. Working out what a press asks
// for changes nothing, so the views can ask it while deciding whether a menu shortcut
// may have the key; the model then carries out what it says.
#include "keymap.h"

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

KeyCommand keyCommand(const KeyPress& press, const KeyView& view)
{
    const KeyCommand ignored;
    // The notes screen has keys of its own; every open field, popover, sheet or the
    // search keeps its keys.
    const bool inFocus = view.inFocus;
    if (!inFocus && view.mode == Mode::Notes)
        return ignored;
    if (view.fieldOpen)
        return ignored;

    if (isDelete(press)) {
        // Only while it is still in today's column: a thing gone from there is not
        // what the user sees selected.
        if (view.showsSelectedExternal)
            return KeyCommand::handled(Kind::DeleteExternal);
        if (!view.hasSelection)
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
        if (view.showsSelectedExternal)
            return KeyCommand::handled(Kind::ToggleExternal);
        if (!view.hasSelection)
            return ignored;
        return KeyCommand::handled(Kind::ToggleSelection);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (view.hasSelectedExternal)
            return KeyCommand::handled(press.command ? Kind::OpenExternalDetail : Kind::EditExternal);
        if (!view.hasPrimarySelection)
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
            return view.mode == Mode::Week ? KeyCommand::handled(Kind::ToggleLists) : ignored;
        if (c == u"e")
            return !view.hasSelection ? ignored : KeyCommand::handled(Kind::SendToEventually);
    }
    if (c == u"1" || c == u"2" || c == u"3")
        return !view.hasSelection ? ignored : KeyCommand::marking(allMarks[c[0].unicode() - u'1']);
    if (c == u"0")
        return !view.hasSelection ? ignored : KeyCommand::marking(std::nullopt);
    return ignored;
}

