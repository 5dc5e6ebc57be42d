#pragma once
// Turns the reminder times of unfinished dated things into one-shot desktop
// notifications, and withdraws those that are no longer wanted. It keeps no state of
// its own: every sync works out the wanted requests from the plan and reconciles them
// with the scheduler's pending ones.

#include "notificationscheduler.h"
#include "planner.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimeZone>

#include <functional>

class ReminderCenter : public QObject {
    Q_OBJECT
public:
    // Reminders on the session bus's notification service, if this run may use it.
    explicit ReminderCenter(QObject* parent = nullptr);
    // Reminders through `scheduler` (not owned); `available` stands for isAvailable().
    // The wanted requests' days and times are wall-clock times in `zone`.
    ReminderCenter(NotificationScheduler* scheduler, bool available, QTimeZone zone, QObject* parent = nullptr);

    // Decided once per process: the session bus offers the notification service and
    // this is neither a demo run nor a render run (those never touch the user's
    // notifications).
    static bool isAvailable();
    // Whether `bus` has the notification service running or can start it.
    static bool serviceIsOffered(const QDBusConnection& bus);
    // The desktop asks no permission; "granted" means the service is there to show
    // notifications. `done` runs later on `context`'s thread, never once it is gone.
    static void requestAuthorization(QObject* context, std::function<void(bool granted)> done,
                                     const QDBusConnection& bus = QDBusConnection::sessionBus());

    bool available() const { return available_; }
    NotificationScheduler* scheduler() const { return scheduler_; }

    // Schedules a request for each unfinished thing with a reminder on the days of the
    // weeks starting at `weeks` whose time is later than `now`, and removes pending
    // requests of those weeks that are no longer wanted. Returns at once; the
    // reconciliation follows from the event loop. Does nothing when not available.
    void sync(const Planner& planner, const QSet<Day>& weeks, const QDateTime& now);

private:
    // A scheduler gone before a queued reconciliation runs just ends it.
    QPointer<NotificationScheduler> scheduler_;
    bool available_;
    QTimeZone zone_;
};
