#include "emptyline.h"

#include "hoverfollow.h"
#include "motion.h"
#include "palette.h"
#include "pixelview.h"
#include "ruled.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int leading = 2;
} // namespace

EmptyLine::EmptyLine(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(Ruled::lineHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    HoverFollow::track(this, [this](bool over) { setHovering(over); });
    fade_.setEasingCurve(QEasingCurve::OutQuad);
    fade_.setDuration(fadeMs);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        opacity_ = v.toReal();
        update();
    });
}

QSize EmptyLine::sizeHint() const { return QSize(leading + 20, Ruled::lineHeight); }

void EmptyLine::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    const qreal target = hovering_ ? hoverOpacity : 0;
    fade_.stop();
    if (!Motion::animates()) {
        opacity_ = target;
        update();
        return;
    }
    fade_.setStartValue(opacity_);
    fade_.setEndValue(target);
    fade_.start();
}

void EmptyLine::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void EmptyLine::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void EmptyLine::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = true;
    event->accept();
}

void EmptyLine::mouseReleaseEvent(QMouseEvent* event)
{
    const bool tap = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (!tap) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    emit tapped();
}

void EmptyLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (opacity_ > 0) {
        p.setOpacity(opacity_);
        PixelView::paint(p, QRectF(leading, (height() - 22) / 2.0, 20, 22), Pixels::box(), 2, Inks::standard(),
                         Palette::pembyFaint);
        p.setOpacity(1);
    }
    Ruled::paint(p, rect(), Palette::pembyRule);
}
