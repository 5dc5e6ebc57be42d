// What spelling and find do to the note's text: replacing words as the user's own
// edits, and showing text that a folded section hides.
#include "notetextview.h"
#include "notetextview_p.h"

#include "sections.h"
#include "spellingmarks.h"

#include <QMenu>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

using namespace notetext;

namespace {

// Puts `text` in place of [from, to) in the look of the first character it replaces:
// a corrected word stays bold, underlined or a heading as it was.
void put(QTextCursor& cursor, int from, int to, const QString& text, const QTextCharFormat& format)
{
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text, format);
}

} // namespace

bool NoteTextView::replaceText(int from, int to, const QString& text)
{
    const int length = pemby::textLength(*document());
    if (!editable() || from < 0 || to < from || to > length)
        return false;
    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    put(cursor, from, to, text, from < length ? formatAt(from) : currentCharFormat());
    cursor.endEditBlock();
    // The caret after the new text, as if it had been typed.
    cursor.setPosition(from + int(text.size()));
    setTextCursor(cursor);
    return true;
}

int NoteTextView::replaceAll(const QList<TextRange>& ranges, const QString& text)
{
    if (!editable() || ranges.isEmpty())
        return 0;
    // Typing into a folded body unfolds it first; so does a replace.
    reveal(ranges);
    Scope scope(this);
    QTextCursor cursor(document());
    int count = 0;
    // From the last, so the earlier ranges stay where they are. Each replacement joins
    // the first one's undo step but is a change of its own, so that only the sections
    // it touches count as touched, not everything between the first and the last.
    for (auto it = ranges.crbegin(); it != ranges.crend(); ++it) {
        if (it->location < 0 || it->length <= 0 || it->end() > pemby::textLength(*document()))
            continue;
        if (count == 0)
            cursor.beginEditBlock();
        else
            cursor.joinPreviousEditBlock();
        put(cursor, it->location, it->end(), text, formatAt(it->location));
        cursor.endEditBlock();
        ++count;
    }
    return count;
}

bool NoteTextView::reveal(int from, int to)
{
    return reveal(QList<TextRange>{{from, std::max(0, to - from)}});
}

bool NoteTextView::reveal(const QList<TextRange>& ranges)
{
    if (!sectionsActive_ || ranges.isEmpty())
        return false;
    const QTextDocument& doc = *document();
    const int length = pemby::textLength(doc);
    const QList<Sections::Heading>& headings = this->headings();
    bool unfolded = false;
    for (int i = 0; i < headings.size(); ++i) {
        const QTextBlock heading = doc.findBlock(headings[i].range.location);
        if (!folds_.isCollapsed(heading))
            continue;
        const TextRange body = Sections::body(i, headings, length);
        if (body.length == 0)
            continue;
        const bool holds = std::any_of(ranges.begin(), ranges.end(), [&](const TextRange& r) {
            return r.length > 0 ? (r.location < body.end() && r.end() > body.location)
                                : (r.location >= body.location && r.location < body.end());
        });
        if (holds) {
            folds_.setCollapsed(heading, false);
            unfolded = true;
        }
    }
    if (unfolded)
        sectionsDidChange();
    return unfolded;
}

void NoteTextView::addSpellingEntries(QMenu& menu, const QPoint& viewportPoint)
{
    if (!editable())
        return;
    const int position = cursorForPosition(viewportPoint).position();
    const std::optional<SpellingMarks::Word> word = spelling_->misspeltWordAt(position);
    SpellChecker* checker = spelling_->checker();
    if (!word || !checker)
        return;
    QAction* first = menu.actions().isEmpty() ? nullptr : menu.actions().first();
    QList<QAction*> entries;
    const TextRange range = word->range;
    const QString text = word->text;
    // The word must still be there when a suggestion is picked.
    const auto stillThere = [this, range, text] {
        QTextCursor c(document());
        c.setPosition(range.location);
        c.setPosition(range.end(), QTextCursor::KeepAnchor);
        return c.selectedText() == text;
    };
    for (const QString& suggestion : checker->suggestions(text, word->language)) {
        auto* action = new QAction(suggestion, &menu);
        connect(action, &QAction::triggered, this, [this, range, suggestion, stillThere] {
            if (stillThere())
                replaceText(range.location, range.end(), suggestion);
        });
        entries.append(action);
    }
    auto* learn = new QAction(tr("Add to Dictionary"), &menu);
    connect(learn, &QAction::triggered, this, [checker = QPointer<SpellChecker>(checker), text, language = word->language] {
        if (checker)
            checker->learn(text, language);
    });
    auto* ignore = new QAction(tr("Ignore Spelling"), &menu);
    connect(ignore, &QAction::triggered, this, [checker = QPointer<SpellChecker>(checker), text, language = word->language] {
        if (checker)
            checker->ignore(text, language);
    });
    const auto separator = [&menu] {
        auto* line = new QAction(&menu);
        line->setSeparator(true);
        return line;
    };
    if (!entries.isEmpty())
        entries.append(separator());
    entries.append({learn, ignore});
    if (first)
        entries.append(separator());
    menu.insertActions(first, entries);
}
