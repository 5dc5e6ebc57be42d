// Adding, renaming and deleting the undated lists under the week board. The first list
// is permanent; deleting a list that still holds things waits for the user's answer.
#include "appmodel.h"

#include "appmodelstate.h"
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

void AppModel::addList()
{
    const Transition transition(*this);
    if (d_->planner.lists.size() >= Planner::listCap) {
        showToast(QStringLiteral("That's ") + QString::number(Planner::listCap) + QStringLiteral(" lists. Bold."));
        return;
    }
    settings().setShowLists(true);
    commit([](Planner& plan) { plan.addList(); });
}

void AppModel::renameList(int index, const QString& name)
{
    const Transition transition(*this);
    commit([&](Planner& plan) { plan.renameList(index, name); });
}

void AppModel::requestDeleteList(int index)
{
    const Transition transition(*this);
    if (index < 1 || index >= d_->planner.lists.size())
        return;
    const EventuallyList& list = d_->planner.lists[index];
    if (list.things.isEmpty()) {
        deleteList(index, false);
        return;
    }
    d_->listDeleteRequest = State::ListDeleteRequest{index, list.name};
    setListToDelete(index);
}

void AppModel::deleteList(int index, bool keepThings)
{
    const Transition transition(*this);
    // The answer to the confirmation on screen for this index, if it is one.
    const std::optional<State::ListDeleteRequest> request = std::exchange(d_->listDeleteRequest, std::nullopt);
    const bool confirming = request && request->index == index && d_->listToDelete == index;
    setListToDelete(std::nullopt);
    if (index < 1 || index >= d_->planner.lists.size())
        return;
    const EventuallyList list = d_->planner.lists[index];
    // Files re-read or an undo since the question can have put another list at this
    // index; the user said yes to the one that was named.
    if (confirming && list.name != request->name)
        return;

    const QSet<QUuid> ids = idsOf(list.things);
    setEditing(std::nullopt);
    commit([&](Planner& plan) { plan.removeList(index, keepThings ? std::optional<int>(0) : std::nullopt); });
    if (!keepThings) {
        setSelection(QSet<QUuid>(d_->selection).subtract(ids));
        if (d_->opened && ids.contains(*d_->opened))
            setOpened(std::nullopt);
    }
    if (keepThings && !ids.isEmpty())
        showToast(QStringLiteral("Deleted ") + list.name + QStringLiteral(". Its things went to ") + d_->planner.lists[0].name
             + u'.');
    else
        showToast(QStringLiteral("Deleted ") + list.name + QStringLiteral(". ") + pemby::ifThatWasAMistake());
}

void AppModel::requestDeleteAllLists()
{
    const Transition transition(*this);
    if (d_->planner.lists.size() < 2)
        return;
    const bool holdsThings = std::any_of(d_->planner.lists.cbegin() + 1, d_->planner.lists.cend(),
                                         [](const EventuallyList& list) { return !list.things.isEmpty(); });
    if (holdsThings)
        setDeletingAllLists(true);
    else
        deleteAllLists(false);
}

void AppModel::deleteAllLists(bool keepThings)
{
    const Transition transition(*this);
    setDeletingAllLists(false);
    if (d_->planner.lists.size() < 2)
        return;
    QSet<QUuid> ids;
    for (qsizetype i = 1; i < d_->planner.lists.size(); ++i)
        ids.unite(idsOf(d_->planner.lists[i].things));
    setEditing(std::nullopt);
    commit([&](Planner& plan) { plan.removeAllLists(keepThings); });
    if (!keepThings) {
        setSelection(QSet<QUuid>(d_->selection).subtract(ids));
        if (d_->opened && ids.contains(*d_->opened))
            setOpened(std::nullopt);
    }
    const QString first = d_->planner.lists[0].name;
    if (keepThings)
        showToast(QStringLiteral("Just ") + first + QStringLiteral(" now, with everything in it."));
    else
        showToast(QStringLiteral("Just ") + first + QStringLiteral(" now. ") + pemby::ifThatWasAMistake());
}
