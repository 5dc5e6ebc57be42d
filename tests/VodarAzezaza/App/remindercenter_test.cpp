#include "remindercenter.h"

#include "recordingnotifier.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QTimeZone berlin("Europe/Berlin");
const QString body = "You asked. No pressure.";
const Day monday{2025, 3, 10};

Day march(int day)
{
    return Day{2025, 3, day};
}

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2025, 3, day), QTime(hour, minute), berlin);
}

Thing thing(const QString& title, std::optional<TimeOfDay> remind, bool done = false)
{
    Thing t;
    t.id = QUuid::createUuid();
    t.title = title;
    t.remind = remind;
    t.done = done;
    return t;
}

class ReminderCenterTest : public ::testing::Test {
protected:
    // The scheduler's own clock stays before every request, so nothing fires here.
    NotificationScheduler scheduler{std::make_unique<RecordingNotifier>(shown), [] { return at(1, 0, 0); }, 1h,
                                    berlin};
    QList<ShownNotification> shown;

    void pend(const QString& id)
    {
        scheduler.add(id, {"old", body, march(20), TimeOfDay{10, 0}});
    }

    void sync(ReminderCenter& center, const Planner& planner, const QSet<Day>& weeks, const QDateTime& now)
    {
        const QStringList before = scheduler.pendingIdentifiers();
        center.sync(planner, weeks, now);
        EXPECT_EQ(scheduler.pendingIdentifiers(), before) << "the reconciliation must wait for the event loop";
        QCoreApplication::processEvents();
    }
};

TEST_F(ReminderCenterTest, SchedulesUnfinishedDatedThingsOfTheSyncedWeeks)
{
    Planner planner;
    planner.days[march(12)] = {thing("call mum", TimeOfDay{9, 5}), thing("no reminder", std::nullopt)};
    planner.days[march(16)] = {thing("Sunday | late", TimeOfDay{23, 59})};
    planner.days[march(17)] = {thing("next week", TimeOfDay{9, 0})};  // its week is not synced
    planner.lists = {EventuallyList{"someday", {thing("in a list", TimeOfDay{9, 0})}}};
    planner.months[MonthKey{2025, 3}] = {thing("in a month", TimeOfDay{9, 0})};

    ReminderCenter center(&scheduler, true, berlin);
    sync(center, planner, {monday}, at(11, 12, 0));

    EXPECT_EQ(scheduler.pendingIdentifiers(),
              (QStringList{"2025-03-10|2025-03-12|09:05|call mum", "2025-03-10|2025-03-16|23:59|Sunday | late"}));
    EXPECT_EQ(scheduler.pending("2025-03-10|2025-03-12|09:05|call mum"),
              (NotificationRequest{"call mum", body, march(12), TimeOfDay{9, 5}}));
}

TEST_F(ReminderCenterTest, ReconcilesPendingRequestsOfTheSyncedWeeks)
{
    pend("2025-03-10|2025-03-12|08:00|past today");  // its time passed earlier today
    pend("2025-03-10|2025-03-13|10:00|ticked");      // its thing is done now
    pend("2025-03-10|2025-03-14|10:00|old title");   // its thing was renamed
    pend("2025-03-03|2025-03-05|10:00|last week");   // a week not synced
    pend("someone else's request");

    Planner planner;
    planner.days[march(12)] = {thing("past today", TimeOfDay{8, 0}), thing("due this minute", TimeOfDay{9, 0}),
                               thing("tonight", TimeOfDay{18, 0})};
    planner.days[march(13)] = {thing("ticked", TimeOfDay{10, 0}, true)};
    planner.days[march(14)] = {thing("new title", TimeOfDay{10, 0})};
    planner.days[march(15)] = {thing("twice", TimeOfDay{7, 0}), thing("twice", TimeOfDay{7, 0})};

    ReminderCenter center(&scheduler, true, berlin);
    sync(center, planner, {monday}, at(12, 9, 0));

    EXPECT_EQ(scheduler.pendingIdentifiers(), (QStringList{
                                                  "2025-03-03|2025-03-05|10:00|last week",
                                                  "2025-03-10|2025-03-12|18:00|tonight",
                                                  "2025-03-10|2025-03-14|10:00|new title",
                                                  "2025-03-10|2025-03-15|07:00|twice",
                                                  "someone else's request",
                                              }));
    EXPECT_TRUE(shown.isEmpty());
}

// 02:30 does not happen on the night the clocks spring forward; the reminder is kept
// for when it would have been, not dropped.
TEST_F(ReminderCenterTest, AReminderAtATimeTheClocksSkipIsStillScheduled)
{
    Planner planner;
    planner.days[march(30)] = {thing("night shift", TimeOfDay{2, 30})};
    ReminderCenter center(&scheduler, true, berlin);
    sync(center, planner, {march(24)}, at(29, 12, 0));
    EXPECT_EQ(scheduler.pendingIdentifiers(), QStringList{"2025-03-24|2025-03-30|02:30|night shift"});
}

TEST_F(ReminderCenterTest, UnavailableSchedulesAndRemovesNothing)
{
    pend("2025-03-10|2025-03-13|10:00|ticked");
    Planner planner;
    planner.days[march(12)] = {thing("call mum", TimeOfDay{9, 5})};

    ReminderCenter center(&scheduler, false, berlin);
    center.sync(planner, {monday}, at(11, 12, 0));
    QCoreApplication::processEvents();

    EXPECT_EQ(scheduler.pendingIdentifiers(), QStringList{"2025-03-10|2025-03-13|10:00|ticked"});
}

} // namespace
