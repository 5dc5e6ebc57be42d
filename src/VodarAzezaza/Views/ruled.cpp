#include "ruled.h"

#include <QPainter>

namespace Ruled {

void paint(QPainter& painter, const QRectF& bounds, const QColor& color, qreal weight)
{
    painter.fillRect(QRectF(bounds.left(), bounds.bottom() - weight, bounds.width(), weight), color);
}

} // namespace Ruled
