#pragma once
// The fold state of the editor's text, kept where its undo history does not see it.
//
// Every change to a QTextDocument's formats is an undo step, and folding a section
// must not be one: Ctrl+Z after a chevron click undoes the last edit, not the fold.
// So the characters of each heading carry only a key, written once when the heading
// comes to be (as part of that edit), and whether the keyed heading is collapsible
// and folded lives in a table here. Keys ride with their characters through
// editing, cutting and undo exactly as the marks would, and a heading whose line
// comes back through undo comes back with its chevron.
//
// A note stores the state as marks on its heading paragraphs (see Sections): adopt()
// turns them into keys when a note is loaded, exportTo() back when it is stored.

#include "sections.h"
#include "textdocument.h"

#include <QHash>
#include <QList>
#include <QTextCursor>

class QTextBlock;
class QTextDocument;

class SectionFolds {
public:
    // The character property that holds a heading's key; 0 or absent means none.
    static constexpr int keyProperty = QTextFormat::UserProperty + 40;

    // Forgets everything, takes the collapsible and collapsed marks of `text` into
    // the table, removes them from the text and keys every heading. Writes to the
    // text, so it runs before the text's undo history starts.
    void adopt(QTextDocument& text);

    // After an edit of [from, to]: every heading there gets a key of its own (a new
    // heading a new one, a copy of another heading's characters a copy of its state).
    // Writes only when `mayWrite`; undo and redo only bring back keyed text.
    // Returns whether a heading lies there.
    bool settle(QTextDocument& text, int from, int to, bool mayWrite);

    // The key of a heading paragraph; 0 for any other paragraph.
    static int key(const QTextBlock& block);
    bool isCollapsible(const QTextBlock& block) const;
    bool isCollapsed(const QTextBlock& block) const;
    // Collapsing makes collapsible; making plain unfolds. A paragraph without a key changes nothing.
    void setCollapsible(const QTextBlock& block, bool on);
    void setCollapsed(const QTextBlock& block, bool on);
    // Whether any key was ever made collapsible: until then nothing needs refreshing.
    bool anyCollapsible() const;

    struct Layout {
        QList<TextRange> hidden;  // in text order; nested folded bodies are one run
        bool anyCollapsible = false;
    };
    // Shows every block and hides those of folded bodies; `headings` are the text's.
    Layout apply(QTextDocument& text, const QList<Sections::Heading>& headings) const;

    QList<int> collapsibleOrdinals(const QTextDocument& text) const;
    QList<int> collapsedOrdinals(const QTextDocument& text) const;

    // `copy` is a copy of the editor's text: takes the keys off and puts the state
    // on as the note's marks, with its hidden blocks.
    void exportTo(const QTextDocument& text, QTextDocument& copy) const;

private:
    struct State {
        bool collapsible = false;
        bool collapsed = false;
    };
    int newKey(QTextDocument& text, const QTextBlock& block, State state);
    State state(const QTextBlock& block) const;

    QHash<int, State> states_;
    // Where each key was last seen heading a paragraph, to tell a copy from the original.
    QHash<int, QTextCursor> holders_;
    int nextKey_ = 1;
};
