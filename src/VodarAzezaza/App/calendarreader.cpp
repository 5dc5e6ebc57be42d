#include "calendarreader.h"

#include "logcategories.h"
#include "textfile.h"
#include "wallclock.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>

#include <libical/ical.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <tuple>
#include <vector>

namespace {

// Bigger than any calendar a person keeps; a file past it is not a calendar we can show.
constexpr qint64 maxFileBytes = 16 * 1024 * 1024;
// Steps of one rule's expansion per read. Real rules reach the range in far fewer; a
// rule that would not (every second for years) must not freeze the read.
constexpr int maxRecurrenceSteps = 200000;
// What one file may cost in one range, all its events together: steps of its rules and
// dates written down, and lines made. A calendar of a person's stays far below; a file
// made to be expensive is cut short there, and the log names it.
constexpr qint64 maxFileSteps = 1000000;
constexpr size_t maxWindowLines = 10000;
// Expanded windows each file keeps: the boards go back and forth between a few.
constexpr size_t windowsKept = 2;

// libical keeps process-wide state (its error number, the built-in zones it loads on
// demand), so all of its use, and the cache of parsed files with it, runs under one lock.
QMutex& icalLock()
{
    static QMutex lock;
    return lock;
}

struct TreeFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Tree = std::unique_ptr<icalcomponent, TreeFree>;

// One instance of an event as the board shows it.
struct Line {
    qint64 start = 0;  // milliseconds since 1970; all-day: the start of the date in the reader's zone
    Day day;           // the day it starts on, in the reader's zone
    QString text;
};

// A file's instances in one range, in time order (ties in file order).
struct Window {
    qint64 from = 0;
    qint64 to = 0;
    std::vector<Line> lines;
    quint64 serial = 0;  // unique to this expansion: the merged lines of a read are known by these
};

struct ParsedFile {
    QDateTime modified;
    qint64 size = -1;
    Tree tree;  // null when the file did not parse: it is skipped until it changes
    // The events in file order, each with the calendar whose VTIMEZONEs it refers to.
    std::vector<std::pair<icalcomponent*, icalcomponent*>> events;
    // The last instance of each counted RRULE, found once per parse: with it as UNTIL
    // the rule can jump to the range like any other (nullopt: it could not be walked).
    std::map<icalproperty*, std::optional<icaltimetype>> countedEnds;
    // The newest first.
    std::deque<Window> windows;
};

QDate dateOf(const icaltimetype& t)
{
    return QDate(t.year, t.month, t.day);
}

int offsetIn(icaltimezone* zone, qint64 utc)
{
    icaltimetype at = icaltime_from_timet_with_zone(time_t(utc), 0, icaltimezone_get_utc_timezone());
    int daylight = 0;
    return icaltimezone_get_utc_offset_of_utc_time(zone, &at, &daylight);
}

struct Instant {
    QDateTime at;          // invalid when the fields name no date or time
    bool skipped = false;  // a local time the clocks jump over
};

// The instant of a libical time: UTC as it says, zoned and floating times read the
// iCalendar way (wallclock.h), dates at the start of the day in the reader's zone. An
// all-day date never passes through UTC, so it keeps its date west of Greenwich too.
Instant instantOf(const icaltimetype& t, const QTimeZone& local)
{
    const QDate date = dateOf(t);
    if (!date.isValid())
        return {};
    if (t.is_date)
        return {date.startOfDay(local)};
    const QTime time(t.hour, t.minute, t.second);
    if (!time.isValid())
        return {};
    if (icaltime_is_utc(t))
        return {QDateTime(date, time, QTimeZone::utc())};
    if (t.zone) {
        auto* zone = const_cast<icaltimezone*>(t.zone);
        const qint64 wall = QDateTime(date, time, QTimeZone::utc()).toSecsSinceEpoch();
        const pemby::WallClockInstant resolved =
            pemby::resolveWallClock(wall, [zone](qint64 utc) { return offsetIn(zone, utc); });
        return {QDateTime::fromSecsSinceEpoch(resolved.utcSeconds, QTimeZone::utc()), resolved.skipped};
    }
    const pemby::ZonedInstant resolved = pemby::atWallClock(date, time, local);
    return {resolved.instant, resolved.skipped};
}

// The same instant as a libical time in the frame of `like` (its zone, UTC, floating or date).
icaltimetype timeLike(const QDateTime& instant, const icaltimetype& like, const QTimeZone& local)
{
    if (!like.is_date && (icaltime_is_utc(like) || like.zone)) {
        const icaltimezone* zone = like.zone ? like.zone : icaltimezone_get_utc_timezone();
        return icaltime_from_timet_with_zone(time_t(instant.toSecsSinceEpoch()), 0, zone);
    }
    const QDateTime wall = instant.toTimeZone(local);
    icaltimetype t = icaltime_null_time();
    t.year = wall.date().year();
    t.month = wall.date().month();
    t.day = wall.date().day();
    t.is_date = like.is_date;
    if (!like.is_date) {
        t.hour = wall.time().hour();
        t.minute = wall.time().minute();
        t.second = wall.time().second();
    }
    return t;
}

// Attaches the zone a property's TZID names: a VTIMEZONE of the file first, then
// libical's built-in zones (plain Olson names and its own prefixed ones). A TZID that
// names nothing leaves the time floating, as other calendar programs do.
icaltimetype resolved(icalproperty* prop, icaltimetype t, icalcomponent* calendar)
{
    if (icaltime_is_null_time(t) || t.is_date || icaltime_is_utc(t))
        return t;
    icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
    const char* tzid = param ? icalparameter_get_tzid(param) : nullptr;
    icaltimezone* zone = nullptr;
    if (tzid && *tzid) {
        zone = calendar ? icalcomponent_get_timezone(calendar, tzid) : nullptr;
        if (!zone)
            zone = icaltimezone_get_builtin_timezone(tzid);
        if (!zone)
            zone = icaltimezone_get_builtin_timezone_from_tzid(tzid);
    }
    t.zone = zone;
    return t;
}

std::optional<icaltimetype> propertyTime(icalcomponent* event, icalproperty_kind kind,
                                         icalcomponent* calendar)
{
    icalproperty* prop = icalcomponent_get_first_property(event, kind);
    if (!prop)
        return std::nullopt;
    icaltimetype t = icaltime_null_time();
    switch (kind) {
    case ICAL_DTSTART_PROPERTY: t = icalproperty_get_dtstart(prop); break;
    case ICAL_DTEND_PROPERTY: t = icalproperty_get_dtend(prop); break;
    case ICAL_RECURRENCEID_PROPERTY: t = icalproperty_get_recurrenceid(prop); break;
    default: return std::nullopt;
    }
    t = resolved(prop, t, calendar);
    if (icaltime_is_null_time(t))
        return std::nullopt;
    return t;
}

// Orders two libical times of one frame (one zone, UTC, floating, or dates) by their
// fields, which is far cheaper than turning each into an instant.
int wallCompare(const icaltimetype& a, const icaltimetype& b)
{
    auto key = [](const icaltimetype& t) {
        return std::tuple(t.year, t.month, t.day, t.is_date ? 0 : t.hour, t.is_date ? 0 : t.minute,
                          t.is_date ? 0 : t.second);
    };
    const auto ka = key(a), kb = key(b);
    return ka < kb ? -1 : (kb < ka ? 1 : 0);
}

// Wall-clock fields counted as if they were UTC seconds: for stepping in the event's frame.
qint64 wallSeconds(const icaltimetype& t)
{
    return QDateTime(dateOf(t), QTime(t.is_date ? 0 : t.hour, t.is_date ? 0 : t.minute, t.is_date ? 0 : t.second),
                     QTimeZone::utc())
        .toSecsSinceEpoch();
}

// An EXDATE or a RECURRENCE-ID: the instance it names, by date when either side is a
// date (a date EXDATE against timed instances is common), else by instant.
struct Exclusion {
    bool byDate = false;
    QDate date;
    QDateTime instant;
};

Exclusion exclusionOf(const icaltimetype& t, const QTimeZone& local)
{
    return {bool(t.is_date), dateOf(t), t.is_date ? QDateTime() : instantOf(t, local).at};
}

bool isCancelled(icalcomponent* event)
{
    return icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED;
}

class EventExpander {
public:
    EventExpander(const QTimeZone& local, QDateTime rangeStart, QDateTime rangeEnd)
        : local_(local), rangeStart_(std::move(rangeStart)), rangeEnd_(std::move(rangeEnd)) {}

