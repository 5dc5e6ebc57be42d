// The menu bar: every item's title, shortcut and enabled state, the titles and checks
// that follow the model, and the text-first rule of the Edit menu.
#include "menucommands.h"

#include "appmodel.h"
#include "boardselection.h"
#include "findbar.h"
#include "focusmode.h"
#include "mainview.h"
#include "modelharness.h"
#include "noteeditor.h"
#include "notesmodel.h"
#include "notetextview.h"
#include "pembythings.h"
#include "plannercontent.h"
#include "plannersettings.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Command = MenuCommands::Command;

const Day today{2026, 3, 4};

class MenuCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppModel& m = h.start();
        // The window refreshes on the wall clock when it becomes active.
        m.setPinnedToday(today);
        window = std::make_unique<MainView>();
        window->setModel(&m);
        menus = std::make_unique<MenuCommands>(window->menuBar(),
                                               MenuCommands::Hooks{[this] { ++settingsShown; }, [this] { ++quits; }});
        menus->setModel(&m);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    AppModel& model() { return h.model(); }
    QAction* action(Command c) { return menus->action(c); }
    // An inline field with the keys, as a row's rename is.
    QLineEdit* typing(const QString& text)
    {
        auto* field = new QLineEdit(text, window->content());
        field->show();
        field->setFocus();
        QCoreApplication::processEvents();
        return field;
    }

    ModelHarness h;
    std::unique_ptr<MainView> window;
    std::unique_ptr<MenuCommands> menus;
    int settingsShown = 0;
    int quits = 0;
};

QKeySequence keys(QKeyCombination c)
{
    return QKeySequence(c);
}

TEST_F(MenuCommandsTest, EveryItemHasItsTitleShortcutAndEnabledState)
{
    struct Row {
        Command command;
        const char* menu;
        const char* title;
        QKeySequence shortcut;
        bool enabledWithNothingSelected;
        bool enabledWithASelection;
    };
    const Row rows[] = {
        {Command::NewThing, "File", "New Thing", keys(Qt::CTRL | Qt::Key_N), true, true},
        {Command::NewList, "File", "New List", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_N), true, true},
        {Command::Settings, "File", "Settings…", keys(Qt::CTRL | Qt::Key_Comma), true, true},
        {Command::Quit, "File", "Quit Pemby Planner (eventually)", keys(Qt::CTRL | Qt::Key_Q), true, true},
        {Command::Undo, "Edit", "Undo", keys(Qt::CTRL | Qt::Key_Z), true, true},
        {Command::Redo, "Edit", "Redo", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), true, true},
        {Command::Cut, "Edit", "Cut", keys(Qt::CTRL | Qt::Key_X), true, true},
        {Command::Copy, "Edit", "Copy", keys(Qt::CTRL | Qt::Key_C), true, true},
        {Command::Paste, "Edit", "Paste", keys(Qt::CTRL | Qt::Key_V), true, true},
        {Command::SelectAll, "Edit", "Select All", keys(Qt::CTRL | Qt::Key_A), true, true},
        {Command::Week, "View", "Week", keys(Qt::CTRL | Qt::Key_1), true, true},
        {Command::Month, "View", "Month", keys(Qt::CTRL | Qt::Key_2), true, true},
        {Command::Notes, "View", "Notes", keys(Qt::CTRL | Qt::Key_3), true, true},
        {Command::FocusMode, "View", "Focus Mode", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_F), true, true},
        {Command::Today, "View", "Today", keys(Qt::CTRL | Qt::Key_T), true, true},
        {Command::Earlier, "View", "Earlier", keys(Qt::CTRL | Qt::Key_BracketLeft), true, true},
        {Command::Later, "View", "Later", keys(Qt::CTRL | Qt::Key_BracketRight), true, true},
        {Command::ToggleLists, "View", "Hide Lists", QKeySequence(), true, true},
        {Command::Search, "View", "Search…", keys(Qt::CTRL | Qt::Key_F), true, true},
        {Command::Title, "Format", "Title", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_T), true, true},
        {Command::Heading, "Format", "Heading", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_H), true, true},
        {Command::Subheading, "Format", "Subheading", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_J), true, true},
        {Command::Body, "Format", "Body", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_B), true, true},
        {Command::Bold, "Format", "Bold", keys(Qt::CTRL | Qt::Key_B), true, true},
        {Command::Italic, "Format", "Italic", keys(Qt::CTRL | Qt::Key_I), true, true},
        {Command::Underline, "Format", "Underline", keys(Qt::CTRL | Qt::Key_U), true, true},
        {Command::Bullets, "Format", "Bulleted List", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_8), true, true},
        {Command::Numbers, "Format", "Numbered List", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_9), true, true},
        {Command::Checklist, "Format", "Checklist", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_L), true, true},
        {Command::Divider, "Format", "Insert Divider", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_D), true, true},
        {Command::Collapsible, "Format", "Collapsible Section", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_K), true, true},
        {Command::Open, "Thing", "Open", keys(Qt::CTRL | Qt::Key_Return), false, true},
        {Command::NotThisWeek, "Thing", "Not This Week", QKeySequence(), false, true},
        {Command::Eventually, "Thing", "Eventually", QKeySequence(), false, true},
        {Command::PushRestOfWeek, "Thing", "Move the Rest of the Week to Next Week",
         keys(Qt::CTRL | Qt::ALT | Qt::Key_Right), true, true},
        {Command::FloatOnTop, "Window", "Float on Top", keys(Qt::CTRL | Qt::ALT | Qt::Key_T), true, true},
    };
    ASSERT_EQ(std::size(rows), std::size_t(MenuCommands::commandCount));

    const auto id = model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    for (const bool selected : {false, true}) {
        model().selection().select(selected ? id : std::nullopt);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.title);
            QAction* a = action(row.command);
            ASSERT_TRUE(a);
            EXPECT_EQ(a->text(), QString::fromUtf8(row.title));
            EXPECT_EQ(a->shortcut(), row.shortcut);
            EXPECT_TRUE(menus->menu(row.menu)->actions().contains(a));
            EXPECT_EQ(a->isEnabled(), selected ? row.enabledWithASelection : row.enabledWithNothingSelected);
        }
    }
    QStringList order;
    for (QAction* top : window->menuBar()->actions())
        order << top->text();
    EXPECT_EQ(order, (QStringList{"File", "Edit", "View", "Format", "Thing", "Window"}));
}

