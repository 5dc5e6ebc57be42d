#include "daycolumn.h"

#include "appmodel.h"
#include "dayheader.h"
#include "ruled.h"
#include "thingcolumn.h"

DayColumn::DayColumn(AppModel& model, Day day, int minRows, QWidget* parent)
    : QWidget(parent), model_(model), day_(day), minRows_(minRows)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    header_ = new DayHeader(model_, day_, this);
    column_ = new ThingColumn(model_, Place::onDay(day_), this);
    column_->setMinRows(minRows_);
    column_->setCap(minRows_);
    syncEvents();
    connect(&model_, &AppModel::eventsChanged, this, &DayColumn::syncEvents);
    connect(column_, &ThingColumn::lineCountChanged, this, [this] {
        place();
        updateGeometry();
        emit heightChanged();
    });
}

void DayColumn::setMinRows(int rows)
{
    if (rows == minRows_)
        return;
    minRows_ = rows;
    column_->setMinRows(rows);
    column_->setCap(rows);
}

void DayColumn::syncEvents() { column_->setEvents(model_.events().value(day_)); }

QSize DayColumn::sizeHint() const
{
    return QSize(header_->sizeHint().width(), Ruled::headerHeight + column_->lineCount() * Ruled::lineHeight);
}

QSize DayColumn::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

void DayColumn::resizeEvent(QResizeEvent*) { place(); }

void DayColumn::place()
{
    header_->setGeometry(0, 0, width(), Ruled::headerHeight);
    column_->setGeometry(0, Ruled::headerHeight, width(), column_->lineCount() * Ruled::lineHeight);
}
