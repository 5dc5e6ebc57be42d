#include "headedcolumn.h"

#include "ruled.h"
#include "thingcolumn.h"

HeadedColumn::HeadedColumn(AppModel& model, const Place& place, int rows, QWidget* parent)
    : QWidget(parent), rows_(rows)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // A thing column builds its rows as soon as it is made. Made on a place that holds
    // nothing and given its own once it knows its cap, it never builds the rows of a
    // long list only to hide them again.
    column_ = new ThingColumn(model, Place::inList(-1), this);
    column_->setCap(rows_);
    column_->setMinRows(rows_);
    column_->setPlace(place);
    connect(column_, &ThingColumn::lineCountChanged, this, [this] {
        this->place();
        updateGeometry();
        emit heightChanged();
    });
}

void HeadedColumn::setHeader(QWidget* header)
{
    header_ = header;
    header_->setParent(this);
    place();
}

void HeadedColumn::setPlace(const Place& place) { column_->setPlace(place); }

void HeadedColumn::setRows(int rows)
{
    if (rows == rows_)
        return;
    rows_ = rows;
    column_->setMinRows(rows);
    column_->setCap(rows);
}

int HeadedColumn::wantedHeight() const { return Ruled::headerHeight + column_->lineCount() * Ruled::lineHeight; }

QSize HeadedColumn::sizeHint() const { return QSize(header_ ? header_->sizeHint().width() : 0, wantedHeight()); }

QSize HeadedColumn::minimumSizeHint() const { return QSize(0, wantedHeight()); }

void HeadedColumn::resizeEvent(QResizeEvent*) { place(); }

void HeadedColumn::place()
{
    if (header_)
        header_->setGeometry(0, 0, width(), Ruled::headerHeight);
    column_->setGeometry(0, Ruled::headerHeight, width(), column_->lineCount() * Ruled::lineHeight);
}
