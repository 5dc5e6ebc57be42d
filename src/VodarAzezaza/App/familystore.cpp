#include "familystore.h"

#include "logcategories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const char* const createTable =
    "CREATE TABLE IF NOT EXISTS things ("
    "id TEXT PRIMARY KEY, "
    "title TEXT NOT NULL, "
    "done INTEGER NOT NULL DEFAULT 0, "
    "due_day TEXT, "
    "zs INTEGER NOT NULL DEFAULT 0, "
    "steps_json TEXT NOT NULL DEFAULT '[]', "
    "note_plain TEXT NOT NULL DEFAULT '', "
    "note_id TEXT, "
    "link TEXT, "
    "source_app TEXT NOT NULL, "
    "updated_at REAL NOT NULL, "
    "deleted INTEGER NOT NULL DEFAULT 0);";

const char* const createIndex = "CREATE INDEX IF NOT EXISTS idx_things_due ON things(due_day);";
const char* const addDeletedBy = "ALTER TABLE things ADD COLUMN deleted_by TEXT;";

// A deleted row that another app has not acknowledged must not be revived: its owner
// still has to learn of the deletion.
const char* const upsertRow =
    "INSERT INTO things (id, title, done, due_day, zs, steps_json, note_plain, note_id, link, source_app, updated_at, deleted)\n"
    "VALUES (?,?,?,?,?,?,?,?,?,?,?,0)\n"
    "ON CONFLICT(id) DO UPDATE SET\n"
    "    title=excluded.title, done=excluded.done, due_day=excluded.due_day, zs=excluded.zs,\n"
    "    steps_json=excluded.steps_json, note_plain=excluded.note_plain, note_id=excluded.note_id,\n"
    "    link=excluded.link, source_app=excluded.source_app, updated_at=excluded.updated_at, deleted=0,\n"
    "    deleted_by=NULL\n"
    "WHERE things.deleted = 0 OR things.deleted_by IS NULL;";

const char* const markRowDeleted = "UPDATE things SET deleted = 1, deleted_by = ?, updated_at = ? "
                                   "WHERE id = ? AND deleted = 0;";

const char* const selectStored = "SELECT id, title, done, due_day, zs, steps_json, note_plain, note_id, link, "
                                 "source_app, deleted, deleted_by, updated_at FROM things";

// Our change log. Every write of any app numbers its row anew; a planner row also keeps
// what it held when another app first wrote it after the planner's publication (the
// planner sets `mine` in the transaction of each publication).
const char* const createChangeLog =
    "CREATE TABLE IF NOT EXISTS planner_changes ("
    "id TEXT PRIMARY KEY, "
    "seq INTEGER NOT NULL, "
    "mine INTEGER NOT NULL DEFAULT 0, "
    "before_known INTEGER NOT NULL DEFAULT 0, "
    "before_title TEXT, before_done INTEGER, before_day TEXT, before_steps TEXT, "
    "before_note TEXT, before_note_id TEXT);";
const char* const createChangeLogIndex = "CREATE INDEX IF NOT EXISTS planner_changes_seq ON planner_changes(seq);";

struct OwnTrigger {
    const char* name;
    const char* sql;  // as sqlite_master keeps it: the statement without its semicolon
};
const OwnTrigger ownTriggers[] = {
    {"planner_changes_insert",
     "CREATE TRIGGER planner_changes_insert AFTER INSERT ON things BEGIN "
     "INSERT INTO planner_changes (id, seq) VALUES (NEW.id, (SELECT coalesce(max(seq), 0) + 1 FROM planner_changes)) "
     "ON CONFLICT(id) DO UPDATE SET seq = excluded.seq, mine = 0, "
     "before_known = CASE WHEN planner_changes.mine THEN 0 ELSE planner_changes.before_known END; END"},
    {"planner_changes_update",
     "CREATE TRIGGER planner_changes_update AFTER UPDATE ON things BEGIN "
     "INSERT INTO planner_changes (id, seq, before_known, before_title, before_done, before_day, before_steps, "
     "before_note, before_note_id) VALUES (NEW.id, (SELECT coalesce(max(seq), 0) + 1 FROM planner_changes), 1, "
     "OLD.title, OLD.done, OLD.due_day, OLD.steps_json, OLD.note_plain, OLD.note_id) "
     "ON CONFLICT(id) DO UPDATE SET seq = excluded.seq, mine = 0, "
     "before_known = CASE WHEN planner_changes.mine THEN 1 ELSE planner_changes.before_known END, "
     "before_title = CASE WHEN planner_changes.mine THEN excluded.before_title ELSE planner_changes.before_title END, "
     "before_done = CASE WHEN planner_changes.mine THEN excluded.before_done ELSE planner_changes.before_done END, "
     "before_day = CASE WHEN planner_changes.mine THEN excluded.before_day ELSE planner_changes.before_day END, "
     "before_steps = CASE WHEN planner_changes.mine THEN excluded.before_steps ELSE planner_changes.before_steps END, "
     "before_note = CASE WHEN planner_changes.mine THEN excluded.before_note ELSE planner_changes.before_note END, "
     "before_note_id = CASE WHEN planner_changes.mine THEN excluded.before_note_id "
     "ELSE planner_changes.before_note_id END; END"},
    {"planner_changes_delete",
     "CREATE TRIGGER planner_changes_delete AFTER DELETE ON things BEGIN "
     "INSERT INTO planner_changes (id, seq) VALUES (OLD.id, (SELECT coalesce(max(seq), 0) + 1 FROM planner_changes)) "
     "ON CONFLICT(id) DO UPDATE SET seq = excluded.seq, mine = 0, before_known = 0; END"},
};

const char* const selectLogSeq = "SELECT coalesce(max(seq), 0) FROM planner_changes;";

const QString emptySteps = QStringLiteral("[]");

// A file at the path that is not a SQLite database: SQLite would make one of it at the
// first write. An empty file is a database not yet begun.
std::optional<QString> notADatabase(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;  // the open below says why
    const QByteArray header = file.read(16);
    if (header.isEmpty() || header == QByteArray("SQLite format 3\0", 16))
        return std::nullopt;
    return QStringLiteral("file is not a database");  // as SQLite says it
}

std::optional<std::pair<qint64, qint64>> fileNode(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair(qint64(info.st_dev), qint64(info.st_ino));
}

void bindRow(SqliteStatement& statement, const SharedThing& thing, const QString& stepsJson, double now)
{
    statement.bindText(1, thing.id);
    statement.bindText(2, thing.title);
    statement.bindInt64(3, thing.done ? 1 : 0);
    statement.bindOptionalText(4, thing.day);
    statement.bindInt64(5, thing.zs);
    statement.bindText(6, stepsJson);
    statement.bindText(7, thing.note);
    statement.bindOptionalText(8, thing.noteID);
    statement.bindOptionalText(9, thing.link);
    statement.bindText(10, thing.sourceApp);
    statement.bindDouble(11, now);
}

// Columns in the order of selectStored, after the id.
template <class Row>
void readStored(const SqliteStatement& query, Row& row)
{
    row.title = query.text(1);
    row.done = query.int64(2) != 0;
    row.day = query.text(3);
    row.zs = query.int64(4);
    row.stepsJson = query.text(5);
    if (row.stepsJson && *row.stepsJson != emptySteps)
        row.steps = pemby::decodeSharedSteps(*row.stepsJson);
    row.note = query.text(6);
    row.noteID = query.text(7);
    row.link = query.text(8);
    row.sourceApp = query.text(9);
    row.deleted = query.int64(10) != 0;
    row.deletedByOther = !query.isNull(11);
}

