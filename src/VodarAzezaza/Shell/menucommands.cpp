#include "menucommands.h"

#include "appmodel.h"
#include "boardselection.h"
#include "plansearch.h"
#include "boarddrag.h"
#include "focusmode.h"
#include "noteeditor.h"
#include "notesmodel.h"
#include "notetextview.h"
#include "pembythings.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "popover.h"
#include "sheets.h"
#include "thingclipboard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace {

using Command = MenuCommands::Command;
using TextAction = MenuCommands::TextAction;

bool hasSelection(const QWidget* text)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(text))
        return line->hasSelectedText();
    if (const auto* rich = qobject_cast<const QTextEdit*>(text))
        return rich->textCursor().hasSelection();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(text))
        return plain->textCursor().hasSelection();
    return false;
}

// Runs the action on one kind of text widget; whether it could. Text that cannot be
// edited still copies and selects.
template <class Text>
bool perform(Text* text, TextAction action)
{
    if (text->isReadOnly() && action != TextAction::Copy && action != TextAction::SelectAll)
        return false;
    switch (action) {
    case TextAction::Cut:
        text->cut();
        break;
    case TextAction::Copy:
        text->copy();
        break;
    case TextAction::Paste:
        text->paste();
        break;
    case TextAction::SelectAll:
        text->selectAll();
        break;
    case TextAction::Undo:
        text->undo();
        break;
    case TextAction::Redo:
        text->redo();
        break;
    }
    return true;
}

QKeySequence keys(QKeyCombination combination)
{
    return QKeySequence(combination);
}

} // namespace

