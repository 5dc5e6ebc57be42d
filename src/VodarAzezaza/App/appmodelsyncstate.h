#pragma once
// What the family sync keeps between its runs: the application model's own business,
// shared only by its source files, so that the sync's bookkeeping can change without
// the model's header changing for every view.

#include "appmodel.h"
#include "familysync.h"

#include <QHash>
#include <QList>

#include <memory>
#include <optional>

struct AppModel::OwnThing {
    Place place;
    Thing thing;
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
