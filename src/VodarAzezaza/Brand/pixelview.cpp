#include "pixelview.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace Inks {

PixelInks standard() { return {{QLatin1Char('#'), PixelInk::foreground()}}; }

PixelInks brandFace()
{
    return {{QLatin1Char('Y'), PixelInk::color(Palette::yawn)}, {QLatin1Char('K'), PixelInk::color(Palette::ink)}};
}

} // namespace Inks

PixelView::PixelView(PixelGrid grid, qreal unit, PixelInks inks, QWidget* parent)
    : QWidget(parent), grid_(std::move(grid)), unit_(unit), inks_(std::move(inks))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

PixelView* PixelView::mark(const PixelGrid& grid, qreal unit, QWidget* parent)
{
    return new PixelView(grid, unit, Inks::brandFace(), parent);
}

void PixelView::setGrid(const PixelGrid& grid)
{
    if (grid == grid_)
        return;
    const bool resized = grid.width() != grid_.width() || grid.height() != grid_.height();
    grid_ = grid;
    if (resized)
        updateGeometry();
    update();
}

void PixelView::setUnit(qreal unit)
{
    if (unit == unit_)
        return;
    unit_ = unit;
    updateGeometry();
    update();
}

void PixelView::setInks(const PixelInks& inks)
{
    if (inks == inks_)
        return;
    inks_ = inks;
    update();
}

void PixelView::setForeground(std::optional<PembyColor> color)
{
    if (color == foreground_)
        return;
    foreground_ = color;
    update();
}

QSize PixelView::sizeHint() const
{
    return QSize(int(std::ceil(unit_ * grid_.width())), int(std::ceil(unit_ * grid_.height())));
}

void PixelView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor fg = foreground_ ? foreground_->resolved() : palette().color(QPalette::WindowText);
    paint(p, rect(), grid_, unit_, inks_, fg);
}

void PixelView::paint(QPainter& painter, const QRectF& frame, const PixelGrid& grid, qreal unit,
                      const PixelInks& inks, const QColor& foreground)
{
    const QPointF origin = frame.center() - QPointF(grid.width() * unit, grid.height() * unit) / 2;
    // Edges go to whole device pixels, so a unit that is no whole number of device
    // pixels still gives solid squares with no seams, only a pixel wider here and there.
    const QTransform toDevice = painter.deviceTransform();
    const bool snaps = toDevice.type() <= QTransform::TxScale && toDevice.isInvertible();
    const QTransform back = toDevice.inverted();
    auto corner = [&](qreal gx, qreal gy) {
        const QPointF logical = origin + QPointF(gx * unit, gy * unit);
        if (!snaps)
            return logical;
        const QPointF d = toDevice.map(logical);
        return back.map(QPointF(std::round(d.x()), std::round(d.y())));
    };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    for (auto it = inks.constBegin(); it != inks.constEnd(); ++it) {
        if (it.key() == QLatin1Char('.'))
            continue;
        const QList<QRect> runs = grid.runs(it.key());
        if (runs.isEmpty())
            continue;
        const QColor ink = it.value().resolve(foreground);
        // Snapped to whole device pixels, the runs of one ink never overlap: each is
        // filled as the rectangle it is, which fills the very pixels a path of them
        // would, without the path's rasterizing.
        if (snaps) {
            for (const QRect& run : runs)
                painter.fillRect(QRectF(corner(run.x(), run.y()), corner(run.x() + run.width(), run.y() + 1)), ink);
            continue;
        }
        // One path per ink, one rectangle per run.
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        for (const QRect& run : runs)
            path.addRect(QRectF(corner(run.x(), run.y()), corner(run.x() + run.width(), run.y() + 1)));
        painter.fillPath(path, ink);
    }
    painter.restore();
}
