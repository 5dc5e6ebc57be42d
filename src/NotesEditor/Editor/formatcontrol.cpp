#include "formatcontrol.h"

#include "formaticons.h"
#include "motion.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int controlHeight = 32;
constexpr int inset = 10;
constexpr qreal radius = 8;
constexpr int fillMs = 120;
constexpr int pressMs = 100;
constexpr int releaseMs = 160;
constexpr qreal pressedScale = 0.97;

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(alpha);
    return c;
}

QColor towardBlack(const QColor& c, qreal amount)
{
    return QColor::fromRgbF(c.redF() * (1 - amount), c.greenF() * (1 - amount), c.blueF() * (1 - amount), c.alphaF());
}

QFont titleFont()
{
    QFont f;
    f.setPixelSize(13);
    f.setWeight(QFont::Medium);
    return f;
}

} // namespace

FormatControl::Content FormatControl::Content::title(const QString& text, const QFont& font, qreal kern)
{
    Content c;
    c.kind = Kind::title;
    c.text = text;
    c.font = font;
    c.kern = kern;
    return c;
}

FormatControl::Content FormatControl::Content::glyph(const QString& text, const QFont& font, bool underline)
{
    Content c;
    c.kind = Kind::glyph;
    c.text = text;
    c.font = font;
    c.underline = underline;
    return c;
}

FormatControl::Content FormatControl::Content::symbolOnly(const QString& symbol)
{
    Content c;
    c.kind = Kind::symbol;
    c.symbol = symbol;
    return c;
}

FormatControl::Content FormatControl::Content::symbolAndTitle(const QString& symbol, const QString& title)
{
    Content c;
    c.kind = Kind::symbolAndTitle;
    c.symbol = symbol;
    c.text = title;
    c.font = titleFont();
    return c;
}

FormatControl::FormatControl(const Content& content, const QString& accessibilityLabel, QWidget* parent)
    : QAbstractButton(parent), content_(content)
{
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(accessibilityLabel);
    setToolTip(accessibilityLabel.toHtmlEscaped());
    if (content.kind == Content::Kind::title || content.kind == Content::Kind::glyph)
        setText(content.text);

    fillAnimation_.setEasingCurve(Motion::curve());
    connect(&fillAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        shownFill_ = v.value<QColor>();
        update();
    });
    pressAnimation_.setEasingCurve(Motion::curve());
    connect(&pressAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        shownScale_ = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::pressed, this, [this] { setPressed(true); });
    connect(this, &QAbstractButton::released, this, [this] { setPressed(false); });
    applyColours(false);
}

QSize FormatControl::sizeHint() const
{
    int width = 2 * inset;
    switch (content_.kind) {
    case Content::Kind::title:
    case Content::Kind::glyph: width += QFontMetrics(content_.font).horizontalAdvance(content_.text); break;
    case Content::Kind::symbol: width += 14; break;
    case Content::Kind::symbolAndTitle: width += 14 + 8 + QFontMetrics(content_.font).horizontalAdvance(content_.text); break;
    }
    return {width, controlHeight};
}

QSize FormatControl::minimumSizeHint() const
{
    return {controlHeight, controlHeight};
}

void FormatControl::nextCheckState()
{
    // A press sends the command; whether it is on afterwards is the text's to say.
}

void FormatControl::setOn(bool on, bool animated)
{
    if (on == isChecked())
        return;
    setChecked(on);
    applyColours(animated);
}

QColor FormatControl::fill() const
{
    const QColor accent = palette().color(QPalette::Highlight);
    const QColor label = palette().color(QPalette::WindowText);
    if (isOn())
        return pressed_ ? towardBlack(accent, 0.16) : accent;
    if (pressed_)
        return withAlpha(label, 0.12);
    if (hovered_)
        return withAlpha(label, 0.06);
    return withAlpha(label, 0);
}

QColor FormatControl::labelColour() const
{
    return palette().color(isOn() ? QPalette::HighlightedText : QPalette::WindowText);
}

void FormatControl::applyColours(bool animated)
{
    const QColor target = fill();
    fillAnimation_.stop();
    if (animated && Motion::animates() && shownFill_.isValid()) {
        fillAnimation_.setStartValue(shownFill_);
        fillAnimation_.setEndValue(target);
        fillAnimation_.setDuration(fillMs);
        fillAnimation_.start();
    } else {
        shownFill_ = target;
    }
    update();
}

void FormatControl::setPressed(bool pressed)
{
    if (pressed == pressed_)
        return;
    pressed_ = pressed;
    applyColours(true);
    const qreal target = pressed ? pressedScale : 1.0;
    pressAnimation_.stop();
    if (Motion::animates()) {
        pressAnimation_.setStartValue(shownScale_);
        pressAnimation_.setEndValue(target);
        pressAnimation_.setDuration(pressed ? pressMs : releaseMs);
        pressAnimation_.start();
    } else {
        shownScale_ = target;
    }
    update();
}

void FormatControl::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    hovered_ = true;
    applyColours(true);
}

void FormatControl::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    hovered_ = false;
    applyColours(true);
}

void FormatControl::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours(false);
}

void FormatControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    p.translate(bounds.center());
    p.scale(shownScale_, shownScale_);
    p.translate(-bounds.center());

    QPainterPath surface;
    surface.addRoundedRect(bounds, radius, radius);
    p.fillPath(surface, shownFill_);

    const QColor colour = labelColour();
    const QRectF inner = bounds.adjusted(inset, 0, -inset, 0);
    QFont font = content_.font;
    switch (content_.kind) {
    case Content::Kind::title:
        font.setLetterSpacing(QFont::AbsoluteSpacing, content_.kern);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, content_.text);
        break;
    case Content::Kind::glyph:
        font.setUnderline(content_.underline);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, content_.text);
        break;
    case Content::Kind::symbol:
        FormatIcons::paint(p, content_.symbol, bounds, colour);
        break;
    case Content::Kind::symbolAndTitle: {
        const QRectF icon(inner.left(), bounds.center().y() - 7, 14, 14);
        FormatIcons::paint(p, content_.symbol, icon, colour);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(inner.adjusted(14 + 8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, content_.text);
        break;
    }
    }
}
