// A planner thing's row as a person uses it: ticking, selecting with the modifiers,
// renaming inline, opening the detail with a double click, and the context menu.
#include "boardselection.h"
#include "checkbutton.h"
#include "editfield.h"
#include "emptyline.h"
#include "modelharness.h"
#include "popover.h"
#include "rowtext.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"
#include "zcount.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QStyleHints>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);

class ThingRowTest : public ::testing::Test {
protected:
    ThingRowTest()
    {
        // A short double-click time keeps the wait for a rename short.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(80);
    }
    ~ThingRowTest() override { QGuiApplication::styleHints()->setMouseDoubleClickInterval(400); }

    AppModel& started(const QStringList& titles, const Place& place = today)
    {
        AppModel& m = h.start();
        m.commit([&](Planner& p) {
            for (const QString& title : titles)
                p.add(title, place);
        });
        column = new ThingColumn(m, place);
        column->setMinRows(titles.size() + 1);
        host.hold(column);
        return m;
    }
    ThingRow* row(const QString& title)
    {
        return qobject_cast<ThingRow*>(column->row(ThingRow::rowID(idOf(h.model().planner(), title))));
    }
    QUuid id(const QString& title) { return idOf(h.model().planner(), title); }
    // A point on the title, and one on the row beside it.
    static QPoint onTitle() { return QPoint(40, 16); }
    static QPoint beside(QWidget* row) { return QPoint(row->width() - 8, 16); }
    // For what must not happen: a rename the double-click time after a click would have
    // begun by now.
    static void waitPastDoubleClick() { QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 60); }
    // For a rename that must begin: its timer fires late on a busy machine. Which rename
    // began is the caller's to check.
    void waitForRename() { static_cast<void>(QTest::qWaitFor([&] { return h.model().editing().has_value(); }, 5000)); }
    EditField* field(ThingRow* r) { return r ? r->findChild<EditField*>() : nullptr; }
    bool waitForField(ThingRow* r)
    {
        return QTest::qWaitFor([&] { return field(r) && field(r)->hasFocus(); }, 5000);
    }

    ModelHarness h;
    ViewHost host;
    ThingColumn* column = nullptr;
};

} // namespace

TEST_F(ThingRowTest, TheBoxTicksAndUnticksAsOneUndoStep)
{
    AppModel& m = started({"buy milk"});
    const qsizetype before = m.undoStack().size();
    auto* check = row("buy milk")->findChild<CheckButton*>();
    click(check);
    EXPECT_TRUE(m.planner().thing(id("buy milk"))->done);
    EXPECT_TRUE(check->isDone());
    EXPECT_EQ(m.undoStack().size(), before + 1);
    click(check);
    EXPECT_FALSE(m.planner().thing(id("buy milk"))->done);
}

TEST_F(ThingRowTest, ClicksSelectCtrlTogglesShiftTakesTheRangeOnTheRowAndOnTheTitle)
{
    AppModel& m = started({"a", "b", "c", "d"});
    struct Step {
        const char* title;
        bool onTitle;
        Qt::KeyboardModifiers modifiers;
        QStringList selected;
    };
    // Ctrl-clicking a thing in makes it the anchor of the next range.
    const Step steps[] = {
        {"b", false, Qt::NoModifier, {"b"}},
        {"d", false, Qt::ControlModifier, {"b", "d"}},
        {"c", false, Qt::ShiftModifier, {"c", "d"}},
        {"a", true, Qt::ControlModifier | Qt::ShiftModifier, {"a", "b", "c", "d"}},
        {"b", true, Qt::ControlModifier, {"a", "c", "d"}},
        {"b", true, Qt::ShiftModifier, {"b", "c", "d"}},
        {"a", true, Qt::NoModifier, {"a"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.title) + (s.onTitle ? " on the title" : " beside it"));
        ThingRow* r = row(s.title);
        click(r, s.onTitle ? onTitle() : beside(r), s.modifiers);
        QSet<QUuid> wanted;
        for (const QString& title : s.selected)
            wanted.insert(id(title));
        EXPECT_EQ(m.selection().ids(), wanted);
    }
    m.selection().setIDs({});
    click(row("c"), onTitle(), Qt::ControlModifier);
    waitPastDoubleClick();
    EXPECT_EQ(m.editing(), std::nullopt) << "a click with a modifier never renames";
}

