#include "calendar.h"

#include "support/plannertesting.h"

#include <gtest/gtest.h>

TEST(DayTest, ReadsIsoTextOfDaysThatExist)
{
    struct Case { const char* text; std::optional<Day> day; };
    const Case cases[] = {
        {"2024-02-29", Day{2024, 2, 29}},
        {"2024-1-5", Day{2024, 1, 5}},
        {"2024-+1-05", Day{2024, 1, 5}},
        {"1999-12-31", Day{1999, 12, 31}},
        {"2024-02-30", std::nullopt},  // rolls into March on a lenient calendar
        {"2023-02-29", std::nullopt},
        {"2024-04-31", std::nullopt},
        {"2024-13-01", std::nullopt},
        {"2024-00-10", std::nullopt},
        {"2024-01-32", std::nullopt},
        {"2024-01-00", std::nullopt},
        {"24-01-05", std::nullopt},
        {"02024-01-05", std::nullopt},
        {"2024-01-05-", std::nullopt},
        {"2024--05", std::nullopt},
        {"2024-01", std::nullopt},
        {"2024-01- 5", std::nullopt},
        {" 2024-01-05", std::nullopt},
        {"2024-01-05T10", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Day::fromIso(QString::fromLatin1(c.text)), c.day) << c.text;
}

TEST(DayTest, TextForms)
{
    EXPECT_EQ((Day{2024, 3, 7}).iso(), "2024-03-07");
    EXPECT_EQ((Day{987, 4, 1}).toString(), "0987-04-01");
    EXPECT_EQ((MonthKey{2024, 3}).toString(), "2024-03");
    EXPECT_EQ((MonthKey{987, 4}).toString(), "0987-04");
}

TEST(DayTest, ArithmeticRunsOnWholeDays)
{
    struct Case { Day from; int n; Day to; };
    const Case cases[] = {
        {{2024, 3, 31}, 1, {2024, 4, 1}},
        {{2025, 1, 1}, -366, {2024, 1, 1}},
        {{2024, 2, 28}, 1, {2024, 2, 29}},
        {{2023, 2, 28}, 1, {2023, 3, 1}},
        {{2023, 12, 31}, 1, {2024, 1, 1}},
        {{2024, 3, 30}, 2, {2024, 4, 1}},  // the spring-forward weekend in Europe
        {{2024, 1, 10}, 0, {2024, 1, 10}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.from.adding(c.n), c.to) << c.from.iso().toStdString() << " + " << c.n;
        EXPECT_EQ(c.from.daysUntil(c.to), c.n) << c.from.iso().toStdString() << " + " << c.n;
    }
    EXPECT_EQ((Day{2024, 3, 1}).daysUntil(Day{2024, 2, 28}), -2);
    EXPECT_LT((Day{2023, 12, 31}), (Day{2024, 1, 1}));
    EXPECT_LT((Day{2024, 1, 31}), (Day{2024, 2, 1}));
}

TEST(DayTest, WeekdaysMondaysAndWeekStarts)
{
    // 2024-01-07 is a Sunday; the week around it runs to Saturday 2024-01-13.
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ((Day{2024, 1, 7 + i}).weekday(), i + 1) << i;
    EXPECT_EQ((Day{2024, 1, 7}).monday(), (Day{2024, 1, 1}));
    EXPECT_EQ((Day{2024, 1, 8}).monday(), (Day{2024, 1, 8}));
    EXPECT_EQ((Day{2024, 1, 13}).monday(), (Day{2024, 1, 8}));

    // Wednesday 2024-01-10 with each first weekday, 1 = Sunday ... 7 = Saturday.
    const Day starts[] = {{2024, 1, 7}, {2024, 1, 8}, {2024, 1, 9}, {2024, 1, 10},
                          {2024, 1, 4}, {2024, 1, 5}, {2024, 1, 6}};
    for (int f = 1; f <= 7; ++f) {
        const Day start = (Day{2024, 1, 10}).startOfWeek(f);
        EXPECT_EQ(start, starts[f - 1]) << "first weekday " << f;
        EXPECT_EQ(start.weekday(), f);
    }
    EXPECT_EQ((Day{2024, 1, 6}).startOfWeek(1), (Day{2023, 12, 31}));
    EXPECT_EQ((Day{2024, 1, 6}).startOfWeek(7), (Day{2024, 1, 6}));
    EXPECT_EQ((Day{2024, 1, 1}).startOfWeek(2), (Day{2024, 1, 1}).monday());
}

TEST(DayTest, IsoWeeksAroundTheYearEnd)
{
    struct Case { Day day; IsoWeek week; };
    const Case cases[] = {
        {{2024, 12, 30}, {2025, 1}},
        {{2021, 1, 3}, {2020, 53}},
        {{2021, 1, 4}, {2021, 1}},
        {{2026, 1, 1}, {2026, 1}},
        {{2027, 1, 1}, {2026, 53}},
        {{2019, 12, 30}, {2020, 1}},
        {{2020, 12, 31}, {2020, 53}},
        {{2024, 1, 29}, {2024, 5}},
        {{2023, 1, 1}, {2022, 52}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.day.isoWeek(), c.week) << c.day.iso().toStdString();
}

TEST(DayTest, MonthArithmeticCarriesAcrossYears)
{
    struct Case { MonthKey from; int n; MonthKey to; };
    const Case cases[] = {
        {{2024, 1}, -1, {2023, 12}},
        {{2024, 12}, 1, {2025, 1}},
        {{2024, 1}, -13, {2022, 12}},
        {{2024, 1}, -12, {2023, 1}},
        {{2024, 5}, 0, {2024, 5}},
        {{2024, 1}, 24, {2026, 1}},
        {{2024, 12}, -11, {2024, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.from.adding(c.n), c.to) << c.from.toString().toStdString() << " + " << c.n;
    EXPECT_EQ((MonthKey{2024, 2}).first(), (Day{2024, 2, 1}));
    EXPECT_EQ((Day{2024, 2, 29}).monthKey(), (MonthKey{2024, 2}));
    EXPECT_LT((MonthKey{2023, 12}), (MonthKey{2024, 1}));
}

TEST(DayTest, OnlyTheCallersZoneDecidesTheDayOfAnInstant)
{
    const QTimeZone losAngeles("America/Los_Angeles");
    ASSERT_TRUE(losAngeles.isValid());
    const QTimeZone fixedWest(-5 * 3600);
    const QDateTime lateUtcNight(QDate(2024, 3, 10), QTime(3, 0), QTimeZone::utc());
    EXPECT_EQ(Day::fromDateTime(lateUtcNight, QTimeZone::utc()), (Day{2024, 3, 10}));
    EXPECT_EQ(Day::fromDateTime(lateUtcNight, losAngeles), (Day{2024, 3, 9}));
    EXPECT_EQ(Day::fromDateTime(lateUtcNight, fixedWest), (Day{2024, 3, 9}));
    EXPECT_EQ(Day::fromDateTime(QDateTime(), losAngeles), (Day{1970, 1, 1}));

    // Daylight saving starts in Los Angeles on 2024-03-10: the day after begins an
    // hour earlier in UTC, and each start still reads back as its own day.
    const Day before{2024, 3, 10}, after{2024, 3, 11};
    EXPECT_EQ(before.startIn(losAngeles), QDateTime(QDate(2024, 3, 10), QTime(8, 0), QTimeZone::utc()));
    EXPECT_EQ(after.startIn(losAngeles), QDateTime(QDate(2024, 3, 11), QTime(7, 0), QTimeZone::utc()));
    for (Day d = before.adding(-3); d < before.adding(4); d = d.adding(1))
        EXPECT_EQ(Day::fromDateTime(d.startIn(losAngeles), losAngeles), d) << d.iso().toStdString();
}

TEST(DayTest, DaysThatDoNotExistFallBack)
{
    const Day impossible{2024, 2, 30};
    const QDateTime distantPast(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(impossible.noon(), distantPast);
    EXPECT_EQ(impossible.startIn(QTimeZone::utc()), distantPast);
    EXPECT_EQ(impossible.adding(3), impossible);
    EXPECT_EQ(impossible.daysUntil(Day{2024, 3, 1}), 0);
    EXPECT_EQ(impossible.isoWeek(), (IsoWeek{2024, 1}));
    EXPECT_EQ((Day{2024, 3, 7}).noon(), QDateTime(QDate(2024, 3, 7), QTime(12, 0), QTimeZone::utc()));
}
