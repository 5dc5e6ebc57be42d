#include "glyphbutton.h"

#include "pixelview.h"

#include <QPainter>

GlyphButton::GlyphButton(const PixelGrid& glyph, PembyColor tint, QSize frame, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph), tint_(tint), frame_(frame)
{
    setFixedSize(frame_);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

GlyphButton* GlyphButton::cross(PembyColor tint, QSize frame, QWidget* parent)
{
    auto* button = new GlyphButton(PixelGrid(), tint, frame, parent);
    button->cross_ = true;
    return button;
}

void GlyphButton::setInkOpacity(qreal opacity)
{
    if (opacity == opacity_)
        return;
    opacity_ = opacity;
    update();
}

void GlyphButton::paintEvent(QPaintEvent*)
{
    if (opacity_ <= 0)
        return;
    QPainter p(this);
    p.setOpacity(opacity_);
    press_.apply(p, rect());
    const QColor ink = tint_;
    if (cross_) {
        // A 7-pixel cross at the weight of a semibold 10-point symbol.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
        const QPointF c = QRectF(rect()).center();
        constexpr qreal r = 3.5;
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        return;
    }
    PixelView::paint(p, rect(), glyph_, unit, Inks::standard(), ink);
}
