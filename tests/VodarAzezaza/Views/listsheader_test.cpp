// The lists header and the list columns' headers over a real model: showing and hiding
// the lists, adding lists, the menus, renaming a list in place and the two delete
// confirmations with their keep, drop and cancel answers.
#include "appmodel.h"
#include "boardselection.h"
#include "boardtesting.h"
#include "confirmdialog.h"
#include "editfield.h"
#include "glyphbutton.h"
#include "listcolumnheader.h"
#include "listsheader.h"
#include "modelharness.h"
#include "plannerlists.h"
#include "plannersettings.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The first list holds one thing, "home" three, "trip" none, "to read" one (done).
const QString fourLists = "# eventually\n\n"
                          "## eventually\n- [ ] fix the bike\n\n"
                          "## home\n- [ ] hang the shelf\n- [ ] paint the door\n- [ ] oil the hinge\n\n"
                          "## trip\n\n"
                          "## to read\n- [x] the long book\n";

QStringList listNames(const AppModel& m)
{
    QStringList names;
    for (const EventuallyList& list : m.planner().lists)
        names.append(list.name);
    return names;
}

QStringList menuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    return texts;
}

QAction* action(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    ADD_FAILURE() << "no menu item " << text.toStdString();
    return nullptr;
}

class ListsHeaderTest : public ::testing::Test {
protected:
    AppModel& start(const QString& lists = fourLists)
    {
        h.put("eventually.md", lists);
        AppModel& m = h.start();
        header = new ListsHeader(m);
        window.hold(header);
        return m;
    }
    // Answers the confirmation on screen with the choice at `index` (keep, drop, cancel).
    void choose(int index)
    {
        ConfirmDialog* dialog = header->dialog();
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(dialog->isVisible());
        QTest::mouseClick(dialog->choices()[index], Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    MotionPin motion;
    ModelHarness h;
    TestWindow window{QSize(600, 60)};
    ListsHeader* header = nullptr;
};

} // namespace

TEST_F(ListsHeaderTest, TheToggleShowsAndHidesTheListsAndCountsWhatWaits)
{
    AppModel& m = start();
    ASSERT_TRUE(m.settings().showLists());
    EXPECT_EQ(header->countLine(), "");
    EXPECT_EQ(header->toggle()->toolTip(), "Hide the lists  L");
    EXPECT_EQ(header->toggle()->accessibleName(), "Hide the lists with no date");
    EXPECT_TRUE(header->newListButton()->isVisible());
    EXPECT_TRUE(header->optionsButton()->isVisible());

    QTest::mouseClick(header->toggle(), Qt::LeftButton);
    EXPECT_FALSE(m.settings().showLists());
    // Four lists, four open things: the done one does not wait.
    EXPECT_EQ(header->countLine(), "4 lists · 4 waiting");
    EXPECT_EQ(header->toggle()->toolTip(), "Show the lists  L");
    EXPECT_FALSE(header->newListButton()->isVisible());
    EXPECT_FALSE(header->optionsButton()->isVisible());

    QTest::mouseClick(header->toggle(), Qt::LeftButton);
    EXPECT_TRUE(m.settings().showLists());
}

TEST_F(ListsHeaderTest, OneListCountsOnlyWhatWaits)
{
    AppModel& m = start("# eventually\n\n## eventually\n- [ ] a\n- [ ] b\n- [x] c\n- [ ] d\n");
    m.settings().setShowLists(false);
    EXPECT_EQ(header->countLine(), "3 waiting");
}

TEST_F(ListsHeaderTest, NewListsStopAtTheCap)
{
    AppModel& m = start();
    EXPECT_TRUE(header->newListButton()->toolTip().contains("Another list. Up to 6.  Ctrl+Shift+N"));
    EXPECT_EQ(header->newListButton()->accessibleName(), "New list");
    QTest::mouseClick(header->newListButton(), Qt::LeftButton);
    EXPECT_EQ(m.planner().lists.size(), 5);
    EXPECT_TRUE(header->newListButton()->isVisible());

    emit header->optionsMenu()->aboutToShow();
    EXPECT_EQ(menuTexts(header->optionsMenu()),
              (QStringList{"New List", "Hide Lists", "--", "Delete the Other Lists…"}));
    ASSERT_TRUE(action(header->optionsMenu(), "New List")->isEnabled());
    action(header->optionsMenu(), "New List")->trigger();
    EXPECT_EQ(m.planner().lists.size(), 6);
    EXPECT_FALSE(header->newListButton()->isVisible());
    emit header->optionsMenu()->aboutToShow();
    EXPECT_FALSE(action(header->optionsMenu(), "New List")->isEnabled());

    action(header->optionsMenu(), "Hide Lists")->trigger();
    EXPECT_FALSE(m.settings().showLists());
}

TEST_F(ListsHeaderTest, TheOtherListsCannotGoWhenThereAreNone)
{
    AppModel& m = start("# eventually\n\n## eventually\n- [ ] a\n");
    emit header->optionsMenu()->aboutToShow();
    EXPECT_FALSE(action(header->optionsMenu(), "Delete the Other Lists…")->isEnabled());
    m.lists().addList();
    emit header->optionsMenu()->aboutToShow();
    EXPECT_TRUE(action(header->optionsMenu(), "Delete the Other Lists…")->isEnabled());
}

TEST_F(ListsHeaderTest, DeletingOneListAsksAndDoesWhatTheAnswerSays)
{
    struct Case {
        const char* name;
        int choice;  // 0 keep, 1 drop, 2 cancel, -1 Escape
        QStringList lists;
        QStringList first;
    };
    const QStringList all{"eventually", "home", "trip", "to read"};
    const QStringList without{"eventually", "trip", "to read"};
    const Case cases[] = {
        {"move them", 0, without, {"fix the bike", "hang the shelf", "paint the door", "oil the hinge"}},
        {"delete them too", 1, without, {"fix the bike"}},
        {"cancel", 2, all, {"fix the bike"}},
        {"escape", -1, all, {"fix the bike"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness harness;
        harness.put("eventually.md", fourLists);
        AppModel& m = harness.start();
        TestWindow w(QSize(600, 60));
        auto* lists = new ListsHeader(m);
        w.hold(lists);

        m.lists().requestDeleteList(1);
        ConfirmDialog* dialog = lists->dialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(lists->deleteTitle(), "Delete home? It has 3 things.");
        EXPECT_EQ(dialog->title(), "Delete home? It has 3 things.");
        EXPECT_EQ(dialog->message(), "Ctrl+Z brings it all back.");
        ASSERT_EQ(dialog->choices().size(), 3);
        EXPECT_EQ(dialog->choices()[0]->text(), "Move Them to eventually");
        EXPECT_EQ(dialog->choices()[1]->text(), "Delete Them Too");
        EXPECT_EQ(dialog->choices()[2]->text(), "Cancel");

        if (c.choice < 0)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(dialog->choices()[c.choice], Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(listNames(m), c.lists);
        EXPECT_EQ(titlesOn(m, Place::inList(0)), c.first);
        EXPECT_EQ(m.lists().listToDelete(), std::nullopt);
        EXPECT_EQ(lists->dialog(), nullptr);
    }
}

TEST_F(ListsHeaderTest, TheTitleCountsOneThingAndEmptyListsGoWithoutAsking)
{
    AppModel& m = start();
    m.add("passport", Place::inList(2));
    m.lists().requestDeleteList(2);
    EXPECT_EQ(header->deleteTitle(), "Delete trip? It has 1 thing.");
    choose(2);

    m.lists().addList();
    const qsizetype before = m.planner().lists.size();
    m.lists().requestDeleteList(int(before) - 1);
    EXPECT_EQ(header->dialog(), nullptr);
    EXPECT_EQ(m.planner().lists.size(), before - 1);
}

TEST_F(ListsHeaderTest, AQuestionAboutAListThatMovedIsWithdrawnAndDeletesNothing)
{
    AppModel& m = start();
    m.lists().requestDeleteList(1);
    ASSERT_TRUE(header->dialog());
    // Another program rewrites the lists while the question is up: "work" stands where
    // "home" stood.
    h.put("eventually.md", "# eventually\n\n## eventually\n\n## work\n- [ ] the report\n\n## home\n- [ ] hang the shelf\n");
    m.refresh(h.now());
    QCoreApplication::processEvents();
    ASSERT_EQ(listNames(m), (QStringList{"eventually", "work", "home"}));
    EXPECT_EQ(header->dialog(), nullptr);
    EXPECT_EQ(m.lists().listToDelete(), std::nullopt);
    EXPECT_EQ(listNames(m), (QStringList{"eventually", "work", "home"}));
}

TEST_F(ListsHeaderTest, DeletingTheOtherListsAsksAndDoesWhatTheAnswerSays)
{
    struct Case {
        const char* name;
        int choice;
        QStringList lists;
        qsizetype firstCount;
    };
    const Case cases[] = {
        {"move their things", 0, {"eventually"}, 5},
        {"delete their things too", 1, {"eventually"}, 1},
        {"cancel", 2, {"eventually", "home", "trip", "to read"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness harness;
        harness.put("eventually.md", fourLists);
        AppModel& m = harness.start();
        TestWindow w(QSize(600, 60));
        auto* lists = new ListsHeader(m);
        w.hold(lists);

        emit lists->optionsMenu()->aboutToShow();
        action(lists->optionsMenu(), "Delete the Other Lists…")->trigger();
        ConfirmDialog* dialog = lists->dialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->title(), "Delete every list but eventually?");
        EXPECT_EQ(dialog->message(), "eventually always stays. Ctrl+Z brings it all back.");
        EXPECT_EQ(dialog->choices()[0]->text(), "Move Their Things to eventually");
        EXPECT_EQ(dialog->choices()[1]->text(), "Delete Their Things Too");
        QTest::mouseClick(dialog->choices()[c.choice], Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(listNames(m), c.lists);
        EXPECT_EQ(m.planner().lists[0].things.size(), c.firstCount);
        EXPECT_FALSE(m.lists().deletingAllLists());
        EXPECT_EQ(lists->dialog(), nullptr);
    }
}

TEST_F(ListsHeaderTest, NamesOnButtonsAndInTextsStayAsWritten)
{
    AppModel& m = start("# eventually\n\n## r&d <b>x</b>\n- [ ] a\n\n## home\n- [ ] b\n");
    ASSERT_EQ(listNames(m)[0], "r&d <b>x</b>");
    m.lists().requestDeleteList(1);
    ASSERT_TRUE(header->dialog());
    // "&" would otherwise underline the next letter and vanish.
    EXPECT_EQ(header->dialog()->choices()[0]->text(), "Move Them to r&&d <b>x</b>");
    choose(2);
    m.lists().requestDeleteAllLists();
    EXPECT_EQ(header->dialog()->message(), "r&d <b>x</b> always stays. Ctrl+Z brings it all back.");
    choose(2);
}

namespace {

class ListColumnHeaderTest : public ::testing::Test {
protected:
    AppModel& start(int index)
    {
        h.put("eventually.md", fourLists);
        AppModel& m = h.start();
        header = new ListColumnHeader(m, index);
        window.hold(header);
        return m;
    }
    QPoint onName() const { return header->nameRect().center(); }
    void rename(const QString& typed, Qt::Key end)
    {
        QTest::mouseDClick(header, Qt::LeftButton, {}, onName());
        ASSERT_TRUE(QTest::qWaitFor([&] { return header->field() && header->field()->hasFocus(); }, 2000));
        QCoreApplication::processEvents();  // the field selects its text once it has the keys
        QTest::keyClicks(header->field(), typed);
        QTest::keyClick(header->field(), end);
        QCoreApplication::processEvents();
    }

    MotionPin motion;
    ModelHarness h;
    TestWindow window{QSize(300, 36)};
    ListColumnHeader* header = nullptr;
};

} // namespace

TEST_F(ListColumnHeaderTest, ShowsTheNameAndTheOpenCount)
{
    AppModel& m = start(1);
    EXPECT_EQ(header->name(), "home");
    EXPECT_EQ(header->openCount(), 3);
    m.toggle(idOf(m.planner(), "paint the door"));
    EXPECT_EQ(header->openCount(), 2);
    EXPECT_EQ(header->height(), 36);
    // The rule under the header: pembyText, two pixels.
    const QImage image = header->grab().toImage();
    EXPECT_EQ(image.pixelColor(150, 35), Palette::pembyText.light());
    EXPECT_EQ(image.pixelColor(150, 34), Palette::pembyText.light());
    EXPECT_NE(image.pixelColor(150, 33), Palette::pembyText.light());
}

TEST_F(ListColumnHeaderTest, RenamingStoresTheNameTrimmedAndLowerCase)
{
    struct Case {
        const char* name;
        QString typed;
        Qt::Key end;
        QString stored;
    };
    const Case cases[] = {
        {"return", "  Lisbon In May ", Qt::Key_Return, "lisbon in may"},
        {"only spaces keep the name", "   ", Qt::Key_Return, "home"},
        {"escape", "Elsewhere", Qt::Key_Escape, "home"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness harness;
        harness.put("eventually.md", fourLists);
        AppModel& m = harness.start();
        TestWindow w(QSize(300, 36));
        header = new ListColumnHeader(m, 1);
        w.hold(header);
        rename(c.typed, c.end);
        EXPECT_EQ(listNames(m)[1], c.stored);
        // Either way the field closes.
        EXPECT_EQ(m.editing(), std::nullopt);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !header->field(); }, 1000));
    }
}

TEST_F(ListColumnHeaderTest, TypedNameSurvivesTheFieldBeingTakenAway)
{
    AppModel& m = start(1);
    QTest::mouseDClick(header, Qt::LeftButton, {}, onName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return header->field() && header->field()->hasFocus(); }, 2000));
    QCoreApplication::processEvents();
    QTest::keyClicks(header->field(), "garden");
    // Hiding the lists ends the edit; what was typed is not lost.
    m.settings().setShowLists(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listNames(m)[1] == "garden"; }, 1000));
    EXPECT_EQ(header->field(), nullptr);
}

