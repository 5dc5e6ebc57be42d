#include "daycolumn.h"

#include "appmodel.h"
#include "dayheader.h"
#include "thingcolumn.h"

DayColumn::DayColumn(AppModel& model, Day day, int rows, QWidget* parent)
    : HeadedColumn(model, Place::onDay(day), rows, parent), model_(model), day_(day)
{
    header_ = new DayHeader(model_, day_, this);
    setHeader(header_);
    syncEvents();
    connect(&model_, &AppModel::eventsChanged, this, &DayColumn::syncEvents);
}

void DayColumn::setDay(Day day)
{
    if (day == day_)
        return;
    day_ = day;
    header_->setDay(day);
    setPlace(Place::onDay(day));
    syncEvents();
}

void DayColumn::syncEvents() { column()->setEvents(model_.events().value(day_)); }
