#include "notesortorder.h"

#include "note.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
const QCollator english = NoteSortOrder::titleCollator(QLocale(QLocale::English, QLocale::UnitedStates));

std::shared_ptr<Note> note(const QString& id, const QString& text, int modifiedMinutes, int createdMinutes = 0)
{
    return std::make_shared<Note>(id, text, t0.addSecs(60 * modifiedMinutes), t0.addSecs(60 * createdMinutes));
}

QStringList sortedIDs(QList<std::shared_ptr<Note>> notes, const NoteSortOrder& order)
{
    std::stable_sort(notes.begin(), notes.end(),
                     [&](const auto& a, const auto& b) { return order.precedes(*a, *b, english); });
    QStringList ids;
    for (const auto& n : notes)
        ids.append(n->id());
    return ids;
}

} // namespace

TEST(NoteSortKey, TitlesAndDirections)
{
    const struct {
        NoteSortKey key;
        const char* raw;
        const char* menu;
        bool ascending;
        std::optional<SortDirectionTitles> directions;
    } cases[] = {
        {NoteSortKey::modified, "modified", "Date Edited", false, SortDirectionTitles{"Oldest First", "Newest First"}},
        {NoteSortKey::created, "created", "Date Created", false, SortDirectionTitles{"Oldest First", "Newest First"}},
        {NoteSortKey::title, "title", "Title", true, SortDirectionTitles{"A to Z", "Z to A"}},
        {NoteSortKey::manual, "manual", "Manually", false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(rawValue(c.key), QString::fromLatin1(c.raw));
        EXPECT_EQ(noteSortKeyFromRawValue(QString::fromLatin1(c.raw)), c.key);
        EXPECT_EQ(menuTitle(c.key), QString::fromLatin1(c.menu));
        EXPECT_EQ(naturalAscending(c.key), c.ascending);
        EXPECT_EQ(directionTitles(c.key), c.directions);
        EXPECT_EQ(NoteSortOrder(c.key).ascending, c.ascending);
    }
    EXPECT_EQ(noteSortKeyFromRawValue(u"Modified"), std::nullopt);
    EXPECT_EQ(NoteSortOrder(), NoteSortOrder(NoteSortKey::modified, false));
}

TEST(NoteSortOrder, JsonNeedsBothKeysOfTheRightType)
{
    const NoteSortOrder order(NoteSortKey::title, false);
    EXPECT_EQ(NoteSortOrder::fromJson(order.toJson()), order);
    EXPECT_EQ(QJsonDocument(order.toJson()).toJson(QJsonDocument::Compact), QByteArray(R"({"ascending":false,"key":"title"})"));

    for (const char* json : {R"({"key":"title"})", R"({"ascending":true})", R"({"key":"size","ascending":true})",
                             R"({"key":"title","ascending":"yes"})", R"({"key":1,"ascending":true})", R"(["title"])"}) {
        const QJsonDocument document = QJsonDocument::fromJson(json);
        const QJsonValue value = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
        EXPECT_EQ(NoteSortOrder::fromJson(value), std::nullopt) << json;
    }
}

TEST(NoteSortOrder, DatesWithTiesByNewestChangeThenID)
{
    // b and c changed at the same time; a later; d earlier but created last.
    const QList<std::shared_ptr<Note>> notes = {note("c", "x", 5, 1), note("a", "x", 9, 2), note("d", "x", 1, 9),
                                                note("b", "x", 5, 3)};
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder()), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder(NoteSortKey::modified, true)), (QStringList{"d", "b", "c", "a"}));
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder(NoteSortKey::created)), (QStringList{"d", "b", "a", "c"}));
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder(NoteSortKey::created, true)), (QStringList{"c", "a", "b", "d"}));
    // The manual key compares only by the tie-break; the store orders it itself.
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder(NoteSortKey::manual)), (QStringList{"a", "b", "c", "d"}));
}

TEST(NoteSortOrder, TitlesLikeAFileBrowser)
{
    const QList<std::shared_ptr<Note>> notes = {
        note("1", "Note 10", 0), note("2", "note 2", 0), note("3", "Banana", 0), note("4", "apple", 0),
        // Two untitled notes: newest change first, then by id.
        note("6", "", 1), note("5", "", 1), note("7", "", 2),
    };
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder(NoteSortKey::title)), (QStringList{"4", "3", "7", "5", "6", "2", "1"}));
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder(NoteSortKey::title, false)), (QStringList{"1", "2", "7", "5", "6", "3", "4"}));
}

TEST(NoteSortOrder, IDsTieInCodePointOrder)
{
    // In UTF-16 the surrogate pair of U+1F600 would sort before U+FFFD.
    const QList<std::shared_ptr<Note>> notes = {note(QStringLiteral("\U0001F600"), "x", 0), note(QStringLiteral("\uFFFD"), "x", 0),
                                                note(QStringLiteral("z"), "x", 0)};
    EXPECT_EQ(sortedIDs(notes, NoteSortOrder()),
              (QStringList{QStringLiteral("z"), QStringLiteral("\uFFFD"), QStringLiteral("\U0001F600")}));
}
