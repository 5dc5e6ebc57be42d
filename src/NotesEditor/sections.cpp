#include "sections.h"

#include "typography.h"

#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

bool carries(const QTextBlock& block, int property)
{
    return block.blockFormat().boolProperty(property);
}

// Sets or clears a mark on a block's format; nothing is written when it already agrees.
void setMark(QTextDocument& text, const QTextBlock& block, int property, bool on)
{
    if (carries(block, property) == on && block.blockFormat().hasProperty(property) == on)
        return;
    QTextBlockFormat format = block.blockFormat();
    if (on)
        format.setProperty(property, true);
    else
        format.clearProperty(property);
    QTextCursor cursor(&text);
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
}

bool isFolded(const QTextBlock& block)
{
    return carries(block, NoteCollapsibleProperty) && carries(block, NoteCollapsedProperty);
}

} // namespace

bool Sections::hasText(QStringView text)
{
    // Every white-space character lies in the basic plane, so code units will do.
    for (const QChar c : text) {
        if (!c.isSpace() && c != u'\u200E' && c != u'\u200F')
            return true;
    }
    return false;
}

QList<Sections::Heading> Sections::headings(const QTextDocument& text)
{
    QList<Heading> list;
    if (pemby::textLength(text) == 0)
        return list;
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        if (const auto level = headingRank(b))
            list.append({pemby::paragraphRange(b), *level});
    }
    return list;
}

std::optional<int> Sections::headingRank(const QTextBlock& block)
{
    const auto level = rank(Typography::role(pemby::firstCharFormat(block)));
    if (level && hasText(block.text()))
        return level;
    return std::nullopt;
}

TextRange Sections::body(int ordinal, const QList<Heading>& headings, int length)
{
    const Heading& heading = headings[ordinal];
    const int start = heading.range.end();
    int end = length;
    for (int j = ordinal + 1; j < headings.size(); ++j) {
        if (headings[j].rank <= heading.rank) {
            end = headings[j].range.location;
            break;
        }
    }
    return {start, std::max(0, end - start)};
}

void Sections::applyState(const QList<int>& collapsible, const QList<int>& collapsed, QTextDocument& text)
{
    const QList<Heading> list = headings(text);
    const auto fits = [&](int ordinal) { return ordinal >= 0 && ordinal < list.size(); };
    for (const QList<int>* ordinals : {&collapsible, &collapsed}) {
        for (int ordinal : *ordinals) {
            if (fits(ordinal))
                setMark(text, text.findBlock(list[ordinal].range.location), NoteCollapsibleProperty, true);
        }
    }
    for (int ordinal : collapsed) {
        if (fits(ordinal))
            setMark(text, text.findBlock(list[ordinal].range.location), NoteCollapsedProperty, true);
    }
    reapplyHidden(text);
}

void Sections::reapplyHidden(QTextDocument& text)
{
    const QList<Heading> list = headings(text);
    const int length = pemby::textLength(text);
    QSet<int> collapsibleStarts, foldedStarts;
    QList<TextRange> hidden;
    for (int i = 0; i < list.size(); ++i) {
        const QTextBlock block = text.findBlock(list[i].range.location);
        if (!carries(block, NoteCollapsibleProperty))
            continue;
        collapsibleStarts.insert(block.position());
        if (!carries(block, NoteCollapsedProperty))
            continue;
        foldedStarts.insert(block.position());
        const TextRange b = body(i, list, length);
        if (b.length > 0)
            hidden.append(b);
    }
    // Bodies are whole paragraphs in text order, so a paragraph is hidden when it
    // starts inside one; nested folded bodies lie inside their outer one.
    qsizetype next = 0;
    const auto isHidden = [&](int position) {
        while (next < hidden.size() && hidden[next].end() <= position)
            ++next;
        return next < hidden.size() && position >= hidden[next].location;
    };

    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        setMark(text, b, NoteCollapsibleProperty, collapsibleStarts.contains(b.position()));
        setMark(text, b, NoteCollapsedProperty, foldedStarts.contains(b.position()));
        const bool hide = isHidden(b.position());
        setMark(text, b, NoteHiddenProperty, hide);
        if (b.isVisible() == hide) {
            b.setVisible(!hide);
            text.markContentsDirty(b.position(), b.length());
        }
    }
}

QList<int> Sections::collapsibleOrdinals(const QTextDocument& text)
{
    QList<int> ordinals;
    const QList<Heading> list = headings(text);
    for (int i = 0; i < list.size(); ++i) {
        if (carries(text.findBlock(list[i].range.location), NoteCollapsibleProperty))
            ordinals.append(i);
    }
    return ordinals;
}

QList<int> Sections::collapsedOrdinals(const QTextDocument& text)
{
    QList<int> ordinals;
    const QList<Heading> list = headings(text);
    for (int i = 0; i < list.size(); ++i) {
        if (isFolded(text.findBlock(list[i].range.location)))
            ordinals.append(i);
    }
    return ordinals;
}
