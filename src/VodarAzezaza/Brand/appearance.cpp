#include "appearance.h"

#include "desktopsettings.h"
#include "launch.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStyleFactory>
#include <QWidget>

namespace {

const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString schemeKey = QStringLiteral("color-scheme");

Appearance* appWideAppearance = nullptr;

} // namespace

QColor PembyColor::resolved() const { return in(Appearance::current()); }

Appearance::Sources Appearance::Sources::fromDesktop(const Launch& launch)
{
    Sources s;
    s.forced = forcedBy(launch);
    s.portal = &DesktopSettings::instance();
    s.desktopPalette = QGuiApplication::palette();
    return s;
}

std::optional<ColorScheme> Appearance::Sources::forcedBy(const Launch& launch)
{
    if (!launch.appearance)
        return std::nullopt;
    return *launch.appearance == Launch::Appearance::Dark ? ColorScheme::Dark : ColorScheme::Light;
}

Appearance::Appearance(Sources sources, QObject* parent) : QObject(parent), sources_(std::move(sources))
{
    if (sources_.portal) {
        // A forced side never changes, so it need not ask the desktop at all.
        if (!sources_.forced) {
            if (const auto value = sources_.portal->read(appearanceNamespace, schemeKey))
                portal_ = fromPortal(*value);
        }
        connect(sources_.portal, &DesktopSettings::changed, this, &Appearance::portalChanged);
    }
    scheme_ = decide();
}

Appearance::~Appearance()
{
    if (appWideAppearance == this)
        appWideAppearance = nullptr;
}

std::optional<ColorScheme> Appearance::fromPortal(const QVariant& value)
{
    bool ok = false;
    const uint v = value.toUInt(&ok);
    if (!ok)
        return std::nullopt;
    if (v == 1)
        return ColorScheme::Dark;
    if (v == 2)
        return ColorScheme::Light;
    return std::nullopt;
}

void Appearance::portalChanged(const QString& nameSpace, const QString& key, const QVariant& value)
{
    if (nameSpace != appearanceNamespace || key != schemeKey)
        return;
    portal_ = fromPortal(value);
    settle();
}

ColorScheme Appearance::decide() const
{
    if (sources_.forced)
        return *sources_.forced;
    if (portal_)
        return *portal_;
    return sources_.desktopPalette.color(QPalette::Active, QPalette::Window).lightness() < 128 ? ColorScheme::Dark
                                                                                                : ColorScheme::Light;
}

void Appearance::settle()
{
    const ColorScheme next = decide();
    if (next == scheme_)
        return;
    scheme_ = next;
    if (appWideAppearance == this)
        applyToWidgets();
    emit changed(scheme_);
}

void Appearance::applyToWidgets()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    QApplication::setPalette(widgetPalette(scheme_));
    // Custom painting reads the palette at paint time, and a widget that keeps a palette
    // of its own may get no palette change: ask every one to paint again.
    for (QWidget* w : QApplication::allWidgets())
        w->update();
}

void Appearance::makeAppWide()
{
    appWideAppearance = this;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
            QApplication::setStyle(fusion);
    }
    applyToWidgets();
}

Appearance* Appearance::appWide() { return appWideAppearance; }

ColorScheme Appearance::current() { return appWideAppearance ? appWideAppearance->scheme() : ColorScheme::Light; }

QPalette Appearance::widgetPalette(ColorScheme scheme)
{
    using namespace Palette;
    const bool dark = scheme == ColorScheme::Dark;
    auto c = [scheme](const PembyColor& color) { return color.in(scheme); };

    QPalette p;
    const QColor background = c(pembyBackground);
    const QColor text = c(pembyText);
    const QColor control = dark ? c(night) : c(stone100);
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, dark ? c(night) : c(white));
    p.setColor(QPalette::AlternateBase, dark ? c(stone800) : c(stone100));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, c(pembyFaint));
    p.setColor(QPalette::Button, control);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, c(oops));
    // Fusion draws bevels and frames from these five.
    p.setColor(QPalette::Light, dark ? c(stone800) : c(white));
    p.setColor(QPalette::Midlight, dark ? c(stone800) : c(stone100));
    p.setColor(QPalette::Mid, c(pembyRule));
    p.setColor(QPalette::Dark, c(pembyFaint));
    p.setColor(QPalette::Shadow, c(ink));
    p.setColor(QPalette::Highlight, c(snooze));
    p.setColor(QPalette::HighlightedText, c(ink));
    p.setColor(QPalette::Link, c(pembySnooze));
    p.setColor(QPalette::LinkVisited, c(pembySnooze));
    p.setColor(QPalette::ToolTipBase, dark ? c(stone800) : c(ink));
    p.setColor(QPalette::ToolTipText, c(paper));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c(pembyFaint));
    p.setColor(QPalette::Disabled, QPalette::Highlight, c(pembyFaint));
    return p;
}
