#include "rtfwriter.h"

#include "textdocument.h"
#include "typography.h"

#include <QColor>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace {

int twips(qreal points)
{
    return int(std::lround(points * 20));
}

// The nearest half point, except where that would cross a role's threshold: a
// 26.4-point heading must not come back as a 26.5-point title.
int halfPoints(qreal size)
{
    int half = int(std::lround(size * 2));
    if (Typography::role(half / 2.0) != Typography::role(size))
        half = int(std::floor(size * 2));
    return std::max(1, half);
}

struct RunProps {
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int color = 0;  // 0: the reader's own text colour
    int kernTwips = 0;
    bool operator==(const RunProps&) const = default;
};

class Writer {
public:
    explicit Writer(const QTextDocument& text) : text_(text) {}

    QByteArray run(const std::optional<QString>& comment)
    {
        collectColors();
        out_ += "{\\rtf1\\ansi\\ansicpg1252\\deff0\n";
        out_ += "{\\fonttbl\\f0\\fnil\\fcharset0 .AppleSystemUIFont;}\n";
        out_ += "{\\colortbl;";
        for (const QRgb rgb : colors_)
            out_ += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb))
                  + "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
        out_ += "}\n";
        if (comment) {
            out_ += "{\\info\n{\\doccomm ";
            for (const QChar c : *comment)
                character(c.unicode());
            out_ += "}}";
        }

        std::optional<std::optional<ParagraphStyle>> written;
        for (QTextBlock block = text_.begin(); block.isValid(); block = block.next()) {
            const auto style = ParagraphStyle::of(block.blockFormat());
            if (!written || *written != style) {
                paragraphStyle(style.value_or(ParagraphStyle{}));
                written = style;
            }
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.isValid())
                    continue;
                runProps(fragment.charFormat());
                for (const QChar c : fragment.text())
                    character(c.unicode());
            }
            // An empty paragraph still has a size: its line is that high.
            if (block.length() <= 1)
                runProps(block.charFormat());
            if (block.next().isValid())
                out_ += "\\\n";
        }
        out_ += '}';
        return out_;
    }

private:
    void collectColors()
    {
        const auto note = [this](const QTextCharFormat& f) {
            if (f.foreground().style() == Qt::NoBrush)
                return;
            const QRgb rgb = f.foreground().color().rgb() | 0xFF000000u;
            if (!colors_.contains(rgb))
                colors_.append(rgb);
        };
        for (QTextBlock block = text_.begin(); block.isValid(); block = block.next()) {
            note(block.charFormat());
            for (auto it = block.begin(); !it.atEnd(); ++it)
                note(it.fragment().charFormat());
        }
    }

    void paragraphStyle(const ParagraphStyle& s)
    {
        out_ += "\\pard";
        for (const qreal tab : s.tabStops)
            out_ += "\\tx" + QByteArray::number(twips(tab));
        if (s.defaultTabInterval > 0)
            out_ += "\\pardeftab" + QByteArray::number(twips(s.defaultTabInterval));
        if (s.headIndent != 0)
            out_ += "\\li" + QByteArray::number(twips(s.headIndent));
        if (s.firstLineHeadIndent != s.headIndent)
            out_ += "\\fi" + QByteArray::number(twips(s.firstLineHeadIndent) - twips(s.headIndent));
        if (s.lineSpacing != 0)
            out_ += "\\slleading" + QByteArray::number(twips(s.lineSpacing));
        if (s.spaceBefore != 0)
            out_ += "\\sb" + QByteArray::number(twips(s.spaceBefore));
        if (s.spaceAfter != 0)
            out_ += "\\sa" + QByteArray::number(twips(s.spaceAfter));
        switch (s.alignment) {
        case ParagraphStyle::Alignment::natural: break;  // what \pard means
        case ParagraphStyle::Alignment::left: out_ += "\\ql"; break;
        case ParagraphStyle::Alignment::right: out_ += "\\qr"; break;
        case ParagraphStyle::Alignment::center: out_ += "\\qc"; break;
        case ParagraphStyle::Alignment::justified: out_ += "\\qj"; break;
        }
        out_ += s.direction == TextDirection::rtl ? "\\rtlpar" : "\\ltrpar";
        out_ += "\\partightenfactor0\n";
    }

    void runProps(const QTextCharFormat& f)
    {
        RunProps p;
        if (pemby::hasFont(f))
            p.halfPoints = halfPoints(f.fontPointSize());
        p.bold = Typography::isBold(f);
        p.italic = Typography::isItalic(f);
        p.underline = f.fontUnderline();
        if (f.foreground().style() != Qt::NoBrush)
            p.color = int(colors_.indexOf(f.foreground().color().rgb() | 0xFF000000u)) + 1;
        p.kernTwips = twips(pemby::runKern(f));

        const bool all = !current_;
        const RunProps old = current_.value_or(RunProps{});
        if (!all && old == p)
            return;
        if (all)
            out_ += "\\f0";
        if (all || p.bold != old.bold)
            out_ += p.bold ? "\\b" : "\\b0";
        if (all || p.italic != old.italic)
            out_ += p.italic ? "\\i" : "\\i0";
        if (all || p.halfPoints != old.halfPoints)
            out_ += "\\fs" + QByteArray::number(p.halfPoints);
        if (all || p.color != old.color)
            out_ += "\\cf" + QByteArray::number(p.color);
        if (all || p.kernTwips != old.kernTwips)
            out_ += "\\expnd" + QByteArray::number(int(std::lround(p.kernTwips / 5.0))) + "\\expndtw"
                  + QByteArray::number(p.kernTwips);
        if (all || p.underline != old.underline)
            out_ += p.underline ? "\\ul" : "\\ulnone";
        out_ += ' ';
        current_ = p;
    }

    void character(char16_t u)
    {
        switch (u) {
        case u'\\': out_ += "\\\\"; return;
        case u'{': out_ += "\\{"; return;
        case u'}': out_ += "\\}"; return;
        case u'\t': out_ += "\\tab "; return;
        default: break;
        }
        if (u >= 0x20 && u < 0x7F) {
            out_ += char(u);
            return;
        }
        // RTF's \u takes a signed 16-bit number.
        out_ += "\\uc0\\u" + QByteArray::number(int(qint16(u))) + ' ';
    }

    const QTextDocument& text_;
    QByteArray out_;
    QList<QRgb> colors_;
    std::optional<RunProps> current_;
};

} // namespace

QByteArray RtfWriter::write(const QTextDocument& text, const std::optional<QString>& comment)
{
    return Writer(text).run(comment);
}
