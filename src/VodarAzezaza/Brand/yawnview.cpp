#include "yawnview.h"

#include "pixelgrid.h"
#include "pixelview.h"
#include "reducemotion.h"

#include <QPainter>

#include <array>
#include <cmath>

namespace {

// Each step: how long the face waits before it, and the frame it then shows.
struct YawnStep {
    int waitMs;
    int frame;
};
constexpr std::array<YawnStep, 4> yawn{{{400, 1}, {150, 2}, {150, 3}, {150 + 1800, 0}}};

} // namespace

YawnView::YawnView(qreal unit, QWidget* parent) : QWidget(parent), unit_(unit)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &YawnView::step);
}

int YawnView::frame() const { return ReduceMotion::isOn() ? 3 : frame_; }

QSize YawnView::sizeHint() const
{
    const PixelGrid& face = Pixels::yawnFrames().constFirst();
    return QSize(int(std::ceil(face.width() * unit_)), int(std::ceil(face.height() * unit_)));
}

void YawnView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PixelView::paint(p, rect(), Pixels::yawnFrames().at(frame()), unit_, Inks::brandFace(), QColor());
}

void YawnView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    timer_.stop();
    setFrame(0);
    if (ReduceMotion::isOn())
        return;
    next_ = 0;
    timer_.start(int(yawn[0].waitMs / pace_));
}

void YawnView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    timer_.stop();
    setFrame(0);
}

void YawnView::step()
{
    const int frame = yawn[next_].frame;
    // The next step is armed first, so whoever hears this frame may still stop it.
    if (++next_ < int(yawn.size()))
        timer_.start(int(yawn[next_].waitMs / pace_));
    setFrame(frame);
}

void YawnView::setFrame(int frame)
{
    if (frame == frame_)
        return;
    frame_ = frame;
    update();
    emit frameChanged(frame_);
}
