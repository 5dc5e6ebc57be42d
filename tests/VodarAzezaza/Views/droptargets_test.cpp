// Drags through the rows and ends of real columns with real QMimeData: where the
// insertion line goes, move or copy, where dropped things land, text from elsewhere,
// other apps' things, and drags that end without a drop.
#include "boarddrag.h"
#include "boardselection.h"
#include "droptargets.h"
#include "emptyline.h"
#include "familythingrow.h"
#include "modelharness.h"
#include "otherapps.h"
#include "reducemotion.h"
#include "ruled.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QDrag>
#include <QDragLeaveEvent>
#include <QHBoxLayout>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);
const Place tomorrow = Place::onDay(thursday);

class DropTargetsTest : public ::testing::Test {
protected:
    DropTargetsTest()
    {
        h.syncDelay = 5ms;
        AppModel& m = h.start();
        m.commit([](Planner& p) {
            for (const char* title : {"a", "b", "c"})
                p.add(QString::fromUtf8(title), today);
            p.add(QStringLiteral("x"), tomorrow);
        });
        auto* board = new QWidget;
        auto* row = new QHBoxLayout(board);
        todays = new ThingColumn(m, today);
        todays->setMinRows(6);
        tomorrows = new ThingColumn(m, tomorrow);
        tomorrows->setMinRows(3);
        row->addWidget(todays, 0, Qt::AlignTop);
        row->addWidget(tomorrows, 0, Qt::AlignTop);
        host.resize(700, 400);
        host.hold(board);
    }
    ~DropTargetsTest() override { RowDrag::setRunnerForTesting({}); }

    AppModel& model() { return h.model(); }
    QUuid id(const QString& title) { return idOf(model().planner(), title); }
    QWidget* row(ThingColumn* column, const QString& title) { return column->row(ThingRow::rowID(id(title))); }
    QWidget* end(ThingColumn* column)
    {
        for (QWidget* line : column->lines()) {
            if (qobject_cast<EmptyLine*>(line))
                return line;
        }
        return nullptr;
    }
    static std::optional<Qt::Edge> lineOn(QWidget* line)
    {
        auto* insertion = line->findChild<InsertionLine*>(QString(), Qt::FindDirectChildrenOnly);
        return insertion ? insertion->edge() : std::nullopt;
    }
    void addOtherAppsThing()
    {
        h.family().upsert(Sibling::row("T1", "water the plants", wednesday));
        model().refreshFromFamily();
    }

    ModelHarness h;
    ViewHost host;
    ThingColumn* todays = nullptr;
    ThingColumn* tomorrows = nullptr;
};

} // namespace

TEST_F(DropTargetsTest, TheSpotFollowsThePointerAndBelongsToTheTargetUnderIt)
{
    const auto text = textData("from elsewhere");
    DropSpotState& spot = todays->dropSpot();
    QWidget* b = row(todays, "b");
    QWidget* c = row(todays, "c");

    ASSERT_TRUE(hoverDrag(b, QPointF(10, 16), *text));
    EXPECT_EQ(spot.spot(), DropSpot::above(ThingRow::rowID(id("b")))) << "16 from the top is still the upper half";
    EXPECT_EQ(lineOn(b), Qt::TopEdge);
    hoverDrag(b, QPointF(10, 17), *text);
    EXPECT_EQ(spot.spot(), DropSpot::below(ThingRow::rowID(id("b"))));
    EXPECT_EQ(lineOn(b), Qt::BottomEdge);

    // The same gap, now owned by the next row: the line moves onto it.
    hoverDrag(c, QPointF(10, 4), *text);
    EXPECT_EQ(spot.spot(), DropSpot::above(ThingRow::rowID(id("c"))));
    EXPECT_EQ(lineOn(b), std::nullopt);
    EXPECT_EQ(lineOn(c), Qt::TopEdge);
    // A leave that reaches b only now finds c's spot, and leaves it.
    QDragLeaveEvent late;
    static_cast<QObject*>(b->findChild<RowDrop*>())->eventFilter(b, &late);
    EXPECT_EQ(spot.spot(), DropSpot::above(ThingRow::rowID(id("c"))));

    hoverDrag(end(todays), QPointF(10, 10), *text);
    EXPECT_EQ(spot.spot(), DropSpot::end());
    EXPECT_EQ(lineOn(end(todays)), Qt::TopEdge);
    EXPECT_EQ(lineOn(c), std::nullopt);
    leaveDrag(end(todays));
    EXPECT_EQ(spot.spot(), std::nullopt);
    EXPECT_EQ(lineOn(end(todays)), std::nullopt);
    EXPECT_EQ(tomorrows->dropSpot().spot(), std::nullopt) << "each column has its own spot";
}

