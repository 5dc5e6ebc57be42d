#pragma once
// One row of the family store as the planner sees it: a thing of any app of the
// family, tagged with the app it came from.

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

struct Step;

struct SharedStep {
    QString title;
    bool done = false;
    bool operator==(const SharedStep&) const = default;
};

inline size_t qHash(const SharedStep& step, size_t seed = 0)
{
    return qHashMulti(seed, step.title, step.done);
}

struct SharedThing {
    QString id;                     // row key; for the planner's own things the sync id
    QString title;
    bool done = false;
    std::optional<QString> day;     // "yyyy-mm-dd"; none for undated things
    qint64 zs = 0;                  // how often the thing was pushed on
    QList<SharedStep> steps;
    QString note;                   // the note as plain text
    std::optional<QString> noteID;  // file stem of the note in the family notes folder
    std::optional<QString> link;
    QString sourceApp;              // "planner", "todo", …
    double updatedAt = 0;           // seconds since 1970 of the last write

    bool operator==(const SharedThing&) const = default;
};

namespace pemby {

// The steps as the family store's JSON text: an array of {"title", "done"} objects in
// step order, compact, the same text for the same steps every time.
QString encodeSharedSteps(const QList<SharedStep>& steps);
// The steps of a JSON text; no steps when the text is not such an array (a present key
// of the wrong type included).
QList<SharedStep> decodeSharedSteps(const QString& json);

// The same steps in the plan's terms and in the store's.
QList<Step> plannerSteps(const QList<SharedStep>& steps);
QList<SharedStep> sharedSteps(const QList<Step>& steps);

} // namespace pemby
