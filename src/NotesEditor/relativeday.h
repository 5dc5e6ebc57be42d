#pragma once
// How old a note looks: the relative day each row of the notes list shows for the
// last change, and the staleness ("dust") of notes left alone for weeks. Days are
// counted on the wall clock of `zone`, so a test can pin it; names of days and
// months follow `locale`.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

struct RelativeDay {
    // "Today" (also for any future date), "Yesterday", the weekday's name up to six
    // days back, "Last week", "2 weeks ago" to "4 weeks ago", "Last month", then
    // the month's name, with its year when that is not now's.
    static QString string(const QDateTime& date, const QDateTime& now, const QTimeZone& zone,
                          const QLocale& locale = QLocale());
    // The date in the long date style and the time in the short one.
    static QString exact(const QDateTime& date, const QTimeZone& zone, const QLocale& locale = QLocale());
};

struct Dust {
    static constexpr int firstAfterDays = 30;
    static constexpr int secondAfterDays = 90;

    // 0, 1 or 2, by whole days (counted from the moments, not from the starts of
    // the days) since the last change; a change in the future is 0.
    static int level(const QDateTime& lastChanged, const QDateTime& now, const QTimeZone& zone);
    // One line about a list of notes, such as "12 notes. 3 gathering dust.".
    static QString summary(int total, int dusty);
};