TEST_F(MenuCommandsTest, TitlesAndChecksFollowTheModel)
{
    model().setMode(Mode::Notes);
    EXPECT_EQ(action(Command::NewThing)->text(), "New Note");
    model().setMode(Mode::Week);
    EXPECT_EQ(action(Command::NewThing)->text(), "New Thing");

    action(Command::ToggleLists)->trigger();
    EXPECT_FALSE(model().settings().showLists());
    EXPECT_EQ(action(Command::ToggleLists)->text(), "Show Lists");
    EXPECT_EQ(h.settings().value("showLists").toString(), "false");

    action(Command::FocusMode)->trigger();
    EXPECT_TRUE(model().focusMode().isFocusMode());
    EXPECT_EQ(action(Command::FocusMode)->text(), "Leave Focus Mode");
    action(Command::FocusMode)->trigger();
    EXPECT_FALSE(model().focusMode().isFocusMode());

    EXPECT_TRUE(action(Command::FloatOnTop)->isChecked());
    action(Command::FloatOnTop)->trigger();
    EXPECT_FALSE(model().settings().floats());
    model().settings().setFloats(true);
    EXPECT_TRUE(action(Command::FloatOnTop)->isChecked());
}

TEST_F(MenuCommandsTest, ItemsCallTheirOperations)
{
    const auto id = model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    model().selection().select(id);
    action(Command::Open)->trigger();
    EXPECT_EQ(model().opened(), id);
    model().setOpened(std::nullopt);

    action(Command::NewThing)->trigger();
    EXPECT_EQ(model().editing(), Editing::newThing(Place::onDay(today)));
    model().setEditing(std::nullopt);

    action(Command::Month)->trigger();
    EXPECT_EQ(model().mode(), Mode::Month);
    action(Command::Week)->trigger();
    const Day anchor = model().anchor();
    action(Command::Later)->trigger();
    EXPECT_EQ(model().anchor(), anchor.adding(7));
    action(Command::Today)->trigger();
    EXPECT_TRUE(model().weekDays().contains(today));

    model().selection().select(id);
    action(Command::Eventually)->trigger();
    EXPECT_EQ(titlesOn(model(), Place::inList(0)), QStringList{"call the dentist"});

    action(Command::Settings)->trigger();
    action(Command::Quit)->trigger();
    EXPECT_EQ(settingsShown, 1);
    EXPECT_EQ(quits, 1);
}

TEST_F(MenuCommandsTest, CopyAndCutTakeTheTextSelectionFirstThenTheThings)
{
    const auto id = model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    model().selection().select(id);
    QLineEdit* field = typing(QStringLiteral("renaming"));
    field->setCursorPosition(3);

    // A caret with nothing selected: the selected thing is copied, not the empty text.
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(h.clipboard->data);
    EXPECT_TRUE(h.clipboard->data->hasFormat(QString::fromLatin1(PembyThings::mimeType)));
    EXPECT_EQ(h.clipboard->data->text(), "call the dentist");

    // With text selected, the text is the field's to copy.
    const int writes = h.clipboard->writes;
    field->selectAll();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(h.clipboard->writes, writes);

    // Cut with nothing selected in the text: the things go, quietly.
    field->deselect();
    action(Command::Cut)->trigger();
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{});
    EXPECT_EQ(model().toast(), std::nullopt);
    EXPECT_EQ(field->text(), "renaming");
}

