// Where a key goes as a person meets the app: the whole app (its menus, sheets,
// popovers and the focus panel) in each state a person leaves it in, each key sent to
// whatever has the keys then, and checked by the change the key makes in the model.
#include "boardselection.h"
#include "focusmode.h"
#include "plannerapp.h"

#include "appmodel.h"
#include "editfield.h"
#include "emptyline.h"
#include "focuspanel.h"
#include "focusview.h"
#include "glyphbutton.h"
#include "menucommands.h"
#include "modelharness.h"
#include "noteeditor.h"
#include "noteeditorbridge.h"
#include "notesmodel.h"
#include "notesview.h"
#include "notetextview.h"
#include "plannercontent.h"
#include "plannersettings.h"
#include "reducemotion.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day tuesday{2026, 3, 3};
const Day today{2026, 3, 4};
const Day thursday{2026, 3, 5};

// The app on scratch folders, with its real menus, sheets and focus panel.
class App {
public:
    App()
    {
        ReduceMotion::setForTesting(true);
        PlannerApp::Options options;
        // The app gives the model the desktop's own panel.
        options.host = [this] { return h.launchHost(today, true); };
        h.start();
        auto model = Launch::modelForChosenFolder(h.folder(), options.host());
        model->setPinnedToday(today);
        app = std::make_unique<PlannerApp>(std::move(model), options);
        // The folder once more, now through the app: its model gets the desktop's
        // focus panel, which carries the menus' actions.
        app->useFolder(h.folder());
        app->model().setPinnedToday(today);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->showMainWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&app->mainWindow()));
        QTest::qWait(1);
    }
    ~App()
    {
        app.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    AppModel& model() { return app->model(); }
    QAction* action(MenuCommands::Command c) { return app->menus().action(c); }
    FocusPanelWindow* panel()
    {
        auto* controller = dynamic_cast<FocusPanelWindow::Controller*>(&model().focus());
        return controller ? controller->panel() : nullptr;
    }
    // The row of a thing in a window of the app.
    ThingRow* row(QWidget* window, const QUuid& id)
    {
        for (ThingRow* r : window->findChildren<ThingRow*>()) {
            if (r->thing().id == id && r->isVisible())
                return r;
        }
        return nullptr;
    }
    // A click on the row beside its title, as a person picks a thing.
    void clickRow(QWidget* window, const QUuid& id)
    {
        ThingRow* r = row(window, id);
        ASSERT_TRUE(r);
        click(r, QPoint(r->width() - 6, r->height() / 2));
        QCoreApplication::processEvents();
    }

    ModelHarness h;
    std::unique_ptr<PlannerApp> app;
};

// Tuesday: "tuesday"; today: "first" (ticked last, so Undo unticks it), "second",
// "third"; Thursday: "thursday".
struct Plan {
    QUuid tuesday, first, second, third, thursday;
};

Plan fill(AppModel& m)
{
    Plan p;
    p.tuesday = *m.add(QStringLiteral("tuesday"), Place::onDay(tuesday));
    p.first = *m.add(QStringLiteral("first"), Place::onDay(today));
    p.second = *m.add(QStringLiteral("second"), Place::onDay(today));
    p.third = *m.add(QStringLiteral("third"), Place::onDay(today));
    p.thursday = *m.add(QStringLiteral("thursday"), Place::onDay(thursday));
    m.toggle(p.first);
    return p;
}

enum class State { Launched, ClickedRow, ClickedEmptyLine, PopoverClosed, SheetClosed, FloatedPanel };

const char* name(State s)
{
    switch (s) {
    case State::Launched: return "just launched";
    case State::ClickedRow: return "after a click on a row";
    case State::ClickedEmptyLine: return "after a click on an empty line";
    case State::PopoverClosed: return "after a popover closed";
    case State::SheetClosed: return "after a sheet closed";
    case State::FloatedPanel: return "in the focus panel after floating it";
    }
    return "";
}

// Where a key goes: into an open popup (its focused child, or the popup itself), else
// to the focus widget of the active window.
QWidget* keyTarget()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    return QApplication::focusWidget();
}

// The window under a popup or a sheet is active again once that goes, as a window
// system has it; the offscreen one leaves no window active.
void backUnder(QWidget* window)
{
    QTest::qWait(10);
    if (QApplication::activeWindow())
        return;
    window->activateWindow();
    waitUntil([&] { return window->isActiveWindow(); });
}

