#include "sectionfolds.h"

#include <QTextBlock>
#include <QTextDocument>

namespace {

bool hasMark(const QTextBlock& block, int property)
{
    return block.blockFormat().boolProperty(property);
}

void clearMarks(QTextDocument& text)
{
    QTextCursor cursor(&text);
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat format = b.blockFormat();
        bool had = false;
        for (int p : {int(NoteCollapsibleProperty), int(NoteCollapsedProperty), int(NoteHiddenProperty)}) {
            if (format.hasProperty(p)) {
                format.clearProperty(p);
                had = true;
            }
        }
        if (had) {
            cursor.setPosition(b.position());
            cursor.setBlockFormat(format);
        }
    }
}

void writeKey(QTextDocument& text, const QTextBlock& block, int key)
{
    QTextCursor cursor(&text);
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setProperty(SectionFolds::keyProperty, key);
    cursor.mergeCharFormat(format);
}

} // namespace

int SectionFolds::key(const QTextBlock& block)
{
    if (!Sections::headingRank(block))
        return 0;
    return pemby::firstCharFormat(block).intProperty(keyProperty);
}

SectionFolds::State SectionFolds::state(const QTextBlock& block) const
{
    return states_.value(key(block));
}

bool SectionFolds::isCollapsible(const QTextBlock& block) const
{
    return state(block).collapsible;
}

bool SectionFolds::isCollapsed(const QTextBlock& block) const
{
    const State s = state(block);
    return s.collapsible && s.collapsed;
}

void SectionFolds::setCollapsible(const QTextBlock& block, bool on)
{
    const int k = key(block);
    if (!k)
        return;
    State& s = states_[k];
    s.collapsible = on;
    if (!on)
        s.collapsed = false;
}

void SectionFolds::setCollapsed(const QTextBlock& block, bool on)
{
    const int k = key(block);
    if (!k)
        return;
    State& s = states_[k];
    s.collapsed = on;
    if (on)
        s.collapsible = true;
}

bool SectionFolds::anyCollapsible() const
{
    for (const State& s : states_) {
        if (s.collapsible)
            return true;
    }
    return false;
}

int SectionFolds::newKey(QTextDocument& text, const QTextBlock& block, State state)
{
    const int k = nextKey_++;
    states_.insert(k, state);
    writeKey(text, block, k);
    QTextCursor holder(&text);
    holder.setPosition(block.position());
    // Typing at the start of the heading must leave the holder at its start.
    holder.setKeepPositionOnInsert(true);
    holders_.insert(k, holder);
    return k;
}

void SectionFolds::adopt(QTextDocument& text)
{
    states_.clear();
    holders_.clear();
    nextKey_ = 1;
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        if (!Sections::headingRank(b))
            continue;
        const bool collapsible = hasMark(b, NoteCollapsibleProperty);
        newKey(text, b, {collapsible, collapsible && hasMark(b, NoteCollapsedProperty)});
    }
    clearMarks(text);
}

bool SectionFolds::settle(QTextDocument& text, int from, int to, bool mayWrite)
{
    bool any = false;
    const QTextBlock last = text.findBlock(std::max(from, to));
    for (QTextBlock b = text.findBlock(from); b.isValid(); b = b.next()) {
        if (Sections::headingRank(b)) {
            any = true;
            const int k = pemby::firstCharFormat(b).intProperty(keyProperty);
            const auto holder = holders_.constFind(k);
            const bool copied = k && holder != holders_.cend() && holder->block() != b && key(holder->block()) == k;
            if (!k || copied) {
                if (mayWrite)
                    newKey(text, b, copied ? states_.value(k) : State{});
            } else {
                QTextCursor c(&text);
                c.setPosition(b.position());
                c.setKeepPositionOnInsert(true);
                holders_.insert(k, c);
            }
        }
        if (b == last)
            break;
    }
    return any;
}

SectionFolds::Layout SectionFolds::apply(QTextDocument& text, const QList<Sections::Heading>& headings) const
{
    const int length = pemby::textLength(text);
    Layout layout;
    QList<TextRange>& hidden = layout.hidden;
    for (int i = 0; i < headings.size(); ++i) {
        const QTextBlock heading = text.findBlock(headings[i].range.location);
        if (!isCollapsible(heading))
            continue;
        layout.anyCollapsible = true;
        if (!isCollapsed(heading))
            continue;
        const TextRange body = Sections::body(i, headings, length);
        if (body.length == 0)
            continue;
        if (!hidden.isEmpty() && body.location <= hidden.last().end())
            hidden.last().length = std::max(hidden.last().end(), body.end()) - hidden.last().location;
        else
            hidden.append(body);
    }

    qsizetype next = 0;
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        while (next < hidden.size() && hidden[next].end() <= b.position())
            ++next;
        const bool hide = next < hidden.size() && b.position() >= hidden[next].location;
        if (b.isVisible() == hide) {
            b.setVisible(!hide);
            text.markContentsDirty(b.position(), b.length());
        }
    }
    return layout;
}

template <class Test>
static QList<int> ordinalsWhere(const QTextDocument& text, Test test)
{
    QList<int> ordinals;
    const QList<Sections::Heading> headings = Sections::headings(text);
    for (int i = 0; i < headings.size(); ++i) {
        if (test(text.findBlock(headings[i].range.location)))
            ordinals.append(i);
    }
    return ordinals;
}

QList<int> SectionFolds::collapsibleOrdinals(const QTextDocument& text) const
{
    return ordinalsWhere(text, [this](const QTextBlock& b) { return isCollapsible(b); });
}

QList<int> SectionFolds::collapsedOrdinals(const QTextDocument& text) const
{
    return ordinalsWhere(text, [this](const QTextBlock& b) { return isCollapsed(b); });
}

void SectionFolds::exportTo(const QTextDocument& text, QTextDocument& copy) const
{
    QTextCursor cursor(&copy);
    for (QTextBlock b = copy.begin(); b.isValid(); b = b.next()) {
        struct Run { int start, end; QTextCharFormat format; };
        QList<Run> keyed;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid() && f.charFormat().hasProperty(keyProperty))
                keyed.append({f.position(), f.position() + f.length(), f.charFormat()});
        }
        for (Run& run : keyed) {
            run.format.clearProperty(keyProperty);
            cursor.setPosition(run.start);
            cursor.setPosition(run.end, QTextCursor::KeepAnchor);
            cursor.setCharFormat(run.format);
        }
        QTextCharFormat own = b.charFormat();
        if (own.hasProperty(keyProperty)) {
            own.clearProperty(keyProperty);
            cursor.setPosition(b.position());
            cursor.setBlockCharFormat(own);
        }
    }
    Sections::applyState(collapsibleOrdinals(text), collapsedOrdinals(text), copy);
}
