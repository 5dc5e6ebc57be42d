#include "familyfiles.h"

#include "familystore.h"
#include "sqlite.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

LogCounter* current = nullptr;

bool writable(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite);
}

bool runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

LogCounter::LogCounter(const char* category, QString text)
    : category_(QString::fromLatin1(category))
    , text_(std::move(text))
{
    current = this;
    // Information lines may be filtered out where the tests run; these must be heard.
    QLoggingCategory::setFilterRules(category_ + QStringLiteral(".info=true"));
    previous_ = qInstallMessageHandler(&LogCounter::handle);
}

LogCounter::~LogCounter()
{
    qInstallMessageHandler(previous_);
    QLoggingCategory::setFilterRules(QString());
    current = nullptr;
}

void LogCounter::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (current && context.category && current->category_ == QLatin1String(context.category)
        && message.contains(current->text_))
        ++current->count_;
    if (current && current->previous_)
        current->previous_(type, context, message);
}

bool makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (!writable(path))
        return true;
    runTool(QStringLiteral("chattr"), {QStringLiteral("+i"), path});
    return !writable(path);
}

void makeWritable(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    if (!writable(path))
        runTool(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                    | QFileDevice::ReadOther);
}

void writeDamagedDatabase(const QString& path, int rows)
{
    {
        FamilyStore store(path);
        QList<SharedThing> things;
        for (int i = 0; i < rows; ++i) {
            SharedThing thing;
            thing.id = QStringLiteral("ROW-%1").arg(i, 4, 10, QLatin1Char('0'));
            thing.title = QString(200, QLatin1Char('a' + i % 26));
            thing.sourceApp = QStringLiteral("todo");
            things.append(thing);
        }
        ASSERT_TRUE(store.publish(things, QStringLiteral("todo")).answer.isChanged());
    }  // closing checkpoints everything into the file
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pages = file.size() / 4096;
    ASSERT_GT(pages, 10);
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char(i * 131 + 7);
    for (qint64 page = 2; page < pages; ++page) {
        file.seek(page * 4096);
        file.write(junk);
    }
}

void replaceFile(const QString& path, const QByteArray& bytes)
{
    const QString staged = path + QStringLiteral(".new");
    QFile file(staged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(path).constData()), 0);
}

void removeDatabase(const QString& path)
{
    for (const QString& name : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
        QFile::remove(name);
}
