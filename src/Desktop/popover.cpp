#include "popover.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int margin = 12;
constexpr qreal radius = 10;

int room(const QRect& anchor, const QRect& screen, Qt::Edge edge)
{
    switch (edge) {
    case Qt::TopEdge: return anchor.top() - screen.top();
    case Qt::BottomEdge: return screen.bottom() - anchor.bottom();
    case Qt::LeftEdge: return anchor.left() - screen.left();
    case Qt::RightEdge: return screen.right() - anchor.right();
    }
    return 0;
}

Qt::Edge opposite(Qt::Edge edge)
{
    switch (edge) {
    case Qt::TopEdge: return Qt::BottomEdge;
    case Qt::BottomEdge: return Qt::TopEdge;
    case Qt::LeftEdge: return Qt::RightEdge;
    case Qt::RightEdge: return Qt::LeftEdge;
    }
    return Qt::BottomEdge;
}

} // namespace

Popover::Popover(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
}

void Popover::setContent(QWidget* content)
{
    if (content_)
        content_->deleteLater();
    content_ = content;
    if (content)
        layout()->addWidget(content);
}

QRect Popover::placement(const QRect& anchor, const QSize& size, const QRect& screen, Qt::Edge preferred)
{
    const bool vertical = preferred == Qt::TopEdge || preferred == Qt::BottomEdge;
    const int need = (vertical ? size.height() : size.width()) + gap;
    Qt::Edge edge = preferred;
    if (room(anchor, screen, preferred) < need) {
        const Qt::Edge other = opposite(preferred);
        if (room(anchor, screen, other) >= need || room(anchor, screen, other) > room(anchor, screen, preferred))
            edge = other;
    }

    QRect r(QPoint(), size);
    if (vertical) {
        r.moveLeft(anchor.x() + (anchor.width() - size.width()) / 2);
        if (edge == Qt::BottomEdge)
            r.moveTop(anchor.bottom() + 1 + gap);
        else
            r.moveBottom(anchor.top() - 1 - gap);
        r.moveLeft(std::clamp(r.left(), screen.left(), std::max(screen.left(), screen.right() - size.width() + 1)));
    } else {
        r.moveTop(anchor.y() + (anchor.height() - size.height()) / 2);
        if (edge == Qt::RightEdge)
            r.moveLeft(anchor.right() + 1 + gap);
        else
            r.moveRight(anchor.left() - 1 - gap);
        r.moveTop(std::clamp(r.top(), screen.top(), std::max(screen.top(), screen.bottom() - size.height() + 1)));
    }
    return r;
}

void Popover::showAt(const QRect& anchor, Qt::Edge preferred)
{
    adjustSize();
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(anchor.center() - QPoint(2000, 2000), QSize(4000, 4000));
    setGeometry(placement(anchor, sizeHint().expandedTo(minimumSizeHint()), area, preferred));
    show();
    raise();
    activateWindow();
}

void Popover::showAt(const QWidget* anchor, Qt::Edge preferred)
{
    if (!anchor)
        return;
    showAt(QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size()), preferred);
}

void Popover::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.fillPath(path, palette().window());
    p.setPen(QPen(palette().mid().color(), 1));
    p.drawPath(path);
}

void Popover::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit closed();
}
