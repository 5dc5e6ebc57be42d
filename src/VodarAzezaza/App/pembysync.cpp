#include "pembysync.h"

#include "familystore.h"
#include "logcategories.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDir>
#include <QStandardPaths>

QString PembySync::familyFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Pemby"));
}

QString PembySync::storePath()
{
    return QDir(familyFolder()).filePath(QStringLiteral("family.db"));
}

FamilyStore& PembySync::store()
{
    static FamilyStore shared(storePath());
    return shared;
}

QString PembySync::notesFolderURL()
{
    return QDir(familyFolder()).filePath(QStringLiteral("notes"));
}

bool PembySync::post(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(changeNotification.path),
                                                     QString::fromLatin1(changeNotification.interface),
                                                     QString::fromLatin1(changeNotification.member));
    if (bus.send(signal))
        return true;
    qCWarning(lcFamily) << "couldn't post the change notification:" << bus.lastError().message();
    return false;
}
