#include "notificationscheduler.h"

#include "logcategories.h"
#include "wallclock.h"

#include <algorithm>

NotificationScheduler::NotificationScheduler(std::unique_ptr<DesktopNotifier> notifier, QObject* parent)
    : NotificationScheduler(std::move(notifier), &QDateTime::currentDateTimeUtc, defaultCheckInterval,
                            QTimeZone::systemTimeZone(), parent)
{
}

NotificationScheduler::NotificationScheduler(std::unique_ptr<DesktopNotifier> notifier, Clock clock,
                                             std::chrono::milliseconds checkInterval, QTimeZone zone,
                                             QObject* parent)
    : QObject(parent)
    , notifier_(std::move(notifier))
    , clock_(std::move(clock))
    , checkInterval_(std::max(checkInterval, std::chrono::milliseconds(1)))
    , zone_(std::move(zone))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &NotificationScheduler::deliverDue);
}

NotificationScheduler::~NotificationScheduler() = default;

QStringList NotificationScheduler::pendingIdentifiers() const
{
    return pending_.keys();
}

std::optional<NotificationRequest> NotificationScheduler::pending(const QString& id) const
{
    const auto it = pending_.constFind(id);
    return it == pending_.cend() ? std::nullopt : std::optional(*it);
}

void NotificationScheduler::add(const QString& id, const NotificationRequest& request)
{
    pending_.insert(id, request);
    rearm();
}

void NotificationScheduler::remove(const QStringList& ids)
{
    for (const QString& id : ids)
        pending_.remove(id);
    rearm();
}

QDateTime NotificationScheduler::dueAt(const NotificationRequest& request) const
{
    return pemby::atWallClock(request.day.date(), QTime(request.time.hour, request.time.minute), zone_).instant;
}

void NotificationScheduler::deliverDue()
{
    const QDateTime now = clock_();
    struct Due {
        QDateTime at;
        QString id;
        NotificationRequest request;
    };
    QList<Due> due;
    for (auto it = pending_.begin(); it != pending_.end();) {
        const QDateTime at = dueAt(*it);
        if (at.isValid() && at <= now) {
            due.append({at, it.key(), *it});
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    rearm();
    std::stable_sort(due.begin(), due.end(), [](const Due& a, const Due& b) { return a.at < b.at; });
    for (const Due& d : std::as_const(due)) {
        qCInfo(lcReminders) << "showing reminder" << d.id;
        notifier_->show(d.request.title, d.request.body);
    }
}

void NotificationScheduler::rearm()
{
    std::optional<QDateTime> next;
    for (const NotificationRequest& request : std::as_const(pending_)) {
        const QDateTime at = dueAt(request);
        if (at.isValid() && (!next || at < *next))
            next = at;
    }
    if (!next) {
        timer_.stop();
        return;
    }
    const qint64 wait = std::clamp<qint64>(clock_().msecsTo(*next), 0, checkInterval_.count());
    timer_.start(std::chrono::milliseconds(wait));
}
