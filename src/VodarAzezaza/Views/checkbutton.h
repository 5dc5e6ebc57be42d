#pragma once
// The pixel check box of a thing row: an empty box in pembyFaint, or the yellow ticked
// box. Ticking pops it to 120 %, easing back over 0.24 s; unticking never pops, and
// nothing moves under Reduce Motion.
//
// API
//   auto* check = new CheckButton(thing.done, row);
//   connect(check, &CheckButton::clicked, row, [=] { Motion::pointer([=] { model->toggle(id); }); });
//   check->setDone(thing.done);     when the model changes; fires nothing
//
// 20 by 22, all of it clickable; it never takes the keys from the board or an open
// field. Accessible name "Done" or "Not done".

#include "pressstyle.h"

#include <QAbstractButton>
#include <QVariantAnimation>

class CheckButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CheckButton(bool done, QWidget* parent = nullptr);

    bool isDone() const { return done_; }
    void setDone(bool done);

    // 1.2 right after a tick, back to 1 as the pop settles.
    qreal popScale() const { return pop_; }

    QSize sizeHint() const override { return QSize(20, 22); }
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr qreal popScaleMax = 1.2;
    static constexpr int popMs = 240;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void pressedByUser();

    bool done_;
    qreal pop_ = 1;
    QVariantAnimation popBack_;
    PressStyle press_{this};
};
