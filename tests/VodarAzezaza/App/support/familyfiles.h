#pragma once
// What happens to the family store's file behind a running app: a sibling locks it,
// the user makes it read-only, a disk error damages it, someone deletes or replaces
// it. Shared by the store's tests and the model's.

#include <QString>
#include <QStringList>

#include <functional>

// Counts the log lines of one category that contain a text, while it lives.
class LogCounter {
public:
    LogCounter(const char* category, QString text);
    ~LogCounter();
    LogCounter(const LogCounter&) = delete;
    LogCounter& operator=(const LogCounter&) = delete;
    int operator()() const { return count_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QString category_;
    QString text_;
    int count_ = 0;
    QtMessageHandler previous_ = nullptr;
    QString previousRules_;
};

// Makes the file read-only for this process, root included (CI runs as root: there
// it takes the immutable flag). False when neither way is open here.
bool makeReadOnly(const QString& path);
// Undoes makeReadOnly; a temporary folder cannot remove an immutable file.
void makeWritable(const QString& path);

// Fills a database of `rows` things with titles long enough to span many pages, then
// writes over every page but the schema's, the way a failing disk does.
void writeDamagedDatabase(const QString& path, int rows = 400);

// Puts `bytes` in place of the file at once, as a restore from backup or a sync tool
// does: a new file renamed over the old one.
void replaceFile(const QString& path, const QByteArray& bytes);
// Removes the database file together with its WAL files.
void removeDatabase(const QString& path);
