#pragma once
// The rows of a day column that shows other apps' things beside the planner's own.

#include "sharedthing.h"
#include "things.h"

#include <QList>
#include <QMap>
#include <QString>

// One row of a day column that shows other apps' things too: an own thing at its
// index among the day's own things, or another app's thing at the slot it is shown
// at.
struct TodayRow {
    enum class Kind { Mine, Theirs };

    static TodayRow mine(const Thing& thing, int index);
    static TodayRow theirs(const SharedThing& thing, int slot);

    Kind kind = Kind::Mine;
    Thing thing;        // mine
    int index = 0;      // mine
    SharedThing other;  // theirs
    int slot = 0;       // theirs, clamped to the number of own things

    bool isMine() const { return kind == Kind::Mine; }
    // The thing's upper-case UUID, or "family-" and the family-store id.
    QString id() const;
    bool operator==(const TodayRow&) const = default;
};

// The own things of a day in stored order, with the other apps' things each before
// the own thing at its remembered slot (by family-store id in `remembered`); without a slot,
// or past the end, after the last. Things of equal slots keep the order they are given in.
QList<TodayRow> todayRows(const QList<Thing>& mine, const QList<SharedThing>& others,
                          const QMap<QString, int>& remembered);