// Brings the app into the state, "second" picked wherever that is the user's doing;
// the widget that holds the keys afterwards.
QWidget* reach(App& app, State state, const Plan& p)
{
    AppModel& m = app.model();
    QWidget* main = &app.app->mainWindow();
    switch (state) {
    case State::Launched:
        m.selection().select(p.second);
        break;
    case State::ClickedRow:
        app.clickRow(main, p.second);
        break;
    case State::ClickedEmptyLine: {
        // The first blank line of today's column opens a new thing's line there.
        for (EmptyLine* line : main->findChildren<EmptyLine*>()) {
            auto* column = qobject_cast<ThingColumn*>(line->parentWidget());
            if (column && column->place() == Place::onDay(today) && line->isVisible()) {
                click(line);
                break;
            }
        }
        waitUntil([] { return qobject_cast<EditField*>(QApplication::focusWidget()); });
        // Past the field's own placing of the caret.
        QTest::qWait(1);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("milk"));
        break;
    }
    case State::PopoverClosed:
        doubleClick(app.row(main, p.second), QPoint(app.row(main, p.second)->width() - 6, 16));
        EXPECT_TRUE(waitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
        EXPECT_EQ(m.opened(), p.second);
        QTest::keyClick(keyTarget(), Qt::Key_Escape);
        waitUntil([&] { return !m.opened() && !QApplication::activePopupWidget(); });
        EXPECT_EQ(m.opened(), std::nullopt);
        backUnder(main);

        break;
    case State::SheetClosed:
        m.selection().select(p.second);
        m.setEditingNote(p.second);
        EXPECT_TRUE(waitUntil([] { return qobject_cast<NoteTextView*>(QApplication::focusWidget()); }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        waitUntil([&] { return !m.editingNote() && !QApplication::activeModalWidget(); });
        EXPECT_EQ(m.editingNote(), std::nullopt);
        backUnder(main);
        break;
    case State::FloatedPanel: {
        m.focusMode().enterFocusMode();
        EXPECT_TRUE(waitUntil([&] { return app.panel() && app.panel()->isActiveWindow(); }));
        FocusPanelWindow* panel = app.panel();
        app.clickRow(panel, p.second);
        // The pin floats the panel: its window is made anew, and must take the keys up
        // with it.
        QList<GlyphButton*> buttons = panel->findChildren<GlyphButton*>();
        EXPECT_FALSE(buttons.isEmpty());
        const bool floated = m.settings().floats();
        if (!buttons.isEmpty())
            click(buttons.first());
        EXPECT_NE(m.settings().floats(), floated);
        waitUntil([&] { return panel->isActiveWindow(); }, 1000);
        break;
    }
    }
    QTest::qWait(1);
    return QApplication::focusWidget();
}

struct Key {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
};

// What the model looks like after a key; an empty text when it is as it should be.
using Check = std::function<QString(App& app, const Plan& p)>;

QString selectionIs(const AppModel& m, const QUuid& id)
{
    return m.selection().ids() == QSet<QUuid>{id} ? QString() : QStringLiteral("the selection moved elsewhere");
}

QString todayReads(const AppModel& m, const QStringList& titles)
{
    const QStringList now = titlesOn(m, Place::onDay(today));
    return now == titles ? QString() : QStringLiteral("today reads ") + now.join(u", ");
}

// Nothing happened to the plan or the selection: the key went to something else.
QString untouched(App& app, const Plan& p)
{
    AppModel& m = app.model();
    QString wrong = todayReads(m, {"first", "second", "third"});
    if (wrong.isEmpty() && !m.planner().thing(p.first)->done)
        wrong = QStringLiteral("first was unticked");
    if (wrong.isEmpty() && titlesOn(m, Place::onDay(tuesday)) != QStringList{"tuesday"})
        wrong = QStringLiteral("tuesday changed");
    if (wrong.isEmpty() && titlesOn(m, Place::onDay(thursday)) != QStringList{"thursday"})
        wrong = QStringLiteral("thursday changed");
    return wrong;
}

QString quit(App&, const Plan&)
{
    return QString();  // the spy in the test counts the Quit item
}

} // namespace

TEST(KeyRouting, EveryKeyReachesItsHandlerFromEveryStartingState)
{
    using M = Qt::KeyboardModifier;
    const Key keys[] = {
        {"Up", Qt::Key_Up, {}},
        {"Down", Qt::Key_Down, {}},
        {"Left", Qt::Key_Left, {}},
        {"Right", Qt::Key_Right, {}},
        {"Ctrl+Up", Qt::Key_Up, M::ControlModifier},
        {"Ctrl+Down", Qt::Key_Down, M::ControlModifier},
        {"Ctrl+Left", Qt::Key_Left, M::ControlModifier},
        {"Ctrl+Right", Qt::Key_Right, M::ControlModifier},
        {"Shift+Right", Qt::Key_Right, M::ShiftModifier},
        {"Return", Qt::Key_Return, {}},
        {"Space", Qt::Key_Space, {}},
        {"Delete", Qt::Key_Backspace, {}},
        {"Ctrl+Z", Qt::Key_Z, M::ControlModifier},
        {"Ctrl+Q", Qt::Key_Q, M::ControlModifier},
    };

    // On the board, with "second" picked.
    const auto onBoard = [](const QString& key) -> Check {
        if (key == "Up")
            return [](App& a, const Plan& p) { return selectionIs(a.model(), p.first); };
        if (key == "Down")
            return [](App& a, const Plan& p) { return selectionIs(a.model(), p.third); };
        if (key == "Left")
            return [](App& a, const Plan& p) { return selectionIs(a.model(), p.tuesday); };
        if (key == "Right")
            return [](App& a, const Plan& p) { return selectionIs(a.model(), p.thursday); };
        if (key == "Ctrl+Up")
            return [](App& a, const Plan&) { return todayReads(a.model(), {"second", "first", "third"}); };
        if (key == "Ctrl+Down")
            return [](App& a, const Plan&) { return todayReads(a.model(), {"first", "third", "second"}); };
        if (key == "Ctrl+Left")
            return [](App& a, const Plan&) {
                return titlesOn(a.model(), Place::onDay(tuesday)).contains("second")
                    ? todayReads(a.model(), {"first", "third"})
                    : QStringLiteral("second is not on Tuesday");
            };
        if (key == "Ctrl+Right")
            return [](App& a, const Plan&) {
                return titlesOn(a.model(), Place::onDay(thursday)).contains("second")
                    ? todayReads(a.model(), {"first", "third"})
                    : QStringLiteral("second is not on Thursday");
            };
        if (key == "Shift+Right")
            return [](App& a, const Plan&) {
                return titlesOn(a.model(), Place::onDay(today.adding(7))) == QStringList{"second"}
                    ? QString()
                    : QStringLiteral("second did not go to next week");
            };
        if (key == "Return")
            return [](App& a, const Plan& p) {
                return a.model().editing() == Editing::thing(p.second) ? QString()
                                                                         : QStringLiteral("no rename of second");
            };
        if (key == "Space")
            return [](App& a, const Plan& p) {
                return a.model().planner().thing(p.second)->done ? QString() : QStringLiteral("second not ticked");
            };
        if (key == "Delete")
            return [](App& a, const Plan&) { return todayReads(a.model(), {"first", "third"}); };
        if (key == "Ctrl+Z")
            return [](App& a, const Plan& p) {
                return a.model().planner().thing(p.first)->done ? QStringLiteral("the tick of first stays")
                                                                : QString();
            };
        return quit;
    };
    // In the focus panel left and right pass on; the rest is the board's.
    const auto inPanel = [&](const QString& key) -> Check {
        if (key.endsWith("Left") || key.endsWith("Right"))
            return [](App& a, const Plan& p) {
                const QString wrong = untouched(a, p);
                return wrong.isEmpty() ? selectionIs(a.model(), p.second) : wrong;
            };
        return onBoard(key);
    };
    // In a new thing's line holding "milk": the field's own keys, Return adds, Undo is
    // the field's, and quitting keeps what was typed.
    const auto inNewLine = [](const QString& key) -> Check {
        if (key == "Return")
            return [](App& a, const Plan&) { return todayReads(a.model(), {"first", "second", "third", "milk"}); };
        if (key == "Ctrl+Q")
            return [](App& a, const Plan&) {
                waitUntil([&] { return titlesOn(a.model(), Place::onDay(today)).contains("milk"); });
                return todayReads(a.model(), {"first", "second", "third", "milk"});
            };
        return [key](App& a, const Plan& p) {
            QString wrong = untouched(a, p);
            if (wrong.isEmpty() && !(a.model().editing() && a.model().editing()->isNew()))
                wrong = QStringLiteral("the new line closed");
            auto* field = qobject_cast<EditField*>(QApplication::focusWidget());
            const QString typed = key == "Space" ? "milk " : key == "Delete" ? "mil" : key == "Ctrl+Z" ? "" : "milk";
            if (wrong.isEmpty() && (!field || field->text() != typed))
                wrong = QStringLiteral("the field reads \"") + (field ? field->text() : QStringLiteral("(none)"))
                    + "\", not \"" + typed + "\"";
            return wrong;
        };
    };

    for (const State state : {State::Launched, State::ClickedRow, State::ClickedEmptyLine, State::PopoverClosed,
                              State::SheetClosed, State::FloatedPanel}) {
        for (const Key& key : keys) {
            SCOPED_TRACE(std::string(name(state)) + ", " + key.name);
            App app;
            const Plan plan = fill(app.model());
            QWidget* keys = reach(app, state, plan);
            ASSERT_TRUE(keys) << "nothing has the keys";
            if (state == State::FloatedPanel) {
                EXPECT_TRUE(qobject_cast<FocusView*>(keys)) << keys->metaObject()->className();
            } else if (state != State::ClickedEmptyLine) {
                EXPECT_EQ(keys, app.app->mainWindow().content()) << keys->metaObject()->className();
            }
            QSignalSpy quits(app.action(MenuCommands::Command::Quit), &QAction::triggered);
            QTest::keyClick(keys, Qt::Key(key.key), key.modifiers);
            QCoreApplication::processEvents();
            const Check check = state == State::FloatedPanel       ? inPanel(key.name)
                              : state == State::ClickedEmptyLine ? inNewLine(key.name)
                                                                 : onBoard(key.name);
            EXPECT_EQ(check(app, plan), QString());
            EXPECT_EQ(quits.count(), QString(key.name) == "Ctrl+Q" ? 1 : 0);
        }
    }
}

namespace {

// Puts the same data on the desktop's clipboard (what the fields read) and on the
// model's (what it makes things of).
void offer(App& app, const std::function<void(QMimeData&)>& fill)
{
    auto* desktop = new QMimeData;
    fill(*desktop);
    QApplication::clipboard()->setMimeData(desktop);
    auto model = std::make_unique<QMimeData>();
    fill(*model);
    app.h.clipboard->data = std::move(model);
}

enum class Target { NewLine, Rename, Note };

// Opens the target as a person does; the widget that has the keys.
QWidget* open(App& app, Target target, const Plan& p)
{
    AppModel& m = app.model();
    QWidget* board = app.app->mainWindow().content();
    switch (target) {
    case Target::NewLine:
        QTest::keyClick(board, Qt::Key_N);
        waitUntil([] { return qobject_cast<EditField*>(QApplication::focusWidget()); });
        break;
    case Target::Rename:
        m.selection().select(p.second);
        QTest::keyClick(board, Qt::Key_Return);
        waitUntil([] { return qobject_cast<EditField*>(QApplication::focusWidget()); });
        break;
    case Target::Note:
        m.setEditingNote(p.second);
        waitUntil([] { return qobject_cast<NoteTextView*>(QApplication::focusWidget()); });
        break;
    }
    // Past the field's own placing of its caret.
    QTest::qWait(1);
    return QApplication::focusWidget();
}

} // namespace

TEST(KeyRouting, PastingOneLineSeveralLinesOrHtmlAlone)
{
    struct Case {
        const char* name;
        Target target;
        std::function<void(QMimeData&)> clipboard;
        // What today holds afterwards, and what the text that had the keys reads.
        QStringList today;
        QString text;
    };
    const auto oneLine = [](QMimeData& d) { d.setText(QStringLiteral("milk")); };
    const auto lines = [](QMimeData& d) { d.setText(QStringLiteral("milk\neggs\nbread")); };
    const auto html = [](QMimeData& d) { d.setHtml(QStringLiteral("<p><b>milk</b></p><p>eggs</p>")); };
    const QStringList plan{"first", "second", "third"};
    const Case cases[] = {
        {"one line into the new line", Target::NewLine, oneLine, plan, "milk"},
        {"lines into the new line make a thing each", Target::NewLine, lines, plan + QStringList{"milk", "eggs", "bread"}, ""},
        {"HTML alone into the new line", Target::NewLine, html, plan + QStringList{"milk", "eggs"}, ""},
        {"one line into a rename", Target::Rename, oneLine, plan, "secondmilk"},
        {"lines into a rename stay its title", Target::Rename, lines, plan, "secondmilk\neggs\nbread"},
        {"HTML alone into a rename", Target::Rename, html, plan, "secondmilk\neggs"},
        {"one line into a note", Target::Note, oneLine, plan, "milk"},
        {"lines into a note", Target::Note, lines, plan, "milk\neggs\nbread"},
        {"HTML alone into a note", Target::Note, html, plan, "milk\neggs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App app;
        const Plan p = fill(app.model());
        QWidget* text = open(app, c.target, p);
        ASSERT_TRUE(text);
        offer(app, c.clipboard);
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCoreApplication::processEvents();
        EXPECT_EQ(titlesOn(app.model(), Place::onDay(today)), c.today);
        if (c.text.isEmpty()) {
            // The paste took the line's place: one operation, undone in one step.
            EXPECT_EQ(app.model().editing(), std::nullopt);
            app.model().undo();
            EXPECT_EQ(titlesOn(app.model(), Place::onDay(today)), plan);
        } else if (auto* field = qobject_cast<EditField*>(text)) {
            EXPECT_EQ(field->text(), c.text);
        } else if (auto* note = qobject_cast<NoteTextView*>(text)) {
            EXPECT_EQ(note->toPlainText(), c.text);
        }
    }
}

TEST(KeyRouting, MenuShortcutsWorkOverPopoversAndSheets)
{
    enum class Over { Detail, NoteSheet, FormatInTheSheet, PlaceSheet };
    const std::pair<Over, const char*> overs[] = {
        {Over::Detail, "a thing's detail"},
        {Over::NoteSheet, "a note sheet"},
        {Over::FormatInTheSheet, "the format popover in a note sheet"},
        {Over::PlaceSheet, "the sheet of a place"},
    };
    for (const auto& [over, name] : overs) {
        SCOPED_TRACE(name);
        App app;
        const Plan p = fill(app.model());
        AppModel& m = app.model();
        switch (over) {
        case Over::Detail:
            m.selection().select(p.second);
            m.setOpened(p.second);
            ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget(); }));
            break;
        case Over::NoteSheet:
        case Over::FormatInTheSheet:
            open(app, Target::Note, p);
            ASSERT_TRUE(qobject_cast<NoteTextView*>(QApplication::focusWidget()));
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
            if (over == Over::FormatInTheSheet) {
                auto* dialog = QApplication::activeModalWidget();
                ASSERT_TRUE(dialog);
                auto* aa = dialog->findChild<FormatButton*>();
                ASSERT_TRUE(aa);
                click(aa);
                ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget(); }));
            }
            break;
        case Over::PlaceSheet:
            m.setZoomed(Place::onDay(today));
            ASSERT_TRUE(waitUntil([] {
                return QApplication::activeModalWidget() && QApplication::activeModalWidget()->isActiveWindow();
            }));
            break;
        }
        // Undo is the text's where a text has the keys, else the plan's.
        QSignalSpy quits(app.action(MenuCommands::Command::Quit), &QAction::triggered);
        QTest::keyClick(keyTarget(), Qt::Key_Z, Qt::ControlModifier);
        QCoreApplication::processEvents();
        const bool inNote = over == Over::NoteSheet || over == Over::FormatInTheSheet;
        if (inNote) {
            auto* note = QApplication::activeModalWidget()->findChild<NoteTextView*>();
            ASSERT_TRUE(note);
            EXPECT_EQ(note->toPlainText(), "");
        }
        const bool textFirst = inNote || qobject_cast<QLineEdit*>(keyTarget());
        EXPECT_EQ(m.planner().thing(p.first)->done, textFirst);
        // Focus mode would hide the window and leave what is open over it behind.
        QTest::keyClick(keyTarget(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QCoreApplication::processEvents();
        EXPECT_FALSE(m.focusMode().isFocusMode());
        QTest::keyClick(keyTarget(), Qt::Key_Q, Qt::ControlModifier);
        EXPECT_EQ(quits.count(), 1);
    }
}

