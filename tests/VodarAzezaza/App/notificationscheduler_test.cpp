#include "notificationscheduler.h"

#include "recordingnotifier.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QTimeZone berlin("Europe/Berlin");

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2025, 3, day), QTime(hour, minute), berlin);
}

NotificationRequest request(const QString& title, int day, int hour, int minute)
{
    return {title, "You asked. No pressure.", Day{2025, 3, day}, TimeOfDay{hour, minute}};
}

class NotificationSchedulerTest : public ::testing::Test {
protected:
    // A short interval: the wall-clock re-check is what these tests watch.
    std::unique_ptr<NotificationScheduler> make(std::chrono::milliseconds interval)
    {
        return std::make_unique<NotificationScheduler>(std::make_unique<RecordingNotifier>(shown),
                                                       [this] { return now; }, interval, berlin);
    }

    QList<ShownNotification> shown;
    QDateTime now = at(12, 8, 59);
};

TEST_F(NotificationSchedulerTest, ShowsEachRequestOnceWhenItsTimeComesEarliestFirst)
{
    auto scheduler = make(1h);
    scheduler->add("late", request("late", 12, 9, 30));
    scheduler->add("early", request("early", 12, 9, 0));
    scheduler->add("later still", request("later still", 12, 9, 10));

    scheduler->deliverDue();
    EXPECT_TRUE(shown.isEmpty());

    now = at(12, 9, 0);  // exactly due
    scheduler->deliverDue();
    scheduler->deliverDue();
    EXPECT_EQ(shown, (QList<ShownNotification>{{"early", "You asked. No pressure."}}));
    EXPECT_EQ(scheduler->pendingIdentifiers(), (QStringList{"late", "later still"}));

    now = at(12, 11, 0);  // both fell due while nobody looked
    scheduler->deliverDue();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[1].title, "later still");
    EXPECT_EQ(shown[2].title, "late");
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());
}

TEST_F(NotificationSchedulerTest, RemovedAndReplacedRequestsShowOnlyTheirLatestForm)
{
    auto scheduler = make(1h);
    scheduler->add("a", request("first title", 12, 9, 0));
    scheduler->add("a", request("second title", 12, 9, 0));
    scheduler->add("b", request("b", 12, 9, 0));
    scheduler->remove({"b", "never added"});
    EXPECT_EQ(scheduler->pending("a"), request("second title", 12, 9, 0));
    EXPECT_FALSE(scheduler->pending("b"));

    now = at(12, 9, 1);
    scheduler->deliverDue();
    EXPECT_EQ(shown, (QList<ShownNotification>{{"second title", "You asked. No pressure."}}));
}

// The timer alone would be late after a sleep or a jump of the clock: the scheduler
// looks at the wall clock again within its interval and shows what is due then.
TEST_F(NotificationSchedulerTest, LooksAtTheWallClockAgainWithinItsInterval)
{
    auto scheduler = make(20ms);
    scheduler->add("a", request("a", 12, 10, 0));
    QTest::qWait(80);
    EXPECT_TRUE(shown.isEmpty());  // a check before its time shows nothing

    now = at(12, 11, 0);  // an hour passed without the event loop's timers noticing
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 2000);
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());

    // A request whose time passed before it was added still shows, at once.
    scheduler->add("overdue", request("overdue", 12, 10, 30));
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, 2000);
    QTest::qWait(60);
    EXPECT_EQ(shown.size(), 2);
}

// A reminder set for a time the clocks skip comes when the clocks have jumped over it
// (02:30 on the night they spring forward is 03:30); one set for a time they pass
// twice comes the first time. In both zones.
TEST(NotificationSchedulerClockChanges, RemindAtTheMovedOrTheFirstTime)
{
    struct Case {
        const char* zone;
        Day day;
        TimeOfDay time;
        QDateTime due;  // in UTC
    };
    const auto utc = [](int month, int day, int hour, int minute) {
        return QDateTime(QDate(2025, month, day), QTime(hour, minute), QTimeZone::utc());
    };
    const Case cases[] = {
        {"Europe/Berlin", Day{2025, 3, 30}, TimeOfDay{2, 30}, utc(3, 30, 1, 30)},
        {"Europe/Berlin", Day{2025, 10, 26}, TimeOfDay{2, 30}, utc(10, 26, 0, 30)},
        {"America/Los_Angeles", Day{2025, 3, 9}, TimeOfDay{2, 30}, utc(3, 9, 10, 30)},
        {"America/Los_Angeles", Day{2025, 11, 2}, TimeOfDay{1, 30}, utc(11, 2, 8, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.day.iso().toStdString());
        QList<ShownNotification> shown;
        QDateTime now = c.due.addSecs(-60);
        NotificationScheduler scheduler(std::make_unique<RecordingNotifier>(shown), [&] { return now; }, 1h,
                                        QTimeZone(c.zone));
        scheduler.add("a", {"a", "You asked. No pressure.", c.day, c.time});
        scheduler.deliverDue();
        EXPECT_TRUE(shown.isEmpty());
        now = c.due;
        scheduler.deliverDue();
        EXPECT_EQ(shown.size(), 1);
    }
}

} // namespace