MenuCommands::MenuCommands(QMenuBar* bar, Hooks hooks, QObject* parent)
    : QObject(parent)
    , bar_(bar)
    , hooks_(std::move(hooks))
{
    const auto onModel = [this](auto run) {
        return [this, run] {
            if (model_)
                run(*model_);
        };
    };

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    add(file, Command::NewThing, QStringLiteral("New Thing"), keys(Qt::CTRL | Qt::Key_N), onModel([](AppModel& m) {
        if (m.mode() == Mode::Notes)
            m.notes().create();
        else
            m.startNewThing(m.placeForNew());
    }));
    add(file, Command::NewList, QStringLiteral("New List"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
        onModel([](AppModel& m) { m.lists().addList(); }));
    file->addSeparator();
    // There is no application menu here: the settings and quitting live in the first menu.
    add(file, Command::Settings, QStringLiteral("Settings…"), keys(Qt::CTRL | Qt::Key_Comma), [this] {
        if (hooks_.showSettings)
            hooks_.showSettings();
    })->setMenuRole(QAction::PreferencesRole);
    file->addSeparator();
    add(file, Command::Quit, QStringLiteral("Quit Pemby Planner (eventually)"), keys(Qt::CTRL | Qt::Key_Q), [this] {
        if (hooks_.quit)
            hooks_.quit();
    })->setMenuRole(QAction::QuitRole);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    add(edit, Command::Undo, QStringLiteral("Undo"), keys(Qt::CTRL | Qt::Key_Z), [this] { undo(); });
    add(edit, Command::Redo, QStringLiteral("Redo"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo(); });
    edit->addSeparator();
    add(edit, Command::Cut, QStringLiteral("Cut"), keys(Qt::CTRL | Qt::Key_X), [this] { cut(); });
    add(edit, Command::Copy, QStringLiteral("Copy"), keys(Qt::CTRL | Qt::Key_C), [this] { copy(); });
    add(edit, Command::Paste, QStringLiteral("Paste"), keys(Qt::CTRL | Qt::Key_V), [this] { paste(); });
    add(edit, Command::SelectAll, QStringLiteral("Select All"), keys(Qt::CTRL | Qt::Key_A),
        [] { sendToText(TextAction::SelectAll, false); });

    QMenu* view = bar->addMenu(QStringLiteral("View"));
    add(view, Command::Week, QStringLiteral("Week"), keys(Qt::CTRL | Qt::Key_1),
        onModel([](AppModel& m) { m.setMode(Mode::Week); }));
    add(view, Command::Month, QStringLiteral("Month"), keys(Qt::CTRL | Qt::Key_2),
        onModel([](AppModel& m) { m.setMode(Mode::Month); }));
    add(view, Command::Notes, QStringLiteral("Notes"), keys(Qt::CTRL | Qt::Key_3),
        onModel([](AppModel& m) { m.setMode(Mode::Notes); }));
    view->addSeparator();
    add(view, Command::FocusMode, QStringLiteral("Focus Mode"), keys(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        onModel([](AppModel& m) {
            if (m.focusMode().isFocusMode())
                m.focusMode().exitFocusMode();
            else
                m.focusMode().enterFocusMode();
        }));
    view->addSeparator();
    add(view, Command::Today, QStringLiteral("Today"), keys(Qt::CTRL | Qt::Key_T), onModel([](AppModel& m) { m.goToday(); }));
    add(view, Command::Earlier, QStringLiteral("Earlier"), keys(Qt::CTRL | Qt::Key_BracketLeft),
        onModel([](AppModel& m) { m.go(-1); }));
    add(view, Command::Later, QStringLiteral("Later"), keys(Qt::CTRL | Qt::Key_BracketRight),
        onModel([](AppModel& m) { m.go(1); }));
    view->addSeparator();
    add(view, Command::ToggleLists, QStringLiteral("Show Lists"), QKeySequence(),
        onModel([](AppModel& m) { m.settings().setShowLists(!m.settings().showLists()); }));
    view->addSeparator();
    add(view, Command::Search, QStringLiteral("Search…"), keys(Qt::CTRL | Qt::Key_F), onModel([](AppModel& m) {
        if (m.mode() == Mode::Notes)
            m.notes().requestSearch();
        else
            m.search().beginSearch();
    }));

    // The note editor's commands: always there, acting on the note that has the keys
    // and doing nothing elsewhere.
    QMenu* format = bar->addMenu(QStringLiteral("Format"));
    using Edit = NoteEditor::Command;
    const std::array<std::tuple<Command, Edit, const char*, QKeySequence>, 12> formats{{
        {Command::Title, Edit::title, "Title", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_T)},
        {Command::Heading, Edit::heading, "Heading", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_H)},
        {Command::Subheading, Edit::subheading, "Subheading", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_J)},
        {Command::Body, Edit::body, "Body", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_B)},
        {Command::Bold, Edit::bold, "Bold", keys(Qt::CTRL | Qt::Key_B)},
        {Command::Italic, Edit::italic, "Italic", keys(Qt::CTRL | Qt::Key_I)},
        {Command::Underline, Edit::underline, "Underline", keys(Qt::CTRL | Qt::Key_U)},
        {Command::Bullets, Edit::bullets, "Bulleted List", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_8)},
        {Command::Numbers, Edit::numbers, "Numbered List", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_9)},
        {Command::Checklist, Edit::checklist, "Checklist", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_L)},
        {Command::Divider, Edit::divider, "Insert Divider", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
        {Command::Collapsible, Edit::collapsible, "Collapsible Section", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_K)},
    }};
    for (const auto& [command, edit, text, shortcut] : formats) {
        add(format, command, QString::fromUtf8(text), shortcut, [edit] { NoteEditor::perform(edit); });
        if (command == Command::Body || command == Command::Underline)
            format->addSeparator();
    }

    QMenu* thing = bar->addMenu(QStringLiteral("Thing"));
    add(thing, Command::Open, QStringLiteral("Open"), keys(Qt::CTRL | Qt::Key_Return),
        onModel([](AppModel& m) { m.setOpened(m.selection().primary()); }));
    add(thing, Command::NotThisWeek, QStringLiteral("Not This Week"), QKeySequence(),
        onModel([](AppModel& m) { m.notThisWeek(m.selection().orderedIDs()); }));
    add(thing, Command::Eventually, QStringLiteral("Eventually"), QKeySequence(),
        onModel([](AppModel& m) { m.sendToEventually(m.selection().orderedIDs()); }));
    thing->addSeparator();
    add(thing, Command::PushRestOfWeek, QStringLiteral("Move the Rest of the Week to Next Week"),
        keys(Qt::CTRL | Qt::ALT | Qt::Key_Right), onModel([](AppModel& m) { m.pushRestOfWeek(); }));

    QMenu* window = bar->addMenu(QStringLiteral("Window"));
    // A switch: triggering it has already flipped its check.
    add(window, Command::FloatOnTop, QStringLiteral("Float on Top"), keys(Qt::CTRL | Qt::ALT | Qt::Key_T), [this] {
        if (model_)
            model_->settings().setFloats(action(Command::FloatOnTop)->isChecked());
    })->setCheckable(true);

    qApp->installEventFilter(this);
    refresh();
}

