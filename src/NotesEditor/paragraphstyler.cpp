#include "paragraphstyler.h"

#include "textdocument.h"
#include "typography.h"

#include <QTextCursor>

static TextDirection directionBefore(const QTextBlock& block)
{
    if (block.position() == 0)
        return TextDirection::ltr;
    const auto style = ParagraphStyle::of(block.previous().blockFormat());
    return style && style->direction == TextDirection::rtl ? TextDirection::rtl : TextDirection::ltr;
}

void ParagraphStyler::apply(QTextDocument& text, int location, int length)
{
    const int textLength = pemby::textLength(text);
    if (textLength <= 0)
        return;
    const int editEnd = location + length;
    QTextBlock block = text.findBlock(std::clamp(location, 0, textLength - 1));
    TextDirection inherited = directionBefore(block);
    QTextCursor cursor(&text);

    while (block.isValid()) {
        const QString paragraph = block.text();
        const ParagraphInfo info = ParagraphMarkers::parse(paragraph);
        const bool divider = info.kind.type == ParagraphKind::Type::divider;
        const TextDirection direction = Bidi::direction(paragraph).value_or(inherited);
        const TextRole role = Typography::role(pemby::firstCharFormat(block));
        const ParagraphStyle wanted =
            Typography::paragraphStyle(role, info.kind, divider ? TextDirection::ltr : direction);

        const auto current = ParagraphStyle::of(block.blockFormat());
        if (!current || !current->sameLayout(wanted)) {
            QTextBlockFormat format = block.blockFormat();
            wanted.applyTo(format);
            cursor.setPosition(block.position());
            cursor.setBlockFormat(format);
        }
        // A divider has no direction of its own to hand on.
        if (!divider)
            inherited = direction;

        const int end = block.position() + block.length();
        block = block.next();
        if (!block.isValid() || (end >= editEnd && Bidi::direction(block.text())))
            break;
    }
}
