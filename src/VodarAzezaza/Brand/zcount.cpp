#include "zcount.h"

#include "palette.h"
#include "pixelview.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

ZCount::ZCount(int count, qreal unit, QWidget* parent) : QWidget(parent), count_(count), unit_(unit)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(tr("Moved %1 times").arg(count_));
}

void ZCount::setCount(int count)
{
    if (count == count_)
        return;
    const bool resized = std::clamp(count, 0, 3) != shown();
    count_ = count;
    setAccessibleName(tr("Moved %1 times").arg(count_));
    if (resized)
        updateGeometry();
    update();
}

int ZCount::shown() const { return std::clamp(count_, 0, 3); }

QSize ZCount::sizeHint() const
{
    const int n = shown();
    if (n == 0)
        return QSize(0, 0);
    const PixelGrid& z = Pixels::z();
    const qreal w = n * z.width() * unit_ + (n - 1) * unit_;
    const qreal h = z.height() * unit_ + (n - 1) * unit_;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void ZCount::paintEvent(QPaintEvent*)
{
    const int n = shown();
    if (n == 0)
        return;
    QPainter p(this);
    const PixelGrid& z = Pixels::z();
    const QSizeF glyph(z.width() * unit_, z.height() * unit_);
    const QSize all = sizeHint();
    // Bottom-aligned in the widget, the whole group centred horizontally.
    const QPointF start((width() - all.width()) / 2.0, (height() + all.height()) / 2.0 - glyph.height());
    const QColor ink = Palette::pembySnooze;
    for (int i = 0; i < n; ++i) {
        const QPointF at = start + QPointF(i * (glyph.width() + unit_), -i * unit_);
        PixelView::paint(p, QRectF(at, glyph), z, unit_, Inks::standard(), ink);
    }
}
