#include "rtfreader.h"

#include "codepage.h"
#include "logcategories.h"
#include "textdocument.h"
#include "typography.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {

// Mail clients nest groups thousands deep (one Outlook mail: 2,714). The stack is
// ours, on the heap, so only memory bounds it: past this depth, a few megabytes,
// a group is skipped whole.
constexpr int maxDepth = 1 << 16;
constexpr qsizetype maxWordLength = 32;
// Word's own limit. More would make every paragraph that inherits them cost them
// again, and tab stops accumulate until \pard.
constexpr qsizetype maxTabStops = 64;
constexpr std::size_t maxCodePages = 64;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Destinations whose content is not note text.
const QSet<QByteArray>& skippedDestinations()
{
    static const QSet<QByteArray> names = {
        "stylesheet", "listtable", "listoverridetable", "revtbl", "rsidtbl", "generator",
        "xmlnstbl", "themedata", "colorschememapping", "latentstyles", "datastore", "filetbl",
        "pict", "shppict", "nonshppict", "object", "objdata", "result", "NeXTGraphic",
        "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
        "footnote", "annotation", "atnid", "atnauthor", "fldinst", "pn", "pntxta", "pntxtb",
        "bkmkstart", "bkmkend", "private", "userprops", "docvar", "xe", "tc", "txe", "shp",
        // What Word writes for readers that do not know nested tables: the same cells again.
        "nonesttables",
    };
    return names;
}

// tableProps: a nested table row's properties, where only the row's end counts.
enum class Destination { text, fontTable, colorTable, info, comment, tableProps };

struct CharState {
    int font = -1;  // -1: the document's default font
    int halfPoints = 24;
    std::optional<bool> bold;
    std::optional<bool> italic;
    bool underline = false;
    bool hidden = false;
    int color = 0;
    int kernTwips = 0;
    bool operator==(const CharState&) const = default;
};

struct ParaState {
    TextDirection direction = TextDirection::ltr;
    ParagraphStyle::Alignment alignment = ParagraphStyle::Alignment::natural;
    int leftIndent = 0;  // twips, as RTF gives them
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int leading = 0;
    int defaultTab = 0;
    QList<int> tabs;

    ParagraphStyle style() const
    {
        ParagraphStyle s;
        s.direction = direction;
        s.alignment = alignment;
        s.lineSpacing = leading / 20.0;
        s.spaceBefore = spaceBefore / 20.0;
        s.spaceAfter = spaceAfter / 20.0;
        s.headIndent = leftIndent / 20.0;
        s.firstLineHeadIndent = (leftIndent + firstIndent) / 20.0;
        for (int t : tabs)
            s.tabStops.append(t / 20.0);
        s.defaultTabInterval = defaultTab / 20.0;
        return s;
    }
};

struct Group {
    Destination destination = Destination::text;
    CharState chars;
    ParaState para;
    int unicodeSkip = 1;
};

// Fonts whose bytes are pictures rather than letters. Any font of the symbol charset
// reads as the Symbol font, where that has the byte.
enum class SymbolFont { none, symbol, wingdings, other };

SymbolFont symbolFont(const QString& name, int charset)
{
    if (name.compare(u"Symbol", Qt::CaseInsensitive) == 0)
        return SymbolFont::symbol;
    if (name.compare(u"Wingdings", Qt::CaseInsensitive) == 0)
        return SymbolFont::wingdings;
    // Wingdings 2 and 3, Webdings: pictures of their own, kept as Windows gives them.
    if (name.startsWith(u"Wingdings", Qt::CaseInsensitive) || name.compare(u"Webdings", Qt::CaseInsensitive) == 0)
        return SymbolFont::other;
    return charset == 2 ? SymbolFont::symbol : SymbolFont::none;
}

// What a byte, or the private-use character Windows gives it, shows in a symbol font;
// nullopt where the font has nothing to say and the byte reads as text.
std::optional<char16_t> symbolCharacter(SymbolFont font, unsigned char byte)
{
    switch (font) {
    case SymbolFont::none: return std::nullopt;
    case SymbolFont::symbol: {
        const char16_t c = CodePageDecoder::symbolFontCharacter(byte);
        return c == 0xFFFD ? std::nullopt : std::optional<char16_t>(c);
    }
    case SymbolFont::wingdings: return CodePageDecoder::wingdingsCharacter(byte);
    case SymbolFont::other: return byte <= 0x20 ? char16_t(byte) : char16_t(0xF000 + byte);
    }
    return std::nullopt;
}