TEST_F(DropTargetsTest, OwnThingsMoveToWhereTheLineWas)
{
    struct Case {
        const char* name;
        const char* onto;  // none: the column's end
        qreal y;
        QStringList order;
    };
    const Case cases[] = {
        {"upper half of b: above b", "b", 10, {"a", "x", "b", "c"}},
        {"16 exactly is still above", "b", 16, {"a", "x", "b", "c"}},
        {"lower half of b: below b", "b", 16.5, {"a", "b", "x", "c"}},
        {"the end: after everything", nullptr, 10, {"a", "b", "c", "x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model().move(id("x"), tomorrow, std::nullopt);
        const QString text = model().drag().beginDrag(id("x"));
        const auto data = textData(text);
        QWidget* target = c.onto ? row(todays, c.onto) : end(todays);
        const DropAnswer answer = dropOn(target, QPointF(10, c.y), *data);
        EXPECT_TRUE(answer.entered);
        EXPECT_EQ(answer.proposed, Qt::MoveAction) << "a drag from this window moves";
        EXPECT_TRUE(answer.accepted);
        EXPECT_EQ(titlesOn(model(), today), c.order);
        EXPECT_TRUE(model().drag().dragging().isEmpty());
        EXPECT_EQ(todays->dropSpot().spot(), std::nullopt);
    }
}

TEST_F(DropTargetsTest, TextFromElsewhereIsCopiedInAndTheDropSaysWhetherItWasTaken)
{
    const auto plumber = textData("call the plumber");
    DropAnswer answer = dropOn(end(tomorrows), QPointF(10, 10), *plumber);
    EXPECT_EQ(answer.proposed, Qt::CopyAction);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(titlesOn(model(), tomorrow), (QStringList{"x", "call the plumber"}));

    const auto blank = textData("   \n  ");
    answer = dropOn(row(tomorrows, "x"), QPointF(10, 10), *blank);
    EXPECT_TRUE(answer.entered);
    EXPECT_FALSE(answer.accepted) << "nothing could be made of it";
    EXPECT_EQ(titlesOn(model(), tomorrow), (QStringList{"x", "call the plumber"}));

    QMimeData picture;
    picture.setData("image/png", QByteArray("\x89PNG", 4));
    answer = dropOn(end(tomorrows), QPointF(10, 10), picture);
    EXPECT_FALSE(answer.entered) << "only text is taken";
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(tomorrows->dropSpot().spot(), std::nullopt);
}

TEST_F(DropTargetsTest, AnOtherAppsRowKeepsItsPlaceByTheHalfThatWasHit)
{
    addOtherAppsThing();
    model().move(id("x"), today, 1);  // a, x, b, c; the other app's thing stands last
    model().selection().setIDs({});
    const QString rowID = FamilyThingRow::rowID("T1");
    auto* theirs = todays->row(rowID);
    ASSERT_TRUE(theirs);
    const auto order = [&] {
        QStringList out;
        for (QWidget* line : todays->lines()) {
            if (auto* mine = qobject_cast<ThingRow*>(line))
                out.append(mine->thing().title);
            else if (qobject_cast<FamilyThingRow*>(line))
                out.append("T1");
        }
        return out;
    };
    EXPECT_EQ(order(), (QStringList{"a", "x", "b", "c", "T1"}));

    // Lower half: the other app's thing stays above what lands.
    auto data = textData(model().drag().beginDrag(id("a")));
    EXPECT_TRUE(dropOn(theirs, QPointF(10, 24), *data).accepted);
    EXPECT_EQ(order(), (QStringList{"x", "b", "c", "T1", "a"}));

    // Upper half: what lands goes above it.
    data = textData(model().drag().beginDrag(id("a")));
    EXPECT_TRUE(dropOn(todays->row(rowID), QPointF(10, 8), *data).accepted);
    EXPECT_EQ(order(), (QStringList{"x", "b", "c", "a", "T1"}));
}

TEST_F(DropTargetsTest, ARowStartsItsDragAndTheDragEndsHoweverItEnds)
{
    QWidget* x = row(tomorrows, "x");
    QWidget* target = row(todays, "a");
    bool dimmedWhileDragged = false;
    Qt::DropAction proposed = Qt::IgnoreAction;
    RowDrag::setRunnerForTesting([&](QDrag& drag) {
        dimmedWhileDragged = qobject_cast<ThingRow*>(row(tomorrows, "x"))->isDimmed();
        const DropAnswer answer = dropOn(target, QPointF(10, 24), *drag.mimeData());
        proposed = answer.proposed;
        return answer.accepted ? Qt::MoveAction : Qt::IgnoreAction;
    });
    pressAndDrag(x);
    EXPECT_TRUE(dimmedWhileDragged);
    EXPECT_EQ(proposed, Qt::MoveAction);
    EXPECT_EQ(titlesOn(model(), today), (QStringList{"a", "x", "b", "c"}));
    EXPECT_TRUE(model().drag().dragging().isEmpty());

    // Cancelled over a target: nothing is left of the drag.
    RowDrag::setRunnerForTesting([&](QDrag& drag) {
        hoverDrag(row(todays, "c"), QPointF(10, 10), *drag.mimeData());
        return Qt::IgnoreAction;
    });
    pressAndDrag(row(todays, "b"));
    EXPECT_TRUE(model().drag().dragging().isEmpty());
    EXPECT_FALSE(model().drag().isDraggingInside());
    EXPECT_EQ(todays->dropSpot().spot(), std::nullopt) << "no insertion line left behind";
    EXPECT_FALSE(qobject_cast<ThingRow*>(row(todays, "b"))->isDimmed());

    // So a later drop from elsewhere brings its text instead of moving b.
    const auto text = textData("from elsewhere");
    EXPECT_TRUE(dropOn(end(tomorrows), QPointF(10, 10), *text).accepted);
    EXPECT_EQ(titlesOn(model(), today), (QStringList{"a", "x", "b", "c"}));
    EXPECT_EQ(titlesOn(model(), tomorrow), (QStringList{"from elsewhere"}));
}

TEST_F(DropTargetsTest, AnOtherAppsThingIsDraggedByItsIdToAnotherDay)
{
    addOtherAppsThing();
    model().selection().select(id("a"));
    auto* theirs = qobject_cast<FamilyThingRow*>(todays->row(FamilyThingRow::rowID("T1")));
    ASSERT_TRUE(theirs);
    QString carried;
    bool dimmed = false;
    RowDrag::setRunnerForTesting([&](QDrag& drag) {
        carried = drag.mimeData()->text();
        dimmed = theirs->isDimmed();
        EXPECT_TRUE(model().selection().ids().isEmpty()) << "the own selection goes";
        EXPECT_EQ(model().otherApps().selectedExternal(), "T1");
        return dropOn(end(tomorrows), QPointF(10, 10), *drag.mimeData()).accepted ? Qt::MoveAction : Qt::IgnoreAction;
    });
    pressAndDrag(theirs);
    EXPECT_EQ(carried, "T1");
    EXPECT_TRUE(dimmed);
    EXPECT_EQ(model().drag().draggingExternal(), std::nullopt);
    EXPECT_EQ(model().otherApps().externalThing("T1")->day, thursday.iso());
    EXPECT_FALSE(todays->row(FamilyThingRow::rowID("T1"))) << "it left today's column";
    EXPECT_TRUE(model().planner().things(tomorrow).size() == 1) << "no thing of the planner's own was made";
}

TEST_F(DropTargetsTest, TheRowsThatStaySlideToTheirPlacesUnlessMotionIsReduced)
{
    for (const bool reduced : {true, false}) {
        SCOPED_TRACE(reduced ? "Reduce Motion" : "animated");
        ReduceMotion::setForTesting(reduced);
        model().move(id("x"), tomorrow, std::nullopt);
        QWidget* c = row(todays, "c");
        const int from = c->y();
        const auto data = textData(model().drag().beginDrag(id("x")));
        ASSERT_TRUE(dropOn(row(todays, "a"), QPointF(10, 24), *data).accepted);
        const int to = from + Ruled::lineHeight;
        if (reduced) {
            EXPECT_EQ(c->y(), to) << "at once";
        } else {
            EXPECT_EQ(c->y(), from) << "on its way";
            EXPECT_TRUE(QTest::qWaitFor([&] { return c->y() == to; }, 2000));
        }
        EXPECT_EQ(row(todays, "x")->y(), from - Ruled::lineHeight) << "what lands appears in its place";
        EXPECT_EQ(c->height(), Ruled::lineHeight);
    }
    ReduceMotion::setForTesting(false);
}
