// What the user does to the planner's own things: add, edit, tick, move, mark, repeat,
// remind, delete, push on to next week and send to the lists; the gestures; and the
// board's places these operations and the key map share.
#include "appmodel.h"

#include "appmodelstate.h"
#include "remindercenter.h"
#include "shortcuttext.h"
#include "textutil.h"

#include <QPointer>
#include <QTimer>

namespace {

const QString deletedText = QStringLiteral("Deleted. ");

} // namespace

// ---- Planner changes, one thing ---------------------------------------------------

std::optional<QUuid> AppModel::add(const QString& title, const Place& place)
{
    const Transition transition(*this);
    std::optional<QUuid> added;
    commit([&](Planner& plan) { added = plan.add(title, place); });
    return added;
}

void AppModel::rename(const QUuid& id, const QString& title)
{
    const Transition transition(*this);
    const QString trimmed = pemby::titleText(title);
    if (trimmed.isEmpty()) {
        deleteThing(id, true);
        return;
    }
    commit([&](Planner& plan) { plan.update(id, [&](Thing& t) { t.title = trimmed; }); });
}

void AppModel::update(const QUuid& id, const std::function<void(Thing&)>& change)
{
    const Transition transition(*this);
    commit([&](Planner& plan) { plan.update(id, change); });
}

void AppModel::toggle(const QUuid& id)
{
    const Transition transition(*this);
    commit([&](Planner& plan) { plan.toggle(id); });
}

void AppModel::move(const QUuid& id, const Place& to, std::optional<int> before)
{
    const Transition transition(*this);
    commit([&](Planner& plan) { plan.move(id, to, before); });
}

void AppModel::setMark(const QUuid& id, std::optional<Mark> mark)
{
    const Transition transition(*this);
    commit([&](Planner& plan) { plan.update(id, [&](Thing& t) { t.mark = mark; }); });
}

void AppModel::setMark(const QList<QUuid>& ids, std::optional<Mark> mark)
{
    const Transition transition(*this);
    commit([&](Planner& plan) {
        for (const QUuid& id : ids)
            plan.update(id, [&](Thing& t) { t.mark = mark; });
    });
}

void AppModel::setRepeat(const QUuid& id, std::optional<RepeatKind> kind)
{
    const Transition transition(*this);
    const QSet<Day> weeks = d_->store.loadedWeeks();
    commit([&](Planner& plan) {
        plan.setRepeat(id, kind);
        // Weeks that are over keep what they had; the rest get the new rule's things now.
        for (const Day monday : weeks) {
            if (!(monday.adding(6) < d_->today))
                plan.applyRepeats(monday, d_->today);
        }
    });
}

void AppModel::setReminder(const QUuid& id, std::optional<TimeOfDay> time)
{
    const Transition transition(*this);
    if (!d_->planner.locate(id))
        return;
    commit([&](Planner& plan) { plan.update(id, [&](Thing& t) { t.remind = time; }); });
    // Clearing needs no permission: the save already withdrew the notification.
    if (!time)
        return;
    const auto bringUpToDate = [this] { d_->reminders->sync(d_->planner, d_->store.loadedWeeks(), Steps::now(*this)); };
    if (!d_->reminders->available()) {
        QTimer::singleShot(0, this, bringUpToDate);
        return;
    }
    // The answer comes on the GUI thread, and never once the model is gone.
    ReminderCenter::requestAuthorization(
        this,
        [this, bringUpToDate](bool granted) {
            if (granted)
                bringUpToDate();
            else
                showToast(QStringLiteral("Notifications are off for Pemby Planner. System Settings can fix that."));
        },
        d_->bus);
}

void AppModel::setDay(const QUuid& id, Day day)
{
    const Transition transition(*this);
    const auto at = d_->planner.locate(id);
    // A thing that is gone goes nowhere; the toast would say it did.
    if (!at || at->place == Place::onDay(day))
        return;
    Steps::loadWeeksOf(*this, {day});
    commit([&](Planner& plan) { plan.move(id, Place::onDay(day)); });

    const QList<Day> onScreen = Steps::visibleDays(*this);
    if (onScreen.contains(day))
        return;
    setOpened(std::nullopt);
    showToast(QStringLiteral("Moved to ") + label(Place::onDay(day)) + u'.');
}

// ---- Deleting and moving groups ---------------------------------------------------

