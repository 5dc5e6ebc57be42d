// Which days the boards show, the main window's three texts, moving through weeks and
// months, and the heartbeat that picks up outside edits and a new day.
#include "appmodel.h"

#include "appmodelstate.h"
#include "appmodelsyncstate.h"
#include "familystore.h"
#include "logcategories.h"
#include "notesmodel.h"
#include "textfile.h"

namespace {

const QStringList& fullMonthNames()
{
    static const QStringList names{
        QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),     QStringLiteral("april"),
        QStringLiteral("may"),     QStringLiteral("june"),     QStringLiteral("july"),      QStringLiteral("august"),
        QStringLiteral("september"), QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december"),
    };
    return names;
}

QString number(qsizetype n)
{
    return QString::number(n);
}

} // namespace

const QStringList& AppModel::dayNames()
{
    static const QStringList names{
        QStringLiteral("sun"), QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"),
        QStringLiteral("thu"), QStringLiteral("fri"), QStringLiteral("sat"),
    };
    return names;
}

const QStringList& AppModel::monthNames()
{
    static const QStringList names{
        QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"), QStringLiteral("apr"),
        QStringLiteral("may"), QStringLiteral("jun"), QStringLiteral("jul"), QStringLiteral("aug"),
        QStringLiteral("sep"), QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec"),
    };
    return names;
}

QList<Day> AppModel::weekDays() const
{
    const Day start = d_->anchor.startOfWeek(Steps::firstWeekday(*this));
    QList<Day> days;
    for (int i = 0; i < 7; ++i)
        days.append(start.adding(i));
    return days;
}

QList<QList<Day>> AppModel::monthWeeks() const
{
    const MonthKey month = d_->anchor.monthKey();
    const Day last = month.adding(1).first().adding(-1);
    QList<QList<Day>> weeks;
    for (Day start = month.first().startOfWeek(Steps::firstWeekday(*this)); !(last < start);) {
        QList<Day> week;
        for (int i = 0; i < 7; ++i)
            week.append(start.adding(i));
        weeks.append(week);
        const Day next = start.adding(7);
        if (!(start < next))
            break;
        start = next;
    }
    return weeks;
}

bool AppModel::weekendShares() const
{
    if (!d_->splitWeekend)
        return false;
    const QList<Day> days = weekDays();
    return d_->weekend.contains(days[5].weekday()) && d_->weekend.contains(days[6].weekday());
}

QString AppModel::title() const
{
    switch (d_->mode) {
    case Mode::Week: {
        const QList<Day> days = weekDays();
        const Day a = days.first();
        const Day b = days.last();
        QString text = monthNames()[a.month - 1] + u' ' + number(a.day) + u'-';
        if (b.monthKey() != a.monthKey())
            text += monthNames()[b.month - 1] + u' ';
        return text + number(b.day);
    }
    case Mode::Month:
        return fullMonthNames()[d_->anchor.month - 1];
    case Mode::Notes:
        return QStringLiteral("notes");
    }
    return {};
}

QString AppModel::subtitle() const
{
    const auto count = [this](const QList<Day>& days, qsizetype& all, qsizetype& done) {
        all = done = 0;
        for (const Day day : days) {
            for (const Thing& thing : d_->planner.things(Place::onDay(day))) {
                ++all;
                done += thing.done;
            }
        }
    };
    qsizetype all = 0;
    qsizetype done = 0;
    switch (d_->mode) {
    case Mode::Week: {
        const QList<Day> days = weekDays();
        const QString week = QStringLiteral("Week ") + number(days[3].isoWeek().week);
        count(days, all, done);
        if (all == 0)
            return week + QStringLiteral(" · nothing planned.");
        return week + QStringLiteral(" · ") + number(all - done) + QStringLiteral(" left. ") + number(done)
            + QStringLiteral(" done-ish.");
    }
    case Mode::Month: {
        QList<Day> inMonth;
        for (const QList<Day>& week : monthWeeks()) {
            for (const Day day : week) {
                if (day.monthKey() == d_->anchor.monthKey())
                    inMonth.append(day);
            }
        }
        count(inMonth, all, done);
        return number(d_->anchor.year) + QStringLiteral(" · ") + number(all) + QStringLiteral(" things. ") + number(done)
            + QStringLiteral(" done-ish.");
    }
    case Mode::Notes:
        switch (const qsizetype n = d_->notes->notes().size()) {
        case 0:
            return QStringLiteral("nothing written down. suspicious.");
        case 1:
            return QStringLiteral("1 note, shared with Pemby Notes.");
        default:
            return number(n) + QStringLiteral(" notes, shared with Pemby Notes.");
        }
    }
    return {};
}

QString AppModel::footnote(bool darkAppearance) const
{
    if (d_->saveError)
        return *d_->saveError;
    if (d_->rollOverHeld)
        return QStringLiteral("unfinished things stay where they are: ") + *d_->rollOverHeld;
    if (d_->syncError)
        return QStringLiteral("sync is off: ") + *d_->syncError;
    if (syncWaits())
        return QStringLiteral("sync waits: another app is writing to the family store");
    if (d_->mode != Mode::Notes && !d_->skippedPlanFiles.isEmpty())
        return pemby::skippedEntriesText(d_->skippedPlanFiles);
    switch (d_->mode) {
    case Mode::Month:
        return darkAppearance ? QStringLiteral("One square per thing. Light means done.")
                              : QStringLiteral("One square per thing. Dark means done.");
    case Mode::Notes:
        if (d_->notes->saveError())
            return *d_->notes->saveError();
        if (!d_->notes->skippedFiles().isEmpty())
            return pemby::skippedEntriesText(d_->notes->skippedFiles());
        return QStringLiteral("The same notes as Pemby Notes. Edit them in either.");
    case Mode::Week:
        for (const Day day : weekDays()) {
            if (const int open = d_->planner.openCount(day); open > Planner::softCap)
                return QStringLiteral("that's ") + number(open) + QStringLiteral(" on ") + dayNames()[day.weekday() - 1]
                    + QStringLiteral(". bold.");
        }
        break;
    }
    return number(Planner::softCap) + QStringLiteral(" a day is plenty. The rest can wait.");
}

