// The month board over a real model: the weeks of the grid, the band of today's week,
// what a day cell lists and counts and the squares it draws, and what a click, a double
// click and a drop on a cell do.
#include "appearance.h"
#include "appmodel.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "boardtesting.h"
#include "modelharness.h"
#include "monthcell.h"
#include "monthgrid.h"
#include "monthview.h"
#include "plannercontent.h"
#include "plannersettings.h"
#include "ruled.h"
#include "thingcolumn.h"
#include "titletext.h"

#include <QApplication>
#include <QMimeData>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};  // a Wednesday; March 2026 begins on a Sunday

// A week file whose days hold the given lines.
void putDay(ModelHarness& h, Day day, const QStringList& lines)
{
    const Day monday = day.monday();
    h.put(QStringLiteral("%1-W%2.md").arg(monday.isoWeek().year).arg(monday.isoWeek().week, 2, 10, QLatin1Char('0')),
          weekFile(monday, {{day, lines}}));
}

// Week files holding these days' lines, one file per week.
void putDays(ModelHarness& h, const QList<std::pair<Day, QStringList>>& days)
{
    QMap<Day, QList<std::pair<Day, QStringList>>> weeks;
    for (const auto& day : days)
        weeks[day.first.monday()].append(day);
    for (auto it = weeks.cbegin(); it != weeks.cend(); ++it) {
        const IsoWeek week = it.key().isoWeek();
        h.put(QStringLiteral("%1-W%2.md").arg(week.year).arg(week.week, 2, 10, QLatin1Char('0')),
              weekFile(it.key(), it.value()));
    }
}

QStringList open(int n, const QString& title = QStringLiteral("thing"))
{
    QStringList lines;
    for (int i = 0; i < n; ++i)
        lines.append(QStringLiteral("- [ ] %1 %2").arg(title).arg(i + 1));
    return lines;
}

