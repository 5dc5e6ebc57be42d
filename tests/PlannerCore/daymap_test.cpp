#include "daymap.h"

#include <gtest/gtest.h>

namespace {

QList<Thing> titled(std::initializer_list<const char*> titles)
{
    QList<Thing> out;
    for (const char* t : titles)
        out.append(Thing::make(QString::fromUtf8(t)));
    return out;
}

QStringList visit(const DayMap& map)
{
    QStringList out;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out.append(it.key().iso() + u'=' + QString::number(it.value().size()));
    return out;
}

} // namespace

TEST(DayMap, BehavesAsAMapInDayOrderAcrossMonthsAndYears)
{
    DayMap map;
    EXPECT_TRUE(map.isEmpty());
    EXPECT_EQ(map.cbegin(), map.cend());
    map[Day{2025, 1, 2}] = titled({"a"});
    map[Day{2024, 12, 31}] = titled({"b", "c"});
    map.insert(Day{2025, 1, 1}, titled({"d"}));
    map[Day{2025, 3, 9}] = titled({"e"});

    EXPECT_EQ(visit(map), (QStringList{"2024-12-31=2", "2025-01-01=1", "2025-01-02=1", "2025-03-09=1"}));
    EXPECT_EQ(map.size(), 4);
    EXPECT_EQ(map.keys(), (QList<Day>{{2024, 12, 31}, {2025, 1, 1}, {2025, 1, 2}, {2025, 3, 9}}));
    EXPECT_EQ(map.last().first().title, "e");
    EXPECT_TRUE(map.contains(Day{2025, 1, 1}));
    EXPECT_FALSE(map.contains(Day{2025, 1, 3}));
    EXPECT_EQ(map.value(Day{2024, 12, 31}).size(), 2);
    EXPECT_TRUE(map.value(Day{2030, 1, 1}).isEmpty());
    EXPECT_EQ(map.constFind(Day{2025, 1, 2}).key(), (Day{2025, 1, 2}));
    EXPECT_EQ(map.constFind(Day{2025, 2, 2}), map.cend());
    EXPECT_EQ(map.constFind(Day{2025, 1, 3}), map.cend());

    // Mutable iteration reaches every day's things.
    for (QList<Thing>& things : map)
        things.append(Thing::make("z"));
    EXPECT_EQ(visit(map), (QStringList{"2024-12-31=3", "2025-01-01=2", "2025-01-02=2", "2025-03-09=2"}));

    EXPECT_EQ(map.take(Day{2025, 3, 9}).size(), 2);
    EXPECT_TRUE(map.take(Day{2025, 3, 9}).isEmpty());
    EXPECT_EQ(map.remove(Day{2024, 12, 31}), 1);
    EXPECT_EQ(map.remove(Day{2024, 12, 31}), 0);
    EXPECT_EQ(visit(map), (QStringList{"2025-01-01=2", "2025-01-02=2"}));
}

TEST(DayMap, EqualityIgnoresHowTheMapGotThere)
{
    DayMap a, b;
    a[Day{2024, 5, 1}] = titled({"x"});
    a[Day{2024, 6, 1}] = titled({"y"});
    a.remove(Day{2024, 6, 1});  // leaves no empty month behind
    b.insert(Day{2024, 5, 1}, a.value(Day{2024, 5, 1}));
    EXPECT_EQ(a, b);

    DayMap copy = a;
    copy[Day{2024, 5, 1}].first().done = true;
    EXPECT_FALSE(copy == a);
    EXPECT_FALSE(a.value(Day{2024, 5, 1}).first().done);  // the copy detached, the original kept its value

    // An entry with no things is still an entry, as in a map.
    DayMap withEmpty = b;
    withEmpty[Day{2024, 5, 2}];
    EXPECT_FALSE(withEmpty == b);
}

namespace {

using WeekRules = GroupedMap<Day, QSet<QString>, int, yearOfDay>;

QStringList keysOf(const WeekRules& map)
{
    QStringList out;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out.append(it.key().iso());
    return out;
}

} // namespace

// Entries spread over several years' groups: order, erasing across a group's end,
// walking back, and the differences between two copies.
TEST(GroupedMap, KeepsKeyOrderAndEqualityAcrossGroups)
{
    WeekRules map;
    map[Day{2025, 1, 6}] = {"a"};
    map.insert(Day{2023, 12, 25}, {"b"});
    map.insert(Day{2024, 12, 30}, {"c"});
    map.insert(Day{2025, 3, 3}, {"d"});
    EXPECT_EQ(keysOf(map), (QStringList{"2023-12-25", "2024-12-30", "2025-01-06", "2025-03-03"}));
    EXPECT_EQ(map, (QMap<Day, QSet<QString>>{{{2023, 12, 25}, {"b"}}, {{2024, 12, 30}, {"c"}}, {{2025, 1, 6}, {"a"}}, {{2025, 3, 3}, {"d"}}}));

    QStringList back;
    for (auto it = map.cend(); it != map.cbegin();) {
        --it;
        back.append(it.key().iso());
    }
    EXPECT_EQ(back, (QStringList{"2025-03-03", "2025-01-06", "2024-12-30", "2023-12-25"}));

    // Erasing the last entry of a group gives the first of the next one, or the end.
    WeekRules erased = map;
    auto next = erased.erase(erased.find(Day{2024, 12, 30}));
    ASSERT_NE(next, erased.end());
    EXPECT_EQ(next.key(), (Day{2025, 1, 6}));
    next = erased.erase(next);
    EXPECT_EQ(next.key(), (Day{2025, 3, 3}));
    EXPECT_EQ(erased.erase(next), erased.end());
    EXPECT_EQ(keysOf(erased), (QStringList{"2023-12-25"}));
    EXPECT_EQ(keysOf(map).size(), 4);  // the copy kept its entries

    // A group emptied leaves nothing behind that tells two maps apart.
    WeekRules emptied = map;
    EXPECT_EQ(emptied.remove(Day{2023, 12, 25}), 1);
    EXPECT_EQ(emptied.remove(Day{2023, 12, 25}), 0);
    EXPECT_EQ(emptied.take(Day{2030, 1, 7}), QSet<QString>());
    emptied.insert(Day{2023, 12, 25}, {"b"});
    EXPECT_EQ(emptied, map);

    WeekRules changed = map;
    changed[Day{2025, 1, 6}].insert("x");
    changed.remove(Day{2023, 12, 25});
    changed.insert(Day{2026, 1, 5}, {"e"});
    QList<Day> differs;
    forEachDifference(changed, map, [&](Day day) { differs.append(day); });
    EXPECT_EQ(differs, (QList<Day>{{2023, 12, 25}, {2025, 1, 6}, {2026, 1, 5}}));
    differs.clear();
    forEachDifference(map, WeekRules(map), [&](Day day) { differs.append(day); });
    EXPECT_TRUE(differs.isEmpty());
}
