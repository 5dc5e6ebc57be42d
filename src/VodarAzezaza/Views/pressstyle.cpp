#include "pressstyle.h"

#include "motion.h"

#include <QAbstractButton>
#include <QPainter>

PressStyle::PressStyle(QAbstractButton* button) : QObject(button), button_(button)
{
    animation_.setEasingCurve(QEasingCurve::OutQuad);
    animation_.setDuration(durationMs);
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        scale_ = value.toReal();
        button_->update();
    });
    connect(button, &QAbstractButton::pressed, this, [this] { moveTo(pressedScale); });
    connect(button, &QAbstractButton::released, this, [this] { moveTo(1); });
}

void PressStyle::moveTo(qreal target)
{
    animation_.stop();
    if (!Motion::animates()) {
        scale_ = target;
        button_->update();
        return;
    }
    animation_.setStartValue(scale_);
    animation_.setEndValue(target);
    animation_.start();
}

void PressStyle::apply(QPainter& painter, const QRectF& rect) const
{
    if (scale_ == 1)
        return;
    const QPointF c = rect.center();
    painter.translate(c);
    painter.scale(scale_, scale_);
    painter.translate(-c);
}
