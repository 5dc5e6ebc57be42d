// The column of one place: its row budget, the lines it shows, typing new things into
// it, other apps' things on today only, the more line, and rows kept by id across
// model changes.
#include "boardselection.h"
#include "checkbutton.h"
#include "editfield.h"
#include "emptyline.h"
#include "familythingrow.h"
#include "modelharness.h"
#include "ruled.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);

using Layout = ThingColumn::Layout;

class ThingColumnTest : public ::testing::Test {
protected:
    AppModel& started()
    {
        AppModel& m = h.start();
        return m;
    }
    ThingColumn* columnFor(AppModel& m, const Place& place, int minRows = 0)
    {
        auto* column = new ThingColumn(m, place);
        column->setMinRows(minRows);
        host.hold(column);
        return column;
    }
    // The kind of each line from the top.
    static QStringList kinds(const ThingColumn& column)
    {
        QStringList out;
        for (QWidget* line : column.lines()) {
            if (auto* row = qobject_cast<ThingRow*>(line))
                out.append(row->thing().title);
            else if (auto* theirs = qobject_cast<FamilyThingRow*>(line))
                out.append("theirs:" + theirs->thing().title);
            else if (qobject_cast<EmptyLine*>(line))
                out.append("-");
            else if (line->objectName() == "newLine")
                out.append("new");
            else if (line->objectName() == "moreLine")
                out.append("more");
            else
                out.append("event");
        }
        return out;
    }
    EditField* newField(const ThingColumn& column)
    {
        for (QWidget* line : column.lines()) {
            if (line->objectName() == "newLine")
                return line->findChild<EditField*>();
        }
        return nullptr;
    }
    bool waitForKeys(const ThingColumn& column)
    {
        return QTest::qWaitFor([&] { return newField(column) && newField(column)->hasFocus(); }, 1000);
    }
    void add(AppModel& m, const QStringList& titles, const Place& place = today)
    {
        m.commit([&](Planner& p) {
            for (const QString& title : titles)
                p.add(title, place);
        });
    }

    ModelHarness h;
    ViewHost host;
};

} // namespace

