#include "notetextview.h"
#include "notetextview_p.h"

#include "bidi.h"
#include "displayscale.h"
#include "paragraphstyler.h"
#include "textutil.h"
#include "typography.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>

using namespace notetext;

namespace {

const QString& checkedBox()
{
    static const QString box(QChar(ParagraphMarkers::checked));
    return box;
}

const QString& uncheckedBox()
{
    static const QString box(QChar(ParagraphMarkers::unchecked));
    return box;
}

bool isDirectionMark(QChar c)
{
    return c == QChar(Bidi::leftToRightMark) || c == QChar(Bidi::rightToLeftMark);
}

bool sameListType(const ParagraphKind& a, const ParagraphKind& b)
{
    return a.type == b.type;
}

ParagraphKind nextItem(const ParagraphKind& kind)
{
    switch (kind.type) {
    case ParagraphKind::Type::checkbox: return ParagraphKind::checkbox(false);
    case ParagraphKind::Type::number: return ParagraphKind::numbered(kind.number + 1);
    default: return kind;
    }
}

bool hasUnderline(const QTextCharFormat& format)
{
    return format.underlineStyle() != QTextCharFormat::NoUnderline || format.boolProperty(QTextFormat::FontUnderline);
}

void clearUnderline(QTextCharFormat& format)
{
    format.clearProperty(QTextFormat::TextUnderlineStyle);
    format.clearProperty(QTextFormat::FontUnderline);
}

// The runs of [from, to), clipped to it.
struct Run {
    int start = 0;
    int end = 0;
    QTextCharFormat format;
};

QList<Run> runsIn(const QTextDocument& text, int from, int to)
{
    QList<Run> runs;
    for (QTextBlock b = text.findBlock(from); b.isValid() && b.position() < to; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.isValid())
                continue;
            const int start = std::max(from, f.position());
            const int end = std::min(to, f.position() + f.length());
            if (start < end)
                runs.append({start, end, f.charFormat()});
        }
    }
    return runs;
}

void setRun(QTextCursor& cursor, int start, int end, const QTextCharFormat& format)
{
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
}

} // namespace

bool NoteTextView::perform(QStringView action)
{
    static const QList<std::pair<QStringView, void (NoteTextView::*)()>> actions = {
        {u"formatTitle:", &NoteTextView::formatTitle},
        {u"formatHeading:", &NoteTextView::formatHeading},
        {u"formatSubheading:", &NoteTextView::formatSubheading},
        {u"formatBody:", &NoteTextView::formatBody},
        {u"toggleBold:", &NoteTextView::toggleBold},
        {u"toggleItalic:", &NoteTextView::toggleItalic},
        {u"toggleUnderline:", &NoteTextView::toggleUnderline},
        {u"toggleBullets:", &NoteTextView::toggleBullets},
        {u"toggleNumbers:", &NoteTextView::toggleNumbers},
        {u"toggleChecklist:", &NoteTextView::toggleChecklist},
        {u"insertDivider:", &NoteTextView::insertDivider},
        {u"toggleCollapsibleSection:", &NoteTextView::toggleCollapsibleSection},
    };
    for (const auto& [name, method] : actions) {
        if (name == action) {
            (this->*method)();
            return true;
        }
    }
    if (action == u"directionLTR:")
        setDirection(TextDirection::ltr);
    else if (action == u"directionRTL:")
        setDirection(TextDirection::rtl);
    else if (action == u"directionAuto:")
        setDirection(std::nullopt);
    else
        return false;
    return true;
}

QTextBlock NoteTextView::caretParagraph() const
{
    const int length = pemby::textLength(*document());
    return document()->findBlock(std::min(length, textCursor().selectionStart()));
}

QList<QTextBlock> NoteTextView::selectedParagraphs() const
{
    const QTextCursor c = textCursor();
    QList<QTextBlock> list{caretParagraph()};
    for (QTextBlock b = list.first().next(); b.isValid() && b.position() < c.selectionEnd(); b = b.next())
        list.append(b);
    return list;
}

