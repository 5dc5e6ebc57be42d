#include "note.h"

#include "paragraphmarkers.h"
#include "richtext.h"
#include "textutil.h"

#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>

namespace {

constexpr int titleLength = 80;
constexpr int previewLength = 120;
// Only the start of a long line is read: enough for any real title, and a pasted
// megabyte without line breaks costs no more than a short note.
constexpr qsizetype lineReadLength = 400;

bool isDirectionMark(QChar c)
{
    return c == u'\u200E' || c == u'\u200F';
}

// The line breaks of note text. Vertical tab and form feed are ordinary characters here.
bool isLineEnd(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// Calls `visit(start, length)` for each line of `text` (its terminator left out)
// until it returns false.
template <class Visit>
void forEachLine(QStringView text, Visit visit)
{
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && !isLineEnd(text[end]))
            ++end;
        qsizetype next = end;
        if (end < n)
            next = (text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n') ? end + 2 : end + 1;
        if (!visit(pos, end - pos))
            return;
        pos = std::max(next, pos + 1);
    }
}

// The first `count` user-perceived characters.
QString firstCharacters(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        end = next;
    }
    return text.left(end);
}

bool isTrimmedFromTitle(QChar c)
{
    // A surrogate is always part of some character worth showing.
    return !c.isSurrogate() && (pemby::isBlankOrLineBreak(c) || isDirectionMark(c));
}

QTextCharFormat charFormatAt(const QTextDocument& text, int position)
{
    const QTextBlock block = text.findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.isValid() && f.contains(position))
            return f.charFormat();
    }
    return block.charFormat();
}

} // namespace

Note::Note(QString id, std::unique_ptr<QTextDocument> text, QDateTime modified, std::optional<QDateTime> created)
    : id_(std::move(id)), text_(text ? std::move(text) : RichText::plain(QString())),
      modified_(std::move(modified)), created_(created.value_or(modified_))
{
}

Note::Note(QString id, const QString& text, QDateTime modified, std::optional<QDateTime> created)
    : Note(std::move(id), RichText::plain(text), std::move(modified), std::move(created))
{
}

void Note::setAttributedText(std::unique_ptr<QTextDocument> text)
{
    text_ = text ? std::move(text) : RichText::plain(QString());
    textChanged();
}

void Note::modifyText(const std::function<void(QTextDocument&)>& change)
{
    change(*text_);
    textChanged();
}

void Note::textChanged()
{
    ++version_;
    cachedTitle_.reset();
    cachedPreview_.reset();
    cachedSearchText_.reset();
}

QString Note::text() const
{
    return pemby::documentText(*text_);
}

const QString& Note::title() const
{
    if (!cachedTitle_)
        cachedTitle_ = title(text());
    return *cachedTitle_;
}

const QString& Note::preview() const
{
    if (!cachedPreview_)
        cachedPreview_ = preview(text());
    return *cachedPreview_;
}

const QString& Note::searchText() const
{
    if (!cachedSearchText_)
        cachedSearchText_ = folded(text());
    return *cachedSearchText_;
}

bool Note::isEmpty() const
{
    for (const QChar c : text()) {
        if (!pemby::isBlankOrLineBreak(c) && !isDirectionMark(c))
            return false;
    }
    return true;
}

bool Note::matches(QStringView foldedQuery) const
{
    return foldedQuery.isEmpty() || searchText().contains(foldedQuery);
}

QString Note::untitled()
{
    return QStringLiteral("New Note");
}

QString Note::title(QStringView text)
{
    const QList<QString> found = lines(text, 1);
    return found.isEmpty() ? untitled() : firstCharacters(found[0], titleLength);
}

QString Note::preview(QStringView text)
{
    const QList<QString> found = lines(text, 2);
    return found.size() < 2 ? QString() : firstCharacters(found[1], previewLength);
}

QString Note::folded(QStringView text)
{
    // The shared fold drops every nonspacing mark, so Hebrew vowel points and
    // cantillation marks go with the other diacritics, while the block's
    // punctuation (maqaf, paseq, sof pasuq, nun hafukha) stays.
    return pemby::fold(text);
}

QList<QString> Note::lines(QStringView text, int count)
{
    QList<QString> found;
    if (count <= 0)
        return found;
    forEachLine(text, [&](qsizetype start, qsizetype length) {
        QStringView line = text.sliced(start, length);
        if (line.size() > lineReadLength && !line[lineReadLength - 1].isHighSurrogate())
            line = line.first(lineReadLength);
        const ParagraphInfo info = ParagraphMarkers::parse(line);
        if (info.kind.type != ParagraphKind::Type::divider) {
            QString content;
            for (const QChar c : line.sliced(std::min<qsizetype>(info.contentStart(), line.size()))) {
                if (!isDirectionMark(c))
                    content.append(c);
            }
            content = pemby::trimWhitespace(content);
            if (!content.isEmpty())
                found.append(std::move(content));
        }
        return found.size() < count;
    });
    return found;
}

std::optional<TextRange> Note::titleRange(QStringView text)
{
    std::optional<TextRange> range;
    forEachLine(text, [&](qsizetype start, qsizetype length) {
        const QStringView line = text.sliced(start, length);
        const ParagraphInfo info = ParagraphMarkers::parse(line);
        if (info.kind.type == ParagraphKind::Type::divider)
            return true;
        qsizetype begin = std::min<qsizetype>(info.contentStart(), line.size());
        qsizetype end = line.size();
        while (begin < end && isTrimmedFromTitle(line[begin]))
            ++begin;
        while (end > begin && isTrimmedFromTitle(line[end - 1]))
            --end;
        if (begin == end)
            return true;
        range = TextRange{int(start + begin), int(end - begin)};
        return false;
    });
    return range;
}

std::unique_ptr<QTextDocument> Note::retitled(const QTextDocument& text, const QString& title)
{
    std::unique_ptr<QTextDocument> copy(text.clone());
    const QString trimmed = pemby::trimWhitespace(title);
    if (trimmed.isEmpty())
        return copy;
    QTextCursor cursor(copy.get());
    if (const auto range = titleRange(pemby::documentText(*copy))) {
        const QTextCharFormat format = charFormatAt(*copy, range->location);
        cursor.setPosition(range->location);
        cursor.setPosition(range->end(), QTextCursor::KeepAnchor);
        cursor.insertText(trimmed, format);
        return copy;
    }
    // A new first paragraph borrows the attributes of what was first, which may be a
    // divider or a list item: normalizing gives it the look of its own kind and role.
    const bool empty = pemby::textLength(*copy) == 0;
    const QTextCharFormat format = pemby::firstCharFormat(copy->begin());
    cursor.setPosition(0);
    cursor.insertText(empty ? trimmed : trimmed + u'\n', format);
    RichText::normalize(*copy);
    return copy;
}
