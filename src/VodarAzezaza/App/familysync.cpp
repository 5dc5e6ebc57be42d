#include "familysync.h"

#include "calendar.h"
#include "logcategories.h"
#include "textutil.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace std::chrono_literals;

FamilySync::FamilySync(FamilyStore& store, QString app, const QString& basePath)
    : store_(store)
    , app_(std::move(app))
{
    if (!basePath.isEmpty())
        openBase(basePath);
    retry_.setSingleShot(true);
    retry_.setInterval(othersRetryInterval);
    QObject::connect(&retry_, &QTimer::timeout, &retry_, [this] { retryOthers(); });
}

void FamilySync::openBase(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto opened = SqliteConnection::open(path);
    if (!opened.connection.isOpen()) {
        qCWarning(lcSync) << "the sync's base did not open; it is kept in memory:" << opened.error.value_or(path);
        return;
    }
    file_ = std::move(opened.connection);
    file_.exec("PRAGMA trusted_schema=OFF;");
    file_.exec("PRAGMA journal_mode=WAL;");
    // Kept across a crash of the app, which is what it is for; a power cut may take the
    // last publication's base, and the next publication writes it again.
    file_.exec("PRAGMA synchronous=NORMAL;");
    if (!file_.exec("CREATE TABLE IF NOT EXISTS base (id TEXT PRIMARY KEY, title TEXT NOT NULL, done INTEGER NOT NULL, "
                    "day TEXT, steps_json TEXT NOT NULL, note TEXT NOT NULL, note_id TEXT);")) {
        file_.close();
        return;
    }
    SqliteStatement query(file_, "SELECT id, title, done, day, steps_json, note, note_id FROM base;");
    query.forEachRow([&](const SqliteStatement& row) {
        base_.insert(row.text(0).value_or(QString()),
                     Agreed{row.text(1).value_or(QString()), row.int64(2) != 0, row.text(3),
                            pemby::decodeSharedSteps(row.text(4).value_or(QStringLiteral("[]"))),
                            row.text(5).value_or(QString()), row.text(6)});
    });
}

FamilySync::Take FamilySync::merge(const Agreed& plan, const Agreed& stored, const std::optional<Agreed>& base)
{
    Take take;
    if (!base)
        return take;
    // Only the store changed it: the plan takes it.
    const auto onlyStored = [](const auto& p, const auto& s, const auto& b) { return s != b && p == b; };
    if (onlyStored(plan.title, stored.title, base->title)) {
        // A blank title is no title: the thing keeps its own.
        const QString title = pemby::trimWhitespace(stored.title);
        if (!title.isEmpty() && title != plan.title)
            take.title = title;
    }
    if (onlyStored(plan.done, stored.done, base->done))
        take.done = stored.done;
    if (onlyStored(std::pair(plan.noteID, plan.note), std::pair(stored.noteID, stored.note),
                   std::pair(base->noteID, base->note)))
        take.note = std::pair(stored.noteID, stored.note);
    if (onlyStored(plan.steps, stored.steps, base->steps))
        take.steps = stored.steps;
    // Moved to another day there. A row that lost its day stays where the plan has it:
    // the plan cannot tell which list it would go to.
    if (onlyStored(plan.day, stored.day, base->day) && stored.day && Day::fromIso(*stored.day))
        take.day = *stored.day;
    return take;
}

std::optional<FamilySync::Agreed> FamilySync::base(const QString& id) const
{
    if (const auto own = base_.constFind(id); own != base_.cend())
        return *own;
    if (const auto logged = logged_.constFind(id); logged != logged_.cend())
        return *logged;
    return std::nullopt;
}

FamilyStore::Guard FamilySync::guard() const
{
    return [this](const SharedThing* planned, const SharedThing& stored) {
        const std::optional<Agreed> agreed = base(stored.id);
        if (!agreed)
            return true;
        // Gone from the plan (deleted here, or a week not loaded now) but changed
        // there since: it stays, so that edit is not lost.
        if (!planned)
            return Agreed::of(stored) == *agreed;
        return merge(Agreed::of(*planned), Agreed::of(stored), agreed).isEmpty();
    };
}

