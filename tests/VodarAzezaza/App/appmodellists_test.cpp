#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"
#include "plannerlists.h"

#include <gtest/gtest.h>

namespace {

const QString mistake = " Ctrl+Z if that was a mistake.";

// The first list holds one thing, "home" three, "trip" none, "to read" one.
const QString fourLists = "# eventually\n\n"
                          "## eventually\n- [ ] fix the bike\n\n"
                          "## home\n- [ ] hang the shelf\n- [ ] paint the door\n- [ ] oil the hinge\n\n"
                          "## trip\n\n"
                          "## to read\n- [ ] the long book\n";

QStringList listNames(const AppModel& m)
{
    QStringList names;
    for (const EventuallyList& list : m.planner().lists)
        names.append(list.name);
    return names;
}

} // namespace

TEST(AppModelLists, AddingStopsAtTheCapAndShowsTheLists)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.settings().setShowLists(false);
    m.lists().addList();
    EXPECT_TRUE(m.settings().showLists());
    EXPECT_EQ(h.settings().value("showLists").toString(), "true");
    EXPECT_EQ(listNames(m), (QStringList{"eventually", "to read"}));
    EXPECT_TRUE(h.text("eventually.md").contains("## to read"));

    for (int i = 0; i < 4; ++i)
        m.lists().addList();
    EXPECT_EQ(m.planner().lists.size(), Planner::listCap);
    EXPECT_EQ(m.toast(), std::nullopt);

    // At the cap only the toast: no list, no undo entry, the row stays as it is.
    m.settings().setShowLists(false);
    const qsizetype steps = m.undoStack().size();
    m.lists().addList();
    EXPECT_EQ(m.toast(), "That's 6 lists. Bold.");
    EXPECT_EQ(m.planner().lists.size(), Planner::listCap);
    EXPECT_EQ(m.undoStack().size(), steps);
    EXPECT_FALSE(m.settings().showLists());
}

TEST(AppModelLists, Renaming)
{
    ModelHarness h;
    h.put("eventually.md", fourLists);
    AppModel& m = h.start();
    m.lists().renameList(2, "  Lisbon In May ");
    EXPECT_EQ(listNames(m)[2], "lisbon in may");
    EXPECT_TRUE(h.text("eventually.md").contains("## lisbon in may"));
    const qsizetype steps = m.undoStack().size();
    m.lists().renameList(2, "   ");
    m.lists().renameList(7, "nowhere");
    EXPECT_EQ(m.undoStack().size(), steps);
    m.undo();
    EXPECT_EQ(listNames(m)[2], "trip");
}

