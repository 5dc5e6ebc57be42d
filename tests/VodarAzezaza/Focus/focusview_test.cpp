// The content of the focus panel: the header's title, count and menu, the keys, the
// pin and expand buttons, the dimmed buttons, the toast, and a picture of the panel
// light and dark, as glass and opaque.
#include "boardselection.h"
#include "editfield.h"
#include "focusmode.h"
#include "focusview.h"
#include "glyphbutton.h"
#include "modelharness.h"
#include "pictures.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "reducemotion.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);

class FocusViewTest : public ::testing::Test {
protected:
    FocusViewTest() { ReduceMotion::setForTesting(true); }
    ~FocusViewTest() override { ReduceMotion::setForTesting(false); }

    FocusView* open(AppModel& m)
    {
        auto* view = new FocusView(m, 10);
        host.hold(view);
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->hasFocus(); }, 1000));
        return view;
    }
    void add(AppModel& m, const QStringList& titles, const Place& place = today, bool done = false)
    {
        m.commit([&](Planner& p) {
            for (const QString& title : titles) {
                Thing t = Thing::make(title);
                t.done = done;
                p.add(t, place);
            }
        });
    }

    ModelHarness h;
    ViewHost host{280};
};

} // namespace

TEST(FocusViewCount, SaysWhatIsLeftCountingOtherAppsThings)
{
    const struct {
        const char* what;
        QList<Thing> mine;
        int othersOpen, othersAll;
        const char* text;
    } cases[] = {
        {"nothing at all", someThings(0, 0), 0, 0, "nothing. suspicious."},
        {"four, all done", someThings(0, 4), 0, 0, "all done"},
        {"three open of five", someThings(3, 2), 0, 0, "3 left"},
        {"only another app's, open", someThings(0, 0), 1, 1, "1 left"},
        {"mine done, another app's ticked", someThings(0, 2), 0, 1, "all done"},
        {"both open", someThings(2, 1), 2, 3, "4 left"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FocusView::countText(c.mine, c.othersOpen, c.othersAll), c.text);
    }
}

TEST_F(FocusViewTest, TheMenuSwitchesBetweenTodayTomorrowAndTheLists)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.addList(QStringLiteral("groceries & such")); });
    add(m, {"today's thing"});
    add(m, {"tomorrow's", "and another"}, Place::onDay(thursday));
    add(m, {"eggs"}, Place::inList(1), true);
    h.family().upsert(Sibling::row("T1", "from the to-do app", wednesday));
    m.refreshFromFamily();

    FocusView* view = open(m);
    EXPECT_EQ(view->sourceTitle(), "today");
    EXPECT_EQ(view->countText(), "2 left") << "today counts the other app's thing";
    EXPECT_EQ(itemsOf(view->sourceMenu()), QList<MenuItem>({{"Today"}, {"Tomorrow"}, {"-", false},
                                                            {"eventually"}, {"groceries && such"}}));

    struct Step {
        const char* item;
        const char* title;
        const char* count;
        Place place;
    };
    const Step steps[] = {
        {"Tomorrow", "tomorrow", "2 left", Place::onDay(thursday)},
        {"groceries && such", "groceries & such", "all done", Place::inList(1)},
        {"eventually", "eventually", "nothing. suspicious.", Place::inList(0)},
        {"Today", "today", "2 left", today},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.item);
        ASSERT_TRUE(trigger(view->sourceMenu(), step.item));
        EXPECT_EQ(view->sourceTitle(), step.title);
        EXPECT_EQ(view->countText(), step.count);
        EXPECT_EQ(view->column()->place(), step.place);
    }

    // A list renamed while in focus renames the title.
    ASSERT_TRUE(trigger(view->sourceMenu(), "groceries && such"));
    m.lists().renameList(1, "shop");
    EXPECT_EQ(view->sourceTitle(), "shop");
}

TEST_F(FocusViewTest, KeysGoToTheKeyMapAndAnArrowFirstSelects)
{
    AppModel& m = h.start();
    add(m, {"first", "second", "third"});
    add(m, {"not in focus"}, Place::onDay(thursday));
    FocusView* view = open(m);

    // With nothing selected an arrow picks the first thing, either way.
    for (const Qt::Key arrow : {Qt::Key_Down, Qt::Key_Up}) {
        m.selection().select(std::nullopt);
        QTest::keyClick(view, arrow);
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "first")});
    }
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "second")}) << "then arrows move the selection";
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_TRUE(m.planner().thing(idOf(m.planner(), "second"))->done);

    // "n" opens a new line in the focus place; after Return and Escape the next key
    // reaches the map without a click.
    // The open field: after Return a fresh one takes over from the one that committed.
    const auto field = [&]() -> EditField* {
        for (EditField* f : view->column()->findChildren<EditField*>()) {
            if (!f->isFinished() && f->hasFocus())
                return f;
        }
        return nullptr;
    };
    QTest::keyClick(view, Qt::Key_N);
    ASSERT_EQ(m.editing(), Editing::newThing(today));
    ASSERT_TRUE(QTest::qWaitFor([&] { return field(); }, 1000));
    QTest::keyClicks(field(), "fourth");
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(titlesOn(m, today).last(), "fourth");
    ASSERT_TRUE(QTest::qWaitFor([&] { return field(); }, 1000));
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_EQ(m.editing(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->hasFocus(); }, 1000));
    QTest::keyClick(view, Qt::Key_P);
    EXPECT_FALSE(m.settings().floats()) << "p reached the key map";

    // An empty place has nothing to select.
    ASSERT_TRUE(trigger(view->sourceMenu(), "eventually"));
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_TRUE(m.selection().ids().isEmpty());
}

