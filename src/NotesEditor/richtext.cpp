#include "richtext.h"

#include "paragraphstyler.h"
#include "rtfreader.h"
#include "rtfwriter.h"
#include "textdocument.h"
#include "textutil.h"
#include "typography.h"

#include <QHash>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>

#include <limits>

namespace {

// The new format of one run of a paragraph of `role`.
QTextCharFormat normalizedRun(QTextCharFormat format, TextRole role)
{
    const QFont font = pemby::hasFont(format)
        ? Typography::font(role, Typography::isBold(format), Typography::isItalic(format))
        : Typography::font(role, std::nullopt, false);
    pemby::setRunFont(format, font);
    pemby::setRunKern(format, Typography::kern(role));
    pemby::setRunColor(format, Typography::textColor());
    return format;
}

void setRun(QTextCursor& cursor, int start, int end, const QTextCharFormat& format)
{
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
}

void setParagraphStyle(QTextCursor& cursor, const QTextBlock& block, const ParagraphStyle& style)
{
    QTextBlockFormat format = block.blockFormat();
    style.applyTo(format);
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
}

// A paragraph is one role throughout: a run in another size is pulled to the size
// of the paragraph's first character.
void normalizeRuns(QTextCursor& cursor, const QTextBlock& block)
{
    const TextRole role = Typography::role(pemby::firstCharFormat(block));
    struct Run { int start, end; QTextCharFormat format; };
    QList<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.isValid())
            runs.append({f.position(), f.position() + f.length(), f.charFormat()});
    }
    for (const Run& run : runs) {
        const QTextCharFormat wanted = normalizedRun(run.format, role);
        if (wanted != run.format)
            setRun(cursor, run.start, run.end, wanted);
    }
    const QTextCharFormat own = normalizedRun(block.charFormat(), role);
    if (own != block.charFormat()) {
        cursor.setPosition(block.position());
        cursor.setBlockCharFormat(own);
    }
}

void normalizeDivider(QTextCursor& cursor, const QTextBlock& block)
{
    const TextAttributes divider = Typography::dividerAttributes();
    setRun(cursor, block.position(), block.position() + block.length() - 1, divider.character);
    cursor.setPosition(block.position());
    cursor.setBlockCharFormat(divider.character);
    setParagraphStyle(cursor, block, divider.paragraph);
}

QString commentText(const QList<int>& collapsible, const QList<int>& collapsed,
                    const std::optional<QDateTime>& created)
{
    const auto joined = [](const QList<int>& ordinals) {
        QStringList parts;
        for (int n : ordinals)
            parts.append(QString::number(n));
        return parts.join(u',');
    };
    QStringList entries;
    if (created) {
        // Whole seconds, halves rounded away from zero.
        const qint64 ms = created->toMSecsSinceEpoch();
        qint64 seconds = ms / 1000;
        const qint64 rest = ms % 1000;
        if (rest >= 500)
            ++seconds;
        else if (rest <= -500)
            --seconds;
        entries.append(QStringLiteral("created=") + QString::number(seconds));
    }
    if (!collapsible.isEmpty())
        entries.append(QStringLiteral("collapsible=") + joined(collapsible));
    if (!collapsed.isEmpty())
        entries.append(QStringLiteral("collapsed=") + joined(collapsed));
    return entries.join(u';');
}

QHash<QString, QList<qint64>> parseComment(const QString& comment)
{
    QHash<QString, QList<qint64>> entries;
    for (const QString& entry : comment.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = entry.indexOf(u'=');
        if (eq <= 0 || eq == entry.size() - 1)
            continue;  // no key or no value
        QList<qint64> numbers;
        for (const QString& piece : entry.mid(eq + 1).split(u',', Qt::SkipEmptyParts)) {
            if (const auto n = pemby::parseStrictInt(piece))
                numbers.append(*n);
        }
        entries.insert(entry.left(eq), numbers);
    }
    return entries;
}

// Ordinals beyond int could never name a heading.
QList<int> ordinals(const QList<qint64>& numbers)
{
    QList<int> out;
    for (qint64 n : numbers) {
        if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
            out.append(int(n));
    }
    return out;
}

std::optional<QDateTime> dateFromSeconds(qint64 seconds)
{
    constexpr qint64 limit = std::numeric_limits<qint64>::max() / 1000;
    if (seconds > limit || seconds < -limit)
        return std::nullopt;
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(seconds * 1000, Qt::UTC);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::unique_ptr<QTextDocument> RichText::plain(const QString& text)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    QTextCharFormat format;
    pemby::setRunFont(format, Typography::font(TextRole::body, false, false));
    pemby::setRunKern(format, 0);
    pemby::setRunColor(format, Typography::textColor());
    QTextBlockFormat block;
    Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr).applyTo(block);

    QTextCursor cursor(doc.get());
    cursor.setBlockFormat(block);
    cursor.setBlockCharFormat(format);
    cursor.insertText(text, format);
    // Every paragraph, the empty ones too, carries the plain attributes.
    cursor.select(QTextCursor::Document);
    cursor.setBlockFormat(block);
    cursor.setBlockCharFormat(format);

    normalize(*doc);
    doc->setUndoRedoEnabled(true);
    return doc;
}

void RichText::normalize(QTextDocument& text)
{
    const int length = pemby::textLength(text);
    if (length > 0) {
        QTextCursor cursor(&text);
        cursor.beginEditBlock();
        for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
            if (ParagraphMarkers::parse(block.text()).kind.type == ParagraphKind::Type::divider)
                normalizeDivider(cursor, block);
            else
                normalizeRuns(cursor, block);
        }
        cursor.endEditBlock();
    }
    ParagraphStyler::apply(text, 0, length);
}

QByteArray RichText::encode(const QTextDocument& text, const QList<int>& collapsible,
                            const QList<int>& collapsed, const std::optional<QDateTime>& created)
{
    const QString comment = commentText(collapsible, collapsed, created);
    return RtfWriter::write(text, comment.isEmpty() ? std::nullopt : std::optional<QString>(comment));
}

namespace {

std::optional<RichText::Decoded> fromDocument(std::optional<RtfDocument> read)
{
    if (!read)
        return std::nullopt;
    RichText::Decoded decoded;
    decoded.complete = read->complete;
    decoded.text = std::move(read->text);
    decoded.unconvertedCodePages = std::move(read->unconvertedCodePages);
    decoded.text->setUndoRedoEnabled(false);
    RichText::normalize(*decoded.text);
    decoded.text->setUndoRedoEnabled(true);

    const auto entries = parseComment(read->comment.value_or(QString()));
    decoded.collapsed = ordinals(entries.value(QStringLiteral("collapsed")));
    decoded.collapsible =
        entries.contains(QStringLiteral("collapsible")) ? ordinals(entries.value(QStringLiteral("collapsible"))) : decoded.collapsed;
    const QList<qint64> created = entries.value(QStringLiteral("created"));
    if (!created.isEmpty())
        decoded.created = dateFromSeconds(created.first());
    return decoded;
}

} // namespace

std::optional<RichText::Decoded> RichText::decode(const QByteArray& data)
{
    return fromDocument(RtfReader::read(data));
}

std::optional<RichText::Decoded> RichText::decodeStart(const QByteArray& data, qsizetype paragraphs)
{
    return fromDocument(RtfReader::readStart(data, paragraphs));
}
