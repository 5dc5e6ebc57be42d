#include "appmodel.h"
#include "boardselection.h"
#include "plansearch.h"
#include "keymap.h"
#include "modelharness.h"
#include "otherapps.h"
#include "plannersettings.h"
#include "shortcuttext.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using Kind = KeyCommand::Kind;

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);

KeyPress key(Qt::Key k, bool command = false, bool shift = false, const QString& text = {})
{
    KeyPress press;
    press.key = k;
    press.text = text;
    press.command = command;
    press.shift = shift;
    return press;
}

// A press that types `text`, with the key Qt gives its first character.
KeyPress typing(const QString& text, bool command = false, bool shift = false)
{
    return key(Qt::Key(text.toUpper().at(0).unicode()), command, shift, text);
}

KeyCommand does(Kind kind, int dx = 0, int dy = 0)
{
    return KeyCommand::handled(kind, dx, dy);
}

KeyCommand marks(std::optional<Mark> mark)
{
    return KeyCommand::marking(mark);
}

const KeyCommand ignored;

// Own things A and B today and C tomorrow; the to-do app's X today and Z tomorrow.
struct Fixture {
    explicit Fixture(Mode mode = Mode::Week)
    {
        h.family().upsert(Sibling::row("X", "their X", wednesday));
        h.family().upsert(Sibling::row("Z", "their Z", thursday));
        AppModel& m = h.start();
        a = *m.add("A", today);
        b = *m.add("B", today);
        c = *m.add("C", Place::onDay(thursday));
        m.setMode(mode);
    }
    AppModel& model() { return h.model(); }

    ModelHarness h;
    QUuid a, b, c;
};

// What is selected when the key comes.
enum class Selected { Nothing, Own, Other, StaleOther, OwnAndOther, OwnAndStale };

void select(Fixture& board, Selected selected)
{
    AppModel& m = board.model();
    if (selected == Selected::Own || selected == Selected::OwnAndOther || selected == Selected::OwnAndStale)
        m.selection().select(board.a);
    if (selected == Selected::Other || selected == Selected::OwnAndOther)
        m.otherApps().setSelectedExternal(QStringLiteral("X"));
    if (selected == Selected::StaleOther || selected == Selected::OwnAndStale)
        m.otherApps().setSelectedExternal(QStringLiteral("Z"));
}

} // namespace

