#include "dayheader.h"

#include "appmodel.h"
#include "palette.h"
#include "pembyfont.h"
#include "ruled.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int nameSize = 20;
constexpr int numberSize = 12;
constexpr int gap = 4;
constexpr int todayPadding = 10;
constexpr int padding = 4;
constexpr qreal ruleWeight = 2;
constexpr qreal corner = 8;

} // namespace

DayHeader::DayHeader(AppModel& model, Day day, QWidget* parent) : QWidget(parent), model_(model), day_(day)
{
    setFixedHeight(Ruled::headerHeight);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    connect(&model_, &AppModel::todayChanged, this, &DayHeader::refresh);
    refresh();
}

void DayHeader::setDay(Day day)
{
    if (day == day_)
        return;
    day_ = day;
    refresh();
}

bool DayHeader::isToday() const { return day_ == model_.today(); }

bool DayHeader::isPast() const { return day_ < model_.today(); }

QString DayHeader::nameText() const { return AppModel::dayNames()[day_.weekday() - 1]; }

QString DayHeader::numberText() const
{
    const QString number = QString::number(day_.day);
    return isToday() ? number + QStringLiteral(" · today") : number;
}

QFont DayHeader::numberFont() const
{
    QFont f = font();
    f.setPixelSize(numberSize);
    f.setWeight(isToday() ? QFont::DemiBold : QFont::Normal);
    return f;
}

QSize DayHeader::sizeHint() const
{
    const int side = isToday() ? todayPadding : padding;
    const int width = QFontMetrics(PembyFont::font(nameSize)).horizontalAdvance(nameText()) + gap
        + QFontMetrics(numberFont()).horizontalAdvance(numberText()) + 2 * side;
    return QSize(width, Ruled::headerHeight);
}

QSize DayHeader::minimumSizeHint() const { return QSize(0, Ruled::headerHeight); }

void DayHeader::refresh()
{
    setAccessibleName(nameText() + u' ' + numberText());
    updateGeometry();
    update();
}

void DayHeader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool today = isToday();
    const bool past = isPast();
    if (today) {
        QPainterPath patch;
        patch.addRoundedRect(QRectF(rect()), corner, corner);
        p.fillPath(patch, QColor(Palette::yawn));
    }

    const int side = today ? todayPadding : padding;
    const QRect inner = rect().adjusted(side, 0, -side, 0);
    const QFont nameFont = PembyFont::font(nameSize);
    const QFont number = numberFont();
    // Whole pixels that hold the text: a rounded-down width would cut it off.
    const int numberWidth = int(std::ceil(QFontMetricsF(number).horizontalAdvance(numberText()))) + 1;
    const int nameWidth = std::max(0, inner.width() - gap - numberWidth);

    // The name gives way to the number, which says more about the day.
    p.setFont(nameFont);
    p.setPen(QColor(today ? Palette::ink : past ? Palette::pembyFaint : Palette::pembyText));
    const QRect nameRect(inner.left(), inner.top(), nameWidth, inner.height());
    PembyFont::drawText(p, nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        QFontMetrics(nameFont).elidedText(nameText(), Qt::ElideRight, nameWidth));

    p.setFont(number);
    p.setPen(QColor(today ? Palette::ink : past ? Palette::pembyFaint : Palette::pembyMuted));
    const QRect numberRect(inner.right() - std::min(numberWidth, inner.width()) + 1, inner.top(),
                           std::min(numberWidth, inner.width()), inner.height());
    p.drawText(numberRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetrics(number).elidedText(numberText(), Qt::ElideRight, numberRect.width()));

    if (!today)
        Ruled::paint(p, rect(), past ? Palette::pembyFaint : Palette::pembyText, ruleWeight);
}

void DayHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    model_.showDay(day_, model_.mode() == Mode::Week ? Mode::Month : Mode::Week);
}
