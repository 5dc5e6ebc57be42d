#pragma once
// The header over a day column: the day's short name in the pixel font and its number.
// Today sits on a yellow rounded patch and reads "4 · today"; past days are faint.
// A double click on the week board opens the day's month (and in any other mode the
// day's week).
//
// API
//   auto* header = new DayHeader(model, day, column);   36 high; follows today by itself
//
// Accessible as one element: "wed 4 · today".

#include "calendar.h"

#include <QWidget>

class AppModel;

class DayHeader : public QWidget {
    Q_OBJECT
public:
    DayHeader(AppModel& model, Day day, QWidget* parent = nullptr);

    Day day() const { return day_; }
    void setDay(Day day);
    bool isToday() const;
    bool isPast() const;
    // "wed" and "4 · today" (or "4"), as painted.
    QString nameText() const;
    QString numberText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void refresh();
    QFont numberFont() const;

    AppModel& model_;
    Day day_;
};