FamilyStore::Answer answer(bool changed)
{
    return {changed ? FamilyStore::Answer::Kind::Changed : FamilyStore::Answer::Kind::Unchanged, {}, false};
}

FamilyStore::Answer failedAnswer(const QString& error, bool busy = false)
{
    return {FamilyStore::Answer::Kind::Failed, error, busy};
}

// Equal texts. A stored text that equals the plan's is made to share it, so the next
// publication finds the very same string and need not look at its characters. A pass
// over every row runs these for every field: the very same string is answered inline,
// and only a text not yet shared is compared out of line.
[[gnu::noinline]] bool sameCharacters(const QString& a, const QString& b)
{
    return QStringView(a) == QStringView(b);
}

// Asks for the memory of `*p` ahead of its use.
template <class T>
[[gnu::always_inline]] inline void prefetch(const T* p)
{
    const char* const bytes = reinterpret_cast<const char*>(p);
    for (size_t at = 0; at < sizeof(T); at += 64)
        __builtin_prefetch(bytes + at);
}

[[gnu::always_inline]] inline bool same(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || sameCharacters(a, b));
}

[[gnu::always_inline]] inline bool same(const std::optional<QString>& stored, const QString& value)
{
    return stored && same(*stored, value);
}

[[gnu::noinline]] bool adoptCharacters(QString& stored, const QString& value)
{
    if (QStringView(stored) != QStringView(value))
        return false;
    stored = value;
    return true;
}

[[gnu::always_inline]] inline bool adopt(std::optional<QString>& stored, const QString& value)
{
    if (!stored || stored->size() != value.size())
        return false;
    return stored->constData() == value.constData() || adoptCharacters(*stored, value);
}

[[gnu::always_inline]] inline bool adopt(std::optional<QString>& stored, const std::optional<QString>& value)
{
    if (!stored || !value)
        return !stored && !value;
    return adopt(stored, *value);
}

} // namespace

bool FamilyStore::StoredRow::matches(const SharedThing& thing)
{
    if (deleted || done != thing.done || zs != thing.zs || !adopt(title, thing.title) || !adopt(day, thing.day)
        || !adopt(note, thing.note) || !adopt(noteID, thing.noteID) || !adopt(link, thing.link)
        || !adopt(sourceApp, thing.sourceApp) || !stepsJson)
        return false;
    // The stored text must be exactly what the steps encode to; decoding it once and
    // comparing values spares encoding every thing's steps on every publication.
    if (thing.steps.isEmpty())
        return adopt(stepsJson, emptySteps);
    if (steps != thing.steps)
        return false;
    if (!steps.isSharedWith(thing.steps))
        steps = thing.steps;
    if (canonical < 0)
        canonical = pemby::encodeSharedSteps(steps) == *stepsJson ? 1 : 0;
    return canonical == 1;
}

FamilyStore::StoredRow FamilyStore::StoredRow::written(const SharedThing& thing, const QString& stepsJson)
{
    StoredRow stored;
    stored.title = thing.title;
    stored.done = thing.done;
    stored.day = thing.day;
    stored.zs = thing.zs;
    stored.stepsJson = stepsJson;
    stored.steps = thing.steps;
    stored.canonical = 1;
    stored.note = thing.note;
    stored.noteID = thing.noteID;
    stored.link = thing.link;
    stored.sourceApp = thing.sourceApp;
    return stored;
}

SharedThing FamilyStore::StoredRow::toShared(const QString& id) const
{
    SharedThing row;
    row.id = id;
    row.title = title.value_or(QString());
    row.done = done;
    row.day = day;
    row.zs = zs;
    row.steps = steps;
    row.note = note.value_or(QString());
    row.noteID = noteID;
    row.link = link;
    row.sourceApp = sourceApp.value_or(QString());
    return row;
}

FamilyStore::Agreed FamilyStore::Agreed::of(const SharedThing& row)
{
    return Agreed{row.title, row.done, row.day, row.steps, row.note, row.noteID};
}

FamilyStore::FamilyStore(const QString& path, Clock clock, std::chrono::milliseconds busyTimeout)
    : path_(path)
    , clock_(std::move(clock))
    , busyTimeout_(std::max(busyTimeout, 0ms))
{
    // The shared store lives until static destruction; touching the category first
    // makes it outlive the store, whose destructor may still log.
    (void)lcFamily();
    QMutexLocker lock(&mutex_);
    // A missing folder makes the open below fail, which says more than this would.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    if (const auto error = openConnection()) {
        openError_ = error;
        qCCritical(lcFamily, "family store didn't open: %s", qUtf8Printable(*error));
    }
}

FamilyStore::~FamilyStore()
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return;
    if (db_.hasMoved()) {
        closeConnection();
        return;
    }
    // Quitting must not hang on a sibling that is reading: its frames wait for the
    // next checkpoint, whoever runs it.
    db_.waitFor(0ms);
    db_.checkpointTruncate();
    closeConnection();
}

void FamilyStore::closeConnection()
{
    // SQLite refuses to close a connection with a statement still prepared on it.
    changesRead_.reset();
    // Another connection's numbers say nothing of this one's.
    schemaSeenAt_.reset();
    db_.close();
}

std::optional<QString> FamilyStore::openError() const
{
    QMutexLocker lock(&mutex_);
    return openError_;
}

std::optional<QString> FamilyStore::failure() const
{
    QMutexLocker lock(&mutex_);
    if (openError_)
        return openError_;
    if (fileFailure_)
        return fileFailure_;
    if (planted_)
        return plantedText();
    if (readFailure_)
        return readFailure_;
    return writeFailure_;
}

int FamilyStore::generation() const
{
    QMutexLocker lock(&mutex_);
    return generation_;
}

void FamilyStore::check()
{
    QMutexLocker lock(&mutex_);
    lookAtFile();
}

double FamilyStore::now() const
{
    const QDateTime at = clock_ ? clock_() : QDateTime::currentDateTimeUtc();
    return double(at.toMSecsSinceEpoch()) / 1000.0;
}

std::optional<QString> FamilyStore::openConnection()
{
    if (auto error = notADatabase(path_))
        return error;
    auto opened = SqliteConnection::open(path_);
    if (!opened.connection.isOpen())
        return opened.error && !opened.error->isEmpty() ? *opened.error : QStringLiteral("couldn't open ") + path_;
    closeConnection();
    db_ = std::move(opened.connection);
    // Whoever can write the file can put a trigger or view in it; nothing in its schema
    // may call a function with side effects on our behalf.
    db_.exec("PRAGMA trusted_schema=OFF;");
    // The whole open waits for a sibling's lock once.
    db_.waitFor(busyTimeout_);
    db_.exec("PRAGMA journal_mode=WAL;");
    db_.exec("PRAGMA synchronous=NORMAL;");
    readFailure_.reset();
    writeFailure_.reset();
    forgetCache();
    schemaPending_ = true;
    setUpSchema();
    // A file that is not a database (or one whose schema cannot be made) opens fine
    // but fails here; without the table every later call would fail, so say so now.
    // While a sibling holds the lock the schema waits for a later operation.
    SqliteStatement probe(db_, "SELECT count(*) FROM things WHERE 0;");
    if (probe.step() != SqliteStatement::Step::Row && !schemaPending_ && !probe.failure()->isBusy()) {
        const QString error = probe.failure()->message;
        closeConnection();
        return error;
    }
    // A file we may only read opens read-only without a word; every write would fail.
    if (db_.isReadOnly())
        writeFailure_ = SqliteFailure::readOnly().message;
    // The WAL files this connection uses: when the database is replaced, they belong to
    // the old one.
    walNode_ = fileNode(path_ + QStringLiteral("-wal"));
    shmNode_ = fileNode(path_ + QStringLiteral("-shm"));
    ++generation_;
    return std::nullopt;
}