TEST(KeyRouting, TheFormatPopoverLeavesTheKeysInTheNoteOnTheNotesScreen)
{
    App app;
    AppModel& m = app.model();
    m.setMode(Mode::Notes);
    m.notes().create();
    auto* notes = app.app->mainWindow().findChild<NotesView*>();
    ASSERT_TRUE(notes);
    ASSERT_TRUE(waitUntil([] { return qobject_cast<NoteTextView*>(QApplication::focusWidget()); }))
        << "a new note is written into at once";
    auto* note = qobject_cast<NoteTextView*>(QApplication::focusWidget());
    auto* aa = notes->pane()->findChild<FormatButton*>();
    ASSERT_TRUE(aa);
    for (const char* closing : {"Escape", "a click outside"}) {
        SCOPED_TRACE(closing);
        note->clear();
        QTest::keyClicks(note, QStringLiteral("ab"));
        // A press on "Aa" takes the keys nowhere.
        click(aa);
        ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget(); }));
        QWidget* popover = QApplication::activePopupWidget();
        if (QString(closing) == "Escape")
            QTest::keyClick(keyTarget(), Qt::Key_Escape);
        else
            popover->close();
        ASSERT_TRUE(waitUntil([] { return !QApplication::activePopupWidget(); }));
        backUnder(&app.app->mainWindow());
        EXPECT_EQ(QApplication::focusWidget(), note);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("cd"));
        EXPECT_EQ(note->toPlainText(), "abcd");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_NE(note->toPlainText(), "abcd") << "Undo reaches the note";
    }
}

