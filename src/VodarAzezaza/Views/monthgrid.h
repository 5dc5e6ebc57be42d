#pragma once
// The calendar grid of the month board: a header of weekday names, then one row per
// week of AppModel::monthWeeks, the rows sharing the height equally. The week that
// holds today lies on a band that reaches a little past the grid on both sides.
//
// API
//   auto* grid = new MonthGrid(model, board);    follows the model by itself
//   grid->cell(day)                              the cell of a day on the grid, if any
//
// Cells are kept by their Day, so paging to a neighbouring month keeps the days the two
// months share; the cells of the days that go show the days that come.

#include "calendar.h"

#include <QHash>
#include <QWidget>

class AppModel;
class MonthCell;

class MonthGrid : public QWidget {
    Q_OBJECT
public:
    explicit MonthGrid(AppModel& model, QWidget* parent = nullptr);

    MonthCell* cell(Day day) const { return cells_.value(day); }
    QList<MonthCell*> cells() const;
    int weekCount() const { return int(weeks_.size()); }
    // The weekday names of the header, in the order of the first week.
    QStringList weekdayNames() const;
    // Where row `week` lies, without the band's overhang.
    QRect rowRect(int week) const;

    static constexpr int headerHeight = 28;
    // How far the band reaches past the grid on each side.
    static constexpr int bandOverhang = 8;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncCells();
    void place();

    AppModel& model_;
    QList<QList<Day>> weeks_;
    QHash<Day, MonthCell*> cells_;
};
