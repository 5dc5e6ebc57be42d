#include "things.h"

#include "randomuuid.h"
#include "textutil.h"

#include <QStringList>

#include <algorithm>
#include <array>

QString markRawValue(Mark mark)
{
    switch (mark) {
    case Mark::Lavender: return QStringLiteral("lavender");
    case Mark::Green: return QStringLiteral("green");
    case Mark::Red: return QStringLiteral("red");
    }
    return {};
}

std::optional<Mark> markFromRawValue(QStringView raw)
{
    for (const Mark m : allMarks) {
        if (raw == markRawValue(m))
            return m;
    }
    return std::nullopt;
}

QString repeatKindRawValue(RepeatKind kind)
{
    switch (kind) {
    case RepeatKind::Daily: return QStringLiteral("daily");
    case RepeatKind::Weekdays: return QStringLiteral("weekdays");
    case RepeatKind::Weekly: return QStringLiteral("weekly");
    case RepeatKind::Monthly: return QStringLiteral("monthly");
    }
    return {};
}

std::optional<RepeatKind> repeatKindFromRawValue(QStringView raw)
{
    for (const RepeatKind k : allRepeatKinds) {
        if (raw == repeatKindRawValue(k))
            return k;
    }
    return std::nullopt;
}

TimeOfDay TimeOfDay::clamped(int hour, int minute)
{
    return {std::clamp(hour, 0, 23), std::clamp(minute, 0, 59)};
}

std::optional<TimeOfDay> TimeOfDay::parse(QStringView text)
{
    // Every reminder of a file comes here: the pieces are looked at where they stand.
    std::array<QStringView, 2> pieces;
    qsizetype count = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u':')
            continue;
        if (i > start) {
            if (count == 2)
                return std::nullopt;
            pieces[size_t(count++)] = text.sliced(start, i - start);
        }
        start = i + 1;
    }
    if (count != 2)
        return std::nullopt;
    const auto hour = pemby::parseStrictInt32(pieces[0]);
    const auto minute = pemby::parseStrictInt32(pieces[1]);
    if (!hour || !minute || *hour < 0 || *hour > 23 || *minute < 0 || *minute > 59)
        return std::nullopt;
    return TimeOfDay{*hour, *minute};
}

QString TimeOfDay::toString() const
{
    return QString::asprintf("%02d:%02d", hour, minute);
}

Thing Thing::make(const QString& title)
{
    Thing t;
    t.id = pemby::randomUuid();
    t.title = title;
    return t;
}

std::optional<QString> Thing::stepsSummary() const
{
    if (steps.isEmpty())
        return std::nullopt;
    const auto done = std::count_if(steps.cbegin(), steps.cend(), [](const Step& s) { return s.done; });
    return QString::number(done) + u'/' + QString::number(steps.size());
}

bool RepeatRule::occursOn(Day d) const
{
    if (!(start < d))
        return false;
    switch (kind) {
    case RepeatKind::Daily: return true;
    case RepeatKind::Weekdays: return d.weekday() >= 2 && d.weekday() <= 6;
    case RepeatKind::Weekly: return d.weekday() == start.weekday();
    // No end-of-month adjustment: a rule made on the 31st skips the shorter months.
    case RepeatKind::Monthly: return d.day == start.day;
    }
    return false;
}