TEST(KeyMap, EachPressCallsOneOperationAndSaysWhetherItWasHandled)
{
    const bool board = false;
    const bool panel = true;
    struct Row {
        const char* name;
        KeyPress press;
        bool inFocus;
        Mode mode;
        Selected selected;
        KeyCommand command;
    };
    const Mode week = Mode::Week;
    const QList<Row> rows{
        {"delete: the other app's thing", key(Qt::Key_Backspace), board, week, Selected::Other, does(Kind::DeleteExternal)},
        {"delete: before the own selection", key(Qt::Key_Backspace), board, week, Selected::OwnAndOther,
         does(Kind::DeleteExternal)},
        {"forward delete: the selection", key(Qt::Key_Delete), board, week, Selected::Own, does(Kind::DeleteSelection)},
        {"DEL typed", key(Qt::Key_unknown, false, false, QString(QChar(0x7F))), board, week, Selected::Own,
         does(Kind::DeleteSelection)},
        {"backspace typed", key(Qt::Key_unknown, false, false, QString(QChar(0x08))), panel, week, Selected::Own,
         does(Kind::DeleteSelection)},
        {"the function-key forward delete", key(Qt::Key_unknown, false, false, QString(QChar(0xF728))), panel, week,
         Selected::Own, does(Kind::DeleteSelection)},
        {"delete takes no notice of modifiers", key(Qt::Key_Backspace, true, true), board, week, Selected::Own,
         does(Kind::DeleteSelection)},
        {"delete with nothing selected", key(Qt::Key_Backspace), board, week, Selected::Nothing, ignored},
        {"delete of a thing no longer shown today", key(Qt::Key_Backspace), board, week, Selected::StaleOther,
         ignored},
        {"delete of a thing no longer shown, own selected", key(Qt::Key_Delete), panel, week,
         Selected::OwnAndStale, does(Kind::DeleteSelection)},

        {"left in the panel passes on", key(Qt::Key_Left), panel, week, Selected::Own, ignored},
        {"shift-right in the panel passes on", key(Qt::Key_Right, false, true), panel, week, Selected::Own, ignored},
        {"up moves", key(Qt::Key_Up), panel, week, Selected::Own, does(Kind::MoveSelection, 0, -1)},
        {"command-up carries", key(Qt::Key_Up, true), board, week, Selected::Own, does(Kind::CarrySelection, 0, -1)},
        {"down moves even from nothing", key(Qt::Key_Down), board, week, Selected::Nothing,
         does(Kind::MoveSelection, 0, 1)},
        {"command-down carries", key(Qt::Key_Down, true, true), panel, week, Selected::Own,
         does(Kind::CarrySelection, 0, 1)},
        {"left moves", key(Qt::Key_Left, false, true), board, week, Selected::Own, does(Kind::MoveSelection, -1, 0)},
        {"command-left carries", key(Qt::Key_Left, true), board, week, Selected::Own,
         does(Kind::CarrySelection, -1, 0)},
        {"shift-right: not this week, even for nothing", key(Qt::Key_Right, false, true), board, week,
         Selected::Nothing, does(Kind::NotThisWeek)},
        {"command-shift-right: not this week", key(Qt::Key_Right, true, true), board, week, Selected::Own,
         does(Kind::NotThisWeek)},
        {"command-right carries", key(Qt::Key_Right, true), board, week, Selected::Own,
         does(Kind::CarrySelection, 1, 0)},
        {"right moves", key(Qt::Key_Right), board, Mode::Month, Selected::Own, does(Kind::MoveSelection, 1, 0)},

        {"space: the other app's thing", key(Qt::Key_Space, false, false, " "), board, week, Selected::Other,
         does(Kind::ToggleExternal)},
        {"space: a thing no longer shown falls through", key(Qt::Key_Space, false, false, " "), board, week,
         Selected::OwnAndStale, does(Kind::ToggleSelection)},
        {"space: the selection", key(Qt::Key_Space, true), panel, week, Selected::Own, does(Kind::ToggleSelection)},
        {"space with nothing selected", key(Qt::Key_Space), board, week, Selected::StaleOther, ignored},

        {"command-return: the other app's detail", key(Qt::Key_Return, true), board, week, Selected::OwnAndOther,
         does(Kind::OpenExternalDetail)},
        {"return: the other app's title", key(Qt::Key_Return), panel, week, Selected::OwnAndOther,
         does(Kind::EditExternal)},
        {"return with nothing selected", key(Qt::Key_Return), board, week, Selected::Nothing, ignored},
        {"command-return: the detail", key(Qt::Key_Return, true), board, week, Selected::Own, does(Kind::OpenDetail)},
        {"return: the title", key(Qt::Key_Return), panel, week, Selected::Own, does(Kind::EditTitle)},
        {"enter is return", key(Qt::Key_Enter), board, week, Selected::Own, does(Kind::EditTitle)},

        {"escape, even with nothing selected", key(Qt::Key_Escape), board, week, Selected::Nothing,
         does(Kind::ClearSelection)},
        {"escape in the panel", key(Qt::Key_Escape, true), panel, week, Selected::Other, does(Kind::ClearSelection)},
        {"command-n goes to the menus", typing("n", true), board, week, Selected::Own, ignored},
        {"command-1 goes to the menus", typing("1", true), panel, week, Selected::Own, ignored},

        {"n in the panel", typing("n"), panel, week, Selected::Own, does(Kind::NewThing)},
        {"a shifted N is n", typing("N", false, true), panel, week, Selected::Nothing, does(Kind::NewThing)},
        {"p in the panel", typing("p"), panel, week, Selected::Nothing, does(Kind::ToggleFloats)},
        {"e in the panel", typing("e"), panel, week, Selected::Own, ignored},
        {"t in the panel", typing("t"), panel, week, Selected::Own, ignored},
        {"1 in the panel", typing("1"), panel, week, Selected::Own, marks(Mark::Lavender)},
        {"3 in the panel", typing("3"), panel, week, Selected::Own, marks(Mark::Red)},
        {"0 in the panel", typing("0"), panel, week, Selected::Own, marks(std::nullopt)},
        {"a digit with nothing selected", typing("2"), panel, week, Selected::Nothing, ignored},
        {"0 with nothing selected", typing("0"), board, week, Selected::Other, ignored},
        {"4 is no mark", typing("4"), board, week, Selected::Own, ignored},

        {"n on the board", typing("n"), board, week, Selected::Own, does(Kind::NewThing)},
        {"t", typing("t"), board, week, Selected::Nothing, does(Kind::GoToday)},
        {"w", typing("w"), board, Mode::Month, Selected::Nothing, does(Kind::ShowWeek)},
        {"M", typing("M", false, true), board, week, Selected::Nothing, does(Kind::ShowMonth)},
        {"[", typing("["), board, week, Selected::Nothing, does(Kind::Go, -1)},
        {"]", typing("]"), board, Mode::Month, Selected::Nothing, does(Kind::Go, 1)},
        {"l in week mode", typing("l"), board, week, Selected::Nothing, does(Kind::ToggleLists)},
        {"l in month mode", typing("l"), board, Mode::Month, Selected::Nothing, ignored},
        {"e with a selection", typing("e"), board, week, Selected::Own, does(Kind::SendToEventually)},
        {"e with nothing selected", typing("e"), board, week, Selected::Other, ignored},
        {"p on the board", typing("p"), board, week, Selected::Nothing, ignored},
        {"2 on the board", typing("2"), board, Mode::Month, Selected::Own, marks(Mark::Green)},
        {"any other letter", typing("x"), board, week, Selected::Own, ignored},
        {"a key that types nothing", key(Qt::Key_F5), board, week, Selected::Own, ignored},

        {"the notes screen keeps its keys", typing("n"), board, Mode::Notes, Selected::Nothing, ignored},
        {"the panel works over the notes screen", typing("n"), panel, Mode::Notes, Selected::Nothing,
         does(Kind::NewThing)},
        {"its arrows too", key(Qt::Key_Down), panel, Mode::Notes, Selected::Nothing, does(Kind::MoveSelection, 0, 1)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture b(row.mode);
        select(b, row.selected);
        AppModel& m = b.model();
        EXPECT_EQ(m.keyCommand(row.press, row.inFocus), row.command);
        EXPECT_EQ(m.wouldHandleKey(row.press, row.inFocus), row.command.result == KeyPress::Result::Handled);
        EXPECT_EQ(m.handleKey(row.press, row.inFocus), row.command.result);
    }
}

TEST(KeyMap, TheOperationsDoWhatTheKeysAskFor)
{
    struct Row {
        const char* name;
        Selected selected;
        KeyPress press;
        bool inFocus;
        std::function<void(Fixture&)> check;
        std::function<void(Fixture&)> before = [](Fixture&) {};
    };
    const QList<Row> rows{
        {"delete of the other app's thing", Selected::Other, key(Qt::Key_Backspace), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().otherApps().externalThing("X"), std::nullopt);
             EXPECT_EQ(b.model().toast(), "Deleted. Gone from Pemby Todo too.");
         }},
        {"delete of the selection", Selected::Own, key(Qt::Key_Backspace), false,
         [](Fixture& b) {
             EXPECT_EQ(titlesOn(b.model(), today), QStringList{"B"});
             EXPECT_EQ(b.model().toast(), "Deleted. " + pemby::ifThatWasAMistake());
         }},
        {"down moves the selection", Selected::Own, key(Qt::Key_Down), false,
         [](Fixture& b) { EXPECT_EQ(b.model().selection().ids(), QSet<QUuid>{b.b}); }},
        {"command-down carries the thing", Selected::Own, key(Qt::Key_Down, true), true,
         [](Fixture& b) { EXPECT_EQ(titlesOn(b.model(), today), (QStringList{"B", "A"})); }},
        {"command-right carries it to tomorrow", Selected::Own, key(Qt::Key_Right, true), false,
         [](Fixture& b) { EXPECT_EQ(titlesOn(b.model(), Place::onDay(thursday)), (QStringList{"C", "A"})); }},
        {"shift-right pushes it to next week", Selected::Own, key(Qt::Key_Right, false, true), false,
         [](Fixture& b) {
             EXPECT_EQ(titlesOn(b.model(), Place::onDay(wednesday.adding(7))), QStringList{"A"});
             EXPECT_EQ(b.model().toast(), "Not this week. Fair.");
         }},
        {"space ticks the other app's thing", Selected::Other, key(Qt::Key_Space), false,
         [](Fixture& b) { EXPECT_TRUE(b.model().otherApps().tickedExternal().contains("X")); }},
        {"space ticks the selection", Selected::Own, key(Qt::Key_Space), true,
         [](Fixture& b) { EXPECT_TRUE(b.model().planner().thing(b.a)->done); }},
        {"command-return opens the other app's detail", Selected::OwnAndOther, key(Qt::Key_Return, true), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().openedExternal(), "X");
             EXPECT_EQ(b.model().otherApps().selectedExternal(), "X");
             EXPECT_EQ(b.model().selection().ids(), QSet<QUuid>{});
         }},
        {"return edits the other app's title", Selected::Other, key(Qt::Key_Return), false,
         [](Fixture& b) { EXPECT_EQ(b.model().editing(), Editing::external("X")); }},
        {"command-return opens the detail", Selected::Own, key(Qt::Key_Return, true), false,
         [](Fixture& b) { EXPECT_EQ(b.model().opened(), b.a); }},
        {"return edits the title", Selected::Own, key(Qt::Key_Return), true,
         [](Fixture& b) { EXPECT_EQ(b.model().editing(), Editing::thing(b.a)); }},
        {"escape clears both selections", Selected::OwnAndOther, key(Qt::Key_Escape), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().selection().ids(), QSet<QUuid>{});
             EXPECT_EQ(b.model().selection().anchor(), std::nullopt);
             EXPECT_EQ(b.model().otherApps().selectedExternal(), std::nullopt);
         }},
        {"n on the board: where the selection is, which stays", Selected::Nothing, typing("n"), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().editing(), Editing::newThing(Place::onDay(thursday)));
             EXPECT_EQ(b.model().selection().ids(), QSet<QUuid>{b.c});
         },
         [](Fixture& b) { b.model().selection().select(b.c); }},
        {"n in the panel: its place, afresh", Selected::Own, typing("n"), true,
         [](Fixture& b) {
             EXPECT_EQ(b.model().editing(), Editing::newThing(today));
             EXPECT_EQ(b.model().selection().ids(), QSet<QUuid>{});
         }},
        {"p floats the panel or not", Selected::Nothing, typing("p"), true,
         [](Fixture& b) {
             EXPECT_FALSE(b.model().settings().floats());
             EXPECT_EQ(b.h.settings().value("focus.floats"), "false");
         }},
        {"a digit marks every selected thing", Selected::Nothing, typing("2"), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().planner().thing(b.a)->mark, Mark::Green);
             EXPECT_EQ(b.model().planner().thing(b.b)->mark, Mark::Green);
             b.model().handleKey(typing("0"), false);
             EXPECT_EQ(b.model().planner().thing(b.b)->mark, std::nullopt);
             EXPECT_EQ(b.model().undoStack().size(), 5) << "one step each";
         },
         [](Fixture& b) {
             b.model().selection().click(b.a, false, false);
             b.model().selection().click(b.b, true, false);
         }},
        {"[ goes back a week, t comes back", Selected::Nothing, typing("["), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().anchor(), wednesday.adding(-7));
             b.model().handleKey(typing("t"), false);
             EXPECT_EQ(b.model().anchor(), wednesday);
         }},
        {"m and w switch the board", Selected::Nothing, typing("m"), false,
         [](Fixture& b) {
             EXPECT_EQ(b.model().mode(), Mode::Month);
             b.model().handleKey(typing("w"), false);
             EXPECT_EQ(b.model().mode(), Mode::Week);
         }},
        {"l hides the lists", Selected::Nothing, typing("l"), false,
         [](Fixture& b) { EXPECT_FALSE(b.model().settings().showLists()); }},
        {"e sends to the first list", Selected::Own, typing("e"), false,
         [](Fixture& b) { EXPECT_EQ(titlesOn(b.model(), Place::inList(0)), QStringList{"A"}); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture b;
        select(b, row.selected);
        row.before(b);
        EXPECT_EQ(b.model().handleKey(row.press, row.inFocus), KeyPress::Result::Handled);
        row.check(b);
    }
}

