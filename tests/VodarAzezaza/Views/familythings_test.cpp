// Another app's thing in today's column and in its detail: selecting, renaming,
// opening, the menu, and the detail's writes as the sibling app sees them on its own
// handle of the family store and its own bus connection.
#include "boardselection.h"
#include "checkbutton.h"
#include "detailparts.h"
#include "editfield.h"
#include "familythingdetail.h"
#include "familythingrow.h"
#include "focusmode.h"
#include "modelharness.h"
#include "otherapps.h"
#include "popover.h"
#include "thingcolumn.h"
#include "viewharness.h"

#include <QAbstractButton>
#include <QDateEdit>
#include <QMenu>
#include <QScreen>
#include <QStyleHints>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);

class FamilyThingsTest : public ::testing::Test {
protected:
    FamilyThingsTest()
    {
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(80);
        h.syncDelay = 5ms;
        h.usePrivateBus();
        todo = std::make_unique<Sibling>(h);
        AppModel& m = h.start();
        EXPECT_TRUE(waitForSync(m));
        EXPECT_TRUE(waitUntil([&] { return !m.ownChangePending(); }));
        SharedThing plants = Sibling::row("T1", "water the plants", wednesday);
        plants.steps = {{"fill the can", false}};
        todo->store.upsert(plants);
        m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
        m.refreshFromFamily();
    }
    ~FamilyThingsTest() override { QGuiApplication::styleHints()->setMouseDoubleClickInterval(400); }

    AppModel& model() { return h.model(); }
    FamilyThingRow* shownRow()
    {
        if (!column) {
            column = new ThingColumn(model(), today);
            column->setMinRows(3);
            host.hold(column);
        }
        return qobject_cast<FamilyThingRow*>(column->row(FamilyThingRow::rowID("T1")));
    }
    ExternalDetail* openDetail()
    {
        const SharedThing thing = *model().otherApps().externalThing("T1");
        auto* detail = new ExternalDetail(model(), thing.id, thing.title, thing.steps);
        host.hold(detail);
        return detail;
    }
    int postsOf(const std::function<void()>& operation) { return todo->postsDuring(operation); }
    static void retype(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    // For what must not happen: a rename the double-click time after a click would have
    // begun by now.
    static void waitPastDoubleClick() { QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 60); }
    // For a rename that must begin: its timer fires late on a busy machine. Which rename
    // began is the caller's to check.
    void waitForRename() { static_cast<void>(QTest::qWaitFor([&] { return model().editing().has_value(); }, 5000)); }

    ModelHarness h;
    std::unique_ptr<Sibling> todo;
    ViewHost host{360};
    ThingColumn* column = nullptr;
};

} // namespace

TEST_F(FamilyThingsTest, SelectingItEmptiesTheOwnSelectionAndItsTitleRenamesWhateverIsHeld)
{
    FamilyThingRow* row = shownRow();
    ASSERT_TRUE(row);
    model().selection().select(idOf(model().planner(), "buy milk"));
    click(row, QPoint(row->width() - 60, 16));
    EXPECT_TRUE(model().selection().ids().isEmpty());
    EXPECT_EQ(model().selection().anchor(), std::nullopt);
    EXPECT_EQ(model().otherApps().selectedExternal(), "T1");
    waitPastDoubleClick();
    EXPECT_EQ(model().editing(), std::nullopt) << "beside the title it only selects";

    click(row, QPoint(40, 16), Qt::ShiftModifier | Qt::ControlModifier);
    waitForRename();
    EXPECT_EQ(model().editing(), Editing::external("T1")) << "modifiers do not matter";
    auto* field = row->findChild<EditField*>();
    ASSERT_TRUE(field);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 5000));
    QTest::keyClicks(field, " and the fern");
    EXPECT_EQ(postsOf([&] { QTest::keyClick(field, Qt::Key_Return); }), 1);
    EXPECT_EQ(storedRow(todo->store, "T1")->title, "water the plants and the fern");
    EXPECT_EQ(model().editing(), std::nullopt);
}

