#pragma once
// A small button that is nothing but a pixel glyph: the lists header's "+" and "…", a
// list's delete cross, the focus panel's pin and expand. It presses like every pixel
// button and never takes the keys from the board or an open field.
//
// API
//   auto* plus = new GlyphButton(Pixels::plus(), Palette::pembyFaint, QSize(22, 22), parent);
//   connect(plus, &GlyphButton::clicked, ...);
//   plus->setToolTip(...); plus->setAccessibleName(...);
//   GlyphButton::cross(Palette::pembyMuted, QSize(22, 22), parent)   a drawn x, no grid
//   pin->setLook(Pixels::pinOff(), Palette::pembyMuted, false)       glyph, tint, and
//                                                                    whether it is on
//   button->setInkOpacity(0)                                         still clickable
//
// The whole frame is the hit area; the glyph sits in its centre at 2 logical pixels a
// pixel. While it is on, a faint wash of its tint fills the frame.

#include "palette.h"
#include "pixelgrid.h"
#include "pressstyle.h"

#include <QAbstractButton>

class GlyphButton : public QAbstractButton {
    Q_OBJECT
public:
    GlyphButton(const PixelGrid& glyph, PembyColor tint, QSize frame, QWidget* parent = nullptr);
    // A thin semibold cross, where the desktop's symbol font would give one.
    static GlyphButton* cross(PembyColor tint, QSize frame, QWidget* parent = nullptr);

    void setLook(const PixelGrid& glyph, const PembyColor& tint, bool isOn);
    const PixelGrid& glyph() const { return glyph_; }
    const PembyColor& tint() const { return tint_; }
    bool isOn() const { return on_; }

    // How much of the button shows; it stays where it is and takes clicks at 0.
    qreal inkOpacity() const { return opacity_; }
    void setInkOpacity(qreal opacity);

    QSize sizeHint() const override { return frame_; }
    QSize minimumSizeHint() const override { return frame_; }

    static constexpr qreal unit = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PixelGrid glyph_;
    PembyColor tint_;
    QSize frame_;
    bool cross_ = false;
    bool on_ = false;
    qreal opacity_ = 1;
    PressStyle press_{this};
};
