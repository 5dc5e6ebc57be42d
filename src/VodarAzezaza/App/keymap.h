#pragma once
// The key press as the board and the focus panel hand it to the model's key map, free
// of any widget, and what the map makes of it. The map itself is a function of the
// press and of the little it needs to know of the board, so it reads no model.

#include "appmodeltypes.h"
#include "things.h"

#include <QString>
#include <Qt>

#include <optional>

class QKeyEvent;

struct KeyPress {
    // Whether the press was consumed or should travel on (menus, text fields).
    enum class Result { Handled, Ignored };

    Qt::Key key = Qt::Key_unknown;
    QString text;          // the characters the press types; control characters included
    bool command = false;  // ⌘ on a Mac, Ctrl elsewhere
    bool shift = false;
    bool repeat = false;   // held down

    // The record of a key event: the primary modifier is Qt's ControlModifier, which Qt
    // puts on ⌘ on a Mac.
    static KeyPress fromEvent(const QKeyEvent& event);

    bool operator==(const KeyPress&) const = default;
};

// The operation the key map calls for a press, and whether the press counts as handled.
// Working it out changes nothing, so the views can ask before a menu shortcut takes the
// key.
struct KeyCommand {
    enum class Kind {
        None,
        DeleteExternal,      // the selected other app's thing
        DeleteSelection,     // with the toast
        MoveSelection,       // dx, dy
        CarrySelection,      // dx, dy
        NotThisWeek,         // the selected things
        ToggleExternal,      // the selected other app's thing
        ToggleSelection,
        OpenExternalDetail,  // the selected other app's thing
        EditExternal,        // its title, inline
        OpenDetail,          // of the primary selection
        EditTitle,           // of the primary selection, inline
        ClearSelection,
        NewThing,            // a new line where new things go
        ToggleFloats,
        SetMark,             // mark, none clears
        GoToday,
        ShowWeek,
        ShowMonth,
        Go,                  // dx weeks or months
        ToggleLists,
        SendToEventually,    // the selected things
    };

    Kind kind = Kind::None;
    KeyPress::Result result = KeyPress::Result::Ignored;
    int dx = 0;
    int dy = 0;
    std::optional<Mark> mark;

    // A command the map takes: handled, with its offsets or its mark.
    static KeyCommand handled(Kind kind, int dx = 0, int dy = 0)
    {
        KeyCommand command;
        command.kind = kind;
        command.result = KeyPress::Result::Handled;
        command.dx = dx;
        command.dy = dy;
        return command;
    }
    static KeyCommand marking(std::optional<Mark> mark)
    {
        KeyCommand command = handled(Kind::SetMark);
        command.mark = mark;
        return command;
    }

    bool operator==(const KeyCommand&) const = default;
};

// What the key map needs to know of the model when a key comes.
struct KeyView {
    bool inFocus = false;  // the focus panel has the key, not the board
    Mode mode = Mode::Week;
    // An inline edit, a popover, a sheet or the search is open and keeps its keys.
    bool fieldOpen = false;
    bool hasSelection = false;          // own things
    bool hasPrimarySelection = false;   // one of them is on the board
    bool hasSelectedExternal = false;   // another app's thing, shown or not
    bool showsSelectedExternal = false; // and today's column still shows it
};

// The operation a press asks for; working it out changes nothing.
KeyCommand keyCommand(const KeyPress& press, const KeyView& view);