TEST_F(ThingRowTest, AClickOnTheTitleRenamesAfterTheDoubleClickTime)
{
    AppModel& m = started({"buy milk", "call mum", "water the plants"});
    struct Case {
        const char* name;
        const char* title;
        QString typed;
        Qt::Key key;
        std::optional<QString> after;  // none: deleted
    };
    const Case cases[] = {
        {"Return renames", "buy milk", " with oats", Qt::Key_Return, "buy milk with oats"},
        {"Escape keeps the title", "call mum", " back", Qt::Key_Escape, "call mum"},
        {"a blank title deletes the thing", "water the plants", "", Qt::Key_Return, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ThingRow* r = row(c.title);
        const QUuid thing = id(c.title);
        click(r, onTitle());
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{thing}) << "selected at once";
        EXPECT_EQ(m.editing(), std::nullopt) << "a double click may still come";
        waitForRename();
        EXPECT_EQ(m.editing(), Editing::thing(thing));
        ASSERT_TRUE(waitForField(r));
        EXPECT_EQ(field(r)->text(), c.title);
        if (c.typed.isEmpty())
            field(r)->clear();
        QTest::keyClicks(field(r), c.typed);
        QTest::keyClick(field(r), c.key);
        QCoreApplication::processEvents();
        const auto now = m.planner().thing(thing);
        EXPECT_EQ(now ? std::optional(now->title) : std::nullopt, c.after);
        EXPECT_EQ(m.editing(), std::nullopt);
    }
}

TEST_F(ThingRowTest, ADoubleClickOpensTheDetailAndStartsNoRename)
{
    AppModel& m = started({"buy milk", "call mum"});
    m.selection().select(id("call mum"));
    for (const bool title : {true, false}) {
        SCOPED_TRACE(title ? "on the title" : "beside it");
        m.setOpened(std::nullopt);
        ThingRow* r = row("buy milk");
        doubleClick(r, title ? onTitle() : beside(r));
        waitPastDoubleClick();
        EXPECT_EQ(m.opened(), id("buy milk"));
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{id("buy milk")});
        EXPECT_EQ(m.editing(), std::nullopt);
        ASSERT_TRUE(r->popover());
        EXPECT_TRUE(r->popover()->isVisible());
    }
    m.setOpened(std::nullopt);
    EXPECT_FALSE(row("buy milk")->popover()) << "the model closes it";
}

TEST_F(ThingRowTest, ClosingOnePopoverNeverClosesAnothersOpen)
{
    AppModel& m = started({"buy milk", "call mum"});
    m.setOpened(id("buy milk"));
    QPointer<Popover> first = row("buy milk")->popover();
    ASSERT_TRUE(first);
    m.setOpened(id("call mum"));
    EXPECT_FALSE(row("buy milk")->popover());
    EXPECT_TRUE(row("call mum")->popover());
    EXPECT_EQ(m.opened(), id("call mum"));

    // The user closes the open one (Escape, a click outside).
    row("call mum")->popover()->close();
    EXPECT_EQ(m.opened(), std::nullopt);
}

TEST_F(ThingRowTest, ALateCommitNeverEndsTheEditThatTookItsKeys)
{
    // "call mum" comes first, so its row hears of the new edit before "buy milk" does,
    // and its field takes the keys while the old field is still on screen.
    AppModel& m = started({"call mum", "buy milk"});
    m.setEditing(Editing::thing(id("buy milk")));
    ASSERT_TRUE(waitForField(row("buy milk")));
    QTest::keyClicks(field(row("buy milk")), " today");

    m.setEditing(Editing::thing(id("call mum")));
    QCoreApplication::processEvents();
    EXPECT_EQ(titlesOn(m, today), (QStringList{"call mum", "buy milk today"})) << "the old field committed";
    EXPECT_EQ(m.editing(), Editing::thing(id("call mum")));
    EXPECT_TRUE(waitForField(row("call mum")));
}

