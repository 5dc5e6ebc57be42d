// The desktop's stand-ins: where the popover goes and how it follows its content, what the settings portal answers,
// and the one timing curve.
#include "desktopsettings.h"
#include "fakeportal.h"
#include "motion.h"
#include "popover.h"
#include "privatebus.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

struct PlacementCase {
    const char* name;
    QRect anchor;
    QSize size;
    Qt::Edge preferred;
    QRect expected;
};

std::string str(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

// Layout requests travel up one widget per turn of the event loop.
void settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

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
        {"no room either side: the side with more, clamped over the anchor", QRect(400, 300, 100, 20),
         QSize(200, 500), Qt::BottomEdge, QRect(350, 300, 200, 500)},
        {"a wide anchor, no room right or left: the left with more, clamped at the screen's edge",
         QRect(100, 300, 850, 32), QSize(328, 400), Qt::RightEdge, QRect(0, 116, 328, 400)},
        {"taller than the screen: as tall as the screen", QRect(100, 300, 50, 20), QSize(200, 900), Qt::RightEdge,
         QRect(150 + Popover::gap, 0, 200, 800)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Popover::placement(c.anchor, c.size, screen, c.preferred), c.expected) << c.name;
}

TEST(Popover, NearEveryEdgeAndCornerOfASmallScreenItLiesWhollyOnIt)
{
    const QRect screen(100, 50, 640, 480);
    const QSize size(328, 300);
    const int rows[] = {screen.top(), screen.center().y() - 16, screen.bottom() - 31};
    const int columns[] = {screen.left(), screen.center().x() - 100, screen.right() - 199};
    for (const Qt::Edge preferred : {Qt::RightEdge, Qt::LeftEdge, Qt::BottomEdge, Qt::TopEdge}) {
        for (const int y : rows) {
            for (const int x : columns) {
                const QRect anchor(x, y, 200, 32);
                const QRect r = Popover::placement(anchor, size, screen, preferred);
                EXPECT_TRUE(screen.contains(r)) << "anchor " << str(anchor) << " edge " << preferred << ": " << str(r);
                EXPECT_EQ(r.size(), size);
            }
        }
    }
}

TEST(Popover, StaysInsideTheWindowAlongTheEdgeWhereItFits)
{
    const QRect screen(0, 0, 1440, 900);
    const QRect window(100, 60, 1100, 700);
    // A row at the top of the window: centred on it the popover would cover the title bar.
    const QRect row(300, 70, 200, 32);
    EXPECT_EQ(Popover::placement(row, QSize(328, 400), screen, Qt::RightEdge, window),
              QRect(500 + Popover::gap, 60, 328, 400));
    // Taller than the window: only the screen bounds it.
    EXPECT_EQ(Popover::placement(row, QSize(328, 800), screen, Qt::RightEdge, window),
              QRect(500 + Popover::gap, 0, 328, 800));
}

TEST(Popover, ShownNearTheScreensCornersItStaysOnTheAvailableArea)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint corners[] = {area.topLeft(), area.topRight() - QPoint(10, 0), area.bottomLeft() - QPoint(0, 10),
                              area.bottomRight() - QPoint(10, 10), area.center()};
    for (const QPoint corner : corners) {
        Popover popover;
        auto* content = new QWidget;
        content->setFixedSize(300, 260);
        popover.setContent(content);
        popover.showAt(QRect(corner, QSize(10, 10)), Qt::RightEdge);
        EXPECT_TRUE(area.contains(popover.geometry())) << str(QRect(corner, QSize(10, 10))) << ": " << str(popover.geometry());
        EXPECT_GE(popover.width(), 300);
        EXPECT_GE(popover.height(), 260);
    }
}

TEST(Popover, GrowsAndShrinksWithItsContentWithinTheScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    Popover popover;
    auto* content = new QWidget;
    auto* lines = new QVBoxLayout(content);
    const auto line = [content] {
        auto* w = new QWidget(content);
        w->setFixedSize(200, 40);
        return w;
    };
    lines->addWidget(line());
    popover.setContent(content);
    popover.showAt(QRect(area.left() + 20, area.top() + 100, 100, 20), Qt::RightEdge);
    const int shown = popover.height();

    QList<QWidget*> added;
    for (int i = 0; i < 3; ++i) {
        added.append(line());
        lines->addWidget(added.last());
    }
    settle();
    EXPECT_GE(popover.height(), shown + 3 * 40) << "it grows";
    for (QWidget* w : std::as_const(added))
        EXPECT_EQ(w->height(), 40) << "and nothing in it is squashed";
    EXPECT_TRUE(area.contains(popover.geometry()));

    for (QWidget* w : std::as_const(added))
        w->hide();
    settle();
    EXPECT_EQ(popover.height(), shown) << "it shrinks back";

    for (int i = 0; i < 40; ++i)
        lines->addWidget(line());
    settle();
    EXPECT_TRUE(area.contains(popover.geometry())) << "never past the screen: " << str(popover.geometry());
}

TEST(Popover, WithoutACompositorItTakesItsRoundedShape)
{
    // The off-screen platform blends nothing, as X11 without a compositing manager.
    Popover popover;
    auto* content = new QWidget;
    content->setFixedSize(200, 100);
    popover.setContent(content);
    popover.showAt(QRect(100, 100, 10, 10));
    const QRegion mask = popover.mask();
    ASSERT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(popover.width() - 1, popover.height() - 1)));
    EXPECT_TRUE(mask.contains(popover.rect().center()));
    EXPECT_TRUE(mask.contains(QPoint(popover.width() / 2, 0)));
    // The shape follows the size.
    content->setFixedSize(240, 160);
    settle();
    EXPECT_TRUE(popover.mask().contains(QPoint(popover.width() / 2, popover.height() - 1)));
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