TEST_F(ListColumnHeaderTest, ATakenAwayNameNeverRenamesAListThatMovedIn)
{
    AppModel& m = start(1);
    QTest::mouseDClick(header, Qt::LeftButton, {}, onName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return header->field() && header->field()->hasFocus(); }, 2000));
    QCoreApplication::processEvents();
    QTest::keyClicks(header->field(), "garden");
    h.put("eventually.md", "# eventually\n\n## eventually\n\n## work\n- [ ] the report\n\n## home\n");
    m.refresh(h.now());
    m.setEditing(std::nullopt);
    QTest::qWait(50);
    EXPECT_EQ(listNames(m), (QStringList{"eventually", "work", "home"}));
}

TEST_F(ListColumnHeaderTest, TheDeleteCrossShowsUnderThePointerButNotOnTheFirstList)
{
    start(0);
    EXPECT_EQ(header->deleteButton(), nullptr);
    EXPECT_EQ(menuTexts(header->makeMenu()), (QStringList{"Rename", "New Thing"}));

    ModelHarness harness;
    harness.put("eventually.md", fourLists);
    AppModel& m = harness.start();
    TestWindow w(QSize(300, 36));
    header = new ListColumnHeader(m, 2);
    w.hold(header);
    GlyphButton* cross = header->deleteButton();
    ASSERT_TRUE(cross);
    EXPECT_EQ(cross->toolTip(), "Delete this list");
    EXPECT_EQ(cross->accessibleName(), "Delete trip");
    // Whatever the pointer did while the window came up.
    QEvent away(QEvent::Leave);
    QCoreApplication::sendEvent(header, &away);
    EXPECT_EQ(cross->inkOpacity(), 0.0);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), header->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(header, &enter);
    EXPECT_EQ(cross->inkOpacity(), 1.0);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(header, &leave);
    EXPECT_EQ(cross->inkOpacity(), 0.0);
    // Invisible, it still takes the click: "trip" is empty and goes without a question.
    QTest::mouseClick(cross, Qt::LeftButton);
    EXPECT_EQ(listNames(m), (QStringList{"eventually", "home", "to read"}));
}

TEST_F(ListColumnHeaderTest, TheNamesMenuRenamesStartsANewThingAndDeletes)
{
    AppModel& m = start(1);
    m.selection().select(idOf(m.planner(), "fix the bike"));
    QMenu* menu = header->makeMenu();
    EXPECT_EQ(menuTexts(menu), (QStringList{"Rename", "New Thing", "--", "Delete List…"}));
    action(menu, "New Thing")->trigger();
    EXPECT_EQ(m.editing(), Editing::newThing(Place::inList(1)));
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.selection().anchor(), std::nullopt);

    action(header->makeMenu(), "Rename")->trigger();
    EXPECT_EQ(m.editing(), Editing::listName(1));
    EXPECT_TRUE(header->field());
    // The field stands in the name's place, and the cross is gone while it is open.
    EXPECT_FALSE(header->deleteButton()->isVisible());
    QTest::keyClick(header->field(), Qt::Key_Escape);

    action(header->makeMenu(), "Delete List…")->trigger();
    EXPECT_EQ(m.lists().listToDelete(), 1);
}
