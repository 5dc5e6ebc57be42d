#include "titletext.h"

#include "textutil.h"

#include <QPainter>
#include <QTextOption>

#include <algorithm>

namespace TitleText {

namespace {

// The explicit directional formatting characters: embeddings, overrides, their pop,
// and the isolates. The marks (LRM, RLM, ALM) are characters of their own and stay.
bool isDirectionalFormat(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

bool needsChange(QChar c)
{
    return c == u'\t' || pemby::isLineBreak(c) || pemby::isStrayControl(c) || isDirectionalFormat(c);
}

} // namespace

QString shown(const QString& title)
{
    if (std::none_of(title.cbegin(), title.cend(), needsChange))
        return title;
    QString out;
    out.reserve(title.size());
    for (qsizetype i = 0; i < title.size(); ++i) {
        const QChar c = title[i];
        if (pemby::isStrayControl(c) || isDirectionalFormat(c))
            continue;
        if (c == u'\r' && i + 1 < title.size() && title[i + 1] == u'\n')
            ++i;
        out.append(c == u'\t' || pemby::isLineBreak(c) ? QChar(u' ') : c);
    }
    return out;
}

Qt::LayoutDirection direction(QStringView text)
{
    return text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
}

Line fit(const QString& title, const QFontMetrics& metrics, qreal width)
{
    Line line;
    const QString text = shown(title);
    // Taken before the isolates go, whose content the first strong character skips.
    line.direction = direction(title);
    // Cut at the logical end: for a right-to-left title that is its left side, and the
    // "…" lands there, where its reader finishes.
    line.text = metrics.elidedText(text, Qt::ElideRight, int(std::max<qreal>(0, width)));
    line.width = metrics.horizontalAdvance(line.text);
    return line;
}

Line fit(const QString& title, const QFontMetrics& metrics, qreal width, qreal advance)
{
    // What elidedText finds first: a text no wider than the whole pixels it is given
    // is itself, as wide as it measures.
    if (advance > int(std::max<qreal>(0, width)))
        return fit(title, metrics, width);
    Line line;
    line.text = shown(title);
    line.direction = direction(title);
    line.width = qRound(advance);
    return line;
}

qreal start(const QRectF& box, qreal width, Qt::LayoutDirection direction)
{
    return direction == Qt::RightToLeft ? box.right() - std::min(width, box.width()) : box.left();
}

QRectF draw(QPainter& painter, const QRectF& box, const Line& line)
{
    QTextOption option(Qt::AlignLeading | Qt::AlignVCenter);
    option.setTextDirection(line.direction);
    option.setWrapMode(QTextOption::NoWrap);
    painter.drawText(box, line.text, option);
    const qreal width = std::min(line.width, box.width());
    return QRectF(start(box, width, line.direction), box.top(), width, box.height());
}

} // namespace TitleText