void FamilyStore::setUpSchema()
{
    // One transaction, so the open waits for a sibling's lock once, not per statement.
    if (!db_.exec("BEGIN IMMEDIATE;", SqliteConnection::OnError::Quiet)) {
        const SqliteFailure failure = db_.lastFailure();
        if (failure.isBusy()) {
            qCInfo(lcFamily, "family store: another app holds the lock; the schema is looked at later");
            return;
        }
        writeFailure_ = failure.message;
        schemaPending_ = false;
        return;
    }
    // A planted trigger would run with the purge below.
    lookAtSchema();
    if (planted_) {
        db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
        schemaPending_ = false;
        return;
    }
    if (!db_.exec(createTable)) {
        db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
        schemaPending_ = false;
        return;
    }
    db_.exec(createIndex);
    // Fails harmlessly once the column exists, i.e. on every open after the first.
    db_.exec(addDeletedBy, SqliteConnection::OnError::Quiet);
    setUpChangeLog();

    // Tombstones older than a week have served their purpose. A purge that fails says
    // something about the file (read-only, damaged) that the sync should show.
    SqliteStatement purge(db_, "DELETE FROM things WHERE deleted = 1 AND updated_at < ?;");
    purge.bindDouble(1, now() - tombstoneAge);
    if (!purge.run() && !purge.failure()->isBusy())
        writeFailure_ = purge.failure()->message;
    if (!db_.exec("COMMIT;", SqliteConnection::OnError::Quiet)) {
        writeFailure_ = db_.lastFailure().message;
        db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
    }
    schemaPending_ = false;
}

void FamilyStore::lookAtFile()
{
    // A store that never opened stays closed; there is nothing it could reopen.
    if (openError_)
        return;
    if (db_.isOpen()) {
        if (!db_.hasMoved()) {
            // Made writable again: only a new connection can write.
            if (db_.isReadOnly() && QFileInfo(path_).isWritable()) {
                closeConnection();
                lastTried_.reset();
            } else {
                // While the database is ours, so are the WAL files beside it.
                walNode_ = fileNode(path_ + QStringLiteral("-wal"));
                shmNode_ = fileNode(path_ + QStringLiteral("-shm"));
                return;
            }
        } else {
            // SQLite closes a moved file without a checkpoint and leaves the WAL files
            // alone, as the name may belong to another database now.
            qCWarning(lcFamily, "family store: %s was deleted or replaced", qUtf8Printable(path_));
            closeConnection();
            lastTried_.reset();
            // The old database's WAL must not be applied to the file that took its name:
            // the frames would overwrite its pages. Only the very files we had open go.
            const auto removeStale = [](const QString& file, const std::optional<std::pair<qint64, qint64>>& node) {
                if (node && fileNode(file) == node && ::unlink(QFile::encodeName(file).constData()) == 0)
                    qCInfo(lcFamily, "family store: removed the old database's %s", qUtf8Printable(file));
            };
            removeStale(path_ + QStringLiteral("-wal"), walNode_);
            removeStale(path_ + QStringLiteral("-shm"), shmNode_);
        }
        walNode_.reset();
        shmNode_.reset();
        planted_.reset();
        forgetCache();
    }

    struct stat info;
    if (::stat(QFile::encodeName(path_).constData(), &info) != 0) {
        fileFailure_ = QFileInfo(path_).fileName() + QStringLiteral(" was deleted");
        lastTried_.reset();
        return;
    }
    const FileIdentity identity{qint64(info.st_dev), qint64(info.st_ino), qint64(info.st_mtime), qint64(info.st_size)};
    if (lastTried_ == identity)
        return;
    lastTried_ = identity;
    if (const auto error = openConnection()) {
        fileFailure_ = error;
        qCWarning(lcFamily, "family store didn't open again: %s", qUtf8Printable(*error));
        return;
    }
    fileFailure_.reset();
    qCInfo(lcFamily, "family store: opened %s again", qUtf8Printable(path_));
}

bool FamilyStore::begin(std::chrono::milliseconds wait)
{
    lookAtFile();
    if (!db_.isOpen())
        return false;
    wait_ = wait;
    db_.waitFor(wait);
    if (schemaPending_)
        setUpSchema();
    return true;
}