void AppModel::deleteThing(const QUuid& id, bool quietly)
{
    const Transition transition(*this);
    // Nothing to delete: no "Deleted." for it.
    if (!d_->planner.locate(id))
        return;
    const std::optional<QUuid> next = selection().neighbour(id);
    commit([&](Planner& plan) { plan.remove(id); });

    selection().setIDs(QSet<QUuid>(d_->selection).subtract({id}));
    if (d_->selectionAnchor == id)
        selection().setAnchor(std::nullopt);
    if (d_->selection.isEmpty() && next)
        selection().select(next);
    if (d_->opened == id)
        setOpened(std::nullopt);
    if (!quietly)
        showToast(deletedText + pemby::ifThatWasAMistake());
}

void AppModel::deleteSelection(bool quietly)
{
    const Transition transition(*this);
    const QList<QUuid> ids = selection().orderedIDs();
    if (ids.isEmpty())
        return;
    const std::optional<QUuid> next = selection().neighbourAfterDeleting(ids);
    commit([&](Planner& plan) {
        for (const QUuid& id : ids)
            plan.remove(id);
    });
    if (d_->opened && ids.contains(*d_->opened))
        setOpened(std::nullopt);
    selection().select(next);
    if (quietly)
        return;
    if (ids.size() == 1)
        showToast(deletedText + pemby::ifThatWasAMistake());
    else
        showToast(QStringLiteral("Deleted ") + QString::number(ids.size()) + QStringLiteral(". ") + pemby::ifThatWasAMistake());
}

void AppModel::deleteFromMenu(const QUuid& id)
{
    const Transition transition(*this);
    if (d_->selection.contains(id) && d_->selection.size() > 1)
        deleteSelection(false);
    else
        deleteThing(id, false);
}

void AppModel::notThisWeek(const QList<QUuid>& ids)
{
    const Transition transition(*this);
    // Only things on days move; things in lists and months have no next week.
    QList<QUuid> moving;
    QList<Day> targets;
    for (const QUuid& id : ids) {
        const auto at = d_->planner.locate(id);
        if (!at || !at->place.isDay() || moving.contains(id))
            continue;
        moving.append(id);
        targets.append(at->place.day()->adding(7));
    }
    // Nothing that could move: no "moved to next week" for it.
    if (moving.isEmpty())
        return;
    const std::optional<QUuid> next = ids.size() == 1 ? selection().neighbour(ids.first()) : std::nullopt;
    Steps::loadWeeksOf(*this, targets);
    commit([&](Planner& plan) {
        for (qsizetype i = 0; i < moving.size(); ++i) {
            plan.update(moving[i], [](Thing& t) { t.countMove(); });
            plan.move(moving[i], Place::onDay(targets[i]));
        }
    });
    selection().select(next);
    // The count is of the things that moved, not of those asked for.
    if (moving.size() == 1)
        showToast(QStringLiteral("Not this week. Fair."));
    else
        showToast(QString::number(moving.size()) + QStringLiteral(" moved to next week. Fair."));
}

void AppModel::pushRestOfWeek()
{
    const Transition transition(*this);
    const QList<Day> days = weekDays();
    Steps::readPlanFiles(*this, [&](PlannerStore& store, Planner& plan) {
        store.loadWeeks(days.first().adding(7), days.last().adding(7), plan);
    });
    int pushed = 0;
    commit([&](Planner& plan) { pushed = plan.pushRest(days, d_->today); });
    if (pushed > 0)
        showToast(QString::number(pushed) + QStringLiteral(" moved to next week. we've all been there."));
    else
        showToast(QStringLiteral("Nothing left to move."));
}

void AppModel::sendToEventually(const QList<QUuid>& ids)
{
    const Transition transition(*this);
    if (ids.isEmpty())
        return;
    const std::optional<QUuid> next = ids.size() == 1 ? selection().neighbour(ids.first()) : std::nullopt;
    commit([&](Planner& plan) {
        for (const QUuid& id : ids)
            plan.move(id, Place::inList(0));
    });
    selection().select(next);
}

// ---- Selecting and editing ---------------------------------------------------------

void AppModel::editExternal(const QString& id)
{
    const Transition transition(*this);
    selection().selectExternal(id);
    setEditing(Editing::external(id));
}

void AppModel::startNewThing(const Place& place)
{
    const Transition transition(*this);
    selection().clear();
    setEditing(Editing::newThing(place));
}

// ---- Gestures -----------------------------------------------------------------------

void AppModel::openDetail(const QUuid& id)
{
    const Transition transition(*this);
    selection().select(id);
    setEditing(std::nullopt);
    setOpened(id);
}

