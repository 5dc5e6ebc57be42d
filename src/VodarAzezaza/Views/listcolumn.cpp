#include "listcolumn.h"

#include "listcolumnheader.h"

ListColumn::ListColumn(AppModel& model, int index, int rows, QWidget* parent)
    : HeadedColumn(model, Place::inList(index), rows, parent), index_(index)
{
    header_ = new ListColumnHeader(model, index_, this);
    setHeader(header_);
}
