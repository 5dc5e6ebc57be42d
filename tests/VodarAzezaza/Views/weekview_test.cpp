// The week board over a real model: the day headers, the empty-week card.
#include "appmodel.h"
#include "boardtesting.h"
#include "dayheader.h"
#include "emptyweek.h"
#include "modelharness.h"
#include "yawnview.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};

} // namespace

TEST(DayHeader, MarksTodayAndFadesThePast)
{
    struct Case {
        const char* name;
        Day day;
        QString text;
        bool patch;       // the yellow patch, no rule
        PembyColor rule;  // otherwise
        bool muted;       // a number in pembyMuted
        bool inked;       // anything in pembyText
    };
    const Case cases[] = {
        {"today", today, "wed 4 · today", true, Palette::yawn, false, false},
        {"yesterday", today.adding(-1), "tue 3", false, Palette::pembyFaint, false, false},
        {"tomorrow", today.adding(1), "thu 5", false, Palette::pembyText, true, true},
    };
    MotionPin motion;
    ModelHarness h;
    AppModel& m = h.start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DayHeader header(m, c.day);
        header.resize(140, header.sizeHint().height());
        EXPECT_EQ(header.height(), 36);
        EXPECT_EQ(header.accessibleName(), c.text);
        const QImage image = header.grab().toImage();
        EXPECT_EQ(image.pixelColor(70, 35).rgb(), c.rule.light().rgb());
        EXPECT_EQ(image.pixelColor(70, 34).rgb(), c.rule.light().rgb());
        if (!c.patch) {
            EXPECT_NE(image.pixelColor(70, 33).rgb(), c.rule.light().rgb()) << "a rule two pixels high";
        }
        EXPECT_EQ(countColour(image, Palette::pembyMuted.light()) > 0, c.muted);
        if (!c.patch) {
            EXPECT_EQ(countColour(image, Palette::pembyText.light()) > 0, c.inked);
        }
    }
}

TEST(DayHeader, FollowsTodayAndADoubleClickOpensTheMonth)
{
    ModelHarness h;
    AppModel& m = h.start();
    DayHeader header(m, Day{2026, 4, 14});
    header.resize(140, 36);
    EXPECT_FALSE(header.isToday());
    h.today = Day{2026, 4, 14};
    m.refresh(QDateTime(h.today.date(), QTime(9, 0), QTimeZone::utc()));
    EXPECT_TRUE(header.isToday());
    EXPECT_EQ(header.accessibleName(), "tue 14 · today");

    QTest::mouseDClick(&header, Qt::LeftButton);
    EXPECT_EQ(m.mode(), Mode::Month);
    EXPECT_EQ(m.anchor(), (Day{2026, 4, 14}));
    // Anywhere but the week board it opens the day's week.
    QTest::mouseDClick(&header, Qt::LeftButton);
    EXPECT_EQ(m.mode(), Mode::Week);
}

TEST(EmptyWeek, LetsClicksThroughAndIsSpentOnceItLeavesTheScreen)
{
    MotionPin motion;
    ModelHarness h;
    AppModel& m = h.start();
    TestWindow window(QSize(600, 400));
    auto* card = new EmptyWeek(m);
    window.hold(card);
    EXPECT_TRUE(card->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(card->face()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(m.emptyBannerSpent());
    card->hide();
    EXPECT_TRUE(m.emptyBannerSpent());
}