void AppModel::openExternalDetail(const QString& id)
{
    const Transition transition(*this);
    selection().selectExternal(id);
    setEditing(std::nullopt);
    setOpenedExternal(id);
}

void AppModel::openNote(const QUuid& id)
{
    const Transition transition(*this);
    setOpened(std::nullopt);
    focusMode().exitFocusMode();
    setEditingNote(id);
}

void AppModel::openExternalNote(const QString& id)
{
    const Transition transition(*this);
    setOpenedExternal(std::nullopt);
    focusMode().exitFocusMode();
    setEditingExternalNote(id);
}

void AppModel::finishRename(const QUuid& id, const QString& title)
{
    const Transition transition(*this);
    rename(id, title);
    if (d_->editing == Editing::thing(id))
        setEditing(std::nullopt);
}

void AppModel::finishExternalRename(const QString& id, const QString& title)
{
    const Transition transition(*this);
    if (const auto current = otherApps().externalThing(id))
        otherApps().renameExternal(*current, title);
    if (d_->editing == Editing::external(id))
        setEditing(std::nullopt);
}

bool AppModel::commitNewLine(const Place& place, const QString& text, bool keepGoing)
{
    const Transition transition(*this);
    const auto id = add(text, place);
    if (id)
        selection().select(*id);
    const bool stillHere = d_->editing == Editing::newThing(place);
    if (id && keepGoing && stillHere)
        return true;
    if (stillHere)
        setEditing(std::nullopt);
    return false;
}

void AppModel::cutSelection()
{
    const Transition transition(*this);
    clipboard().copySelection();
    deleteSelection(true);
}

void AppModel::cutFromMenu(const QUuid& id)
{
    const Transition transition(*this);
    if (!d_->selection.contains(id))
        selection().select(id);
    cutSelection();
}

void AppModel::copyFromMenu(const QUuid& id)
{
    const Transition transition(*this);
    if (!d_->selection.contains(id))
        selection().select(id);
    clipboard().copySelection();
}

QList<Place> AppModel::columns() const
{
    if (d_->isFocusMode)
        return {focusPlace()};
    QList<Place> places;
    if (d_->mode == Mode::Month) {
        for (const QList<Day>& week : monthWeeks()) {
            for (const Day day : week)
                places.append(Place::onDay(day));
        }
        places.append(Place::inMonth(d_->anchor.monthKey()));
        return places;
    }
    for (const Day day : weekDays())
        places.append(Place::onDay(day));
    if (d_->showLists) {
        for (int i = 0; i < d_->planner.lists.size(); ++i)
            places.append(Place::inList(i));
    }
    return places;
}

Place AppModel::placeForNew() const
{
    if (d_->isFocusMode)
        return focusPlace();
    if (const auto primary = selection().primary()) {
        if (const auto at = d_->planner.locate(*primary))
            return at->place;
    }
    if (d_->mode == Mode::Week) {
        const QList<Day> days = weekDays();
        return Place::onDay(days.contains(d_->today) ? d_->today : days.first());
    }
    return Place::onDay(d_->today);
}

Place AppModel::focusPlace() const
{
    switch (d_->focusSource.kind()) {
    case FocusSource::Kind::Today:
        return Place::onDay(d_->today);
    case FocusSource::Kind::Tomorrow:
        return Place::onDay(d_->today.adding(1));
    case FocusSource::Kind::List: {
        const int index = d_->focusSource.listIndex();
        return Place::inList(index >= 0 && index < d_->planner.lists.size() ? index : 0);
    }
    }
    return Place::onDay(d_->today);
}

QString AppModel::label(const Place& place) const
{
    switch (place.kind()) {
    case Place::Kind::Day: {
        const Day day = *place.day();
        return dayNames()[day.weekday() - 1] + u' ' + QString::number(day.day) + u' ' + monthNames()[day.month - 1];
    }
    case Place::Kind::List: {
        const int index = place.listIndex();
        if (index < 0 || index >= d_->planner.lists.size())
            return QStringLiteral("eventually");
        return d_->planner.lists[index].name;
    }
    case Place::Kind::Month:
        return monthNames()[place.month().month - 1] + QStringLiteral(", roughly");
    }
    return {};
}

// Loads the Monday-based week of each day (no undo step; the snapshots get it too).
void AppModel::Steps::loadWeeksOf(AppModel& m, const QList<Day>& days)
{
    readPlanFiles(m, [&](PlannerStore& store, Planner& plan) {
        for (const Day day : days)
            store.loadWeek(day.monday(), plan);
    });
}
