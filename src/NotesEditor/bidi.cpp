#include "bidi.h"

#include <QChar>

// Letters and letter numbers, plus the enclosed letters that Unicode also counts as
// alphabetic. The other alphabetic signs are combining marks, which always follow
// a letter and so never decide a paragraph's direction.
static bool isAlphabetic(char32_t c)
{
    if (QChar::isLetter(c) || QChar::category(c) == QChar::Number_Letter)
        return true;
    return (c >= 0x24B6 && c <= 0x24E9) || (c >= 0x1F130 && c <= 0x1F149)
        || (c >= 0x1F150 && c <= 0x1F169) || (c >= 0x1F170 && c <= 0x1F189);
}

static bool inRightToLeftBlock(char32_t c)
{
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)
        || (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

std::optional<TextDirection> Bidi::strongDirection(char32_t c)
{
    if (c == leftToRightMark)
        return TextDirection::ltr;
    if (c == rightToLeftMark)
        return TextDirection::rtl;
    if (QChar::category(c) == QChar::Number_DecimalDigit)
        return std::nullopt;
    if (inRightToLeftBlock(c)) {
        if (isAlphabetic(c) || c == 0x05BE)
            return TextDirection::rtl;
        return std::nullopt;
    }
    if (isAlphabetic(c))
        return TextDirection::ltr;
    return std::nullopt;
}

std::optional<TextDirection> Bidi::direction(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (auto d = strongDirection(c))
            return d;
    }
    return std::nullopt;
}