TEST(ThingColumnBudget, CutsOnlyThePlacesOwnThingsAndLeavesALineForMore)
{
    struct Case {
        const char* name;
        int events, others, things;
        bool typing;
        int minRows;
        std::optional<int> cap;
        Layout expected;
    };
    const Case cases[] = {
        {"no cap fills up to the minimum", 0, 0, 2, false, 5, std::nullopt, {2, 0, 3}},
        {"no cap, full: one filler still", 0, 0, 5, false, 5, std::nullopt, {5, 0, 1}},
        {"no cap, past the minimum: one filler", 0, 0, 7, false, 5, std::nullopt, {7, 0, 1}},
        {"cap 6 with two events and five things", 2, 0, 5, false, 0, 6, {3, 2, 0}},
        {"cap 6 with seven events: no thing, events stay", 7, 0, 3, false, 0, 6, {0, 3, 0}},
        {"cap 4 exactly full: no filler, no more line", 1, 0, 3, false, 0, 4, {3, 0, 0}},
        {"cap with room left fills it", 1, 0, 2, false, 0, 6, {2, 0, 3}},
        {"typing takes a line of its own", 0, 0, 4, true, 0, 5, {4, 0, 0}},
        {"typing pushes one more thing into the more line", 0, 0, 5, true, 0, 5, {3, 2, 0}},
        {"other apps' things are never cut either", 0, 3, 3, false, 0, 5, {1, 2, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ThingColumn::budget(c.events, c.others, c.things, c.typing, c.minRows, c.cap), c.expected);
    }
}

TEST_F(ThingColumnTest, ShowsEventsThingsAndFillersAsLinesOfOneHeight)
{
    AppModel& m = started();
    add(m, {"buy milk", "call mum"});
    ThingColumn* column = columnFor(m, today, 5);
    column->setEvents({"standup 09:30"});
    EXPECT_EQ(kinds(*column), (QStringList{"event", "buy milk", "call mum", "-", "-"}));
    EXPECT_EQ(column->lineCount(), 5);
    EXPECT_EQ(column->sizeHint().height(), 5 * Ruled::lineHeight);
    int y = 0;
    for (QWidget* line : column->lines()) {
        EXPECT_EQ(line->geometry(), QRect(0, y, column->width(), Ruled::lineHeight));
        y += Ruled::lineHeight;
    }

    column->setCap(3);
    EXPECT_EQ(kinds(*column), (QStringList{"event", "buy milk", "call mum"})) << "exactly full: no filler";
    column->setCap(2);
    EXPECT_EQ(kinds(*column), (QStringList{"event", "more"}));
    column->setCap(std::nullopt);
    column->setMinRows(0);
    EXPECT_EQ(kinds(*column), (QStringList{"event", "buy milk", "call mum", "-"})) << "always one filler at the end";
}

TEST_F(ThingColumnTest, RowsAreKeptByIdAcrossModelChanges)
{
    AppModel& m = started();
    add(m, {"buy milk", "call mum", "water the plants"});
    ThingColumn* column = columnFor(m, today, 5);
    const QUuid milk = idOf(m.planner(), "buy milk");
    const QUuid mum = idOf(m.planner(), "call mum");
    QPointer<RowFrame> milkRow = column->row(ThingRow::rowID(milk));
    QPointer<RowFrame> mumRow = column->row(ThingRow::rowID(mum));
    ASSERT_TRUE(milkRow && mumRow);

    m.toggle(mum);
    m.rename(milk, "buy oat milk");
    m.selection().setIDs({mum});
    EXPECT_EQ(column->row(ThingRow::rowID(milk)), milkRow.data());
    EXPECT_EQ(column->row(ThingRow::rowID(mum)), mumRow.data());
    EXPECT_EQ(qobject_cast<ThingRow*>(milkRow.data())->thing().title, "buy oat milk");

    m.move(mum, today, 0);
    EXPECT_EQ(kinds(*column), (QStringList{"call mum", "buy oat milk", "water the plants", "-", "-"}));
    EXPECT_EQ(column->row(ThingRow::rowID(mum)), mumRow.data()) << "moved, not made anew";

    m.deleteThing(mum, true);
    EXPECT_TRUE(mumRow) << "deleted later, never inside the change";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(mumRow);
    EXPECT_EQ(kinds(*column), (QStringList{"buy oat milk", "water the plants", "-", "-", "-"}));
}

TEST_F(ThingColumnTest, ARowShownForAnotherPlaceActsOnTheThingItShowsNow)
{
    AppModel& m = started();
    add(m, {"buy milk", "call mum"});
    add(m, {"file taxes", "book dentist"}, Place::onDay(thursday));
    ThingColumn* column = columnFor(m, today, 5);
    const QUuid milk = idOf(m.planner(), "buy milk");
    const QUuid taxes = idOf(m.planner(), "file taxes");
    const QUuid dentist = idOf(m.planner(), "book dentist");

    column->setPlace(Place::onDay(thursday));
    EXPECT_EQ(kinds(*column), (QStringList{"file taxes", "book dentist", "-", "-", "-"}));
    auto* taxesRow = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(taxes)));
    auto* dentistRow = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(dentist)));
    ASSERT_TRUE(taxesRow && dentistRow);
    EXPECT_EQ(column->row(ThingRow::rowID(milk)), nullptr);

    // The tick, the click and an edit started elsewhere reach the thing shown, and
    // never the one the widget showed before.
    auto* check = taxesRow->findChild<CheckButton*>();
    ASSERT_TRUE(check);
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.planner().thing(taxes)->done; }, 1000));
    EXPECT_FALSE(m.planner().thing(milk)->done);

    QTest::mouseClick(dentistRow, Qt::LeftButton, {}, QPoint(dentistRow->width() - 6, dentistRow->height() / 2));
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{dentist});

    m.setEditing(Editing::thing(dentist));
    auto* field = dentistRow->findChild<EditField*>();
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "book dentist");
    QTest::keyClicks(field, " at nine");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(m.planner().thing(dentist)->title, "book dentist at nine");
    EXPECT_EQ(m.planner().thing(milk)->title, "buy milk");
}

TEST_F(ThingColumnTest, TypingTitlesAddsThingsAndKeepsGoing)
{
    AppModel& m = started();
    ThingColumn* column = columnFor(m, today, 3);
    click(column->lines().first());
    EXPECT_EQ(m.editing(), Editing::newThing(today));
    ASSERT_TRUE(waitForKeys(*column));
    EXPECT_EQ(kinds(*column), (QStringList{"new", "-", "-"}));

    QTest::keyClicks(newField(*column), "buy milk");
    QTest::keyClick(newField(*column), Qt::Key_Return);
    ASSERT_TRUE(waitForKeys(*column)) << "a fresh field in the same line";
    EXPECT_EQ(newField(*column)->text(), "");
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "buy milk")});
    QTest::keyClicks(newField(*column), "call mum");
    QTest::keyClick(newField(*column), Qt::Key_Return);
    ASSERT_TRUE(waitForKeys(*column));
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "call mum"}));
    EXPECT_EQ(kinds(*column), (QStringList{"buy milk", "call mum", "new", "-"}));

    QTest::keyClick(newField(*column), Qt::Key_Return);
    EXPECT_EQ(m.editing(), std::nullopt) << "Return on an empty line ends typing";
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "call mum"}));
    EXPECT_EQ(kinds(*column), (QStringList{"buy milk", "call mum", "-"}));
}

