#pragma once
// The month board: the calendar grid of the anchor's month and, beside it, the column
// of things filed under the month itself ("roughly", with the count of what is open).
//
// API
//   auto* board = new MonthView(model, parent);    everything comes from the model
//   board->grid(), board->monthColumn()
//
// The side column is the ordinary thing column of the month: at least twelve lines,
// never cut, scrolling on its own when it holds more than the board's height.

#include <QWidget>

class AppModel;
class MonthGrid;
class QScrollArea;
class ThingColumn;

class MonthView : public QWidget {
    Q_OBJECT
public:
    explicit MonthView(AppModel& model, QWidget* parent = nullptr);

    MonthGrid* grid() const { return grid_; }
    ThingColumn* monthColumn() const { return column_; }
    // "this month · 4": the month's things that are not done.
    QString countText() const;

    static constexpr int sideWidth = 208;
    static constexpr int sideSpacing = 18;
    static constexpr int headerHeight = 28;
    static constexpr int monthRows = 12;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncMonth();
    void place();
    void placeColumn();
    QRect sideRect() const;

    AppModel& model_;
    MonthGrid* grid_;
    QScrollArea* scroll_;
    ThingColumn* column_;
    QString count_;
};
