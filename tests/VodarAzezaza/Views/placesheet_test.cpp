// The sheet of one place: its header, its column of every thing with the day's
// events, working in it as on the board, Done and Escape, and a picture of it light
// and dark.
#include "editfield.h"
#include "emptyline.h"
#include "eventrow.h"
#include "modelharness.h"
#include "pictures.h"
#include "placesheet.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "ruled.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);

class PlaceSheetTest : public ::testing::Test {
protected:
    PlaceSheet* open(AppModel& m, const Place& place)
    {
        m.setZoomed(place);
        auto* sheet = new PlaceSheet(m, place);
        host.hold(sheet);
        return sheet;
    }
    static QStringList lines(const ThingColumn& column)
    {
        QStringList out;
        for (QWidget* line : column.lines()) {
            if (auto* row = qobject_cast<ThingRow*>(line))
                out.append(row->thing().title);
            else if (qobject_cast<EventRow*>(line))
                out.append("event");
            else if (qobject_cast<EmptyLine*>(line))
                out.append("-");
            else
                out.append(line->objectName());
        }
        return out;
    }

    ModelHarness h;
    ViewHost host{PlaceSheet::width};
};

} // namespace

TEST(PlaceSheetCount, SaysWhatIsLeftAndWhatIsDone)
{
    EXPECT_EQ(PlaceSheet::countText(someThings(0, 0)), "0 things");
    EXPECT_EQ(PlaceSheet::countText(someThings(4, 0)), "4 things");
    EXPECT_EQ(PlaceSheet::countText(someThings(3, 2)), "3 left · 2 done-ish");
    EXPECT_EQ(PlaceSheet::countText(someThings(0, 5)), "0 left · 5 done-ish");
}

TEST_F(PlaceSheetTest, AnEmptyDayShowsTwelveEmptyLines)
{
    AppModel& m = h.start();
    PlaceSheet* sheet = open(m, Place::onDay(Day{2026, 3, 6}));
    EXPECT_EQ(sheet->title(), "fri 6 mar");
    EXPECT_EQ(sheet->countText(), "0 things");
    EXPECT_EQ(lines(*sheet->column()), QStringList(12, "-"));
    EXPECT_EQ(sheet->size(), QSize(PlaceSheet::width, PlaceSheet::height));
}

TEST_F(PlaceSheetTest, ShowsEveryThingOfThePlaceUncutWithTheDaysEvents)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        for (int i = 0; i < 14; ++i)
            p.add(QStringLiteral("thing %1").arg(i), today);
        p.add("in the list", Place::inList(0));
        p.add("in the month", Place::inMonth(MonthKey{2026, 3}));
    });
    m.toggle(idOf(m.planner(), "thing 0"));
    m.settings().setShowCalendar(true);
    ASSERT_FALSE(h.calendar.reads.isEmpty());
    h.calendar.answer(h.calendar.reads.size() - 1, {{wednesday, {"standup 09:30"}}});
    ASSERT_TRUE(waitUntil([&] { return m.events().contains(wednesday); }));

    PlaceSheet* day = open(m, today);
    const QStringList dayLines = lines(*day->column());
    ASSERT_EQ(dayLines.size(), 1 + 14 + 1) << "the event, every thing, one line to start a new one";
    EXPECT_EQ(dayLines.first(), "event");
    EXPECT_EQ(dayLines[1], "thing 0");
    EXPECT_EQ(dayLines[14], "thing 13");
    EXPECT_EQ(day->countText(), "13 left · 1 done-ish");
    delete day;

    // Lists and months never show events, whatever the calendar holds.
    for (const Place& place : {Place::inList(0), Place::inMonth(MonthKey{2026, 3})}) {
        PlaceSheet* sheet = open(m, place);
        EXPECT_FALSE(lines(*sheet->column()).contains("event"));
        EXPECT_EQ(lines(*sheet->column()).size(), PlaceSheet::minRows);
        delete sheet;
    }
}

TEST_F(PlaceSheetTest, WorksAsTheBoardsColumnDoes)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add("rent", Place::inList(0)); });
    PlaceSheet* sheet = open(m, Place::inList(0));
    EXPECT_EQ(sheet->title(), "eventually");
    EXPECT_EQ(sheet->countText(), "1 things");

    // A click on an empty line starts a new thing there; Return adds it and keeps going.
    click(sheet->column()->lines().last());
    auto* field = sheet->column()->findChild<EditField*>();
    ASSERT_TRUE(field);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 1000));
    QTest::keyClicks(field, "insurance");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList({"rent", "insurance"}));
    EXPECT_EQ(sheet->countText(), "2 things");

    // Ticking a row counts it done; renaming the list renames the sheet.
    auto* rent = qobject_cast<ThingRow*>(sheet->column()->lines().first());
    ASSERT_TRUE(rent);
    m.toggle(rent->thing().id);
    EXPECT_EQ(sheet->countText(), "1 left · 1 done-ish");
    m.lists().renameList(0, "someday");
    EXPECT_EQ(sheet->title(), "someday");
}

TEST_F(PlaceSheetTest, DoneAndEscapeCloseIt)
{
    AppModel& m = h.start();
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Done");
        PlaceSheet* sheet = open(m, today);
        if (escape) {
            sheet->setFocus();
            QTest::keyClick(sheet, Qt::Key_Escape);
        } else {
            click(sheet->doneButton());
        }
        EXPECT_EQ(m.zoomed(), std::nullopt);
        delete sheet;
    }

    // Escape in a field ends the typing, not the sheet.
    PlaceSheet* sheet = open(m, today);
    sheet->column()->startNewThing();
    auto* field = sheet->column()->findChild<EditField*>();
    ASSERT_TRUE(field);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 1000));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.zoomed(), today);
}

namespace {

QImage render(ColorScheme)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        for (const char* title : {"water the plants", "call the landlord", "pay the rent", "buy stamps",
                                  "return the library books", "book the dentist"})
            p.add(title, today);
    });
    m.toggle(idOf(m.planner(), "pay the rent"));
    m.toggle(idOf(m.planner(), "buy stamps"));
    m.settings().setShowCalendar(true);
    h.calendar.answer(h.calendar.reads.size() - 1, {{wednesday, {"standup 09:30"}}});
    waitUntil([&] { return m.events().contains(wednesday); });

    ViewHost host(PlaceSheet::width);
    auto* sheet = new PlaceSheet(m, today);
    host.hold(sheet);
    QCoreApplication::processEvents();
    return sheet->grab().toImage();
}

} // namespace

TEST(PlaceSheetPicture, DrawsLightAndDark)
{
    const QList<QImage> pictures = inBothAppearances(render);
    std::cout << "place sheet: " << savePicture(sideBySide(pictures), "place-sheet.png").toStdString() << '\n';
    const QImage& light = pictures[0];
    const QImage& dark = pictures[1];
    EXPECT_EQ(light.pixel(light.width() - 2, light.height() - 2), Palette::paper.light().rgb());
    EXPECT_EQ(dark.pixel(dark.width() - 2, dark.height() - 2), Palette::ink.light().rgb());
}
