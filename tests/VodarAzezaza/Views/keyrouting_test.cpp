// Where a key goes as a person meets the app: the whole app (its menus, sheets,
// popovers and the focus panel) in each state a person leaves it in, each key sent to
// whatever has the keys then, and checked by the change the key makes in the model.
#include "plannerapp.h"

#include "appmodel.h"
#include "editfield.h"
#include "emptyline.h"
#include "focuspanel.h"
#include "focusview.h"
#include "menucommands.h"
#include "modelharness.h"
#include "noteeditor.h"
#include "notesview.h"
#include "notetextview.h"
#include "pixelbutton.h"
#include "plannercontent.h"
#include "reducemotion.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
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
        options.host = [this] {
            Launch::Host host;
            host.tempFolder = h.root();
            host.standardSettings = [this] {
                return std::make_unique<QSettings>(h.root() + "/user.ini", QSettings::IniFormat);
            };
            host.sharedStore = [this]() -> FamilyStore& { return h.family(); };
            host.familyNotesFolder = h.notesFolder();
            host.siblingNotesFolder = h.notesAppFolder();
            host.currentDay = [] { return today; };
            host.services = [this] {
                AppModelServices services = h.services();
                // The app gives the model the desktop's own panel.
                services.focusPanel.reset();
                return services;
            };
            return host;
        };
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
        m.select(p.second);
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
        m.select(p.second);
        m.setEditingNote(p.second);
        EXPECT_TRUE(waitUntil([] { return qobject_cast<NoteTextView*>(QApplication::focusWidget()); }));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        waitUntil([&] { return !m.editingNote() && !QApplication::activeModalWidget(); });
        EXPECT_EQ(m.editingNote(), std::nullopt);
        backUnder(main);
        break;
    case State::FloatedPanel: {
        m.enterFocusMode();
        EXPECT_TRUE(waitUntil([&] { return app.panel() && app.panel()->isActiveWindow(); }));
        FocusPanelWindow* panel = app.panel();
        app.clickRow(panel, p.second);
        // The pin floats the panel: its window is made anew, and must take the keys up
        // with it.
        QList<PixelButton*> buttons = panel->findChildren<PixelButton*>();
        EXPECT_FALSE(buttons.isEmpty());
        const bool floated = m.floats();
        if (!buttons.isEmpty())
            click(buttons.first());
        EXPECT_NE(m.floats(), floated);
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
    return m.selection() == QSet<QUuid>{id} ? QString() : QStringLiteral("the selection moved elsewhere");
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
