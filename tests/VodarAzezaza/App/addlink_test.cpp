#include "addlink.h"

#include <gtest/gtest.h>

TEST(AddLink, ReadingALinkSaysWhatItAsksForAndChangesNothing)
{
    const Day april{2026, 4, 10};
    struct Row {
        const char* name;
        QString link;
        bool read;
        QStringList titles;
        bool handoff;
        std::optional<Day> day;
        bool toList;
    };
    const QString add = "vodarazezaza://add?";
    const auto none = std::nullopt;
    const QList<Row> rows{
        {"a title for a day", add + "title=milk&day=2026-04-10", true, {"milk"}, false, april, false},
        {"a title for the list", add + "title=milk&list=1", true, {"milk"}, false, none, true},
        {"the hand-off names no things of its own", add + "handoff=1&title=milk", true, {}, true, none, false},
        {"a blank title is an add link without things", add + "title=%20", true, {}, false, none, false},
        {"another scheme", "https://add?title=milk", false, {}, false, none, false},
        {"no query", "vodarazezaza://add", false, {}, false, none, false},
        {"too long in all", add + "title=milk&x=" + QString(AddLink::maxText, u'x'), false, {}, false, none, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<AddLink> request = AddLink::read(row.link);
        ASSERT_EQ(request.has_value(), row.read);
        if (!request)
            continue;
        QStringList titles;
        for (const PembyThing& thing : request->things)
            titles.append(thing.title);
        EXPECT_EQ(titles, row.titles);
        EXPECT_EQ(request->handoff, row.handoff);
        EXPECT_EQ(request->day, row.day);
        EXPECT_EQ(request->toList, row.toList);
    }
}

TEST(AddLink, OnlyLinksThePlannerOpensAreKept)
{
    QList<PembyThing> things(4);
    things[0].link = QStringLiteral("https://shop.example/milk");
    things[1].link = QStringLiteral("javascript:alert(1)");
    things[2].link = QStringLiteral("https://example.org/") + QString(AddLink::maxFrom, u'x');
    AddLink::keepOpenableLinks(things);
    EXPECT_EQ(things[0].link, "https://shop.example/milk");
    EXPECT_EQ(things[1].link, std::nullopt);
    EXPECT_EQ(things[2].link, std::nullopt);
    EXPECT_EQ(things[3].link, std::nullopt);
    EXPECT_TRUE(isOwnLink(QUrl("vodarazezaza://add?title=x")));
    EXPECT_FALSE(isOwnLink(QUrl("https://example.org")));
}
