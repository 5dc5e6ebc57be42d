#include "privatefolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct stat statOf(const QString& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

bool isPrivateFolder(const QString& path)
{
    const struct stat info = statOf(path);
    return S_ISDIR(info.st_mode) && (info.st_mode & 0777) == 0700 && info.st_uid == ::geteuid();
}

} // namespace

TEST(PrivateFolderTest, TakesOnlyAFolderThatIsTrulyOurs)
{
    enum class Prepared { Nothing, OpenFolder, LinkToFolder, DanglingLink, File };
    struct Case {
        const char* name;
        Prepared prepared;
        bool taken;
    };
    const Case cases[] = {
        {"missing", Prepared::Nothing, true},
        {"our folder, open to others", Prepared::OpenFolder, true},
        {"a link to a folder", Prepared::LinkToFolder, false},
        {"a link to nothing yet", Prepared::DanglingLink, false},
        {"a file", Prepared::File, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("pemby-planner-demo-77");
        const QString target = dir.filePath("target");
        switch (c.prepared) {
        case Prepared::Nothing:
            break;
        case Prepared::OpenFolder:
            ASSERT_EQ(::mkdir(QFile::encodeName(path).constData(), 0777), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0777), 0);
            break;
        case Prepared::LinkToFolder:
            ASSERT_TRUE(QDir().mkpath(target));
            ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0755), 0);
            ASSERT_TRUE(QFile::link(target, path));
            break;
        case Prepared::DanglingLink:
            ASSERT_TRUE(QFile::link(target, path));
            break;
        case Prepared::File: {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            break;
        }
        }

        const QString made = pemby::makePrivateFolder(path);
        EXPECT_TRUE(isPrivateFolder(made)) << made.toStdString();
        if (c.taken) {
            EXPECT_EQ(made, path);
        } else {
            EXPECT_NE(made, path);
            EXPECT_TRUE(made.startsWith(path + u'-')) << made.toStdString();
        }
        // What a link pointed at is left exactly as it was.
        if (c.prepared == Prepared::LinkToFolder) {
            EXPECT_EQ(statOf(target).st_mode & 0777, 0755u);
        }
        if (c.prepared == Prepared::DanglingLink) {
            EXPECT_FALSE(QFile::exists(target));
        }
    }
}

TEST(PrivateFolderTest, RefusesAnotherUsersFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can hand a folder to another user";
    QTemporaryDir dir;
    const QString path = dir.filePath("pemby-planner-scratch-77");
    ASSERT_EQ(::mkdir(QFile::encodeName(path).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);

    const QString made = pemby::makePrivateFolder(path);
    EXPECT_TRUE(made.startsWith(path + u'-')) << made.toStdString();
    EXPECT_TRUE(isPrivateFolder(made));
    EXPECT_EQ(statOf(path).st_uid, 65534u);
}
