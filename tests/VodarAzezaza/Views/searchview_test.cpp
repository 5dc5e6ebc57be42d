// The search sheet: hits in the planner's order with their places, the two empty
// texts, at most 60 rows, Return and clicks that reveal a hit, Done and Escape, and a
// picture of it light and dark.
#include "boardselection.h"
#include "plansearch.h"
#include "modelharness.h"
#include "palette.h"
#include "pictures.h"
#include "plannersettings.h"
#include "rowtext.h"
#include "searchview.h"
#include "viewharness.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace {

const Day wednesday{2026, 3, 4};
const Day lastYear{2025, 6, 10};

class SearchViewTest : public ::testing::Test {
protected:
    // Today, a day a year back on disk only, a month and a list all hold "call mum".
    AppModel& started()
    {
        h.put("2025-W24.md", weekFile(lastYear.monday(), {{lastYear, {"- [x] call mum about june"}}}));
        AppModel& m = h.start();
        m.commit([](Planner& p) {
            p.add("call mum", Place::onDay(wednesday));
            p.add("buy milk", Place::onDay(wednesday));
            p.add("call mum on her birthday", Place::inMonth(MonthKey{2026, 5}));
            p.add("call mum back, eventually", Place::inList(0));
        });
        m.search().beginSearch();
        return m;
    }
    SearchView* open(AppModel& m)
    {
        auto* view = new SearchView(m);
        host.hold(view);
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->field()->hasFocus(); }, 1000));
        return view;
    }
    static QStringList shown(const SearchView& view)
    {
        QStringList out;
        for (const SearchHitRow* row : view.hits())
            out.append(row->title().text() + " | " + row->where().text());
        return out;
    }

    ModelHarness h;
    ViewHost host{SearchView::width};
};

} // namespace

TEST_F(SearchViewTest, ListsTheWholePlansHitsLatestFirstWithTheirPlaces)
{
    AppModel& m = started();
    SearchView* view = open(m);
    QTest::keyClicks(view->field(), "mum");

    EXPECT_EQ(m.search().searchText(), "mum");
    EXPECT_EQ(shown(*view), QStringList({
                                "call mum | wed 4 mar",
                                "call mum about june | tue 10 jun",
                                "call mum on her birthday | may, roughly",
                                "call mum back, eventually | eventually",
                            }));
    EXPECT_FALSE(view->emptyText().isVisible());

    // A done hit is struck through and faint; an open one is neither.
    const SearchHitRow* done = view->hits()[1];
    EXPECT_TRUE(done->title().isStruck());
    EXPECT_EQ(done->title().color(), Palette::pembyFaint);
    EXPECT_FALSE(view->hits()[0]->title().isStruck());
    EXPECT_EQ(view->hits()[0]->title().color(), Palette::pembyText);

    // The hits follow the plan while the sheet is open.
    m.commit([](Planner& p) { p.add("mum's flowers", Place::onDay(Day{2026, 3, 5})); });
    EXPECT_EQ(shown(*view).first(), "mum's flowers | thu 5 mar");
}

TEST_F(SearchViewTest, FindsAnAccentTypedOneWayInATitleWrittenTheOther)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        p.add(QStringLiteral("meet at the CAFE\u0301"), Place::onDay(wednesday));  // as some file systems give it
        p.add(QStringLiteral("caf\u00e9 au lait"), Place::inList(0));
        p.add(QStringLiteral("cafeteria"), Place::inList(0));
    });
    m.search().beginSearch();
    SearchView* view = open(m);
    const QStringList both{QStringLiteral("meet at the CAFE\u0301 | wed 4 mar"), QStringLiteral("caf\u00e9 au lait | eventually")};
    for (const QString& typed : {QStringLiteral("caf\u00e9"), QStringLiteral("CAF\u00c9"), QStringLiteral("cafe\u0301"),
                                 QStringLiteral("CAFE\u0301")}) {
        SCOPED_TRACE(typed.toStdString());
        view->field()->clear();
        // Typed one character at a time, the accent after its letter when it is apart.
        for (const QChar c : typed) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view->field(), &press);
        }
        EXPECT_EQ(m.search().searchText(), typed);
        EXPECT_EQ(shown(*view), both);
    }
    view->field()->clear();
    QTest::keyClicks(view->field(), "cafe");
    EXPECT_EQ(shown(*view), QStringList{"cafeteria | eventually"}) << "the bare letter is another letter";
}

TEST_F(SearchViewTest, SaysWhyThereIsNothingToShow)
{
    AppModel& m = started();
    SearchView* view = open(m);
    const struct {
        const char* query;
        const char* text;
    } cases[] = {
        {"", "Type a word. Any word."},
        {"   ", "Nothing. Maybe you never planned it."},
        {"zebra", "Nothing. Maybe you never planned it."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        m.search().setSearchText(c.query);
        EXPECT_EQ(view->field()->text(), c.query) << "the field follows the model";
        EXPECT_TRUE(view->hits().isEmpty());
        EXPECT_TRUE(view->emptyText().isVisible());
        EXPECT_EQ(view->emptyText().text(), c.text);
    }
}

TEST_F(SearchViewTest, ShowsTheFirstSixtyHitsAndNoWordOfTheRest)
{
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        for (int i = 0; i < 75; ++i)
            p.add(QStringLiteral("errand %1").arg(i), Place::inList(0));
    });
    m.search().setSearchText("errand");
    SearchView* view = open(m);

    ASSERT_EQ(view->hits().size(), SearchView::maxHits);
    EXPECT_EQ(view->hits().first()->title().text(), "errand 0");
    EXPECT_EQ(view->hits().last()->title().text(), "errand 59");
    EXPECT_FALSE(view->emptyText().isVisible());
}