void FamilyStore::setUpChangeLog()
{
    db_.exec(createChangeLog);
    db_.exec(createChangeLogIndex);
    for (const OwnTrigger& trigger : ownTriggers) {
        SqliteStatement there(db_, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?;");
        there.bindText(1, QString::fromLatin1(trigger.name));
        if (there.step() == SqliteStatement::Step::Row)
            continue;
        db_.exec((QByteArray(trigger.sql) + ';').constData());
        // Writes made before the trigger stood are not numbered: read everything anew.
        forgetCache();
    }
}

void FamilyStore::lookAtSchema()
{
    QList<SchemaEntry> entries;
    SqliteStatement query(db_, "SELECT type, name, sql FROM sqlite_master WHERE type IN ('trigger', 'view');");
    query.forEachRow([&](const SqliteStatement& row) { entries.append({row.text(0), row.text(1), row.text(2)}); });
    judgeSchema(entries);
}

void FamilyStore::judgeSchema(const QList<SchemaEntry>& entries)
{
    planted_.reset();
    bool missing = false;
    QSet<QString> ours;
    for (const SchemaEntry& entry : entries) {
        const QString name = entry.name.value_or(QString());
        const auto own = std::find_if(std::begin(ownTriggers), std::end(ownTriggers), [&](const OwnTrigger& t) {
            return name == QLatin1String(t.name);
        });
        // Ours by name and by text: a trigger of another's under our name is planted too.
        if (entry.type == u"trigger" && own != std::end(ownTriggers) && entry.sql == QLatin1String(own->sql)) {
            ours.insert(name);
            continue;
        }
        if (!planted_)
            planted_ = name;
    }
    for (const OwnTrigger& trigger : ownTriggers)
        missing = missing || !ours.contains(QLatin1String(trigger.name));
    if (planted_) {
        qCWarning(lcFamily, "family store: %s holds %s, which the planner did not make; not writing",
                  qUtf8Printable(QFileInfo(path_).fileName()), qUtf8Printable(*planted_));
        return;
    }
    if (missing && !schemaPending_)
        schemaPending_ = true;
}

bool FamilyStore::mayWrite()
{
    // Every write asks; looking at the schema each time cost more than most writes.
    const std::optional<qint64> version = db_.dataVersion();
    if (version && schemaSeenAt_ == version && !planted_ && !schemaPending_)
        return true;
    schemaSeenAt_.reset();
    lookAtSchema();
    if (planted_)
        return false;
    if (schemaPending_)
        setUpSchema();
    if (!planted_ && !schemaPending_)
        schemaSeenAt_ = version;
    return !planted_;
}

FamilyStore::Answer FamilyStore::refusedAnswer() const
{
    return failedAnswer(plantedText());
}

QString FamilyStore::plantedText() const
{
    return QFileInfo(path_).fileName() + QStringLiteral(" holds a trigger or view the planner did not make (")
        + planted_.value_or(QString()) + QStringLiteral(")");
}

QString FamilyStore::closedReason() const
{
    return openError_.value_or(fileFailure_.value_or(QStringLiteral("the family store is closed")));
}

FamilyStore::Answer FamilyStore::closedAnswer() const
{
    return failedAnswer(closedReason());
}

FamilyStore::Answer FamilyStore::failedWrite(const SqliteFailure& failure)
{
    if (failure.isBusy() && wait_ > 0ms)
        qCInfo(lcFamily, "family store: another app held the lock past %lld ms", qlonglong(wait_.count()));
    else if (failure.isBusy())
        qCDebug(lcFamily, "family store: another app holds the lock");
    else
        writeFailure_ = failure.message;
    return failedAnswer(failure.message, failure.isBusy());
}

Error FamilyStore::failedRead(const SqliteFailure& failure)
{
    if (!failure.isBusy())
        readFailure_ = failure.message;
    return Error{failure.message};
}

void FamilyStore::countWrites(int count)
{
    writes_ += count;
    if (writes_ < checkpointInterval)
        return;
    writes_ = 0;
    // The checkpoint is housekeeping: it never waits for a sibling's reader.
    db_.waitFor(0ms);
    db_.checkpointTruncate();
}

FamilyStore::Answer FamilyStore::write(SqliteStatement& statement, const QString& id)
{
    // A step that failed (a sibling held the lock past the timeout, a full disk) wrote
    // nothing: it is logged, not counted, and answered as a failure.
    if (!statement.run())
        return failedWrite(*statement.failure());
    writeSucceeded();
    if (db_.changes() <= 0)
        return answer(false);
    recache(id);
    keepUpWithOwnWrites();
    countWrites(1);
    return answer(true);
}

bool FamilyStore::storedRowMatches(const SharedThing& thing, const QString& stepsJson)
{
    SqliteStatement query(db_, "SELECT title, done, due_day, zs, steps_json, note_plain, note_id, link, source_app, "
                               "deleted FROM things WHERE id = ?;");
    query.bindText(1, thing.id);
    if (query.step() != SqliteStatement::Step::Row)
        return false;
    return query.int64(9) == 0
        && query.text(0) == thing.title
        && (query.int64(1) != 0) == thing.done
        && query.text(2) == thing.day
        && query.int64(3) == thing.zs
        && query.text(4) == stepsJson
        && query.text(5) == thing.note
        && query.text(6) == thing.noteID
        && query.text(7) == thing.link
        && query.text(8) == thing.sourceApp;
}

bool FamilyStore::cacheIsCurrent() const
{
    return cacheValid_ && db_.dataVersion() == cacheVersion_;
}

void FamilyStore::forgetCache()
{
    lastGroups_.clear();
    cacheValid_ = false;
    cacheSeq_ = 0;
    touched_.clear();
    rowAt_.clear();
    order_.clear();
    cache_.clear();
    liveRows_.reset();
}

std::optional<qint64> FamilyStore::logSeq()
{
    SqliteStatement query(db_, selectLogSeq);
    if (query.step() != SqliteStatement::Step::Row)
        return std::nullopt;
    return query.int64(0);
}

std::optional<SqliteFailure> FamilyStore::loadCache(std::optional<qint64> knownVersion, std::optional<qint64> knownSeq)
{
    // Known rows need only what was written since: the change log numbers every write,
    // whoever made it and whatever their clock says.
    const std::optional<qint64> version = knownVersion ? knownVersion : db_.dataVersion();
    const std::optional<qint64> seq = knownSeq ? knownSeq : logSeq();
    const bool catchingUp = cacheValid_ && seq && *seq >= cacheSeq_;
    if (!catchingUp)
        forgetCache();
    liveRows_.reset();
    bool read = false;
    std::optional<SqliteFailure> failure;
    if (catchingUp) {
        SqliteStatement query(db_, "SELECT c.id, t.title, t.done, t.due_day, t.zs, t.steps_json, t.note_plain, "
                                   "t.note_id, t.link, t.source_app, t.deleted, t.deleted_by, t.id IS NULL "
                                   "FROM planner_changes c LEFT JOIN things t ON t.id = c.id WHERE c.seq > ?;");
        query.bindInt64(1, cacheSeq_);
        read = query.forEachRow([&](const SqliteStatement& found) {
            const QString id = found.text(0).value_or(QString());
            // The next publication compares these again, and needs no other row.
            touched_.insert(id);
            if (found.int64(12) != 0) {
                order_.clear();
                cache_.erase(id);
                return;
            }
            StoredRow row;
            readStored(found, row);
            cache_.insert_or_assign(id, std::move(row));
        });
        failure = query.failure();
    } else {
        SqliteStatement query(db_, (QByteArray(selectStored) + ";").constData());
        read = query.forEachRow([&](const SqliteStatement& found) {
            StoredRow row;
            readStored(found, row);
            cache_.insert_or_assign(found.text(0).value_or(QString()), std::move(row));
        });
        failure = query.failure();
    }
    if (!read) {
        forgetCache();
        failedRead(*failure);
        return failure;
    }
    readSucceeded();
    cacheValid_ = version.has_value() && seq.has_value();
    cacheVersion_ = version.value_or(0);
    cacheSeq_ = seq.value_or(0);
    return std::nullopt;
}

void FamilyStore::keepUpWithOwnWrites()
{
    // Our own commits leave data_version alone: while it has not moved since the cache
    // was read, every numbered write since is ours, and the cache holds it already.
    if (cacheIsCurrent()) {
        if (const auto seq = logSeq())
            cacheSeq_ = *seq;
    }
}

void FamilyStore::recache(const QString& id)
{
    if (!cacheValid_)
        return;
    liveRows_.reset();
    touched_.insert(id);
    SqliteStatement query(db_, (QByteArray(selectStored) + " WHERE id = ?;").constData());
    query.bindText(1, id);
    switch (query.step()) {
    case SqliteStatement::Step::Row: {
        StoredRow row;
        readStored(query, row);
        cache_.insert_or_assign(id, std::move(row));
        break;
    }
    case SqliteStatement::Step::Done:
        order_.clear();
        cache_.erase(id);
        break;
    case SqliteStatement::Step::Failed:
        forgetCache();
        break;
    }
}

FamilyStore::Answer FamilyStore::upsert(const SharedThing& thing)
{
    const QString stepsJson = pemby::encodeSharedSteps(thing.steps);
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    if (storedRowMatches(thing, stepsJson))
        return answer(false);
    SqliteStatement statement(db_, upsertRow);
    bindRow(statement, thing, stepsJson, now());
    return write(statement, thing.id);
}

FamilyStore::Publication FamilyStore::publish(const QList<SharedThing>& rows, const QString& app,
                                              std::optional<std::chrono::milliseconds> wait, const Guard& guard)
{
    return publish(RowGroups{rows}, app, wait, guard);
}

FamilyStore::Publication FamilyStore::publish(const RowGroups& groups, const QString& app,
                                              std::optional<std::chrono::milliseconds> wait, const Guard& guard)
{
    QMutexLocker lock(&mutex_);
    if (!begin(wait.value_or(busyTimeout_)))
        return {closedAnswer()};
    if (!mayWrite())
        return {refusedAnswer()};

    const auto sameGroups = [&] {
        if (lastGroups_.size() != groups.size() || lastGroupsApp_ != app)
            return false;
        for (qsizetype i = 0; i < groups.size(); ++i) {
            if (!groups[i].isSharedWith(lastGroups_[i]) && !(groups[i].isEmpty() && lastGroups_[i].isEmpty()))
                return false;
        }
        return true;
    };
    if (sameGroups() && cacheIsCurrent() && touched_.isEmpty()) {
        readSucceeded();
        return {answer(false), 0, now()};
    }
    std::vector<const SharedThing*> rows;
    qsizetype count = 0;
    for (const QList<SharedThing>& group : groups)
        count += group.size();
    rows.reserve(size_t(count));
    for (const QList<SharedThing>& group : groups) {
        for (const SharedThing& row : group)
            rows.push_back(&row);
    }
    // What the cache holds is what these groups published, but for the touched rows;
    // where each row stands is known, so the next publication need look only at the
    // groups that changed and the rows touched since.
    const auto remember = [&](bool incremental, const QList<qsizetype>& changedGroups, const QStringList& again) {
        if (!incremental) {
            // Made again when an increment first needs it.
            rowAt_.clear();
        } else {
            for (const qsizetype g : changedGroups) {
                for (qsizetype k = 0; k < lastGroups_[g].size(); ++k) {
                    const auto at = rowAt_.constFind(lastGroups_[g][k].id);
                    if (at != rowAt_.cend() && at->first == g)
                        rowAt_.erase(at);
                }
            }
            for (const qsizetype g : changedGroups) {
                for (qsizetype k = 0; k < groups[g].size(); ++k)
                    rowAt_.insert(groups[g][k].id, {g, k});
            }
        }
        lastGroups_ = groups;
        lastGroupsApp_ = app;
        touched_ = QSet<QString>(again.cbegin(), again.cend());
    };

    using Entry = std::pair<const QString, StoredRow>;
    struct Work {
        QList<const SharedThing*> upserts;
        QStringList vanished;
        QStringList refused;
        // The rows' entries in their order; none yet for a new row.
        std::vector<Entry*> order;
        // Every row was where the last publication had it.
        bool sameOrder = false;
        bool isEmpty() const { return upserts.isEmpty() && vanished.isEmpty(); }
    };
    // What the rows need of the file as the cache knows it. The last row of an id wins,
    // as its upsert would.
    const auto workFor = [&] {
        Work work;
        const quint64 publication = ++publications_;
        qsizetype seenLive = 0;
        // The rows name their app in a text of their own: once one is found equal to
        // `app`, the rest share it and are told by pointer. Held, so it stays that text.
        QString appText = app;
        const auto isApp = [&](const std::optional<QString>& text) {
            if (!text || text->size() != app.size())
                return false;
            if (text->constData() == appText.constData())
                return true;
            if (!sameCharacters(*text, app))
                return false;
            appText = *text;
            return true;
        };
        work.order.reserve(rows.size());
        size_t next = 0;
        // The stored rows are nodes spread over the heap, and waiting for each one's
        // memory is most of a pass: the rows a few places ahead in the last order are
        // asked for while this one is compared.
        constexpr size_t ahead = 8;
        for (const SharedThing* row : rows) {
            Entry* entry = nullptr;
            if (next + ahead < order_.size())
                prefetch(order_[next + ahead].entry);
            if (next < order_.size() && same(order_[next].id, row->id)) {
                entry = order_[next++].entry;
            } else if (const auto found = cache_.find(row->id); found != cache_.end()) {
                entry = &*found;
            }
            work.order.push_back(entry);
            if (!entry) {
                work.upserts.append(row);
                continue;
            }
            StoredRow& stored = entry->second;
            if (stored.seen != publication && !stored.deleted && isApp(stored.sourceApp))
                ++seenLive;
            stored.seen = publication;
            // Deleted by another app and not acknowledged: no upsert may revive it.
            if (stored.deleted && stored.deletedByOther)
                work.refused.append(row->id);
            else if (!stored.matches(*row))
                work.upserts.append(row);
        }
        work.sameOrder = next == rows.size() && next == order_.size();
        // Every live row of the app was named: none vanished, and the cache need not be
        // walked again.
        if (!liveRows_ || liveRows_->first != app) {
            qsizetype live = 0;
            for (const auto& [id, stored] : cache_)
                live += !stored.deleted && same(stored.sourceApp, app);
            liveRows_ = std::pair(app, live);
        }
        if (seenLive == liveRows_->second)
            return work;
        for (const auto& [id, stored] : cache_) {
            if (stored.seen != publication && !stored.deleted && same(stored.sourceApp, app))
                work.vanished.append(id);
        }
        return work;
    };

    // Only the groups that changed and the rows touched since: every other row is as
    // the last publication left it, in the plan and in the file.
    // Worth it only while few rows changed: otherwise the pass over every row in order
    // costs less than looking each one up. Decided once the cache is current.
    bool incremental = false;
    QList<qsizetype> changedGroups;
    const auto decide = [&] {
        changedGroups.clear();
        incremental = cacheValid_ && lastGroups_.size() == groups.size() && lastGroupsApp_ == app;
        if (!incremental)
            return;
        qsizetype changedRows = touched_.size();
        for (qsizetype i = 0; i < groups.size(); ++i) {
            if (!groups[i].isSharedWith(lastGroups_[i]) && !(groups[i].isEmpty() && lastGroups_[i].isEmpty())) {
                changedGroups.append(i);
                changedRows += groups[i].size() + lastGroups_[i].size();
            }
        }
        incremental = changedRows <= std::max<qsizetype>(64, qsizetype(rows.size()) / 16);
        if (incremental && rowAt_.isEmpty()) {
            for (qsizetype g = 0; g < lastGroups_.size(); ++g) {
                for (qsizetype k = 0; k < lastGroups_[g].size(); ++k)
                    rowAt_.insert(lastGroups_[g][k].id, {g, k});
            }
        }
    };
    const auto incrementalWork = [&] {
        Work work;
        QSet<QString> named;
        QSet<qsizetype> changed(changedGroups.cbegin(), changedGroups.cend());
        const auto compare = [&](const SharedThing& row) {
            const auto found = cache_.find(row.id);
            if (found == cache_.end())
                work.upserts.append(&row);
            else if (found->second.deleted && found->second.deletedByOther)
                work.refused.append(row.id);
            else if (!found->second.matches(row))
                work.upserts.append(&row);
        };
        for (const qsizetype g : changedGroups) {
            for (const SharedThing& row : groups[g]) {
                named.insert(row.id);
                compare(row);
            }
        }
        // Named by an unchanged group: still published there.
        const auto inUnchanged = [&](const QString& id) -> const SharedThing* {
            const auto at = rowAt_.constFind(id);
            if (at == rowAt_.cend() || changed.contains(at->first))
                return nullptr;
            return &groups[at->first][at->second];
        };
        QSet<QString> gone;
        for (const qsizetype g : changedGroups) {
            for (const SharedThing& row : lastGroups_[g]) {
                if (!named.contains(row.id) && !inUnchanged(row.id))
                    gone.insert(row.id);
            }
        }
        for (const QString& id : std::as_const(touched_)) {
            if (named.contains(id))
                continue;
            if (const SharedThing* row = inUnchanged(id))
                compare(*row);
            else
                gone.insert(id);
        }
        for (const QString& id : std::as_const(gone)) {
            const auto found = cache_.find(id);
            if (found != cache_.end() && !found->second.deleted && same(found->second.sourceApp, app))
                work.vanished.append(id);
        }
        return work;
    };
    const auto computeWork = [&] {
        decide();
        return incremental ? incrementalWork() : workFor();
    };

    if (!cacheIsCurrent()) {
        if (const auto failure = loadCache())
            return {failedAnswer(failure->message, failure->isBusy())};
    }
    const auto keepOrder = [&](const Work& work) {
        if (incremental)
            return;
        if (work.sameOrder)
            return;
        order_.clear();
        order_.reserve(work.order.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            Entry* entry = work.order[i];
            // Rows stored now for the first time join the order.
            if (!entry) {
                const auto found = cache_.find(rows[i]->id);
                entry = found != cache_.end() ? &*found : nullptr;
            }
            if (entry)
                order_.push_back({rows[i]->id, entry});
        }
    };
    // After a pass over every row, the groups held still say what the store holds but for
    // the rows touched since and those this publication touches. Keeping them spares
    // dropping their rows here, which costs more than the pass when no one else holds
    // them: the caller's rows are then the caller's to drop. Groups held elsewhere too
    // cost nothing to drop, and the new ones are known at once when they come again.
    const auto keepsHeld = [&] {
        return !incremental && lastGroupsApp_ == app && lastGroups_.isDetached()
            && std::any_of(lastGroups_.cbegin(), lastGroups_.cend(),
                           [](const QList<SharedThing>& group) { return !group.isEmpty() && group.isDetached(); });
    };
    Work work = computeWork();
    if (work.isEmpty()) {
        keepOrder(work);
        // A refused row must be answered as such next time too, not taken as published.
        if (keepsHeld())
            touched_.unite(QSet<QString>(work.refused.cbegin(), work.refused.cend()));
        else
            remember(incremental, changedGroups, work.refused);
        readSucceeded();
        Publication publication{answer(false), 0, now()};
        publication.refused = work.refused;
        return publication;
    }

    if (!db_.exec("BEGIN IMMEDIATE;", SqliteConnection::OnError::Quiet))
        return {failedWrite(db_.lastFailure())};
    const auto rollBack = [&](const SqliteFailure& failure) {
        db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
        // What the cache learnt of the writes just undone is wrong now.
        forgetCache();
        return Publication{failedWrite(failure)};
    };
    // A sibling may have committed between the look above and the lock.
    if (!cacheIsCurrent()) {
        if (const auto failure = loadCache()) {
            db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
            return {failedAnswer(failure->message, failure->isBusy())};
        }
        work = computeWork();
    }

    const double stamp = now();
    const std::optional<qint64> seqBefore = logSeq();
    RowsWritten out{0, {}, work.refused};
    if (const auto failure = writeRows(work.upserts, work.vanished, app, stamp, guard, out))
        return rollBack(*failure);
    const int written = out.written;
    const QStringList& heldBack = out.heldBack;
    const QStringList& refused = out.refused;
    // Every row numbered since the lock was taken was written by this publication: the
    // change log then says the store holds what the app published.
    if (seqBefore && written > 0) {
        SqliteStatement mine(db_, "UPDATE planner_changes SET mine = 1, before_known = 0 WHERE seq > ?;");
        mine.bindInt64(1, *seqBefore);
        if (!mine.run())
            return rollBack(*mine.failure());
    }
    if (!db_.exec("COMMIT;", SqliteConnection::OnError::Quiet))
        return rollBack(db_.lastFailure());
    keepOrder(work);
    // A held-back or refused row must be looked at again next time, not taken as published.
    if (keepsHeld()) {
        for (const QString& id : heldBack + refused + work.vanished)
            touched_.insert(id);
        for (const SharedThing* row : std::as_const(work.upserts))
            touched_.insert(row->id);
    } else {
        remember(incremental, changedGroups, heldBack + refused);
    }
    keepUpWithOwnWrites();
    return committed(std::move(out));
}

FamilyStore::Publication FamilyStore::committed(RowsWritten out)
{
    writeSucceeded();
    readSucceeded();
    countWrites(out.written);
    Publication publication{answer(out.written > 0), out.written, now()};
    publication.heldBack = std::move(out.heldBack);
    publication.refused = std::move(out.refused);
    return publication;
}

std::optional<SqliteFailure> FamilyStore::writeRows(const QList<const SharedThing*>& upserts,
                                                    const QStringList& vanished, const QString& app, double stamp,
                                                    const Guard& guard, RowsWritten& out)
{
    // The count of the app's live rows follows every row written, where it is kept.
    const auto liveOfApp = [&](const StoredRow& stored) { return !stored.deleted && same(stored.sourceApp, app); };
    SqliteStatement upsert(db_, upsertRow);
    for (const SharedThing* row : upserts) {
        // A row another app changed in a way the plan has not taken in yet is not
        // written over: the caller takes the change in first.
        if (guard) {
            const auto stored = cache_.find(row->id);
            if (stored != cache_.end() && !stored->second.deleted && same(stored->second.sourceApp, app)
                && !guard(row, stored->second.toShared(row->id))) {
                out.heldBack.append(row->id);
                continue;
            }
        }
        upsert.reset();
        const QString stepsJson = pemby::encodeSharedSteps(row->steps);
        bindRow(upsert, *row, stepsJson, stamp);
        if (!upsert.run())
            return upsert.failure();
        if (const auto before = cache_.find(row->id); before != cache_.end() && liveOfApp(before->second) && liveRows_)
            --liveRows_->second;
        if (db_.changes() <= 0) {
            // Only a row another app deleted, and its owner has not taken that over,
            // refuses an upsert: the cache learns it, so it is not tried again.
            StoredRow& stored = cache_[row->id];
            stored.deleted = true;
            stored.deletedByOther = true;
            out.refused.append(row->id);
            continue;
        }
        ++out.written;
        if (same(row->sourceApp, app) && liveRows_)
            ++liveRows_->second;
        cache_.insert_or_assign(row->id, StoredRow::written(*row, stepsJson));
    }
    SqliteStatement mark(db_, markRowDeleted);
    for (const QString& id : vanished) {
        if (guard) {
            const auto stored = cache_.find(id);
            if (stored != cache_.end() && !guard(nullptr, stored->second.toShared(id))) {
                out.heldBack.append(id);
                continue;
            }
        }
        mark.reset();
        mark.bindNull(1);
        mark.bindDouble(2, stamp);
        mark.bindText(3, id);
        if (!mark.run())
            return mark.failure();
        StoredRow& stored = cache_[id];
        if (liveRows_)
            --liveRows_->second;
        stored.deleted = true;
        // Not live in the file either (a sibling removed it): nothing was written.
        if (db_.changes() <= 0)
            continue;
        ++out.written;
        stored.deletedByOther = false;
    }
    return std::nullopt;
}

FamilyStore::Publication FamilyStore::publishChanged(const QList<SharedThing>& rows, const QStringList& gone,
                                                     const QString& app, std::optional<std::chrono::milliseconds> wait,
                                                     const Guard& guard)
{
    QMutexLocker lock(&mutex_);
    // Nothing of the plan changed: nothing to look at.
    if (rows.isEmpty() && gone.isEmpty() && db_.isOpen() && !fileFailure_ && !planted_)
        return {answer(false), 0, now()};
    if (!begin(wait.value_or(busyTimeout_)))
        return {closedAnswer()};
    // The schema is looked at under the lock below; one that needs making is made first.
    if ((schemaPending_ || planted_) && !mayWrite())
        return {refusedAnswer()};
    // The whole publication's bookkeeping of groups and order does not hold for a part:
    // a later whole one compares every row again.
    lastGroups_.clear();
    rowAt_.clear();
    order_.clear();
    liveRows_.reset();

    QList<const SharedThing*> upserts;
    QStringList vanished;
    QStringList refused;
    // What the rows need of the file as the cache knows it. The last row of an id wins,
    // as its upsert would.
    const auto computeWork = [&] {
        upserts.clear();
        vanished.clear();
        refused.clear();
        QSet<QString> named;
        for (const SharedThing& row : rows) {
            named.insert(row.id);
            const auto found = cache_.find(row.id);
            if (found == cache_.end())
                upserts.append(&row);
            else if (found->second.deleted && found->second.deletedByOther)
                refused.append(row.id);
            else if (!found->second.matches(row))
                upserts.append(&row);
        }
        for (const QString& id : gone) {
            if (named.contains(id))
                continue;
            const auto found = cache_.find(id);
            if (found != cache_.end() && !found->second.deleted && same(found->second.sourceApp, app))
                vanished.append(id);
        }
    };
    // Something of the plan changed: there is likely something to write, so the lock is
    // taken first and the rows compared with what the store holds under it.
    const auto rollBack = [&](const SqliteFailure& failure) {
        db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
        forgetCache();
        return Publication{failedWrite(failure)};
    };
    // Under the lock, in one look: whether anyone wrote since the cache was read, where
    // the change log stands, and whether a trigger or view was planted (which the
    // writes below would run) or one of ours went, which is made again first.
    std::optional<qint64> version;
    std::optional<qint64> seqBefore;
    for (int look = 0;; ++look) {
        if (!db_.exec("BEGIN IMMEDIATE;", SqliteConnection::OnError::Quiet))
            return {failedWrite(db_.lastFailure())};
        QList<SchemaEntry> entries;
        SqliteStatement state(db_, "SELECT (SELECT data_version FROM pragma_data_version), "
                                   "(SELECT coalesce(max(seq), 0) FROM planner_changes), m.type, m.name, m.sql "
                                   "FROM (SELECT 1) LEFT JOIN sqlite_master m ON m.type IN ('trigger', 'view');");
        const bool read = state.forEachRow([&](const SqliteStatement& row) {
            version = row.int64(0);
            seqBefore = row.int64(1);
            if (!row.isNull(3))
                entries.append({row.text(2), row.text(3), row.text(4)});
        });
        if (read)
            judgeSchema(entries);
        if (read && !planted_ && !schemaPending_)
            break;
        db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
        if (planted_)
            return {refusedAnswer()};
        if (!read && !state.isValid() && look == 0 && mayWrite())
            continue;  // the change log went: made again
        if (!read)
            return {failedAnswer(state.failure()->message, state.failure()->isBusy())};
        if (look > 0 || !mayWrite())
            // Another app kept the lock the schema needs: tried again shortly.
            return {planted_ ? refusedAnswer() : failedAnswer(QStringLiteral("the change log could not be made"), true)};
    }
    if (!cacheValid_ || version != cacheVersion_) {
        if (const auto failure = loadCache(version, seqBefore)) {
            db_.exec("ROLLBACK;", SqliteConnection::OnError::Quiet);
            return {failedAnswer(failure->message, failure->isBusy())};
        }
    }
    computeWork();
    if (upserts.isEmpty() && vanished.isEmpty()) {
        db_.exec("COMMIT;", SqliteConnection::OnError::Quiet);
        readSucceeded();
        Publication publication{answer(false), 0, now()};
        publication.refused = refused;
        return publication;
    }
    const double stamp = now();
    RowsWritten out{0, {}, refused};
    if (const auto failure = writeRows(upserts, vanished, app, stamp, guard, out))
        return rollBack(*failure);
    const int written = out.written;
    // Every row numbered since the lock was taken was written here; the newest number
    // is where the cache, which holds those rows already, stands afterwards.
    std::optional<qint64> seqAfter;
    if (seqBefore && written > 0) {
        SqliteStatement mine(db_, "UPDATE planner_changes SET mine = 1, before_known = 0 WHERE seq > ? RETURNING seq;");
        mine.bindInt64(1, *seqBefore);
        qint64 last = *seqBefore;
        if (!mine.forEachRow([&](const SqliteStatement& numbered) { last = std::max(last, numbered.int64(0)); }))
            return rollBack(*mine.failure());
        seqAfter = last;
    }
    if (!db_.exec("COMMIT;", SqliteConnection::OnError::Quiet))
        return rollBack(db_.lastFailure());
    // Our own commit leaves data_version alone, so the cache stays current.
    if (seqAfter && cacheValid_)
        cacheSeq_ = *seqAfter;
    return committed(std::move(out));
}

Result<FamilyStore::Changes> FamilyStore::changesSince(qint64 since)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return Error{closedReason()};
    const QByteArray columns = "SELECT t.id, t.title, t.done, t.due_day, t.zs, t.steps_json, t.note_plain, t.note_id, "
                               "t.link, t.source_app, t.updated_at, t.deleted, c.mine, c.before_known, "
                               "c.before_title, c.before_done, c.before_day, c.before_steps, c.before_note, "
                               "c.before_note_id, c.id ";
    Changes changes;
    const auto readChange = [&](const SqliteStatement& row) {
        Change change;
        change.row.id = row.text(0).value_or(row.text(20).value_or(QString()));
        change.live = !row.isNull(0) && row.int64(11) == 0;
        change.row.title = row.text(1).value_or(QString());
        change.row.done = row.int64(2) != 0;
        change.row.day = row.text(3);
        change.row.zs = row.int64(4);
        change.row.steps = pemby::decodeSharedSteps(row.text(5).value_or(emptySteps));
        change.row.note = row.text(6).value_or(QString());
        change.row.noteID = row.text(7);
        change.row.link = row.text(8);
        change.row.sourceApp = row.text(9).value_or(QString());
        change.row.updatedAt = row.real(10);
        change.publisherWroteLast = row.int64(12) != 0;
        if (!change.publisherWroteLast && row.int64(13) != 0) {
            change.before = Agreed{row.text(14).value_or(QString()), row.int64(15) != 0, row.text(16),
                                   pemby::decodeSharedSteps(row.text(17).value_or(emptySteps)),
                                   row.text(18).value_or(QString()), row.text(19)};
        }
        changes.rows.append(std::move(change));
    };
    // After a number the log gave: one statement, kept prepared, reads where the log
    // stands now and the rows numbered since, which is all a refresh after a sibling's
    // change needs.
    if (since > 0) {
        std::optional<qint64> top;
        bool read = false;
        bool valid = false;
        std::optional<SqliteFailure> failure;
        // A kept statement that fails for another reason than a lock (the log went, the
        // schema changed under it) is prepared anew once: that says what the file is now.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool kept = changesRead_ != nullptr;
            if (!kept) {
                changesRead_ = std::make_unique<SqliteStatement>(
                    db_, (columns + ", m.top FROM (SELECT coalesce(max(seq), 0) AS top FROM planner_changes) m "
                                    "LEFT JOIN planner_changes c ON c.seq > ? "
                                    "LEFT JOIN things t ON t.id = c.id;")
                             .constData());
            }
            SqliteStatement& query = *changesRead_;
            changes.rows.clear();
            top.reset();
            query.bindInt64(1, since);
            read = query.isValid() && query.forEachRow([&](const SqliteStatement& row) {
                top = row.int64(21);
                if (!row.isNull(20))
                    readChange(row);
            });
            valid = query.isValid();
            failure = query.failure();
            if (read) {
                query.reset();
                break;
            }
            changesRead_.reset();
            if (!kept || (failure && failure->isBusy()))
                break;
        }
        if (!read && valid)
            return failedRead(*failure);
        // A number beyond the log's belongs to another file: everything is new then.
        if (read && top && *top >= since) {
            changes.seq = *top;
            readSucceeded();
            return changes;
        }
        changes.rows.clear();
    }
    // A file we may not write (read-only, or holding a trigger we did not make) may lack
    // our change log: then every read reads it all.
    std::optional<qint64> seq = logSeq();
    const bool logged = seq.has_value();
    if (!logged)
        seq = 0;
    changes.whole = true;
    changes.seq = *seq;
    const char* const from = !logged ? "FROM things t LEFT JOIN (SELECT NULL AS id, 0 AS mine, 0 AS before_known, "
                                       "NULL AS before_title, NULL AS before_done, NULL AS before_day, "
                                       "NULL AS before_steps, NULL AS before_note, NULL AS before_note_id) c "
                                       "ON c.id = t.id;"
                                     : "FROM things t LEFT JOIN planner_changes c ON c.id = t.id;";
    SqliteStatement query(db_, (columns + from).constData());
    if (!query.forEachRow(readChange))
        return failedRead(*query.failure());
    readSucceeded();
    return changes;
}

