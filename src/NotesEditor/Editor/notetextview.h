#pragma once
// The editing surface of every note. Plain rich text gets the structure of a note:
// four paragraph roles (title, heading, subheading, body) read from the size of a
// paragraph's first character, bold, italic and underline, bulleted, numbered and
// checkbox lists written as marker characters at the start of a paragraph,
// dividers, explicit paragraph direction, paste and drop as plain text, and
// paragraph styles kept in line after every edit. Headings can be made collapsible
// and folded by their chevron in the margin beside the text column.
//
// Qt tells us about an edit only after it happened (QTextDocument::contentsChange),
// so every change is collected there and the edit is finished right after the
// event or command that made it: restyle and section bookkeeping are joined into
// that edit's own undo step. Undo and redo only bring back finished text, so they
// are never finished a second time.

#include "bidi.h"
#include "paragraphmarkers.h"
#include "sectionfolds.h"
#include "textdocument.h"

#include <QTextEdit>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QMimeData;
class SectionMargin;
class SpellingMarks;

class NoteTextView : public QTextEdit {
    Q_OBJECT
public:
    struct FormattingState {
        TextRole role = TextRole::body;
        bool bold = false;
        bool italic = false;
        bool underline = false;
        ParagraphKind kind;
        bool collapsible = false;
        bool operator==(const FormattingState&) const = default;
    };

    // A folding chevron in the view's own coordinates.
    struct Chevron {
        QRect rect;
        int ordinal = 0;
        bool collapsed = false;
        bool rightToLeft = false;
    };

    // The text column: never wider than this, never closer to an edge than the inset.
    static constexpr int maxReadingWidth = 640;
    static constexpr int minimumInset = 44;
    static constexpr int verticalInset = 20;

    explicit NoteTextView(QWidget* parent = nullptr);
    ~NoteTextView() override;

    // Shows a note's text (in the note's own form: fold state as marks on its
    // heading paragraphs). Not an edit: nothing is reported and the undo history
    // starts empty.
    void setNoteText(std::unique_ptr<QTextDocument> text);
    // A copy of the text in the note's own form.
    std::unique_ptr<QTextDocument> noteText() const;
    QList<int> collapsibleOrdinals() const;
    QList<int> collapsedOrdinals() const;

    // Runs an action by its name ("toggleBold:", "directionRTL:", …); false for a
    // name that is none of them.
    bool perform(QStringView action);

    void formatTitle() { apply(TextRole::title); }
    void formatHeading() { apply(TextRole::heading); }
    void formatSubheading() { apply(TextRole::subheading); }
    void formatBody() { apply(TextRole::body); }
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    void toggleBullets() { toggleList(ParagraphKind::bullet()); }
    void toggleNumbers() { toggleList(ParagraphKind::numbered(1)); }
    void toggleChecklist() { toggleList(ParagraphKind::checkbox(false)); }
    void insertDivider();
    void toggleCollapsibleSection();
    void setDirection(std::optional<TextDirection> direction);

    FormattingState formattingState() const;
    QList<Chevron> chevrons() const;
    // Folds or unfolds the section whose chevron lies under `point` (view
    // coordinates), even in a read-only view; false when there is none.
    bool toggleSection(const QPoint& point);

    // Undo and redo of the note's own history. They are the only ways back, so
    // a replayed change is never taken for a new one.
    void undo();
    void redo();

    // System font 15 regular, no letter spacing, the text colour.
    static QTextCharFormat bodyTypingAttributes();
    // The horizontal inset of the text column in a view `width` wide.
    static int horizontalInset(int width);

    // Runs after a fold or unfold that the user made.
    std::function<void()> onSectionsChanged;

    // Spelling and find.
    SpellingMarks* spelling() const { return spelling_; }
    // Replaces [from, to) by `text` in the attributes of its first character, as one
    // edit by the user: one undo step, finished and reported like typing.
    bool replaceText(int from, int to, const QString& text);
    // Replaces every range (in text order, not overlapping) in one undo step; what
    // they hide in folded sections is shown first. How many were replaced.
    int replaceAll(const QList<TextRange>& ranges, const QString& text);
    // Unfolds every folded section whose hidden body holds part of [from, to) (or
    // `from`, when empty), or of one of `ranges`; whether one was. Reported as a fold
    // change.
    bool reveal(int from, int to);
    bool reveal(const QList<TextRange>& ranges);

signals:
    // After every edit of the text by the user (fold changes report through onSectionsChanged).
    void edited();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    friend class SectionMargin;
    class Scope;
    struct Change {
        int location = 0;
        int length = 0;         // of the new text
        bool touchedHidden = false;
        bool nearHidden = false;  // at or in a hidden run, its ends included
        bool resized = false;     // the text got longer or shorter, not only reformatted
    };

    // Editing operations.
    void apply(TextRole role);
    void toggleTrait(bool bold);
    void toggleList(const ParagraphKind& kind);
    void renumber(QTextCursor& cursor);
    bool insertNewline();
    bool deleteBackward();
    bool toggleCheckbox(const QPoint& viewportPoint);
    void resetStyleAfterBlock(const TextRange& ended, const QTextBlock& block);
    bool replace(QTextCursor& cursor, int from, int to, const QString& text, std::optional<int> attributesFrom);
    QTextCharFormat formatAt(int position) const;
    QList<QTextBlock> selectedParagraphs() const;
    QTextBlock caretParagraph() const;
    bool editable() const;

    // Finishing edits.
    void replay(void (QTextEdit::*step)());
    void attach(QTextDocument* text);
    void contentsChanged(int position, int removed, int added);
    void finishEdits();
    void unfoldTouched(const QList<Change>& changes);
    void restyle(int from, int to);

    // Folding.
    void completePendingSection();
    void refreshSections();
    void sectionsDidChange();
    void caretMoved();
    // A line up or down that stepped over a fold in one go (the hidden lines have no
    // height, so the caret never lands in them) ends where stepping into it would.
    void stepOverFold(int from, bool down);
    std::optional<TextRange> hiddenRunAt(int position) const;
    // The headings as of the last look at the whole text, moved along by the edits
    // since; looked at again once an edit touched one.
    const QList<Sections::Heading>& headings() const;
    void placeColumn();
    void updateMargins();
    // The spelling entries of the text menu for the word under `viewportPoint`.
    void addSpellingEntries(QMenu& menu, const QPoint& viewportPoint);

    SectionFolds folds_;
    SectionMargin* leftMargin_ = nullptr;
    SectionMargin* rightMargin_ = nullptr;
    SpellingMarks* spelling_ = nullptr;
    bool sectionsActive_ = false;
    QList<TextRange> lastHidden_;
    mutable QList<Sections::Heading> headings_;
    mutable bool headingsStale_ = true;
    std::optional<int> pendingSectionStart_;

    QList<Change> changes_;
    QList<TextRange> hiddenNow_;  // lastHidden_ moved along by the changes so far
    int depth_ = 0;               // events and commands under way
    int quiet_ = 0;               // our own bookkeeping writes: not edits
    bool replaying_ = false;
    bool pressFromMargin_ = false;  // a press beside the column, already tested for boxes and chevrons
    bool finishQueued_ = false;
    int redoSteps_ = 0;
    int lastCaret_ = 0;
};
