#pragma once
// A note editor on screen (offscreen), and the shorthand of the editor tests: a
// note written as one string, paragraphs split at "\n", "|" where the caret is (or
// two "|" around a selection) and "<hr>" for a divider's 300 characters.

#include "noteeditor.h"
#include "NotesEditor/support/notetext.h"
#include "notetextview.h"

#include <QString>
#include <QTextDocument>

#include <memory>

class ShownEditor {
public:
    explicit ShownEditor(int width = 700, int height = 500);
    ~ShownEditor();

    NoteEditor& editor() { return *editor_; }
    NoteTextView* view() { return editor_->textView(); }
    QTextDocument& document() { return *editor_->textView()->document(); }

    // Loads the shorthand as a note (body text; markers and dividers as written) and
    // puts the caret or selection where it says.
    void load(const QString& shorthand);
    // Loads paragraphs of the given sizes.
    void load(const QList<Para>& paragraphs, const QList<int>& collapsible = {}, const QList<int>& collapsed = {});
    // The text in the shorthand, caret and selection included.
    QString shorthand();
    // The text alone.
    QString text();

    void select(int from, int to);
    void caret(int position) { select(position, position); }
    int caret();

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void type(const QString& text);
    void undo() { key(Qt::Key_Z, Qt::ControlModifier); }
    void redo() { key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

    // Clicks the chevron of the nth collapsible heading that shows one; false when there is none.
    bool clickChevron(int index);

    int changes() const { return *changes_; }
    QTextBlock block(int number) { return document().findBlockByNumber(number); }
    QList<bool> visibility();

private:
    std::unique_ptr<NoteEditor> editor_;
    std::shared_ptr<int> changes_ = std::make_shared<int>(0);
};

// "<hr>" for the divider's characters, and back.
QString expanded(QString shorthand);
QString abbreviated(QString text);
