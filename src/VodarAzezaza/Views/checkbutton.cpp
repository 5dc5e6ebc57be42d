#include "checkbutton.h"

#include "motion.h"
#include "palette.h"
#include "pixelview.h"

#include <QPainter>
#include <QTimer>

CheckButton::CheckButton(bool done, QWidget* parent) : QAbstractButton(parent), done_(done)
{
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(done_ ? tr("Done") : tr("Not done"));
    connect(&popBack_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        pop_ = v.toReal();
        update();
    });
    // Connected first, so the pop starts from the state before the caller's toggle.
    connect(this, &QAbstractButton::clicked, this, &CheckButton::pressedByUser);
}

void CheckButton::setDone(bool done)
{
    if (done == done_)
        return;
    done_ = done;
    setAccessibleName(done_ ? tr("Done") : tr("Not done"));
    update();
}

void CheckButton::pressedByUser()
{
    if (done_ || !Motion::animates())
        return;
    popBack_.stop();
    pop_ = popScaleMax;
    update();
    QTimer::singleShot(0, this, [this] {
        Motion::configure(popBack_, popMs);
        popBack_.setStartValue(popScaleMax);
        popBack_.setEndValue(1.0);
        popBack_.start();
    });
}

void CheckButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRectF frame = rect();
    press_.apply(p, frame);
    if (pop_ != 1) {
        const QPointF c = frame.center();
        p.translate(c);
        p.scale(pop_, pop_);
        p.translate(-c);
    }
    if (done_)
        PixelView::paint(p, frame, Pixels::boxDone(), 2, Inks::brandFace(), QColor());
    else
        PixelView::paint(p, frame, Pixels::box(), 2, Inks::standard(), Palette::pembyFaint);
}
