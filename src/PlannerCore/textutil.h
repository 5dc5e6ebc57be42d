#pragma once
// Text helpers every module shares. The planner's texts come from files that any
// editor may have touched, so the character classes here are deliberately the
// Unicode ones, not just ASCII.

#include <QString>
#include <QStringView>

#include <optional>

namespace pemby {

// Blanks: tab and every Unicode space separator (Zs), which includes the no-break space.
bool isBlank(QChar c);
// Line breaks: LF, VT, FF, CR, NEL (U+0085), LINE SEPARATOR (U+2028), PARAGRAPH SEPARATOR (U+2029).
bool isLineBreak(QChar c);
bool isBlankOrLineBreak(QChar c);

// Trims blanks (spaces and tabs) at both ends; line breaks stay.
QString trimBlanks(QStringView text);
// Trims blanks and line breaks at both ends.
QString trimWhitespace(QStringView text);
// Replaces every line break (a CRLF pair counts once) by one space: for single-line
// fields whose value ends up on one line of a file.
QString flattenLineBreaks(QStringView text);
// The same, sharing the text itself when it holds no line break (the common case).
QString flattenLineBreaks(const QString& text);
// Splits at every line break (a CRLF pair is one break); empty pieces are kept.
QStringList splitLines(QStringView text);

// Case-, diacritic- and width-insensitive form for matching: canonical decomposition,
// combining marks dropped, full-width and half-width forms made ordinary, then
// Unicode (simple) case folding.
QString fold(QStringView text);
// Whether `haystack` holds `needle` ignoring case and diacritics. An empty needle matches.
bool containsFolded(QStringView haystack, QStringView needle);
// Whether `haystack` holds `needle` ignoring case only.
bool containsIgnoringCase(QStringView haystack, QStringView needle);

// "Optional sign then digits", ASCII only, nothing else: no blanks, no "0x", no
// thousands separators. nullopt when the text is not that or overflows.
std::optional<qint64> parseStrictInt(QStringView text);
std::optional<int> parseStrictInt32(QStringView text);

// The 8-4-4-4-12 hexadecimal form of a UUID, upper or lower case, without braces.
bool isUuidText(QStringView text);
QString newUuidUpper();
QString newUuidLower();

} // namespace pemby
