#include "weekview.h"

#include "appmodel.h"
#include "daycolumn.h"
#include "emptyweek.h"
#include "fade.h"
#include "listcolumn.h"
#include "listsheader.h"
#include "plannersettings.h"
#include "ruled.h"

#include <QScrollBar>

#include <cmath>
#include <utility>

namespace {

// The left and right edge of share `i` of `n` equal shares of `width` from `left`,
// `spacing` apart: the shares differ by a pixel at most.
std::pair<int, int> share(int left, int width, int n, int spacing, int i)
{
    const double each = std::max(0.0, double(width - spacing * (n - 1)) / n);
    const int x0 = left + int(std::lround(i * (each + spacing)));
    const int x1 = left + int(std::lround(i * (each + spacing) + each));
    return {x0, std::max(x0, x1)};
}

bool weekIsEmpty(const AppModel& model)
{
    for (const Day day : model.weekDays()) {
        if (!model.planner().things(Place::onDay(day)).isEmpty() || !model.events().value(day).isEmpty())
            return false;
    }
    return true;
}

} // namespace

WeekView::WeekView(AppModel& model, QWidget* parent) : QScrollArea(parent), model_(model)
{
    setFrameShape(QFrame::NoFrame);
    // A click on the board must leave the keys with the board area's key map: a scroll
    // area with the focus would take every arrow key to scroll.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    viewport()->setAutoFillBackground(false);
    content_ = new QWidget;
    content_->setAutoFillBackground(false);
    setWidget(content_);

    listsHeader_ = new ListsHeader(model_, content_);
    banner_ = new EmptyWeek(model_, content_);
    banner_->hide();
    listsShown_ = model_.settings().showLists();

    // Once per operation: the days, the lists and the banner each at most once, whatever
    // of what they rest on changed, and the banner last, over the days it is for.
    connect(&model_.transitions(), &ModelTransitions::ended, this, [this](const ModelChanges& changes) {
        const bool days = changes.containsAny({&AppModel::anchorChanged, &PlannerSettings::firstWeekdaySettingChanged,
                                               &PlannerSettings::splitWeekendChanged});
        if (changes.contains(&AppModel::plannerChanged))
            syncLists();
        if (days)
            syncDays();
        if (changes.contains(&PlannerSettings::showListsChanged))
            showListsChanged();
        if (days || changes.containsAny({&AppModel::plannerChanged, &AppModel::eventsChanged, &AppModel::editingChanged,
                                         &AppModel::emptyBannerSpentChanged}))
            syncBanner();
    });

    syncDays();
    syncLists();
    syncBanner();
}

WeekView::~WeekView()
{
    // What its rows' popovers save as they go changes the model; this view is no longer
    // there to hear it.
    disconnect(&model_.transitions(), nullptr, this, nullptr);
}

QList<DayColumn*> WeekView::dayColumns() const
{
    QList<DayColumn*> columns;
    for (const Day day : shownDays_)
        columns.append(days_.value(day));
    return columns;
}

bool WeekView::wantsBanner() const
{
    return !model_.emptyBannerSpent() && !model_.editing() && weekIsEmpty(model_);
}

void WeekView::syncDays()
{
    const QList<Day> days = model_.weekDays();
    if (days != shownDays_) {
        // A day still shown keeps its column. The columns of the days that went show
        // the days that came: a week's move changes what they hold, not the widgets
        // that frame it.
        QList<DayColumn*> free;
        for (const Day day : std::as_const(shownDays_)) {
            if (!days.contains(day))
                free.append(days_.take(day));
        }
        QHash<Day, DayColumn*> keep;
        for (const Day day : days) {
            DayColumn* column = days_.take(day);
            if (!column && !free.isEmpty()) {
                column = free.takeFirst();
                column->setDay(day);
            }
            if (!column) {
                column = new DayColumn(model_, day, fit_.dayRows, content_);
                connect(column, &DayColumn::heightChanged, this, &WeekView::place);
                column->show();
            }
            keep.insert(day, column);
        }
        free.append(days_.values());
        for (DayColumn* gone : std::as_const(free)) {
            gone->hide();
            gone->deleteLater();
        }
        days_ = std::move(keep);
        shownDays_ = days;
    }
    relayout();
}

