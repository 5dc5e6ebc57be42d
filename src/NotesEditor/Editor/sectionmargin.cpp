#include "sectionmargin.h"

#include "notetextview.h"
#include "typography.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

SectionMargin::SectionMargin(NoteTextView* view) : QWidget(view), view_(view)
{
    setCursor(Qt::ArrowCursor);
}

void SectionMargin::drawChevron(QPainter& painter, const QRectF& rect, bool collapsed, bool rightToLeft)
{
    const QPointF m = rect.center();
    QPainterPath path;
    if (!collapsed) {
        path.moveTo(m + QPointF(-4, -2));
        path.lineTo(m + QPointF(0, 2));
        path.lineTo(m + QPointF(4, -2));
    } else {
        const qreal d = rightToLeft ? -2 : 2;
        path.moveTo(m + QPointF(-d, -4));
        path.lineTo(m + QPointF(d, 0));
        path.lineTo(m + QPointF(-d, 4));
    }
    QPen pen(Typography::tertiaryLabelColor().color(), 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void SectionMargin::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), view_->palette().base());
    painter.setRenderHint(QPainter::Antialiasing);
    const QPoint origin = geometry().topLeft();
    for (const NoteTextView::Chevron& chevron : view_->chevrons()) {
        const QRect local = chevron.rect.translated(-origin);
        if (local.intersects(event->rect()))
            drawChevron(painter, local, chevron.collapsed, chevron.rightToLeft);
    }
}

void SectionMargin::forward(QMouseEvent* event)
{
    // The nearest point of the text column, at the same height.
    QWidget* column = view_->viewport();
    const QPoint inView = event->position().toPoint() + geometry().topLeft();
    QPoint local = inView - column->geometry().topLeft();
    local.setX(std::clamp(local.x(), 0, std::max(0, column->width() - 1)));
    QMouseEvent copy(event->type(), local, column->mapToGlobal(local), event->button(), event->buttons(),
                     event->modifiers());
    view_->pressFromMargin_ = true;
    QApplication::sendEvent(column, &copy);
    view_->pressFromMargin_ = false;
}

void SectionMargin::mousePressEvent(QMouseEvent* event)
{
    forwarding_ = false;
    const QPoint inView = event->position().toPoint() + geometry().topLeft();
    // A box is hit up to 5 points beside it, which reaches into the margin.
    if (event->button() == Qt::LeftButton
        && ((!view_->isReadOnly() && view_->toggleCheckbox(inView - view_->viewport()->geometry().topLeft()))
            || view_->toggleSection(inView))) {
        event->accept();
        return;
    }
    forwarding_ = true;
    forward(event);
}

void SectionMargin::mouseMoveEvent(QMouseEvent* event)
{
    if (forwarding_)
        forward(event);
}

void SectionMargin::mouseReleaseEvent(QMouseEvent* event)
{
    if (forwarding_)
        forward(event);
    forwarding_ = false;
}

void SectionMargin::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (view_->toggleSection(event->position().toPoint() + geometry().topLeft())) {
        event->accept();
        return;
    }
    forwarding_ = true;
    forward(event);
}

void SectionMargin::wheelEvent(QWheelEvent* event)
{
    QWidget* column = view_->viewport();
    const QPointF local = event->position() + geometry().topLeft() - column->geometry().topLeft();
    QWheelEvent copy(local, column->mapToGlobal(local), event->pixelDelta(), event->angleDelta(), event->buttons(),
                     event->modifiers(), event->phase(), event->inverted(), event->source());
    QApplication::sendEvent(column, &copy);
}
