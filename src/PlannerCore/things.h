#pragma once
// The planner's data: where a thing lives, the thing itself with its steps, mark and
// reminder time, repeat rules and undated lists. Plain values compared field by field.

#include "calendar.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

// Where a thing lives: a day, an undated list (by index into Planner::lists) or a month.
class Place {
public:
    enum class Kind { Day, List, Month };

    Place() = default;
    static Place onDay(Day d) { Place p; p.kind_ = Kind::Day; p.day_ = d; return p; }
    static Place inList(int index) { Place p; p.kind_ = Kind::List; p.list_ = index; return p; }
    static Place inMonth(MonthKey m) { Place p; p.kind_ = Kind::Month; p.month_ = m; return p; }

    Kind kind() const { return kind_; }
    bool isDay() const { return kind_ == Kind::Day; }
    bool isList() const { return kind_ == Kind::List; }
    bool isMonth() const { return kind_ == Kind::Month; }
    // The day of a day place; nullopt for lists and months.
    std::optional<Day> day() const { return isDay() ? std::optional<Day>(day_) : std::nullopt; }
    int listIndex() const { return list_; }
    MonthKey month() const { return month_; }

    // Unused payloads stay at their defaults, so member-wise equality is case-and-payload equality.
    bool operator==(const Place&) const = default;

private:
    Kind kind_ = Kind::Day;
    Day day_{};
    int list_ = 0;
    MonthKey month_{};
};

inline size_t qHash(const Place& p, size_t seed = 0)
{
    return qHashMulti(seed, int(p.kind()), p.day().value_or(Day{}), p.listIndex(), p.month());
}

struct Step {
    QString title;
    bool done = false;
    bool operator==(const Step&) const = default;
};

enum class Mark { Lavender, Green, Red };
inline constexpr std::array<Mark, 3> allMarks{Mark::Lavender, Mark::Green, Mark::Red};
QString markRawValue(Mark mark);
// Exactly "lavender", "green" or "red".
std::optional<Mark> markFromRawValue(QStringView raw);

struct TimeOfDay {
    int hour = 0;
    int minute = 0;

    // Clamps hour to 0...23 and minute to 0...59.
    static TimeOfDay clamped(int hour, int minute);
    // "h:m" with whole decimal numbers in range; empty pieces between colons are dropped.
    static std::optional<TimeOfDay> parse(QStringView text);
    QString toString() const;  // "%02d:%02d"

    bool operator==(const TimeOfDay&) const = default;
};

enum class RepeatKind { Daily, Weekdays, Weekly, Monthly };
inline constexpr std::array<RepeatKind, 4> allRepeatKinds{RepeatKind::Daily, RepeatKind::Weekdays,
                                                          RepeatKind::Weekly, RepeatKind::Monthly};
QString repeatKindRawValue(RepeatKind kind);
std::optional<RepeatKind> repeatKindFromRawValue(QStringView raw);

struct RepeatRule {
    QString id;
    QString title;
    RepeatKind kind = RepeatKind::Daily;
    Day start;
    std::optional<Mark> mark;

    // Whether the rule makes a thing on `day`. The start day itself never occurs.
    bool occursOn(Day day) const;

    bool operator==(const RepeatRule&) const = default;
};

struct Thing {
    QUuid id;
    QString title;
    bool done = false;
    int zs = 0;  // move count: how often the thing was carried to a later day
    std::optional<Mark> mark;
    QList<Step> steps;
    QString note;
    std::optional<QString> repeatID;
    std::optional<QString> link;
    std::optional<TimeOfDay> remind;
    std::optional<QString> noteID;
    std::optional<QString> syncID;

    // The highest move count: every reader clamps to it and a move stops there, so a
    // count from a file or another app can never overflow.
    static constexpr int maxMoveCount = 1'000'000;

    // A new thing with a fresh id and every other field empty.
    static Thing make(const QString& title);
    // One more move onto a later day.
    void countMove() { zs = zs < maxMoveCount ? zs + 1 : maxMoveCount; }
    // "done/total" of the steps; nullopt without steps.
    std::optional<QString> stepsSummary() const;
    // Unfinished and not made by (or carrying) a repeat rule: the things that roll over.
    bool isCarriable() const { return !done && !repeatID; }

    bool operator==(const Thing&) const = default;
};

struct EventuallyList {
    QString name;
    QList<Thing> things;
    bool operator==(const EventuallyList&) const = default;
};
