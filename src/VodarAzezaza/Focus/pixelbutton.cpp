#include "pixelbutton.h"

#include "pixelview.h"

#include <QPainter>
#include <QPainterPath>

PixelButton::PixelButton(PixelGrid glyph, PembyColor tint, bool isOn, QWidget* parent)
    : QAbstractButton(parent), glyph_(std::move(glyph)), tint_(tint), on_(isOn)
{
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
}

void PixelButton::setLook(const PixelGrid& glyph, const PembyColor& tint, bool isOn)
{
    if (glyph == glyph_ && tint == tint_ && isOn == on_)
        return;
    glyph_ = glyph;
    tint_ = tint;
    on_ = isOn;
    update();
}

void PixelButton::setDimming(qreal opacity)
{
    if (qFuzzyCompare(opacity, opacity_))
        return;
    opacity_ = opacity;
    update();
}

void PixelButton::paintEvent(QPaintEvent*)
{
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
    PixelView::paint(p, frame, glyph_, 2, Inks::standard(), tint_);
}
