#pragma once
// One undated list on the week board: its header (name, delete cross, open count) over
// the list's thing column, which the board gives a fixed number of lines.
//
// API
//   auto* column = new ListColumn(model, index, fit.listRows, board);
//   column->setRows(rows);       column->header()       column->column()
//
// The board keeps one per list index.

#include "headedcolumn.h"

class ListColumnHeader;

class ListColumn : public HeadedColumn {
    Q_OBJECT
public:
    ListColumn(AppModel& model, int index, int rows, QWidget* parent = nullptr);

    int index() const { return index_; }
    ListColumnHeader* header() const { return header_; }

private:
    const int index_;
    ListColumnHeader* header_;
};
