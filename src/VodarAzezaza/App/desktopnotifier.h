#pragma once
// Shows one notification on the desktop. Behind an interface so the scheduler can be
// tested with a recorder in place of the desktop.

#include <QDBusConnection>
#include <QObject>
#include <QString>

class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // Fire and forget: a failure is logged, never reported back.
    virtual void show(const QString& title, const QString& body) = 0;
};

// org.freedesktop.Notifications.Notify on the given bus: the title as summary, the
// body, no actions and no hints (so the server plays its default sound, if any).
class DBusDesktopNotifier final : public DesktopNotifier {
public:
    static constexpr const char* service = "org.freedesktop.Notifications";
    static constexpr const char* path = "/org/freedesktop/Notifications";
    static constexpr const char* interface = "org.freedesktop.Notifications";

    explicit DBusDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());
    void show(const QString& title, const QString& body) override;

private:
    QDBusConnection bus_;
    QObject calls_;  // parent of the replies still awaited, so none outlives the notifier
};
