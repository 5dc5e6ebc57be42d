#pragma once
// A settings portal of the test's own, on a private bus: answers Read from a table
// and announces changes as the desktop's portal does. It serves from a thread of its
// own, as a real portal answers from its own process, so a blocking read from the
// test's thread gets its reply.

#include <QDBusConnection>
#include <QString>
#include <QThread>
#include <QVariant>

class FakePortalService;

class FakePortal {
public:
    // Claims the portal's name on `bus` and serves the settings object there.
    explicit FakePortal(QDBusConnection bus);
    ~FakePortal();
    FakePortal(const FakePortal&) = delete;
    FakePortal& operator=(const FakePortal&) = delete;

    bool isServing() const { return serving_; }
    void set(const QString& nameSpace, const QString& key, const QVariant& value);
    // Sets a value and announces it with SettingChanged.
    void change(const QString& nameSpace, const QString& key, const QVariant& value);

private:
    QDBusConnection bus_;
    QThread thread_;
    FakePortalService* service_ = nullptr;
    bool serving_ = false;
};