TEST_F(FamilyThingsTest, ADoubleClickOpensTheDetailAndTheMenuOffersItsItems)
{
    FamilyThingRow* row = shownRow();
    doubleClick(row, QPoint(40, 16));
    waitPastDoubleClick();
    EXPECT_EQ(model().openedExternal(), "T1");
    EXPECT_EQ(model().editing(), std::nullopt);
    ASSERT_TRUE(row->popover());
    ASSERT_TRUE(row->detail());
    row->popover()->close();
    EXPECT_EQ(model().openedExternal(), std::nullopt);

    std::unique_ptr<QMenu> menu(row->makeMenu());
    EXPECT_EQ(itemsOf(*menu), (QList<MenuItem>{{"Open", true}, {"Add a Note", true}, {"Rename", true},
                                                {"Done", true}, {"-", false}, {"Delete", true}}));
    EXPECT_EQ(postsOf([&] { ASSERT_TRUE(trigger(*menu, "Done")); }), 1);
    EXPECT_TRUE(storedRow(todo->store, "T1")->done);

    // A note opens in the main window: focus mode ends first.
    model().focusMode().enterFocusMode();
    menu.reset(shownRow()->makeMenu());
    ASSERT_TRUE(trigger(*menu, "Add a Note"));
    EXPECT_FALSE(model().focusMode().isFocusMode());
    EXPECT_EQ(model().editingExternalNote(), "T1");

    menu.reset(shownRow()->makeMenu());
    ASSERT_TRUE(trigger(*menu, "Delete"));
    EXPECT_EQ(model().toast(), "Deleted. Gone from Pemby Todo too.");
    EXPECT_FALSE(model().otherApps().externalThing("T1"));
}

TEST_F(FamilyThingsTest, TheDetailsPopoverGrowsWithTheStepsAddedInIt)
{
    FamilyThingRow* row = shownRow();
    model().setOpenedExternal("T1");
    ASSERT_TRUE(row->popover());
    Popover* popover = row->popover();
    const auto settle = [] {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    };
    settle();
    const int opened = popover->height();
    auto* add = row->detail()->findChild<QLineEdit*>("newStep");
    add->setFocus();
    for (const char* step : {"buy soil", "repot", "mist"}) {
        QTest::keyClicks(add, step);
        QTest::keyClick(add, Qt::Key_Return);
    }
    settle();
    EXPECT_EQ(storedRow(todo->store, "T1")->steps.size(), 4);
    EXPECT_GE(popover->height(), opened + 3 * 22);
    EXPECT_TRUE(popover->screen()->availableGeometry().contains(popover->geometry()));
    const auto boxes = row->detail()->findChildren<CheckButton*>();
    ASSERT_EQ(boxes.size(), 4);
    for (const CheckButton* box : boxes)
        EXPECT_EQ(box->size(), QSize(20, 22));
    for (const DetailField* field : row->detail()->findChildren<DetailField*>())
        EXPECT_GE(field->height(), field->sizeHint().height());
    popover->close();
}

TEST(FamilyThingTexts, TheHelpAndTheFooterNameTheApp)
{
    EXPECT_EQ(FamilyThingRow::helpText("todo"),
              "From Pemby Todo. Click the name to rename it, double-click to open it; drag it up or down, or to "
              "another day.");
    EXPECT_TRUE(FamilyThingRow::helpText("my odd APP").startsWith("From Pemby My Odd App. "));
    struct Case {
        std::optional<QString> tag;
        QString name;
    };
    const Case cases[] = {{"todo", "Pemby Todo"}, {"notes", "Pemby Notes"}, {"calendar", "calendar"},
                          {std::nullopt, "another app"}};
    for (const Case& c : cases) {
        std::optional<SharedThing> thing;
        if (c.tag)
            thing = Sibling::row("T9", "x", std::nullopt, *c.tag);
        EXPECT_EQ(ExternalDetail::appName(thing), c.name);
    }
}

