#pragma once
// Column metrics and the rule under every line.
//
// API
//   setFixedHeight(Ruled::lineHeight);                        every line of a column
//   Ruled::paint(p, rect(), Palette::pembyRule);              in paintEvent, last
//   Ruled::paint(p, rect(), Palette::pembyText, 2);           under a header
//
// The rule is a filled band `weight` logical pixels high along the bottom edge, over the
// whole width.

#include <QColor>

class QPainter;
class QRectF;

namespace Ruled {

// Every line of a column: things, other apps' things, events, the new line, the more
// line and the filler lines.
constexpr int lineHeight = 32;
// Every column header.
constexpr int headerHeight = 36;

void paint(QPainter& painter, const QRectF& bounds, const QColor& color, qreal weight = 1);

} // namespace Ruled
