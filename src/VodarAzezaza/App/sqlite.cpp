#include "sqlite.h"

#include "logcategories.h"

#include <sqlite3.h>

#include <algorithm>
#include <thread>
#include <utility>

namespace {

// SQLite's busy handler: waits a little and asks again until the connection's deadline.
int waitForLock(void* context, int attempt)
{
    using namespace std::chrono_literals;
    const auto deadline = *static_cast<const SqliteConnection::Clock::time_point*>(context);
    const auto now = SqliteConnection::Clock::now();
    if (now >= deadline)
        return 0;
    // Short pauses first: most locks are held for a single small transaction.
    static constexpr std::chrono::milliseconds pauses[] = {1ms, 2ms, 5ms, 10ms, 15ms, 20ms, 25ms, 50ms};
    const auto pause = pauses[std::min<size_t>(size_t(attempt), std::size(pauses) - 1)];
    std::this_thread::sleep_for(std::min<SqliteConnection::Clock::duration>(pause, deadline - now));
    return 1;
}

} // namespace

bool SqliteFailure::isBusy() const
{
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

SqliteFailure SqliteFailure::readOnly()
{
    return {SQLITE_READONLY, QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY))};
}

SqliteConnection::SqliteConnection(sqlite3* db)
    : db_(db)
    , deadline_(std::make_unique<Clock::time_point>(Clock::now()))
{
    sqlite3_busy_handler(db_, &waitForLock, deadline_.get());
}

SqliteConnection::SqliteConnection(SqliteConnection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr))
    , deadline_(std::move(other.deadline_))
{
}

SqliteConnection& SqliteConnection::operator=(SqliteConnection&& other) noexcept
{
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        deadline_ = std::move(other.deadline_);
    }
    return *this;
}

SqliteConnection::Opened SqliteConnection::open(const QString& path)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        return {SqliteConnection(db), std::nullopt};
    }
    QString error;
    if (db) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
    }
    return {SqliteConnection(), error};
}

QString SqliteConnection::errorMessage() const
{
    return db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("no database connection");
}

SqliteFailure SqliteConnection::lastFailure() const
{
    return {db_ ? sqlite3_extended_errcode(db_) : SQLITE_MISUSE, errorMessage()};
}

void SqliteConnection::waitUntil(Clock::time_point deadline)
{
    if (deadline_)
        *deadline_ = deadline;
}

bool SqliteConnection::exec(const char* sql, OnError onError)
{
    if (!db_)
        return false;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    if (onError == OnError::Log)
        qCWarning(lcFamily, "sqlite: \"%s\" failed: %s", sql, sqlite3_errmsg(db_));
    return false;
}

int SqliteConnection::changes() const
{
    return db_ ? sqlite3_changes(db_) : 0;
}

bool SqliteConnection::checkpointTruncate()
{
    if (!db_)
        return false;
    if (sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) == SQLITE_OK)
        return true;
    // A sibling reading at the time keeps its frames; the next checkpoint takes them.
    if (lastFailure().isBusy())
        qCInfo(lcFamily, "sqlite: checkpoint waits for a reader: %s", sqlite3_errmsg(db_));
    else
        qCWarning(lcFamily, "sqlite: checkpoint failed: %s", sqlite3_errmsg(db_));
    return false;
}

bool SqliteConnection::hasMoved() const
{
    if (!db_)
        return false;
    int moved = 0;
    return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

bool SqliteConnection::isReadOnly() const
{
    return db_ && sqlite3_db_readonly(db_, "main") == 1;
}

std::optional<qint64> SqliteConnection::dataVersion() const
{
    SqliteStatement query(*this, "PRAGMA data_version;");
    if (query.step() != SqliteStatement::Step::Row)
        return std::nullopt;
    return query.int64(0);
}

void SqliteConnection::close()
{
    if (!db_)
        return;
    if (sqlite3_close(db_) != SQLITE_OK)
        qCWarning(lcFamily, "sqlite: close failed: %s", sqlite3_errmsg(db_));
    db_ = nullptr;
}

SqliteStatement::SqliteStatement(const SqliteConnection& connection, const char* sql)
    : connection_(connection)
{
    if (!connection.isOpen()) {
        failure_ = SqliteFailure{SQLITE_MISUSE, connection.errorMessage()};
        return;
    }
    if (sqlite3_prepare_v2(connection.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        failure_ = connection.lastFailure();
        qCWarning(lcFamily, "sqlite: couldn't prepare \"%s\": %s", sql, qUtf8Printable(failure_->message));
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(stmt_);
}

void SqliteStatement::checkBind(int rc, int index)
{
    if (rc == SQLITE_OK || failure_)
        return;
    failure_ = connection_.lastFailure();
    qCWarning(lcFamily, "sqlite: couldn't bind parameter %d of \"%s\": %s", index, sqlite3_sql(stmt_),
              qUtf8Printable(failure_->message));
}

void SqliteStatement::bindText(int index, const QString& text)
{
    if (!stmt_)
        return;
    const QByteArray utf8 = text.toUtf8();
    checkBind(sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT), index);
}

void SqliteStatement::bindOptionalText(int index, const std::optional<QString>& text)
{
    if (text)
        bindText(index, *text);
    else
        bindNull(index);
}

void SqliteStatement::bindInt64(int index, qint64 value)
{
    if (stmt_)
        checkBind(sqlite3_bind_int64(stmt_, index, value), index);
}

void SqliteStatement::bindDouble(int index, double value)
{
    if (stmt_)
        checkBind(sqlite3_bind_double(stmt_, index, value), index);
}

void SqliteStatement::bindNull(int index)
{
    if (stmt_)
        checkBind(sqlite3_bind_null(stmt_, index), index);
}

SqliteStatement::Step SqliteStatement::step()
{
    if (!stmt_ || failure_)
        return Step::Failed;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    failure_ = connection_.lastFailure();
    // The operation that met the lock tells of it, once per wait; the quick tries that
    // follow a long lock would only fill the log.
    if (failure_->isBusy())
        qCDebug(lcFamily, "sqlite: \"%s\" waits for another app: %s", sqlite3_sql(stmt_),
               qUtf8Printable(failure_->message));
    else
        qCWarning(lcFamily, "sqlite: \"%s\" failed: %s", sqlite3_sql(stmt_), qUtf8Printable(failure_->message));
    return Step::Failed;
}

bool SqliteStatement::forEachRow(const std::function<void(const SqliteStatement&)>& row)
{
    for (;;) {
        switch (step()) {
        case Step::Row:
            row(*this);
            break;
        case Step::Done:
            return true;
        case Step::Failed:
            return false;
        }
    }
}

void SqliteStatement::reset()
{
    if (!stmt_)
        return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    failure_.reset();
}

bool SqliteStatement::isNull(int column) const
{
    return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::optional<QString> SqliteStatement::text(int column) const
{
    if (isNull(column))
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, column));
}

qint64 SqliteStatement::int64(int column) const
{
    return stmt_ ? sqlite3_column_int64(stmt_, column) : 0;
}

double SqliteStatement::real(int column) const
{
    return stmt_ ? sqlite3_column_double(stmt_, column) : 0.0;
}
