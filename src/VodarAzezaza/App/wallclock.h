#pragma once
// A wall-clock time in a time zone as an instant, read the way iCalendar reads one: a
// time the clocks skip (spring forward) takes the offset in force before the jump, so
// 02:30 on that night is 03:30; a time the clocks pass twice (fall back) is its first
// occurrence. Qt and libical pick otherwise (no time, or the second one), so calendar
// events and reminders both go through here.

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <functional>

namespace pemby {

struct WallClockInstant {
    qint64 utcSeconds = 0;
    bool skipped = false;  // the clocks skip this time; it was read with the offset before
};

// `wallSeconds` is the wall-clock time counted as if it were UTC; `offsetAt` gives the
// zone's offset (seconds east of UTC) at a UTC instant.
WallClockInstant resolveWallClock(qint64 wallSeconds, const std::function<int(qint64 utcSeconds)>& offsetAt);

struct ZonedInstant {
    QDateTime instant;     // in UTC; invalid for an invalid date or time
    bool skipped = false;
};
ZonedInstant atWallClock(QDate date, QTime time, const QTimeZone& zone);

} // namespace pemby
