// The focus panel as the model drives it: made on first entry and shown in the top
// right corner, hidden on leaving, its height following the rows with its top edge
// put, its width in bounds, moved by its header, floating switched without moving,
// its place kept across launches, and the shortcuts it carries.
#include "boardselection.h"
#include "focuspanel.h"
#include "focusmode.h"
#include "focusview.h"
#include "modelharness.h"
#include "plannersettings.h"
#include "thingcolumn.h"
#include "viewharness.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);

class FocusPanelTest : public ::testing::Test {
protected:
    FocusPanelTest()
    {
        h.makeFocusPanel = [this] {
            return std::make_unique<FocusPanelWindow::Controller>(FocusPanelWindow::Options{
                .actions = [this] { return carried; },
                .compositing = [this] { return compositing; },
            });
        };
    }
    FocusPanelWindow* panel(AppModel& m) { return static_cast<FocusPanelWindow::Controller&>(m.focus()).panel(); }
    FocusPanelWindow* entered(AppModel& m)
    {
        m.focusMode().enterFocusMode();
        FocusPanelWindow* p = panel(m);
        EXPECT_TRUE(p && QTest::qWaitForWindowExposed(p));
        return p;
    }
    void add(AppModel& m, int count, const QString& prefix = "thing")
    {
        m.commit([&](Planner& p) {
            for (int i = 0; i < count; ++i)
                p.add(prefix + QStringLiteral(" %1").arg(i), today);
        });
    }
    // A tool window counts as active for Qt whatever the window system says, so this
    // waits for the application's own word.
    static bool activate(FocusPanelWindow* p)
    {
        p->activateWindow();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == p && p->view()->hasFocus(); }, 1000);
    }
    // A window event at a point of the panel, as the window system delivers it.
    static void mouse(FocusPanelWindow* p, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, at, p->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(p->windowHandle(), &event);
    }

    ModelHarness h;
    QList<QAction*> carried;
    bool compositing = true;
};

// The height of a panel whose column shows `lines` lines.
int panelHeight(int lines)
{
    return FocusView::padTop + FocusView::headerHeight + FocusView::spacing + lines * 32 + FocusView::padBottom;
}

} // namespace

