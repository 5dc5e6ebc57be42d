#include "codepage.h"

#include <QByteArray>

#include <cerrno>
#include <iconv.h>

namespace {

constexpr char16_t lead = 0;  // no byte above 0x7F stands for U+0000 alone
constexpr char16_t replacement = 0xFFFD;

// Windows-1252 as Windows reads it: the five bytes it leaves undefined come out
// as C1 controls, which note text drops, as it always has.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// iconv's names for the code pages RTF files name by number. The Mac CJK code
// pages are their standards plus a few Apple symbols, close enough to read by.
QByteArray iconvName(int codePage)
{
    switch (codePage) {
    case 10000: return "MACINTOSH";
    case 10001: return "SHIFT_JIS";
    case 10002: return "BIG5";
    case 10003: return "EUC-KR";
    case 10007: return "MAC-CYRILLIC";
    case 10008: return "GB2312";
    case 10017: return "MACUKRAINIAN";
    case 10029: return "MAC-CENTRALEUROPE";
    case 10079: return "MAC-IS";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932:
    case 51932: return "EUC-JP";
    case 51936: return "GB2312";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 65001: return "UTF-8";
    default: break;
    }
    if (codePage >= 28591 && codePage <= 28606)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    if (codePage > 0 && codePage < 10000)
        return "CP" + QByteArray::number(codePage);
    return {};
}

} // namespace

struct CodePageDecoder::Converter {
    explicit Converter(iconv_t handle) : cd(handle) {}
    ~Converter() { iconv_close(cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t cd;

    enum class Outcome { converted, incomplete, invalid };
    // Converts the whole of `bytes` into `out`, or nothing.
    Outcome convert(const char* bytes, int length, QString& out)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes);
        size_t inLeft = size_t(length);
        char buffer[32];
        char* to = buffer;
        size_t toLeft = sizeof buffer;
        if (iconv(cd, &in, &inLeft, &to, &toLeft) == size_t(-1) || inLeft > 0) {
            const int error = errno;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            return error == EINVAL ? Outcome::incomplete : Outcome::invalid;
        }
        for (const char* p = buffer; p + 1 < to; p += 2)
            out.append(QChar(char16_t(uchar(p[0]) | uchar(p[1]) << 8)));
        return Outcome::converted;
    }
};

CodePageDecoder::CodePageDecoder(int codePage) : codePage_(codePage)
{
    if (codePage == 1252) {
        for (int b = 0x80; b < 0x100; ++b)
            single_[b - 0x80] = b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b);
        return;
    }
    const QByteArray name = iconvName(codePage);
    const iconv_t cd = name.isEmpty() ? iconv_t(-1) : iconv_open("UTF-16LE", name.constData());
    if (cd == iconv_t(-1)) {
        convertible_ = false;
        single_.fill(replacement);
        return;
    }
    converter_ = std::make_unique<Converter>(cd);
    // What each byte is on its own decides, once, which bytes start longer characters.
    for (int b = 0x80; b < 0x100; ++b) {
        const char byte = char(b);
        QString one;
        switch (converter_->convert(&byte, 1, one)) {
        case Converter::Outcome::converted:
            single_[b - 0x80] = one.size() == 1 && one[0] != QChar(0) ? one[0].unicode() : replacement;
            break;
        case Converter::Outcome::incomplete: single_[b - 0x80] = lead; break;
        case Converter::Outcome::invalid: single_[b - 0x80] = replacement; break;
        }
    }
}

CodePageDecoder::~CodePageDecoder() = default;

void CodePageDecoder::put(unsigned char byte, QString& out)
{
    if (pendingLength_ == 0) {
        if (byte < 0x80) {
            out.append(QChar(char16_t(byte)));
            return;
        }
        const char16_t alone = single_[byte - 0x80];
        if (alone != lead) {
            out.append(QChar(alone));
            return;
        }
    }
    pending_[pendingLength_++] = char(byte);
    convertPending(out);
}

void CodePageDecoder::convertPending(QString& out)
{
    switch (converter_->convert(pending_.data(), pendingLength_, out)) {
    case Converter::Outcome::converted:
        pendingLength_ = 0;
        return;
    case Converter::Outcome::incomplete:
        if (pendingLength_ < int(pending_.size()))
            return;
        break;
    case Converter::Outcome::invalid:
        break;
    }
    // The first byte started nothing; what followed it is read afresh.
    out.append(QChar(replacement));
    const std::array<char, 4> rest = pending_;
    const int restLength = pendingLength_ - 1;
    pendingLength_ = 0;
    for (int i = 1; i <= restLength; ++i)
        put(uchar(rest[i]), out);
}