TEST(KeyRouting, AWindowModalSheetKeepsTheKeysWhenTheWindowBehindIsClicked)
{
    App app;
    const Plan p = fill(app.model());
    QWidget* note = open(app, Target::Note, p);
    ASSERT_TRUE(qobject_cast<NoteTextView*>(note));
    QWidget* sheet = QApplication::activeModalWidget();
    ASSERT_TRUE(sheet);
    // What a click on the main window does: the window system makes it active.
    app.app->mainWindow().activateWindow();
    EXPECT_TRUE(waitUntil([&] { return sheet->isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), note);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("still here"));
    EXPECT_EQ(qobject_cast<NoteTextView*>(note)->toPlainText(), "still here");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !app.model().editingNote(); }));
}

TEST(KeyRouting, AClickOnTheMonthBoardsColumnLeavesTheKeysWithTheBoard)
{
    App app;
    AppModel& m = app.model();
    const auto one = m.add(QStringLiteral("one"), Place::inMonth(today.monthKey()));
    const auto two = m.add(QStringLiteral("two"), Place::inMonth(today.monthKey()));
    m.setMode(Mode::Month);
    QCoreApplication::processEvents();
    app.clickRow(&app.app->mainWindow(), *one);
    ASSERT_EQ(m.selection().ids(), QSet<QUuid>{*one});
    EXPECT_EQ(QApplication::focusWidget(), app.app->mainWindow().content());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{*two});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(titlesOn(m, Place::inMonth(today.monthKey())), (QStringList{"two", "one"}));
}

TEST(KeyRouting, TheFloatShortcutKeepsThePanelsKeysTimeAfterTime)
{
    App app;
    AppModel& m = app.model();
    const Plan p = fill(m);
    m.focusMode().enterFocusMode();
    ASSERT_TRUE(waitUntil([&] { return app.panel() && app.panel()->isActiveWindow(); }));
    const bool floated = m.settings().floats();
    for (const bool expected : {!floated, floated}) {
        ASSERT_TRUE(qobject_cast<FocusView*>(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
        QCoreApplication::processEvents();
        EXPECT_EQ(m.settings().floats(), expected);
        EXPECT_EQ(app.panel()->windowFlags().testFlag(Qt::WindowStaysOnTopHint), expected);
    }
    ASSERT_TRUE(qobject_cast<FocusView*>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{p.first});
}
