// A planner thing's detail: it writes back only what was changed in it, keeps what was
// typed across a re-read of the thing's file, and its controls act on the model, dates
// and times once their field is finished.
#include "checkbutton.h"
#include "detailparts.h"
#include "focusmode.h"
#include "modelharness.h"
#include "popover.h"
#include "thingcolumn.h"
#include "thingdetail.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

class ThingDetailTest : public ::testing::Test {
protected:
    AppModel& started()
    {
        AppModel& m = h.start();
        m.commit([](Planner& p) {
            Thing milk = Thing::make("buy milk");
            milk.steps = {{"find a bottle", false}, {"go", true}};
            p.add(milk, today);
            p.add(QStringLiteral("call mum"), today);
        });
        return m;
    }
    QUuid id(const QString& title) { return idOf(h.model().planner(), title); }
    // The detail as its row makes it, held in a window of its own.
    ThingDetail* open(const QString& title, const Place& place = today)
    {
        const Thing thing = *h.model().planner().thing(id(title));
        auto* detail = new ThingDetail(h.model(), place, thing.id, thing.title, thing.steps);
        host.hold(detail);
        return detail;
    }
    static QLineEdit* titleField(QWidget* detail) { return detail->findChild<QLineEdit*>("title"); }
    static QList<QLineEdit*> stepFields(QWidget* detail) { return detail->findChildren<QLineEdit*>("step"); }
    static QLineEdit* newStep(QWidget* detail) { return detail->findChild<QLineEdit*>("newStep"); }
    static void retype(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    ModelHarness h;
    ViewHost host{360};
};

} // namespace

TEST_F(ThingDetailTest, WritesTheTitleAndTheStepsAsTheirRulesSay)
{
    AppModel& m = started();
    struct Case {
        const char* name;
        std::function<void(ThingDetail*)> edit;
        QString title;
        QList<Step> steps;
    };
    const QList<Step> seeded{{"find a bottle", false}, {"go", true}};
    const QList<Case> cases{
        {"an emptied title keeps the old one", [](ThingDetail* d) { titleField(d)->clear(); }, "buy milk", seeded},
        {"blanks are an empty title", [](ThingDetail* d) { retype(titleField(d), " \t "); }, "buy milk", seeded},
        {"a title is saved trimmed", [](ThingDetail* d) { retype(titleField(d), "  buy oat milk  "); }, "buy oat milk",
         seeded},
        {"a step of blanks is left out", [](ThingDetail* d) { retype(stepFields(d)[0], "   "); }, "buy milk",
         {{"go", true}}},
        {"a step keeps the blanks typed around it", [](ThingDetail* d) { retype(stepFields(d)[1], "  go now"); },
         "buy milk", {{"find a bottle", false}, {"  go now", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.update(id("buy milk"), [&](Thing& t) { t.steps = seeded; });
        ThingDetail* detail = open("buy milk");
        c.edit(detail);
        detail->hide();  // the popover goes: it saves
        const Thing now = *m.planner().thing(detail->thingID());
        EXPECT_EQ(now.title, c.title);
        EXPECT_EQ(now.steps, c.steps);
        m.rename(detail->thingID(), "buy milk");
        delete detail;
    }
}

TEST_F(ThingDetailTest, OpeningAndClosingWithoutAnEditWritesNothingSoASiblingsEditSurvives)
{
    h.syncDelay = 5ms;
    h.usePrivateBus();
    Sibling todo(h);
    AppModel& m = started();
    ASSERT_TRUE(waitForSync(m));
    ASSERT_TRUE(waitUntil([&] { return !m.ownChangePending(); }));
    const QString milk = *m.planner().thing(id("buy milk"))->syncID;

    ThingDetail* detail = open("buy milk");
    const qsizetype entries = m.undoStack().size();
    todo.store.setTitle(milk, "buy oat milk");
    todo.store.setSteps(milk, {{"find a bottle", true}});
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.planner().thing(detail->thingID())->title == "buy oat milk"; }));

    detail->hide();
    delete detail;
    const Thing now = m.planner().things(today).first();
    EXPECT_EQ(now.title, "buy oat milk");
    EXPECT_EQ(now.steps, (QList<Step>{{"find a bottle", true}}));
    EXPECT_EQ(m.undoStack().size(), entries) << "nothing written";

    // Changing the steps alone writes the steps alone.
    detail = open("buy oat milk");
    todo.store.setTitle(milk, "buy milk, two");
    todo.post();
    ASSERT_TRUE(waitUntil([&] { return m.planner().thing(detail->thingID())->title == "buy milk, two"; }));
    retype(newStep(detail), "pay");
    QTest::keyClick(newStep(detail), Qt::Key_Return);
    EXPECT_EQ(m.planner().thing(detail->thingID())->title, "buy milk, two");
    EXPECT_EQ(m.planner().thing(detail->thingID())->steps, (QList<Step>{{"find a bottle", true}, {"pay", false}}));
    EXPECT_EQ(m.undoStack().size(), entries + 1);
}