void CodePageDecoder::finish(QString& out)
{
    if (pendingLength_ == 0)
        return;
    pendingLength_ = 0;
    out.append(QChar(replacement));
}

int CodePageDecoder::codePageOfCharset(int charset, int documentCodePage)
{
    switch (charset) {
    case 77: return 10000;   // Mac Roman
    case 78: return 10001;   // Mac Japanese
    case 79: return 10003;   // Mac Korean
    case 80: return 10008;   // Mac Simplified Chinese
    case 81: return 10002;   // Mac Traditional Chinese
    case 83: return 10005;   // Mac Hebrew
    case 84: return 10004;   // Mac Arabic
    case 85: return 10006;   // Mac Greek
    case 86: return 10081;   // Mac Turkish
    case 87: return 10021;   // Mac Thai
    case 88: return 10029;   // Mac Central European
    case 89: return 10007;   // Mac Cyrillic
    case 128: return 932;    // Shift-JIS
    case 129: return 949;    // Korean
    case 130: return 1361;   // Johab
    case 134: return 936;    // Simplified Chinese
    case 136: return 950;    // Traditional Chinese
    case 161: return 1253;   // Greek
    case 162: return 1254;   // Turkish
    case 163: return 1258;   // Vietnamese
    case 177:
    case 181: return 1255;   // Hebrew
    case 178:
    case 179:
    case 180: return 1256;   // Arabic
    case 186: return 1257;   // Baltic
    case 204: return 1251;   // Cyrillic
    case 222: return 874;    // Thai
    case 238: return 1250;   // Central European
    case 254: return 437;    // PC 437
    case 255: return 850;    // OEM
    // A Western font is Western in any document: a Chinese one's non-breaking spaces
    // and quotes in a Latin font are cp1252 bytes, not halves of GBK characters. On
    // the Mac the Western code page is Mac Roman.
    case 0: return documentCodePage == 10000 ? documentCodePage : 1252;
    default: return documentCodePage;
    }
}

// The few Wingdings glyphs that have a Unicode twin and serve as list bullets and
// marks; any other stays the private-use character Windows gives it.
char16_t CodePageDecoder::wingdingsCharacter(unsigned char byte)
{
    if (byte <= 0x20)
        return byte;  // controls and the space are what they are in any font
    switch (byte) {
    case 0x46: return 0x261E;  // pointing hand
    case 0x4A: return 0x263A;  // smiling face
    case 0x4C: return 0x2639;  // frowning face
    case 0x6C: return 0x25CF;  // black circle
    case 0x6D: return 0x274D;  // shadowed circle
    case 0x6E: return 0x25A0;  // black square
    case 0x6F: return 0x25A1;  // white square
    case 0x71: return 0x2751;  // shadowed square
    case 0x72: return 0x2752;
    case 0x75: return 0x25C6;  // black diamond
    case 0x76: return 0x2756;  // diamond of four
    case 0x77: return 0x2B25;  // small diamond
    case 0xA1: return 0x25CB;  // white circle
    case 0xA7: return 0x25AA;  // small black square
    case 0xA8: return 0x25FB;  // small white square
    case 0xD8: return 0x27A2;  // arrowhead
    case 0xE8: return 0x2794;  // arrow
    case 0xF0: return 0x21E8;  // white arrow
    case 0xFB: return 0x2717;  // ballot x
    case 0xFC: return 0x2713;  // check mark
    case 0xFD: return 0x2612;  // ballot box with x
    case 0xFE: return 0x2611;  // ballot box with check
    default: return char16_t(0xF000 + byte);
    }
}

// The Symbol font draws Greek letters, arrows and mathematical signs where other
// fonts have ASCII and Latin-1; Word and WordPad put their list bullets in it (0xB7).
char16_t CodePageDecoder::symbolFontCharacter(unsigned char byte)
{
    static constexpr std::array<char16_t, 224> table = {
        // 0x20
        0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
        0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
        0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
        0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
        // 0x40
        0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
        0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
        0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
        0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
        // 0x60
        0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
        0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
        0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
        0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0xFFFD,
        // 0x80: unused
        0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD,
        0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD,
        0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD,
        0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD,
        // 0xA0
        0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
        0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
        0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
        0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
        // 0xC0
        0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
        0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
        0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
        0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
        // 0xE0
        0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
        0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
        0xFFFD, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
        0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0xFFFD,
    };
    return byte < 0x20 ? char16_t(byte) : table[byte - 0x20];
}
