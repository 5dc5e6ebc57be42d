#include "familystore.h"

#include "logcategories.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

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

} // namespace

FamilyStore::FamilyStore(const QString& path, Clock clock, std::chrono::milliseconds busyTimeout)
    : path_(path)
    , clock_(std::move(clock))
{
    // The shared store lives until static destruction; touching the category first
    // makes it outlive the store, whose destructor may still log.
    (void)lcFamily();
    QMutexLocker lock(&mutex_);
    open(busyTimeout);
}

FamilyStore::~FamilyStore()
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return;
    db_.checkpointTruncate();
    db_.close();
}

std::optional<QString> FamilyStore::openError() const
{
    QMutexLocker lock(&mutex_);
    return openError_;
}

double FamilyStore::now() const
{
    const QDateTime at = clock_ ? clock_() : QDateTime::currentDateTimeUtc();
    return double(at.toMSecsSinceEpoch()) / 1000.0;
}

void FamilyStore::failOpen(const QString& text)
{
    openError_ = text;
    qCCritical(lcFamily, "family store didn't open: %s", qUtf8Printable(text));
    db_.close();
}

void FamilyStore::open(std::chrono::milliseconds busyTimeout)
{
    // A missing folder makes the open below fail, which says more than this would.
    QDir().mkpath(QFileInfo(path_).absolutePath());

    auto opened = SqliteConnection::open(path_);
    if (!opened.connection.isOpen()) {
        failOpen(opened.error && !opened.error->isEmpty() ? *opened.error
                                                          : QStringLiteral("couldn't open ") + path_);
        return;
    }
    db_ = std::move(opened.connection);
    db_.setBusyTimeout(int(busyTimeout.count()));

    db_.exec("PRAGMA journal_mode=WAL;");
    db_.exec("PRAGMA synchronous=NORMAL;");
    // A file that is not a database (or one we may not write) opens fine but fails
    // here; without the table every later call would fail quietly, so say so now.
    if (!db_.exec(createTable)) {
        failOpen(db_.errorMessage());
        return;
    }
    db_.exec(createIndex);
    // Fails harmlessly once the column exists, i.e. on every open after the first.
    db_.exec(addDeletedBy, SqliteConnection::OnError::Quiet);

    // Tombstones older than a week have served their purpose.
    SqliteStatement purge(db_, "DELETE FROM things WHERE deleted = 1 AND updated_at < ?;");
    purge.bindDouble(1, now() - tombstoneAge);
    purge.run();
}

void FamilyStore::countWrite()
{
    if (++writes_ < checkpointInterval)
        return;
    writes_ = 0;
    db_.checkpointTruncate();
}

bool FamilyStore::write(SqliteStatement& statement)
{
    // A step that failed (a sibling held the lock past the timeout, a full disk) wrote
    // nothing: it is logged, not counted, and reported as no change.
    if (!statement.run() || db_.changes() <= 0)
        return false;
    countWrite();
    return true;
}

bool FamilyStore::storedRowMatches(const SharedThing& thing, const QString& stepsJson) const
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

bool FamilyStore::upsert(const SharedThing& thing)
{
    const QString stepsJson = pemby::encodeSharedSteps(thing.steps);
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen() || storedRowMatches(thing, stepsJson))
        return false;
    SqliteStatement statement(db_, upsertRow);
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
    statement.bindDouble(11, now());
    return write(statement);
}

QList<SharedThing> FamilyStore::allThings() const
{
    QMutexLocker lock(&mutex_);
    QList<SharedThing> things;
    if (!db_.isOpen())
        return things;
    SqliteStatement query(db_, "SELECT id, title, done, due_day, zs, steps_json, note_plain, note_id, link, "
                               "source_app, updated_at FROM things WHERE deleted = 0;");
    while (query.step() == SqliteStatement::Step::Row) {
        SharedThing thing;
        thing.id = query.text(0).value_or(QString());
        thing.title = query.text(1).value_or(QString());
        thing.done = query.int64(2) != 0;
        thing.day = query.text(3);
        thing.zs = query.int64(4);
        thing.steps = pemby::decodeSharedSteps(query.text(5).value_or(QStringLiteral("[]")));
        thing.note = query.text(6).value_or(QString());
        thing.noteID = query.text(7);
        thing.link = query.text(8);
        thing.sourceApp = query.text(9).value_or(QString());
        thing.updatedAt = query.real(10);
        things.append(std::move(thing));
    }
    return things;
}