TEST(AppModelLists, DeleteRequests)
{
    struct Case {
        const char* name;
        int index;
        std::optional<int> asked;  // the confirmation on screen afterwards
        QStringList left;
        std::optional<QString> toast;
    };
    const QStringList all{"eventually", "home", "trip", "to read"};
    const QList<Case> cases{
        {"the first list", 0, std::nullopt, all, std::nullopt},
        {"before the first", -1, std::nullopt, all, std::nullopt},
        {"past the end", 4, std::nullopt, all, std::nullopt},
        {"an empty list goes at once", 2, std::nullopt, {"eventually", "home", "to read"}, "Deleted trip." + mistake},
        {"a list with things asks first", 1, 1, all, std::nullopt},
        {"the last list, with a thing", 3, 3, all, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.put("eventually.md", fourLists);
        AppModel& m = h.start();
        m.lists().requestDeleteList(c.index);
        EXPECT_EQ(m.lists().listToDelete(), c.asked);
        EXPECT_EQ(listNames(m), c.left);
        EXPECT_EQ(m.toast(), c.toast);
    }
}

TEST(AppModelLists, DeletingAListKeepingOrDroppingItsThings)
{
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "keeping" : "dropping");
        ModelHarness h;
        h.put("eventually.md", fourLists);
        AppModel& m = h.start();
        const QUuid shelf = idOf(m.planner(), "hang the shelf");
        const QUuid door = idOf(m.planner(), "paint the door");
        const QUuid bike = idOf(m.planner(), "fix the bike");
        m.selection().setIDs({shelf, door, bike});
        m.setOpened(door);
        m.setEditing(Editing::listName(3));

        m.lists().requestDeleteList(1);
        ASSERT_EQ(m.lists().listToDelete(), 1);
        m.lists().deleteList(1, keep);
        EXPECT_EQ(m.lists().listToDelete(), std::nullopt);
        EXPECT_EQ(m.editing(), std::nullopt);
        EXPECT_EQ(listNames(m), (QStringList{"eventually", "trip", "to read"}));
        if (keep) {
            EXPECT_EQ(titlesOn(m, Place::inList(0)),
                      (QStringList{"fix the bike", "hang the shelf", "paint the door", "oil the hinge"}));
            EXPECT_EQ(m.selection().ids(), (QSet<QUuid>{shelf, door, bike}));
            EXPECT_EQ(m.opened(), door);
            EXPECT_EQ(m.toast(), "Deleted home. Its things went to eventually.");
        } else {
            EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"fix the bike"});
            EXPECT_EQ(m.selection().ids(), QSet<QUuid>{bike});
            EXPECT_EQ(m.opened(), std::nullopt);
            EXPECT_EQ(m.toast(), "Deleted home." + mistake);
        }
        EXPECT_FALSE(h.text("eventually.md").contains("## home"));

        m.undo();
        EXPECT_EQ(listNames(m), (QStringList{"eventually", "home", "trip", "to read"}));
        EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"fix the bike"});
        EXPECT_EQ(titlesOn(m, Place::inList(1)), (QStringList{"hang the shelf", "paint the door", "oil the hinge"}));
        EXPECT_TRUE(h.text("eventually.md").contains("## home\n- [ ] hang the shelf"));
    }
}

TEST(AppModelLists, KeepingTheThingsOfAnEmptyListSaysNothingWentAnywhere)
{
    ModelHarness h;
    h.put("eventually.md", fourLists);
    AppModel& m = h.start();
    m.lists().deleteList(2, true);
    EXPECT_EQ(listNames(m), (QStringList{"eventually", "home", "to read"}));
    EXPECT_EQ(m.toast(), "Deleted trip." + mistake);

    // A confirmation for an index that is gone ends without a change.
    m.lists().setListToDelete(5);
    const qsizetype steps = m.undoStack().size();
    m.lists().deleteList(5, false);
    EXPECT_EQ(m.lists().listToDelete(), std::nullopt);
    EXPECT_EQ(m.undoStack().size(), steps);
}

TEST(AppModelLists, AConfirmationNeverDeletesAListItDidNotName)
{
    // After an undo.
    {
        ModelHarness h;
        h.put("eventually.md", fourLists);
        AppModel& m = h.start();
        m.lists().deleteList(1, true);  // home goes: trip is now list 1
        m.lists().requestDeleteList(3);
        ASSERT_EQ(m.lists().listToDelete(), std::nullopt) << "past the end now";
        m.add("passport", Place::inList(1));
        m.lists().requestDeleteList(1);
        ASSERT_EQ(m.lists().listToDelete(), 1);
        EXPECT_EQ(listNames(m)[1], "trip");

        // The user undoes while the question is up: home is back at index 1.
        m.undo();
        m.undo();
        ASSERT_EQ(listNames(m)[1], "home");
        const qsizetype steps = m.undoStack().size();
        m.lists().deleteList(1, false);
        EXPECT_EQ(m.lists().listToDelete(), std::nullopt);
        EXPECT_EQ(listNames(m), (QStringList{"eventually", "home", "trip", "to read"}));
        EXPECT_EQ(m.undoStack().size(), steps);
    }
    // After another program rewrote the lists.
    {
        ModelHarness h;
        h.put("eventually.md", fourLists);
        AppModel& m = h.start();
        m.lists().requestDeleteList(1);
        ASSERT_EQ(m.lists().listToDelete(), 1);
        h.put("eventually.md", "# eventually\n\n## eventually\n\n## work\n- [ ] the report\n\n## home\n- [ ] hang the shelf\n");
        m.refresh(h.now());
        ASSERT_EQ(listNames(m), (QStringList{"eventually", "work", "home"}));
        m.lists().deleteList(1, false);
        EXPECT_EQ(listNames(m), (QStringList{"eventually", "work", "home"}));
        EXPECT_EQ(titlesOn(m, Place::inList(1)), QStringList{"the report"});

        // Asked again, it is the list on screen that goes.
        m.lists().requestDeleteList(1);
        m.lists().deleteList(1, false);
        EXPECT_EQ(listNames(m), (QStringList{"eventually", "home"}));
        EXPECT_EQ(m.toast(), "Deleted work." + mistake);
    }
}

