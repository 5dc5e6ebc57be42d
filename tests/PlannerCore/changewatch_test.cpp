#include "changewatch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    ASSERT_TRUE(file.open(mode)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Moves the file's times without writing it, as a sync client may.
void touch(const QString& path, long seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

int queuedEventsLimit()
{
    QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    if (limit.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const int value = limit.readAll().trimmed().toInt(&ok);
        if (ok && value > 0)
            return value;
    }
    return 16384;
}

struct WatchCase {
    const char* name;
    std::function<void(const QString& folder)> change;
    bool everything;
    QSet<QString> names;
};

class ChangeWatchTest : public ::testing::TestWithParam<WatchCase> {};

// Each change to a folder holding a.md and b.md is told by name, or, where the watch
// cannot be sure, as "look at everything"; either way the watch goes on telling the
// next change by name.
TEST_P(ChangeWatchTest, TellsTheChangedEntriesOrThatItCannotBeSure)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/a.md"), "a\n");
    writeFile(folder + QStringLiteral("/b.md"), "b\n");

    ChangeWatch watch(folder);
    GetParam().change(folder);
    const ChangeWatch::Changes changes = watch.take();
    EXPECT_EQ(changes.everything, GetParam().everything);
    if (!GetParam().everything) {
        EXPECT_EQ(changes.names, GetParam().names);
    }

    const ChangeWatch::Changes quiet = watch.take();
    EXPECT_FALSE(quiet.everything);
    EXPECT_TRUE(quiet.names.isEmpty());
    writeFile(folder + QStringLiteral("/b.md"), "after\n", QIODevice::Append);
    const ChangeWatch::Changes next = watch.take();
    EXPECT_FALSE(next.everything);
    EXPECT_EQ(next.names, QSet<QString>{QStringLiteral("b.md")});
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangeWatchTest,
    ::testing::Values(
        WatchCase{"Nothing", [](const QString&) {}, false, {}},
        WatchCase{"WriteInPlace",
                  [](const QString& folder) { writeFile(folder + QStringLiteral("/a.md"), "more\n", QIODevice::Append); },
                  false, {QStringLiteral("a.md")}},
        WatchCase{"TimesOnly", [](const QString& folder) { touch(folder + QStringLiteral("/a.md"), 1'000'000); }, false,
                  {QStringLiteral("a.md")}},
        WatchCase{"RenameOver",
                  [](const QString& folder) {
                      writeFile(folder + QStringLiteral("/.a.tmp"), "new\n");
                      ASSERT_EQ(::rename(QFile::encodeName(folder + QStringLiteral("/.a.tmp")).constData(),
                                         QFile::encodeName(folder + QStringLiteral("/a.md")).constData()),
                                0);
                  },
                  false, {QStringLiteral(".a.tmp"), QStringLiteral("a.md")}},
        WatchCase{"NewFile", [](const QString& folder) { writeFile(folder + QStringLiteral("/c.md"), "c\n"); }, false,
                  {QStringLiteral("c.md")}},
        WatchCase{"Delete", [](const QString& folder) { ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/a.md"))); },
                  false, {QStringLiteral("a.md")}},
        WatchCase{"NewLink",
                  [](const QString& folder) { ASSERT_TRUE(QFile::link(QStringLiteral("/etc/hostname"), folder + QStringLiteral("/d.md"))); },
                  false, {QStringLiteral("d.md")}},
        WatchCase{"FolderMovedAwayAndBack",
                  [](const QString& folder) {
                      ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(".away")));
                      writeFile(folder + QStringLiteral(".away/a.md"), "changed while away\n", QIODevice::Append);
                      ASSERT_TRUE(QDir().rename(folder + QStringLiteral(".away"), folder));
                  },
                  true, {}},
        WatchCase{"FolderReplaced",
                  [](const QString& folder) {
                      ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(".old")));
                      ASSERT_TRUE(QDir().mkpath(folder));
                      writeFile(folder + QStringLiteral("/b.md"), "another b\n");
                  },
                  true, {}},
        WatchCase{"QueueOverflowed",
                  [](const QString& folder) {
                      // Alternating, so that the kernel cannot fold two notices into one.
                      const int events = queuedEventsLimit() + 16;
                      for (int i = 0; i < events; ++i)
                          touch(folder + (i % 2 ? QStringLiteral("/a.md") : QStringLiteral("/b.md")), 1'000'000 + i);
                  },
                  true, {}}),
    [](const ::testing::TestParamInfo<WatchCase>& info) { return std::string(info.param.name); });

TEST(ChangeWatch, AFolderMadeAfterTheWatchIsWatchedFromTheFirstLookThatFindsIt)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath(QStringLiteral("later"));
    ChangeWatch watch(folder);
    EXPECT_TRUE(watch.take().everything);
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/a.md"), "a\n");
    EXPECT_TRUE(watch.take().everything);  // found now: what it held before is unknown
    writeFile(folder + QStringLiteral("/b.md"), "b\n");
    const ChangeWatch::Changes changes = watch.take();
    EXPECT_FALSE(changes.everything);
    EXPECT_EQ(changes.names, QSet<QString>{QStringLiteral("b.md")});
}

TEST(ChangeWatch, AFolderOnAFileSystemThatMayNotTellEveryChangeIsAlwaysLookedAtWhole)
{
    // /proc stands for any such file system here: its entries change unannounced.
    ChangeWatch watch(QStringLiteral("/proc"));
    EXPECT_TRUE(watch.take().everything);
    EXPECT_TRUE(watch.take().everything);
}

TEST(ChangeWatch, OnlyLocalFileSystemsAreTrustedToTellEveryChange)
{
    const struct {
        const char* name;
        long type;
        bool trusted;
    } cases[] = {
        {"ext4", 0xEF53, true},         {"btrfs", 0x9123683E, true},   {"xfs", 0x58465342, true},
        {"tmpfs", 0x01021994, true},    {"f2fs", 0xF2F52010, true},    {"nfs", 0x6969, false},
        {"cifs", 0xFF534D42, false},    {"smb2", 0xFE534D42, false},   {"fuse", 0x65735546, false},
        {"overlay", 0x794C7630, false}, {"9p", 0x01021997, false},     {"ceph", 0x00C36400, false},
        {"proc", 0x9FA0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChangeWatch::tellsEveryChange(c.type), c.trusted) << c.name;
}

} // namespace
