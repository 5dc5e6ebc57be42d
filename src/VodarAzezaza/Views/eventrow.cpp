#include "eventrow.h"

#include "palette.h"
#include "ruled.h"
#include "titletext.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int leading = 2;
constexpr int slot = 20;
constexpr int spacing = 6;
constexpr int textSize = 12;

QFont eventFont(const QFont& base)
{
    QFont f = base;
    f.setPixelSize(textSize);
    return f;
}

} // namespace

EventRow::EventRow(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
    setFixedHeight(Ruled::lineHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(eventFont(font()));
}

void EventRow::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

QSize EventRow::sizeHint() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text_);
    return QSize(leading + slot + spacing + textWidth, Ruled::lineHeight);
}

QSize EventRow::minimumSizeHint() const { return QSize(leading + slot, Ruled::lineHeight); }

QRectF EventRow::textRect() const
{
    const qreal x = leading + slot + spacing;
    return QRectF(x, 0, std::max<qreal>(0, width() - x), height());
}

void EventRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // The bar: 3 by 14, rounded, centred in its slot.
    const QRectF bar(leading + (slot - 3) / 2.0, (height() - 14) / 2.0, 3, 14);
    QPainterPath path;
    path.addRoundedRect(bar, 1.5, 1.5);
    p.fillPath(path, QColor(Palette::pembyFaint));

    p.setPen(QColor(Palette::pembyMuted));
    const QRectF r = textRect();
    TitleText::draw(p, r, TitleText::fit(text_, fontMetrics(), r.width()));

    Ruled::paint(p, rect(), Palette::pembyRule);
}