    // Where counted rules of the file being read keep their last instance.
    void setCountedEnds(std::map<icalproperty*, std::optional<icaltimetype>>* ends) { countedEnds_ = ends; }
    // Whether the file's budget ran out; the event under way then gives no lines.
    bool cut() const { return cut_; }

    // Appends the instances of `event` that overlap the range, in time order. `replaced`
    // holds the RECURRENCE-IDs of this event's instances that other VEVENTs override.
    void expand(icalcomponent* event, icalcomponent* calendar,
                const std::vector<icaltimetype>& replaced, std::vector<Line>& out) const;

private:
    struct Instance {
        icaltimetype start;
        std::optional<qint64> seconds;  // an RDATE period's own length
        bool generated = false;         // made by a rule, not written down
    };

    bool overlaps(const QDateTime& start, const QDateTime& end) const
    {
        // An instant event counts when it lies inside the range.
        return start < rangeEnd_ && (end > rangeStart_ || start >= rangeStart_);
    }
    void addRule(icalproperty* prop, const icaltimetype& dtstart, qint64 spanSeconds,
                 std::vector<Instance>& instances) const;
    std::optional<icaltimetype> lastInstance(icalproperty* prop, const icalrecurrencetype& rule,
                                             const icaltimetype& dtstart) const;
    QString lineText(const QDateTime& start, bool allDay, const QString& title) const;
    // Takes one step of the file's budget; false once it is spent.
    bool spend() const
    {
        if (stepsLeft_ <= 0) {
            cut_ = true;
            return false;
        }
        --stepsLeft_;
        return true;
    }

