// The settings: each setter writes its key and runs its reaction inside the model's
// operation.
#include "plannersettings.h"

#include "appmodelstate.h"
#include "appsettings.h"
#include "focuspanelcontroller.h"

int PlannerSettings::firstWeekdaySetting() const
{
    return model_.d_->firstWeekdaySetting;
}

bool PlannerSettings::splitWeekend() const
{
    return model_.d_->splitWeekend;
}

bool PlannerSettings::showCalendar() const
{
    return model_.d_->showCalendar;
}

bool PlannerSettings::showLists() const
{
    return model_.d_->showLists;
}

bool PlannerSettings::floats() const
{
    return model_.d_->floats;
}

void PlannerSettings::setFirstWeekdaySetting(int weekday)
{
    const AppModel::Transition transition(model_);
    model_.assign(model_.d_->firstWeekdaySetting, weekday, *this, &PlannerSettings::firstWeekdaySettingChanged);
    model_.d_->settings->writeFirstWeekday(weekday);
    AppModel::Steps::loadVisible(model_);
}

void PlannerSettings::setSplitWeekend(bool split)
{
    model_.assign(model_.d_->splitWeekend, split, *this, &PlannerSettings::splitWeekendChanged);
    model_.d_->settings->writeSplitWeekend(split);
}

void PlannerSettings::setShowCalendar(bool show)
{
    const AppModel::Transition transition(model_);
    model_.assign(model_.d_->showCalendar, show, *this, &PlannerSettings::showCalendarChanged);
    model_.d_->settings->writeShowCalendar(show);
    model_.refreshEvents();
}

void PlannerSettings::setShowLists(bool show)
{
    const AppModel::Transition transition(model_);
    model_.assign(model_.d_->showLists, show, *this, &PlannerSettings::showListsChanged);
    model_.d_->settings->writeShowLists(show);
    if (!show)
        model_.selection().dropLists();
}

void PlannerSettings::setFloats(bool floats)
{
    const AppModel::Transition transition(model_);
    model_.assign(model_.d_->floats, floats, *this, &PlannerSettings::floatsChanged);
    model_.d_->settings->writeFloats(floats);
    if (model_.d_->focus->hasPanel())
        model_.d_->focus->applyFloating(floats);
}
