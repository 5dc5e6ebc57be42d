#include "appsettings.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(AppSettings, WhatIsWrittenReadsBackAndAnythingElseIsTheDefault)
{
    QTemporaryDir dir;
    QSettings file(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppSettings settings(file);

    const AppSettings::Values defaults = settings.read();
    EXPECT_EQ(defaults.firstWeekday, 0);
    EXPECT_TRUE(defaults.splitWeekend);
    EXPECT_FALSE(defaults.showCalendar);
    EXPECT_TRUE(defaults.showLists);
    EXPECT_TRUE(defaults.floats);
    EXPECT_TRUE(defaults.otherAppSlots.isEmpty());

    settings.writeFirstWeekday(2);
    settings.writeSplitWeekend(false);
    settings.writeShowCalendar(true);
    settings.writeShowLists(false);
    settings.writeFloats(false);
    settings.writeFocusLast(true);
    settings.writeOtherAppSlots({{QStringLiteral("X"), 3}});
    const AppSettings::Values written = settings.read();
    EXPECT_EQ(written.firstWeekday, 2);
    EXPECT_FALSE(written.splitWeekend);
    EXPECT_TRUE(written.showCalendar);
    EXPECT_FALSE(written.showLists);
    EXPECT_FALSE(written.floats);
    EXPECT_EQ(written.otherAppSlots, (QMap<QString, int>{{QStringLiteral("X"), 3}}));
    EXPECT_EQ(file.value(QStringLiteral("focus.last")).toString(), "true");

    // Text that is not exactly what the planner writes is no value at all.
    file.setValue(QStringLiteral("firstWeekday"), QStringLiteral("9"));
    file.setValue(QStringLiteral("splitWeekend"), QStringLiteral("no"));
    file.setValue(QStringLiteral("order.otherApps"), QStringLiteral("{\"X\": 1.5}"));
    const AppSettings::Values odd = settings.read();
    EXPECT_EQ(odd.firstWeekday, 0);
    EXPECT_TRUE(odd.splitWeekend);
    EXPECT_TRUE(odd.otherAppSlots.isEmpty());
}
