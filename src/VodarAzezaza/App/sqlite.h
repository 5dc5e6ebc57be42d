#pragma once
// A thin RAII layer over the SQLite C API: one connection, one prepared statement.
// Every failure is logged with SQLite's own message, because sibling processes write
// the same file and a lost write must at least leave a trace.

#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

class SqliteConnection {
public:
    SqliteConnection() = default;
    ~SqliteConnection() { close(); }
    SqliteConnection(SqliteConnection&& other) noexcept;
    SqliteConnection& operator=(SqliteConnection&& other) noexcept;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    struct Opened;
    // Opens (and creates) the file read-write in full-mutex mode. On failure the text
    // is SQLite's message, or empty when SQLite gave no connection at all.
    static Opened open(const QString& path);

    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }
    QString errorMessage() const;

    // How long a statement waits for a lock held by another connection before it fails.
    void setBusyTimeout(int milliseconds);
    // Runs one or more statements without results; false on failure, logged unless
    // the caller expects it to fail.
    enum class OnError { Log, Quiet };
    bool exec(const char* sql, OnError onError = OnError::Log);
    // Rows changed by the last finished INSERT, UPDATE or DELETE.
    int changes() const;
    // Moves every WAL frame into the database and truncates the WAL file.
    bool checkpointTruncate();
    void close();

private:
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
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
    // Failed for an invalid statement, a failed bind or an error of SQLite (logged).
    Step step();
    // Steps a writing statement to its end; true when it finished without error.
    bool run() { return step() == Step::Done; }

    bool isNull(int column) const;
    // nullopt for NULL.
    std::optional<QString> text(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;

private:
    void checkBind(int rc, int index);

    const SqliteConnection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
    bool bindFailed_ = false;
};
