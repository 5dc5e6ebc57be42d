#include "privatebus.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QUuid>

PrivateBus::PrivateBus()
{
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--config-file=" PEMBY_TEST_BUS_CONFIG), QStringLiteral("--nofork"),
                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    daemon_.start();
    if (!daemon_.waitForStarted(5000))
        return;
    QDeadlineTimer deadline(5000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        daemon_.waitForReadyRead(int(deadline.remainingTime()));
        out += daemon_.readAllStandardOutput();
    }
    address_ = QString::fromUtf8(out).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : std::as_const(names_))
        QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    if (!daemon_.waitForFinished(2000))
        daemon_.kill();
    daemon_.waitForFinished(2000);
}

QDBusConnection PrivateBus::connect(const QString& name)
{
    const QString unique = name + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces);
    names_.append(unique);
    return QDBusConnection::connectToBus(address_, unique);
}