TEST_F(FamilyThingsTest, TheDetailsStepsReachTheSiblingAndOnlyRealChangesAreAnnounced)
{
    ExternalDetail* detail = openDetail();
    EXPECT_EQ(detail->findChild<QWidget*>("footer")->accessibleName(), "From Pemby Todo. Changes show there too.");
    EXPECT_EQ(postsOf([&] { detail->hide(); }), 0) << "nothing changed, nothing written";
    delete detail;

    detail = openDetail();
    auto* add = detail->findChild<QLineEdit*>("newStep");
    retype(add, "the fern too");
    EXPECT_EQ(postsOf([&] { QTest::keyClick(add, Qt::Key_Return); }), 1);
    EXPECT_EQ(storedRow(todo->store, "T1")->steps,
              (QList<SharedStep>{{"fill the can", false}, {"the fern too", false}}));
    EXPECT_EQ(model().otherApps().externalThing("T1")->steps.size(), 2) << "read back";

    // A blank title is no title, and the same title no change.
    retype(detail->findChild<QLineEdit*>("title"), "   ");
    EXPECT_EQ(postsOf([&] { detail->save(); }), 0);
    EXPECT_EQ(storedRow(todo->store, "T1")->title, "water the plants");
}

TEST_F(FamilyThingsTest, ASiblingsRenameMadeWhileTheDetailIsOpenSurvivesItsSave)
{
    ExternalDetail* detail = openDetail();
    todo->store.setTitle("T1", "water the ferns");
    todo->post();
    ASSERT_TRUE(waitUntil([&] { return model().otherApps().externalThing("T1")->title == "water the ferns"; }));

    // The user ticks a step only: the steps go, the sibling's title stays.
    auto* box = detail->findChild<StepsEditor*>()->findChild<QAbstractButton*>();
    ASSERT_TRUE(box);
    EXPECT_EQ(postsOf([&] { click(box); }), 1);
    EXPECT_EQ(storedRow(todo->store, "T1")->title, "water the ferns");
    EXPECT_TRUE(storedRow(todo->store, "T1")->steps.first().done);
    EXPECT_EQ(postsOf([&] { detail->hide(); }), 0);
    EXPECT_EQ(storedRow(todo->store, "T1")->title, "water the ferns");
}

TEST_F(FamilyThingsTest, PickingADaySavesFirstThenMovesTheThing)
{
    ExternalDetail* detail = openDetail();
    retype(detail->findChild<QLineEdit*>("title"), "water the roses");
    auto* date = detail->findChild<QDateEdit*>("date");
    EXPECT_EQ(date->date(), wednesday.date());
    date->setFocus();
    date->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(date, Qt::Key_Up);
    EXPECT_EQ(storedRow(todo->store, "T1")->day, wednesday.iso()) << "not while typing";
    QTest::keyClick(date, Qt::Key_Return);
    const auto row = storedRow(todo->store, "T1");
    EXPECT_EQ(row->title, "water the roses");
    EXPECT_EQ(row->day, wednesday.adding(1).iso());
    EXPECT_EQ(model().toast(), "Moved it in Pemby Todo too.");
}

TEST_F(FamilyThingsTest, TheDetailsNoteLeavesFocusModeAndOpensTheNoteSheet)
{
    model().focusMode().enterFocusMode();
    model().setOpenedExternal("T1");
    ExternalDetail* detail = openDetail();
    retype(detail->findChild<QLineEdit*>("title"), "water them all");
    click(detail->findChild<QAbstractButton*>("note"));
    EXPECT_EQ(storedRow(todo->store, "T1")->title, "water them all") << "saved first";
    EXPECT_EQ(model().openedExternal(), std::nullopt);
    EXPECT_FALSE(model().focusMode().isFocusMode());
    EXPECT_EQ(model().editingExternalNote(), "T1");
}

TEST_F(FamilyThingsTest, AThingWithoutAUsableDayShowsTodayAndALongNoteFourLines)
{
    for (const std::optional<QString>& day : {std::optional<QString>(), std::optional<QString>("someday")}) {
        SharedThing odd = Sibling::row("T5", "no day", std::nullopt);
        odd.day = day;
        odd.note = QString("a long note that goes on and on ").repeated(20);
        todo->store.upsert(odd);
        model().refreshFromFamily();
        ASSERT_TRUE(model().otherApps().externalThing("T5"));
        auto* detail = new ExternalDetail(model(), "T5", "no day", {});
        host.hold(detail);
        EXPECT_EQ(detail->findChild<QDateEdit*>("date")->date(), wednesday.date());
        auto* note = detail->findChild<NoteBlock*>("note");
        EXPECT_EQ(note->shownLines().size(), NoteBlock::maxLines);
        EXPECT_TRUE(note->shownLines().last().endsWith(QChar(0x2026)));
        delete detail;
    }
}
