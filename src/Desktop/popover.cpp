#include "popover.h"

#include "compositor.h"

#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int margin = 12;

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
    // The popover sizes itself (fit()): a window's layout would only ever grow it, and
    // never keep it on screen.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
}

void Popover::setContent(QWidget* content)
{
    if (content_)
        content_->deleteLater();
    content_ = content;
    if (content)
        layout()->addWidget(content);
}

QRect Popover::placement(const QRect& anchor, const QSize& wanted, const QRect& screen, Qt::Edge preferred,
                         const QRect& window)
{
    const QSize size = wanted.boundedTo(screen.size());
    const bool vertical = preferred == Qt::TopEdge || preferred == Qt::BottomEdge;

    // Flip.
    const int need = (vertical ? size.height() : size.width()) + gap;
    Qt::Edge edge = preferred;
    if (room(anchor, screen, preferred) < need) {
        const Qt::Edge other = opposite(preferred);
        if (room(anchor, screen, other) >= need || room(anchor, screen, other) > room(anchor, screen, preferred))
            edge = other;
    }
    QRect r(QPoint(), size);
    switch (edge) {
    case Qt::BottomEdge: r.moveTop(anchor.bottom() + 1 + gap); break;
    case Qt::TopEdge: r.moveBottom(anchor.top() - 1 - gap); break;
    case Qt::RightEdge: r.moveLeft(anchor.right() + 1 + gap); break;
    case Qt::LeftEdge: r.moveRight(anchor.left() - 1 - gap); break;
    }

    // Shift: centred along the edge, then inside the window where it fits there.
    const QRect inside = window.intersected(screen);
    if (vertical) {
        r.moveLeft(anchor.x() + (anchor.width() - size.width()) / 2);
        if (inside.isValid() && size.width() <= inside.width())
            r.moveLeft(std::clamp(r.left(), inside.left(), inside.right() - size.width() + 1));
    } else {
        r.moveTop(anchor.y() + (anchor.height() - size.height()) / 2);
        if (inside.isValid() && size.height() <= inside.height())
            r.moveTop(std::clamp(r.top(), inside.top(), inside.bottom() - size.height() + 1));
    }

    // Clamp: wholly on screen, over the anchor when neither side had room.
    r.moveLeft(std::clamp(r.left(), screen.left(), screen.right() - size.width() + 1));
    r.moveTop(std::clamp(r.top(), screen.top(), screen.bottom() - size.height() + 1));
    return r;
}

QSize Popover::wantedSize() const
{
    QSize size = sizeHint().expandedTo(minimumSizeHint());
    if (hasHeightForWidth()) {
        const int height = heightForWidth(size.width());
        if (height > 0)
            size.setHeight(std::max(height, minimumSizeHint().height()));
    }
    return size;
}

QRect Popover::screenArea() const
{
    QScreen* screen = QGuiApplication::screenAt(anchor_.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(anchor_.center() - QPoint(2000, 2000), QSize(4000, 4000));
}

void Popover::showAt(const QRect& anchor, Qt::Edge preferred, const QRect& window)
{
    anchor_ = anchor;
    edge_ = preferred;
    window_ = window;
    placed_ = true;
    // Asked at every showing: compositors come and go.
    opaque_ = !Compositor::isActive();
    ensurePolished();
    fit();
    shape();
    show();
    raise();
    activateWindow();
}

void Popover::showAt(const QWidget* anchor, Qt::Edge preferred)
{
    if (!anchor)
        return;
    const QWidget* window = anchor->window();
    showAt(QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size()), preferred,
           QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));
}

void Popover::fit()
{
    if (!placed_ || fitting_)
        return;
    const QScopedValueRollback guard(fitting_, true);
    const QRect wanted = placement(anchor_, wantedSize(), screenArea(), edge_, window_);
    if (wanted != geometry())
        setGeometry(wanted);
}

bool Popover::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // The content asks for another size: a step added, a line shown or hidden. Its
    // layout has been settled by now.
    if (event->type() == QEvent::LayoutRequest && isVisible())
        fit();
    return handled;
}

void Popover::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    shape();
}

void Popover::shape()
{
    // Without a compositor nothing shows through the corners: the window itself takes
    // the rounded shape, as the focus panel does.
    if (!opaque_) {
        clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius, radius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void Popover::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // Masked, the edge pixels that the border's smoothing leaves half filled would
    // show black: fill all that the mask lets through.
    if (opaque_)
        p.fillRect(rect(), palette().window());
    else
        p.fillPath(path, palette().window());
    p.setPen(QPen(palette().mid().color(), 1));
    p.drawPath(path);
}

void Popover::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit closed();
}
