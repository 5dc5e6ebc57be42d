#include "board.h"

#include "textutil.h"

#include <gtest/gtest.h>

namespace {

// Columns A, B and C with the given cards.
Board board(const QStringList& a, const QStringList& b = {}, const QStringList& c = {}, const QSet<QString>& off = {})
{
    return Board({{"A", "One"}, {"B", "Two"}, {"C", "Three"}}, {{"A", a}, {"B", b}, {"C", c}}, off);
}

QList<QStringList> lists(const Board& b)
{
    QList<QStringList> out;
    for (const BoardColumn& column : b.columns())
        out.append(b.noteIDs(column.id));
    return out;
}

QStringList titles(const Board& b)
{
    QStringList out;
    for (const BoardColumn& column : b.columns())
        out.append(column.title);
    return out;
}

} // namespace

TEST(Board, DecodesStrictly)
{
    const struct {
        const char* name;
        const char* json;
        bool decodes;
    } cases[] = {
        {"complete", R"({"cards":{"A":["n"]},"columns":[{"id":"A","title":"One"}],"offBoard":["m"]})", true},
        {"without offBoard", R"({"cards":{},"columns":[{"id":"A","title":"One"}]})", true},
        {"offBoard null", R"({"cards":{},"columns":[],"offBoard":null})", true},
        {"other members", R"({"cards":{},"columns":[{"id":"A","title":"One","color":3}],"version":2})", true},
        {"without cards", R"({"columns":[{"id":"A","title":"One"}]})", false},
        {"without columns", R"({"cards":{}})", false},
        {"cards not an object", R"({"cards":[],"columns":[]})", false},
        {"a card list of numbers", R"({"cards":{"A":[1]},"columns":[{"id":"A","title":"One"}]})", false},
        {"a column without a title", R"({"cards":{},"columns":[{"id":"A"}]})", false},
        {"a column id that is a number", R"({"cards":{},"columns":[{"id":7,"title":"One"}]})", false},
        {"a column that is a string", R"({"cards":{},"columns":["A"]})", false},
        {"offBoard of numbers", R"({"cards":{},"columns":[],"offBoard":[1]})", false},
        {"offBoard an object", R"({"cards":{},"columns":[],"offBoard":{}})", false},
        {"an array", R"([])", false},
        {"not JSON", R"({"cards":)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Board::fromJson(c.json).has_value(), c.decodes) << c.name;
}

TEST(Board, NormalizesWhatItDecodes)
{
    const auto empty = Board::fromJson(R"({"columns":[],"cards":{}})");
    ASSERT_TRUE(empty);
    ASSERT_EQ(empty->columns().size(), 1);
    EXPECT_EQ(empty->columns()[0].title, QStringLiteral("To Do"));
    EXPECT_TRUE(pemby::isUuidText(empty->columns()[0].id));
    EXPECT_EQ(empty->noteIDs(empty->columns()[0].id), QStringList());
    EXPECT_TRUE(empty->offBoard().isEmpty());

    const auto decoded = Board::fromJson(
        R"({"cards":{"A":["a","b"],"Z":["z"]},"columns":[{"id":"A","title":"One"},{"id":"B","title":"Two"}],"offBoard":["a","c"]})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->cards(), (QMap<QString, QStringList>{{"A", {"a", "b"}}, {"B", {}}}));
    EXPECT_EQ(decoded->offBoard(), QSet<QString>{"c"});
}

TEST(Board, EncodesWithSortedKeysAndDecodesBack)
{
    const Board original = board({"a", "b"}, {}, {"c"}, {"y", "x"});
    const QByteArray json = original.toJson();
    EXPECT_EQ(Board::fromJson(json), original);
    EXPECT_TRUE(json.contains('\n'));
    EXPECT_LT(json.indexOf("\"cards\""), json.indexOf("\"columns\""));
    EXPECT_LT(json.indexOf("\"columns\""), json.indexOf("\"offBoard\""));
    EXPECT_LT(json.indexOf("\"id\""), json.indexOf("\"title\""));
    EXPECT_LT(json.indexOf("\"x\""), json.indexOf("\"y\""));
}

TEST(Board, StandardBoardsHaveTheirOwnIDs)
{
    const Board a = Board::standard();
    EXPECT_EQ(titles(a), (QStringList{"To Do", "Doing", "Done"}));
    EXPECT_EQ(lists(a), (QList<QStringList>{{}, {}, {}}));
    EXPECT_FALSE(a == Board::standard());
}

TEST(Board, ReconcileKeepsEachKnownNoteOnceAndPutsTheRestOff)
{
    Board b = board({"x", "a", "a"}, {"a", "b"}, {}, {"b", "gone"});
    b.reconcile({"a", "b"});
    EXPECT_EQ(lists(b), (QList<QStringList>{{"a"}, {"b"}, {}}));
    EXPECT_TRUE(b.offBoard().isEmpty());

    b.reconcile({"a", "b", "c"});
    EXPECT_EQ(lists(b), (QList<QStringList>{{"a"}, {"b"}, {}}));
    EXPECT_EQ(b.offBoard(), QSet<QString>{"c"});
}

TEST(Board, Queries)
{
    const Board b = board({"a", "b"}, {"c", "a"}, {}, {"d"});
    EXPECT_EQ(b.location("a"), (Board::Location{"A", 0}));
    EXPECT_EQ(b.location("c"), (Board::Location{"B", 0}));
    EXPECT_EQ(b.location("d"), std::nullopt);
    EXPECT_TRUE(b.isOnBoard("b"));
    EXPECT_FALSE(b.isOnBoard("d"));
    EXPECT_EQ(b.columnIDByNote(), (QMap<QString, QString>{{"a", "B"}, {"b", "A"}, {"c", "B"}}));
    EXPECT_EQ(b.allNoteIDs(), (QStringList{"a", "b", "c", "a"}));
    EXPECT_EQ(b.column("B"), (BoardColumn{"B", "Two"}));
    EXPECT_EQ(b.column("Q"), std::nullopt);
    EXPECT_EQ(b.noteIDs("Q"), QStringList());
}

TEST(Board, InsertRemoveAndTakeOff)
{
    Board b = board({"a"}, {"b", "n"}, {}, {"c"});
    b.insertNew("n");
    EXPECT_EQ(lists(b), (QList<QStringList>{{"n", "a"}, {"b"}, {}}));
    b.insertNew("c");
    EXPECT_EQ(lists(b)[0], (QStringList{"c", "n", "a"}));
    EXPECT_FALSE(b.offBoard().contains("c"));
    b.takeOff("a");
    EXPECT_EQ(lists(b)[0], (QStringList{"c", "n"}));
    EXPECT_EQ(b.offBoard(), QSet<QString>{"a"});
    b.remove("a");
    b.remove("b");
    EXPECT_EQ(lists(b), (QList<QStringList>{{"c", "n"}, {}, {}}));
    EXPECT_TRUE(b.offBoard().isEmpty());
}

TEST(Board, Move)
{
    const struct {
        const char* name;
        QString column;
        int index;
        bool moved;
        QList<QStringList> lists;
    } cases[] = {
        {"into another column", "B", 1, true, {{"b"}, {"c", "a", "d"}, {}}},
        {"an index past the end puts it at the bottom", "B", 99, true, {{"b"}, {"c", "d", "a"}, {}}},
        {"a negative index puts it on top", "B", -3, true, {{"b"}, {"a", "c", "d"}, {}}},
        {"within its column, measured after taking it out", "A", 1, true, {{"b", "a"}, {"c", "d"}, {}}},
        {"no such column", "Q", 0, false, {{"a", "b"}, {"c", "d"}, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Board b = board({"a", "b"}, {"c", "d"}, {}, {"a"});
        EXPECT_EQ(b.move("a", c.column, c.index), c.moved);
        EXPECT_EQ(lists(b), c.lists);
    }
    Board off = board({}, {}, {}, {"a"});
    EXPECT_TRUE(off.move("a", "C", 0));
    EXPECT_TRUE(off.offBoard().isEmpty());
}

TEST(Board, Place)
{
    const struct {
        const char* name;
        QStringList ids;
        QString column;
        int row;
        QList<QStringList> lists;
    } cases[] = {
        {"the first two above row 3", {"a", "b"}, "A", 3, {{"c", "a", "b", "d"}, {"e"}, {}}},
        {"from below, above row 1", {"d", "c"}, "A", 1, {{"a", "d", "c", "b"}, {"e"}, {}}},
        {"from another column", {"e"}, "A", 2, {{"a", "b", "e", "c", "d"}, {}, {}}},
        {"a row past the end", {"a", "e"}, "A", 99, {{"b", "c", "d", "a", "e"}, {}, {}}},
        {"a negative row", {"d"}, "A", -1, {{"d", "a", "b", "c"}, {"e"}, {}}},
        {"an id given twice", {"e", "e"}, "C", 0, {{"a", "b", "c", "d"}, {}, {"e"}}},
        {"off the board onto it", {"f"}, "B", 0, {{"a", "b", "c", "d"}, {"f", "e"}, {}}},
        {"no such column", {"a"}, "Q", 0, {{"a", "b", "c", "d"}, {"e"}, {}}},
        {"no ids", {}, "A", 0, {{"a", "b", "c", "d"}, {"e"}, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Board b = board({"a", "b", "c", "d"}, {"e"}, {}, {"f"});
        b.place(c.ids, c.column, c.row);
        EXPECT_EQ(lists(b), c.lists);
        EXPECT_EQ(b.offBoard().contains("f"), !c.ids.contains("f"));
    }
}

TEST(Board, DeleteColumn)
{
    Board b = board({"a"}, {"b", "c"}, {"d"});
    EXPECT_FALSE(b.deleteColumn("Q"));
    EXPECT_TRUE(b.deleteColumn("C"));
    EXPECT_EQ(lists(b), (QList<QStringList>{{"a"}, {"b", "c", "d"}}));
    EXPECT_TRUE(b.deleteColumn("A"));
    EXPECT_EQ(titles(b), QStringList{"Two"});
    EXPECT_EQ(lists(b), (QList<QStringList>{{"a", "b", "c", "d"}}));
    EXPECT_EQ(b.cards().keys(), QStringList{"B"});
    EXPECT_FALSE(b.deleteColumn("B"));
    EXPECT_EQ(titles(b), QStringList{"Two"});
}

TEST(Board, AddRenameAndMoveColumns)
{
    Board b = board({"a"});
    const BoardColumn added = b.addColumn("  Later  ");
    EXPECT_EQ(added.title, QStringLiteral("  Later  "));
    EXPECT_TRUE(pemby::isUuidText(added.id));
    EXPECT_EQ(b.columns().last(), added);
    EXPECT_EQ(b.noteIDs(added.id), QStringList());
    const BoardColumn first = b.addColumn("First", -5);
    EXPECT_EQ(b.columns().first(), first);
    const BoardColumn second = b.addColumn("Second", 1);
    EXPECT_EQ(b.columns()[1], second);

    b.renameColumn("A", "  \n ");
    EXPECT_EQ(b.column("A")->title, QStringLiteral("One"));
    b.renameColumn("A", "  Uno \n");
    EXPECT_EQ(b.column("A")->title, QStringLiteral("Uno"));
    b.renameColumn("Q", "Nothing");

    b.moveColumn("A", 99);
    EXPECT_EQ(titles(b), (QStringList{"First", "Second", "Two", "Three", "  Later  ", "Uno"}));
    b.moveColumn("A", -1);
    EXPECT_EQ(titles(b).first(), QStringLiteral("Uno"));
    EXPECT_EQ(b.noteIDs("A"), QStringList{"a"});
}
