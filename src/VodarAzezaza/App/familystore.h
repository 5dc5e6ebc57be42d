#pragma once
// The family store: the small SQLite database that the planner shares with the sibling
// to-do and notes apps. Each app publishes its own things as rows tagged with its name,
// reads the others' rows, and may change a few fields of theirs or mark them deleted.
//
// One method per statement, each run under one lock while the caller waits, plus one
// that publishes all of an app's rows in one transaction. A store whose file did not
// open stays closed: every method does nothing and openError() says why. The store
// never announces its writes; callers post the change notification. Every answer
// tells whether the database changed, stayed as it was or could not be reached, so a
// caller never announces a write that did not happen and never drops what it showed
// for a read that failed.
//
// Sibling processes share the file, so it can be locked, made read-only, damaged,
// deleted or replaced while we hold it. Each operation looks at the file first: a
// file replaced by another is opened anew (generation() counts the openings), and
// failure() says why syncing is off while it is. A file that is not a database is
// never written, and neither is one with a trigger or view we did not make: the
// schema is not trusted, since anyone who can write the file can plant one.
//
// A table of our own, planner_changes, is kept by triggers on every write of any
// app: it numbers the writes, so changed rows are found without reading every row
// and without trusting anyone's clock, and it keeps what a planner row held before
// another app first changed it after the planner's last publication.

#include "result.h"
#include "sharedthing.h"
#include "sqlite.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHashFunctions>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QHash>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class FamilyStore {
public:
    using Clock = std::function<QDateTime()>;

    // What a writing operation did.
    struct Answer {
        enum class Kind { Changed, Unchanged, Failed };
        Kind kind = Kind::Unchanged;
        QString error;      // SQLite's message, when it failed
        bool busy = false;  // it failed because another app held the lock past the wait

        bool isChanged() const { return kind == Kind::Changed; }
        bool isFailed() const { return kind == Kind::Failed; }
        // Whether the database changed.
        explicit operator bool() const { return isChanged(); }
    };

    // What a publication did: `written` rows were inserted, updated or marked deleted,
    // and at `at` (the store's clock) the store held exactly the rows given, except
    // those held back.
    struct Publication {
        Answer answer;
        int written = 0;
        double at = 0;
        // Rows left as the store holds them because the guard said so.
        QStringList heldBack{};
        // Rows another app deleted, which no publication revives until the deletion is
        // taken over.
        QStringList refused{};
    };
    // Asked before a stored live row of the app is written over (`planned` its new
    // values) or marked deleted (`planned` null); false holds it back.
    using Guard = std::function<bool(const SharedThing* planned, const SharedThing& stored)>;

    // The fields of a row two apps can agree on.
    struct Agreed {
        QString title;
        bool done = false;
        std::optional<QString> day;
        QList<SharedStep> steps;
        QString note;
        std::optional<QString> noteID;
        bool operator==(const Agreed&) const = default;
        static Agreed of(const SharedThing& row);
    };
    // A row written since some moment.
    struct Change {
        SharedThing row;
        bool live = false;   // false: marked deleted, or gone
        // The app that publishes the row wrote it last (see publish).
        bool publisherWroteLast = false;
        // What the row held before another app first wrote it since, when known.
        std::optional<Agreed> before;
    };
    struct Changes {
        QList<Change> rows;
        qint64 seq = 0;      // pass it to the next changesSince
        bool whole = false;  // every row, not only the changed ones
    };

    // Opens (creating when needed, with its folder) the database at `path`. A null
    // clock reads the system clock. Sibling apps write the same file, so an operation
    // that meets their lock waits up to `busyTimeout` (once, however many statements
    // it runs) before it fails.
    explicit FamilyStore(const QString& path, Clock clock = {},
                         std::chrono::milliseconds busyTimeout = defaultBusyTimeout);
    ~FamilyStore();
    FamilyStore(const FamilyStore&) = delete;
    FamilyStore& operator=(const FamilyStore&) = delete;

    QString path() const { return path_; }
    std::chrono::milliseconds busyTimeout() const { return busyTimeout_; }
    // Why the file did not open at first; nullopt when it did.
    std::optional<QString> openError() const;
    // Why syncing is off right now: the open failed, the file was deleted or replaced
    // by one that does not open, or the last read or write failed for another reason
    // than a sibling's lock (a read-only file, damaged pages, a full disk). nullopt
    // while the store works.
    std::optional<QString> failure() const;
    // 1 after the first open; raised each time a replaced file is opened anew.
    int generation() const;
    // Looks at the file without an operation: reopens it when it was replaced. Every
    // operation does this first.
    void check();

    // Inserts or updates the row of `thing`, stamping it now. Skipped when the stored
    // row already holds the same values, so republishing keeps updatedAt. A row that
    // another app deleted and its owner has not acknowledged stays deleted.
    Answer upsert(const SharedThing& thing);
    // Makes the store hold exactly `rows` of `app`: writes the rows whose stored values
    // differ (as upsert would) and marks the app's other live rows deleted, with no
    // deleting app, all in one transaction. An unchanged publication writes nothing
    // and does not even take the lock. Waits for another app's lock at most `wait`
    // (the busy timeout when not given); busy, it writes nothing.
    Publication publish(const QList<SharedThing>& rows, const QString& app,
                        std::optional<std::chrono::milliseconds> wait = std::nullopt, const Guard& guard = {});
    // The same with the rows in groups, in order. Given the very same groups (shared,
    // not copied) as the ones it holds, while no other connection has written, it knows
    // at once that nothing changed. It holds the groups of the last publication, unless
    // that one went over every row while no one else held the earlier groups: it keeps
    // those then, with the rows that publication changed to be looked at again.
    using RowGroups = QList<QList<SharedThing>>;
    Publication publish(const RowGroups& groups, const QString& app,
                        std::optional<std::chrono::milliseconds> wait = std::nullopt, const Guard& guard = {});
    // The same for a part of the app's rows: writes those of `rows` whose stored values
    // differ and marks `gone` deleted where it is a live row of the app and not among
    // `rows`; every other row is left as it is. What is compared is what the store
    // holds now, whoever wrote it.
    Publication publishChanged(const QList<SharedThing>& rows, const QStringList& gone, const QString& app,
                               std::optional<std::chrono::milliseconds> wait = std::nullopt, const Guard& guard = {});
    // The rows written since `seq` (0: every row), deleted ones included. A number the
    // file does not know (another file took the name) gives every row.
    Result<Changes> changesSince(qint64 seq);
    // Every live row, in the database's order.
    Result<QList<SharedThing>> allThings();
    // The live rows of these ids.
    Result<QList<SharedThing>> things(const QStringList& ids);
    // Marks a live row deleted. `by` is the deleting app's tag when it deletes another
    // app's row; an app deleting its own row passes nullopt.
    Answer markDeleted(const QString& id, const std::optional<QString>& by);
    // Ids of `app`'s own rows that another app deleted and `app` has not yet taken over.
    Result<QStringList> deletedByOthers(const QString& app);
    // Takes another app's deletion over: the row stays deleted but is no longer listed,
    // and the next upsert of its id revives it.
    Answer acknowledgeDelete(const QString& id);

    // Setters change only a row whose value differs; all but setDone leave deleted rows alone.
    // Ticks and renames wait for another app's lock at most `wait` (the busy timeout when
    // not given).
    using Wait = std::optional<std::chrono::milliseconds>;
    Answer setDone(const QString& id, bool done, Wait wait = std::nullopt);
    Answer setNote(const QString& id, const std::optional<QString>& noteID, const QString& note);
    Answer setTitle(const QString& id, const QString& title, Wait wait = std::nullopt);
    Answer setSteps(const QString& id, const QList<SharedStep>& steps);
    Answer setDay(const QString& id, const std::optional<QString>& day);

    // A TRUNCATE checkpoint follows every this many counted writes.
    static constexpr int checkpointInterval = 32;
    // Deleted rows are kept this long so that their owners learn of the deletion.
    static constexpr double tombstoneAge = 7 * 24 * 60 * 60;
    // The longest wait for another app's lock by default: longer would freeze the window.
    static constexpr std::chrono::milliseconds defaultBusyTimeout{100};