TEST_F(FocusViewTest, ThePinFloatsAndExpandLeavesFocusMode)
{
    AppModel& m = h.start();
    m.focusMode().enterFocusMode();
    FocusView* view = open(m);
    GlyphButton* pin = view->pinButton();
    ASSERT_TRUE(m.settings().floats());
    EXPECT_EQ(pin->glyph(), Pixels::pin());
    EXPECT_TRUE(pin->isOn());
    EXPECT_EQ(pin->tint(), Palette::pembySnooze);
    EXPECT_EQ(pin->toolTip(), "Floating. Above it all. (P)");

    click(pin);
    EXPECT_FALSE(m.settings().floats());
    EXPECT_EQ(h.settings().value("focus.floats").toString(), "false");
    EXPECT_EQ(pin->glyph(), Pixels::pinOff());
    EXPECT_FALSE(pin->isOn());
    EXPECT_EQ(pin->tint(), Palette::pembyMuted);
    EXPECT_EQ(pin->toolTip(), "Not floating. Just a window. (P)");
    EXPECT_EQ(pin->accessibleName(), "Not floating");

    click(view->expandButton());
    EXPECT_FALSE(m.focusMode().isFocusMode());
}

TEST_F(FocusViewTest, ButtonsAreDimmedUntilThePointerComesIn)
{
    AppModel& m = h.start();
    FocusView* view = open(m);
    EXPECT_DOUBLE_EQ(view->pinButton()->inkOpacity(), FocusView::dimmed);
    EXPECT_DOUBLE_EQ(view->expandButton()->inkOpacity(), FocusView::dimmed);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), view->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(view, &enter);
    EXPECT_TRUE(view->isHovering());
    EXPECT_DOUBLE_EQ(view->pinButton()->inkOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(view->expandButton()->inkOpacity(), 1.0);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view, &leave);
    EXPECT_DOUBLE_EQ(view->pinButton()->inkOpacity(), FocusView::dimmed);
}

TEST_F(FocusViewTest, ShowsTheToastAlongTheBottom)
{
    h.toastDuration = std::chrono::milliseconds(50);
    AppModel& m = h.start();
    add(m, {"a", "b", "c"});
    FocusView* view = open(m);
    EXPECT_FALSE(view->toast()->isVisible());

    m.showToast(QStringLiteral("Deleted. ⌘Z if that was a mistake."));
    ASSERT_TRUE(view->toast()->isVisible());
    EXPECT_EQ(view->toast()->text(), "Deleted. ⌘Z if that was a mistake.");
    const QRect at = view->toast()->geometry();
    EXPECT_EQ(at.bottom() + 1, view->height() - 10);
    EXPECT_GE(at.left(), 8);
    EXPECT_LE(at.right() + 1, view->width() - 8);

    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->toast()->isVisible(); }, 2000)) << "it goes with the model's";
}

namespace {

QImage render(bool glass)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        for (const char* title : {"write the quarterly letter", "call the plumber", "stretch", "inbox zero, ha"})
            p.add(title, today);
    });
    m.toggle(idOf(m.planner(), "stretch"));
    m.selection().setIDs({idOf(m.planner(), "call the plumber")});
    h.family().upsert(Sibling::row("T1", "pick up the parcel", wednesday));
    m.refreshFromFamily();

    ViewHost host(280);
    host.setAttribute(Qt::WA_TranslucentBackground);
    auto* view = new FocusView(m, 10);
    view->setTranslucent(glass);
    host.hold(view);
    m.showToast(QStringLiteral("Not this week. Fair."));
    QCoreApplication::processEvents();

    // Glass is seen against what lies behind the panel: stripes stand in for it.
    QImage picture(view->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    if (glass) {
        for (int x = -picture.height(); x < picture.width(); x += 24)
            p.fillRect(QRect(x, 0, 12, picture.height()), QColor(0x4a90d9));
    }
    view->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture;
}

} // namespace

TEST(FocusPanelPicture, DrawsLightAndDarkAsGlassAndOpaque)
{
    QImage opaque;
    const QList<QImage> pairs = inBothAppearances([&](ColorScheme) {
        const QImage glass = render(true);
        const QImage plain = render(false);
        if (opaque.isNull())
            opaque = plain;
        return sideBySide({glass, plain});
    });
    std::cout << "focus panel: " << savePicture(sideBySide(pairs), "focus-panel.png").toStdString() << '\n';

    // Outside the rounded corner nothing is painted; inside, the opaque fill is whole.
    EXPECT_EQ(qAlpha(opaque.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(opaque.pixel(opaque.width() / 2, opaque.height() / 2)), 255);
}