bool FamilyStore::markDeleted(const QString& id, const std::optional<QString>& by)
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    SqliteStatement statement(db_, "UPDATE things SET deleted = 1, deleted_by = ?, updated_at = ? "
                                   "WHERE id = ? AND deleted = 0;");
    statement.bindOptionalText(1, by);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    return write(statement);
}

QStringList FamilyStore::deletedByOthers(const QString& app) const
{
    QMutexLocker lock(&mutex_);
    QStringList ids;
    if (!db_.isOpen())
        return ids;
    SqliteStatement query(db_, "SELECT id FROM things WHERE source_app = ? AND deleted = 1 "
                               "AND deleted_by IS NOT NULL AND deleted_by != ?;");
    query.bindText(1, app);
    query.bindText(2, app);
    while (query.step() == SqliteStatement::Step::Row) {
        if (auto id = query.text(0))
            ids.append(*id);
    }
    return ids;
}

bool FamilyStore::acknowledgeDelete(const QString& id)
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    SqliteStatement statement(db_, "UPDATE things SET deleted_by = NULL WHERE id = ? AND deleted = 1 "
                                   "AND deleted_by IS NOT NULL;");
    statement.bindText(1, id);
    return write(statement);
}

bool FamilyStore::setDone(const QString& id, bool done)
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    // No deleted condition: a tick still lands on a row that is marked deleted.
    SqliteStatement statement(db_, "UPDATE things SET done = ?, updated_at = ? WHERE id = ? AND done != ?;");
    statement.bindInt64(1, done ? 1 : 0);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindInt64(4, done ? 1 : 0);
    return write(statement);
}

bool FamilyStore::setNote(const QString& id, const std::optional<QString>& noteID, const QString& note)
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    SqliteStatement statement(db_, "UPDATE things SET note_id = ?, note_plain = ?, updated_at = ? WHERE id = ? "
                                   "AND (note_id IS NOT ? OR note_plain != ?) AND deleted = 0;");
    statement.bindOptionalText(1, noteID);
    statement.bindText(2, note);
    statement.bindDouble(3, now());
    statement.bindText(4, id);
    statement.bindOptionalText(5, noteID);
    statement.bindText(6, note);
    return write(statement);
}

bool FamilyStore::setTitle(const QString& id, const QString& title)
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    SqliteStatement statement(db_, "UPDATE things SET title = ?, updated_at = ? WHERE id = ? AND title != ? "
                                   "AND deleted = 0;");
    statement.bindText(1, title);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindText(4, title);
    return write(statement);
}

bool FamilyStore::setSteps(const QString& id, const QList<SharedStep>& steps)
{
    const QString json = pemby::encodeSharedSteps(steps);
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    SqliteStatement statement(db_, "UPDATE things SET steps_json = ?, updated_at = ? WHERE id = ? "
                                   "AND steps_json != ? AND deleted = 0;");
    statement.bindText(1, json);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindText(4, json);
    return write(statement);
}

bool FamilyStore::setDay(const QString& id, const std::optional<QString>& day)
{
    QMutexLocker lock(&mutex_);
    if (!db_.isOpen())
        return false;
    SqliteStatement statement(db_, "UPDATE things SET due_day = ?, updated_at = ? WHERE id = ? "
                                   "AND due_day IS NOT ? AND deleted = 0;");
    statement.bindOptionalText(1, day);
    statement.bindDouble(2, now());
    statement.bindText(3, id);
    statement.bindOptionalText(4, day);
    return write(statement);
}
