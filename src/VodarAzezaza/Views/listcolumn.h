#pragma once
// One undated list on the week board: its header (name, delete cross, open count) over
// the list's thing column, which the board gives a fixed number of lines.
//
// API
//   auto* column = new ListColumn(model, index, fit.listRows, board);
//   column->setRows(rows);                   the lines of the column, and its cap
//
// The board keeps one per list index; an index past the lists shows an empty name and
// no things (as while a removed list fades away).

#include <QWidget>

class AppModel;
class ListColumnHeader;
class ThingColumn;

class ListColumn : public QWidget {
    Q_OBJECT
public:
    ListColumn(AppModel& model, int index, int rows, QWidget* parent = nullptr);

    int index() const { return index_; }
    int rows() const { return rows_; }
    void setRows(int rows);
    ListColumnHeader* header() const { return header_; }
    ThingColumn* column() const { return column_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void heightChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    const int index_;
    int rows_;
    ListColumnHeader* header_;
    ThingColumn* column_;
};