QTextCharFormat NoteTextView::formatAt(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.isValid() && f.contains(position))
            return f.charFormat();
    }
    return block.charFormat();
}

bool NoteTextView::replace(QTextCursor& cursor, int from, int to, const QString& text, std::optional<int> attributesFrom)
{
    if (!editable())
        return false;
    QTextCharFormat format = attributesFrom && *attributesFrom < pemby::textLength(*document())
        ? formatAt(*attributesFrom)
        : currentCharFormat();
    clearUnderline(format);
    DisplayScale::show(format);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text, format);
    return true;
}

void NoteTextView::apply(TextRole role)
{
    if (!editable())
        return;
    QList<QTextBlock> paragraphs = selectedParagraphs();
    paragraphs.removeIf([](const QTextBlock& b) { return isDivider(b); });
    const std::optional<bool> bold = role == TextRole::body ? std::optional<bool>(false) : std::nullopt;
    const bool caretOnly = !textCursor().hasSelection();
    if (!paragraphs.isEmpty()) {
        const int from = paragraphs.first().position();
        const int to = pemby::paragraphEnd(paragraphs.last());
        if (from < to) {
            Scope scope(this);
            QTextCursor cursor(document());
            cursor.beginEditBlock();
            for (const QTextBlock& block : std::as_const(paragraphs)) {
                if (block.length() <= 1)
                    continue;
                for (Run run : runsIn(*document(), block.position(), block.position() + block.length() - 1)) {
                    pemby::setRunFont(run.format, Typography::font(role, bold, Typography::isItalic(run.format)));
                    pemby::setRunKern(run.format, Typography::kern(role));
                    DisplayScale::show(run.format);
                    setRun(cursor, run.start, run.end, run.format);
                }
            }
            ParagraphStyler::apply(*document(), from, to - from);
            cursor.endEditBlock();
        }
    }
    if (caretOnly) {
        QTextCharFormat typing = currentCharFormat();
        pemby::setRunFont(typing, Typography::font(role, bold, Typography::isItalic(typing)));
        pemby::setRunKern(typing, Typography::kern(role));
        DisplayScale::show(typing);
        setCurrentCharFormat(typing);
    }
}

void NoteTextView::toggleBold()
{
    toggleTrait(true);
}

void NoteTextView::toggleItalic()
{
    toggleTrait(false);
}

void NoteTextView::toggleTrait(bool bold)
{
    if (!editable())
        return;
    const auto has = [bold](const QTextCharFormat& f) { return bold ? Typography::isBold(f) : Typography::isItalic(f); };
    const auto set = [bold](QTextCharFormat& f, bool on) {
        if (bold)
            f.setFontWeight(on ? QFont::Bold : QFont::Normal);
        else
            f.setFontItalic(on);
    };
    QTextCursor caret = textCursor();
    if (caret.hasSelection()) {
        bool all = true;
        for (const Run& run : runsIn(*document(), caret.selectionStart(), caret.selectionEnd())) {
            if (pemby::hasFont(run.format) && !has(run.format))
                all = false;
        }
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.setPosition(caret.selectionStart());
        cursor.setPosition(caret.selectionEnd(), QTextCursor::KeepAnchor);
        QTextCharFormat change;
        set(change, !all);
        cursor.mergeCharFormat(change);
        return;
    }
    QTextCharFormat typing = currentCharFormat();
    if (!pemby::hasFont(typing))
        pemby::setRunFont(typing, Typography::font(TextRole::body, false, false));
    set(typing, !has(typing));
    DisplayScale::show(typing);
    setCurrentCharFormat(typing);
}

