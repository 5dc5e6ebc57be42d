#include "relativeday.h"

#include <gtest/gtest.h>

namespace {

const QTimeZone berlin("Europe/Berlin");
const QLocale english(QLocale::English, QLocale::UnitedStates);

QDateTime at(int y, int m, int d, int hour = 12, int minute = 0)
{
    return QDateTime(QDate(y, m, d), QTime(hour, minute), berlin);
}

} // namespace

TEST(RelativeDay, CountsCalendarDaysInTheGivenZone)
{
    const QDateTime now = at(2024, 3, 15);  // a Friday
    const struct {
        const char* name;
        QDateTime date;
        QDateTime now;
        QString label;
    } cases[] = {
        {"a minute after midnight", at(2024, 3, 14, 23, 59), at(2024, 3, 15, 0, 1), "Yesterday"},
        {"earlier today", at(2024, 3, 15, 0, 0), now, "Today"},
        {"the future", at(2024, 6, 1), now, "Today"},
        {"2 days", at(2024, 3, 13), now, "Wednesday"},
        {"6 days", at(2024, 3, 9), now, "Saturday"},
        {"7 days", at(2024, 3, 8), now, "Last week"},
        {"13 days", at(2024, 3, 2), now, "Last week"},
        {"14 days", at(2024, 3, 1), now, "2 weeks ago"},
        {"20 days", at(2024, 2, 24), now, "2 weeks ago"},
        {"21 days", at(2024, 2, 23), now, "3 weeks ago"},
        {"30 days", at(2024, 2, 14), now, "4 weeks ago"},
        {"31 days", at(2024, 2, 13), now, "Last month"},
        {"61 days", at(2024, 1, 14), now, "Last month"},
        {"62 days, same year", at(2024, 1, 13), now, "January"},
        {"62 days, the year before", at(2023, 11, 19), at(2024, 1, 20), "November 2023"},
        {"across the change to summer time", at(2024, 3, 31, 0, 30), at(2024, 4, 7, 0, 30), "Last week"},
        // 23:30 UTC on the 14th is already the 15th in Berlin.
        {"the zone decides the day", QDateTime(QDate(2024, 3, 14), QTime(23, 30), QTimeZone::utc()), now, "Today"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RelativeDay::string(c.date, c.now, berlin, english), c.label);
    }
    EXPECT_EQ(RelativeDay::string(QDateTime(QDate(2024, 3, 14), QTime(23, 30), QTimeZone::utc()), now,
                                  QTimeZone::utc(), english),
              QStringLiteral("Yesterday"));
}

TEST(RelativeDay, ExactNamesTheDayAndTime)
{
    const QString exact = RelativeDay::exact(QDateTime(QDate(2024, 3, 15), QTime(13, 30), QTimeZone::utc()), berlin, english);
    EXPECT_TRUE(exact.startsWith(QStringLiteral("Friday, March 15, 2024 2:30"))) << exact.toStdString();
}

TEST(Dust, LevelByWholeDaysSinceTheChange)
{
    const QDateTime now = at(2024, 6, 1, 12, 0);
    const struct {
        const char* name;
        QDateTime changed;
        QDateTime now;
        int level;
    } cases[] = {
        {"29 days", now.addDays(-29), now, 0},
        {"a minute short of 30 days", now.addDays(-30).addSecs(60), now, 0},
        {"30 days", now.addDays(-30), now, 1},
        {"89 days", now.addDays(-89), now, 1},
        {"90 days", now.addDays(-90), now, 2},
        {"the future", now.addDays(1), now, 0},
        // 30 calendar days, though an hour short of 30 times 24 hours.
        {"across the change to summer time", at(2024, 3, 1), at(2024, 3, 31), 1},
        {"invalid", QDateTime(), now, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Dust::level(c.changed, c.now, berlin), c.level);
    }
}

TEST(Dust, Summary)
{
    const struct {
        int total, dusty;
        const char* text;
    } cases[] = {
        {0, 0, "Nothing here. Suspicious."},
        {-1, 0, "Nothing here. Suspicious."},
        {1, 0, "1 note. Fresh, somehow."},
        {1, 1, "1 note. All gathering dust."},
        {5, 0, "5 notes. All fresh, somehow."},
        {5, 5, "5 notes. All gathering dust."},
        {5, 2, "5 notes. 2 gathering dust."},
        {12, 3, "12 notes. 3 gathering dust."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Dust::summary(c.total, c.dusty), QString::fromUtf8(c.text)) << c.total << "/" << c.dusty;
}
