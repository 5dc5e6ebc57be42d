// Adding, renaming and deleting the undated lists under the week board. The first list
// is permanent; deleting a list that still holds things waits for the user's answer.
#include "plannerlists.h"

#include "appmodelstate.h"
#include "plannersettings.h"
#include "shortcuttext.h"

namespace {

QSet<QUuid> idsOf(const QList<Thing>& things)
{
    QSet<QUuid> ids;
    for (const Thing& thing : things)
        ids.insert(thing.id);
    return ids;
}

} // namespace

const std::optional<int>& PlannerLists::listToDelete() const
{
    return model_.d_->listToDelete;
}

bool PlannerLists::deletingAllLists() const
{
    return model_.d_->deletingAllLists;
}

void PlannerLists::setListToDelete(const std::optional<int>& index)
{
    model_.assign(model_.d_->listToDelete, index, *this, &PlannerLists::listToDeleteChanged);
}

void PlannerLists::setDeletingAllLists(bool shown)
{
    model_.assign(model_.d_->deletingAllLists, shown, *this, &PlannerLists::deletingAllListsChanged);
}

void PlannerLists::addList()
{
    const AppModel::Transition transition(model_);
    if (model_.d_->planner.lists.size() >= Planner::listCap) {
        model_.showToast(QStringLiteral("That's ") + QString::number(Planner::listCap) + QStringLiteral(" lists. Bold."));
        return;
    }
    model_.settings().setShowLists(true);
    model_.commit([](Planner& plan) { plan.addList(); });
}

void PlannerLists::renameList(int index, const QString& name)
{
    const AppModel::Transition transition(model_);
    model_.commit([&](Planner& plan) { plan.renameList(index, name); });
}

void PlannerLists::requestDeleteList(int index)
{
    const AppModel::Transition transition(model_);
    if (index < 1 || index >= model_.d_->planner.lists.size())
        return;
    const EventuallyList& list = model_.d_->planner.lists[index];
    if (list.things.isEmpty()) {
        deleteList(index, false);
        return;
    }
    model_.d_->listDeleteRequest = AppModel::State::ListDeleteRequest{index, list.name};
    setListToDelete(index);
}

void PlannerLists::deleteList(int index, bool keepThings)
{
    const AppModel::Transition transition(model_);
    // The answer to the confirmation on screen for this index, if it is one.
    const std::optional<AppModel::State::ListDeleteRequest> request = std::exchange(model_.d_->listDeleteRequest, std::nullopt);
    const bool confirming = request && request->index == index && model_.d_->listToDelete == index;
    setListToDelete(std::nullopt);
    if (index < 1 || index >= model_.d_->planner.lists.size())
        return;
    const EventuallyList list = model_.d_->planner.lists[index];
    // Files re-read or an undo since the question can have put another list at this
    // index; the user said yes to the one that was named.
    if (confirming && list.name != request->name)
        return;

    const QSet<QUuid> ids = idsOf(list.things);
    model_.setEditing(std::nullopt);
    model_.commit([&](Planner& plan) { plan.removeList(index, keepThings ? std::optional<int>(0) : std::nullopt); });
    if (!keepThings) {
        model_.selection().setIDs(QSet<QUuid>(model_.d_->selection).subtract(ids));
        if (model_.d_->opened && ids.contains(*model_.d_->opened))
            model_.setOpened(std::nullopt);
    }
    if (keepThings && !ids.isEmpty())
        model_.showToast(QStringLiteral("Deleted ") + list.name + QStringLiteral(". Its things went to ") + model_.d_->planner.lists[0].name
             + u'.');
    else
        model_.showToast(QStringLiteral("Deleted ") + list.name + QStringLiteral(". ") + pemby::ifThatWasAMistake());
}

void PlannerLists::requestDeleteAllLists()
{
    const AppModel::Transition transition(model_);
    if (model_.d_->planner.lists.size() < 2)
        return;
    const bool holdsThings = std::any_of(model_.d_->planner.lists.cbegin() + 1, model_.d_->planner.lists.cend(),
                                         [](const EventuallyList& list) { return !list.things.isEmpty(); });
    if (holdsThings)
        setDeletingAllLists(true);
    else
        deleteAllLists(false);
}

void PlannerLists::deleteAllLists(bool keepThings)
{
    const AppModel::Transition transition(model_);
    setDeletingAllLists(false);
    if (model_.d_->planner.lists.size() < 2)
        return;
    QSet<QUuid> ids;
    for (qsizetype i = 1; i < model_.d_->planner.lists.size(); ++i)
        ids.unite(idsOf(model_.d_->planner.lists[i].things));
    model_.setEditing(std::nullopt);
    model_.commit([&](Planner& plan) { plan.removeAllLists(keepThings); });
    if (!keepThings) {
        model_.selection().setIDs(QSet<QUuid>(model_.d_->selection).subtract(ids));
        if (model_.d_->opened && ids.contains(*model_.d_->opened))
            model_.setOpened(std::nullopt);
    }
    const QString first = model_.d_->planner.lists[0].name;
    if (keepThings)
        model_.showToast(QStringLiteral("Just ") + first + QStringLiteral(" now, with everything in it."));
    else
        model_.showToast(QStringLiteral("Just ") + first + QStringLiteral(" now. ") + pemby::ifThatWasAMistake());
}
