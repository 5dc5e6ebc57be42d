// Publishing the planner's own things to the family store.
#include "appmodel.h"

#include "logcategories.h"
#include "pembysync.h"
#include "textutil.h"

#include <QHash>

namespace {

const QString plannerTag = QStringLiteral("planner");

// Runs `idFor` on every thing without a sync id, in the plan's order (days, lists,
// months), and gives it the id it returns. Only the containers that change are
// touched, so the copies of the plan on the undo stack keep sharing the rest.
bool fillSyncIDs(Planner& plan, const std::function<std::optional<QString>(const Thing&)>& idFor)
{
    const auto lacking = [](const QList<Thing>& things) {
        return std::any_of(things.cbegin(), things.cend(), [](const Thing& t) { return !t.syncID; });
    };
    bool changed = false;
    const auto fill = [&](QList<Thing>& things) {
        for (Thing& thing : things) {
            if (thing.syncID)
                continue;
            if (auto id = idFor(thing)) {
                thing.syncID = std::move(id);
                changed = true;
            }
        }
    };
    QList<Day> days;
    for (auto it = plan.days.cbegin(); it != plan.days.cend(); ++it) {
        if (lacking(*it))
            days.append(it.key());
    }
    for (const Day day : days)
        fill(plan.days[day]);
    for (qsizetype i = 0; i < plan.lists.size(); ++i) {
        if (lacking(plan.lists.at(i).things))
            fill(plan.lists[i].things);
    }
    QList<MonthKey> months;
    for (auto it = plan.months.cbegin(); it != plan.months.cend(); ++it) {
        if (lacking(*it))
            months.append(it.key());
    }
    for (const MonthKey month : months)
        fill(plan.months[month]);
    return changed;
}

} // namespace

void AppModel::ensureSyncIDs()
{
    Planner next = planner_;
    if (ensureSyncIDs(next))
        setPlanner(std::move(next));
}

bool AppModel::ensureSyncIDs(Planner& plan)
{
    QHash<QUuid, QString> given;
    const bool changed = fillSyncIDs(plan, [&](const Thing& thing) {
        const QString id = pemby::newUuidUpper();
        given.insert(thing.id, id);
        return std::optional<QString>(id);
    });
    if (!changed)
        return false;
    // The same thing in an earlier plan gets the same id, so undo keeps its row.
    patchSnapshots([&](Planner& snapshot) {
        fillSyncIDs(snapshot, [&](const Thing& thing) {
            const auto it = given.constFind(thing.id);
            return it == given.cend() ? std::nullopt : std::optional<QString>(*it);
        });
    });
    return true;
}

SharedThing AppModel::shared(const Thing& thing, const std::optional<Day>& day) const
{
    SharedThing row;
    row.id = thing.syncID.value_or(thing.id.toString(QUuid::WithoutBraces).toUpper());
    row.title = thing.title;
    row.done = thing.done;
    if (day)
        row.day = day->iso();
    row.zs = thing.zs;
    for (const Step& step : thing.steps)
        row.steps.append(SharedStep{step.title, step.done});
    row.note = thing.note;
    row.noteID = thing.noteID;
    row.link = thing.link;
    row.sourceApp = plannerTag;
    row.updatedAt = double(now().toMSecsSinceEpoch()) / 1000.0;
    return row;
}

void AppModel::syncAll()
{
    syncPending_ = false;
    ensureSyncIDs();

    QList<SharedThing> rows;
    for (auto it = planner_.days.cbegin(); it != planner_.days.cend(); ++it) {
        for (const Thing& thing : *it)
            rows.append(shared(thing, it.key()));
    }
    for (const EventuallyList& list : planner_.lists) {
        for (const Thing& thing : list.things)
            rows.append(shared(thing, std::nullopt));
    }
    for (const QList<Thing>& things : planner_.months) {
        for (const Thing& thing : things)
            rows.append(shared(thing, std::nullopt));
    }

    QSet<QString> published;
    for (const SharedThing& row : rows) {
        published.insert(row.id);
        familyStore_.upsert(row);
    }
    // The store mirrors the loaded plan: a row of a thing deleted here, or of a week not
    // loaded now, goes, with no deleting app, so the planner never takes it for a
    // deletion made elsewhere.
    for (const SharedThing& row : familyStore_.allThings()) {
        if (row.sourceApp == plannerTag && !published.contains(row.id))
            familyStore_.markDeleted(row.id, std::nullopt);
    }

    // Without a bus nothing is sent, and no echo must be waited for.
    ownChangePending_ = true;
    if (!PembySync::post(bus_))
        ownChangePending_ = false;
}
