#include "thingnotefiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString noteID = QStringLiteral("6f1c2b9e-3d4a-4c5b-8e7f-0a1b2c3d4e5f");

} // namespace

TEST(ThingNoteFiles, AStoredNoteIsItsFileAndABlankOneTakesTheFileAlong)
{
    QTemporaryDir dir;
    const ThingNoteFiles files(dir.filePath(QStringLiteral("notes")), true);

    const auto first = files.store(std::nullopt, QByteArray("{\\rtf1 milk}"), QStringLiteral("  milk \n"));
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(first->noteID);
    EXPECT_EQ(first->note, "milk");
    EXPECT_EQ(files.read(first->noteID), QByteArray("{\\rtf1 milk}"));

    const auto again = files.store(first->noteID, QByteArray("{\\rtf1 oat milk}"), QStringLiteral("oat milk"));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->noteID, first->noteID) << "the file keeps its name";

    // Text that came without its rich text keeps the file as it was.
    const auto refused = files.store(first->noteID, std::nullopt, QStringLiteral("lost"));
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(files.read(first->noteID), QByteArray("{\\rtf1 oat milk}"));

    const auto blank = files.store(first->noteID, QByteArray("{\\rtf1 }"), QStringLiteral(" \t"));
    ASSERT_TRUE(blank.ok());
    EXPECT_EQ(blank->noteID, std::nullopt);
    EXPECT_TRUE(QDir(files.folder()).entryList(QDir::Files).isEmpty());
}

TEST(ThingNoteFiles, OnlyAUuidNamesAFileAndARunThatOnlyLooksWritesNothing)
{
    QTemporaryDir dir;
    const ThingNoteFiles files(dir.filePath(QStringLiteral("notes")), true);
    EXPECT_FALSE(files.write(QStringLiteral("../escape"), "x").ok());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("escape.rtf"))));
    ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("outside.rtf"))).open(QIODevice::WriteOnly));
    EXPECT_EQ(files.read(QStringLiteral("../outside")), std::nullopt);
    files.remove(QStringLiteral("../outside"));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("outside.rtf"))));

    const ThingNoteFiles looking(dir.filePath(QStringLiteral("notes")), false);
    EXPECT_FALSE(looking.write(noteID, "x").ok());
    EXPECT_FALSE(looking.store(std::nullopt, QByteArray("x"), QStringLiteral("x")).ok());
    EXPECT_FALSE(QDir(looking.folder()).exists());
}