void AppModel::go(int steps)
{
    const Transition transition(*this);
    const Day moved = d_->mode == Mode::Month ? d_->anchor.monthKey().adding(steps).first() : d_->anchor.adding(7 * steps);
    assign(d_->anchor, moved, &AppModel::anchorChanged);
    selection().clear();
    setEmptyBannerSpent(true);
    Steps::loadVisible(*this);
}

void AppModel::goToday()
{
    const Transition transition(*this);
    setEmptyBannerSpent(true);
    assign(d_->anchor, d_->today, &AppModel::anchorChanged);
    Steps::loadVisible(*this);
}

void AppModel::showDay(Day day, Mode mode)
{
    const Transition transition(*this);
    setEmptyBannerSpent(true);
    assign(d_->anchor, day, &AppModel::anchorChanged);
    // A change to a board loads what it shows already; the board must not be read twice.
    if (!Steps::switchMode(*this, mode) || mode == Mode::Notes)
        Steps::loadVisible(*this);
}

void AppModel::refresh(const QDateTime& now)
{
    const Transition transition(*this);
    Sync::checkFamilyStore(*this);
    if (d_->mode == Mode::Notes)
        d_->notes->reloadInSteps();
    const Planner before = d_->planner;
    const PlannerStore::FilesRead reread =
        Steps::readPlanFiles(*this, [](PlannerStore& store, Planner& plan) { store.reloadIfChanged(plan); });
    if (!reread.isEmpty()) {
        selection().clear();
        Steps::followReread(*this, before);
        // The siblings are to see what the files say now.
        scheduleSync();
    }

    const Day day = d_->pinnedToday ? *d_->pinnedToday : Day::fromDateTime(now, d_->zone);
    if (day == d_->today) {
        // Today's week reads again: what waited for it comes now.
        if (d_->rollOverHeld && !d_->store.unreadableWeek(d_->today.monday())) {
            const int carried = Steps::rollOverTo(*this, d_->today);
            Steps::save(*this, true);
            if (carried > 0)
                showToast(number(carried) + QStringLiteral(" rolled over. we've all been there."));
        }
        return;
    }
    const bool anchorOnToday = d_->anchor == d_->today;
    assign(d_->today, day, &AppModel::todayChanged);
    // Yesterday's weeks want no more reminders: the next save looks at every week.
    d_->remindersSynced.reset();
    if (anchorOnToday)
        assign(d_->anchor, day, &AppModel::anchorChanged);
    Steps::readPlanFiles(*this, [day](PlannerStore& store, Planner& plan) { store.loadWeek(day.monday(), plan); });

    const int carried = Steps::rollOverTo(*this, day);
    Steps::loadVisible(*this);
    Steps::save(*this, true);
    if (carried > 0)
        showToast(number(carried) + QStringLiteral(" rolled over. we've all been there."));
}

// Rolls unfinished things over to `day`, unless the day's week file can't be read:
// nothing leaves a file that reads for one that doesn't. Then they wait where they
// are, and the footnote says why. How many were carried.
int AppModel::Steps::rollOverTo(AppModel& m, Day day)
{
    Planner rolled = m.d_->planner;
    const int carried = rolled.rollOver(day);
    // Only what would move is held back: with nothing to carry the footnote has nothing to say.
    const auto unreadable = carried > 0 ? m.d_->store.unreadableWeek(day.monday()) : std::nullopt;
    // The footnote's text, which follows the save error's signal.
    m.assign(m.d_->rollOverHeld, unreadable, &AppModel::saveErrorChanged);
    if (unreadable) {
        qCWarning(lcStore) << "not rolling over:" << *unreadable;
        return 0;
    }
    setPlanner(m, std::move(rolled));
    return carried;
}

// After a re-read gave the things of the re-read files fresh ids: an inline edit, an
// open detail or a note sheet of such a thing follows it to its new id, or ends when
// it is gone.
void AppModel::Steps::followReread(AppModel& m, const Planner& before)
{
    State& d = *m.d_;
    // Things keep their id only as long as their file is not read again. The one being
    // edited is found again by its sync id, else where it stood under the same title,
    // so the edit field, the detail and the note sheet keep what was typed and save to
    // it.
    const auto follow = [&](const QUuid& id) -> std::optional<QUuid> {
        if (d.planner.locate(id))
            return id;
        const auto old = before.thing(id);
        const auto at = before.locate(id);
        if (!old || !at)
            return std::nullopt;
        if (old->syncID) {
            if (const auto found = d.planner.thingWithSyncID(*old->syncID))
                return found->id;
        }
        const QList<Thing> there = d.planner.things(at->place);
        if (at->index < there.size() && there[at->index].title == old->title)
            return there[at->index].id;
        return std::nullopt;
    };
    if (d.editing && d.editing->isThing()) {
        const auto id = follow(d.editing->thingID());
        m.setEditing(id ? std::optional<Editing>(Editing::thing(*id)) : std::nullopt);
    }
    if (d.opened)
        m.setOpened(follow(*d.opened));
    if (d.editingNote)
        m.setEditingNote(follow(*d.editingNote));
}