    QTimeZone local_;
    QDateTime rangeStart_;
    QDateTime rangeEnd_;
    std::map<icalproperty*, std::optional<icaltimetype>>* countedEnds_ = nullptr;
    mutable qint64 stepsLeft_ = maxFileSteps;
    mutable bool cut_ = false;
};

std::optional<icaltimetype> EventExpander::lastInstance(icalproperty* prop, const icalrecurrencetype& rule,
                                                        const icaltimetype& dtstart) const
{
    if (!countedEnds_)
        return std::nullopt;
    const auto found = countedEnds_->find(prop);
    if (found != countedEnds_->end())
        return found->second;
    std::optional<icaltimetype> last;
    if (icalrecur_iterator* it = icalrecur_iterator_new(rule, dtstart)) {
        icaltimetype end = icaltime_null_time();
        int steps = 0;
        bool finished = false;
        for (icaltimetype next = icalrecur_iterator_next(it); steps <= maxRecurrenceSteps && spend();
             next = icalrecur_iterator_next(it), ++steps) {
            if (icaltime_is_null_time(next)) {
                finished = true;
                break;
            }
            end = next;
        }
        icalrecur_iterator_free(it);
        if (finished)
            last = end;  // a null time: the rule has no instance at all
        else if (cut_)
            return std::nullopt;  // not known: a later range, with a budget of its own, counts again
    }
    countedEnds_->emplace(prop, last);
    return last;
}

// The time as bare wall-clock fields. libical steps a zoned start through the zone and
// then keeps the time it was moved to (02:30 on the night the clocks skip becomes 03:30,
// and so does every later day); stepped as fields, each instance keeps its own time
// and is read in the zone afterwards.
icaltimetype floating(icaltimetype t)
{
    t.zone = nullptr;
    return t;
}

void EventExpander::addRule(icalproperty* prop, const icaltimetype& zonedStart, qint64 spanSeconds,
                            std::vector<Instance>& instances) const
{
    const bool zoned = zonedStart.zone && !icaltime_is_utc(zonedStart);
    const auto frame = [zoned](const icaltimetype& t) { return zoned ? floating(t) : t; };
    const icaltimetype dtstart = frame(zonedStart);
    icalrecurrencetype rule = icalproperty_get_rrule(prop);
    // UNTIL is a UTC time when DTSTART has a zone: the same moment in its wall clock.
    if (zoned && !icaltime_is_null_time(rule.until) && !rule.until.is_date && icaltime_is_utc(rule.until))
        rule.until = floating(icaltime_convert_to_zone(rule.until, const_cast<icaltimezone*>(zonedStart.zone)));
    const bool subDaily = rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE
        || rule.freq == ICAL_HOURLY_RECURRENCE;
    // libical's jump makes up days that BYWEEKNO rules do not hold; such rules are
    // yearly and few, so they are walked.
    const bool canJump = rule.freq != ICAL_NO_RECURRENCE && rule.by_week_no[0] == ICAL_RECURRENCE_ARRAY_MAX;
    // libical cannot jump over a COUNT (it has to count what it skips); the same rule
    // ending at its last instance instead can.
    if (canJump && rule.count > 0) {
        if (const std::optional<icaltimetype> last = lastInstance(prop, rule, dtstart)) {
            if (icaltime_is_null_time(*last))
                return;
            rule.count = 0;
            rule.until = *last;
        }
    }

    const QDateTime first = instantOf(zonedStart, local_).at;
    const QDateTime from = rangeStart_.addSecs(-spanSeconds).addDays(-2);
    // Bounds in the event's own frame, a little wide; the exact test comes later.
    const icaltimetype low = frame(timeLike(from, zonedStart, local_));
    const icaltimetype high = frame(timeLike(rangeEnd_.addDays(2), zonedStart, local_));
    const bool farBehind = canJump && rule.count == 0 && first.isValid() && from > first;

    // Jump near the range instead of walking up from a start years ago. libical's jump
    // loses the phase of a rule shorter than a day, so such a rule starts over as the
    // same rule begun whole weeks later: same time of day, same weekday, same grid.
    icaltimetype start = dtstart;
    bool jumpIterator = farBehind && !subDaily;
    if (farBehind && subDaily) {
        const qint64 unit = rule.freq == ICAL_HOURLY_RECURRENCE ? 3600 : rule.freq == ICAL_MINUTELY_RECURRENCE ? 60 : 1;
        const qint64 period = std::max<qint64>(rule.interval, 1) * unit;
        constexpr qint64 week = 7 * 86400;
        const qint64 stride = std::lcm(period, week);
        // A stride of years would jump little; such odd intervals are walked.
        if (stride <= 400 * week) {
            const qint64 strides = (wallSeconds(low) - wallSeconds(dtstart)) / stride;
            if (strides > 0)
                icaltime_adjust(&start, int(strides * (stride / 86400)), 0, 0, 0);
        }
    }
    icalrecur_iterator* it = icalrecur_iterator_new(rule, start);
    if (!it)
        return;
    if (jumpIterator && !icalrecur_iterator_set_start(it, low)) {
        icalrecur_iterator_free(it);
        it = icalrecur_iterator_new(rule, start);
        if (!it)
            return;
    }
    int steps = 0;
    for (icaltimetype next = icalrecur_iterator_next(it); !icaltime_is_null_time(next);
         next = icalrecur_iterator_next(it)) {
        if (++steps > maxRecurrenceSteps) {
            qCWarning(lcCalendar) << "recurrence rule stopped after" << maxRecurrenceSteps << "steps";
            break;
        }
        if (!spend())
            break;
        if (wallCompare(next, high) >= 0)
            break;
        if (wallCompare(next, low) < 0)
            continue;
        next.zone = zonedStart.zone;
        instances.push_back({next, std::nullopt, true});
    }
    icalrecur_iterator_free(it);
}

QString EventExpander::lineText(const QDateTime& start, bool allDay, const QString& title) const
{
    if (allDay)
        return title;
    // "H:mm": the hour without a leading zero.
    const QTime t = start.toTimeZone(local_).time();
    return QString::number(t.hour()) + QLatin1Char(':') + QString::number(t.minute()).rightJustified(2, u'0')
        + QLatin1Char(' ') + title;
}

void EventExpander::expand(icalcomponent* event, icalcomponent* calendar,
                           const std::vector<icaltimetype>& replaced,
                           std::vector<Line>& out) const
{
    const std::optional<icaltimetype> dtstart = propertyTime(event, ICAL_DTSTART_PROPERTY, calendar);
    if (!dtstart)
        return;
    const bool allDay = dtstart->is_date;
    const QDateTime firstStart = instantOf(*dtstart, local_).at;
    if (!firstStart.isValid())
        return;

    // The length of every instance: days for all-day events, seconds for timed ones.
    qint64 span = allDay ? 1 : 0;
    const std::optional<icaltimetype> dtend = propertyTime(event, ICAL_DTEND_PROPERTY, calendar);
    if (dtend) {
        span = allDay ? dateOf(*dtstart).daysTo(dateOf(*dtend))
                      : firstStart.secsTo(instantOf(*dtend, local_).at);
    } else if (icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        const int seconds = icaldurationtype_as_int(icalcomponent_get_duration(event));
        span = allDay ? seconds / 86400 : seconds;
    }
    span = std::max<qint64>(span, 0);
    const qint64 spanSeconds = allDay ? span * 86400 : span;

    std::vector<Instance> instances{{*dtstart, std::nullopt, false}};
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY))
        addRule(p, *dtstart, spanSeconds, instances);
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p && spend();
         p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
        if (!icaltime_is_null_time(value.time)) {
            instances.push_back({resolved(p, value.time, calendar), std::nullopt, false});
        } else if (!icalperiodtype_is_null_period(value.period)) {
            const icaltimetype start = resolved(p, value.period.start, calendar);
            std::optional<qint64> seconds;
            if (!icaltime_is_null_time(value.period.end))
                seconds = instantOf(start, local_).at.secsTo(
                    instantOf(resolved(p, value.period.end, calendar), local_).at);
            else
                seconds = icaldurationtype_as_int(value.period.duration);
            instances.push_back({start, std::max<qint64>(*seconds, 0), false});
        }
    }

    std::vector<Exclusion> excluded;
    for (const icaltimetype& id : replaced)
        excluded.push_back(exclusionOf(id, local_));
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p && spend();
         p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
        excluded.push_back(exclusionOf(resolved(p, icalproperty_get_exdate(p), calendar), local_));

    const char* summary = icalcomponent_get_summary(event);
    QString title = summary ? QString::fromUtf8(summary) : QString();
    if (title.isEmpty())
        title = QStringLiteral("busy");
    title = title.toLower();

    // Half an event would show instances its exceptions take away.
    if (cut_)
        return;
    std::vector<Line> mine;
    QSet<QDateTime> seen;
    for (const Instance& instance : instances) {
        // Each instance is weighed against every exception: both count.
        if (!spend() || (!excluded.empty() && !spend()))
            return;
        icaltimetype start = instance.start;
        // An RDATE of another kind than DTSTART still follows the event's kind.
        start.is_date = allDay;
        const Instant at = instantOf(start, local_);
        if (!at.at.isValid() || seen.contains(at.at))
            continue;
        // A rule's instance at a local time the clocks skip is no instance at all;
        // a time written down (DTSTART, RDATE) is read with the offset before the jump.
        if (at.skipped && instance.generated)
            continue;
        if (std::any_of(excluded.begin(), excluded.end(), [&](const Exclusion& x) {
                return (x.byDate || allDay) ? x.date == dateOf(start) : x.instant == at.at;
            }))
            continue;
        const QDateTime end = allDay ? dateOf(start).addDays(span).startOfDay(local_)
                                     : at.at.addSecs(instance.seconds.value_or(span));
        if (!overlaps(at.at, end))
            continue;
        seen.insert(at.at);
        const Day day = allDay ? Day::fromDate(dateOf(start)) : Day::fromDateTime(at.at, local_);
        QString text = lineText(at.at, allDay, title);
        // Instances at one time of day share their text.
        if (!mine.empty() && mine.back().text == text)
            text = mine.back().text;
        mine.push_back({at.at.toMSecsSinceEpoch(), day, std::move(text)});
    }
    std::stable_sort(mine.begin(), mine.end(), [](const Line& a, const Line& b) { return a.start < b.start; });
    out.insert(out.end(), std::make_move_iterator(mine.begin()), std::make_move_iterator(mine.end()));
}

