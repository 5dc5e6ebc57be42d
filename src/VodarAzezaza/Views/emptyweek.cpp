#include "emptyweek.h"

#include "appmodel.h"
#include "palette.h"
#include "pembyfont.h"
#include "yawnview.h"

#include <QHideEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int sidePadding = 36;
constexpr int endPadding = 22;
constexpr int spacing = 14;
constexpr int remarkSize = 20;
constexpr int hintSize = 13;
constexpr qreal corner = 16;
constexpr qreal faceUnit = 4;

} // namespace

EmptyWeek::EmptyWeek(AppModel& model, QWidget* parent) : QWidget(parent), model_(&model)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    face_ = new YawnView(faceUnit, this);
    face_->setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sizeHint());
}

QFont EmptyWeek::hintFont() const
{
    QFont f = font();
    f.setPixelSize(hintSize);
    return f;
}

QSize EmptyWeek::sizeHint() const
{
    const QFontMetrics remark(PembyFont::font(remarkSize));
    const QFontMetrics hintMetrics(hintFont());
    const QSize face = face_->sizeHint();
    const int width = std::max({face.width(), remark.horizontalAdvance(EmptyWeek::remark()),
                                hintMetrics.horizontalAdvance(EmptyWeek::hint())});
    const int height = face.height() + spacing + remark.height() + spacing + hintMetrics.height();
    return QSize(width + 2 * sidePadding, height + 2 * endPadding);
}

void EmptyWeek::resizeEvent(QResizeEvent*)
{
    const QSize face = face_->sizeHint();
    face_->setGeometry((width() - face.width()) / 2, endPadding, face.width(), face.height());
}

void EmptyWeek::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Opaque, so the empty lines beneath do not show through the words.
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), corner, corner);
    p.fillPath(card, QColor(Palette::pembyBackground));

    const QFont remarkFont = PembyFont::font(remarkSize);
    const QFontMetrics remark(remarkFont);
    int y = endPadding + face_->sizeHint().height() + spacing;
    p.setFont(remarkFont);
    p.setPen(QColor(Palette::pembyText));
    PembyFont::drawText(p, QRect(0, y, width(), remark.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                        EmptyWeek::remark());
    y += remark.height() + spacing;
    const QFont hint = hintFont();
    p.setFont(hint);
    p.setPen(QColor(Palette::pembyMuted));
    p.drawText(QRect(0, y, width(), QFontMetrics(hint).height()), Qt::AlignHCenter | Qt::AlignVCenter,
               EmptyWeek::hint());
}

void EmptyWeek::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A minimised window comes back with the card still there; anything else took it away.
    if (event->spontaneous() || !model_)
        return;
    model_->setEmptyBannerSpent(true);
}