Result<QList<SharedThing>> FamilyStore::allThings()
{
    return readThings(nullptr);
}

Result<QList<SharedThing>> FamilyStore::things(const QStringList& ids)
{
    return readThings(&ids);
}

Result<QList<SharedThing>> FamilyStore::readThings(const QStringList* ids)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return Error{closedReason()};
    QList<SharedThing> things;
    const char* const all = "SELECT id, title, done, due_day, zs, steps_json, note_plain, note_id, link, "
                            "source_app, updated_at FROM things WHERE deleted = 0";
    SqliteStatement query(db_, (QByteArray(all) + (ids ? " AND id = ?;" : ";")).constData());
    const auto each = [&](const SqliteStatement& row) {
        SharedThing thing;
        thing.id = row.text(0).value_or(QString());
        thing.title = row.text(1).value_or(QString());
        thing.done = row.int64(2) != 0;
        thing.day = row.text(3);
        thing.zs = row.int64(4);
        thing.steps = pemby::decodeSharedSteps(row.text(5).value_or(emptySteps));
        thing.note = row.text(6).value_or(QString());
        thing.noteID = row.text(7);
        thing.link = row.text(8);
        thing.sourceApp = row.text(9).value_or(QString());
        thing.updatedAt = row.real(10);
        things.append(std::move(thing));
    };
    bool read = true;
    if (!ids) {
        read = query.forEachRow(each);
    } else {
        for (const QString& id : *ids) {
            query.reset();
            query.bindText(1, id);
            if (!(read = query.forEachRow(each)))
                break;
        }
    }
    if (!read)
        return failedRead(*query.failure());
    readSucceeded();
    return things;
}

