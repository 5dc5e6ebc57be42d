#pragma once
// Read-only calendar events for the day columns, taken from the iCalendar files that
// calendar programs and CalDAV sync tools keep on disk.

#include "calendar.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimeZone>

#include <functional>
#include <memory>
#include <optional>

// Day to its event lines ("9:05 standup", or the bare title of an all-day event),
// each day's lines in order of the events' start times.
using EventLines = QMap<Day, QStringList>;

class CalendarReader {
public:
    // `folders` are searched in this order, each recursively for "*.ics" files.
    // `zone` is the user's: it places floating times and all-day dates, and the
    // lines show their clock times in it.
    explicit CalendarReader(QStringList folders = defaultFolders(),
                            QTimeZone zone = QTimeZone::systemTimeZone());
    ~CalendarReader();
    CalendarReader(const CalendarReader&) = delete;
    CalendarReader& operator=(const CalendarReader&) = delete;

    // PEMBY_CALENDAR_DIR (":"-separated) when set, else the desktop's local calendars
    // and ~/.calendars.
    static QStringList defaultFolders();

    const QStringList& folders() const;
    const QTimeZone& zone() const;

    // The lines of the events that overlap the days from the earliest to the latest
    // given one, each under the day it starts on (which may lie before the earliest).
    // No days, or none of the folders there, gives an empty map. Safe to call from
    // any thread.
    EventLines events(const QList<Day>& days) const;

    // The same read on the reader's own thread. `done` runs on `context`'s thread,
    // later, and not at all once `context` is gone. A newer read stops an older one
    // that is still going at its next file; the older one then answers nothing.
    void events(const QList<Day>& days, QObject* context,
                std::function<void(const EventLines&)> done) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
