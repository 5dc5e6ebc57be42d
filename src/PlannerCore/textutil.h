#pragma once
// Text helpers every module shares. The planner's texts come from files that any
// editor may have touched, so the character classes here are deliberately the
// Unicode ones, not just ASCII.

#include <QLocale>
#include <QString>
#include <QStringView>

#include <optional>

namespace pemby {

// Blanks: tab and every Unicode space separator (Zs), which includes the no-break space.
// Inline, with ASCII decided on the spot: the plan's readers ask it of most characters
// of a file.
bool isBlankBeyondAscii(QChar c);
inline bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == u' ' || u == u'\t';
    return isBlankBeyondAscii(c);
}
// Line breaks: LF, VT, FF, CR, NEL (U+0085), LINE SEPARATOR (U+2028), PARAGRAPH SEPARATOR (U+2029).
inline bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}
bool isBlankOrLineBreak(QChar c);

// Trims blanks (spaces and tabs) at both ends; line breaks stay.
QString trimBlanks(QStringView text);
// The same, as a view into `text`: no copy, for the line decoders.
QStringView trimmedBlanks(QStringView text);
// Trims blanks and line breaks at both ends.
QString trimWhitespace(QStringView text);
// Replaces every line break (a CRLF pair counts once) by one space: for single-line
// fields whose value ends up on one line of a file.
QString flattenLineBreaks(QStringView text);
// The same, sharing the text itself when it holds no line break (the common case).
QString flattenLineBreaks(const QString& text);
// Splits at every line break (a CRLF pair is one break); empty pieces are kept.
QStringList splitLines(QStringView text);

// A control character a title never holds: C0, DEL and C1 controls apart from the tab
// (a blank) and the line breaks (which become spaces).
inline bool isStrayControl(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return u != u'\t' && !isLineBreak(c);
    return u == 0x7F || (u >= 0x80 && u <= 0x9F && u != 0x85);
}
// One line of a title as its file line holds it: line breaks become spaces (as in
// flattenLineBreaks) and stray controls go. Nothing is trimmed.
QString oneLineText(const QString& text);
// A title as the plan and the family store keep it: one line, no stray controls,
// trimmed of blanks and line breaks. Every title from outside goes through this before
// it is stored, so the file, the plan and the store hold the same text.
QString titleText(QStringView text);

// Case-, diacritic- and width-insensitive form for matching: canonical decomposition,
// combining marks dropped, full-width and half-width forms made ordinary, then
// Unicode (simple) case folding.
QString fold(QStringView text);
// Whether `haystack` holds `needle` ignoring case and diacritics. An empty needle matches.
bool containsFolded(QStringView haystack, QStringView needle);
// Whether `haystack` holds `needle` ignoring case only, as a reader compares: texts
// that are canonically equivalent are equal (an accent composed or decomposed), case is
// folded under `locale`, and a match neither starts nor ends inside a character ("cafe"
// is not in "café" however the é is written).
bool containsIgnoringCase(QStringView haystack, QStringView needle, const QLocale& locale = QLocale());

// The same, for one needle against many texts: the needle is prepared once.
class CaselessNeedle {
public:
    explicit CaselessNeedle(QStringView needle, const QLocale& locale = QLocale());
    bool isIn(QStringView haystack) const;

private:
    QString key(QStringView text) const;

    QLocale locale_;
    QString needle_;  // composed, lowered and folded
    bool asciiNeedle_ = true;
    // Plain ASCII case folding is the locale's own except where dotted and dotless i
    // are two letters.
    bool asciiFolds_ = true;
};

// "Optional sign then digits", ASCII only, nothing else: no blanks, no "0x", no
// thousands separators. nullopt when the text is not that or overflows.
std::optional<qint64> parseStrictInt(QStringView text);
std::optional<int> parseStrictInt32(QStringView text);

// The 8-4-4-4-12 hexadecimal form of a UUID, upper or lower case, without braces.
bool isUuidText(QStringView text);
QString newUuidUpper();
QString newUuidLower();

} // namespace pemby
