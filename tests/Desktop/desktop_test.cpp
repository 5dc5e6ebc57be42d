// The desktop's stand-ins: where the popover goes, what the settings portal answers,
// and the one timing curve.
#include "desktopsettings.h"
#include "fakeportal.h"
#include "motion.h"
#include "popover.h"
#include "privatebus.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct PlacementCase {
    const char* name;
    QRect anchor;
    QSize size;
    Qt::Edge preferred;
    QRect expected;
};

} // namespace

TEST(Popover, GoesOnThePreferredSideAndFlipsOrShiftsToStayOnScreen)
{
    const QRect screen(0, 0, 1000, 800);
    const PlacementCase cases[] = {
        {"below, room enough", QRect(400, 100, 100, 20), QSize(200, 100), Qt::BottomEdge,
         QRect(350, 100 + 20 + Popover::gap, 200, 100)},
        {"below, no room: flips above", QRect(400, 740, 100, 20), QSize(200, 100), Qt::BottomEdge,
         QRect(350, 740 - Popover::gap - 100, 200, 100)},
        {"above, no room: flips below", QRect(400, 10, 100, 20), QSize(200, 100), Qt::TopEdge,
         QRect(350, 30 + Popover::gap, 200, 100)},
        {"right, no room: flips left", QRect(900, 300, 50, 20), QSize(200, 100), Qt::RightEdge,
         QRect(900 - Popover::gap - 200, 260, 200, 100)},
        {"near the left edge: shifted on screen", QRect(0, 100, 20, 20), QSize(200, 100), Qt::BottomEdge,
         QRect(0, 120 + Popover::gap, 200, 100)},
        {"no room either side: the side with more", QRect(400, 300, 100, 20), QSize(200, 500), Qt::BottomEdge,
         QRect(350, 320 + Popover::gap, 200, 500)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Popover::placement(c.anchor, c.size, screen, c.preferred), c.expected) << c.name;
}

TEST(Popover, ClosesOnEscapeAndSaysSoOnce)
{
    Popover popover;
    popover.setContent(new QWidget);
    QSignalSpy closed(&popover, &Popover::closed);
    popover.showAt(QRect(100, 100, 10, 10));
    ASSERT_TRUE(popover.isVisible());
    QTest::keyClick(&popover, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
    EXPECT_EQ(closed.count(), 1);
}

TEST(DesktopSettings, ReadsThePortalUnwrappedAndFollowsItsChanges)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakePortal portal(bus.connect(QStringLiteral("portal")));
    ASSERT_TRUE(portal.isServing());
    portal.set(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), 1u);

    DesktopSettings settings(bus.connect(QStringLiteral("app")));
    const auto scheme = settings.read(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"));
    ASSERT_TRUE(scheme.has_value());
    EXPECT_EQ(scheme->toUInt(), 1u);
    EXPECT_FALSE(settings.read(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("none")).has_value());

    QSignalSpy changed(&settings, &DesktopSettings::changed);
    portal.change(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"), false);
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(changed.at(0).at(1).toString(), QStringLiteral("enable-animations"));
    EXPECT_EQ(changed.at(0).at(2).toBool(), false);
}

TEST(DesktopSettings, GivesNothingWithoutAPortal)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    DesktopSettings settings(bus.connect(QStringLiteral("app")));
    EXPECT_FALSE(settings.read(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme")).has_value());
}

TEST(Motion, TheCurveEasesOutFromZeroToOne)
{
    const QEasingCurve& c = Motion::curve();
    EXPECT_NEAR(c.valueForProgress(0.0), 0.0, 1e-6);
    EXPECT_NEAR(c.valueForProgress(1.0), 1.0, 1e-6);
    // Control points (0.23, 1) and (0.32, 1): most of the way there early on.
    EXPECT_GT(c.valueForProgress(0.3), 0.8);
}