TEST_F(ThingDetailTest, WhatWasTypedSurvivesAReReadThatGivesTheThingAFreshID)
{
    AppModel& m = started();
    auto* column = new ThingColumn(m, today);
    host.hold(column);
    m.setOpened(id("buy milk"));
    auto* row = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(id("buy milk"))));
    ASSERT_TRUE(row && row->popover());
    QPointer<Popover> popover = row->popover();
    ThingDetail* detail = row->detail();
    retype(titleField(detail), "buy oat milk");
    const QUuid before = detail->thingID();

    // Another program adds a line to the week: the file is read again, with fresh ids.
    h.put(thisWeek, h.text(thisWeek).replace("- [ ] call mum", "- [ ] from the phone\n- [ ] call mum"));
    m.refresh(h.now());
    QCoreApplication::processEvents();
    ASSERT_FALSE(m.planner().thing(before));
    ASSERT_TRUE(m.opened());
    EXPECT_TRUE(popover && popover->isVisible()) << "the same popover stays open";
    auto* now = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(*m.opened())));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->popover(), popover.data());
    EXPECT_EQ(detail->thingID(), *m.opened());
    EXPECT_EQ(titleField(detail)->text(), "buy oat milk");

    popover->close();
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy oat milk", "from the phone", "call mum"}));
    EXPECT_EQ(m.opened(), std::nullopt);
}

TEST_F(ThingDetailTest, StepsAreTickedAndAddedWithASaveEachTime)
{
    AppModel& m = started();
    ThingDetail* detail = open("buy milk");
    QLineEdit* add = newStep(detail);
    add->setFocus();
    QTest::keyClicks(add, "   ");
    QTest::keyClick(add, Qt::Key_Return);
    EXPECT_EQ(add->text(), "   ") << "blanks add nothing and stay";
    EXPECT_EQ(m.planner().thing(id("buy milk"))->steps.size(), 2);

    retype(add, "  pay ");
    QTest::keyClick(add, Qt::Key_Return);
    EXPECT_EQ(add->text(), "");
    EXPECT_TRUE(add->hasFocus()) << "ready for the next step";
    EXPECT_EQ(m.planner().thing(id("buy milk"))->steps.last(), (Step{"pay", false})) << "trimmed, saved at once";

    const auto boxes = detail->findChild<StepsEditor*>()->findChildren<QAbstractButton*>();
    click(boxes[0]);
    EXPECT_TRUE(m.planner().thing(id("buy milk"))->steps[0].done);
}