TEST_F(ThingRowTest, TheContextMenuOffersThePlacesItemsInTheirStates)
{
    AppModel& m = started({"buy milk", "call mum"});
    m.update(id("call mum"), [](Thing& t) {
        t.done = true;
        t.note = "ring twice";
    });
    const QList<MenuItem> common{{"Highlight", true}, {"  Lavender", true}, {"  Green", true}, {"  Red", true},
                                 {"  None", true},    {"-", false},         {"Cut", true},      {"Copy", true},
                                 {"Paste", false},    {"-", false},         {"Delete", true}};
    std::unique_ptr<QMenu> open(row("buy milk")->makeMenu());
    EXPECT_EQ(itemsOf(*open), (QList<MenuItem>{{"Open", true}, {"Add a Note", true}, {"Done", true}, {"-", false},
                                               {"Not This Week", true}, {"Eventually", true}} +
                               common));
    h.clipboard->data = textData("from the clipboard");
    std::unique_ptr<QMenu> done(row("call mum")->makeMenu());
    const QList<MenuItem> items = itemsOf(*done);
    EXPECT_EQ(items.mid(0, 3), (QList<MenuItem>{{"Open", true}, {"Open Note", true}, {"Not Done", true}}));
    EXPECT_TRUE(items.contains(MenuItem{"Paste", true})) << "something to paste";

    // A list's thing goes to today instead.
    auto* lists = new ThingColumn(m, Place::inList(0));
    host.hold(lists);
    m.commit([](Planner& p) { p.add(QStringLiteral("someday"), Place::inList(0)); });
    auto* listRow = qobject_cast<ThingRow*>(lists->row(ThingRow::rowID(id("someday"))));
    ASSERT_TRUE(listRow);
    std::unique_ptr<QMenu> listMenu(listRow->makeMenu());
    const QList<MenuItem> listItems = itemsOf(*listMenu);
    EXPECT_TRUE(listItems.contains(MenuItem{"Today", true}));
    EXPECT_FALSE(listItems.contains(MenuItem{"Not This Week", true}));
    EXPECT_FALSE(listItems.contains(MenuItem{"Eventually", true}));
    ASSERT_TRUE(trigger(*listMenu, "Today"));
    EXPECT_EQ(titlesOn(m, today), (QStringList{"buy milk", "call mum", "someday"}));
}

TEST_F(ThingRowTest, MenuItemsActOnTheThingOrOnTheSelectionAsEachOneSays)
{
    AppModel& m = started({"a", "b", "c"});
    m.selection().setIDs({id("a"), id("b")});
    const auto menuOf = [&](const QString& title) { return std::unique_ptr<QMenu>(row(title)->makeMenu()); };

    ASSERT_TRUE(trigger(*menuOf("a"), "Red"));
    EXPECT_EQ(m.planner().thing(id("a"))->mark, Mark::Red);
    EXPECT_EQ(m.planner().thing(id("b"))->mark, Mark::Red) << "the whole selection";
    EXPECT_EQ(m.planner().thing(id("c"))->mark, std::nullopt);

    ASSERT_TRUE(trigger(*menuOf("a"), "Done"));
    EXPECT_TRUE(m.planner().thing(id("a"))->done);
    EXPECT_FALSE(m.planner().thing(id("b"))->done) << "this thing only";

    ASSERT_TRUE(trigger(*menuOf("b"), "Open"));
    EXPECT_EQ(m.opened(), id("b"));
    m.setOpened(std::nullopt);

    // Cut on a row outside the selection cuts that thing alone.
    ASSERT_TRUE(trigger(*menuOf("c"), "Cut"));
    EXPECT_EQ(titlesOn(m, today), (QStringList{"a", "b"}));
    EXPECT_TRUE(h.clipboard->data && h.clipboard->data->text().contains("c"));

    m.selection().setIDs({id("a"), id("b")});
    ASSERT_TRUE(trigger(*menuOf("a"), "Not This Week"));
    EXPECT_TRUE(titlesOn(m, today).isEmpty());
    EXPECT_EQ(titlesOn(m, Place::onDay(wednesday.adding(7))), (QStringList{"a", "b"}));
}

TEST_F(ThingRowTest, TheMenuOpensFromARightClickAndItsItemsRun)
{
    AppModel& m = started({"buy milk"});
    ThingRow* r = row("buy milk");
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            trigger(*menu, "Delete");
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(40, 16), r->mapToGlobal(QPoint(40, 16)));
    QApplication::sendEvent(r, &event);
    EXPECT_TRUE(titlesOn(m, today).isEmpty());
    EXPECT_EQ(m.toast(), "Deleted. " + QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText) +
                             " if that was a mistake.");
}

// The marks after the title, left to right, as the row shows them now: a text mark by
// its text, a badge as "moved".
QStringList marksOf(ThingRow* row)
{
    QList<QWidget*> shown;
    for (QWidget* child : row->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && (qobject_cast<RowText*>(child) || qobject_cast<ZCount*>(child)))
            shown.append(child);
    }
    std::sort(shown.begin(), shown.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    QStringList marks;
    // The first is the title.
    for (QWidget* w : shown.mid(1)) {
        if (auto* text = qobject_cast<RowText*>(w))
            marks.append(text->text());
        else
            marks.append(QStringLiteral("moved"));
    }
    return marks;
}

