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
    reveal(ranges.first().location, ranges.last().end());
    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    int count = 0;
    // From the last, so the earlier ranges stay where they are.
    for (auto it = ranges.crbegin(); it != ranges.crend(); ++it) {
        if (it->location < 0 || it->length <= 0 || it->end() > pemby::textLength(*document()))
            continue;
        put(cursor, it->location, it->end(), text, formatAt(it->location));
        ++count;
    }
    cursor.endEditBlock();
    return count;
}

bool NoteTextView::reveal(int from, int to)
{
    if (!sectionsActive_)
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
        const bool holds = from < to ? (from < body.end() && to > body.location)
                                     : (from >= body.location && from < body.end());
        if (holds && body.length > 0) {
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
