#pragma once
// A column of the week board: a 36-high header over the thing column of one place,
// which fills exactly the lines the board gives it (its minimum and its cap alike).
// The day columns and the list columns are such columns with their own header.
//
// API
//   class DayColumn : public HeadedColumn { ... setHeader(new DayHeader(...)); };
//   column->setRows(fit.dayRows);        the lines of the column
//   column->wantedHeight()               36 + its lines * 32, as sizeHint().height()
//   heightChanged()                      the column shows a line more or less

#include "things.h"

#include <QWidget>

class AppModel;
class ThingColumn;

class HeadedColumn : public QWidget {
    Q_OBJECT
public:
    int rows() const { return rows_; }
    void setRows(int rows);
    QWidget* headerWidget() const { return header_; }
    ThingColumn* column() const { return column_; }

    // The height it needs for the lines it shows; cheaper than sizeHint(), which also
    // measures the header's text.
    int wantedHeight() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void heightChanged();

protected:
    HeadedColumn(AppModel& model, const Place& place, int rows, QWidget* parent);
    // Takes the header as a child; called once by the subclass.
    void setHeader(QWidget* header);
    // The place the thing column shows from now on.
    void setPlace(const Place& place);
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    int rows_;
    QWidget* header_ = nullptr;
    ThingColumn* column_;
};