void NoteTextView::toggleUnderline()
{
    if (!editable())
        return;
    QTextCursor caret = textCursor();
    if (caret.hasSelection()) {
        const QList<Run> runs = runsIn(*document(), caret.selectionStart(), caret.selectionEnd());
        const bool all = std::all_of(runs.begin(), runs.end(), [](const Run& r) { return hasUnderline(r.format); });
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        for (Run run : runs) {
            if (all)
                clearUnderline(run.format);
            else
                run.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            setRun(cursor, run.start, run.end, run.format);
        }
        cursor.endEditBlock();
        return;
    }
    QTextCharFormat typing = currentCharFormat();
    if (hasUnderline(typing))
        clearUnderline(typing);
    else
        typing.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    setCurrentCharFormat(typing);
}

void NoteTextView::toggleList(const ParagraphKind& kind)
{
    if (!editable())
        return;
    struct Paragraph {
        int position;
        bool empty;
        ParagraphInfo info;
    };
    QList<Paragraph> paragraphs;
    for (const QTextBlock& b : selectedParagraphs()) {
        const ParagraphInfo info = infoOf(b);
        if (info.kind.type != ParagraphKind::Type::divider)
            paragraphs.append({b.position(), b.length() <= 1, info});
    }
    if (paragraphs.isEmpty())
        return;
    const bool all = std::all_of(paragraphs.begin(), paragraphs.end(),
                                 [&](const Paragraph& p) { return sameListType(p.info.kind, kind); });
    const QString marker = ParagraphMarkers::marker(kind);
    const bool hadSelection = textCursor().hasSelection();
    const int oldEnd = textCursor().selectionEnd();
    const int oldCaret = textCursor().position();
    const int caretParagraphStart = caretParagraph().position();
    int total = 0;
    int caretAfter = oldCaret;

    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto p = paragraphs.rbegin(); p != paragraphs.rend(); ++p) {
        const int markerAt = p->position + p->info.markerStart;
        const auto from = p->empty ? std::nullopt : std::optional<int>(p->position);
        int delta = 0;
        if (all) {
            if (!replace(cursor, markerAt, markerAt + p->info.markerLength, QString(), from))
                continue;
            delta = -p->info.markerLength;
        } else if (p->info.kind.isList()) {
            if (!replace(cursor, markerAt, markerAt + p->info.markerLength, marker, from))
                continue;
            delta = int(marker.size()) - p->info.markerLength;
        } else {
            if (!replace(cursor, markerAt, markerAt, marker, from))
                continue;
            delta = int(marker.size());
        }
        total += delta;
        if (p->position == caretParagraphStart) {
            // The caret keeps its place in the text: before the marker it stays, in
            // the marker it goes to the marker's end, after it it moves with the text.
            const int oldEnd = markerAt + (all || p->info.kind.isList() ? p->info.markerLength : 0);
            if (oldCaret >= oldEnd)
                caretAfter = oldCaret + delta;
            else if (oldCaret > markerAt)
                caretAfter = oldEnd + delta;
        }
    }
    renumber(cursor);
    cursor.endEditBlock();

    QTextCursor after = textCursor();
    if (hadSelection) {
        const int start = paragraphs.first().position;
        after.setPosition(start);
        after.setPosition(std::max(start, oldEnd + total), QTextCursor::KeepAnchor);
    } else {
        after.setPosition(std::max(0, caretAfter));
    }
    setTextCursor(after);
}

void NoteTextView::renumber(QTextCursor& cursor)
{
    struct Fix {
        int at, length;
        QString digits;
    };
    QList<Fix> fixes;
    int counter = 1;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        const ParagraphInfo info = infoOf(b);
        if (info.kind.type != ParagraphKind::Type::number) {
            counter = 1;
            continue;
        }
        if (info.kind.number != counter)
            fixes.append({b.position() + info.markerStart, info.markerLength - 2, QString::number(counter)});
        ++counter;
    }
    for (auto f = fixes.rbegin(); f != fixes.rend(); ++f)
        replace(cursor, f->at, f->at + f->length, f->digits, f->at);
}