namespace {

QString rowID(const Thing& thing)
{
    return thing.syncID ? *thing.syncID : thing.id.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

SharedThing FamilySync::row(const Thing& thing, const std::optional<Day>& day, double now) const
{
    SharedThing row;
    row.id = rowID(thing);
    row.title = thing.title;
    row.done = thing.done;
    if (day)
        row.day = day->iso();
    row.zs = thing.zs;
    if (!thing.steps.isEmpty()) {
        row.steps.reserve(thing.steps.size());
        for (const Step& step : thing.steps)
            row.steps.append(SharedStep{step.title, step.done});
    }
    row.note = thing.note;
    row.noteID = thing.noteID;
    row.link = thing.link;
    row.sourceApp = app_;
    row.updatedAt = now;
    return row;
}

std::optional<Thing> FamilySync::ownThing(const Planner& plan, const QString& id, std::optional<Place>* at) const
{
    // A thing that moved since the last publication is in a changed place, and so
    // already among the rows: one that is not where it stood is gone.
    const auto place = placeOf_.constFind(id);
    if (place == placeOf_.cend())
        return std::nullopt;
    const QList<Thing> there = plan.things(*place);
    const auto thing = std::find_if(there.cbegin(), there.cend(), [&](const Thing& t) { return t.syncID == id; });
    if (thing == there.cend())
        return std::nullopt;
    *at = *place;
    return *thing;
}

FamilyStore::Publication FamilySync::publish(const Planner& plan, double now,
                                             std::optional<std::chrono::milliseconds> wait)
{
    const FamilyStore::Guard guarded = guard();
    const auto notAgreed = [](const FamilyStore::Publication& published) {
        QSet<QString> ids(published.heldBack.cbegin(), published.heldBack.cend());
        for (const QString& id : published.refused)
            ids.insert(id);
        return ids;
    };
    if (!published_) {
        // Every row: the store may hold rows the plan no longer has (a week not loaded
        // now, a thing deleted while the planner was closed), which only a look at all
        // of them finds.
        FamilyStore::RowGroups groups;
        QHash<QString, Place> places;
        const auto add = [&](const Place& place, const QList<Thing>& things) {
            QList<SharedThing> rows;
            rows.reserve(things.size());
            for (const Thing& thing : things) {
                rows.append(row(thing, place.day(), now));
                if (!places.contains(rows.last().id))
                    places.insert(rows.last().id, place);
            }
            groups.append(rows);
        };
        for (auto it = plan.days.cbegin(); it != plan.days.cend(); ++it)
            add(Place::onDay(it.key()), *it);
        for (qsizetype l = 0; l < plan.lists.size(); ++l)
            add(Place::inList(int(l)), plan.lists[l].things);
        for (auto it = plan.months.cbegin(); it != plan.months.cend(); ++it)
            add(Place::inMonth(it.key()), *it);
        FamilyStore::Publication published = store_.publish(groups, app_, wait, guarded);
        if (published.answer.isFailed())
            return published;
        const QSet<QString> held = notAgreed(published);
        for (const QList<SharedThing>& rows : std::as_const(groups))
            agreed(rows, held);
        published_ = plan;
        placeOf_ = std::move(places);
        again_ = held;
        return published;
    }

    // Only what changed since: the things that differ in the places that changed, and
    // the rows to look at again. What is gone from a changed place is gone from the
    // store too, unless it stands in another one now.
    const QList<Place> changed = plan.changedPlaces(*published_);
    QList<SharedThing> rows;
    // A thing that left its place may stand in another changed place now: only what
    // no changed place holds any more is gone.
    QSet<QString> left;
    QSet<QString> came;
    QList<std::pair<QString, Place>> placed;
    for (const Place& place : changed) {
        const QList<Thing> things = plan.things(place);
        const QList<Thing> before = published_->things(place);
        // Mostly one thing changed where it stood, and the rest are the very things
        // published: they are passed over without a look at their ids.
        qsizetype i = 0;
        for (; i < things.size() && i < before.size() && things[i].id == before[i].id
               && things[i].syncID == before[i].syncID;
             ++i) {
            if (!(things[i] == before[i]))
                rows.append(row(things[i], place.day(), now));
        }
        if (i == things.size() && i == before.size())
            continue;
        QHash<QUuid, qsizetype> was;
        for (qsizetype k = i; k < before.size(); ++k)
            was.insert(before[k].id, k);
        for (qsizetype k = i; k < things.size(); ++k) {
            const auto found = was.constFind(things[k].id);
            if (found == was.cend() || !(before[*found] == things[k]))
                rows.append(row(things[k], place.day(), now));
            came.insert(rowID(things[k]));
            placed.append({rowID(things[k]), place});
        }
        for (qsizetype k = i; k < before.size(); ++k)
            left.insert(rowID(before[k]));
    }
    // The rows already among them; a row to look at again is added once.
    QSet<QString> named;
    QStringList gone;
    for (const QString& id : std::as_const(left)) {
        if (!came.contains(id))
            gone.append(id);
    }
    for (const SharedThing& shared : std::as_const(rows))
        named.insert(shared.id);
    for (const QString& id : std::as_const(again_)) {
        if (named.contains(id))
            continue;
        std::optional<Place> place;
        if (const auto thing = ownThing(plan, id, &place)) {
            rows.append(row(*thing, place->day(), now));
            named.insert(id);
        } else if (!left.contains(id)) {
            gone.append(id);
        }
    }
    FamilyStore::Publication published = store_.publishChanged(rows, gone, app_, wait, guarded);
    if (published.answer.isFailed())
        return published;
    const QSet<QString> held = notAgreed(published);
    agreed(rows, held);
    // The things that stayed where they were published are where placeOf_ has them.
    for (const auto& [id, place] : std::as_const(placed))
        placeOf_.insert(id, place);
    published_ = plan;
    again_ = held;
    return published;
}

Result<FamilyStore::Changes> FamilySync::readChanges()
{
    Result<FamilyStore::Changes> changes = store_.changesSince(seq_);
    if (!changes)
        return changes;
    if (changes->whole)
        logged_.clear();
    for (const FamilyStore::Change& change : std::as_const(changes->rows)) {
        if (change.row.sourceApp != app_)
            continue;
        // Written by another app: the next publication looks at it, changed here or not.
        if (change.live && !change.publisherWroteLast && published_)
            again_.insert(change.row.id);
        if (change.publisherWroteLast)
            logged_.insert(change.row.id, Agreed::of(change.row));
        else if (change.before)
            logged_.insert(change.row.id, *change.before);
        else
            logged_.remove(change.row.id);
    }
    seq_ = changes->seq;
    return changes;
}

void FamilySync::agreed(const QList<SharedThing>& rows, const QSet<QString>& heldBack)
{
    QList<std::pair<QString, Agreed>> changed;
    for (const SharedThing& row : rows) {
        if (heldBack.contains(row.id))
            continue;
        Agreed agreed = Agreed::of(row);
        auto it = base_.find(row.id);
        if (it != base_.end() && *it == agreed)
            continue;
        if (it == base_.end())
            it = base_.insert(row.id, agreed);
        else
            *it = agreed;
        changed.append({row.id, std::move(agreed)});
    }
    keep(changed);
}

void FamilySync::settled(const QString& id, const Agreed& plan, const Agreed& stored)
{
    std::optional<Agreed> agreed = base(id);
    if (!agreed) {
        if (!(plan == stored))
            return;
        agreed = stored;
    }
    Agreed next = *agreed;
    if (plan.title == stored.title)
        next.title = stored.title;
    if (plan.done == stored.done)
        next.done = stored.done;
    if (plan.day == stored.day)
        next.day = stored.day;
    if (plan.steps == stored.steps)
        next.steps = stored.steps;
    if (plan.note == stored.note && plan.noteID == stored.noteID) {
        next.note = stored.note;
        next.noteID = stored.noteID;
    }
    if (base_.value(id) == next && base_.contains(id))
        return;
    base_.insert(id, next);
    keep({{id, next}});
}

void FamilySync::keep(const QList<std::pair<QString, Agreed>>& changed)
{
    if (changed.isEmpty() || !file_.isOpen())
        return;
    if (!put_)
        put_ = std::make_unique<SqliteStatement>(file_, "INSERT OR REPLACE INTO base (id, title, done, day, steps_json, "
                                                        "note, note_id) VALUES (?, ?, ?, ?, ?, ?, ?);");
    // One transaction: the base on disk is the one of a whole publication or the last.
    // A single row is a transaction of its own.
    const bool several = changed.size() > 1;
    if (several)
        file_.exec("BEGIN;");
    for (const auto& [id, agreed] : changed) {
        put_->reset();
        put_->bindText(1, id);
        put_->bindText(2, agreed.title);
        put_->bindInt64(3, agreed.done ? 1 : 0);
        put_->bindOptionalText(4, agreed.day);
        put_->bindText(5, pemby::encodeSharedSteps(agreed.steps));
        put_->bindText(6, agreed.note);
        put_->bindOptionalText(7, agreed.noteID);
        if (!put_->run()) {
            if (several)
                file_.exec("ROLLBACK;");
            qCWarning(lcSync) << "couldn't keep the sync's base:" << put_->failure()->message;
            // Made anew next time, so one failure does not stay with the statement.
            put_.reset();
            return;
        }
    }
    if (several)
        file_.exec("COMMIT;");
}

void FamilySync::forget()
{
    published_.reset();
    placeOf_.clear();
    again_.clear();
    base_.clear();
    logged_.clear();
    seq_ = 0;
    if (file_.isOpen())
        file_.exec("DELETE FROM base;");
}

FamilyStore::Answer FamilySync::setOthersDone(const QString& id, const QString& sourceApp, bool done)
{
    return changeOthers(OthersEdit{id, sourceApp, done, std::nullopt});
}

FamilyStore::Answer FamilySync::setOthersTitle(const QString& id, const QString& sourceApp, const QString& title)
{
    return changeOthers(OthersEdit{id, sourceApp, std::nullopt, title});
}

FamilyStore::Answer FamilySync::changeOthers(const OthersEdit& edit)
{
    OthersEdit left = edit;
    // Behind a change that waits, it waits too: the store gets them in the order made,
    // and the window does not wait for the lock again.
    if (waiting_.isEmpty()) {
        const FamilyStore::Answer answer = write(left, std::nullopt);
        if (!answer.busy)
            return answer;
    }
    const auto same = std::find_if(waiting_.begin(), waiting_.end(), [&](const OthersEdit& e) { return e.id == left.id; });
    if (same == waiting_.end()) {
        waiting_.append(left);
    } else {
        if (left.done)
            same->done = left.done;
        if (left.title)
            same->title = left.title;
    }
    qCInfo(lcSync) << "another app holds the family store; the change of" << edit.id << "waits for it";
    if (!retry_.isActive())
        retry_.start();
    FamilyStore::Answer waits;
    waits.busy = true;
    return waits;
}

FamilyStore::Answer FamilySync::write(OthersEdit& edit, FamilyStore::Wait wait)
{
    // Each part the store took is done with; what is left waits. A part written before
    // the next one failed is told of with the changes that waited.
    FamilyStore::Answer result;
    const auto took = [&](const FamilyStore::Answer& answer) {
        if (answer.isFailed()) {
            othersChanged_ = othersChanged_ || result.isChanged();
            result = answer;
            return false;
        }
        if (answer.isChanged())
            result.kind = FamilyStore::Answer::Kind::Changed;
        return true;
    };
    if (edit.done) {
        if (!took(store_.setDone(edit.id, *edit.done, wait)))
            return result;
        edit.done.reset();
    }
    if (edit.title) {
        if (!took(store_.setTitle(edit.id, *edit.title, wait)))
            return result;
        edit.title.reset();
    }
    return result;
}

void FamilySync::retryOthers(bool quitting)
{
    if (waiting_.isEmpty())
        return;
    retry_.stop();
    // The first try waited for the lock; these do not, so the window never waits on it
    // again. Quitting, there is no later: the store's whole wait, once.
    const FamilyStore::Wait wait = quitting ? FamilyStore::Wait() : FamilyStore::Wait(0ms);
    OthersWritten done;
    while (!waiting_.isEmpty()) {
        const FamilyStore::Answer answer = write(waiting_.first(), wait);
        if (answer.busy) {
            if (!quitting) {
                retry_.start();
                return;
            }
            qCWarning(lcSync) << "quitting while another app holds the family store:" << waiting_.size()
                              << "changes of its things were not written";
            waiting_.clear();
            return;
        }
        if (answer.isFailed() && !done.refused) {
            done.refused = answer;
            done.refusedApp = waiting_.first().sourceApp;
        }
        done.changed = done.changed || answer.isChanged();
        waiting_.removeFirst();
    }
    done.changed = std::exchange(othersChanged_, false) || done.changed;
    qCInfo(lcSync) << "the changes of other apps' things that waited for the family store went through";
    // The rows read meanwhile showed what waited: a refused change is read back whole.
    if (done.refused)
        seq_ = 0;
    if (othersWritten_)
        othersWritten_(done);
}

QList<SharedThing> FamilySync::withWaiting(QList<SharedThing> rows) const
{
    if (waiting_.isEmpty())
        return rows;
    for (const OthersEdit& edit : waiting_) {
        for (SharedThing& row : rows) {
            if (row.id != edit.id)
                continue;
            if (edit.done)
                row.done = *edit.done;
            if (edit.title)
                row.title = *edit.title;
        }
    }
    return rows;
}
