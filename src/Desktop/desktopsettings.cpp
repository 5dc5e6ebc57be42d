#include "desktopsettings.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

// A start-up read must never hang the window on a portal that does not answer.
constexpr int readTimeoutMs = 400;

// The portal wraps values in one or two variants, depending on its version.
QVariant unwrap(QVariant value)
{
    for (int i = 0; i < 3 && value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>(); ++i)
        value = value.value<QDBusVariant>().variant();
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        if (arg.currentType() == QDBusArgument::VariantType) {
            QDBusVariant inner;
            arg >> inner;
            return unwrap(inner.variant());
        }
    }
    return value;
}

} // namespace

DesktopSettings& DesktopSettings::instance()
{
    static auto* settings = new DesktopSettings(QDBusConnection::sessionBus());
    return *settings;
}

DesktopSettings::DesktopSettings(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus)
{
    if (bus_.isConnected())
        bus_.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                     SLOT(onSettingChanged(QDBusMessage)));
}

std::optional<QVariant> DesktopSettings::read(const QString& nameSpace, const QString& key) const
{
    if (!bus_.isConnected())
        return std::nullopt;
    auto call = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                               QStringLiteral("Read"));
    call << nameSpace << key;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, readTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return unwrap(reply.arguments().constFirst());
}

void DesktopSettings::onSettingChanged(const QDBusMessage& message)
{
    const QVariantList args = message.arguments();
    if (args.size() != 3)
        return;
    emit changed(args.at(0).toString(), args.at(1).toString(), unwrap(args.at(2)));
}
