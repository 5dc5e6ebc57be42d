#include "fakeportal.h"

#include <QDBusContext>
#include <QDBusVariant>
#include <QHash>
#include <QObject>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
QString entry(const QString& nameSpace, const QString& key) { return nameSpace + QLatin1Char('\n') + key; }
} // namespace

class FakePortalService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QHash<QString, QVariant> values;

public slots:
    QDBusVariant Read(const QString& nameSpace, const QString& key)
    {
        const auto found = values.constFind(entry(nameSpace, key));
        if (found == values.constEnd()) {
            // The real portal answers an unknown key with an error, not an empty value.
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                           QStringLiteral("Requested setting not found"));
            return QDBusVariant(QVariant());
        }
        // The portal's Read wraps the value in a second variant.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(*found)));
    }

signals:
    void SettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value);
};

FakePortal::FakePortal(QDBusConnection bus) : bus_(bus)
{
    thread_.start();
    service_ = new FakePortalService;
    service_->moveToThread(&thread_);
    QMetaObject::invokeMethod(service_, [this] {
        serving_ = bus_.registerService(portalService)
            && bus_.registerObject(portalPath, service_,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    }, Qt::BlockingQueuedConnection);
}

FakePortal::~FakePortal()
{
    QMetaObject::invokeMethod(service_, [this] {
        bus_.unregisterObject(portalPath);
        bus_.unregisterService(portalService);
        delete service_;
    }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void FakePortal::set(const QString& nameSpace, const QString& key, const QVariant& value)
{
    QMetaObject::invokeMethod(service_, [this, nameSpace, key, value] {
        service_->values.insert(entry(nameSpace, key), value);
    }, Qt::BlockingQueuedConnection);
}

void FakePortal::change(const QString& nameSpace, const QString& key, const QVariant& value)
{
    QMetaObject::invokeMethod(service_, [this, nameSpace, key, value] {
        service_->values.insert(entry(nameSpace, key), value);
        emit service_->SettingChanged(nameSpace, key, QDBusVariant(value));
    }, Qt::BlockingQueuedConnection);
}

#include "fakeportal.moc"
