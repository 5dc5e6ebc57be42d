#pragma once
// The desktop's settings as the freedesktop settings portal publishes them
// ("org.freedesktop.portal.Settings" on the session bus): one read per key, and a
// signal when the desktop announces a change. Without a portal every read gives
// nothing and no signal comes, so callers keep their own fallback.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

class DesktopSettings : public QObject {
    Q_OBJECT
public:
    // The process's reader, on the session bus; made on first use.
    static DesktopSettings& instance();

    explicit DesktopSettings(const QDBusConnection& bus, QObject* parent = nullptr);

    // The value of one key, unwrapped from the portal's variants; nothing when the
    // portal is missing, slow or does not know the key.
    std::optional<QVariant> read(const QString& nameSpace, const QString& key) const;

signals:
    void changed(const QString& nameSpace, const QString& key, const QVariant& value);

private slots:
    void onSettingChanged(const QDBusMessage& message);

private:
    QDBusConnection bus_;
};
