#pragma once
// Paints a PixelGrid (pixelgrid.h): each pixel a square of `unit` logical pixels, each
// character in its own ink, edges on whole device pixels at any device pixel ratio and
// never antialiased, so glyphs stay sharp.
//
// API
//   new PixelView(Pixels::plus(), 2, parent)        "#" in the view's foreground
//   view->setForeground(Palette::pembyFaint)        what "foreground" inks paint with
//                                                   (else the palette's WindowText)
//   PixelView::mark(Pixels::markSmall(), 4, parent) a brand face: "Y" yawn, "K" ink
//   PixelView::paint(painter, rect, grid, unit, inks, colour)
//                                                   the same painting inside a row's own
//                                                   paintEvent, centred in `rect`
//
// A character with no ink is not painted; "." never is. The widget's size hint is the
// grid's size; it paints the grid centred in whatever it is given.

#include "palette.h"
#include "pixelgrid.h"

#include <QHash>
#include <QWidget>

#include <optional>

class QPainter;

class PixelInk {
public:
    PixelInk() = default;  // the foreground
    static PixelInk color(const PembyColor& color) { return PixelInk(color); }
    // The painting view's foreground colour, so its parent can tint the glyph.
    static PixelInk foreground() { return PixelInk(std::nullopt); }

    bool isForeground() const { return !color_; }
    // The ink's colour; `fallback` for a foreground ink.
    QColor resolve(const QColor& fallback) const { return color_ ? color_->resolved() : fallback; }

    bool operator==(const PixelInk&) const = default;

private:
    explicit PixelInk(std::optional<PembyColor> color) : color_(color) {}
    std::optional<PembyColor> color_;
};

using PixelInks = QHash<QChar, PixelInk>;

namespace Inks {
// "#" in the foreground.
PixelInks standard();
// The brand faces: "Y" yawn yellow, "K" ink, whatever the appearance.
PixelInks brandFace();
} // namespace Inks

class PixelView : public QWidget {
    Q_OBJECT
public:
    explicit PixelView(PixelGrid grid, qreal unit, PixelInks inks = Inks::standard(), QWidget* parent = nullptr);
    PixelView(PixelGrid grid, qreal unit, QWidget* parent) : PixelView(std::move(grid), unit, Inks::standard(), parent) {}
    static PixelView* mark(const PixelGrid& grid, qreal unit, QWidget* parent = nullptr);

    const PixelGrid& grid() const { return grid_; }
    void setGrid(const PixelGrid& grid);
    qreal unit() const { return unit_; }
    void setUnit(qreal unit);
    void setInks(const PixelInks& inks);
    void setForeground(std::optional<PembyColor> color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static void paint(QPainter& painter, const QRectF& frame, const PixelGrid& grid, qreal unit,
                      const PixelInks& inks, const QColor& foreground);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PixelGrid grid_;
    qreal unit_;
    PixelInks inks_;
    std::optional<PembyColor> foreground_;
};
