#include "todayrow.h"

#include <algorithm>

TodayRow TodayRow::mine(const Thing& thing, int index)
{
    TodayRow row;
    row.kind = Kind::Mine;
    row.thing = thing;
    row.index = index;
    return row;
}

TodayRow TodayRow::theirs(const SharedThing& thing, int slot)
{
    TodayRow row;
    row.kind = Kind::Theirs;
    row.other = thing;
    row.slot = slot;
    return row;
}

QString TodayRow::id() const
{
    if (kind == Kind::Mine)
        return thing.id.toString(QUuid::WithoutBraces).toUpper();
    return QStringLiteral("family-") + other.id;
}

QList<TodayRow> todayRows(const QList<Thing>& mine, const QList<SharedThing>& others,
                          const QMap<QString, int>& remembered)
{
    const int n = int(mine.size());
    struct Placed {
        const SharedThing* thing;
        int slot;
    };
    QList<Placed> placed;
    placed.reserve(others.size());
    for (const SharedThing& other : others)
        placed.append({&other, std::min(remembered.value(other.id, n), n)});
    // Stable: things of one slot keep the order they came in.
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.slot < b.slot; });

    QList<TodayRow> out;
    out.reserve(n + placed.size());
    qsizetype next = 0;
    for (int i = 0; i < n; ++i) {
        for (; next < placed.size() && placed[next].slot <= i; ++next)
            out.append(TodayRow::theirs(*placed[next].thing, placed[next].slot));
        out.append(TodayRow::mine(mine[i], i));
    }
    for (; next < placed.size(); ++next)
        out.append(TodayRow::theirs(*placed[next].thing, placed[next].slot));
    return out;
}
