#include "monthview.h"

#include "appmodel.h"
#include "monthgrid.h"
#include "palette.h"
#include "pembyfont.h"
#include "ruled.h"
#include "thingcolumn.h"

#include <QEvent>
#include <QPainter>
#include <QScrollArea>

namespace {

constexpr int sidePadding = 24;
constexpr int topPadding = 8;
constexpr int bottomPadding = 12;
constexpr int headerPadding = 4;
constexpr int titleSize = 20;
constexpr int countSize = 12;

Place monthOf(const AppModel& model) { return Place::inMonth(model.anchor().monthKey()); }

QFont countFont(QFont base)
{
    base.setPixelSize(countSize);
    return base;
}

} // namespace

MonthView::MonthView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    grid_ = new MonthGrid(model_, this);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    // The keys stay with the board area's key map after a click into the column.
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidgetResizable(false);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->viewport()->installEventFilter(this);
    column_ = new ThingColumn(model_, monthOf(model_));
    column_->setMinRows(monthRows);
    column_->setCap(std::nullopt);
    scroll_->setWidget(column_);
    connect(column_, &ThingColumn::lineCountChanged, this, &MonthView::placeColumn);

    // Once per operation, whether it paged the month, changed its things or both.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        if (changes.containsAny({&AppModel::anchorChanged, &AppModel::plannerChanged}))
            syncMonth();
    });
    syncMonth();
}

QString MonthView::countText() const { return count_; }

void MonthView::syncMonth()
{
    const Place month = monthOf(model_);
    if (column_->place() != month)
        column_->setPlace(month);
    qsizetype open = 0;
    for (const Thing& thing : model_.planner().things(month))
        open += !thing.done;
    const QString count = QStringLiteral("this month · ") + QString::number(open);
    if (count == count_)
        return;
    count_ = count;
    update(sideRect());
}

QRect MonthView::sideRect() const
{
    return QRect(width() - sidePadding - sideWidth, topPadding, sideWidth, std::max(0, height() - topPadding - bottomPadding));
}

void MonthView::resizeEvent(QResizeEvent*) { place(); }

void MonthView::place()
{
    const QRect side = sideRect();
    // The grid's band reaches past its cells; the grid widget makes room for it.
    const int gridLeft = sidePadding - MonthGrid::bandOverhang;
    const int gridRight = side.left() - sideSpacing + MonthGrid::bandOverhang;
    grid_->setGeometry(gridLeft, topPadding, std::max(0, gridRight - gridLeft), side.height());
    scroll_->setGeometry(side.left(), side.top() + headerHeight, side.width(), std::max(0, side.height() - headerHeight));
    placeColumn();
}

void MonthView::placeColumn()
{
    column_->resize(scroll_->viewport()->width(), column_->lineCount() * Ruled::lineHeight);
}

bool MonthView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize)
        placeColumn();
    return QWidget::eventFilter(watched, event);
}

void MonthView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect side = sideRect();
    const QRect header(side.left(), side.top(), side.width(), headerHeight);
    const QRect inner = header.adjusted(headerPadding, 0, -headerPadding, 0);
    const QFont title = PembyFont::font(titleSize);
    p.setFont(title);
    p.setPen(QColor(Palette::pembyText));
    PembyFont::drawText(p, inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QStringLiteral("roughly"));
    p.setFont(countFont(font()));
    p.setPen(QColor(Palette::pembyMuted));
    p.drawText(inner, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, count_);
    Ruled::paint(p, header, Palette::pembyText, 2);
}