class MonthTest : public ::testing::Test {
protected:
    AppModel& start()
    {
        AppModel& m = h.start();
        m.showDay(today, Mode::Month);
        grid = new MonthGrid(m);
        window.hold(grid);
        return m;
    }
    // Sends a drop of `mime` onto the middle of the cell; whether it was taken.
    bool drop(MonthCell* cell, QMimeData* mime, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        const QPointF at = QRectF(cell->rect()).center();
        QDragEnterEvent enter(at.toPoint(), actions, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(cell, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, actions, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(cell, &dropped);
        return dropped.isAccepted();
    }

    MotionPin motion;
    ModelHarness h;
    TestWindow window{QSize(900, 600)};
    MonthGrid* grid = nullptr;
};

} // namespace

TEST_F(MonthTest, TheGridFollowsTheFirstWeekday)
{
    AppModel& m = start();
    // Weeks start on Monday here: from 23 February to 5 April.
    EXPECT_EQ(grid->weekCount(), 6);
    EXPECT_EQ(grid->weekdayNames(), (QStringList{"mon", "tue", "wed", "thu", "fri", "sat", "sun"}));
    EXPECT_EQ(grid->cells().first()->day(), (Day{2026, 2, 23}));
    EXPECT_FALSE(grid->cells().first()->inShownMonth());
    MonthCell* kept = grid->cell(Day{2026, 3, 10});

    // Starting on Sunday, the month's 1st opens the grid and five weeks cover it.
    m.settings().setFirstWeekdaySetting(1);
    EXPECT_EQ(grid->weekCount(), 5);
    EXPECT_EQ(grid->weekdayNames().first(), "sun");
    EXPECT_EQ(grid->cells().first()->day(), (Day{2026, 3, 1}));
    // A day on both grids keeps its cell.
    EXPECT_EQ(grid->cell(Day{2026, 3, 10}), kept);

    // The rows share the height equally.
    const int first = grid->rowRect(0).height();
    for (int w = 1; w < grid->weekCount(); ++w)
        EXPECT_LE(std::abs(grid->rowRect(w).height() - first), 1);
}

// Moving to another month and back, every cell shows its own day: the number, the
// shading, the day's things with their titles and squares, and nothing of the day it
// showed before; no cell of the month that went is left on the grid.
TEST_F(MonthTest, AnotherMonthShowsItsOwnDayInEveryCell)
{
    // Every day of both grids (23 February to 3 May) has things of its own: as many as
    // its date modulo five, every other one done (all of them before today, which would
    // roll over), titles long enough to be cut on some.
    QList<std::pair<Day, QStringList>> days;
    for (Day day{2026, 2, 23}; day < Day{2026, 5, 4}; day = day.adding(1)) {
        QStringList lines;
        for (int i = 0; i < day.day % 5; ++i)
            lines.append(QStringLiteral("- [%1] %2/%3 #%4 %5")
                             .arg(QChar(i % 2 || day < today ? u'x' : u' '))
                             .arg(day.month)
                             .arg(day.day)
                             .arg(i + 1)
                             .arg(QString(day.day % 3 * 9, u'w')));
        days.append({day, lines});
    }
    putDays(h, days);
    AppModel& m = start();
    // What the cell paints itself, on white.
    const auto drawn = [](MonthCell* cell) {
        QImage image(cell->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        cell->render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    const auto expectMonth = [&](MonthKey month, Day first, int weeks) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(grid->weekCount(), weeks);
        const QList<MonthCell*> cells = grid->cells();
        ASSERT_EQ(cells.size(), weeks * 7);
        EXPECT_EQ(grid->findChildren<MonthCell*>(Qt::FindDirectChildrenOnly).size(), cells.size());
        for (int i = 0; i < cells.size(); ++i) {
            const Day day = first.adding(i);
            SCOPED_TRACE(QStringLiteral("%1-%2").arg(day.month).arg(day.day).toStdString());
            MonthCell* cell = cells[i];
            ASSERT_EQ(cell->day(), day);
            EXPECT_EQ(grid->cell(day), cell);
            EXPECT_TRUE(cell->isVisible());
            EXPECT_EQ(cell->inShownMonth(), day.monthKey() == month);
            const QList<Thing> things = m.planner().things(Place::onDay(day));
            ASSERT_EQ(things.size(), day.day % 5);
            EXPECT_EQ(cell->things(), things);
            EXPECT_EQ(cell->accessibleName(),
                      m.label(Place::onDay(day)) + ", " + QString::number(things.size()) + " things");
            for (int line = 0; line < MonthCell::shownThings; ++line) {
                const std::optional<QUuid> want =
                    line < things.size() ? std::optional(things[line].id) : std::nullopt;
                EXPECT_EQ(cell->lineAt(cell->lineRect(line).center()), want) << line;
            }
            // Drawn as a cell made for the day draws it.
            MonthCell fresh(m, day);
            fresh.resize(cell->size());
            EXPECT_TRUE(drawn(cell) == drawn(&fresh));
        }
    };
    expectMonth(MonthKey{2026, 3}, Day{2026, 2, 23}, 6);
    // A title selected before the move leaves no wash on the cell that shows another day.
    QTest::mouseClick(grid->cell(Day{2026, 3, 12}), Qt::LeftButton, {},
                      grid->cell(Day{2026, 3, 12})->lineRect(0).center());
    ASSERT_EQ(m.selection().ids().size(), 1);

    m.go(1);
    expectMonth(MonthKey{2026, 4}, Day{2026, 3, 30}, 5);
    m.go(-1);
    expectMonth(MonthKey{2026, 3}, Day{2026, 2, 23}, 6);
}

TEST_F(MonthTest, TodaysWeekLiesOnTheBandAndOtherMonthsAreGreyed)
{
    Appearance dark({ColorScheme::Dark, nullptr, {}});
    dark.makeAppWide();
    start();
    const QImage image = grid->grab().toImage();
    // Today's week is the second row; the band reaches past the cells on the left.
    const int y = grid->rowRect(1).center().y();
    EXPECT_EQ(image.pixelColor(2, y).rgb(), Palette::pembyBand.dark().rgb());
    EXPECT_NE(image.pixelColor(2, grid->rowRect(3).center().y()).rgb(), Palette::pembyBand.dark().rgb());

    const QImage outside = grid->cell(Day{2026, 2, 24})->grab().toImage();
    const QImage inside = grid->cell(Day{2026, 3, 24})->grab().toImage();
    const QPoint middle(outside.width() - 3, outside.height() / 2);
    EXPECT_NE(outside.pixelColor(middle), inside.pixelColor(middle));
}

TEST_F(MonthTest, ACellListsThreeCountsTheRestAndDrawsASquareEach)
{
    struct Case {
        const char* name;
        QStringList lines;
        QString more;
        QList<bool> marks;  // true: done
        int titles;
    };
    const Case cases[] = {
        {"three", open(3), "", {false, false, false}, 3},
        {"four", open(4), "+1", {false, false, false, false}, 3},
        {"twenty", open(20), "+17", QList<bool>(16, false), 3},
        {"done ones first", {"- [ ] a", "- [x] b", "- [ ] c", "- [x] d"}, "+1", {true, true, false, false}, 3},
        {"one", {"- [x] only"}, "", {true}, 1},
        {"none", {}, "", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness harness;
        putDay(harness, Day{2026, 3, 12}, c.lines);
        AppModel& m = harness.start();
        m.showDay(today, Mode::Month);
        MonthCell cell(m, Day{2026, 3, 12});
        cell.resize(120, 110);
        EXPECT_EQ(cell.moreText(), c.more);
        EXPECT_EQ(cell.marks(), c.marks);
        EXPECT_EQ(cell.accessibleName(), "thu 12 mar, " + QString::number(c.lines.size()) + " things");
        int titles = 0;
        for (int i = 0; i < MonthCell::shownThings; ++i)
            titles += bool(cell.lineAt(cell.lineRect(i).center()));
        EXPECT_EQ(titles, c.titles);
        // The squares sit at the bottom, inked by the done state.
        const QImage image = cell.grab().toImage();
        for (int i = 0; i < c.marks.size(); ++i) {
            const QColor want = c.marks[i] ? Palette::pembyText.light() : Palette::pembyFaint.light();
            EXPECT_EQ(image.pixelColor(cell.markRect(i).center()).rgb(), want.rgb()) << i;
        }
    }
}

// A cell keeps its titles laid out between paints; what it draws is what every view
// draws for a title: the same cut, side, strike and pixels.
TEST(MonthTitles, ACellDrawsItsTitlesAsEveryViewDrawsThem)
{
    const QList<QStringList> cases = {
        {"- [ ] milk", "- [x] the quarterly tax return and every receipt it wants", "- [ ] post"},
        {"- [ ] לקנות חלב ב-Shufersal", "- [x] שלום", "- [ ] a long title with שלום in the middle of it"},
        {"- [ ] \u202Ebidi-txt.exe", "- [x] x", "- [ ] tab\there"},
    };
    for (const QStringList& lines : cases) {
        SCOPED_TRACE(lines.join(" | ").toStdString());
        ModelHarness harness;
        putDay(harness, Day{2026, 3, 12}, lines);
        AppModel& m = harness.start();
        m.showDay(today, Mode::Month);
        MonthCell cell(m, Day{2026, 3, 12});
        cell.resize(120, 110);
        ASSERT_EQ(cell.things().size(), 3);
        QImage drawn(cell.size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::white);
        // Twice: the second paint draws the kept layout.
        cell.render(&drawn, {}, {}, QWidget::DrawChildren);
        drawn.fill(Qt::white);
        cell.render(&drawn, {}, {}, QWidget::DrawChildren);

        QImage want(cell.size(), QImage::Format_ARGB32_Premultiplied);
        want.fill(Qt::white);
        QPainter p(&want);
        p.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < 3; ++i) {
            const Thing& thing = cell.things()[i];
            QFont font = cell.font();
            font.setPixelSize(11);
            const QFontMetrics metrics(font);
            font.setStrikeOut(thing.done);
            p.setFont(font);
            p.setPen(QColor(thing.done ? Palette::pembyFaint : Palette::pembyText));
            const QRect r = cell.lineRect(i);
            TitleText::draw(p, r, TitleText::fit(thing.title, metrics, r.width()));
        }
        p.end();
        for (int i = 0; i < 3; ++i) {
            const QRect r = cell.lineRect(i);
            // The strike may land a fraction of a pixel apart, shading its edge a little;
            // a title cut, set or placed otherwise differs by far more.
            int worst = 0;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    const QColor a = drawn.pixelColor(x, y);
                    const QColor b = want.pixelColor(x, y);
                    worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                      std::abs(a.blue() - b.blue())});
                }
            }
            EXPECT_LE(worst, 16) << i;
        }
    }
}