bool NoteTextView::insertNewline()
{
    QTextCursor caret = textCursor();
    if (caret.hasSelection())
        return false;
    const QTextBlock block = caret.block();
    const ParagraphInfo info = infoOf(block);
    const int offset = caret.position() - block.position();
    if (!info.kind.isList() || offset < info.contentStart())
        return false;

    const QString content = pemby::trimBlanks(QStringView(block.text()).mid(info.contentStart()));
    const int at = caret.position();
    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (!content.isEmpty()) {
        cursor.setPosition(at);
        cursor.insertBlock();
        // The new marker looks like the end of the item before it.
        replace(cursor, cursor.position(), cursor.position(), ParagraphMarkers::marker(nextItem(info.kind)), at - 1);
        const int caretAt = cursor.position();
        renumber(cursor);
        cursor.endEditBlock();
        QTextCursor moved = textCursor();
        moved.setPosition(caretAt);
        setTextCursor(moved);
    } else {
        // Return on an empty item ends the list.
        const int markerAt = block.position() + info.markerStart;
        replace(cursor, markerAt, markerAt + info.markerLength, QString(), block.position());
        renumber(cursor);
        cursor.endEditBlock();
    }
    ensureCursorVisible();
    return true;
}

void NoteTextView::resetStyleAfterBlock(const TextRange& ended, const QTextBlock& block)
{
    if (ended.length <= 1 || ended.location >= pemby::textLength(*document()) || !block.isValid())
        return;
    const QTextCharFormat first = pemby::firstCharFormat(block);
    const bool heading = pemby::hasFont(first) && first.fontPointSize() >= 16.5;
    const bool divider = isDivider(block);
    if (!heading && !divider)
        return;
    // The new paragraph's direction follows from the styler: an empty paragraph
    // goes on in the direction of the one before.
    setCurrentCharFormat(bodyTypingAttributes());
}