FamilyStore::Answer FamilyStore::markDeleted(const QString& id, const std::optional<QString>& by)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    SqliteStatement statement(db_, markRowDeleted);
    statement.bindOptionalText(1, by);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    return write(statement, id);
}

Result<QStringList> FamilyStore::deletedByOthers(const QString& app)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return Error{closedReason()};
    QStringList ids;
    SqliteStatement query(db_, "SELECT id FROM things WHERE source_app = ? AND deleted = 1 "
                               "AND deleted_by IS NOT NULL AND deleted_by != ?;");
    query.bindText(1, app);
    query.bindText(2, app);
    const bool read = query.forEachRow([&](const SqliteStatement& row) {
        if (auto id = row.text(0))
            ids.append(*id);
    });
    if (!read)
        return failedRead(*query.failure());
    readSucceeded();
    return ids;
}

FamilyStore::Answer FamilyStore::acknowledgeDelete(const QString& id)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    SqliteStatement statement(db_, "UPDATE things SET deleted_by = NULL WHERE id = ? AND deleted = 1 "
                                   "AND deleted_by IS NOT NULL;");
    statement.bindText(1, id);
    return write(statement, id);
}

FamilyStore::Answer FamilyStore::setDone(const QString& id, bool done, Wait wait)
{
    QMutexLocker lock(&mutex_);
    if (!begin(wait.value_or(busyTimeout_)))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    // No deleted condition: a tick still lands on a row that is marked deleted.
    SqliteStatement statement(db_, "UPDATE things SET done = ?, updated_at = ? WHERE id = ? AND done != ?;");
    statement.bindInt64(1, done ? 1 : 0);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindInt64(4, done ? 1 : 0);
    return write(statement, id);
}