namespace {

// What a popover must never do to its content: squash a part below what it needs.
void expectWhole(QWidget* detail)
{
    for (auto* box : detail->findChildren<CheckButton*>())
        EXPECT_EQ(box->size(), QSize(20, 22)) << "a step's check box";
    for (auto* field : detail->findChildren<DetailField*>())
        EXPECT_GE(field->height(), field->sizeHint().height()) << field->objectName().toStdString();
    auto* note = detail->findChild<NoteBlock*>();
    EXPECT_GE(note->height(), note->heightForWidth(note->width())) << "the note button";
}

void settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST_F(ThingDetailTest, ItsPopoverGrowsWithStepsAndTheReminderAndShrinksBack)
{
    AppModel& m = started();
    auto* column = new ThingColumn(m, today);
    host.hold(column);
    m.setOpened(id("call mum"));
    auto* row = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(id("call mum"))));
    ASSERT_TRUE(row && row->popover());
    Popover* popover = row->popover();
    ThingDetail* detail = row->detail();
    settle();
    const QRect screen = popover->screen()->availableGeometry();
    const int opened = popover->height();
    expectWhole(detail);
    auto* hint = detail->findChild<QLabel*>("hint");
    EXPECT_EQ(hint->height(), QFontMetrics(hint->font()).height()) << "the key hint keeps to one line";

    QLineEdit* add = newStep(detail);
    add->setFocus();
    for (const char* step : {"one", "two", "three", "four"}) {
        QTest::keyClicks(add, step);
        QTest::keyClick(add, Qt::Key_Return);
    }
    settle();
    EXPECT_EQ(m.planner().thing(id("call mum"))->steps.size(), 4);
    EXPECT_GE(popover->height(), opened + 4 * 22);
    EXPECT_TRUE(screen.contains(popover->geometry()));
    expectWhole(detail);

    const int withSteps = popover->height();
    click(detail->findChild<QAbstractButton*>("remind"));
    settle();
    EXPECT_TRUE(detail->findChild<QTimeEdit*>("remindTime")->isVisible());
    EXPECT_GT(popover->height(), withSteps) << "the time field is taller than the switch";
    expectWhole(detail);

    click(detail->findChild<QAbstractButton*>("remind"));
    settle();
    EXPECT_EQ(popover->height(), withSteps) << "and it gives the room back";
    EXPECT_TRUE(screen.contains(popover->geometry()));
}

TEST_F(ThingDetailTest, ReminderRepeatAndMarkActOnTheModel)
{
    AppModel& m = started();
    ThingDetail* detail = open("call mum");
    auto* remind = detail->findChild<QAbstractButton*>("remind");
    auto* time = detail->findChild<QTimeEdit*>("remindTime");
    EXPECT_FALSE(time->isVisible());
    click(remind);
    EXPECT_EQ(m.planner().thing(id("call mum"))->remind, (TimeOfDay{9, 0}));
    EXPECT_TRUE(time->isVisible());

    // The time applies once the field is finished, not at every step of typing.
    time->setFocus();
    time->setCurrentSection(QDateTimeEdit::HourSection);
    QTest::keyClick(time, Qt::Key_Up);
    EXPECT_EQ(m.planner().thing(id("call mum"))->remind, (TimeOfDay{9, 0}));
    QTest::keyClick(time, Qt::Key_Return);
    EXPECT_EQ(m.planner().thing(id("call mum"))->remind, (TimeOfDay{10, 0}));
    click(remind);
    EXPECT_EQ(m.planner().thing(id("call mum"))->remind, std::nullopt);

    auto* repeats = detail->findChild<QComboBox*>("repeats");
    EXPECT_EQ(repeats->currentText(), "Never");
    repeats->setCurrentIndex(3);
    emit repeats->activated(3);
    EXPECT_EQ(m.planner().repeatKind(*m.planner().thing(id("call mum"))), RepeatKind::Weekly);

    const auto swatches = detail->findChildren<QAbstractButton*>("swatch");
    ASSERT_EQ(swatches.size(), 4);
    EXPECT_TRUE(swatches[3]->isChecked()) << "no mark yet";
    click(swatches[2]);
    EXPECT_EQ(m.planner().thing(id("call mum"))->mark, Mark::Red);
    EXPECT_TRUE(swatches[2]->isChecked());
    EXPECT_FALSE(swatches[3]->isChecked());
    click(swatches[3]);
    EXPECT_EQ(m.planner().thing(id("call mum"))->mark, std::nullopt);
}