TEST(MonthFootnote, SaysWhatTheDoneSquaresLookLikeInEitherAppearance)
{
    // Light, whatever ran before.
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
    ModelHarness h;
    putDay(h, Day{2026, 3, 12}, {"- [x] done", "- [ ] open"});
    AppModel& m = h.start();
    m.showDay(today, Mode::Month);
    MonthCell cell(m, Day{2026, 3, 12});
    cell.resize(120, 110);
    FootnoteLine footnote(m);
    footnote.show();
    for (const ColorScheme scheme : {ColorScheme::Dark, ColorScheme::Light, ColorScheme::Dark}) {
        Appearance appearance({scheme, nullptr, {}});
        appearance.makeAppWide();
        QCoreApplication::processEvents();
        const QImage image = cell.grab().toImage();
        ASSERT_EQ(cell.marks(), (QList<bool>{true, false}));
        const bool doneIsDarker =
            image.pixelColor(cell.markRect(0).center()).lightness() < image.pixelColor(cell.markRect(1).center()).lightness();
        EXPECT_EQ(footnote.text(), doneIsDarker ? "One square per thing. Dark means done."
                                                : "One square per thing. Light means done.")
            << (scheme == ColorScheme::Dark ? "dark" : "light");
    }
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
}

TEST_F(MonthTest, ClicksSelectAndADoubleClickOpensTheWeek)
{
    putDay(h, Day{2026, 3, 12}, {"- [ ] rent", "- [ ] milk", "- [ ] post"});
    AppModel& m = start();
    MonthCell* cell = grid->cell(Day{2026, 3, 12});
    const QUuid rent = idOf(m.planner(), "rent");
    const QUuid post = idOf(m.planner(), "post");

    const QPoint washed = cell->lineRect(0).topLeft() + QPoint(1, 1);
    const QColor plain = cell->grab().toImage().pixelColor(washed);
    QTest::mouseClick(cell, Qt::LeftButton, {}, cell->lineRect(0).center());
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{rent});
    // A selected title sits on the selection wash.
    EXPECT_NE(cell->grab().toImage().pixelColor(washed), plain);
    QTest::mouseClick(cell, Qt::LeftButton, Qt::ControlModifier, cell->lineRect(2).center());
    EXPECT_EQ(m.selection().ids(), (QSet<QUuid>{rent, post}));
    QTest::mouseClick(cell, Qt::LeftButton, Qt::ShiftModifier, cell->lineRect(1).center());
    EXPECT_EQ(m.selection().ids().size(), 2);

    // A click beside the titles selects nothing new.
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(cell->width() / 2, cell->height() - 3));
    EXPECT_EQ(m.selection().ids().size(), 2);

    QTest::mouseDClick(grid->cell(Day{2026, 4, 2}), Qt::LeftButton);
    EXPECT_EQ(m.mode(), Mode::Week);
    EXPECT_EQ(m.weekDays().first(), (Day{2026, 3, 30}));
}