TEST_F(ThingColumnTest, ClickingAwayAddsWhatWasTypedAndEnds)
{
    AppModel& m = started();
    add(m, {"buy milk"});
    ThingColumn* column = columnFor(m, today, 3);
    column->startNewThing();
    ASSERT_TRUE(waitForKeys(*column));
    QTest::keyClicks(newField(*column), "call mum");
    click(column->row(ThingRow::rowID(idOf(m.planner(), "buy milk"))), QPoint(200, 16));
    QCoreApplication::processEvents();
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "call mum"}));
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "buy milk")}) << "the click still selects";
}

TEST_F(ThingColumnTest, TypedTextSurvivesModelChangesAndIsAddedWhenTheLineIsTakenAway)
{
    AppModel& m = started();
    add(m, {"buy milk"});
    ThingColumn* column = columnFor(m, today, 3);
    column->startNewThing();
    ASSERT_TRUE(waitForKeys(*column));
    QPointer<EditField> field = newField(*column);
    QTest::keyClicks(field, "call m");

    // Changes elsewhere, in the plan and the family store, leave the line alone.
    m.toggle(idOf(m.planner(), "buy milk"));
    add(m, {"on thursday"}, Place::onDay(thursday));
    m.refreshFromFamily();
    ASSERT_TRUE(field);
    EXPECT_EQ(newField(*column), field.data());
    EXPECT_EQ(field->text(), "call m");
    QTest::keyClicks(field, "um");

    // Another column's line takes over: what was typed here is still added here.
    m.setEditing(Editing::newThing(Place::onDay(thursday)));
    QCoreApplication::processEvents();
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "call mum"}));
}

TEST_F(ThingColumnTest, OtherAppsThingsShowOnlyOnToday)
{
    h.syncDelay = 5ms;
    AppModel& m = started();
    h.family().upsert(Sibling::row("T1", "water the plants", wednesday));
    h.family().upsert(Sibling::row("T2", "tomorrow's", thursday));
    m.refreshFromFamily();
    add(m, {"buy milk"});
    ThingColumn* todays = columnFor(m, today, 0);
    auto* tomorrows = new ThingColumn(m, Place::onDay(thursday));
    host.hold(tomorrows);
    EXPECT_EQ(kinds(*todays), (QStringList{"buy milk", "theirs:water the plants", "-"}));
    EXPECT_EQ(kinds(*tomorrows), (QStringList{"-"}));

    h.family().upsert(Sibling::row("T3", "new from the sibling", wednesday));
    m.refreshFromFamily();
    EXPECT_EQ(kinds(*todays), (QStringList{"buy milk", "theirs:water the plants", "theirs:new from the sibling", "-"}));
}

TEST_F(ThingColumnTest, TheMoreLineOpensThePlacesSheet)
{
    AppModel& m = started();
    add(m, {"one", "two", "three", "four", "five"});
    ThingColumn* column = columnFor(m, today);
    column->setCap(3);
    EXPECT_EQ(kinds(*column), (QStringList{"one", "two", "more"}));
    QWidget* more = column->lines().last();
    EXPECT_EQ(more->accessibleName(), "3 more. See all.");
    EXPECT_TRUE(more->toolTip().contains("See all 5 in wed 4 mar"));
    click(more);
    EXPECT_EQ(m.zoomed(), today);
}

TEST_F(ThingColumnTest, AFillerLineStartsANewThingOrPastes)
{
    AppModel& m = started();
    add(m, {"buy milk"});
    ThingColumn* column = columnFor(m, today, 3);
    m.selection().setIDs({idOf(m.planner(), "buy milk")});
    EmptyLine* filler = qobject_cast<EmptyLine*>(column->lines().last());
    ASSERT_TRUE(filler);

    // Its menu, read while it is open, as a person sees it.
    QList<MenuItem> items;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            items = itemsOf(*menu);
            menu->close();
        }
    });
    emit filler->customContextMenuRequested(QPoint(5, 5));
    EXPECT_EQ(items, (QList<MenuItem>{{"New Thing", true}, {"Paste", false}})) << "nothing usable to paste";

    h.clipboard->data = textData("from the clipboard");
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            trigger(*menu, "Paste");
            menu->close();
        }
    });
    emit filler->customContextMenuRequested(QPoint(5, 5));
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "from the clipboard"}));

    click(column->lines().last());
    EXPECT_EQ(m.editing(), Editing::newThing(today));
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
}

TEST_F(ThingColumnTest, AColumnThatOutlivesItsModelGoesQuietly)
{
    // Choosing another planner folder replaces the model; the old board may go after it.
    AppModel& m = started();
    add(m, {"buy milk"});
    ThingColumn* column = columnFor(m, today, 3);
    m.setOpened(idOf(m.planner(), "buy milk"));
    m.setEditing(Editing::thing(idOf(m.planner(), "buy milk")));
    h.stop();
    delete column;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