void ensureLibicalSettings()
{
    // A malformed file must never abort the process.
    static const bool once = (icalerror_set_errors_are_fatal(0), true);
    Q_UNUSED(once);
}

} // namespace

// Answers reads made on the reader's thread on the asking context's thread: a queued
// connection to the context is the one way to reach it that ends when it goes.
class CalendarAnswers : public QObject {
    Q_OBJECT
signals:
    void answered(quint64 read, bool stopped, const EventLines& lines);
};

struct CalendarReader::State {
    QStringList folders;
    QTimeZone zone;
    // Every navigation reads again; most files have not changed since the last read.
    // Guarded by icalLock().
    std::map<QString, ParsedFile> cache;
    quint64 windowsMade = 0;
    // The day lines of the last read and the windows they were merged from: a read
    // that finds the same windows, in the same order, gives the same lines, without
    // gathering and sorting every line again.
    struct Merged {
        std::vector<quint64> windows;
        EventLines lines;
    };
    std::optional<Merged> merged;

    // The newest read asked for; an older one still going stops at its next file.
    std::atomic<quint64> newest{0};
    CalendarAnswers answers;
    // One thread of its own: reads queue behind each other instead of all waiting for
    // libical's lock on threads the rest of the app needs.
    QThreadPool worker;

    ~State()
    {
        newest = std::numeric_limits<quint64>::max();
        worker.waitForDone();
    }