TEST_F(ThingDetailTest, ADateAppliesOnceItsFieldIsFinishedAfterASave)
{
    AppModel& m = started();
    ThingDetail* detail = open("call mum");
    retype(titleField(detail), "call mum back");
    auto* date = detail->findChild<QDateEdit*>("date");
    date->setFocus();
    date->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(date, Qt::Key_Up);
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "call mum"})) << "not while typing";
    QTest::keyClick(date, Qt::Key_Return);
    EXPECT_EQ(titlesOn(m, Place::onDay(wednesday.adding(1))), QStringList{"call mum back"}) << "saved, then moved";

    // "No date" saves and sends the thing to the first list.
    detail = open("buy milk");
    retype(titleField(detail), "buy milk later");
    click(detail->findChild<QAbstractButton*>("noDate"));
    EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"buy milk later"});
}

TEST_F(ThingDetailTest, AListsThingOffersTodayTomorrowOrAWeekAndNoReminder)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add(QStringLiteral("someday"), Place::inList(0)); });
    ThingDetail* detail = open("someday", Place::inList(0));
    EXPECT_FALSE(detail->findChild<QDateEdit*>("date"));
    EXPECT_FALSE(detail->findChild<QAbstractButton*>("remind")->isVisible());
    EXPECT_FALSE(detail->findChild<QComboBox*>("repeats")->isVisible());
    EXPECT_EQ(detail->findChild<QLabel*>("hint")->text(), ThingDetail::keyHint(false));
    EXPECT_TRUE(ThingDetail::keyHint(false).startsWith("esc closes   then "));
    EXPECT_FALSE(ThingDetail::keyHint(false).contains("not this week"));
    EXPECT_TRUE(ThingDetail::keyHint(true).contains(" not this week, "));

    auto* none = detail->findChild<QPushButton*>("dateMenu");
    ASSERT_TRUE(none && none->menu());
    EXPECT_EQ(itemsOf(*none->menu()), (QList<MenuItem>{{"Today", true}, {"Tomorrow", true}, {"In a week", true}}));
    retype(titleField(detail), "someday soon");
    ASSERT_TRUE(trigger(*none->menu(), "Tomorrow"));
    EXPECT_EQ(titlesOn(m, Place::onDay(wednesday.adding(1))), QStringList{"someday soon"});
}

TEST_F(ThingDetailTest, TheLinkOpensOnlyWhatThePlannerOpens)
{
    AppModel& m = started();
    struct Case {
        const char* link;
        bool shown;
        bool opened;
    };
    const Case cases[] = {
        {"https://example.com/ticket/7", true, true},
        {"file:///etc/passwd", true, false},
        {"not a link at all", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        h.openedUrls.clear();
        m.update(id("call mum"), [&](Thing& t) { t.link = QString::fromUtf8(c.link); });
        ThingDetail* detail = open("call mum");
        auto* link = detail->findChild<QAbstractButton*>("link");
        EXPECT_EQ(link->isVisible(), c.shown);
        // Where it goes is there to read before the click, for what the planner opens.
        auto* target = detail->findChild<QLabel*>("linkTarget");
        EXPECT_EQ(target->isVisible(), c.opened);
        if (c.opened) {
            EXPECT_EQ(target->text(), "example.com");
        }
        if (c.shown)
            click(link);
        EXPECT_EQ(h.openedUrls.size(), c.opened ? 1 : 0);
        if (c.shown && !c.opened) {
            EXPECT_EQ(m.toast(), "Can't open that kind of link.");
        }
        delete detail;
    }
}

TEST_F(ThingDetailTest, TheNoteButtonSavesClosesLeavesFocusModeAndOpensTheNote)
{
    AppModel& m = started();
    m.focusMode().enterFocusMode();
    m.setOpened(id("buy milk"));
    ThingDetail* detail = open("buy milk");
    retype(titleField(detail), "buy oat milk");
    click(detail->findChild<QAbstractButton*>("note"));
    EXPECT_EQ(m.planner().thing(detail->thingID())->title, "buy oat milk");
    EXPECT_EQ(m.opened(), std::nullopt);
    EXPECT_FALSE(m.focusMode().isFocusMode());
    EXPECT_EQ(m.editingNote(), detail->thingID());
}