TEST_F(MenuCommandsTest, UndoAndSelectAllGoToTheTextThenTheModel)
{
    model().add(QStringLiteral("call the dentist"), Place::onDay(today));
    QLineEdit* field = typing(QString());
    QTest::keyClicks(field, QStringLiteral("abc"));
    action(Command::Undo)->trigger();
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{"call the dentist"});
    field->setText(QStringLiteral("all of it"));
    field->deselect();
    action(Command::SelectAll)->trigger();
    EXPECT_EQ(field->selectedText(), "all of it");

    // Nothing typed into: the plan's history.
    delete field;
    window->content()->setFocus();
    action(Command::SelectAll)->trigger();
    EXPECT_TRUE(model().selection().ids().isEmpty());
    action(Command::Undo)->trigger();
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{});
    action(Command::Redo)->trigger();
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{"call the dentist"});
}

TEST_F(MenuCommandsTest, UndoAndRedoOfANoteGoThroughItsOwnHistory)
{
    auto* editor = new NoteEditor(window->content());
    editor->load(std::nullopt, QString());
    editor->show();
    editor->focus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(NoteEditor::isEditing());
    NoteTextView* view = editor->textView();
    QTest::keyClicks(view, QStringLiteral("one"));
    view->toggleNumbers();
    ASSERT_EQ(view->toPlainText(), "1.\tone");
    // Each item steps once through what the note did, and back.
    action(Command::Undo)->trigger();
    EXPECT_EQ(view->toPlainText(), "one");
    action(Command::Undo)->trigger();
    EXPECT_EQ(view->toPlainText(), "");
    action(Command::Redo)->trigger();
    EXPECT_EQ(view->toPlainText(), "one");
    action(Command::Redo)->trigger();
    EXPECT_EQ(view->toPlainText(), "1.\tone");
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{});
}

TEST_F(MenuCommandsTest, InTheNotesUndoBringsBackADeletedNoteAndRedoStillRedoesThePlan)
{
    model().setMode(Mode::Notes);
    NotesModel& notes = model().notes();
    notes.create();
    ASSERT_EQ(notes.notes().size(), 1);
    notes.deleteNote(notes.notes().first()->id());
    ASSERT_TRUE(notes.notes().isEmpty());
    window->content()->setFocus();
    action(Command::Undo)->trigger();
    EXPECT_EQ(notes.notes().size(), 1);

    model().add(QStringLiteral("pay rent"), Place::onDay(today));
    model().undo();
    action(Command::Redo)->trigger();
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), QStringList{"pay rent"});
}

TEST_F(MenuCommandsTest, PasteMakesThingsOfTheClipboardWhenNoTextTakesIt)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(QStringLiteral("- [ ] buy milk\n- [ ] pay rent"));
    h.clipboard->data = std::move(data);
    window->content()->setFocus();
    action(Command::Paste)->trigger();
    EXPECT_EQ(titlesOn(model(), Place::onDay(today)), (QStringList{"buy milk", "pay rent"}));
}

TEST_F(MenuCommandsTest, FormatItemsReachTheNoteThatHasTheKeysAndNothingElse)
{
    auto* editor = new NoteEditor(window->content());
    editor->load(std::nullopt, QStringLiteral("lisbon in may"));
    editor->show();
    // Outside a note they do nothing.
    window->content()->setFocus();
    action(Command::Bold)->trigger();

    editor->focus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(NoteEditor::isEditing());
    editor->textView()->selectAll();
    action(Command::Bold)->trigger();
    EXPECT_GE(editor->textView()->textCursor().charFormat().fontWeight(), QFont::DemiBold);
}

TEST_F(MenuCommandsTest, FindKeysGoToTheNoteThatHasTheKeysAndToSearchOtherwise)
{
    model().setMode(Mode::Notes);
    QSignalSpy searches(&model().notes(), &NotesModel::searchRequestChanged);
    auto* editor = new NoteEditor(window->content());
    editor->load(std::nullopt, QStringLiteral("lisbon in may, lisbon in june"));
    editor->show();
    // The notes screen gives its list the keys as it comes up.
    QCoreApplication::processEvents();
    editor->focus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(editor->textView()->hasFocus());

    QTest::keyClick(editor->textView(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(editor->findBar()->isVisible());
    EXPECT_EQ(searches.count(), 0);
    // In the find field as well.
    QTest::keyClicks(editor->findBar()->findField(), QStringLiteral("lisbon"));
    QTest::keyClick(editor->findBar()->findField(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(searches.count(), 0);
    QTest::keyClick(editor->findBar()->findField(), Qt::Key_Escape);

    // Anywhere else Ctrl+F is the menu's "Search…".
    window->content()->setFocus();
    QTest::keyClick(window->content(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(searches.count(), 1);
}

} // namespace
