#include "sqlite.h"

#include "logcategories.h"

#include <sqlite3.h>

#include <utility>

SqliteConnection::SqliteConnection(SqliteConnection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr))
{
}

SqliteConnection& SqliteConnection::operator=(SqliteConnection&& other) noexcept
{
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

SqliteConnection::Opened SqliteConnection::open(const QString& path)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK)
        return {SqliteConnection(db), std::nullopt};
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

void SqliteConnection::setBusyTimeout(int milliseconds)
{
    if (db_)
        sqlite3_busy_timeout(db_, milliseconds);
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
    qCWarning(lcFamily, "sqlite: checkpoint failed: %s", sqlite3_errmsg(db_));
    return false;
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
    if (!connection.isOpen())
        return;
    if (sqlite3_prepare_v2(connection.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        qCWarning(lcFamily, "sqlite: couldn't prepare \"%s\": %s", sql, sqlite3_errmsg(connection.handle()));
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
    if (rc == SQLITE_OK)
        return;
    bindFailed_ = true;
    qCWarning(lcFamily, "sqlite: couldn't bind parameter %d of \"%s\": %s", index, sqlite3_sql(stmt_),
              sqlite3_errmsg(connection_.handle()));
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
    if (!stmt_ || bindFailed_)
        return Step::Failed;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    qCWarning(lcFamily, "sqlite: \"%s\" failed: %s", sqlite3_sql(stmt_), sqlite3_errmsg(connection_.handle()));
    return Step::Failed;
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
