#pragma once
// What the family sync keeps between its runs: the application model's own business,
// shared only by its source files, so that the sync's bookkeeping can change without
// the model's header changing for every view.

#include "appmodel.h"
#include "familysync.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// An own thing where it stands.
struct OwnThing {
    Place place;
    Thing thing;
};

// The steps of the family sync, each on the model it is given.
struct AppModel::Sync {
    static QString plannerTag() { return QStringLiteral("planner"); }

    // Gives every own thing without a sync id a fresh one, so the files carry it.
    static void ensureSyncIDs(AppModel& m);
    // The same on a plan about to become the model's, and on the snapshots; true when
    // anything changed. Only the places that changed since the last time are looked
    // at; when files were just read into the plan, a thing there whose sync id another
    // thing of the plan already carries gets a fresh one too.
    static bool ensureSyncIDs(AppModel& m, Planner& plan, bool afterReading = false);
    static void syncAll(AppModel& m);
    static bool publishOnce(AppModel& m);
    static void keepDeletedHereChangedThere(AppModel& m, const QStringList& heldBack);
    // Reads what changed in the store since the last read and merges the own rows.
    static void refreshFromFamily(AppModel& m);
    static void forgetGoneExternals(AppModel& m);
    static void mergeOwnRows(AppModel& m, const QHash<QString, SharedThing>& planned);
    static QHash<QString, OwnThing> ownThings(AppModel& m, const QSet<QString>& wanted);
    static void applyDeletesFromFamily(AppModel& m);
    static void noteFamilyState(AppModel& m);
    static void checkFamilyStore(AppModel& m);
    // Posts the change notification, whose echo is then skipped once.
    static void announce(AppModel& m);
    // The change notification arrived.
    static void familyChanged(AppModel& m);
};

struct AppModel::SyncState {
    // The plan as the sync ids were last given: only what differs from it can lack one.
    Planner syncIDsChecked;
    // How many things of that plan carry each sync id, kept with it place by place, so
    // a file read is checked against the whole plan at the cost of that file.
    QHash<QString, int> syncIDCounts;
    // The store's file as last seen; another one means publishing everything again.
    int familyGeneration = 0;
    std::unique_ptr<FamilySync> familySync;
    // The last refresh changed the plan.
    bool tookFromFamily = false;
    // A sync met a refused save: it runs once a save goes through.
    bool publishAfterSave = false;
    // How many weeks were loaded when deletions made elsewhere were last looked for.
    qsizetype deletionsCheckedWeeks = -1;
    // Where each own sync id stood in syncIndexed.
    QHash<QString, Place> syncIndex;
    Planner syncIndexed;
    bool syncIndexValid = false;
};
