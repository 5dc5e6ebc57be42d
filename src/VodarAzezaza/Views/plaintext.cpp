#include "plaintext.h"

#include <QLabel>

namespace PlainText {

QLabel* label(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setOpenExternalLinks(false);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    l->setText(text);
    return l;
}

QString toolTip(const QString& text)
{
    if (text.isEmpty())
        return text;
    // Tooltips have no plain-text switch: escaped inside a rich-text frame, the text is
    // shown as written.
    return QStringLiteral("<qt style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

} // namespace PlainText