struct FontEntry {
    int weight = QFont::Normal;
    bool italic = false;
    int charset = -1;   // \fcharset; -1: none given
    int codePage = -1;  // \cpg, which wins over the charset; -1: none given
    SymbolFont symbol = SymbolFont::none;
};

// The macOS writer names a font's face in the font table ("HelveticaNeue-Bold")
// and does not always add \b or \i, so the face name counts as well.
FontEntry fontFromName(const QString& name)
{
    const QString n = name.toLower();
    FontEntry f;
    if (n.contains(u"black") || n.contains(u"heavy"))
        f.weight = QFont::Black;
    else if (n.contains(u"extrabold") || n.contains(u"ultrabold"))
        f.weight = QFont::ExtraBold;
    else if (n.contains(u"semibold") || n.contains(u"demi"))
        f.weight = QFont::DemiBold;
    else if (n.contains(u"bold"))
        f.weight = QFont::Bold;
    else if (n.contains(u"medium"))
        f.weight = QFont::Medium;
    else if (n.contains(u"ultralight") || n.contains(u"extralight") || n.contains(u"thin"))
        f.weight = QFont::ExtraLight;
    else if (n.contains(u"light"))
        f.weight = QFont::Light;
    f.italic = n.contains(u"italic") || n.contains(u"oblique");
    return f;
}

struct Word {
    QByteArray name;
    bool hasParam = false;
    int param = 0;
};

class Reader {
public:
    // Past `maxParagraphs` the text is refused, or with `keepStart` what was read of it
    // is kept as the start of the document.
    Reader(const QByteArray& data, qsizetype maxParagraphs, bool keepStart)
        : data_(data), maxParagraphs_(std::max<qsizetype>(maxParagraphs, 1)), keepStart_(keepStart)
    {
    }

    std::optional<RtfDocument> run()
    {
        qsizetype start = 0;
        while (start < data_.size() && (data_[start] == ' ' || data_[start] == '\t'
                                        || data_[start] == '\r' || data_[start] == '\n'))
            ++start;
        if (!QByteArrayView(data_).sliced(start).startsWith("{\\rtf"))
            return std::nullopt;

        doc_ = std::make_unique<QTextDocument>();
        doc_->setUndoRedoEnabled(false);
        cursor_ = QTextCursor(doc_.get());
        pos_ = start;
        // Outside an edit block every insertion lays its paragraph out again to place
        // the cursor, which makes a paragraph of many runs quadratic.
        cursor_.beginEditBlock();
        parse();
        if (tooManyParagraphs_ && !keepStart_) {
            cursor_.endEditBlock();
            qCWarning(lcNotes) << "not reading an RTF text of more than" << maxParagraphs_ << "paragraphs";
            return std::nullopt;
        }
        finishText();
        cursor_.endEditBlock();
        cursor_ = QTextCursor();
        doc_->setUndoRedoEnabled(true);
        return RtfDocument{std::move(doc_), std::move(comment_), std::move(unconverted_), !tooManyParagraphs_};
    }

private:
    void parse()
    {
        const qsizetype n = data_.size();
        while (pos_ < n && !tooManyParagraphs_) {
            const char c = data_[pos_];
            if (skipDepth_ > 0) {
                skipOne(c);
                continue;
            }
            switch (c) {
            case '{':
                ++pos_;
                openGroup();
                break;
            case '}':
                ++pos_;
                if (groups_.size() == 1)
                    return;  // the document ends here; anything after it is not ours
                closeGroup();
                break;
            case '\\':
                control();
                break;
            case '\r':
            case '\n':
                ++pos_;
                break;
            default:
                ++pos_;
                atGroupStart_ = false;
                if (consumeFallback())
                    break;
                if (c == '\t')
                    character(u'\t');
                else if (uchar(c) >= 0x20)
                    byte(uchar(c));
                break;
            }
        }
    }