TEST(KeyMap, AnOpenFieldPopoverSheetOrSearchKeepsEveryKey)
{
    QList<KeyPress> presses;
    for (const Qt::Key k : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right,
                            Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        for (const auto& [command, shift] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}})
            presses.append(key(k, command, shift));
    }
    for (const QString text : {"n", "p", "t", "w", "m", "[", "]", "l", "e", "0", "1", "2", "3"})
        presses.append(typing(text));

    struct Guard {
        const char* name;
        std::function<void(Fixture&)> set;
        bool inFocusToo;
    };
    const QList<Guard> guards{
        {"an inline edit", [](Fixture& b) { b.model().setEditing(Editing::thing(b.b)); }, true},
        {"a thing's detail", [](Fixture& b) { b.model().setOpened(b.b); }, true},
        {"a thing's note sheet", [](Fixture& b) { b.model().setEditingNote(b.b); }, true},
        {"another app's detail", [](Fixture& b) { b.model().setOpenedExternal(QStringLiteral("X")); }, true},
        {"another app's note sheet", [](Fixture& b) { b.model().setEditingExternalNote(QStringLiteral("X")); }, true},
        {"the place sheet", [](Fixture& b) { b.model().setZoomed(today); }, true},
        {"the search", [](Fixture& b) { b.model().search().setSearching(true); }, true},
        {"the notes screen", [](Fixture& b) { b.model().setMode(Mode::Notes); }, false},
    };
    for (const Guard& guard : guards) {
        SCOPED_TRACE(guard.name);
        Fixture b;
        guard.set(b);
        AppModel& m = b.model();
        m.selection().select(b.a);
        const Planner plan = m.planner();
        const auto editing = m.editing();
        for (const bool inFocus : {false, true}) {
            if (inFocus && !guard.inFocusToo)
                continue;
            for (const KeyPress& press : presses) {
                SCOPED_TRACE(QStringLiteral("key %1 text '%2' command %3 shift %4 in focus %5")
                                 .arg(press.key, 0, 16)
                                 .arg(press.text)
                                 .arg(press.command)
                                 .arg(press.shift)
                                 .arg(inFocus)
                                 .toStdString());
                EXPECT_EQ(m.keyCommand(press, inFocus), ignored);
                EXPECT_FALSE(m.wouldHandleKey(press, inFocus));
                EXPECT_EQ(m.handleKey(press, inFocus), KeyPress::Result::Ignored);
            }
        }
        EXPECT_EQ(m.planner(), plan);
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{b.a});
        EXPECT_EQ(m.editing(), editing);
        EXPECT_EQ(m.mode(), guard.inFocusToo ? Mode::Week : Mode::Notes);
        EXPECT_EQ(m.toast(), std::nullopt);
    }
}