void WeekView::syncLists()
{
    const int wanted = listsShown_ ? int(model_.planner().lists.size()) : 0;
    if (wanted == lists_.size())
        return;
    while (lists_.size() > wanted) {
        ListColumn* gone = lists_.takeLast();
        // Only a single list that goes fades; hiding them all fades the whole row.
        if (listsShown_)
            Fade::out(content_, gone->geometry(), gone->grab());
        gone->hide();
        gone->deleteLater();
    }
    while (lists_.size() < wanted) {
        auto* column = new ListColumn(model_, int(lists_.size()), fit_.listRows, content_);
        connect(column, &ListColumn::heightChanged, this, &WeekView::place);
        lists_.append(column);
        column->show();
        Fade::in(column);
    }
    relayout();
}

void WeekView::showListsChanged()
{
    const bool shown = model_.settings().showLists();
    if (shown == listsShown_)
        return;
    if (!shown && !lists_.isEmpty())
        Fade::out(content_, listRowRect(), content_->grab(listRowRect()));
    listsShown_ = shown;
    syncLists();
}

void WeekView::syncBanner()
{
    const bool wanted = wantsBanner();
    if (wanted == !banner_->isHidden())
        return;
    banner_->setVisible(wanted);
    if (wanted) {
        banner_->raise();
        place();
    }
}

void WeekView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    relayout();
}

void WeekView::relayout()
{
    // The board's own height, not the viewport's: a scroll bar never changes the fit.
    const Fit fit(double(height()) - Fit::verticalPadding, listsShown_);
    fit_ = fit;
    const auto [saturday, sunday] = Fit::weekendRows(fit_.dayRows);
    const bool shares = model_.weekendShares();
    // Every column that gains or loses a line asks for a pass over the whole board;
    // it is placed once, when they all have their lines.
    const bool nested = std::exchange(placing_, true);
    for (int i = 0; i < shownDays_.size(); ++i) {
        int rows = fit_.dayRows;
        if (shares && i == 5)
            rows = saturday;
        else if (shares && i == 6)
            rows = sunday;
        days_.value(shownDays_[i])->setRows(rows);
    }
    for (ListColumn* column : std::as_const(lists_))
        column->setRows(fit_.listRows);
    if (nested) {
        placeAgain_ = true;
        return;
    }
    placing_ = false;
    placeAgain_ = false;
    place();
}

QRect WeekView::listRowRect() const
{
    int top = listsHeader_->geometry().bottom() + 1 + Fit::listsHeaderBottom;
    int bottom = top;
    for (ListColumn* column : lists_)
        bottom = std::max(bottom, column->geometry().bottom() + 1);
    return QRect(0, top, content_->width(), bottom - top);
}

void WeekView::place()
{
    // Columns report a new height while they are being placed; one more pass takes it.
    if (placing_) {
        placeAgain_ = true;
        return;
    }
    placing_ = true;
    do {
        placeAgain_ = false;
        const int width = viewport()->width();
        const int inner = std::max(0, width - 2 * sidePadding);
        const bool shares = model_.weekendShares() && shownDays_.size() == 7;
        const int columns = shares ? 6 : int(shownDays_.size());
        int dayRow = 0;
        for (int i = 0; i < shownDays_.size(); ++i) {
            DayColumn* column = days_.value(shownDays_[i]);
            const int slot = std::min(i, columns - 1);
            const auto [x0, x1] = share(sidePadding, inner, columns, columnSpacing, slot);
            int top = Fit::topPadding;
            if (shares && i == 6)
                top = days_.value(shownDays_[5])->geometry().bottom() + 1 + Fit::weekendGap;
            column->setGeometry(x0, top, x1 - x0, column->wantedHeight());
            dayRow = std::max(dayRow, column->geometry().bottom() + 1 - Fit::topPadding);
        }
        const QRect days(sidePadding, Fit::topPadding, inner, dayRow);
        if (!banner_->isHidden()) {
            const QSize card = banner_->sizeHint();
            banner_->setGeometry(QRect(QPoint(0, 0), card).translated(days.center() - QRect(QPoint(0, 0), card).center()));
        }

        int y = days.bottom() + 1 + Fit::listsHeaderTop;
        listsHeader_->setGeometry(sidePadding, y, inner, Fit::listsHeaderHeight);
        y += Fit::listsHeaderHeight + Fit::listsHeaderBottom;
        int listRow = 0;
        for (int i = 0; i < lists_.size(); ++i) {
            const auto [x0, x1] = share(sidePadding, inner, int(lists_.size()), columnSpacing, i);
            lists_[i]->setGeometry(x0, y, x1 - x0, lists_[i]->wantedHeight());
            listRow = std::max(listRow, lists_[i]->height());
        }
        y += listRow + Fit::bottomPadding;
        content_->resize(width, y);
    } while (placeAgain_);
    placing_ = false;
}