    std::optional<EventLines> read(const QList<Day>& days, const std::function<bool()>& stop);
    ParsedFile& parsed(const QString& path, const QFileInfo& info);
    const Window& window(ParsedFile& file, const QDateTime& from, const QDateTime& to, const QString& path);
};

ParsedFile& CalendarReader::State::parsed(const QString& path, const QFileInfo& info)
{
    auto found = cache.find(path);
    if (found != cache.end() && found->second.modified == info.lastModified()
        && found->second.size == info.size())
        return found->second;

    ParsedFile file;
    file.modified = info.lastModified();
    file.size = info.size();
    const Result<QByteArray> bytes = pemby::readBytes(path, maxFileBytes, pemby::Links::Follow);
    if (!bytes.ok()) {
        qCWarning(lcCalendar) << "skipping calendar file" << path << bytes.errorText();
    } else {
        icalerror_clear_errno();
        icalcomponent* root = icalparser_parse_string(bytes->constData());
        const icalcomponent_kind kind = root ? icalcomponent_isa(root) : ICAL_NO_COMPONENT;
        if (kind == ICAL_VCALENDAR_COMPONENT || kind == ICAL_XROOT_COMPONENT) {
            file.tree.reset(root);
            std::vector<icalcomponent*> calendars;
            if (kind == ICAL_VCALENDAR_COMPONENT) {
                calendars.push_back(root);
            } else {
                for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
                     c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
                    calendars.push_back(c);
            }
            for (icalcomponent* calendar : calendars)
                for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
                     e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
                    file.events.emplace_back(e, calendar);
        } else {
            if (root)
                icalcomponent_free(root);
            qCWarning(lcCalendar) << "skipping calendar file that does not parse" << path;
        }
    }
    return cache.insert_or_assign(path, std::move(file)).first->second;
}

