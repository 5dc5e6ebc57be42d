#pragma once
// The format popover's small icons, drawn as strokes: there is no symbol font on
// the desktop to take them from.

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace FormatIcons {

// Names: "list.bullet", "list.number", "checklist", "minus", "chevron.down.circle".
bool exists(const QString& name);
// Draws the icon centred in `rect`, about 16 by 17.
void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);

} // namespace FormatIcons