TEST_F(MonthTest, DroppedTextBecomesThingsOfTheDayAndAnythingElseIsRefused)
{
    AppModel& m = start();
    MonthCell* cell = grid->cell(Day{2026, 3, 20});
    QMimeData text;
    text.setText("call the plumber");
    EXPECT_TRUE(drop(cell, &text));
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 20})), QStringList{"call the plumber"});

    QMimeData image;
    image.setData("image/png", QByteArray("not text"));
    EXPECT_FALSE(drop(cell, &image));
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 20})), QStringList{"call the plumber"});
}

TEST_F(MonthTest, DroppingOwnThingsMovesThem)
{
    putDay(h, Day{2026, 3, 12}, {"- [ ] rent", "- [ ] milk"});
    AppModel& m = start();
    const QUuid rent = idOf(m.planner(), "rent");
    // As a drag from a cell begins it: the model knows what moves, the text is the title.
    QMimeData dragged;
    dragged.setText(m.drag().beginDrag(rent));
    EXPECT_TRUE(drop(grid->cell(Day{2026, 3, 27}), &dragged, Qt::MoveAction | Qt::CopyAction));
    m.drag().endDrag();
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 12})), QStringList{"milk"});
    EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 3, 27})), QStringList{"rent"});
    // The cells followed the plan.
    EXPECT_EQ(grid->cell(Day{2026, 3, 27})->things().size(), 1);
    EXPECT_EQ(grid->cell(Day{2026, 3, 12})->things().size(), 1);
}

TEST_F(MonthTest, TheSideColumnHoldsTheMonthsOwnThings)
{
    AppModel& m = h.start();
    m.showDay(today, Mode::Month);
    m.add("renew the passport", Place::inMonth(today.monthKey()));
    m.toggle(*m.add("tax return", Place::inMonth(today.monthKey())));
    m.add("april's", Place::inMonth(MonthKey{2026, 4}));
    m.add("a day's", Place::onDay(today));
    auto* board = new MonthView(m);
    TestWindow w(QSize(1100, 700));
    w.hold(board);
    // Done things and other months do not count.
    EXPECT_EQ(board->countText(), "this month · 1");
    ThingColumn* column = board->monthColumn();
    EXPECT_EQ(column->place(), Place::inMonth(today.monthKey()));
    EXPECT_EQ(column->lineCount(), MonthView::monthRows);
    EXPECT_EQ(column->width(), MonthView::sideWidth);
    EXPECT_EQ(column->height(), MonthView::monthRows * Ruled::lineHeight);

    m.go(1);
    EXPECT_EQ(column->place(), Place::inMonth(MonthKey{2026, 4}));
    EXPECT_EQ(board->countText(), "this month · 1");
    // Never cut: more things than lines make the column longer.
    for (int i = 0; i < 14; ++i)
        m.add(QStringLiteral("more %1").arg(i), Place::inMonth(MonthKey{2026, 4}));
    QCoreApplication::processEvents();
    EXPECT_EQ(column->lineCount(), 16);
    EXPECT_EQ(column->height(), 16 * Ruled::lineHeight);
}