    // Inside a skipped destination only the braces count; \bin data may hold any byte.
    void skipOne(char c)
    {
        if (c == '{') {
            ++skipDepth_;
            ++pos_;
        } else if (c == '}') {
            ++pos_;
            if (--skipDepth_ == 0 && skippingAttachment_) {
                skippingAttachment_ = false;
                dropAttachmentMark_ = true;
            }
        } else if (c == '\\' && pos_ + 1 < data_.size() && isLetter(data_[pos_ + 1])) {
            const Word w = readWord();
            if (w.name == "bin")
                skipBinary(w.param);
        } else {
            pos_ += c == '\\' ? 2 : 1;
        }
    }

    void openGroup()
    {
        finishBytes();
        fallbackLeft_ = 0;
        if (groups_.size() >= maxDepth) {
            skipDepth_ = 1;
            return;
        }
        groups_.append(groups_.isEmpty() ? Group{} : groups_.last());
        atGroupStart_ = true;
        starred_ = false;
    }

    void closeGroup()
    {
        finishBytes();
        fallbackLeft_ = 0;
        atGroupStart_ = false;
        groups_.removeLast();
    }

    void skipGroup(bool attachment = false)
    {
        groups_.removeLast();
        skipDepth_ = 1;
        skippingAttachment_ = attachment;
        atGroupStart_ = false;
    }