TEST(KeyMap, AKeyEventBecomesAPress)
{
    const QKeyEvent plain(QEvent::KeyPress, Qt::Key_N, Qt::ShiftModifier, "N", true);
    EXPECT_EQ(KeyPress::fromEvent(plain), (KeyPress{Qt::Key_N, "N", false, true, true}));
    const QKeyEvent command(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(KeyPress::fromEvent(command), (KeyPress{Qt::Key_Up, "", true, false, false}));
}

TEST(KeyMap, ThePressAndWhatTheBoardShowsDecideWithoutAModel)
{
    const KeyView nothing;
    KeyView own;
    own.hasSelection = true;
    own.hasPrimarySelection = true;
    KeyView stale;  // another app's thing selected that today's column no longer shows
    stale.hasSelectedExternal = true;
    KeyView shown = stale;
    shown.showsSelectedExternal = true;
    KeyView open = own;
    open.fieldOpen = true;
    KeyView notes = own;
    notes.mode = Mode::Notes;
    KeyView panelOverNotes = notes;
    panelOverNotes.inFocus = true;
    // Selected, but none of it on the board: nothing for Return to open.
    KeyView offBoard = own;
    offBoard.hasPrimarySelection = false;

    struct Row {
        const char* name;
        KeyPress press;
        KeyView view;
        KeyCommand command;
    };
    const QList<Row> rows{
        {"return edits the primary selection", key(Qt::Key_Return), own, does(Kind::EditTitle)},
        {"return without a primary selection", key(Qt::Key_Return), offBoard, ignored},
        {"return names the other app's thing even when not shown", key(Qt::Key_Return), stale,
         does(Kind::EditExternal)},
        {"space passes over a thing not shown", key(Qt::Key_Space), stale, ignored},
        {"space ticks the shown one", key(Qt::Key_Space), shown, does(Kind::ToggleExternal)},
        {"delete with nothing", key(Qt::Key_Delete), nothing, ignored},
        {"an open field keeps the keys", key(Qt::Key_Down), open, ignored},
        {"the notes screen keeps the board's keys", typing("2"), notes, ignored},
        {"but not the panel's", typing("2"), panelOverNotes, marks(Mark::Green)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(keyCommand(row.press, row.view), row.command);
    }
}
