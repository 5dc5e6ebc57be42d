// Pictures of the boards to look at, light and dark: a filled week with and without the
// split weekend, an empty week under its card, and a month. Written to the working
// folder (or PEMBY_PICTURES_DIR) as week-board.png, week-board-seven.png,
// empty-week.png and month-board.png.
#include "appmodel.h"
#include "boardselection.h"
#include "boardtesting.h"
#include "modelharness.h"
#include "monthview.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "weekview.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};
const Day monday{2026, 3, 2};

// A week as people fill it: done things, marks, a moved thing, a busy Friday, a weekend,
// an event, lists and things for the month.
void fill(ModelHarness& h, AppModel& m)
{
    const auto add = [&](const QString& title, const Place& place) { return *m.add(title, place); };
    const QUuid rent = add("pay the rent", Place::onDay(monday));
    m.toggle(rent);
    add("call the dentist", Place::onDay(monday));
    add("water the plants", Place::onDay(monday.adding(1)));
    const QUuid invoice = add("send the invoice to <b>ACME</b>", Place::onDay(today));
    m.setMark(invoice, Mark::Red);
    const QUuid milk = add("buy milk", Place::onDay(today));
    m.toggle(milk);
    const QUuid bike = add("fix the bike light", Place::onDay(today));
    m.setMark(bike, Mark::Lavender);
    m.update(bike, [](Thing& t) { t.zs = 2; });
    add("book the trip", Place::onDay(today));
    for (int i = 1; i <= 9; ++i)
        add(QStringLiteral("friday thing %1").arg(i), Place::onDay(monday.adding(4)));
    add("long walk", Place::onDay(monday.adding(5)));
    const QUuid market = add("market", Place::onDay(monday.adding(5)));
    m.setMark(market, Mark::Green);
    add("see grandma", Place::onDay(monday.adding(6)));
    add("read the long book", Place::inList(0));
    add("learn the ukulele", Place::inList(0));
    m.lists().addList();
    m.lists().renameList(1, "home");
    add("hang the shelf", Place::inList(1));
    const QUuid door = add("paint the door", Place::inList(1));
    m.toggle(door);
    add("renew the passport", Place::inMonth(today.monthKey()));
    add("tax return", Place::inMonth(today.monthKey()));
    m.settings().setShowCalendar(true);
    if (!h.calendar.reads.isEmpty())
        h.calendar.answer(h.calendar.reads.size() - 1, {{monday.adding(1), {"standup 09:30"}}, {today, {"lunch with sam"}}});
    m.selection().select(std::nullopt);
}

void picture(const QString& name, const std::function<QWidget*(AppModel&)>& board, bool filled, bool split = true,
             QSize size = QSize(1100, 700))
{
    QImage sides[2];
    for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        ModelHarness h;
        AppModel& m = h.start();
        m.settings().setSplitWeekend(split);
        if (filled)
            fill(h, m);
        sides[scheme == ColorScheme::Dark] = renderBoard([&] { return board(m); }, size, scheme);
    }
    EXPECT_FALSE(savePictures(name, sides[0], sides[1]).isEmpty());
}

} // namespace

TEST(BoardPictures, TheBoardsLightAndDark)
{
    MotionPin motion;
    const auto week = [](AppModel& m) -> QWidget* { return new WeekView(m); };
    picture("week-board.png", week, true);
    picture("week-board-seven.png", week, true, false);
    picture("empty-week.png", week, false);
    picture("month-board.png", [](AppModel& m) -> QWidget* {
        m.showDay(today, Mode::Month);
        return new MonthView(m);
    }, true);
}
