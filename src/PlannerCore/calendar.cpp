#include "calendar.h"

#include "textutil.h"

int weekdayFromQt(int qtDayOfWeek)
{
    return qtDayOfWeek % 7 + 1;
}

std::optional<Day> Day::fromIso(QStringView text)
{
    const auto pieces = text.split(u'-');
    if (pieces.size() != 3 || pieces[0].size() != 4)
        return std::nullopt;
    const auto y = pemby::parseStrictInt32(pieces[0]);
    const auto m = pemby::parseStrictInt32(pieces[1]);
    const auto d = pemby::parseStrictInt32(pieces[2]);
    if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31)
        return std::nullopt;
    // QDate refuses days that do not exist (2023-02-29), which is the round trip we want.
    const QDate date(*y, *m, *d);
    if (!date.isValid())
        return std::nullopt;
    return Day{*y, *m, *d};
}

Day Day::fromDateTime(const QDateTime& instant, const QTimeZone& zone)
{
    const QDate date = instant.toTimeZone(zone).date();
    if (!date.isValid())
        return Day{};
    return fromDate(date);
}

Day Day::fromDate(QDate date)
{
    return date.isValid() ? Day{date.year(), date.month(), date.day()} : Day{};
}

Day Day::today(const QTimeZone& zone)
{
    return fromDateTime(QDateTime::currentDateTimeUtc(), zone);
}

QString Day::iso() const
{
    return QString::asprintf("%04d-%02d-%02d", year, month, day);
}

// Stands for "no such instant": earlier than every instant a caller compares it with,
// where an invalid QDateTime would compare unpredictably.
static QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
}

QDateTime Day::noon() const
{
    const QDate d = date();
    if (!d.isValid())
        return distantPast();
    return QDateTime(d, QTime(12, 0), QTimeZone::utc());
}

QDateTime Day::startIn(const QTimeZone& zone) const
{
    const QDate d = date();
    if (!d.isValid())
        return distantPast();
    const QDateTime start = d.startOfDay(zone);
    return start.isValid() ? start : distantPast();
}

Day Day::adding(int days) const
{
    const QDate d = date();
    if (!d.isValid())
        return *this;
    const QDate moved = d.addDays(days);
    return moved.isValid() ? fromDate(moved) : *this;
}

int Day::daysUntil(Day other) const
{
    const QDate a = date(), b = other.date();
    if (!a.isValid() || !b.isValid())
        return 0;
    return int(a.daysTo(b));
}

int Day::weekday() const
{
    const QDate d = date();
    return d.isValid() ? weekdayFromQt(d.dayOfWeek()) : 1;
}

Day Day::monday() const
{
    return adding(-((weekday() + 5) % 7));
}

IsoWeek Day::isoWeek() const
{
    const QDate d = date();
    if (!d.isValid())
        return {year, 1};
    int weekYear = 0;
    const int week = d.weekNumber(&weekYear);
    return {weekYear, week};
}

Day Day::startOfWeek(int firstWeekday) const
{
    return adding(-((weekday() - firstWeekday + 7) % 7));
}

MonthKey Day::monthKey() const
{
    return {year, month};
}

MonthKey MonthKey::adding(int months) const
{
    const long long total = (long long)year * 12 + (month - 1) + months;
    long long y = total / 12;
    long long r = total % 12;
    if (r < 0) {
        r += 12;
        y -= 1;
    }
    return {int(y), int(r) + 1};
}

QString MonthKey::toString() const
{
    return QString::asprintf("%04d-%02d", year, month);
}
