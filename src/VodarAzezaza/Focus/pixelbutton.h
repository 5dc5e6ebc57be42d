#pragma once
// A glyph button of the focus panel's header: the glyph at 2 px per pixel in its tint,
// on a faint wash of the tint while it is on.
//
// API
//   auto* pin = new PixelButton(Pixels::pin(), Palette::pembySnooze, true, header);
//   connect(pin, &QAbstractButton::clicked, ...);
//   pin->setLook(Pixels::pinOff(), Palette::pembyMuted, false);
//   pin->setDimming(0.6);                 the whole button's opacity
//
// 28 by 28, all of it clickable, and it never takes the keys.

#include "palette.h"
#include "pixelgrid.h"
#include "pressstyle.h"

#include <QAbstractButton>

class PixelButton : public QAbstractButton {
    Q_OBJECT
public:
    PixelButton(PixelGrid glyph, PembyColor tint, bool isOn, QWidget* parent = nullptr);

    void setLook(const PixelGrid& glyph, const PembyColor& tint, bool isOn);
    const PixelGrid& glyph() const { return glyph_; }
    const PembyColor& tint() const { return tint_; }
    bool isOn() const { return on_; }
    void setDimming(qreal opacity);
    qreal dimming() const { return opacity_; }

    QSize sizeHint() const override { return QSize(side, side); }
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int side = 28;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PixelGrid glyph_;
    PembyColor tint_;
    bool on_;
    qreal opacity_ = 1;
    PressStyle press_{this};
};
