#pragma once
// Calendar days and months of the plan: plain values with no time of day and no
// time zone. All day arithmetic runs on the proleptic Gregorian calendar (QDate),
// so daylight-saving changes and the user's zone never move a day. Only
// fromDateTime() and startIn() touch a caller's time zone.

#include <QDate>
#include <QDateTime>
#include <QHashFunctions>
#include <QString>
#include <QTimeZone>

#include <compare>
#include <optional>

struct MonthKey;

struct IsoWeek {
    int year = 0;
    int week = 1;
    bool operator==(const IsoWeek&) const = default;
};

struct Day {
    int year = 1970;
    int month = 1;
    int day = 1;

    auto operator<=>(const Day&) const = default;
    bool operator==(const Day&) const = default;

    // "yyyy-m-d" with a four-character year; only days that exist.
    static std::optional<Day> fromIso(QStringView text);
    // The calendar day of an instant in the given zone.
    static Day fromDateTime(const QDateTime& instant, const QTimeZone& zone);
    static Day fromDate(QDate date);
    // Today in the given zone.
    static Day today(const QTimeZone& zone = QTimeZone::systemTimeZone());

    QDate date() const { return QDate(year, month, day); }
    QString iso() const;
    QString toString() const { return iso(); }
    // 12:00 UTC of the day; 0001-01-01 00:00 UTC when the fields name no day.
    QDateTime noon() const;
    // The first moment of the day in the given zone; 0001-01-01 00:00 UTC when the
    // fields name no day.
    QDateTime startIn(const QTimeZone& zone) const;

    Day adding(int days) const;
    // Signed whole days from this day to `other` (later other day: positive).
    int daysUntil(Day other) const;
    // 1 = Sunday, 2 = Monday, ..., 7 = Saturday.
    int weekday() const;
    Day monday() const;
    IsoWeek isoWeek() const;
    // The day on or before this one whose weekday is `firstWeekday` (1 = Sunday ... 7 = Saturday).
    Day startOfWeek(int firstWeekday) const;
    MonthKey monthKey() const;
};

struct MonthKey {
    int year = 1970;
    int month = 1;

    auto operator<=>(const MonthKey&) const = default;
    bool operator==(const MonthKey&) const = default;

    Day first() const { return Day{year, month, 1}; }
    MonthKey adding(int months) const;
    QString toString() const;  // "yyyy-mm"
};

// Qt numbers weekdays from Monday = 1; the plan numbers them from Sunday = 1.
int weekdayFromQt(int qtDayOfWeek);

inline size_t qHash(const Day& d, size_t seed = 0) { return qHashMulti(seed, d.year, d.month, d.day); }
inline size_t qHash(const MonthKey& m, size_t seed = 0) { return qHashMulti(seed, m.year, m.month); }
