#pragma once
// The one way into the note editor for the rest of the application: a widget
// holding the note text view, which loads a note (note-file RTF with a plain-text
// fallback, or a note of the notes folder), writes it back, reports the user's
// edits through one callback, opens the format popover and runs the Format menu's
// commands in whichever note has the keys.
//
// The text's undo history is the editor's own: every load clears it, a load never
// counts as an edit, and nothing of it reaches the plan's undo.

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include <functional>
#include <optional>

class FindBar;
class Note;
class NoteTextView;
class Popover;

class NoteEditor : public QWidget {
    Q_OBJECT
public:
    // The Format menu's twelve commands; each names the text view's action.
    enum class Command { title, heading, subheading, body, bold, italic, underline, bullets, numbers, checklist,
                         divider, collapsible };
    static const QList<Command>& allCommands();
    static QString rawValue(Command command);
    // nullopt for a text that names none of them.
    static std::optional<Command> command(QStringView rawValue);

    explicit NoteEditor(QWidget* parent = nullptr);
    ~NoteEditor() override;

    // Shows note-file RTF, or `plain` when there is none or it cannot be read. The
    // caret goes to the end.
    void load(const std::optional<QByteArray>& rtf, const QString& plain);
    // Shows a note of the notes folder with its folding; the caret goes to the start.
    void load(const Note& note);
    // Writes the text and its folding into the note.
    void store(Note& note) const;
    // The text as note-file RTF.
    std::optional<QByteArray> rtf() const;
    QString plainText() const;
    // Nothing but white space.
    bool isEmpty() const;

    bool isEditable() const;
    void setEditable(bool editable);
    // Gives the text the keys; nothing while the editor is in no window.
    void focus();

    // Opens the format popover beside `anchor`; a new one every time.
    Popover* showFormat(QWidget* anchor);

    // Runs a command in the note text view that has the keys; false when none has.
    static bool perform(Command command);
    // Whether a note text view has the keys.
    static bool isEditing();

    // Runs after each edit by the user, folding included, never after a load.
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

    // Behind the text, and behind selected text. Until set they follow the palette
    // (base and highlight), light or dark as the application is.
    QColor background() const;
    void setBackground(const QColor& color);
    QColor selection() const;
    void setSelection(const QColor& color);

    NoteTextView* textView() const { return textView_; }
    // Under the text; Ctrl+F, Ctrl+G, Shift+Ctrl+G and Ctrl+H open it while the text
    // has the keys.
    FindBar* findBar() const { return findBar_; }

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showText(std::unique_ptr<QTextDocument> text, QTextCursor::MoveOperation caret);
    void changed();
    void applyColors();

    NoteTextView* textView_;
    FindBar* findBar_;
    bool isLoading_ = false;
    std::function<void()> onChange_;
    std::optional<QColor> background_;
    std::optional<QColor> selection_;
};