TEST_F(ThingRowTest, MarksComeAndGoWithTheThingAndKeepTheirOrder)
{
    AppModel& m = started({"buy milk"});
    struct Case {
        const char* what;
        std::function<void(Thing&)> edit;
        QStringList marks;
    };
    const QList<Case> cases{
        {"none", [](Thing&) {}, {}},
        {"moved twice", [](Thing& t) { t.zs = 2; }, {"moved"}},
        {"a note before the badge", [](Thing& t) { t.note = "ask for oat milk"; }, {"\u2261", "moved"}},
        {"steps first of all", [](Thing& t) { t.steps = {Step{"shop", true}, Step{"pay", false}}; },
         {"1/2", "\u2261", "moved"}},
        {"a reminder after the steps", [](Thing& t) { t.remind = TimeOfDay{9, 30}; }, {"1/2", "09:30", "\u2261", "moved"}},
        {"done hides the time and the badge", [](Thing& t) { t.done = true; }, {"1/2", "\u2261"}},
        {"all gone", [](Thing& t) {
             Thing plain;
             plain.id = t.id;
             plain.title = t.title;
             t = plain;
         }, {}},
    };
    const QUuid thing = id("buy milk");
    for (const Case& c : cases) {
        m.commit([&](Planner& p) {
            for (Thing& t : p.days[wednesday]) {
                if (t.id == thing)
                    c.edit(t);
            }
        });
        QCoreApplication::processEvents();
        ThingRow* r = row("buy milk");
        ASSERT_NE(r, nullptr) << c.what;
        EXPECT_EQ(marksOf(r), c.marks) << c.what;
    }
}

void settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

// The title's space: from after the check box to before the first mark shown, or to the
// row's end.
std::pair<int, int> titleSpace(ThingRow* row)
{
    const auto* check = row->findChild<CheckButton*>();
    int end = row->width() - RowFrame::trailing;
    for (QWidget* child : row->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const bool mark = (qobject_cast<RowText*>(child) && child->x() > check->x() + 40) || qobject_cast<ZCount*>(child);
        if (mark && child->isVisible())
            end = std::min(end, child->x() - RowFrame::spacing);
    }
    return {check->geometry().right() + 1 + RowFrame::spacing, end};
}

TEST_F(ThingRowTest, TheRenameFieldTakesTheTitlesWholeSpaceAtEveryWidth)
{
    AppModel& m = started({"book flights soon", "reply to ines"});
    m.update(id("reply to ines"), [](Thing& t) {
        t.steps = {Step{"read", true}, Step{"write", false}};
        t.remind = TimeOfDay{9, 30};
    });
    for (const int width : {130, 180, 320}) {
        column->setFixedWidth(width);
        for (const QString title : {"book flights soon", "reply to ines"}) {
            m.setEditing(Editing::thing(id(title)));
            settle();
            ThingRow* r = row(title);
            // The fields of the earlier edits wait for their deletion, hidden.
            EditField* f = nullptr;
            for (EditField* each : r->findChildren<EditField*>()) {
                if (each->isVisible())
                    f = each;
            }
            ASSERT_TRUE(f) << title.toStdString();
            const auto [left, right] = titleSpace(r);
            EXPECT_EQ(f->x(), left) << width << " " << title.toStdString();
            EXPECT_EQ(f->geometry().right() + 1, right) << width << " " << title.toStdString();
            m.setEditing(std::nullopt);
            QCoreApplication::processEvents();
        }
    }
}

TEST_F(ThingRowTest, TheTitleKeepsItsMinimumWidthAndMarksShowWholeOrNotAtAll)
{
    AppModel& m = started({"renew the passport"});
    m.update(id("renew the passport"), [](Thing& t) {
        t.mark = Mark::Lavender;
        t.steps = {Step{"photo", true}, Step{"form", false}};
        t.remind = TimeOfDay{18, 5};
        t.note = "bring the old one";
        t.repeatID = QStringLiteral("r1");
        t.zs = 3;
    });
    const QStringList all{"1/2", "18:05", "\u2261", "\u21BB", "moved"};
    QStringList before = all;
    for (const int width : {400, 220, 160, 130, 110, 90}) {
        column->setFixedWidth(width);
        settle();
        ThingRow* r = row("renew the passport");
        auto* title = r->findChild<RowText*>();
        EXPECT_GE(title->width(), title->minimumSizeHint().width()) << width;
        EXPECT_GE(title->minimumSizeHint().width(), 28 + 2 * 6) << "28 and the wash's insets";
        const QStringList shown = marksOf(r);
        EXPECT_EQ(shown, all.mid(0, shown.size())) << width << ": the marks are left out from the end";
        EXPECT_LE(shown.size(), before.size()) << width;
        before = shown;
        for (QWidget* child : r->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child != title && child->isVisible() && (qobject_cast<RowText*>(child) || qobject_cast<ZCount*>(child))) {
                EXPECT_EQ(child->width(), child->sizeHint().width()) << width << ": a mark shown whole";
                EXPECT_GT(child->x(), title->geometry().right()) << width;
                EXPECT_LE(child->geometry().right(), r->width()) << width;
            }
        }
    }
    EXPECT_LT(before.size(), all.size()) << "the narrowest leaves some out";
}

