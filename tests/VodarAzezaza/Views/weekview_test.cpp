// The week board over a real model: its geometry at several sizes with and without the
// split weekend and the lists, the day headers, the lists fading in and out, typing
// into a day, the more line, and when the empty-week card shows.
#include "appmodel.h"
#include "boardtesting.h"
#include "daycolumn.h"
#include "dayheader.h"
#include "editfield.h"
#include "emptyline.h"
#include "emptyweek.h"
#include "listcolumn.h"
#include "listcolumnheader.h"
#include "listsheader.h"
#include "modelharness.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "ruled.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "weekview.h"
#include "yawnview.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};

} // namespace

TEST(DayHeader, MarksTodayAndFadesThePast)
{
    struct Case {
        const char* name;
        Day day;
        QString text;
        bool patch;       // the yellow patch, no rule
        PembyColor rule;  // otherwise
        bool muted;       // a number in pembyMuted
        bool inked;       // anything in pembyText
    };
    const Case cases[] = {
        {"today", today, "wed 4 · today", true, Palette::yawn, false, false},
        {"yesterday", today.adding(-1), "tue 3", false, Palette::pembyFaint, false, false},
        {"tomorrow", today.adding(1), "thu 5", false, Palette::pembyText, true, true},
    };
    MotionPin motion;
    ModelHarness h;
    AppModel& m = h.start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DayHeader header(m, c.day);
        header.resize(140, header.sizeHint().height());
        EXPECT_EQ(header.height(), 36);
        EXPECT_EQ(header.accessibleName(), c.text);
        const QImage image = header.grab().toImage();
        EXPECT_EQ(image.pixelColor(70, 35).rgb(), c.rule.light().rgb());
        EXPECT_EQ(image.pixelColor(70, 34).rgb(), c.rule.light().rgb());
        if (!c.patch) {
            EXPECT_NE(image.pixelColor(70, 33).rgb(), c.rule.light().rgb()) << "a rule two pixels high";
        }
        EXPECT_EQ(countColour(image, Palette::pembyMuted.light()) > 0, c.muted);
        if (!c.patch) {
            EXPECT_EQ(countColour(image, Palette::pembyText.light()) > 0, c.inked);
        }
    }
}

TEST(DayHeader, FollowsTodayAndADoubleClickOpensTheMonth)
{
    ModelHarness h;
    AppModel& m = h.start();
    DayHeader header(m, Day{2026, 4, 14});
    header.resize(140, 36);
    EXPECT_FALSE(header.isToday());
    h.today = Day{2026, 4, 14};
    m.refresh(QDateTime(h.today.date(), QTime(9, 0), QTimeZone::utc()));
    EXPECT_TRUE(header.isToday());
    EXPECT_EQ(header.accessibleName(), "tue 14 · today");

    QTest::mouseDClick(&header, Qt::LeftButton);
    EXPECT_EQ(m.mode(), Mode::Month);
    EXPECT_EQ(m.anchor(), (Day{2026, 4, 14}));
    // Anywhere but the week board it opens the day's week.
    QTest::mouseDClick(&header, Qt::LeftButton);
    EXPECT_EQ(m.mode(), Mode::Week);
}

