#include "textdocument.h"

namespace pemby {

void setRunFont(QTextCharFormat& format, const QFont& font)
{
    // A run's font is replaced whole: whatever family or style another program set goes.
    for (int p : {int(QTextFormat::FontFamilies), int(QTextFormat::FontFamily),
                  int(QTextFormat::FontStyleName), int(QTextFormat::FontPixelSize),
                  int(QTextFormat::FontSizeAdjustment), int(QTextFormat::FontStretch)})
        format.clearProperty(p);
    format.setFontPointSize(font.pointSizeF());
    format.setFontWeight(font.weight());
    format.setFontItalic(font.italic());
}

bool hasFont(const QTextCharFormat& format)
{
    return format.hasProperty(QTextFormat::FontPointSize);
}

void setRunKern(QTextCharFormat& format, qreal kern)
{
    format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    format.setFontLetterSpacing(kern);
}

qreal runKern(const QTextCharFormat& format)
{
    if (format.fontLetterSpacingType() != QFont::AbsoluteSpacing)
        return 0;
    return format.fontLetterSpacing();
}

void setRunColor(QTextCharFormat& format, const QBrush& color)
{
    if (color.style() == Qt::NoBrush)
        format.clearForeground();
    else
        format.setForeground(color);
}

QTextCharFormat firstCharFormat(const QTextBlock& block)
{
    const auto it = block.begin();
    if (!it.atEnd() && it.fragment().isValid())
        return it.fragment().charFormat();
    return block.charFormat();
}

QString documentText(const QTextDocument& document)
{
    QString text;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        if (b != document.begin())
            text += u'\n';
        text += b.text();
    }
    return text;
}

int textLength(const QTextDocument& document)
{
    return document.characterCount() - 1;
}

int paragraphEnd(const QTextBlock& block)
{
    return std::min(block.position() + block.length(), textLength(*block.document()));
}

TextRange paragraphRange(const QTextBlock& block)
{
    return {block.position(), paragraphEnd(block) - block.position()};
}

} // namespace pemby
