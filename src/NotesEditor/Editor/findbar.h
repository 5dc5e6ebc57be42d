#pragma once
// The find bar under a note's text: a field whose every keystroke moves to the first
// match from where the search began and marks all the others, next and previous
// around the ends, a count, and, opened for replacing, a second field with "Replace"
// and "Replace All". Matching ignores case unless "Match Case" is on. A match inside
// a folded section unfolds it; "Replace All" is one undo step.
//
// API
//   auto* bar = new FindBar(textView, parent);   hidden until opened
//   bar->open(false);                            Ctrl+F; open(true) for Ctrl+H
//   bar->findNext(); bar->findPrevious();        Ctrl+G, Shift+Ctrl+G
//   bar->dismiss();                              Escape: the keys go back to the text
//
// The marks are the text view's extra selections: drawn, never part of the note.

#include "textdocument.h"

#include <QColor>
#include <QWidget>

class NoteTextView;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(NoteTextView* view, QWidget* parent = nullptr);

    // Shows the bar, with the replace row when asked and the text can be edited, and
    // gives the find field the keys with its text selected.
    void open(bool replace);
    // Hides the bar, takes the marks away and gives the keys back to the text.
    void dismiss();
    // From the selection to the next or previous match, around the end; false when
    // there is none.
    bool findNext();
    bool findPrevious();
    // Replaces the selected match and goes on to the next one.
    void replaceCurrent();
    // Replaces every match in one undo step; how many.
    int replaceAll();
    // The text under the bar changed (an edit, another note): marks and count again.
    void refresh();
    // Behind the bar: the text's own background.
    void setBackground(const QColor& color);

    // The matches of the field's text, in text order.
    QList<TextRange> matches() const;
    bool isReplacing() const;

    QLineEdit* findField() const { return find_; }
    QLineEdit* replaceField() const { return replace_; }
    QLabel* countLabel() const { return count_; }
    QCheckBox* matchCaseBox() const { return matchCase_; }

    // The keys the bar answers to while the text or the bar has them.
    enum class Key { none, find, next, previous, replace };
    static Key keyOf(const QKeyEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void searchFromOrigin();
    void select(const TextRange& match);
    void mark(const QList<TextRange>& matches);
    void showCount(const QList<TextRange>& matches);
    std::optional<int> selectedMatch(const QList<TextRange>& matches) const;
    void setReplacing(bool on);

    NoteTextView* view_;
    QLineEdit* find_;
    QToolButton* previous_;
    QToolButton* next_;
    QLabel* count_;
    QCheckBox* matchCase_;
    QToolButton* close_;
    QWidget* replaceRow_;
    QLineEdit* replace_;
    QPushButton* replaceOne_;
    QPushButton* replaceEvery_;
    // Where the search began: each keystroke in the field looks from here.
    int origin_ = 0;
    bool refreshQueued_ = false;
    QColor background_;
};
