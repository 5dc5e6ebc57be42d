#include "glyphbutton.h"

#include "pixelview.h"

#include <QPainter>
#include <QPainterPath>

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

void GlyphButton::setLook(const PixelGrid& glyph, const PembyColor& tint, bool isOn)
{
    if (glyph == glyph_ && tint == tint_ && isOn == on_)
        return;
    glyph_ = glyph;
    tint_ = tint;
    on_ = isOn;
    update();
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
    const QRectF frame = rect();
    press_.apply(p, frame);
    if (on_) {
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath wash;
        wash.addRoundedRect(frame, 8, 8);
        p.fillPath(wash, QColor(tint_.opacity(0.12)));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    const QColor ink = tint_;
    if (cross_) {
        // A 7-pixel cross at the weight of a semibold 10-point symbol.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
        const QPointF c = frame.center();
        constexpr qreal r = 3.5;
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        return;
    }
    PixelView::paint(p, frame, glyph_, unit, Inks::standard(), ink);
}
