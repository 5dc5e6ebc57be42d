// The search, which needs every week loaded before it can find anything.
#include "plansearch.h"

#include "appmodelstate.h"

bool PlanSearch::isSearching() const
{
    return model_.d_->isSearching;
}

void PlanSearch::setSearching(bool searching)
{
    model_.assign(model_.d_->isSearching, searching, *this, &PlanSearch::isSearchingChanged);
}

const QString& PlanSearch::searchText() const
{
    return model_.d_->searchText;
}

void PlanSearch::setSearchText(const QString& text)
{
    model_.assign(model_.d_->searchText, text, *this, &PlanSearch::searchTextChanged);
}

void PlanSearch::beginSearch()
{
    const AppModel::Transition transition(model_);
    AppModel::Steps::readPlanFiles(model_, [](PlannerStore& store, Planner& plan) { store.loadEverything(plan); });
    setSearching(true);
}

void PlanSearch::reveal(const Place& place, const QUuid& id)
{
    const AppModel::Transition transition(model_);
    setSearching(false);
    switch (place.kind()) {
    case Place::Kind::Day:
        model_.showDay(*place.day(), Mode::Week);
        break;
    case Place::Kind::List:
        model_.setMode(Mode::Week);
        model_.settings().setShowLists(true);
        break;
    case Place::Kind::Month:
        model_.showDay(place.month().first(), Mode::Month);
        break;
    }
    model_.selection().select(id);
}
