// Light or dark: the environment, then the desktop's colour scheme from the settings
// portal, then the desktop palette's lightness; the palette's colours follow, and a
// change from the portal repaints the app.
#include "appearance.h"
#include "desktopsettings.h"
#include "fakeportal.h"
#include "launch.h"
#include "palette.h"
#include "privatebus.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString schemeKey = QStringLiteral("color-scheme");

QPalette desktopPalette(bool dark)
{
    QPalette p;
    p.setColor(QPalette::Window, dark ? QColor(0x30, 0x30, 0x30) : QColor(0xee, 0xee, 0xee));
    return p;
}

// Paints itself in the planner's background colour, as every board does.
class Surface : public QWidget {
public:
    Surface() { resize(20, 20); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Palette::pembyBackground);
    }
};

QRgb middle(QWidget& w) { return w.grab().toImage().pixel(w.width() / 2, w.height() / 2); }

enum class Portal { None, Light, Dark, NoPreference, Unknown };

struct AppearanceCase {
    const char* name;
    const char* environment;
    Portal portal;
    bool darkDesktopPalette;
    ColorScheme expected;
};

} // namespace

TEST(Appearance, TheEnvironmentThenThePortalThenTheDesktopPalette)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    const AppearanceCase cases[] = {
        {"forced dark beats a light portal", "dark", Portal::Light, false, ColorScheme::Dark},
        {"forced light beats a dark portal", "light", Portal::Dark, true, ColorScheme::Light},
        {"any other value is ignored", "sepia", Portal::Dark, false, ColorScheme::Dark},
        {"the portal prefers dark", "", Portal::Dark, false, ColorScheme::Dark},
        {"the portal prefers light", "", Portal::Light, true, ColorScheme::Light},
        {"no preference: a dark desktop palette", "", Portal::NoPreference, true, ColorScheme::Dark},
        {"the portal does not know the key: a light palette", "", Portal::Unknown, false, ColorScheme::Light},
        {"the portal does not know the key: a dark palette", "", Portal::Unknown, true, ColorScheme::Dark},
        {"no portal on the bus: a dark palette", "", Portal::None, true, ColorScheme::Dark},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<FakePortal> portal;
        if (c.portal != Portal::None) {
            portal.emplace(bus.connect(QStringLiteral("portal")));
            ASSERT_TRUE(portal->isServing());
            if (c.portal != Portal::Unknown)
                portal->set(appearanceNamespace, schemeKey,
                            c.portal == Portal::Dark ? 1u : c.portal == Portal::Light ? 2u : 0u);
        }
        DesktopSettings settings(bus.connect(QStringLiteral("app")));
        Launch::Environment environment;
        if (*c.environment)
            environment.insert(QStringLiteral("PLANNER_APPEARANCE"), QString::fromLatin1(c.environment));
        const Launch launch = Launch::parse(environment, {});
        Appearance appearance({Appearance::Sources::forcedBy(launch), &settings, desktopPalette(c.darkDesktopPalette)});
        EXPECT_EQ(appearance.scheme(), c.expected);
    }
}

TEST(Appearance, APortalChangeRepaintsTheWholeApp)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakePortal portal(bus.connect(QStringLiteral("portal")));
    ASSERT_TRUE(portal.isServing());
    portal.set(appearanceNamespace, schemeKey, 2u);
    DesktopSettings settings(bus.connect(QStringLiteral("app")));

    Surface surface;
    QLineEdit field;
    field.resize(60, 24);
    surface.show();
    field.show();
    {
        Appearance appearance({std::nullopt, &settings, desktopPalette(false)});
        appearance.makeAppWide();
        QCoreApplication::processEvents();
        EXPECT_EQ(middle(surface), Palette::paper.light().rgb());
        EXPECT_EQ(field.palette().color(QPalette::Text), Palette::ink.light());

        QSignalSpy changed(&appearance, &Appearance::changed);
        portal.change(appearanceNamespace, schemeKey, 1u);
        ASSERT_TRUE(changed.wait(2000));
        QCoreApplication::processEvents();
        EXPECT_EQ(appearance.scheme(), ColorScheme::Dark);
        EXPECT_EQ(Appearance::current(), ColorScheme::Dark);
        EXPECT_EQ(middle(surface), Palette::ink.light().rgb());
        // Standard widgets turn dark too.
        EXPECT_EQ(field.palette().color(QPalette::Text), Palette::paper.light());
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), Palette::ink.light());

        // A key of another namespace changes nothing.
        portal.change(QStringLiteral("org.gnome.desktop.interface"), schemeKey, 2u);
        QTest::qWait(50);
        EXPECT_EQ(appearance.scheme(), ColorScheme::Dark);
    }
    // Gone with the appearance that was app-wide: the light side again.
    EXPECT_EQ(Appearance::current(), ColorScheme::Light);
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
}

TEST(Palette, LightAndDarkSides)
{
    struct Side {
        const char* name;
        PembyColor color;
        QColor light;
        QColor dark;
    };
    auto rgba = [](QRgb rgb, double alpha) {
        QColor c(rgb);
        c.setAlphaF(float(alpha));
        return c;
    };
    const Side sides[] = {
        {"background", Palette::pembyBackground, QColor(0xF6F3EC), QColor(0x121211)},
        {"text", Palette::pembyText, QColor(0x121211), QColor(0xF6F3EC)},
        {"muted", Palette::pembyMuted, QColor(0x6B675F), QColor(0xA7A196)},
        {"faint", Palette::pembyFaint, QColor(0xA7A196), QColor(0x6B675F)},
        {"snooze", Palette::pembySnooze, QColor(0x6F5FE8), QColor(0xA99BFF)},
        {"selection: lavender at 22 % and 18 %", Palette::pembySelection, rgba(0xA99BFF, 0.22), rgba(0xA99BFF, 0.18)},
        {"rule", Palette::pembyRule, QColor(0xDDD8CC), QColor(0x2E2C29)},
        {"well: ink at 4 %, but plain white at 7 %", Palette::pembyWell, rgba(0x121211, 0.04), rgba(0xFFFFFF, 0.07)},
        {"glass tint", Palette::pembyGlassTint, rgba(0xF6F3EC, 0.35), rgba(0x1C1B19, 0.55)},
        {"band", Palette::pembyBand, QColor(0xFFFFFF), QColor(0x2E2C29)},
        {"other month", Palette::pembyOtherMonth, rgba(0xECE8DF, 0.6), rgba(0xFFFFFF, 0.03)},
        {"a fixed colour is the same on both sides", Palette::yawn, QColor(0xFFD23F), QColor(0xFFD23F)},
    };
    for (const auto& s : sides) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.color.in(ColorScheme::Light), s.light);
        EXPECT_EQ(s.color.in(ColorScheme::Dark), s.dark);
    }
}
