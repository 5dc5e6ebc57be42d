#include "rowtext.h"

#include "titletext.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal washRadius = 5;
} // namespace

QFont sizedFont(QFont base, int pixelSize, QFont::Weight weight)
{
    base.setPixelSize(pixelSize);
    base.setWeight(weight);
    return base;
}

QString markName(Mark mark)
{
    const QString raw = markRawValue(mark);
    return raw.left(1).toUpper() + raw.mid(1);
}

RowText::RowText(int pixelSize, QWidget* parent) : QWidget(parent)
{
    setFont(sizedFont(font(), pixelSize));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void RowText::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    shown_ = TitleText::shown(text);
    advance_.reset();
    fitted_.reset();
    setAccessibleName(text);
    changed();
}

void RowText::setColor(const PembyColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

void RowText::setStruck(bool struck)
{
    if (struck == struck_)
        return;
    struck_ = struck;
    update();
}

void RowText::setWash(std::optional<PembyColor> wash, int dx, int dy)
{
    if (wash == wash_ && dx == dx_ && dy == dy_)
        return;
    wash_ = wash;
    dx_ = dx;
    dy_ = dy;
    changed();
}

void RowText::setMinimumTextWidth(int width)
{
    minimumText_ = width;
    changed();
}

void RowText::changed()
{
    updateGeometry();
    update();
}

qreal RowText::advance() const
{
    if (!advance_)
        advance_ = QFontMetricsF(font()).horizontalAdvance(shown_);
    return *advance_;
}

void RowText::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        advance_.reset();
        fitted_.reset();
    }
    QWidget::changeEvent(event);
}

QSize RowText::sizeHint() const
{
    const QFontMetrics m = fontMetrics();
    // As QFontMetrics::horizontalAdvance rounds the same measure.
    return QSize(std::max(minimumText_, qRound(advance())) + 2 * dx_ + 1, m.height() + 2 * dy_);
}

QSize RowText::minimumSizeHint() const
{
    const QFontMetrics m = fontMetrics();
    return QSize(std::min(sizeHint().width(), minimumText_ + 2 * dx_), m.height() + 2 * dy_);
}

void RowText::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics m = fontMetrics();
    const QRectF box(0, (height() - m.height() - 2 * dy_) / 2.0, width(), m.height() + 2 * dy_);
    const QRectF textBox = box.adjusted(dx_, dy_, -dx_, -dy_);
    if (!fitted_ || fitted_->width != textBox.width())
        fitted_ = Fitted{textBox.width(), TitleText::fit(text_, m, textBox.width(), advance())};
    const TitleText::Line& line = fitted_->line;
    if (wash_) {
        // The wash hugs the text, on the side the text starts from.
        const qreal w = std::min<qreal>(width(), line.width + 2 * dx_ + 1);
        QPainterPath path;
        path.addRoundedRect(QRectF(TitleText::start(box, w, line.direction), box.top(), w, box.height()), washRadius,
                            washRadius);
        p.fillPath(path, QColor(*wash_));
    }
    const QColor ink = color_;
    p.setPen(ink);
    const QRectF drawn = TitleText::draw(p, textBox, line);
    if (struck_ && !line.text.isEmpty()) {
        const qreal y = textBox.center().y() + 0.5;
        p.fillRect(QRectF(drawn.left(), y - 0.5, drawn.width(), 1), ink);
    }
}
