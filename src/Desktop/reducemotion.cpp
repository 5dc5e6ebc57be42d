#include "reducemotion.h"

#include "desktopsettings.h"

#include <QCoreApplication>
#include <QObject>

#include <optional>

namespace {

const QString interfaceNamespace = QStringLiteral("org.gnome.desktop.interface");
const QString animationsKey = QStringLiteral("enable-animations");

std::optional<bool> pinned;

bool fromEnvironment(bool& on)
{
    const QByteArray value = qgetenv("PEMBY_REDUCE_MOTION");
    if (value == "1" || value == "0") {
        on = value == "1";
        return true;
    }
    return false;
}

struct PortalValue {
    bool on = false;
    PortalValue()
    {
        auto& settings = DesktopSettings::instance();
        if (const auto value = settings.read(interfaceNamespace, animationsKey); value && value->canConvert<bool>())
            on = !value->toBool();
        QObject::connect(&settings, &DesktopSettings::changed, &settings,
                         [this](const QString& ns, const QString& key, const QVariant& value) {
                             if (ns == interfaceNamespace && key == animationsKey)
                                 on = !value.toBool();
                         });
    }
};

} // namespace

bool ReduceMotion::isOn()
{
    if (pinned)
        return *pinned;
    bool on = false;
    if (fromEnvironment(on))
        return on;
    static PortalValue portal;
    return portal.on;
}

void ReduceMotion::setForTesting(bool on) { pinned = on; }