MenuCommands::~MenuCommands() = default;

QAction* MenuCommands::add(QMenu* menu, Command command, const QString& text, const QKeySequence& shortcut,
                           std::function<void()> run)
{
    auto* action = new QAction(text, menu);
    action->setShortcut(shortcut);
    // Qt would move items whose titles look like "About" or "Settings" on its own.
    action->setMenuRole(QAction::NoRole);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    menu->addAction(action);
    actions_[std::size_t(command)] = action;
    return action;
}

QMenu* MenuCommands::menu(const QString& title) const
{
    for (QAction* top : bar_->actions()) {
        if (top->menu() && top->text() == title)
            return top->menu();
    }
    return nullptr;
}

void MenuCommands::setModel(AppModel* model)
{
    for (const auto& c : std::as_const(connections_))
        disconnect(c);
    connections_.clear();
    model_ = model;
    if (model) {
        // The menus rest on several properties of the model and its parts: once per operation.
        connections_.append(connect(&model->transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
            if (changes.containsAny({&AppModel::modeChanged, &FocusMode::isFocusModeChanged, &BoardSelection::selectionChanged,
                                     &PlannerSettings::showListsChanged, &PlannerSettings::floatsChanged}))
                refresh();
        }));
    }
    refresh();
}

void MenuCommands::refresh()
{
    AppModel* m = model_;
    action(Command::NewThing)->setText(m && m->mode() == Mode::Notes ? QStringLiteral("New Note")
                                                                     : QStringLiteral("New Thing"));
    action(Command::FocusMode)->setText(m && m->focusMode().isFocusMode() ? QStringLiteral("Leave Focus Mode")
                                                              : QStringLiteral("Focus Mode"));
    action(Command::ToggleLists)->setText(m && m->settings().showLists() ? QStringLiteral("Hide Lists")
                                                              : QStringLiteral("Show Lists"));
    action(Command::FloatOnTop)->setChecked(m && m->settings().floats());
    const bool selected = m && !m->selection().ids().isEmpty();
    for (const Command command : {Command::Open, Command::NotThisWeek, Command::Eventually})
        action(command)->setEnabled(selected);
}

// ---- Text first -------------------------------------------------------------------

std::optional<QString> MenuCommands::htmlOnlyClipboardText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || data->hasText() || !data->hasHtml())
        return std::nullopt;
    return QTextDocumentFragment::fromHtml(data->html()).toPlainText();
}

QWidget* MenuCommands::focusedText()
{
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus))
        return focus;
    return nullptr;
}

bool MenuCommands::sendToText(TextAction action, bool needsSelection)
{
    QWidget* text = focusedText();
    if (!text || (needsSelection && !hasSelection(text)))
        return false;
    // A note keeps its own history: its undo and redo are the only ways back into it.
    if (auto* note = qobject_cast<NoteTextView*>(text);
        note && !note->isReadOnly() && (action == TextAction::Undo || action == TextAction::Redo)) {
        if (action == TextAction::Undo)
            note->undo();
        else
            note->redo();
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(text))
        return perform(line, action);
    if (auto* rich = qobject_cast<QTextEdit*>(text))
        return perform(rich, action);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(text))
        return perform(plain, action);
    return false;
}

void MenuCommands::undo()
{
    if (sendToText(TextAction::Undo, false) || !model_)
        return;
    // In the notes, Undo brings back deleted notes; the plan's history is not theirs.
    if (model_->mode() == Mode::Notes)
        model_->notes().undo();
    else
        model_->undo();
}

