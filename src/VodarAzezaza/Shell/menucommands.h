#pragma once
// The menu bar: File (new thing or note, new list, settings, quit), Edit (undo and redo,
// the clipboard), View (the three screens, focus mode, navigation, the lists, search),
// Format (the note editor's twelve commands), Thing (the selected things) and Window
// (float on top). Every item calls one operation of the model, the notes model or the
// note editor; titles, enabled and checked states follow the model's signals.
//
// API
//   MenuCommands menus(window->menuBar(), {.showSettings = ..., .quit = ...});
//   menus.setModel(model);                   and again after the model is replaced
//   menus.action(MenuCommands::Command::Undo)->trigger();
//
// Text first: Undo, Redo, Cut, Copy, Paste and Select All act on the text that has the
// keys (an inline field, a note) and on things otherwise; Cut and Copy give way to the
// selected things when no text is selected.
//
// The shortcuts work over the popovers and sheets of the main window too (and over
// those of the focus panel, with the actions the panel carries): each takes the
// shortcuts of the window under it when it is shown.

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <optional>

class AppModel;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

class MenuCommands : public QObject {
    Q_OBJECT
public:
    enum class Command {
        NewThing, NewList, Settings, Quit,
        Undo, Redo, Cut, Copy, Paste, SelectAll,
        Week, Month, Notes, FocusMode, Today, Earlier, Later, ToggleLists, Search,
        Title, Heading, Subheading, Body, Bold, Italic, Underline,
        Bullets, Numbers, Checklist, Divider, Collapsible,
        Open, NotThisWeek, Eventually, PushRestOfWeek,
        FloatOnTop,
    };
    static constexpr int commandCount = int(Command::FloatOnTop) + 1;

    struct Hooks {
        std::function<void()> showSettings;
        std::function<void()> quit;
    };

    MenuCommands(QMenuBar* bar, Hooks hooks, QObject* parent = nullptr);
    ~MenuCommands() override;

    void setModel(AppModel* model);
    QAction* action(Command command) const { return actions_[std::size_t(command)]; }
    QMenu* menu(const QString& title) const;

    // The editable or selectable text that has the keys, if any.
    static QWidget* focusedText();
    enum class TextAction { Cut, Copy, Paste, SelectAll, Undo, Redo };
    // Sends the action to the focused text. With `needsSelection`, a caret without a
    // selection does not count. Whether the text took it.
    static bool sendToText(TextAction action, bool needsSelection);
    // The text of the clipboard when it offers HTML and no plain text (a browser's
    // selection); none otherwise.
    static std::optional<QString> htmlOnlyClipboardText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the window holding `widget` has the menus' shortcuts.
    bool carriesMenus(const QWidget* widget) const;
    void carryShortcuts(QWidget* window);
    QAction* add(QMenu* menu, Command command, const QString& text, const QKeySequence& shortcut,
                 std::function<void()> run);
    void refresh();
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();

    QMenuBar* bar_;
    Hooks hooks_;
    QPointer<AppModel> model_;
    QList<QMetaObject::Connection> connections_;
    std::array<QAction*, commandCount> actions_{};
};
