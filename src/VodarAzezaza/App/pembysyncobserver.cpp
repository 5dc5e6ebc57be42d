#include "pembysyncobserver.h"

#include "logcategories.h"
#include "pembysync.h"

#include <QDBusError>
#include <QMetaObject>

PembySyncObserver::PembySyncObserver(QObject* parent)
    : QObject(parent)
{
}

void PembySyncObserver::setOnChanged(std::function<void()> callback, QObject* receiver)
{
    onChanged_ = std::move(callback);
    receiver_ = receiver;
    hasReceiver_ = receiver != nullptr;
}

bool PembySyncObserver::observe(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return false;
    // QDBusConnection::connect is not const, but a copy shares the connection.
    QDBusConnection connection = bus;
    const auto& name = PembySync::changeNotification;
    if (connection.connect(QString(), QString::fromLatin1(name.path), QString::fromLatin1(name.interface),
                           QString::fromLatin1(name.member), this, SLOT(changed())))
        return true;
    qCWarning(lcFamily) << "couldn't observe the change notification:" << connection.lastError().message();
    return false;
}

void PembySyncObserver::changed()
{
    // Queued with the observer as context: released before it runs, nothing happens.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!onChanged_ || (hasReceiver_ && !receiver_))
                return;
            // A copy, so a callback that resets the observer's callback survives its own call.
            const auto callback = onChanged_;
            callback();
        },
        Qt::QueuedConnection);
}
