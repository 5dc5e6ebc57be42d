#pragma once
// The red wavy line under misspelt words of a note. It is drawn, not written: the
// marks are formats of the text's layout, so they never reach the note's file, its
// undo history or its change date.
//
// Only paragraphs whose text changed are checked again. An edit checks its own
// paragraphs at once; a note that was just opened, and every paragraph after the
// dictionaries became ready, is checked a slice at a time when the editor is idle,
// the paragraphs on screen first.
//
// API
//   auto* marks = new SpellingMarks(textView);   follows the shared checker
//   marks->attach(document);                      after every load
//   marks->misspeltWordAt(position)               the marked word there, if any

#include "spellchecker.h"

#include <QPointer>
#include <QSyntaxHighlighter>
#include <QTimer>

#include <optional>

class QTextEdit;

class SpellingMarks : public QSyntaxHighlighter {
    Q_OBJECT
public:
    struct Word {
        TextRange range;  // in the document
        QString text;
        int language = -1;
    };

    // Marks the text `view` shows; `checker` defaults to the shared one.
    explicit SpellingMarks(QTextEdit* view, SpellChecker* checker = nullptr);
    // Takes its marks off the text, which is a change of the document's: its owner
    // deletes it while still whole.
    ~SpellingMarks() override;

    void attach(QTextDocument* document);
    SpellChecker* checker() const { return checker_; }

    // The marked word that holds `position` (its end included).
    std::optional<Word> misspeltWordAt(int position) const;
    // The marked words of a paragraph, in text order; for tests and pictures.
    QList<TextRange> marks(const QTextBlock& block) const;
    // Whether the marks are being redrawn outside any edit: their document changes
    // are then none of the text's.
    bool isMarking() const { return marking_ > 0; }
    // Whether paragraphs wait to be checked.
    bool isChecking() const { return pass_.isActive(); }
    // Checks every paragraph that waits, now (for pictures and tests).
    void checkAll();

protected:
    void highlightBlock(const QString& text) override;

private:
    void editing(int position, int removed, int added);
    void edited();
    void wordsChanged(const QString& word);
    void defer();
    void step();
    bool needsCheck(const QTextBlock& block) const;
    void recheck(const QTextBlock& block);

    QPointer<QTextEdit> view_;
    QPointer<SpellChecker> checker_;
    QTextCharFormat mark_;
    QTimer pass_;
    int generation_ = 0;
    int marking_ = 0;
    bool forced_ = false;
    // The edit being made: its paragraphs are checked at once, up to a few.
    std::optional<TextRange> editing_;
    int checkedNow_ = 0;
    // The idle pass: the next paragraph it looks at, and whether paragraphs before it
    // were put off since it began.
    int scanNext_ = 0;
    bool deferredBehind_ = false;
};
