#include "formaticons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal side = 14;
constexpr qreal stroke = 1.5;

QPen pen(const QColor& color, qreal width = stroke)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Three list rows: a leading sign each, then the line of text.
template <class Lead>
void rows(QPainter& p, const QColor& color, qreal textStart, Lead lead)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = 2.5 + i * 4.5;
        lead(i, y);
        p.setPen(pen(color));
        p.drawLine(QPointF(textStart, y), QPointF(side - 0.5, y));
    }
}

void bullets(QPainter& p, const QColor& color)
{
    rows(p, color, 5, [&](int, qreal y) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(1.5, y), 1.3, 1.3);
    });
}

void numbers(QPainter& p, const QColor& color)
{
    // Tiny numerals 1, 2, 3 as strokes: legible at this size where text is not.
    rows(p, color, 6, [&](int i, qreal y) {
        p.setPen(pen(color, 1.1));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        const qreal t = y - 1.6, b = y + 1.6, l = 0.6, r = 3.2;
        if (i == 0) {
            path.moveTo(l + 0.6, t + 0.6);
            path.lineTo(l + 1.6, t);
            path.lineTo(l + 1.6, b);
        } else if (i == 1) {
            path.moveTo(l, t + 0.5);
            path.quadTo(QPointF(r, t - 0.8), QPointF(r, t + 1));
            path.lineTo(l, b);
            path.lineTo(r, b);
        } else {
            path.moveTo(l, t);
            path.lineTo(r, t);
            path.lineTo(l + 1.2, y - 0.1);
            path.quadTo(QPointF(r + 0.6, y), QPointF(r - 0.2, b - 0.4));
            path.quadTo(QPointF(l + 1, b + 0.6), QPointF(l, b - 0.4));
        }
        p.drawPath(path);
    });
}

void checklist(QPainter& p, const QColor& color)
{
    rows(p, color, 6.5, [&](int i, qreal y) {
        p.setPen(pen(color, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(0.6, y - 1.7, 3.4, 3.4), 0.6, 0.6);
        if (i == 0) {
            QPainterPath tick;
            tick.moveTo(1.2, y);
            tick.lineTo(2.1, y + 1);
            tick.lineTo(3.6, y - 1.3);
            p.drawPath(tick);
        }
    });
}

void minus(QPainter& p, const QColor& color)
{
    p.setPen(pen(color, 1.7));
    p.drawLine(QPointF(2, side / 2), QPointF(side - 2, side / 2));
}

void chevronCircle(QPainter& p, const QColor& color)
{
    p.setPen(pen(color, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(0.75, 0.75, side - 1.5, side - 1.5));
    QPainterPath v;
    v.moveTo(4.3, 5.8);
    v.lineTo(7, 8.5);
    v.lineTo(9.7, 5.8);
    p.setPen(pen(color, 1.5));
    p.drawPath(v);
}

} // namespace

namespace FormatIcons {

bool exists(const QString& name)
{
    return name == u"list.bullet" || name == u"list.number" || name == u"checklist" || name == u"minus"
        || name == u"chevron.down.circle";
}

void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center() - QPointF(side / 2, side / 2));
    if (name == u"list.bullet")
        bullets(painter, color);
    else if (name == u"list.number")
        numbers(painter, color);
    else if (name == u"checklist")
        checklist(painter, color);
    else if (name == u"minus")
        minus(painter, color);
    else if (name == u"chevron.down.circle")
        chevronCircle(painter, color);
    painter.restore();
}

} // namespace FormatIcons