const Window& CalendarReader::State::window(ParsedFile& file, const QDateTime& from, const QDateTime& to,
                                            const QString& path)
{
    const qint64 start = from.toMSecsSinceEpoch();
    const qint64 end = to.toMSecsSinceEpoch();
    for (auto it = file.windows.begin(); it != file.windows.end(); ++it) {
        if (it->from == start && it->to == end) {
            if (it != file.windows.begin())
                std::rotate(file.windows.begin(), it, std::next(it));
            return file.windows.front();
        }
    }

    Window expanded{start, end, {}, ++windowsMade};
    EventExpander expander(zone, from, to);
    expander.setCountedEnds(&file.countedEnds);
    // RECURRENCE-ID overrides replace their instance of the event with their UID, and
    // a cancelled override takes it away.
    std::map<QByteArray, std::vector<icaltimetype>> overridden;
    for (const auto& [event, calendar] : file.events) {
        const std::optional<icaltimetype> id = propertyTime(event, ICAL_RECURRENCEID_PROPERTY, calendar);
        const char* uid = icalcomponent_get_uid(event);
        if (id && uid)
            overridden[QByteArray(uid)].push_back(*id);
    }
    static const std::vector<icaltimetype> none;
    for (const auto& [event, calendar] : file.events) {
        if (isCancelled(event))
            continue;
        const bool isOverride = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        const char* uid = icalcomponent_get_uid(event);
        const auto replaced = (!isOverride && uid) ? overridden.find(QByteArray(uid)) : overridden.end();
        expander.expand(event, calendar, replaced != overridden.end() ? replaced->second : none,
                        expanded.lines);
        if (expander.cut() || expanded.lines.size() > maxWindowLines) {
            if (expanded.lines.size() > maxWindowLines)
                expanded.lines.resize(maxWindowLines);
            qCWarning(lcCalendar) << "calendar file" << path << "cut short: it asks more than a calendar's share of work"
                                  << "for these days; the events it gave by then are shown";
            break;
        }
    }
    std::stable_sort(expanded.lines.begin(), expanded.lines.end(),
                     [](const Line& a, const Line& b) { return a.start < b.start; });
    file.windows.push_front(std::move(expanded));
    if (file.windows.size() > windowsKept)
        file.windows.pop_back();
    return file.windows.front();
}

