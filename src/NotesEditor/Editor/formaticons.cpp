#include "formaticons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// The icons' box; list icons use all of it, the others their middle.
constexpr qreal boxWidth = 16;
constexpr qreal boxHeight = 17;
constexpr qreal stroke = 1.5;

QPen pen(const QColor& color, qreal width = stroke)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Three list rows, each a leading sign and then the line of text.
template <class Lead>
void rows(QPainter& p, const QColor& color, Lead lead)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = 2.5 + i * 6;
        lead(i, y);
        p.setPen(pen(color));
        p.drawLine(QPointF(7.5, y), QPointF(boxWidth - 0.75, y));
    }
}

// Numerals as 3 by 5 pixel grids: strokes would blur at this size.
void numeral(QPainter& p, const QColor& color, int digit, qreal top)
{
    static const char* const grids[3][5] = {
        {".#.", "##.", ".#.", ".#.", "###"},
        {"##.", "..#", ".#.", "#..", "###"},
        {"##.", "..#", ".#.", "..#", "##."},
    };
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (grids[digit][row][col] == '#')
                p.drawRect(QRectF(1 + col, top + row, 1, 1));
        }
    }
}

void bullets(QPainter& p, const QColor& color)
{
    rows(p, color, [&](int, qreal y) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(2.5, y), 1.6, 1.6);
    });
}

void numbers(QPainter& p, const QColor& color)
{
    rows(p, color, [&](int i, qreal y) { numeral(p, color, i, y - 2.5); });
}

void checklist(QPainter& p, const QColor& color)
{
    rows(p, color, [&](int i, qreal y) {
        const QRectF box(0.5, y - 2, 4, 4);
        p.setPen(pen(color, 1));
        p.setBrush(i == 0 ? QBrush(color) : QBrush(Qt::NoBrush));
        p.drawRect(box);
    });
}

void minus(QPainter& p, const QColor& color)
{
    p.setPen(pen(color, 1.7));
    p.drawLine(QPointF(2, boxHeight / 2), QPointF(boxWidth - 2, boxHeight / 2));
}

void chevronCircle(QPainter& p, const QColor& color)
{
    const QPointF c(boxWidth / 2, boxHeight / 2);
    p.setPen(pen(color, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 6.5, 6.5);
    QPainterPath v;
    v.moveTo(c + QPointF(-2.7, -1.2));
    v.lineTo(c + QPointF(0, 1.5));
    v.lineTo(c + QPointF(2.7, -1.2));
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
    painter.translate(QPointF(std::round(rect.center().x() - boxWidth / 2), std::round(rect.center().y() - boxHeight / 2)));
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
