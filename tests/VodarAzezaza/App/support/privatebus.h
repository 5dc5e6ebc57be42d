#pragma once
// A session bus of the test's own: ctest runs test programs in parallel on one
// dbus-run-session bus, so anything that broadcasts or owns a well-known name gets
// a private daemon instead and cannot hear or disturb another test program.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

    // A new, separate connection to the bus (each one plays its own process).
    QDBusConnection connect(const QString& name);

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};
