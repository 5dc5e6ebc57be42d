#pragma once
// One day of the week board: its header over the day's thing column, which gets the
// day's calendar events and is capped at the lines the board gives it.
//
// API
//   auto* column = new DayColumn(model, day, fit.dayRows, board);
//   column->setRows(rows);       column->header()       column->column()
//   column->setDay(day);         another day, as the board moves to another week
//
// The board keeps one per Day it shows, so a column that stays keeps its open field.

#include "calendar.h"
#include "headedcolumn.h"

class DayHeader;

class DayColumn : public HeadedColumn {
    Q_OBJECT
public:
    DayColumn(AppModel& model, Day day, int rows, QWidget* parent = nullptr);

    Day day() const { return day_; }
    void setDay(Day day);
    DayHeader* header() const { return header_; }

private:
    void syncEvents();

    AppModel& model_;
    Day day_;
    DayHeader* header_;
};
