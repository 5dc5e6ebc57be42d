#include "textutil.h"

#include "randomuuid.h"

#include <QStringList>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <algorithm>

#include <limits>

namespace pemby {

bool isBlankBeyondAscii(QChar c)
{
    return c.category() == QChar::Separator_Space;
}

bool isBlankOrLineBreak(QChar c)
{
    return isBlank(c) || isLineBreak(c);
}

template <class Pred>
static QStringView trimmedBy(QStringView text, Pred keepOut)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && keepOut(text[begin]))
        ++begin;
    while (end > begin && keepOut(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QStringView trimmedBlanks(QStringView text)
{
    return trimmedBy(text, isBlank);
}

QString trimBlanks(QStringView text)
{
    return trimmedBy(text, isBlank).toString();
}

QString trimWhitespace(QStringView text)
{
    return trimmedBy(text, isBlankOrLineBreak).toString();
}

QString flattenLineBreaks(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), isLineBreak))
        return text;
    return flattenLineBreaks(QStringView(text));
}


QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text[i]))
            continue;
        lines.append(text.sliced(start, i - start).toString());
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.sliced(start).toString());
    return lines;
}

namespace {

// Every line break (CRLF as one) becomes a space; stray control characters go too
// when asked.
QString spacedLines(QStringView text, bool dropControls)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (dropControls && isStrayControl(c))
            continue;
        if (!isLineBreak(c)) {
            out.append(c);
            continue;
        }
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        out.append(u' ');
    }
    return out;
}

} // namespace

QString flattenLineBreaks(QStringView text)
{
    return spacedLines(text, false);
}

QString oneLineText(const QString& text)
{
    const auto changes = [](QChar c) {
        const char16_t u = c.unicode();
        return !(u >= 0x20 && u < 0x7F) && (isLineBreak(c) || isStrayControl(c));
    };
    if (std::none_of(text.cbegin(), text.cend(), changes))
        return text;
    return spacedLines(text, true);
}

QString titleText(QStringView text)
{
    return trimWhitespace(oneLineText(text.toString()));
}

QString fold(QStringView text)
{
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const auto cat = c.category();
        if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing)
            continue;
        // Full-width and half-width forms become their ordinary forms.
        if (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF) {
            out.append(QString(c).normalized(QString::NormalizationForm_KD));
            continue;
        }
        out.append(c);
    }
    return out.toCaseFolded();
}

bool containsFolded(QStringView haystack, QStringView needle)
{
    if (needle.isEmpty())
        return true;
    return fold(haystack).contains(fold(needle));
}

static bool isAscii(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

CaselessNeedle::CaselessNeedle(QStringView needle, const QLocale& locale)
    : locale_(locale), needle_(key(needle)), asciiNeedle_(isAscii(needle_)),
      asciiFolds_(locale.language() != QLocale::Turkish && locale.language() != QLocale::Azerbaijani)
{
}

QString CaselessNeedle::key(QStringView text) const
{
    // Composed first, so that é is one character however it came; lowered under the
    // locale (a Turkish I is ı), then folded, so that the forms lowering leaves apart
    // (final sigma) meet; composed again, as lowering may leave a mark beside its letter.
    const QString lowered = locale_.toLower(text.toString().normalized(QString::NormalizationForm_C));
    return lowered.toCaseFolded().normalized(QString::NormalizationForm_C);
}

bool CaselessNeedle::isIn(QStringView haystack) const
{
    if (needle_.isEmpty())
        return true;
    // Most texts are plain ASCII: no character there is made of parts, and the locale
    // folds it as ASCII does, so it holds no needle that folds to anything else.
    if (asciiFolds_ && isAscii(haystack))
        return asciiNeedle_ && haystack.contains(needle_, Qt::CaseInsensitive);
    const QString& needle = needle_;
    const QString text = key(haystack);
    std::optional<QTextBoundaryFinder> characters;
    for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1)) {
        if (!characters)
            characters.emplace(QTextBoundaryFinder::Grapheme, text);
        characters->setPosition(at);
        if (!characters->isAtBoundary())
            continue;
        characters->setPosition(at + needle.size());
        if (characters->isAtBoundary())
            return true;
    }
    return false;
}

bool containsIgnoringCase(QStringView haystack, QStringView needle, const QLocale& locale)
{
    return CaselessNeedle(needle, locale).isIn(haystack);
}

std::optional<qint64> parseStrictInt(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the minimum value fits.
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        const int digit = u - u'0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return std::nullopt;
        value = -value;
    }
    return value;
}

std::optional<int> parseStrictInt32(QStringView text)
{
    const auto v = parseStrictInt(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*v);
}

bool isUuidText(QStringView text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t u = text[i].unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (u != u'-')
                return false;
        } else if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'))) {
            return false;
        }
    }
    return true;
}

QString newUuidLower()
{
    return randomUuid().toString(QUuid::WithoutBraces);
}

QString newUuidUpper()
{
    return newUuidLower().toUpper();
}

} // namespace pemby
