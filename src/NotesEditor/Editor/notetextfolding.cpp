#include "notetextview.h"
#include "notetextview_p.h"

#include "sections.h"
#include "typography.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

using namespace notetext;

void NoteTextView::toggleCollapsibleSection()
{
    if (!editable())
        return;
    QTextBlock block = caretParagraph();
    if (isDivider(block))
        return;
    const QTextCharFormat first = block.length() > 1 ? pemby::firstCharFormat(block) : currentCharFormat();
    if (!pemby::hasFont(first) || first.fontPointSize() < 16.5) {
        const int start = block.position();
        apply(TextRole::heading);
        // The new heading gets its key when the role change is finished: now, not
        // at the end of the key press that asked for it.
        finishEdits();
        block = document()->findBlock(start);
    }
    if (Sections::headingRank(block)) {
        folds_.setCollapsible(block, !folds_.isCollapsible(block));
        sectionsDidChange();
    } else {
        pendingSectionStart_ = block.position();
    }
}

void NoteTextView::completePendingSection()
{
    if (!pendingSectionStart_)
        return;
    const int start = *pendingSectionStart_;
    const QTextDocument& doc = *document();
    if (start > pemby::textLength(doc)) {
        pendingSectionStart_.reset();
        return;
    }
    const QTextBlock block = doc.findBlock(start);
    const int caret = textCursor().position();
    if (block.position() != start || caret < start || caret > pemby::paragraphEnd(block)) {
        pendingSectionStart_.reset();
        return;
    }
    if (!Sections::headingRank(block))
        return;
    pendingSectionStart_.reset();
    folds_.setCollapsible(block, true);
    sectionsDidChange();
}

void NoteTextView::refreshSections()
{
    SectionFolds::Layout layout;
    {
        Quiet quiet(quiet_);
        layout = folds_.apply(*document(), headings());
    }
    sectionsActive_ = layout.anyCollapsible;
    if (layout.hidden != lastHidden_) {
        lastHidden_ = layout.hidden;
        hiddenNow_ = lastHidden_;
        if (onSectionsChanged)
            onSectionsChanged();
    }
    updateMargins();
}

void NoteTextView::sectionsDidChange()
{
    {
        Quiet quiet(quiet_);
        const SectionFolds::Layout layout = folds_.apply(*document(), headings());
        sectionsActive_ = layout.anyCollapsible;
        lastHidden_ = layout.hidden;
        hiddenNow_ = lastHidden_;
    }
    const QTextCursor c = textCursor();
    if (!c.hasSelection()) {
        if (const auto run = hiddenRunAt(c.position())) {
            QTextCursor moved = c;
            moved.setPosition(std::max(0, run->location - 1));
            lastCaret_ = moved.position();
            setTextCursor(moved);
        }
    }
    updateMargins();
    if (onSectionsChanged)
        onSectionsChanged();
}

std::optional<TextRange> NoteTextView::hiddenRunAt(int position) const
{
    const auto it = std::upper_bound(lastHidden_.begin(), lastHidden_.end(), position,
                                     [](int p, const TextRange& r) { return p < r.location; });
    if (it == lastHidden_.begin())
        return std::nullopt;
    const TextRange& run = *(it - 1);
    if (position >= run.location && position < run.end())
        return run;
    return std::nullopt;
}

void NoteTextView::caretMoved()
{
    const QTextCursor c = textCursor();
    const int position = c.position();
    if (quiet_ || !changes_.isEmpty() || depth_ > 1 || !sectionsActive_ || c.hasSelection()
        || position >= pemby::textLength(*document())) {
        lastCaret_ = position;
        return;
    }
    const auto run = hiddenRunAt(position);
    if (!run) {
        lastCaret_ = position;
        return;
    }
    // Coming down into a fold the caret goes on past it; any other way it stops at
    // the end of the heading's line.
    const int length = pemby::textLength(*document());
    const int target = lastCaret_ < run->location && run->end() < length ? run->end() : std::max(0, run->location - 1);
    lastCaret_ = target;
    QTextCursor moved = c;
    moved.setPosition(target);
    Quiet quiet(quiet_);
    setTextCursor(moved);
}

void NoteTextView::stepOverFold(int from, bool down)
{
    QTextCursor c = textCursor();
    const int to = c.position();
    if (!sectionsActive_ || c.hasSelection() || to == from)
        return;
    const int length = pemby::textLength(*document());
    std::optional<int> target;
    for (const TextRange& run : std::as_const(lastHidden_)) {
        if (run.length <= 0)
            continue;
        // Down past a fold: the first visible character after it; down onto a fold
        // that runs to the end, and up past one: the end of its heading's line.
        if (down && from < run.location && to >= run.location) {
            target = run.end() < length ? run.end() : std::max(0, run.location - 1);
            break;
        }
        if (!down && from >= run.end() && to < run.end())
            target = std::max(0, run.location - 1);
    }
    if (!target || *target == to)
        return;
    c.setPosition(std::min(*target, length));
    setTextCursor(c);
}

QList<NoteTextView::Chevron> NoteTextView::chevrons() const
{
    QList<Chevron> list;
    const QTextDocument& doc = *document();
    if (!sectionsActive_ || pemby::textLength(doc) == 0)
        return list;
    const QRect column = viewport()->geometry();
    const int scrolled = verticalScrollBar()->value();
    const QList<Sections::Heading>& headings = this->headings();
    for (int i = 0; i < headings.size(); ++i) {
        const QTextBlock block = doc.findBlock(headings[i].range.location);
        if (!folds_.isCollapsible(block) || !block.isVisible())
            continue;
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() == 0 || layout->lineAt(0).height() <= 0)
            continue;
        const QTextLine line = layout->lineAt(0);
        const qreal middle = layout->position().y() + line.y() + line.height() / 2;
        const auto style = ParagraphStyle::of(block.blockFormat());
        const bool rtl = style && style->direction == TextDirection::rtl;
        const int x = rtl ? column.left() + column.width() + 8 : column.left() - 8 - 14;
        const int y = column.top() + int(std::lround(middle)) - scrolled - 7;
        list.append({QRect(x, y, 14, 14), i, folds_.isCollapsed(block), rtl});
    }
    return list;
}

bool NoteTextView::toggleSection(const QPoint& point)
{
    for (const Chevron& chevron : chevrons()) {
        if (!chevron.rect.adjusted(-5, -5, 5, 5).contains(point))
            continue;
        const QList<Sections::Heading>& headings = this->headings();
        if (chevron.ordinal >= headings.size())
            return false;
        const QTextBlock block = document()->findBlock(headings[chevron.ordinal].range.location);
        folds_.setCollapsed(block, !chevron.collapsed);
        sectionsDidChange();
        return true;
    }
    return false;
}
