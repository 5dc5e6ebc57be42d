#pragma once
// A thin RAII layer over the SQLite C API: one connection, one prepared statement.
// Every failure is logged with SQLite's own message, because sibling processes write
// the same file and a lost write must at least leave a trace.

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// Why a statement failed: SQLite's extended result code and its message.
struct SqliteFailure {
    int code = 0;
    QString message;
    // Another connection held a lock past the wait: it passes when that connection is done.
    bool isBusy() const;
    // What every write to a file opened read-only answers.
    static SqliteFailure readOnly();
};

class SqliteConnection {
public:
    using Clock = std::chrono::steady_clock;

    SqliteConnection() = default;
    ~SqliteConnection() { close(); }
    SqliteConnection(SqliteConnection&& other) noexcept;
    SqliteConnection& operator=(SqliteConnection&& other) noexcept;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    struct Opened;
    // Opens (and creates) the file read-write in full-mutex mode. On failure the text
    // is SQLite's message, or empty when SQLite gave no connection at all. A file the
    // process may not write is opened read-only (see isReadOnly).
    static Opened open(const QString& path);

    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }
    QString errorMessage() const;
    // The connection's last failure, as SQLite reports it right now.
    SqliteFailure lastFailure() const;

    // Statements that meet another connection's lock wait for it until this moment,
    // then fail busy; the moment is shared by every statement until it is set again,
    // so an operation of many statements waits once at most.
    void waitUntil(Clock::time_point deadline);
    void waitFor(std::chrono::milliseconds wait) { waitUntil(Clock::now() + wait); }

    // Runs one or more statements without results; false on failure, logged unless
    // the caller expects it to fail.
    enum class OnError { Log, Quiet };
    bool exec(const char* sql, OnError onError = OnError::Log);
    // Rows changed by the last finished INSERT, UPDATE or DELETE.
    int changes() const;
    // Moves every WAL frame into the database and truncates the WAL file.
    bool checkpointTruncate();
    // The file at the path is no longer the one this connection has open: it was
    // deleted, or another file took its place.
    bool hasMoved() const;
    bool isReadOnly() const;
    // Changes when another connection commits to the database; this connection's own
    // commits leave it alone. nullopt when it cannot be read.
    std::optional<qint64> dataVersion() const;
    void close();

private:
    explicit SqliteConnection(sqlite3* db);
    sqlite3* db_ = nullptr;
    // Where the busy handler finds the deadline; on the heap so a move keeps it in place.
    std::unique_ptr<Clock::time_point> deadline_;
};

struct SqliteConnection::Opened {
    SqliteConnection connection;
    std::optional<QString> error;
};

class SqliteStatement {
public:
    // Prepares `sql`; a statement that does not prepare is invalid and logged.
    SqliteStatement(const SqliteConnection& connection, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool isValid() const { return stmt_ != nullptr; }

    // Indexes are 1-based, as in SQL. A failed bind makes the next step fail.
    void bindText(int index, const QString& text);
    void bindOptionalText(int index, const std::optional<QString>& text);
    void bindInt64(int index, qint64 value);
    void bindDouble(int index, double value);
    void bindNull(int index);

    enum class Step { Row, Done, Failed };
    // Failed for an invalid statement, a failed bind or an error of SQLite (logged;
    // a busy answer only as information, it is expected while a sibling writes).
    Step step();
    // Steps a writing statement to its end; true when it finished without error.
    bool run() { return step() == Step::Done; }
    // Steps through every row of a query, handing each to `row`; false when a step
    // failed, and failure() says why.
    bool forEachRow(const std::function<void(const SqliteStatement&)>& row);
    // Ready to be bound and stepped again, with every parameter NULL.
    void reset();
    // What made the statement fail to prepare, bind or step; nullopt while it has not.
    const std::optional<SqliteFailure>& failure() const { return failure_; }

    bool isNull(int column) const;
    // nullopt for NULL.
    std::optional<QString> text(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;

private:
    void checkBind(int rc, int index);

    const SqliteConnection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
    std::optional<SqliteFailure> failure_;
};