private:
    // A row as the file holds it, for publish to compare against without a query per
    // row. NULL columns are nullopt, and a NULL never matches a value.
    struct StoredRow {
        std::optional<QString> title;
        bool done = false;
        std::optional<QString> day;
        qint64 zs = 0;
        std::optional<QString> stepsJson;
        QList<SharedStep> steps;         // stepsJson decoded
        int canonical = -1;              // whether stepsJson is what encoding `steps` gives; -1 not known yet
        std::optional<QString> note;
        std::optional<QString> noteID;
        std::optional<QString> link;
        std::optional<QString> sourceApp;
        bool deleted = false;
        bool deletedByOther = false;     // deleted_by set: only its owner's acknowledgement revives it
        quint64 seen = 0;                // the publication that last named it
        // Whether the row holds the thing's values; equal texts are shared afterwards.
        bool matches(const SharedThing& thing);
        SharedThing toShared(const QString& id) const;
        // The row as just written from `thing`, its steps encoded as `stepsJson`.
        static StoredRow written(const SharedThing& thing, const QString& stepsJson);
    };
    struct FileIdentity {
        qint64 device = -1;
        qint64 inode = -1;
        qint64 modified = -1;
        qint64 size = -1;
        bool operator==(const FileIdentity&) const = default;
    };

    // What writing a publication's rows did.
    struct RowsWritten {
        int written = 0;
        QStringList heldBack;  // kept back by the guard
        QStringList refused;   // deleted by another app, not taken over yet
    };
    // Writes `upserts` and marks `vanished` deleted, inside the caller's transaction,
    // keeping the cache (and the live count, where kept) with them; the failing
    // statement's failure otherwise, and the caller rolls back.
    std::optional<SqliteFailure> writeRows(const QList<const SharedThing*>& upserts, const QStringList& vanished,
                                           const QString& app, double stamp, const Guard& guard, RowsWritten& out);
    // What a committed publication answers, its bookkeeping done.
    Publication committed(RowsWritten out);
    Result<QList<SharedThing>> readThings(const QStringList* ids);
    // Opens the connection and sets the schema up; the failure text otherwise.
    std::optional<QString> openConnection();
    // Creates what is missing and purges old tombstones, in one transaction.
    void setUpSchema();
    void lookAtFile();
    // Every operation starts here: the file looked at, the wait set. False when closed.
    bool begin(std::chrono::milliseconds wait);
    // Writing operations then ask this: false while the file holds a trigger or view
    // that we did not make, which a write would run.
    bool mayWrite();
    Answer refusedAnswer() const;
    // Closes the connection, the statement kept on it first.
    void closeConnection();
    QString plantedText() const;
    // Makes our change log and its triggers when missing.
    void setUpChangeLog();
    // Looks at the triggers and views: a planted one stops every write; ours missing
    // are made again.
    void lookAtSchema();
    struct SchemaEntry {
        std::optional<QString> type;
        std::optional<QString> name;
        std::optional<QString> sql;
    };
    void judgeSchema(const QList<SchemaEntry>& entries);
    QString closedReason() const;
    Answer closedAnswer() const;
    Answer failedWrite(const SqliteFailure& failure);
    Error failedRead(const SqliteFailure& failure);
    void readSucceeded() { readFailure_.reset(); }
    void writeSucceeded() { writeFailure_.reset(); }
    double now() const;
    bool storedRowMatches(const SharedThing& thing, const QString& stepsJson);
    // Runs a writing statement on the row `id`; counts it when it changed the row.
    Answer write(SqliteStatement& statement, const QString& id);
    void countWrites(int count);
    // The rows publish compares against: current while no other connection committed.
    bool cacheIsCurrent() const;
    void forgetCache();
    // Reads every row, or, when the cache holds the file as it was, the rows written
    // since; the failure when that could not be done.
    // `knownVersion` and `knownSeq`: data_version and the log's number when the caller
    // just read them.
    std::optional<SqliteFailure> loadCache(std::optional<qint64> knownVersion = std::nullopt,
                                           std::optional<qint64> knownSeq = std::nullopt);
    // The change log's newest number; nullopt when it cannot be read.
    std::optional<qint64> logSeq();
    void recache(const QString& id);
    // After a write of ours: the cache need not read it back from the change log.
    void keepUpWithOwnWrites();

    const QString path_;
    const Clock clock_;
    const std::chrono::milliseconds busyTimeout_;
    mutable QMutex mutex_;
    SqliteConnection db_;
    int writes_ = 0;
    // How long the operation under way waits for a sibling's lock.
    std::chrono::milliseconds wait_{0};
    int generation_ = 0;
    bool schemaPending_ = false;
    std::optional<QString> openError_;
    std::optional<QString> fileFailure_;
    std::optional<QString> readFailure_;
    std::optional<QString> writeFailure_;
    // The file last tried after the open one went away, so a file that does not open
    // is not tried again until it changes.
    std::optional<FileIdentity> lastTried_;
    // The WAL and shared-memory files of the open database (device, inode).
    std::optional<std::pair<qint64, qint64>> walNode_;
    std::optional<std::pair<qint64, qint64>> shmNode_;

    // The read of the rows numbered since a given number, kept prepared while the
    // connection lasts: a refresh after a sibling's change reads one row or a few, and
    // preparing this join cost twice that read. The one exception to preparing each
    // statement where it is used; it is reset after every use, so it never holds a
    // read open, and finalized before the connection closes.
    std::unique_ptr<SqliteStatement> changesRead_;
    // data_version when the triggers and views were last looked at and found ours, all
    // there: only another connection's commit can change them.
    std::optional<qint64> schemaSeenAt_;

    // Node-based, so the order below may point into it.
    std::unordered_map<QString, StoredRow> cache_;
    // The stored rows in the order the last publication named them: the plan publishes
    // in the same order every time, so most rows are found without hashing their id.
    struct Ordered {
        QString id;  // the caller's own text, so the next look compares pointers
        std::pair<const QString, StoredRow>* entry;
    };
    std::vector<Ordered> order_;
    bool cacheValid_ = false;
    qint64 cacheVersion_ = 0;
    // The change log's number as the cache last caught up with it.
    qint64 cacheSeq_ = 0;
    // A trigger or view we did not make, by name; writes are refused while it stands.
    std::optional<QString> planted_;
    quint64 publications_ = 0;
    // The groups of the last publication, or of an earlier one; the cache holds what they
    // published but for the rows touched since (written by anyone, held back, refused).
    RowGroups lastGroups_;
    QSet<QString> touched_;
    // Where each row of the last publication stood: group, index.
    QHash<QString, std::pair<qsizetype, qsizetype>> rowAt_;
    QString lastGroupsApp_;
    // How many live rows of an app the cache holds, while it has not changed since.
    std::optional<std::pair<QString, qsizetype>> liveRows_;
};