TEST(AppModelLists, DeletingAllLists)
{
    struct Case {
        const char* name;
        QString file;
        bool asks;
        std::optional<QString> toast;  // of the request itself
    };
    const QList<Case> cases{
        {"one list only", "# eventually\n\n## eventually\n- [ ] fix the bike\n", false, std::nullopt},
        {"the others are empty", "# eventually\n\n## eventually\n- [ ] fix the bike\n\n## trip\n\n## home\n", false,
         "Just eventually now." + mistake},
        {"another holds things", fourLists, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.put("eventually.md", c.file);
        AppModel& m = h.start();
        const qsizetype lists = m.planner().lists.size();
        m.lists().requestDeleteAllLists();
        EXPECT_EQ(m.lists().deletingAllLists(), c.asks);
        EXPECT_EQ(m.toast(), c.toast);
        EXPECT_EQ(m.planner().lists.size(), c.asks ? lists : 1);
        EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"fix the bike"});
    }
}

TEST(AppModelLists, DeletingAllListsKeepingOrDroppingTheirThings)
{
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "keeping" : "dropping");
        ModelHarness h;
        h.put("eventually.md", fourLists);
        AppModel& m = h.start();
        const QUuid bike = idOf(m.planner(), "fix the bike");
        const QUuid book = idOf(m.planner(), "the long book");
        m.selection().setIDs({bike, book});
        m.setOpened(book);
        m.setEditing(Editing::newThing(Place::inList(2)));
        m.lists().requestDeleteAllLists();
        ASSERT_TRUE(m.lists().deletingAllLists());

        m.lists().deleteAllLists(keep);
        EXPECT_FALSE(m.lists().deletingAllLists());
        EXPECT_EQ(m.editing(), std::nullopt);
        EXPECT_EQ(listNames(m), QStringList{"eventually"});
        if (keep) {
            EXPECT_EQ(titlesOn(m, Place::inList(0)), (QStringList{"fix the bike", "hang the shelf", "paint the door",
                                                                  "oil the hinge", "the long book"}));
            EXPECT_EQ(m.selection().ids(), (QSet<QUuid>{bike, book}));
            EXPECT_EQ(m.opened(), book);
            EXPECT_EQ(m.toast(), "Just eventually now, with everything in it.");
        } else {
            EXPECT_EQ(titlesOn(m, Place::inList(0)), QStringList{"fix the bike"});
            EXPECT_EQ(m.selection().ids(), QSet<QUuid>{bike});
            EXPECT_EQ(m.opened(), std::nullopt);
            EXPECT_EQ(m.toast(), "Just eventually now." + mistake);
        }

        m.undo();
        EXPECT_EQ(listNames(m), (QStringList{"eventually", "home", "trip", "to read"}));
        EXPECT_EQ(titlesOn(m, Place::inList(3)), QStringList{"the long book"});
        EXPECT_TRUE(h.text("eventually.md").contains("## to read\n- [ ] the long book"));

        // With one list left nothing happens, and the flag still goes down.
        m.redo();
        m.lists().setDeletingAllLists(true);
        m.lists().deleteAllLists(keep);
        EXPECT_FALSE(m.lists().deletingAllLists());
        EXPECT_EQ(m.undoStack().size(), 1);
    }
}