TEST_F(SearchViewTest, ReturnRevealsTheFirstListedHit)
{
    AppModel& m = started();
    m.setMode(Mode::Month);
    SearchView* view = open(m);

    // Nothing found: Return changes nothing and the sheet stays.
    QTest::keyClicks(view->field(), "zebra");
    QTest::keyClick(view->field(), Qt::Key_Return);
    EXPECT_TRUE(m.search().isSearching());
    EXPECT_EQ(m.mode(), Mode::Month);
    EXPECT_TRUE(m.selection().ids().isEmpty());

    // The first hit is the latest one, not the earliest.
    view->field()->clear();
    QTest::keyClicks(view->field(), "mum");
    ASSERT_EQ(view->hits().first()->title().text(), "call mum");
    QTest::keyClick(view->field(), Qt::Key_Return);
    EXPECT_FALSE(m.search().isSearching());
    EXPECT_EQ(m.mode(), Mode::Week);
    EXPECT_TRUE(m.weekDays().contains(wednesday));
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "call mum")});
}

TEST_F(SearchViewTest, AClickRevealsThatHitWhereverItLives)
{
    struct Case {
        const char* title;
        Mode mode;
        bool listsShown;
        Day anchor;
    };
    const Case cases[] = {
        {"call mum about june", Mode::Week, false, lastYear},
        // A month is shown from its first day.
        {"call mum on her birthday", Mode::Month, false, Day{2026, 5, 1}},
        // A list turns the lists on and leaves the week where it was.
        {"call mum back, eventually", Mode::Week, true, Day{2026, 5, 1}},
    };
    AppModel& m = started();
    m.settings().setShowLists(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        m.search().setSearching(true);
        m.search().setSearchText("mum");
        SearchView* view = open(m);
        SearchHitRow* row = nullptr;
        for (SearchHitRow* hit : view->hits()) {
            if (hit->title().text() == c.title)
                row = hit;
        }
        ASSERT_TRUE(row);
        const QUuid id = row->thingID();
        click(row);
        EXPECT_FALSE(m.search().isSearching());
        EXPECT_EQ(m.mode(), c.mode);
        EXPECT_EQ(m.settings().showLists(), c.listsShown);
        EXPECT_EQ(m.anchor(), c.anchor);
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{id});
        delete view;
    }
}

TEST_F(SearchViewTest, DoneAndEscapeEndTheSearchAndTheQueryStays)
{
    AppModel& m = started();
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Done");
        m.search().setSearching(true);
        SearchView* view = open(m);
        view->field()->clear();
        QTest::keyClicks(view->field(), "milk");
        if (escape)
            QTest::keyClick(view->field(), Qt::Key_Escape);
        else
            click(view->doneButton());
        EXPECT_FALSE(m.search().isSearching());
        EXPECT_EQ(m.search().searchText(), "milk");
        EXPECT_TRUE(m.selection().ids().isEmpty()) << "closing reveals nothing";
        delete view;
    }

    // Opened again, the sheet shows the last query and its hits.
    SearchView* again = open(m);
    EXPECT_EQ(again->field()->text(), "milk");
    EXPECT_EQ(shown(*again), QStringList{"buy milk | wed 4 mar"});
}

namespace {

QImage render(ColorScheme)
{
    ModelHarness h;
    h.put("2025-W24.md", weekFile(lastYear.monday(), {{lastYear, {"- [x] call mum about june"}}}));
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        p.add("call mum", Place::onDay(wednesday));
        p.add("call mum on her birthday", Place::inMonth(MonthKey{2026, 5}));
        p.add("<b>mum</b> stays text, and a title far too long for one line of the sheet", Place::inList(0));
    });
    m.search().beginSearch();
    m.search().setSearchText("mum");
    ViewHost host(SearchView::width);
    auto* view = new SearchView(m);
    host.hold(view);
    QCoreApplication::processEvents();
    const QImage hits = view->grab().toImage();
    m.search().setSearchText("");
    QCoreApplication::processEvents();
    const QImage empty = view->grab().toImage();

    return sideBySide({hits, empty});
}

} // namespace

TEST(SearchSheet, DrawsLightAndDark)
{
    const QList<QImage> pictures = inBothAppearances(render);
    std::cout << "search sheet: " << savePicture(sideBySide(pictures), "search-sheet.png").toStdString() << '\n';
    // The sheet is the planner's paper, and ink in the dark.
    EXPECT_EQ(pictures[0].pixel(2, pictures[0].height() - 2), Palette::paper.light().rgb());
    EXPECT_EQ(pictures[1].pixel(2, pictures[1].height() - 2), Palette::ink.light().rgb());
}