TEST_F(FocusPanelTest, EnteringMakesThePanelOnceAndLeavingOnlyHidesIt)
{
    AppModel& m = h.start();
    EXPECT_FALSE(m.focus().hasPanel()) << "no panel before focus mode is first entered";

    FocusPanelWindow* first = entered(m);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(first->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(first->isFloating()) << "floating is the default";
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // The first time: 280 wide, in the top right corner of the screen, 16 in.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(first->width(), FocusPanelWindow::defaultWidth);
    EXPECT_EQ(first->x() + first->width(), area.x() + area.width() - 16);
    EXPECT_EQ(first->y(), area.y() + 16);

    m.focusMode().exitFocusMode();
    EXPECT_FALSE(m.focusMode().isFocusMode());
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(m.focus().hasPanel());

    EXPECT_EQ(entered(m), first) << "the same panel comes back";
    EXPECT_TRUE(first->isVisible());
}

TEST_F(FocusPanelTest, ItsHeightFollowsTheRowsAndItsTopStaysPut)
{
    AppModel& m = h.start();
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    // An empty today is one filler line.
    EXPECT_EQ(p->height(), panelHeight(1));
    const int top = p->y();

    struct Step {
        const char* what;
        std::function<void()> act;
        int lines;
        bool scrolls;
    };
    const Step steps[] = {
        {"three things and the filler", [&] { add(m, 3); }, 4, false},
        {"typing a new thing adds its line", [&] { m.setEditing(Editing::newThing(today)); }, 5, false},
        {"the line goes with the typing", [&] { m.setEditing(std::nullopt); }, 4, false},
        {"nine things and the filler just fit", [&] { add(m, 6, "more"); }, 10, false},
        {"twelve things scroll in ten lines", [&] { add(m, 3, "last"); }, 10, true},
        {"removing rows shrinks it again", [&] {
             m.commit([](Planner& plan) {
                 for (const Thing& t : plan.things(today).mid(2))
                     plan.remove(t.id);
             });
         }, 3, false},
        {"undo brings them back", [&] { m.undo(); }, 10, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        QCoreApplication::processEvents();
        EXPECT_EQ(p->height(), panelHeight(step.lines));
        EXPECT_EQ(p->y(), top);
        QScrollArea* rows = p->view()->rows();
        EXPECT_EQ(rows->height(), step.lines * 32);
        EXPECT_EQ(rows->verticalScrollBarPolicy(), step.scrolls ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        // The user sets the width; the height is the content's only.
        EXPECT_EQ(p->minimumHeight(), p->height());
        EXPECT_EQ(p->maximumHeight(), p->height());
    }
}

TEST_F(FocusPanelTest, FloatingOnAndOffKeepsItWhereItIs)
{
    AppModel& m = h.start();
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    add(m, 2);
    p->setGeometry(QRect(120, 90, 300, p->height()));
    const QRect kept = p->geometry();

    for (const bool floats : {false, true, false}) {
        SCOPED_TRACE(floats);
        m.settings().setFloats(floats);
        QCoreApplication::processEvents();
        EXPECT_EQ(p->isFloating(), floats);
        EXPECT_EQ(p->windowFlags().testFlag(Qt::WindowStaysOnTopHint), floats);
        EXPECT_TRUE(p->isVisible()) << "changing the flag took the window down; it comes back";
        EXPECT_EQ(p->geometry(), kept);
        EXPECT_TRUE(m.focusMode().isFocusMode());
    }

    // Floated while hidden, the panel shows with the flag it was given.
    m.focusMode().exitFocusMode();
    m.settings().setFloats(true);
    EXPECT_FALSE(p->isVisible());
    EXPECT_TRUE(entered(m)->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(p->geometry(), kept);
}

TEST_F(FocusPanelTest, ItsPlaceAndWidthComeBackNextTime)
{
    {
        AppModel& m = h.start();
        FocusPanelWindow* p = entered(m);
        ASSERT_TRUE(p);
        p->setGeometry(QRect(60, 70, 330, p->height()));
        m.focusMode().exitFocusMode();
        h.stop();
    }
    EXPECT_TRUE(h.settings().contains(FocusPanelWindow::geometryKey()));

    AppModel& m = h.start();
    add(m, 4);
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->pos(), QPoint(60, 70));
    EXPECT_EQ(p->width(), 330);
    EXPECT_EQ(p->height(), panelHeight(5)) << "the height is today's content, not the kept one";
}

TEST_F(FocusPanelTest, ItsEdgesResizeTheWidthWithinBounds)
{
    AppModel& m = h.start();
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    p->setGeometry(QRect(200, 100, 280, p->height()));

    // The off-screen platform has no window manager to resize: the panel does it.
    const int y = p->height() / 2;
    mouse(p, QEvent::MouseButtonPress, QPoint(p->width() - 2, y), Qt::LeftButton);
    mouse(p, QEvent::MouseMove, QPoint(p->width() - 2 + 40, y), Qt::LeftButton);
    EXPECT_EQ(p->width(), 320);
    mouse(p, QEvent::MouseMove, QPoint(p->width() + 300, y), Qt::LeftButton);
    EXPECT_EQ(p->width(), FocusPanelWindow::maximumWidth);
    mouse(p, QEvent::MouseButtonRelease, QPoint(p->width(), y), Qt::NoButton);

    // The left edge moves the left side; the right side stays.
    const int right = p->x() + p->width();
    mouse(p, QEvent::MouseButtonPress, QPoint(1, y), Qt::LeftButton);
    mouse(p, QEvent::MouseMove, QPoint(400, y), Qt::LeftButton);
    EXPECT_EQ(p->width(), FocusPanelWindow::minimumWidth);
    EXPECT_EQ(p->x() + p->width(), right);
    mouse(p, QEvent::MouseButtonRelease, QPoint(400, y), Qt::NoButton);
    EXPECT_EQ(p->height(), panelHeight(1)) << "the height is never the user's";

    // Away from the edges a press is the content's.
    const QSize before = p->size();
    mouse(p, QEvent::MouseButtonPress, QPoint(p->width() / 2, y), Qt::LeftButton);
    mouse(p, QEvent::MouseMove, QPoint(p->width() / 2 + 50, y), Qt::LeftButton);
    mouse(p, QEvent::MouseButtonRelease, QPoint(p->width() / 2 + 50, y), Qt::NoButton);
    EXPECT_EQ(p->size(), before);
}

TEST_F(FocusPanelTest, ItsHeaderMovesItAndADoubleClickLeaves)
{
    AppModel& m = h.start();
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    p->move(300, 200);
    QWidget* header = p->view()->header();
    const QPoint grip(header->width() / 2, header->height() / 2);
    QTest::mousePress(header, Qt::LeftButton, Qt::NoModifier, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(40, 25)), header->mapToGlobal(QPointF(grip + QPoint(40, 25))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(header, &move);
    QTest::mouseRelease(header, Qt::LeftButton, Qt::NoModifier, grip + QPoint(40, 25));
    EXPECT_EQ(p->pos(), QPoint(340, 225));
    EXPECT_TRUE(m.focusMode().isFocusMode());

    QTest::mouseDClick(header, Qt::LeftButton, Qt::NoModifier, grip);
    EXPECT_FALSE(m.focusMode().isFocusMode());
    EXPECT_FALSE(p->isVisible());
}

TEST_F(FocusPanelTest, ItCarriesTheShortcutsTheHiddenWindowCannot)
{
    int undos = 0;
    QAction undo("Undo");
    undo.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QObject::connect(&undo, &QAction::triggered, [&] { ++undos; });
    carried = {&undo};

    AppModel& m = h.start();
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    ASSERT_TRUE(activate(p));

    QTest::keyClick(p->view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos, 1) << "a menu action it was given";

    // Ctrl+W hides the panel and keeps focus mode; reopening shows it again.
    QTest::keyClick(p->view(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(p->isVisible());
    EXPECT_TRUE(m.focusMode().isFocusMode());
    EXPECT_TRUE(m.focusMode().reopen());
    EXPECT_TRUE(p->isVisible());

    // The off-screen platform keeps a hidden window focused; another window takes the
    // focus first, as it would on a desktop.
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_TRUE(activate(p));
    QTest::keyClick(p->view(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(m.focusMode().isFocusMode());
    EXPECT_FALSE(p->isVisible());
}

TEST_F(FocusPanelTest, AClickIntoItTakesTheKeys)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add("first", today); });
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    // Shown without taking the keys from the app in front.
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    EXPECT_NE(QApplication::activeWindow(), p);

    // A click on a row selects it, as anywhere, and the panel becomes the key window.
    // Through the window, as the window system delivers it.
    QWidget* row = p->view()->column()->lines().first();
    QTest::mouseClick(p->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      row->mapTo(p, QPoint(row->width() - 20, row->height() / 2)));
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "first")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == p; }, 1000));
    EXPECT_TRUE(p->view()->hasFocus());
    QTest::keyClick(p->view(), Qt::Key_Space);
    EXPECT_TRUE(m.planner().things(today).first().done) << "the keys go to the key map at once";
}

TEST_F(FocusPanelTest, EnteredFromThePlannersOwnWindowItTakesTheKeys)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add("first", today); });
    // The main window has the keys when focus mode is asked for; it goes away, and
    // without this the keys would go nowhere until the panel is clicked.
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == p; }, 1000));
    EXPECT_TRUE(p->view()->hasFocus());
}

TEST_F(FocusPanelTest, GlassWhereACompositorBlendsAnOpaqueRoundedShapeWhereNot)
{
    AppModel& m = h.start();
    FocusPanelWindow* p = entered(m);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->view()->isTranslucent());
    EXPECT_TRUE(p->mask().isEmpty());

    // The compositor went away: shown again, the panel is opaque and cut to its corners.
    compositing = false;
    m.focusMode().exitFocusMode();
    entered(m);
    EXPECT_FALSE(p->view()->isTranslucent());
    const QRegion shape = p->mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_TRUE(shape.contains(QPoint(p->width() / 2, p->height() / 2)));
    EXPECT_TRUE(shape.contains(QPoint(p->width() / 2, 1)));
}

TEST_F(FocusPanelTest, GoesWithItsModel)
{
    AppModel& m = h.start();
    QPointer<FocusPanelWindow> p = entered(m);
    ASSERT_TRUE(p);
    m.setEditing(Editing::newThing(today));
    QCoreApplication::processEvents();
    h.stop();
    EXPECT_FALSE(p) << "the panel belongs to the model's controller";
}
