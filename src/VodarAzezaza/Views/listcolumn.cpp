#include "listcolumn.h"

#include "listcolumnheader.h"
#include "ruled.h"
#include "thingcolumn.h"

ListColumn::ListColumn(AppModel& model, int index, int rows, QWidget* parent)
    : QWidget(parent), index_(index), rows_(rows)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    header_ = new ListColumnHeader(model, index_, this);
    column_ = new ThingColumn(model, Place::inList(index_), this);
    column_->setMinRows(rows_);
    column_->setCap(rows_);
    connect(column_, &ThingColumn::lineCountChanged, this, [this] {
        place();
        updateGeometry();
        emit heightChanged();
    });
}

void ListColumn::setRows(int rows)
{
    if (rows == rows_)
        return;
    rows_ = rows;
    column_->setMinRows(rows);
    column_->setCap(rows);
}

QSize ListColumn::sizeHint() const
{
    return QSize(header_->sizeHint().width(), Ruled::headerHeight + column_->lineCount() * Ruled::lineHeight);
}

QSize ListColumn::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

void ListColumn::resizeEvent(QResizeEvent*) { place(); }

void ListColumn::place()
{
    header_->setGeometry(0, 0, width(), Ruled::headerHeight);
    column_->setGeometry(0, Ruled::headerHeight, width(), column_->lineCount() * Ruled::lineHeight);
}
