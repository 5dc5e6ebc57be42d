#include "things.h"

#include "support/plannertesting.h"

#include <gtest/gtest.h>

TEST(TimeOfDayTest, ParsesStrictTimes)
{
    struct Case { const char* text; std::optional<TimeOfDay> time; };
    const Case cases[] = {
        {"07:30", TimeOfDay{7, 30}},
        {"9:5", TimeOfDay{9, 5}},
        {"12::30", TimeOfDay{12, 30}},
        {":12:30:", TimeOfDay{12, 30}},
        {"+7:30", TimeOfDay{7, 30}},
        {"00:00", TimeOfDay{0, 0}},
        {"23:59", TimeOfDay{23, 59}},
        {"24:00", std::nullopt},
        {"12:60", std::nullopt},
        {"-1:30", std::nullopt},
        {"12:30:00", std::nullopt},
        {"noon", std::nullopt},
        {"7", std::nullopt},
        {" 7:30", std::nullopt},
        {"7:30 ", std::nullopt},
        {"7.5:30", std::nullopt},
        {":", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeOfDay::parse(QString::fromLatin1(c.text)), c.time) << c.text;
}

TEST(TimeOfDayTest, ClampsAndFormats)
{
    EXPECT_EQ(TimeOfDay::clamped(24, 75), (TimeOfDay{23, 59}));
    EXPECT_EQ(TimeOfDay::clamped(25, -3), (TimeOfDay{23, 0}));
    EXPECT_EQ(TimeOfDay::clamped(-1, 30), (TimeOfDay{0, 30}));
    EXPECT_EQ((TimeOfDay{9, 5}).toString(), "09:05");
    EXPECT_EQ(TimeOfDay::parse(u"07:30")->toString(), "07:30");
}

TEST(ThingsTest, RawValuesAreExactLowerCaseWords)
{
    EXPECT_EQ(markFromRawValue(u"red"), Mark::Red);
    EXPECT_EQ(markFromRawValue(u"Red"), std::nullopt);
    EXPECT_EQ(markFromRawValue(u" red"), std::nullopt);
    EXPECT_EQ(markFromRawValue(u""), std::nullopt);
    QStringList marks;
    for (const Mark m : allMarks) {
        marks.append(markRawValue(m));
        EXPECT_EQ(markFromRawValue(markRawValue(m)), m);
    }
    EXPECT_EQ(marks, (QStringList{"lavender", "green", "red"}));

    QStringList kinds;
    for (const RepeatKind k : allRepeatKinds) {
        kinds.append(repeatKindRawValue(k));
        EXPECT_EQ(repeatKindFromRawValue(repeatKindRawValue(k)), k);
    }
    EXPECT_EQ(kinds, (QStringList{"daily", "weekdays", "weekly", "monthly"}));
    EXPECT_EQ(repeatKindFromRawValue(u"Weekly"), std::nullopt);
}

TEST(ThingsTest, StepsSummaryCountsDoneSteps)
{
    Thing t = Thing::make("pack");
    EXPECT_EQ(t.stepsSummary(), std::nullopt);
    t.steps = {{"a", true}, {"b", false}, {"c", true}};
    EXPECT_EQ(t.stepsSummary(), "2/3");
    t.steps.clear();
    for (int i = 0; i < 12; ++i)
        t.steps.append({"s", i < 10});
    EXPECT_EQ(t.stepsSummary(), "10/12");
}

TEST(ThingsTest, NewThingsAreEmptyButForTitleAndFreshId)
{
    const Thing a = Thing::make("a"), b = Thing::make("a");
    EXPECT_FALSE(a.id.isNull());
    EXPECT_NE(a.id, b.id);
    Thing expected;
    expected.id = a.id;
    expected.title = "a";
    EXPECT_EQ(a, expected);
}

TEST(ThingsTest, PlacesAreEqualByKindAndPayload)
{
    const Day d{2024, 1, 10};
    EXPECT_EQ(Place::onDay(d), Place::onDay(Day{2024, 1, 10}));
    EXPECT_NE(Place::onDay(d), Place::onDay(d.adding(1)));
    EXPECT_EQ(Place::inList(2), Place::inList(2));
    EXPECT_NE(Place::inList(0), Place::inList(1));
    // Payloads at their defaults must not make different kinds equal.
    EXPECT_NE(Place::inList(0), Place::onDay(Day{}));
    EXPECT_NE(Place::inMonth(MonthKey{}), Place::onDay(Day{}));
    EXPECT_NE(Place::inMonth(MonthKey{2024, 1}), Place::inMonth(MonthKey{2024, 2}));
    EXPECT_EQ(Place::onDay(d).day(), d);
    EXPECT_EQ(Place::inList(0).day(), std::nullopt);
    EXPECT_EQ(Place::inMonth(MonthKey{2024, 1}).day(), std::nullopt);
}
