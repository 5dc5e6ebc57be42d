// Which days the boards show, the main window's three texts, moving through weeks and
// months, and the heartbeat that picks up outside edits and a new day.
#include "appmodel.h"

#include "appmodelstate.h"
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
    const Day start = anchor_.startOfWeek(firstWeekday());
    QList<Day> days;
    for (int i = 0; i < 7; ++i)
        days.append(start.adding(i));
    return days;
}

QList<QList<Day>> AppModel::monthWeeks() const
{
    const MonthKey month = anchor_.monthKey();
    const Day last = month.adding(1).first().adding(-1);
    QList<QList<Day>> weeks;
    for (Day start = month.first().startOfWeek(firstWeekday()); !(last < start);) {
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
    if (!splitWeekend_)
        return false;
    const QList<Day> days = weekDays();
    return d_->weekend.contains(days[5].weekday()) && d_->weekend.contains(days[6].weekday());
}

QString AppModel::title() const
{
    switch (mode_) {
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
        return fullMonthNames()[anchor_.month - 1];
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
            for (const Thing& thing : planner_.things(Place::onDay(day))) {
                ++all;
                done += thing.done;
            }
        }
    };
    qsizetype all = 0;
    qsizetype done = 0;
    switch (mode_) {
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
                if (day.monthKey() == anchor_.monthKey())
                    inMonth.append(day);
            }
        }
        count(inMonth, all, done);
        return number(anchor_.year) + QStringLiteral(" · ") + number(all) + QStringLiteral(" things. ") + number(done)
            + QStringLiteral(" done-ish.");
    }
    case Mode::Notes:
        switch (const qsizetype n = notes_->notes().size()) {
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
    if (saveError_)
        return *saveError_;
    if (d_->rollOverHeld)
        return QStringLiteral("unfinished things stay where they are: ") + *d_->rollOverHeld;
    if (syncError_)
        return QStringLiteral("sync is off: ") + *syncError_;
    if (syncWaits())
        return QStringLiteral("sync waits: another app is writing to the family store");
    if (mode_ != Mode::Notes && !skippedPlanFiles_.isEmpty())
        return pemby::skippedEntriesText(skippedPlanFiles_);
    switch (mode_) {
    case Mode::Month:
        return darkAppearance ? QStringLiteral("One square per thing. Light means done.")
                              : QStringLiteral("One square per thing. Dark means done.");
    case Mode::Notes:
        if (notes_->saveError())
            return *notes_->saveError();
        if (!notes_->skippedFiles().isEmpty())
            return pemby::skippedEntriesText(notes_->skippedFiles());
        return QStringLiteral("The same notes as Pemby Notes. Edit them in either.");
    case Mode::Week:
        for (const Day day : weekDays()) {
            if (const int open = planner_.openCount(day); open > Planner::softCap)
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
    const Day moved = mode_ == Mode::Month ? anchor_.monthKey().adding(steps).first() : anchor_.adding(7 * steps);
    assign(anchor_, moved, &AppModel::anchorChanged);
    clearSelection();
    setEmptyBannerSpent(true);
    loadVisible();
}

void AppModel::goToday()
{
    const Transition transition(*this);
    setEmptyBannerSpent(true);
    assign(anchor_, today_, &AppModel::anchorChanged);
    loadVisible();
}

void AppModel::showDay(Day day, Mode mode)
{
    const Transition transition(*this);
    setEmptyBannerSpent(true);
    assign(anchor_, day, &AppModel::anchorChanged);
    // A change to a board loads what it shows already; the board must not be read twice.
    if (!switchMode(mode) || mode == Mode::Notes)
        loadVisible();
}

void AppModel::refresh(const QDateTime& now)
{
    const Transition transition(*this);
    checkFamilyStore();
    if (mode_ == Mode::Notes)
        notes_->reloadInSteps();
    const Planner before = planner_;
    const PlannerStore::FilesRead reread =
        readPlanFiles([](PlannerStore& store, Planner& plan) { store.reloadIfChanged(plan); });
    if (!reread.isEmpty()) {
        clearSelection();
        followReread(before);
        // The siblings are to see what the files say now.
        scheduleSync();
    }

    const Day day = pinnedToday_ ? *pinnedToday_ : Day::fromDateTime(now, d_->zone);
    if (day == today_) {
        // Today's week reads again: what waited for it comes now.
        if (d_->rollOverHeld && !store_.unreadableWeek(today_.monday())) {
            const int carried = rollOverTo(today_);
            save(true);
            if (carried > 0)
                showToast(number(carried) + QStringLiteral(" rolled over. we've all been there."));
        }
        return;
    }
    const bool anchorOnToday = anchor_ == today_;
    assign(today_, day, &AppModel::todayChanged);
    // Yesterday's weeks want no more reminders: the next save looks at every week.
    d_->remindersSynced.reset();
    if (anchorOnToday)
        assign(anchor_, day, &AppModel::anchorChanged);
    readPlanFiles([day](PlannerStore& store, Planner& plan) { store.loadWeek(day.monday(), plan); });

    const int carried = rollOverTo(day);
    loadVisible();
    save(true);
    if (carried > 0)
        showToast(number(carried) + QStringLiteral(" rolled over. we've all been there."));
}

// Rolls unfinished things over to `day`, unless the day's week file can't be read:
// nothing leaves a file that reads for one that doesn't. Then they wait where they
// are, and the footnote says why. How many were carried.
int AppModel::rollOverTo(Day day)
{
    Planner rolled = planner_;
    const int carried = rolled.rollOver(day);
    // Only what would move is held back: with nothing to carry the footnote has nothing to say.
    const auto unreadable = carried > 0 ? store_.unreadableWeek(day.monday()) : std::nullopt;
    // The footnote's text, which follows the save error's signal.
    assign(d_->rollOverHeld, unreadable, &AppModel::saveErrorChanged);
    if (unreadable) {
        qCWarning(lcStore) << "not rolling over:" << *unreadable;
        return 0;
    }
    setPlanner(std::move(rolled));
    return carried;
}

// After a re-read gave the things of the re-read files fresh ids: an inline edit, an
// open detail or a note sheet of such a thing follows it to its new id, or ends when
// it is gone.
void AppModel::followReread(const Planner& before)
{
    // Things keep their id only as long as their file is not read again. The one being
    // edited is found again by its sync id, else where it stood under the same title,
    // so the edit field, the detail and the note sheet keep what was typed and save to
    // it.
    const auto follow = [&](const QUuid& id) -> std::optional<QUuid> {
        if (planner_.locate(id))
            return id;
        const auto old = before.thing(id);
        const auto at = before.locate(id);
        if (!old || !at)
            return std::nullopt;
        if (old->syncID) {
            if (const auto found = planner_.thingWithSyncID(*old->syncID))
                return found->id;
        }
        const QList<Thing> there = planner_.things(at->place);
        if (at->index < there.size() && there[at->index].title == old->title)
            return there[at->index].id;
        return std::nullopt;
    };
    if (editing_ && editing_->isThing()) {
        const auto id = follow(editing_->thingID());
        setEditing(id ? std::optional<Editing>(Editing::thing(*id)) : std::nullopt);
    }
    if (opened_)
        setOpened(follow(*opened_));
    if (editingNote_)
        setEditingNote(follow(*editingNote_));
}