// The lines of the column that show a hover mark, and the one under the pointer.
QList<QWidget*> hoveredLines(QWidget* column)
{
    QList<QWidget*> out;
    for (auto* row : column->findChildren<RowFrame*>())
        if (row->isVisible() && row->isHovering())
            out.append(row);
    for (auto* line : column->findChildren<EmptyLine*>())
        if (line->isVisible() && line->isHovering())
            out.append(line);
    return out;
}
std::string names(const QList<QWidget*>& lines)
{
    std::string out;
    for (QWidget* w : lines)
        out += (qobject_cast<EmptyLine*>(w) ? std::string("(empty line)") : w->accessibleName().toStdString()) + "; ";
    return out;
}
QList<QWidget*> lineUnderThePointer(QWidget* column)
{
    QList<QWidget*> out;
    const QPoint at = QCursor::pos();
    for (QWidget* w : column->findChildren<QWidget*>()) {
        const bool line = qobject_cast<RowFrame*>(w) || qobject_cast<EmptyLine*>(w);
        if (line && w->isVisible() && QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).contains(at))
            out.append(w);
    }
    return out;
}

TEST_F(ThingRowTest, HoverMarksFollowThePointerWhenTheLinesMoveUnderIt)
{
    AppModel& m = started({"first", "second"});
    // The column stays at the top of its window; its lines move inside it.
    static_cast<QVBoxLayout*>(host.layout())->addStretch(1);
    settle();
    // No button is held from what ran before: with one held nothing lights up.
    if (QGuiApplication::mouseButtons() & Qt::LeftButton)
        QTest::mouseRelease(column, Qt::LeftButton);
    ASSERT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
    const auto follows = [&] {
        const bool same = QTest::qWaitFor([&] { return hoveredLines(column) == lineUnderThePointer(column); }, 1000);
        if (!same)
            std::cerr << "hovered: " << names(hoveredLines(column)) << " under: " << names(lineUnderThePointer(column)) << "\n";
        return same;
    };
    QCursor::setPos(row("second")->mapToGlobal(QPoint(60, 16)));
    settle();
    ASSERT_EQ(hoveredLines(column), (QList<QWidget*>{row("second")})) << "the pointer's own move";

    // A new thing at the top pushes the rows down under the still pointer.
    m.commit([](Planner& p) { p.add(Thing::make("pushed in"), today, 0); });
    QTest::qWait(400);  // the rows slide into place
    ASSERT_EQ(lineUnderThePointer(column), (QList<QWidget*>{row("first")}));
    EXPECT_TRUE(follows());
    EXPECT_FALSE(row("second")->isHovering());

    // The pointer moves on while a popup holds the mouse; the popup closes.
    QWidget popup(nullptr, Qt::Popup);
    popup.setGeometry(QRect(QCursor::pos() - QPoint(20, 20), QSize(40, 40)));
    popup.show();
    QCursor::setPos(row("pushed in")->mapToGlobal(QPoint(60, 16)));
    settle();
    popup.close();
    ASSERT_EQ(lineUnderThePointer(column), (QList<QWidget*>{row("pushed in")}));
    EXPECT_TRUE(follows());
    EXPECT_FALSE(row("first")->isHovering());

    // Onto the empty line below the things, which one taken away pulls up.
    QCursor::setPos(column->mapToGlobal(QPoint(60, 3 * 32 + 16)));
    settle();
    ASSERT_EQ(lineUnderThePointer(column).size(), 1);
    auto* empty = qobject_cast<EmptyLine*>(lineUnderThePointer(column).constFirst());
    ASSERT_TRUE(empty);
    ASSERT_TRUE(empty->isHovering());
    m.deleteFromMenu(id("pushed in"));
    QTest::qWait(400);
    EXPECT_TRUE(follows());
    EXPECT_EQ(hoveredLines(column).size(), lineUnderThePointer(column).size());
}

TEST(ThingRowTexts, TheMoveBadgeSaysHowOftenAndAsksFromThreeOn)
{
    EXPECT_EQ(ThingRow::movedText(1), "moved 1\u00D7");
    EXPECT_EQ(ThingRow::movedText(2), "moved 2\u00D7");
    EXPECT_EQ(ThingRow::movedText(3), "moved 3\u00D7. eventually, or never?");
}