void MenuCommands::redo()
{
    if (sendToText(TextAction::Redo, false) || !model_)
        return;
    model_->redo();
}

void MenuCommands::cut()
{
    if (sendToText(TextAction::Cut, true) || !model_)
        return;
    model_->cutSelection();
}

void MenuCommands::copy()
{
    if (sendToText(TextAction::Copy, true) || !model_)
        return;
    model_->clipboard().copySelection();
}

void MenuCommands::paste()
{
    if (!model_)
        return;
    // A browser's selection may offer HTML alone: its text is what is pasted, as
    // things where lines become things, else into the field.
    const std::optional<QString> html = htmlOnlyClipboardText();
    std::optional<QList<PembyThing>> fromHtml;
    if (html)
        fromHtml = PembyThings::parse(*html);
    if (model_->clipboard().pasteAsThingsWhileTyping(fromHtml, fromHtml ? std::optional<bool>(false) : std::nullopt))
        return;
    if (auto* line = qobject_cast<QLineEdit*>(focusedText()); line && html) {
        if (!line->isReadOnly())
            line->insert(*html);
        return;
    }
    if (sendToText(TextAction::Paste, false))
        return;
    const QList<PembyThing> things = fromHtml ? *fromHtml : model_->clipboard().clipboardThings();
    if (!things.isEmpty())
        model_->drag().addThings(things, model_->placeForNew());
}

bool MenuCommands::carriesMenus(const QWidget* window) const
{
    if (!window)
        return false;
    const QWidget* top = window->window();
    return top == bar_->window() || top->actions().contains(action(Command::Quit));
}

void MenuCommands::carryShortcuts(QWidget* window)
{
    // A popover or a sheet over one of the planner's windows is where the keys go while
    // it is open; the shortcuts of the window under it go with them. The windows under
    // it are the main window (the menu bar's actions), the focus panel and a sheet
    // (the actions they carry themselves).
    const auto* popover = qobject_cast<Popover*>(window);
    const auto* dialog = qobject_cast<QDialog*>(window);
    const bool sheet = dialog && dialog->findChild<SheetContent*>(QString(), Qt::FindDirectChildrenOnly);
    if ((!popover && !sheet) || !window->parentWidget())
        return;
    QWidget* under = window->parentWidget()->window();
    QList<QAction*> carried;
    if (under == bar_->window()) {
        for (QAction* a : actions_) {
            if (a && !a->shortcut().isEmpty())
                carried.append(a);
        }
    } else if (carriesMenus(under)) {
        carried = under->actions();
    }
    // Focus mode hides the window under it, and a sheet would go with it, still open:
    // its switch waits until what is open has closed.
    carried.removeAll(action(Command::FocusMode));
    for (QAction* a : std::as_const(carried)) {
        if (!window->actions().contains(a))
            window->addAction(a);
    }
}

bool MenuCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show) {
        if (auto* window = qobject_cast<QWidget*>(watched); window && window->isWindow())
            carryShortcuts(window);
        return false;
    }
    if (event->type() != QEvent::ShortcutOverride || !model_)
        return false;
    auto* text = qobject_cast<QWidget*>(watched);
    if (!text || text != focusedText() || !carriesMenus(text))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    // Several lines pasted into a new thing's line, or while a detail is open, become
    // things: the menu's Paste decides, and hands an ordinary paste back to the text.
    const bool pastesThings =
        (model_->editing() && model_->editing()->isNew()) || model_->opened().has_value();
    if ((pastesThings || htmlOnlyClipboardText()) && qobject_cast<QLineEdit*>(text)
        && action(Command::Paste)->shortcut() == pressed) {
        key->ignore();
        return true;
    }
    // A text field claims Cut and Copy even with nothing selected; then they belong to
    // the selected things, so the field's claim is turned down and the menu's item runs.
    if (model_->selection().ids().isEmpty() || hasSelection(text))
        return false;
    for (const Command command : {Command::Cut, Command::Copy}) {
        if (action(command)->shortcut() == pressed) {
            key->ignore();
            return true;
        }
    }
    return false;
}
