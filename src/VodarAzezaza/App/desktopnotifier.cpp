#include "desktopnotifier.h"

#include "logcategories.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

DBusDesktopNotifier::DBusDesktopNotifier(QDBusConnection bus)
    : bus_(std::move(bus))
{
}

namespace {

// Servers may read markup in the body, and some in the summary too: a title holding
// "<b>" or "&amp;" is text of the user's, shown as typed.
QString escapedMarkup(QString text)
{
    text.replace(u'&', QStringLiteral("&amp;"));
    text.replace(u'<', QStringLiteral("&lt;"));
    text.replace(u'>', QStringLiteral("&gt;"));
    return text;
}

} // namespace

void DBusDesktopNotifier::show(const QString& title, const QString& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                       QString::fromLatin1(interface), QStringLiteral("Notify"));
    call << QStringLiteral("Pemby Planner")  // app_name
         << uint(0)                          // replaces_id: always a new notification
         << QString()                        // app_icon
         << escapedMarkup(title) << escapedMarkup(body)
         << QStringList()                    // actions
         << QVariantMap()                    // hints
         << int(-1);                         // expire_timeout: the server's default
    // Never wait on the desktop: a busy notification server must not stall the GUI.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), &calls_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            qCWarning(lcReminders) << "notification not shown:" << reply.error().message();
        w->deleteLater();
    });
}