TEST(EmptyWeek, LetsClicksThroughAndIsSpentOnceItLeavesTheScreen)
{
    MotionPin motion;
    ModelHarness h;
    AppModel& m = h.start();
    TestWindow window(QSize(600, 400));
    auto* card = new EmptyWeek(m);
    window.hold(card);
    EXPECT_TRUE(card->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(card->face()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(m.emptyBannerSpent());
    card->hide();
    EXPECT_TRUE(m.emptyBannerSpent());
}

namespace {

const Day monday{2026, 3, 2};

class WeekTest : public ::testing::Test {
protected:
    WeekView* open(AppModel& m, QSize size = QSize(1100, 700))
    {
        window = std::make_unique<TestWindow>(size);
        board = new WeekView(m);
        window->hold(board);
        settle();
        return board;
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // Every day column's own lines, and the list columns', are 32 high; headers 36.
    void expectLineMetrics()
    {
        QList<QWidget*> columns;
        for (DayColumn* day : board->dayColumns()) {
            EXPECT_EQ(day->header()->height(), Ruled::headerHeight);
            EXPECT_EQ(day->height(), Ruled::headerHeight + day->column()->lineCount() * Ruled::lineHeight);
            for (QWidget* line : day->column()->lines())
                EXPECT_EQ(line->height(), Ruled::lineHeight);
        }
        for (ListColumn* list : board->listColumns()) {
            EXPECT_EQ(list->header()->height(), Ruled::headerHeight);
            for (QWidget* line : list->column()->lines())
                EXPECT_EQ(line->height(), Ruled::lineHeight);
        }
    }
    static int widest(const QList<int>& widths) { return *std::max_element(widths.begin(), widths.end()); }
    static int narrowest(const QList<int>& widths) { return *std::min_element(widths.begin(), widths.end()); }

    MotionPin motion;
    ModelHarness h;
    std::unique_ptr<TestWindow> window;
    WeekView* board = nullptr;
};

} // namespace

TEST_F(WeekTest, TheColumnsShareTheWidthAndFitTheHeight)
{
    struct Case {
        QSize size;
        bool split;
        bool lists;
        int dayRows;
        int listRows;
        bool scrolls;
    };
    const Case cases[] = {
        {{1100, 700}, true, true, 15, 2, false},
        {{1100, 700}, false, true, 15, 2, false},
        {{1100, 700}, true, false, 18, 0, false},
        {{1400, 1000}, true, true, 23, 3, false},
        {{1200, 1200}, false, false, 34, 0, false},
        {{900, 300}, true, true, 5, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width() << "x" << c.size.height() << (c.split ? " split" : "")
                                        << (c.lists ? " lists" : ""));
        ModelHarness harness;
        AppModel& m = harness.start();
        m.settings().setSplitWeekend(c.split);
        m.settings().setShowLists(c.lists);
        m.lists().addList();
        m.settings().setShowLists(c.lists);
        open(m, c.size);
        EXPECT_EQ(board->fit(), WeekFit::rows(c.dayRows, c.listRows));

        const QList<DayColumn*> days = board->dayColumns();
        ASSERT_EQ(days.size(), 7);
        QList<int> widths;
        for (int i = 0; i < (c.split ? 6 : 7); ++i)
            widths.append(days[i]->width());
        EXPECT_LE(widest(widths) - narrowest(widths), 1);
        // The columns and their gaps span the board inside its padding.
        EXPECT_EQ(days.first()->x(), WeekView::sidePadding);
        EXPECT_NEAR(days[c.split ? 5 : 6]->geometry().right() + 1, board->viewport()->width() - WeekView::sidePadding, 1);

        const int day = Ruled::headerHeight + c.dayRows * Ruled::lineHeight;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(days[i]->height(), day);
        if (c.split) {
            // The weekend stack: Saturday, a gap, Sunday, exactly as tall as a day.
            EXPECT_EQ(days[5]->x(), days[6]->x());
            EXPECT_EQ(days[5]->width(), days[6]->width());
            EXPECT_EQ(days[6]->geometry().bottom() - days[5]->y() + 1, day);
            EXPECT_EQ(days[6]->y() - days[5]->geometry().bottom() - 1, WeekFit::weekendGap);
        } else {
            EXPECT_EQ(days[6]->height(), day);
        }
        expectLineMetrics();

        const QList<ListColumn*> lists = board->listColumns();
        EXPECT_EQ(lists.size(), c.lists ? 2 : 0);
        if (c.lists) {
            EXPECT_LE(std::abs(lists[0]->width() - lists[1]->width()), 1);
            EXPECT_EQ(lists[0]->height(), Ruled::headerHeight + c.listRows * Ruled::lineHeight);
        }
        // Scrolling only when the board is lower than the minimums, and only up and down.
        EXPECT_EQ(board->content()->height() > board->viewport()->height(), c.scrolls);
        EXPECT_EQ(board->verticalScrollBar()->isVisible(), c.scrolls);
        EXPECT_FALSE(board->horizontalScrollBar()->isVisible());
        EXPECT_EQ(board->content()->width(), board->viewport()->width());
        window.reset();  // before its model goes
    }
}

TEST_F(WeekTest, AWeekThatDoesNotEndOnTheWeekendKeepsSevenColumns)
{
    AppModel& m = h.start();
    m.settings().setSplitWeekend(true);
    m.settings().setFirstWeekdaySetting(1);  // Sunday first: Friday and Saturday end the week
    open(m);
    const QList<DayColumn*> days = board->dayColumns();
    EXPECT_EQ(days.first()->day().weekday(), 1);
    QList<int> xs;
    for (DayColumn* day : days) {
        xs.append(day->x());
        EXPECT_EQ(day->height(), Ruled::headerHeight + 15 * Ruled::lineHeight);
    }
    EXPECT_EQ(QSet<int>(xs.begin(), xs.end()).size(), 7);

    // Back to Monday: the weekend shares a column again, and the days on both boards
    // keep their columns.
    DayColumn* wednesday = board->dayColumn(today);
    m.settings().setFirstWeekdaySetting(2);
    settle();
    EXPECT_EQ(board->dayColumn(today), wednesday);
    EXPECT_EQ(board->dayColumns()[5]->x(), board->dayColumns()[6]->x());
}

// Moving to another week, every column shows its new day: the header, the day's own
// things and events, and none of the week it showed before; and back again.
TEST_F(WeekTest, AnotherWeekShowsItsOwnDaysInEveryColumn)
{
    AppModel& m = h.start();
    m.settings().setShowCalendar(true);
    const QUuid here = *m.add("this week", Place::onDay(monday.adding(1)));
    const QUuid there = *m.add("next week", Place::onDay(monday.adding(8)));
    open(m);
    const auto expectWeek = [&](Day first, const QUuid& shown, const QUuid& gone, int eventDay) {
        const QList<DayColumn*> days = board->dayColumns();
        ASSERT_EQ(days.size(), 7);
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE(i);
            const Day day = first.adding(i);
            DayColumn* column = days[i];
            EXPECT_EQ(column->day(), day);
            EXPECT_EQ(board->dayColumn(day), column);
            EXPECT_EQ(column->header()->day(), day);
            EXPECT_EQ(column->header()->accessibleName(),
                      AppModel::dayNames()[day.weekday() - 1] + u' ' + column->header()->numberText());
            EXPECT_EQ(column->column()->place(), Place::onDay(day));
            EXPECT_EQ(column->column()->events(), i == eventDay ? QStringList{"standup"} : QStringList{});
            EXPECT_EQ(column->column()->row(ThingRow::rowID(shown)) != nullptr, i == 1);
            EXPECT_EQ(column->column()->row(ThingRow::rowID(gone)), nullptr);
        }
        expectLineMetrics();
    };
    expectWeek(monday, here, there, -1);

    m.go(1);
    h.calendar.answer(h.calendar.reads.size() - 1, {{monday.adding(10), {"standup"}}});
    settle();
    expectWeek(monday.adding(7), there, here, 3);

    m.go(-1);
    h.calendar.answer(h.calendar.reads.size() - 1, {});
    settle();
    expectWeek(monday, here, there, -1);
}

TEST_F(WeekTest, ListColumnsShareTheirRow)
{
    AppModel& m = h.start();
    open(m);
    ASSERT_EQ(board->listColumns().size(), 1);
    EXPECT_EQ(board->listColumns()[0]->width(), board->viewport()->width() - 2 * WeekView::sidePadding);
    for (int i = 1; i < Planner::listCap; ++i)
        m.lists().addList();
    settle();
    const QList<ListColumn*> lists = board->listColumns();
    ASSERT_EQ(lists.size(), 6);
    QList<int> widths;
    for (ListColumn* list : lists)
        widths.append(list->width());
    EXPECT_LE(widest(widths) - narrowest(widths), 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lists[i]->index(), i);

    // Deleting one keeps the columns of the lists before it.
    ListColumn* first = lists[0];
    m.lists().requestDeleteList(5);
    settle();
    EXPECT_EQ(board->listColumns().size(), 5);
    EXPECT_EQ(board->listColumns()[0], first);
}

TEST_F(WeekTest, HidingTheListsGivesTheirRoomToTheDays)
{
    AppModel& m = h.start();
    open(m);
    ASSERT_EQ(board->fit(), WeekFit::rows(15, 2));
    QTest::mouseClick(board->listsHeader()->toggle(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(m.settings().showLists());
    EXPECT_TRUE(board->listColumns().isEmpty());
    EXPECT_EQ(board->fit(), WeekFit::rows(18, 0));
    EXPECT_EQ(board->dayColumns()[0]->height(), Ruled::headerHeight + 18 * Ruled::lineHeight);
    // The lists header stays, under the days.
    EXPECT_EQ(board->listsHeader()->y(),
              board->dayColumns()[0]->geometry().bottom() + 1 + WeekFit::listsHeaderTop);
    QTest::mouseClick(board->listsHeader()->toggle(), Qt::LeftButton);
    settle();
    EXPECT_EQ(board->listColumns().size(), 1);
    EXPECT_EQ(board->fit(), WeekFit::rows(15, 2));
}

TEST_F(WeekTest, TheListsFadeInAndOutButNotUnderReduceMotion)
{
    for (const bool reduce : {false, true}) {
        SCOPED_TRACE(reduce ? "reduce motion" : "motion");
        MotionPin pin(reduce);
        ModelHarness harness;
        AppModel& m = harness.start();
        open(m);
        m.settings().setShowLists(false);
        const auto ghosts = [&] {
            int n = 0;
            for (QLabel* label : board->content()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
                n += label->graphicsEffect() != nullptr;
            return n;
        };
        EXPECT_EQ(ghosts(), reduce ? 0 : 1);
        m.settings().setShowLists(true);
        ASSERT_EQ(board->listColumns().size(), 1);
        EXPECT_EQ(qobject_cast<QGraphicsOpacityEffect*>(board->listColumns()[0]->graphicsEffect()) != nullptr, !reduce);
        m.lists().addList();
        EXPECT_EQ(board->listColumns()[1]->graphicsEffect() != nullptr, !reduce);
        // Once faded in, a column is drawn as any other.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !board->listColumns()[1]->graphicsEffect() && ghosts() == 0; }, 2000));
        window.reset();
    }
}

TEST_F(WeekTest, TypingIntoADayAddsThingsAndKeepsGoing)
{
    AppModel& m = h.start();
    open(m);
    ThingColumn* column = board->dayColumn(today)->column();
    const auto field = [&]() -> EditField* {
        for (QWidget* line : column->lines())
            if (line->objectName() == "newLine")
                return line->findChild<EditField*>();
        return nullptr;
    };
    const auto hasKeys = [&] { return QTest::qWaitFor([&] { return field() && field()->hasFocus(); }, 2000); };
    auto* filler = qobject_cast<EmptyLine*>(column->lines().first());
    ASSERT_TRUE(filler);
    QTest::mouseClick(filler, Qt::LeftButton);
    ASSERT_TRUE(hasKeys());
    for (const QString& title : {QStringLiteral("buy milk"), QStringLiteral("call mum")}) {
        QTest::keyClicks(field(), title);
        QTest::keyClick(field(), Qt::Key_Return);
        ASSERT_TRUE(hasKeys());
    }
    EXPECT_EQ(titlesOn(m, Place::onDay(today)), (QStringList{"buy milk", "call mum"}));
    EXPECT_EQ(m.editing(), Editing::newThing(Place::onDay(today)));
    // The column still fills exactly its lines, the new line among them.
    EXPECT_EQ(column->lineCount(), 15);
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_EQ(m.editing(), std::nullopt);
}

TEST_F(WeekTest, TheMoreLineOpensTheDaysSheet)
{
    AppModel& m = h.start();
    for (int i = 0; i < 20; ++i)
        m.add(QStringLiteral("thing %1").arg(i + 1), Place::onDay(today));
    open(m);
    ThingColumn* column = board->dayColumn(today)->column();
    EXPECT_EQ(column->lineCount(), 15);
    EXPECT_EQ(column->rowBudget().hidden, 6);
    QWidget* more = nullptr;
    for (QWidget* line : column->lines())
        if (line->objectName() == "moreLine")
            more = line;
    ASSERT_TRUE(more);
    QTest::mouseClick(more, Qt::LeftButton);
    EXPECT_EQ(m.zoomed(), Place::onDay(today));
}

TEST_F(WeekTest, TheEmptyWeekCardGreetsAFreshPlanOnce)
{
    AppModel& m = h.start();
    open(m);
    ASSERT_TRUE(board->banner()->isVisible());
    // Centred over the days.
    const QRect days = board->dayColumns()[0]->geometry().united(board->dayColumns()[6]->geometry());
    EXPECT_NEAR(board->banner()->geometry().center().x(), days.center().x(), 1);
    EXPECT_NEAR(board->banner()->geometry().center().y(), days.center().y(), 1);

    // A click on the card reaches the line beneath it: a new line opens there.
    const QPoint onCard = board->banner()->geometry().topLeft() + QPoint(12, board->banner()->height() / 2);
    auto* under = qobject_cast<EmptyLine*>(board->content()->childAt(onCard));
    ASSERT_TRUE(under) << "a filler line lies under the card";
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, board->content()->mapTo(window.get(), onCard));
    ASSERT_TRUE(m.editing());
    EXPECT_TRUE(m.editing()->isNew());
    EXPECT_FALSE(board->banner()->isVisible());
    EXPECT_TRUE(m.emptyBannerSpent());
    // Cancelling the line leaves the week empty, and the card gone for good.
    m.setEditing(std::nullopt);
    settle();
    EXPECT_FALSE(board->banner()->isVisible());
}

TEST_F(WeekTest, TheCardStaysAwayFromAWeekWithAnythingInIt)
{
    struct Case {
        const char* name;
        std::function<void(ModelHarness&, AppModel&)> setUp;
    };
    const Case cases[] = {
        {"one done thing",
         [](ModelHarness&, AppModel& m) { m.toggle(*m.add("done already", Place::onDay(monday.adding(6)))); }},
        {"one calendar event",
         [](ModelHarness& h, AppModel& m) {
             m.settings().setShowCalendar(true);
             h.calendar.answer(h.calendar.reads.size() - 1, {{monday.adding(3), {"standup"}}});
         }},
        {"a new line being typed", [](ModelHarness&, AppModel& m) { m.setEditing(Editing::newThing(Place::inList(0))); }},
        {"an empty week after navigating",
         [](ModelHarness&, AppModel& m) {
             m.add("something", Place::onDay(today));
             m.go(1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness harness;
        AppModel& m = harness.start();
        c.setUp(harness, m);
        open(m);
        EXPECT_FALSE(board->banner()->isVisible());
        window.reset();
    }
}

TEST_F(WeekTest, TheCardGoesWhenTheWeekGainsAThing)
{
    AppModel& m = h.start();
    open(m);
    ASSERT_TRUE(board->banner()->isVisible());
    m.add("from elsewhere", Place::onDay(monday.adding(1)));
    EXPECT_FALSE(board->banner()->isVisible());
    m.undo();
    settle();
    EXPECT_FALSE(board->banner()->isVisible());
}
