#include "remindercenter.h"

#include "launch.h"
#include "logcategories.h"
#include "wallclock.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMap>
#include <QTimer>

namespace {

const QString notificationService = QString::fromLatin1(DBusDesktopNotifier::service);

QString requestBody()
{
    return QStringLiteral("You asked. No pressure.");
}

// "<week start>|<day>|<hh:mm>|<title>", nothing trimmed or escaped: a change of title,
// day or time makes a new identifier, so the old request goes as stale.
QString requestIdentifier(Day weekStart, Day day, TimeOfDay time, const QString& title)
{
    return weekStart.iso() + QLatin1Char('|') + day.iso() + QLatin1Char('|')
        + time.toString() + QLatin1Char('|') + title;
}

QDBusPendingCall askBus(const QDBusConnection& bus, const QString& member, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), member);
    call.setArguments(arguments);
    return bus.asyncCall(call);
}

} // namespace

ReminderCenter::ReminderCenter(QObject* parent)
    : ReminderCenter(new NotificationScheduler(std::make_unique<DBusDesktopNotifier>()), isAvailable(),
                     QTimeZone::systemTimeZone(), parent)
{
    scheduler_->setParent(this);
}

ReminderCenter::ReminderCenter(NotificationScheduler* scheduler, bool available, QTimeZone zone, QObject* parent)
    : QObject(parent)
    , scheduler_(scheduler)
    , available_(available)
    , zone_(std::move(zone))
{
}

bool ReminderCenter::isAvailable()
{
    static const bool available = !Launch::isDemo() && !qEnvironmentVariableIsSet("PLANNER_RENDER")
        && serviceIsOffered(QDBusConnection::sessionBus());
    return available;
}

bool ReminderCenter::serviceIsOffered(const QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> running = bus.interface()->isServiceRegistered(notificationService);
    if (running.isValid() && running.value())
        return true;
    const QDBusReply<QStringList> startable = bus.interface()->activatableServiceNames();
    return startable.isValid() && startable.value().contains(notificationService);
}

void ReminderCenter::requestAuthorization(QObject* context, std::function<void(bool granted)> done,
                                          const QDBusConnection& bus)
{
    if (!bus.isConnected()) {
        QTimer::singleShot(0, context, [done] { done(false); });
        return;
    }
    auto* running = new QDBusPendingCallWatcher(askBus(bus, QStringLiteral("NameHasOwner"), {notificationService}),
                                                context);
    connect(running, &QDBusPendingCallWatcher::finished, context, [bus, context, done](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (!reply.isError() && reply.value()) {
            done(true);
            return;
        }
        auto* startable = new QDBusPendingCallWatcher(askBus(bus, QStringLiteral("ListActivatableNames"), {}),
                                                      context);
        connect(startable, &QDBusPendingCallWatcher::finished, context, [done](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<QStringList> names = *w;
            done(!names.isError() && names.value().contains(notificationService));
        });
    });
}

void ReminderCenter::sync(const Planner& planner, const QSet<Day>& weeks, const QDateTime& now)
{
    if (!available_ || !scheduler_)
        return;

    QMap<QString, NotificationRequest> wanted;
    // Days before today can hold no time still to come; skipping them keeps a save
    // cheap when years of weeks are loaded.
    const Day today = Day::fromDateTime(now, zone_);
    for (const Day& weekStart : weeks) {
        if (weekStart.adding(6) < today)
            continue;
        for (int offset = 0; offset < 7; ++offset) {
            const Day day = weekStart.adding(offset);
            if (day < today)
                continue;
            for (const Thing& thing : planner.days.value(day)) {
                if (thing.done || !thing.remind)
                    continue;
                // The night the clocks skip its time, a reminder comes as late as it has to.
                const QDateTime at =
                    pemby::atWallClock(day.date(), QTime(thing.remind->hour, thing.remind->minute), zone_).instant;
                if (!at.isValid() || at <= now)
                    continue;
                // The same title at the same time on the same day is one request.
                wanted.insert(requestIdentifier(weekStart, day, *thing.remind, thing.title),
                              {thing.title, requestBody(), day, *thing.remind});
            }
        }
    }
    QSet<QString> syncedWeeks;
    for (const Day& weekStart : weeks)
        syncedWeeks.insert(weekStart.iso());

    QTimer::singleShot(0, this, [this, wanted, syncedWeeks] {
        if (!scheduler_)
            return;
        const QStringList pending = scheduler_->pendingIdentifiers();
        // Requests of weeks not synced now, and any others, are left alone.
        QStringList stale;
        for (const QString& id : pending) {
            if (wanted.contains(id))
                continue;
            const qsizetype bar = id.indexOf(QLatin1Char('|'));
            if (bar > 0 && syncedWeeks.contains(id.first(bar)))
                stale.append(id);
        }
        if (!stale.isEmpty())
            scheduler_->remove(stale);
        for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
            if (!pending.contains(it.key()))
                scheduler_->add(it.key(), it.value());
    });
}