std::optional<EventLines> CalendarReader::State::read(const QList<Day>& days, const std::function<bool()>& stop)
{
    // A day that names no date (2025-02-30) would stretch the range to the distant past.
    QList<Day> valid;
    for (const Day& d : days)
        if (d.date().isValid())
            valid.append(d);
    if (valid.isEmpty())
        return EventLines();
    const auto [lowest, highest] = std::minmax_element(valid.cbegin(), valid.cend());
    const QDateTime rangeStart = lowest->startIn(zone);
    const QDateTime rangeEnd = highest->adding(1).startIn(zone);

    QMutexLocker lock(&icalLock());
    ensureLibicalSettings();

    // "Full access" is having a calendar folder at all.
    QList<QDir> present;
    for (const QString& folder : std::as_const(folders))
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            present.append(QDir(folder));
    if (present.isEmpty()) {
        cache.clear();
        merged.reset();
        return EventLines();
    }

    // The order events that start together keep: folder, then file name, then place
    // in the file.
    std::vector<const Window*> windows;
    QSet<QString> visited;
    for (const QDir& dir : std::as_const(present)) {
        // By the path below the folder, each made once: the sort compares it many times.
        std::vector<std::pair<QString, QFileInfo>> files;
        QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            if (info.fileName().endsWith(QLatin1String(".ics"), Qt::CaseInsensitive))
                files.emplace_back(dir.relativeFilePath(info.filePath()), info);
        }
        std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& file : files) {
            const QFileInfo& info = file.second;
            if (stop && stop())
                return std::nullopt;
            // Folders may overlap (one inside another, or a link): read each file once.
            const QString path = info.canonicalFilePath();
            if (path.isEmpty() || visited.contains(path))
                continue;
            visited.insert(path);
            windows.push_back(&window(parsed(path, info), rangeStart, rangeEnd, path));
        }
    }
    // Files that are gone take their parsed trees with them.
    for (auto it = cache.begin(); it != cache.end();)
        it = visited.contains(it->first) ? std::next(it) : cache.erase(it);

    std::vector<quint64> serials;
    serials.reserve(windows.size());
    for (const Window* window : windows)
        serials.push_back(window->serial);
    if (merged && merged->windows == serials)
        return merged->lines;

    // Each file's lines are in time order already; a day's lines, gathered file by file,
    // need only a stable sort to put the files' lines together.
    std::map<Day, std::vector<const Line*>> byDay;
    for (const Window* window : windows) {
        std::vector<const Line*>* lines = nullptr;
        Day current;
        for (const Line& line : window->lines) {
            if (!lines || !(line.day == current)) {
                current = line.day;
                lines = &byDay[current];
            }
            lines->push_back(&line);
        }
    }
    EventLines result;
    for (auto& [day, lines] : byDay) {
        std::stable_sort(lines.begin(), lines.end(), [](const Line* a, const Line* b) { return a->start < b->start; });
        QStringList texts;
        texts.reserve(qsizetype(lines.size()));
        for (const Line* line : lines)
            texts.append(line->text);
        result.insert(day, std::move(texts));
    }
    merged = Merged{std::move(serials), result};
    return result;
}