bool NoteTextView::deleteBackward()
{
    const QTextCursor caret = textCursor();
    if (caret.hasSelection())
        return false;
    const QTextBlock block = caret.block();
    const ParagraphInfo info = infoOf(block);
    const auto removeParagraph = [this](const QTextBlock& b) {
        const TextRange r = pemby::paragraphRange(b);
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        cursor.setPosition(r.location);
        cursor.setPosition(r.end(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.endEditBlock();
    };
    if (info.kind.type == ParagraphKind::Type::divider) {
        removeParagraph(block);
        return true;
    }
    if (info.kind.isList() && caret.position() == block.position() + info.contentStart()) {
        Scope scope(this);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        const int markerAt = block.position() + info.markerStart;
        replace(cursor, markerAt, markerAt + info.markerLength, QString(), block.position());
        renumber(cursor);
        cursor.endEditBlock();
        return true;
    }
    if (caret.position() == block.position() && block.previous().isValid() && isDivider(block.previous())) {
        removeParagraph(block.previous());
        return true;
    }
    return false;
}

bool NoteTextView::toggleCheckbox(const QPoint& viewportPoint)
{
    QTextDocument& doc = *document();
    const QPointF point = viewportPoint + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int hit = doc.documentLayout()->hitTest(point, Qt::FuzzyHit);
    if (hit < 0)
        return false;
    const QTextBlock block = doc.findBlock(hit);
    const ParagraphInfo info = infoOf(block);
    if (info.kind.type != ParagraphKind::Type::checkbox || !block.layout() || block.layout()->lineCount() == 0)
        return false;
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(info.markerStart);
    if (!line.isValid())
        return false;
    const qreal x1 = line.cursorToX(info.markerStart);
    const qreal x2 = line.cursorToX(info.markerStart + 1);
    const QPointF origin = layout->position();
    const QRectF box(origin.x() + std::min(x1, x2), origin.y() + line.y(), std::abs(x2 - x1), line.height());
    if (!box.adjusted(-5, -4, 5, 4).contains(point))
        return false;
    const int at = block.position() + info.markerStart;
    Scope scope(this);
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    replace(cursor, at, at + 1, info.kind.checked ? uncheckedBox() : checkedBox(), at);
    cursor.endEditBlock();
    return true;
}

void NoteTextView::insertDivider()
{
    if (!editable())
        return;
    QTextDocument& doc = *document();
    const QTextBlock block = caretParagraph();
    const bool hasBreak = block.next().isValid();
    const bool hasText = !pemby::trimWhitespace(block.text()).isEmpty();
    const TextAttributes divider = Typography::dividerAttributes();
    const QTextCharFormat dividerFormat = DisplayScale::shown(divider.character);
    QTextBlockFormat bodyBlock;
    Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr).applyTo(bodyBlock);
    int caretAt = 0;
    {
        Scope scope(this);
        QTextCursor cursor(&doc);
        cursor.beginEditBlock();
        if (hasText) {
            if (hasBreak) {
                // Before the next paragraph, which keeps its own formats.
                const QTextBlock next = block.next();
                const QTextBlockFormat nextBlock = next.blockFormat();
                const QTextCharFormat nextOwn = next.charFormat();
                cursor.setPosition(next.position());
                cursor.insertText(ParagraphMarkers::divider(), dividerFormat);
                cursor.insertBlock(nextBlock, nextOwn);
            } else {
                cursor.setPosition(block.position() + block.length() - 1);
                cursor.insertBlock(block.blockFormat(), currentCharFormat());
                cursor.insertText(ParagraphMarkers::divider(), dividerFormat);
                cursor.insertBlock(bodyBlock, bodyTypingAttributes());
            }
            caretAt = cursor.position();
        } else {
            cursor.setPosition(block.position());
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.insertText(ParagraphMarkers::divider(), dividerFormat);
            if (!hasBreak)
                cursor.insertBlock(bodyBlock, bodyTypingAttributes());
            caretAt = block.position() + ParagraphMarkers::dividerLength + 1;
        }
        cursor.endEditBlock();
    }
    QTextCursor moved = textCursor();
    moved.setPosition(std::min(caretAt, pemby::textLength(doc)));
    setTextCursor(moved);
    setCurrentCharFormat(bodyTypingAttributes());
}

void NoteTextView::setDirection(std::optional<TextDirection> direction)
{
    if (!editable())
        return;
    const QString mark = !direction ? QString()
        : QString(QChar(*direction == TextDirection::rtl ? Bidi::rightToLeftMark : Bidi::leftToRightMark));
    QList<int> starts;
    for (const QTextBlock& b : selectedParagraphs())
        starts.append(b.position());
    Scope scope(this);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto s = starts.rbegin(); s != starts.rend(); ++s) {
        const QTextBlock block = document()->findBlock(*s);
        const QString text = block.text();
        const auto from = block.length() > 1 ? std::optional<int>(*s) : std::nullopt;
        if (!text.isEmpty() && isDirectionMark(text[0]))
            replace(cursor, *s, *s + 1, mark, from);
        else if (!mark.isEmpty())
            replace(cursor, *s, *s, mark, from);
    }
    cursor.endEditBlock();
}

NoteTextView::FormattingState NoteTextView::formattingState() const
{
    FormattingState state;
    const QTextDocument& doc = *document();
    const int length = pemby::textLength(doc);
    const QTextBlock block = caretParagraph();
    const bool hasFirst = block.length() > 1 && block.position() < length;
    const QTextCharFormat first = hasFirst ? pemby::firstCharFormat(block) : currentCharFormat();
    state.role = Typography::role(first);
    state.kind = infoOf(block).kind;
    state.collapsible = hasFirst && state.role != TextRole::body && folds_.isCollapsible(block);

    const QTextCursor c = textCursor();
    const QTextCharFormat at = c.hasSelection() && c.selectionStart() < length ? formatAt(c.selectionStart())
                                                                                : currentCharFormat();
    if (pemby::hasFont(at)) {
        state.bold = Typography::isBold(at);
        state.italic = Typography::isItalic(at);
    }
    state.underline = hasUnderline(at);
    return state;
}
