#pragma once
// How the planner and the sibling apps' edits of the planner's rows come together.
//
// The base of a row is what both sides last agreed on: what the planner last published
// or took from the store. A field that only one side changed since takes that side's
// value; a field both changed to different values takes the plan's, the person at
// this window; nothing else either side did is lost. Which side changed a field is
// told by comparing contents with the base, never clocks, and which rows changed is
// told by the store's change log.
//
// The base is kept in a small database of the planner's own (not in the shared one),
// written with every publication, so it outlives a crash and a restart. A row with no
// base of ours takes the one the store's change log kept, when it kept one; with none
// at all, only fields that differ count as changed, and the plan keeps its values.
//
// Publishing looks at what changed since the last publication, not at the whole plan.
// Ticks and renames of other apps' things that meet another app's lock wait here, on a
// timer, rather than fail.

#include "familystore.h"
#include "planner.h"
#include "result.h"
#include "sharedthing.h"
#include "sqlite.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class FamilySync {
public:
    using Agreed = FamilyStore::Agreed;

    // `basePath` is where the base is kept; empty keeps it in memory only (a run that
    // writes no file of its own).
    FamilySync(FamilyStore& store, QString app, const QString& basePath);
    FamilySync(const FamilySync&) = delete;
    FamilySync& operator=(const FamilySync&) = delete;

    FamilyStore& store() const { return store_; }
    const QString& app() const { return app_; }

    // What the plan takes of a stored row: each field present is the store's value.
    struct Take {
        std::optional<QString> title;  // trimmed, never blank
        std::optional<bool> done;
        std::optional<std::pair<std::optional<QString>, QString>> note;  // note id, text
        std::optional<QList<SharedStep>> steps;
        std::optional<QString> day;  // a day's text, "yyyy-mm-dd"
        bool isEmpty() const { return !title && !done && !note && !steps && !day; }
    };
    // The fields that the store changed since the base and the plan did not. Without a
    // base nothing is taken.
    static Take merge(const Agreed& plan, const Agreed& stored, const std::optional<Agreed>& base);
    Take merge(const QString& id, const Agreed& plan, const Agreed& stored) const
    {
        return merge(plan, stored, base(id));
    }

    // The values both sides last agreed on for the row; nullopt when unknown.
    std::optional<Agreed> base(const QString& id) const;

    // For publishing: a stored row is written over only once the plan has taken in what
    // the store changed, and marked deleted only when nobody changed it since the base.
    FamilyStore::Guard guard() const;

    // The store's row of an own thing: `day` for a thing of a day, none for lists and
    // months; stamped `now`.
    SharedThing row(const Thing& thing, const std::optional<Day>& day, double now) const;
    // Makes the store hold the plan's own things, each thing's row guarded as guard()
    // says, and what the store took agreed. The first time, and after forget(), every
    // row of the plan and of the store is looked at; after that only the things that
    // differ in the places that changed since the last publication that went through,
    // the rows another app wrote since, and those held back or refused the last time.
    FamilyStore::Publication publish(const Planner& plan, double now,
                                     std::optional<std::chrono::milliseconds> wait = std::nullopt);

    // The rows written since the last read: every row the first time and after forget().
    Result<FamilyStore::Changes> readChanges();

    // The plan took in what it could of a stored row: each field on which the plan and
    // the row now agree is agreed from now on.
    void settled(const QString& id, const Agreed& plan, const Agreed& stored);
    // The store now holds `rows` as published, except the ids held back: that is the
    // base from now on, kept on disk at once.
    void agreed(const QList<SharedThing>& rows, const QSet<QString>& heldBack);
    // Another file took the store's place: nothing is agreed with it yet.
    void forget();

    // Ticks and renames of other apps' rows. One that meets another app's lock is not
    // lost and not a failure: it waits, with any made after it, and is tried again on a
    // timer, in the order made, until the lock goes. Meanwhile its answer is Unchanged
    // with busy set, and the rows read show it (withWaiting).
    FamilyStore::Answer setOthersDone(const QString& id, const QString& sourceApp, bool done);
    FamilyStore::Answer setOthersTitle(const QString& id, const QString& sourceApp, const QString& title);
    bool othersWait() const { return !waiting_.isEmpty(); }
    // The rows with the changes still waiting for the store.
    QList<SharedThing> withWaiting(QList<SharedThing> rows) const;
    // What became of the changes that waited, once none waits any more.
    struct OthersWritten {
        bool changed = false;  // the store changed: tell the family
        // The first the store refused outright, and the app of its row.
        std::optional<FamilyStore::Answer> refused;
        QString refusedApp;
    };
    // Called, on the thread of the sync, when the last waiting change went through or
    // was refused.
    void setOnOthersWritten(std::function<void(const OthersWritten&)> done) { othersWritten_ = std::move(done); }
    // Tries what waits once more, at once; on the way out, with the store's whole wait.
    void retryOthers(bool quitting = false);
    // How often waiting changes are tried again.
    static constexpr std::chrono::milliseconds othersRetryInterval{100};

private:
    struct OthersEdit {
        QString id;
        QString sourceApp;
        std::optional<bool> done;
        std::optional<QString> title;
    };
    FamilyStore::Answer changeOthers(const OthersEdit& edit);
    FamilyStore::Answer write(OthersEdit& edit, FamilyStore::Wait wait);

    // The own thing of this sync id where the last publication had it, and that place;
    // none when it is no longer there.
    std::optional<Thing> ownThing(const Planner& plan, const QString& id, std::optional<Place>* at) const;
    void openBase(const QString& path);
    void keep(const QList<std::pair<QString, Agreed>>& changed);

    FamilyStore& store_;
    const QString app_;
    QHash<QString, Agreed> base_;
    // What the store's change log says the rows held when the planner last wrote them,
    // for rows without a base of our own (a first start, a lost settings folder).
    QHash<QString, Agreed> logged_;
    qint64 seq_ = 0;
    SqliteConnection file_;
    // Writes a row of the base; made once, as every publication writes some.
    std::unique_ptr<SqliteStatement> put_;

    // The plan the store holds, as last published; none: publish it whole.
    std::optional<Planner> published_;
    QHash<QString, Place> placeOf_;
    // Own rows to look at in the next publication whatever changed in the plan: written
    // by another app since, or held back or refused the last time.
    QSet<QString> again_;
    QList<OthersEdit> waiting_;
    bool othersChanged_ = false;
    QTimer retry_;
    std::function<void(const OthersWritten&)> othersWritten_;
};