CalendarReader::CalendarReader(QStringList folders, QTimeZone zone)
    : state_(std::make_unique<State>())
{
    state_->folders = std::move(folders);
    state_->zone = zone.isValid() ? std::move(zone) : QTimeZone::systemTimeZone();
    state_->worker.setMaxThreadCount(1);
}

CalendarReader::~CalendarReader() = default;

QStringList CalendarReader::defaultFolders()
{
    if (qEnvironmentVariableIsSet("PEMBY_CALENDAR_DIR"))
        return qEnvironmentVariable("PEMBY_CALENDAR_DIR").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + QStringLiteral("/evolution/calendar"),
            QDir::homePath() + QStringLiteral("/.calendars")};
}

const QStringList& CalendarReader::folders() const
{
    return state_->folders;
}

const QTimeZone& CalendarReader::zone() const
{
    return state_->zone;
}

EventLines CalendarReader::events(const QList<Day>& days) const
{
    return state_->read(days, {}).value_or(EventLines());
}

void CalendarReader::events(const QList<Day>& days, QObject* context,
                            std::function<void(const EventLines&)> done) const
{
    if (!context)
        return;
    State* state = state_.get();
    const quint64 read = ++state->newest;
    // Every read is answered once, stopped or not, so each connection goes after its
    // answer; one whose context went first goes with the context.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        &state->answers, &CalendarAnswers::answered, context,
        [read, connection, done = std::move(done)](quint64 answered, bool stopped, const EventLines& lines) {
            if (answered != read)
                return;
            QObject::disconnect(*connection);
            if (!stopped)
                done(lines);
        },
        Qt::QueuedConnection);
    state->worker.start([state, days, read] {
        const std::optional<EventLines> lines = state->read(days, [&] { return state->newest.load() != read; });
        emit state->answers.answered(read, !lines, lines.value_or(EventLines()));
    });
}

#include "calendarreader.moc"
