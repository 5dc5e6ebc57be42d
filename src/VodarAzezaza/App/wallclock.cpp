#include "wallclock.h"

#include <algorithm>
#include <optional>

namespace pemby {

WallClockInstant resolveWallClock(qint64 wallSeconds, const std::function<int(qint64)>& offsetAt)
{
    // Offsets a day and a half either side cover any one transition near the time.
    constexpr qint64 reach = 36 * 3600;
    const int before = offsetAt(wallSeconds - reach);
    const int after = offsetAt(wallSeconds + reach);
    if (before == after && offsetAt(wallSeconds - before) == before)
        return {wallSeconds - before, false};
    // The earliest offset that maps back onto the time is its first occurrence.
    std::optional<qint64> first;
    for (const int offset : {before, after, offsetAt(wallSeconds)}) {
        if (offsetAt(wallSeconds - offset) == offset)
            first = std::min(first.value_or(wallSeconds - offset), wallSeconds - offset);
    }
    if (first)
        return {*first, false};
    // None does: the clocks jump over the time. Read with the larger offset it falls
    // just before the jump, where the offset in force is the one before.
    const int larger = std::max(before, after);
    return {wallSeconds - offsetAt(wallSeconds - larger), true};
}

ZonedInstant atWallClock(QDate date, QTime time, const QTimeZone& zone)
{
    if (!date.isValid() || !time.isValid())
        return {};
    const QDateTime wall(date, time, QTimeZone::utc());
    const qint64 seconds = wall.toSecsSinceEpoch();
    const WallClockInstant resolved = resolveWallClock(seconds, [&](qint64 utc) {
        return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, QTimeZone::utc()));
    });
    const qint64 msecs = resolved.utcSeconds * 1000 + time.msec();
    return {QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc()), resolved.skipped};
}

} // namespace pemby
