#include "relativeday.h"

#include <optional>

namespace {

// Calendar days from the day of `from` to the day of `to`; nullopt for dates the
// calendar cannot place.
std::optional<qint64> daysBetween(const QDateTime& from, const QDateTime& to, const QTimeZone& zone)
{
    if (!from.isValid() || !to.isValid())
        return std::nullopt;
    const QDate a = from.toTimeZone(zone).date();
    const QDate b = to.toTimeZone(zone).date();
    if (!a.isValid() || !b.isValid())
        return std::nullopt;
    return a.daysTo(b);
}

} // namespace

QString RelativeDay::string(const QDateTime& date, const QDateTime& now, const QTimeZone& zone, const QLocale& locale)
{
    const auto days = daysBetween(date, now, zone);
    if (!days || *days < 1)
        return QStringLiteral("Today");
    if (*days == 1)
        return QStringLiteral("Yesterday");
    const QDate day = date.toTimeZone(zone).date();
    if (*days <= 6)
        return locale.standaloneDayName(day.dayOfWeek(), QLocale::LongFormat);
    if (*days <= 13)
        return QStringLiteral("Last week");
    if (*days <= 30)
        return QString::number(*days / 7) + QStringLiteral(" weeks ago");
    if (*days <= 61)
        return QStringLiteral("Last month");
    // Standalone names: without a day, several languages name the month differently.
    const QString month = locale.standaloneMonthName(day.month(), QLocale::LongFormat);
    if (day.year() == now.toTimeZone(zone).date().year())
        return month;
    return month + u' ' + QString::number(day.year());
}

QString RelativeDay::exact(const QDateTime& date, const QTimeZone& zone, const QLocale& locale)
{
    const QDateTime local = date.toTimeZone(zone);
    return locale.toString(local.date(), QLocale::LongFormat) + u' ' + locale.toString(local.time(), QLocale::ShortFormat);
}

int Dust::level(const QDateTime& lastChanged, const QDateTime& now, const QTimeZone& zone)
{
    auto days = daysBetween(lastChanged, now, zone);
    if (!days || *days <= 0)
        return 0;
    // Whole days between the moments: the last one counts only once its time of day
    // has come round again.
    const QDateTime changed = lastChanged.toTimeZone(zone);
    if (changed.addDays(*days) > now)
        --*days;
    if (*days >= secondAfterDays)
        return 2;
    if (*days >= firstAfterDays)
        return 1;
    return 0;
}

QString Dust::summary(int total, int dusty)
{
    if (total < 1)
        return QStringLiteral("Nothing here. Suspicious.");
    const QString count = total == 1 ? QStringLiteral("1 note.") : QString::number(total) + QStringLiteral(" notes.");
    if (dusty == 0)
        return count + (total == 1 ? QStringLiteral(" Fresh, somehow.") : QStringLiteral(" All fresh, somehow."));
    if (dusty == total)
        return count + QStringLiteral(" All gathering dust.");
    return count + u' ' + QString::number(dusty) + QStringLiteral(" gathering dust.");
}
