#pragma once
// The week board: the seven days side by side, the header of the undated lists under
// them and, while the lists are shown, one column per list. It sizes every column to
// its own height (WeekFit) so an ordinary window shows the whole week and the lists at
// once; only a board lower than the minimum sizes scrolls, and only vertically.
//
// API
//   auto* board = new WeekView(model, parent);     everything else comes from the model
//   board->fit()                                   the lines it gives days and lists now
//
// With a split weekend (AppModel::weekendShares) the sixth and seventh day share the
// last column, stacked, and the stack is exactly as tall as a day column. A completely
// empty week carries the empty-week card over its days until it has been seen. Day
// columns are kept by their Day and list columns by their index, so an open field or a
// hovered line survives every model change that leaves its column in place; moving to
// another week, the columns of the days that go show the days that come. Showing and
// hiding the lists, adding and removing one, fades the columns concerned.

#include "calendar.h"
#include "weekfit.h"

#include <QHash>
#include <QScrollArea>

class AppModel;
class DayColumn;
class EmptyWeek;
class ListColumn;
class ListsHeader;

class WeekView : public QScrollArea {
    Q_OBJECT
public:
    using Fit = WeekFit;

    static constexpr int sidePadding = 24;
    static constexpr int columnSpacing = 16;

    explicit WeekView(AppModel& model, QWidget* parent = nullptr);
    ~WeekView() override;

    Fit fit() const { return fit_; }
    // The columns on the board now, in display order (the weekend's two days last).
    QList<DayColumn*> dayColumns() const;
    DayColumn* dayColumn(Day day) const { return days_.value(day); }
    QList<ListColumn*> listColumns() const { return lists_; }
    ListsHeader* listsHeader() const { return listsHeader_; }
    EmptyWeek* banner() const { return banner_; }
    // The visible week holds no thing and no event, nothing is being typed and the
    // banner has not been seen yet.
    bool wantsBanner() const;
    // The board's own content, as the scroll area holds it.
    QWidget* content() const { return content_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncDays();
    void syncLists();
    void showListsChanged();
    void syncBanner();
    // Fits the columns to the board's height and places everything.
    void relayout();
    void place();
    QRect listRowRect() const;

    AppModel& model_;
    QWidget* content_;
    QList<Day> shownDays_;
    QHash<Day, DayColumn*> days_;
    QList<ListColumn*> lists_;
    ListsHeader* listsHeader_;
    EmptyWeek* banner_;
    Fit fit_;
    // Whether the board lays out the list row; the model's showLists, once applied.
    bool listsShown_ = false;
    bool placing_ = false;
    bool placeAgain_ = false;
};