FamilyStore::Answer FamilyStore::setNote(const QString& id, const std::optional<QString>& noteID, const QString& note)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    SqliteStatement statement(db_, "UPDATE things SET note_id = ?, note_plain = ?, updated_at = ? WHERE id = ? "
                                   "AND (note_id IS NOT ? OR note_plain != ?) AND deleted = 0;");
    statement.bindOptionalText(1, noteID);
    statement.bindText(2, note);
    statement.bindDouble(3, now());
    statement.bindText(4, id);
    statement.bindOptionalText(5, noteID);
    statement.bindText(6, note);
    return write(statement, id);
}

FamilyStore::Answer FamilyStore::setTitle(const QString& id, const QString& title, Wait wait)
{
    QMutexLocker lock(&mutex_);
    if (!begin(wait.value_or(busyTimeout_)))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    SqliteStatement statement(db_, "UPDATE things SET title = ?, updated_at = ? WHERE id = ? AND title != ? "
                                   "AND deleted = 0;");
    statement.bindText(1, title);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindText(4, title);
    return write(statement, id);
}

FamilyStore::Answer FamilyStore::setSteps(const QString& id, const QList<SharedStep>& steps)
{
    const QString json = pemby::encodeSharedSteps(steps);
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    SqliteStatement statement(db_, "UPDATE things SET steps_json = ?, updated_at = ? WHERE id = ? "
                                   "AND steps_json != ? AND deleted = 0;");
    statement.bindText(1, json);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindText(4, json);
    return write(statement, id);
}

FamilyStore::Answer FamilyStore::setDay(const QString& id, const std::optional<QString>& day)
{
    QMutexLocker lock(&mutex_);
    if (!begin(busyTimeout_))
        return closedAnswer();
    if (!mayWrite())
        return refusedAnswer();
    SqliteStatement statement(db_, "UPDATE things SET due_day = ?, updated_at = ? WHERE id = ? "
                                   "AND due_day IS NOT ? AND deleted = 0;");
    statement.bindOptionalText(1, day);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindOptionalText(4, day);
    return write(statement, id);
}
