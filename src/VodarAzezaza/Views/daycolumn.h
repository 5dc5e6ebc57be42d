#pragma once
// One day of the week board: its header over the day's thing column, which gets the
// day's calendar events and is capped at the lines the board can give it.
//
// API
//   auto* column = new DayColumn(model, day, board);
//   column->setMinRows(fit.dayRows);          the lines of the column, and its cap
//   column->height()                          36 + its lines * 32, by sizeHint()
//
// The board keeps one per Day it shows, so a column that stays keeps its open field.

#include "calendar.h"

#include <QWidget>

class AppModel;
class DayHeader;
class ThingColumn;

class DayColumn : public QWidget {
    Q_OBJECT
public:
    DayColumn(AppModel& model, Day day, int minRows, QWidget* parent = nullptr);

    Day day() const { return day_; }
    int minRows() const { return minRows_; }
    void setMinRows(int rows);
    DayHeader* header() const { return header_; }
    ThingColumn* column() const { return column_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Its height changed: a line more or less than before.
    void heightChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncEvents();
    void place();

    AppModel& model_;
    const Day day_;
    int minRows_;
    DayHeader* header_;
    ThingColumn* column_;
};
