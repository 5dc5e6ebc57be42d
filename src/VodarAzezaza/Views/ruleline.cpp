#include "ruleline.h"

#include "palette.h"

#include <QPainter>

RuleLine::RuleLine(Qt::Orientation orientation, QWidget* parent) : QWidget(parent)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

void RuleLine::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(Palette::pembyRule));
}
