#pragma once
// The family store: the small SQLite database that the planner shares with the sibling
// to-do and notes apps. Each app publishes its own things as rows tagged with its name,
// reads the others' rows, and may change a few fields of theirs or mark them deleted.
//
// One method per statement, each run under one lock while the caller waits. A store
// whose file did not open stays closed: every method does nothing and openError()
// says why. The store never announces its writes; callers post the change
// notification. The writing methods answer whether the database changed, so a caller
// never announces a write that did not happen.

#include "sharedthing.h"
#include "sqlite.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class FamilyStore {
public:
    using Clock = std::function<QDateTime()>;

    // Opens (creating when needed, with its folder) the database at `path`. A null
    // clock reads the system clock. Sibling apps write the same file, so a statement
    // that meets their lock waits up to `busyTimeout` before it fails.
    explicit FamilyStore(const QString& path, Clock clock = {},
                         std::chrono::milliseconds busyTimeout = std::chrono::seconds(2));
    ~FamilyStore();
    FamilyStore(const FamilyStore&) = delete;
    FamilyStore& operator=(const FamilyStore&) = delete;

    QString path() const { return path_; }
    // Why the file did not open; nullopt when it did.
    std::optional<QString> openError() const;

    // Inserts or updates the row of `thing`, stamping it now. Skipped when the stored
    // row already holds the same values, so republishing keeps updatedAt. A row that
    // another app deleted and its owner has not acknowledged stays deleted.
    bool upsert(const SharedThing& thing);
    // Every live row, in the database's order.
    QList<SharedThing> allThings() const;
    // Marks a live row deleted. `by` is the deleting app's tag when it deletes another
    // app's row; an app deleting its own row passes nullopt.
    bool markDeleted(const QString& id, const std::optional<QString>& by);
    // Ids of `app`'s own rows that another app deleted and `app` has not yet taken over.
    QStringList deletedByOthers(const QString& app) const;
    // Takes another app's deletion over: the row stays deleted but is no longer listed,
    // and the next upsert of its id revives it.
    bool acknowledgeDelete(const QString& id);

    // Setters change only a row whose value differs; all but setDone leave deleted rows alone.
    bool setDone(const QString& id, bool done);
    bool setNote(const QString& id, const std::optional<QString>& noteID, const QString& note);
    bool setTitle(const QString& id, const QString& title);
    bool setSteps(const QString& id, const QList<SharedStep>& steps);
    bool setDay(const QString& id, const std::optional<QString>& day);

    // A TRUNCATE checkpoint follows every this many counted writes.
    static constexpr int checkpointInterval = 32;
    // Deleted rows are kept this long so that their owners learn of the deletion.
    static constexpr double tombstoneAge = 7 * 24 * 60 * 60;

private:
    void open(std::chrono::milliseconds busyTimeout);
    void failOpen(const QString& text);
    double now() const;
    bool storedRowMatches(const SharedThing& thing, const QString& stepsJson) const;
    // Runs a writing statement; counts it when it changed a row.
    bool write(SqliteStatement& statement);
    void countWrite();

    const QString path_;
    const Clock clock_;
    mutable QMutex mutex_;
    SqliteConnection db_;
    int writes_ = 0;
    std::optional<QString> openError_;
};