    Word readWord()
    {
        Word w;
        ++pos_;  // the backslash
        const qsizetype n = data_.size();
        const qsizetype begin = pos_;
        while (pos_ < n && isLetter(data_[pos_]))
            ++pos_;
        w.name = data_.mid(begin, std::min(pos_ - begin, maxWordLength));
        bool negative = false;
        if (pos_ + 1 < n && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        if (pos_ < n && isDigit(data_[pos_])) {
            w.hasParam = true;
            qint64 value = 0;
            while (pos_ < n && isDigit(data_[pos_])) {
                if (value < 10'000'000'000)
                    value = value * 10 + (data_[pos_] - '0');
                ++pos_;
            }
            value = std::min<qint64>(value, std::numeric_limits<int>::max());
            w.param = int(negative ? -value : value);
        }
        if (pos_ < n && data_[pos_] == ' ')
            ++pos_;
        return w;
    }

    void skipBinary(int count)
    {
        pos_ = std::min(data_.size(), pos_ + std::max(0, count));
    }

    // After \uN the writer puts a fallback for readers without Unicode: skip it.
    bool consumeFallback()
    {
        if (fallbackLeft_ <= 0)
            return false;
        --fallbackLeft_;
        return true;
    }

    void control()
    {
        const qsizetype n = data_.size();
        if (pos_ + 1 >= n) {
            pos_ = n;
            return;
        }
        const char c = data_[pos_ + 1];
        if (isLetter(c)) {
            finishBytes();
            const Word w = readWord();
            if (atGroupStart_) {
                atGroupStart_ = false;
                if (enterDestination(w.name))
                    return;
            }
            if (consumeFallback() && w.name != "u")
                return;
            word(w);
            return;
        }

        pos_ += 2;
        if (c == '*') {
            if (atGroupStart_)
                starred_ = true;
            return;
        }
        atGroupStart_ = false;
        if (c == '\'') {
            const int hi = pos_ < n ? hexValue(data_[pos_]) : -1;
            const int lo = pos_ + 1 < n ? hexValue(data_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0)
                return;
            pos_ += 2;
            if (!consumeFallback())
                byte(uchar(hi * 16 + lo));
            return;
        }
        if (consumeFallback())
            return;
        switch (c) {
        // Escaped, but bytes all the same: the second byte of a Shift-JIS character may be a backslash.
        case '\\':
        case '{':
        case '}': byte(uchar(c)); break;
        case '~': character(u'\u00A0'); break;
        case '_': character(u'\u2011'); break;
        case '-': character(u'\u00AD'); break;
        case '\n':
        case '\r': finishBytes(); paragraphEnd(); break;
        default: break;
        }
    }

    // The first control word of a group may name a destination. True when the
    // group was taken over (or skipped) by it.
    bool enterDestination(const QByteArray& name)
    {
        Group& g = groups_.last();
        if (g.destination == Destination::info) {
            if (name == "doccomm") {
                g.destination = Destination::comment;
                comment_ = QString();
            } else {
                skipGroup();
            }
            return true;
        }
        if (name == "nesttableprops") {
            g.destination = Destination::tableProps;
            return true;
        }
        if (starred_ || skippedDestinations().contains(name)) {
            skipGroup(name == "NeXTGraphic");
            return true;
        }
        if (name == "fonttbl") {
            g.destination = Destination::fontTable;
            return true;
        }
        if (name == "colortbl") {
            g.destination = Destination::colorTable;
            colors_.clear();
            return true;
        }
        if (name == "info") {
            g.destination = Destination::info;
            return true;
        }
        return false;
    }

    void word(const Word& w)
    {
        Group& g = groups_.last();
        const QByteArray& name = w.name;
        const int p = w.param;
        const bool on = !w.hasParam || p != 0;

        if (g.destination == Destination::tableProps) {
            // The cells of a nested row are text of their own; the row's end is here.
            if (name == "nestrow")
                paragraphEnd();
            return;
        }
        if (g.destination == Destination::fontTable) {
            if (name == "f") {
                font_ = p;
                fontName_.clear();
                fontCharset_ = -1;
                fontCodePage_ = -1;
            } else if (name == "fcharset") {
                fontCharset_ = p;
            } else if (name == "cpg") {
                fontCodePage_ = p;
            }
            return;
        }
        if (g.destination == Destination::colorTable) {
            const int v = std::clamp(p, 0, 255);
            if (name == "red")
                red_ = v;
            else if (name == "green")
                green_ = v;
            else if (name == "blue")
                blue_ = v;
            else
                return;
            colorSet_ = true;
            return;
        }

        // Characters.
        if (name == "par" || name == "sect" || name == "page" || name == "row" || name == "nestrow")
            return paragraphEnd();
        if (name == "line") return character(u'\u2028');
        if (name == "tab" || name == "cell" || name == "nestcell") return character(u'\t');
        if (name == "u") {
            const int unit = p < 0 ? p + 65536 : p;
            const char16_t u = char16_t(std::clamp(unit, 0, 0xFFFF));
            // Word writes a symbol font's characters at U+F020…U+F0FF.
            const TextFont font = textFont();
            const auto shown = u >= 0xF020 && u <= 0xF0FF ? symbolCharacter(font.symbol, uchar(u)) : std::nullopt;
            finishBytes();
            symbolText(font.symbol != SymbolFont::none);
            character(shown.value_or(u));
            fallbackLeft_ = g.unicodeSkip;
            return;
        }
        if (name == "uc") {
            g.unicodeSkip = std::clamp(p, 0, 16);
            return;
        }
        if (name == "bin") return skipBinary(p);
        static const QHash<QByteArray, char16_t> symbols = {
            {"lquote", u'\u2018'}, {"rquote", u'\u2019'}, {"ldblquote", u'\u201C'},
            {"rdblquote", u'\u201D'}, {"bullet", u'\u2022'}, {"emdash", u'\u2014'},
            {"endash", u'\u2013'}, {"emspace", u'\u2003'}, {"enspace", u'\u2002'},
            {"qmspace", u'\u2005'}, {"zwj", u'\u200D'}, {"zwnj", u'\u200C'},
            {"ltrmark", u'\u200E'}, {"rtlmark", u'\u200F'},
        };
        if (const auto it = symbols.constFind(name); it != symbols.cend())
            return character(*it);

        // The document's code page, for bytes in fonts that name none of their own.
        if (name == "ansi") { setDocumentCodePage(1252); return; }
        if (name == "mac") { setDocumentCodePage(10000); return; }
        if (name == "pc") { setDocumentCodePage(437); return; }
        if (name == "pca") { setDocumentCodePage(850); return; }
        if (name == "ansicpg") { if (p > 0) setDocumentCodePage(p); return; }

        // Character formatting.
        CharState& ch = g.chars;
        if (name == "plain") { ch = CharState{}; return; }
        if (name == "f") { ch.font = p; return; }
        if (name == "fs") { if (p > 0) ch.halfPoints = std::min(p, 4000); return; }
        if (name == "b") { ch.bold = on; return; }
        if (name == "i") { ch.italic = on; return; }
        if (name == "v") { ch.hidden = on; return; }
        if (name == "ulnone") { ch.underline = false; return; }
        if (name.startsWith("ul") && name != "ulc") { ch.underline = on; return; }
        if (name == "cf") { ch.color = p; return; }
        if (name == "expndtw") { ch.kernTwips = std::clamp(p, -20000, 20000); return; }
        if (name == "expnd") { ch.kernTwips = std::clamp(p, -4000, 4000) * 5; return; }
        if (name == "deff") { defaultFont_ = p; return; }

        // Paragraph formatting.
        ParaState& para = g.para;
        const int twips = std::clamp(p, -200'000, 200'000);
        if (name == "pard") { para = ParaState{}; return; }
        if (name == "ql") { para.alignment = ParagraphStyle::Alignment::left; return; }
        if (name == "qr") { para.alignment = ParagraphStyle::Alignment::right; return; }
        if (name == "qc") { para.alignment = ParagraphStyle::Alignment::center; return; }
        if (name == "qj" || name == "qd") { para.alignment = ParagraphStyle::Alignment::justified; return; }
        if (name == "qnatural") { para.alignment = ParagraphStyle::Alignment::natural; return; }
        if (name == "li") { para.leftIndent = twips; return; }
        if (name == "fi") { para.firstIndent = twips; return; }
        if (name == "sb") { para.spaceBefore = twips; return; }
        if (name == "sa") { para.spaceAfter = twips; return; }
        if (name == "slleading") { para.leading = twips; return; }
        if (name == "pardeftab") { para.defaultTab = std::max(0, twips); return; }
        if (name == "tx") { if (para.tabs.size() < maxTabStops) para.tabs.append(twips); return; }
        if (name == "rtlpar" || name == "pardirrighttoleft") { para.direction = TextDirection::rtl; return; }
        if (name == "ltrpar" || name == "pardirlefttoright" || name == "pardirnatural") {
            para.direction = TextDirection::ltr;
            return;
        }
    }

    void setDocumentCodePage(int codePage)
    {
        documentCodePage_ = codePage;
        textFont_.reset();
    }

    // How bytes of text read in the font in force: as the Symbol font shows them,
    // or in a code page.
    struct TextFont {
        int font = 0;
        SymbolFont symbol = SymbolFont::none;
        CodePageDecoder* decoder = nullptr;
    };

    TextFont textFont()
    {
        const Group& g = groups_.last();
        if (g.destination == Destination::fontTable) {
            // A font's name is written in the font's own code page.
            const int page = fontCodePage_ > 0 ? fontCodePage_
                                               : CodePageDecoder::codePageOfCharset(fontCharset_, documentCodePage_);
            return {-1, SymbolFont::none, &decoder(page)};
        }
        const int index = g.chars.font < 0 ? defaultFont_ : g.chars.font;
        if (textFont_ && textFont_->font == index)
            return *textFont_;
        const auto it = fonts_.constFind(index);
        TextFont font{index, SymbolFont::none, nullptr};
        int page = documentCodePage_;
        if (it != fonts_.cend()) {
            font.symbol = it->symbol;
            page = it->codePage > 0 ? it->codePage : CodePageDecoder::codePageOfCharset(it->charset, documentCodePage_);
        }
        font.decoder = &decoder(page);
        textFont_ = font;
        return font;
    }

    CodePageDecoder& decoder(int codePage)
    {
        // Real files name a handful; a file naming thousands reads the rest as
        // code page 0, which converts nothing, rather than open a converter for each.
        if (!decoders_.contains(codePage) && decoders_.size() >= maxCodePages)
            codePage = 0;
        auto& held = decoders_[codePage];
        if (!held)
            held = std::make_unique<CodePageDecoder>(codePage);
        return *held;
    }

    // One byte of text, in the code page or the Symbol font of the font in force.
    void byte(uchar b)
    {
        if (dropAttachmentMark_ && b == 0xAC) {
            dropAttachmentMark_ = false;  // the placeholder the macOS writer puts after an attachment
            return;
        }
        const TextFont font = textFont();
        if (waiting_ && waiting_ != font.decoder)
            finishBytes();
        symbolText(font.symbol != SymbolFont::none);
        if (const auto shown = symbolCharacter(font.symbol, b))
            return unit(*shown);
        CodePageDecoder& d = *font.decoder;
        if (b >= 0x80 && !d.convertible() && !unconverted_.contains(d.codePage()))
            unconverted_.append(d.codePage());
        decoded_.clear();
        d.put(b, decoded_);
        waiting_ = d.waiting() ? &d : nullptr;
        for (const QChar c : std::as_const(decoded_))
            unit(c.unicode());
    }

    // A character begun by bytes and cut short by anything else is not lost silently.
    void finishBytes()
    {
        if (!waiting_)
            return;
        decoded_.clear();
        std::exchange(waiting_, nullptr)->finish(decoded_);
        for (const QChar c : std::as_const(decoded_))
            unit(c.unicode());
    }

    // A character given by a control word or a \uN.
    void character(char16_t u)
    {
        finishBytes();
        unit(u);
    }

    void unit(char16_t u)
    {
        switch (groups_.last().destination) {
        case Destination::text: return textUnit(u);
        case Destination::comment: comment_->append(QChar(u)); return;
        case Destination::fontTable:
            if (u == u';') {
                FontEntry entry = fontFromName(fontName_.trimmed());
                entry.charset = fontCharset_;
                entry.codePage = fontCodePage_;
                entry.symbol = symbolFont(fontName_.trimmed(), fontCharset_);
                fonts_.insert(font_, entry);
                textFont_.reset();
                fontName_.clear();
            } else {
                fontName_.append(QChar(u));
            }
            return;
        case Destination::colorTable:
            if (u == u';') {
                colors_.append(colorSet_ ? QColor(red_, green_, blue_) : QColor());
                red_ = green_ = blue_ = 0;
                colorSet_ = false;
            }
            return;
        case Destination::info:
        case Destination::tableProps: return;
        }
    }

    // The next character comes from a symbol font.
    void symbolText(bool fromSymbolFont) { fromSymbolFont_ = fromSymbolFont; }

    void textUnit(char16_t u)
    {
        const bool fromSymbolFont = std::exchange(fromSymbolFont_, false);
        if (std::exchange(dropAttachmentMark_, false) && u == u'\u00AC')
            return;  // the placeholder the macOS writer puts after an attachment
        if (groups_.last().chars.hidden)
            return;
        // A list's marker in a symbol font, a picture and a tab at the paragraph's
        // start, is a bullet item's marker, whichever picture it was; the ballot boxes
        // stay the checklist's own.
        const bool symbolAtStart = fromSymbolFont && pending_.isEmpty() && cursor_.block().length() == 1;
        if (std::exchange(symbolMarker_, false) && u == u'\t' && pending_.size() == 1 && pending_[0] != QChar(u'\u2610')
            && pending_[0] != QChar(u'\u2611'))
            pending_[0] = QChar(u'\u2022');
        symbolMarker_ = symbolAtStart;
        if (u == u'\n' || u == u'\r' || u == u'\u2029')
            return paragraphEnd();
        if ((u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F))
            return;
        if (u == 0xFDD0 || u == 0xFDD1)  // Qt's frame marks: never text
            u = 0xFFFD;

        if (highSurrogate_) {
            const char16_t high = std::exchange(highSurrogate_, 0);
            if (QChar::isLowSurrogate(u)) {
                append(QChar(high));
                append(QChar(u));
                return;
            }
            append(QChar(0xFFFD));
        }
        if (QChar::isHighSurrogate(u))
            highSurrogate_ = u;
        else if (QChar::isLowSurrogate(u))
            append(QChar(0xFFFD));
        else
            append(QChar(u));
    }

    void append(QChar c)
    {
        const CharState& state = groups_.last().chars;
        if (!pending_.isEmpty() && state != pendingState_)
            flush();
        if (pending_.isEmpty())
            pendingState_ = state;
        if (!paragraphFormat_)
            paragraphFormat_ = format(state);
        pending_.append(c);
    }

    void flush()
    {
        if (highSurrogate_) {
            highSurrogate_ = 0;
            append(QChar(0xFFFD));
        }
        if (pending_.isEmpty())
            return;
        cursor_.insertText(pending_, format(pendingState_));
        pending_.clear();
    }

    // Ends the current paragraph with the paragraph and character state in force.
    void closeParagraph()
    {
        flush();
        const Group& g = groups_.last();
        QTextBlockFormat block = cursor_.blockFormat();
        g.para.style().applyTo(block);
        cursor_.setBlockFormat(block);
        // An empty paragraph keeps the size it was written with.
        cursor_.setBlockCharFormat(paragraphFormat_ ? *paragraphFormat_ : format(g.chars));
        paragraphFormat_.reset();
    }

    void paragraphEnd()
    {
        // Each paragraph costs the document its block and layout: a few bytes of the
        // file must not make gigabytes and a minute of the window's time.
        if (++paragraphs_ >= maxParagraphs_) {
            tooManyParagraphs_ = true;
            return;
        }
        closeParagraph();
        cursor_.insertBlock();
    }

    void finishText()
    {
        if (groups_.isEmpty())
            groups_.append(Group{});
        finishBytes();
        closeParagraph();
    }

    QTextCharFormat format(const CharState& s) const
    {
        const FontEntry face = fonts_.value(s.font < 0 ? defaultFont_ : s.font);
        int weight = face.weight;
        if (s.bold)
            weight = *s.bold ? (face.weight >= QFont::DemiBold ? face.weight : QFont::Bold)
                             : (face.weight >= QFont::DemiBold ? QFont::Normal : face.weight);
        QTextCharFormat f;
        QFont font;
        font.setPointSizeF(s.halfPoints / 2.0);
        font.setWeight(QFont::Weight(weight));
        font.setItalic(s.italic.value_or(face.italic));
        pemby::setRunFont(f, font);
        if (s.underline)
            f.setFontUnderline(true);
        if (s.color > 0 && s.color < colors_.size() && colors_[s.color].isValid())
            f.setForeground(colors_[s.color]);
        if (s.kernTwips != 0)
            pemby::setRunKern(f, s.kernTwips / 20.0);
        return f;
    }

    const QByteArray& data_;
    const qsizetype maxParagraphs_;
    const bool keepStart_;
    qsizetype pos_ = 0;
    QList<Group> groups_;
    int skipDepth_ = 0;
    bool skippingAttachment_ = false;
    bool dropAttachmentMark_ = false;
    bool fromSymbolFont_ = false;
    bool symbolMarker_ = false;  // the paragraph's first character came from a symbol font
    bool atGroupStart_ = false;
    bool starred_ = false;
    int fallbackLeft_ = 0;

    QHash<int, FontEntry> fonts_;
    int defaultFont_ = 0;
    int font_ = 0;
    int fontCharset_ = -1;
    int fontCodePage_ = -1;
    QString fontName_;
    QList<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    int documentCodePage_ = 1252;
    std::unordered_map<int, std::unique_ptr<CodePageDecoder>> decoders_;
    std::optional<TextFont> textFont_;  // for the font index it names
    CodePageDecoder* waiting_ = nullptr;  // holds the first bytes of a character
    QString decoded_;
    QList<int> unconverted_;

    std::unique_ptr<QTextDocument> doc_;
    QTextCursor cursor_;
    QString pending_;
    CharState pendingState_;
    std::optional<QTextCharFormat> paragraphFormat_;
    char16_t highSurrogate_ = 0;
    std::optional<QString> comment_;
    qsizetype paragraphs_ = 0;
    bool tooManyParagraphs_ = false;
};

} // namespace

std::optional<RtfDocument> RtfReader::read(const QByteArray& data)
{
    return Reader(data, maxParagraphs, false).run();
}

std::optional<RtfDocument> RtfReader::readStart(const QByteArray& data, qsizetype paragraphs)
{
    return Reader(data, paragraphs, true).run();
}

qsizetype RtfReader::paragraphEstimate(const QByteArray& data)
{
    // What the reader takes for a paragraph's end: \par, \sect, \page, \row and
    // \nestrow as whole words, and a backslash before a line end.
    static constexpr std::string_view words[] = {"par", "sect", "page", "row", "nestrow"};
    const char* const begin = data.constData();
    const char* const end = begin + data.size();
    qsizetype count = 0;
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\\', size_t(end - p)))) && p + 1 < end;) {
        ++p;
        if (*p == '\n' || *p == '\r') {
            ++count;
            ++p;
            continue;
        }
        if (!isLetter(*p)) {
            ++p;  // an escaped character, a backslash among them
            continue;
        }
        const char* const name = p;
        while (p < end && isLetter(*p))
            ++p;
        const std::string_view word(name, size_t(p - name));
        if (std::find(std::begin(words), std::end(words), word) != std::end(words))
            ++count;
    }
    return count;
}
