#include "modelholder.h"

#include "launch.h"
#include "modelharness.h"
#include "otherapps.h"
#include "plannersettings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <gtest/gtest.h>

TEST(ModelHolderTest, SwapsInOrderAndDeletesTheOldModelLater)
{
    ModelHarness harness;
    ModelHarness next;
    ModelHolder holder;
    QStringList steps;
    QPointer<AppModel> seenOld;
    QObject::connect(&holder, &ModelHolder::replacing, [&](AppModel* old) {
        // The views still find the old model everywhere.
        EXPECT_EQ(holder.model(), old);
        EXPECT_EQ(harness.panel->hidden, 0);
        seenOld = old;
        steps.append(QStringLiteral("replacing"));
    });
    QObject::connect(&holder, &ModelHolder::modelChanged, [&](AppModel* model) {
        EXPECT_EQ(holder.model(), model);
        steps.append(QStringLiteral("changed"));
    });

    // The first model has nothing to replace.
    auto first = std::make_unique<AppModel>(harness.folder(), harness.today, &harness.settings(), harness.family(),
                                            harness.notesFolder(), harness.notesAppFolder(), harness.services());
    AppModel* firstModel = first.get();
    holder.replace(std::move(first));
    EXPECT_EQ(steps, QStringList{"changed"});
    EXPECT_EQ(holder.model(), firstModel);

    // Replacing the model with itself changes nothing and deletes nothing.
    holder.replace(std::unique_ptr<AppModel>(firstModel));
    EXPECT_EQ(steps, QStringList{"changed"});

    auto second = std::make_unique<AppModel>(next.folder(), next.today, &next.settings(), next.family(),
                                             next.notesFolder(), next.notesAppFolder(), next.services());
    AppModel* secondModel = second.get();
    steps.clear();
    holder.replace(std::move(second));
    EXPECT_EQ(steps, (QStringList{"replacing", "changed"}));
    EXPECT_EQ(holder.model(), secondModel);
    // The old panel was put away before the switch, and the old model lives until the
    // event loop is back.
    EXPECT_EQ(harness.panel->hidden, 1);
    ASSERT_TRUE(seenOld);
    EXPECT_EQ(seenOld.data(), firstModel);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(seenOld);
}

TEST(ModelHolderTest, AModelOfALaunchTakesItsSettingsAndScratchStoreAlong)
{
    // Built and dropped through the holder, a demo model's own settings and family
    // store go with it; the sanitizers see any use after they went.
    ModelHarness harness;
    QTemporaryDir tmp;
    Launch::Host host;
    host.tempFolder = tmp.path();
    host.pid = 7;
    host.standardSettings = [&] { return std::make_unique<QSettings>(tmp.filePath("standard.ini"), QSettings::IniFormat); };
    host.demoSettings = [&] { return std::make_unique<QSettings>(tmp.filePath("demo.ini"), QSettings::IniFormat); };
    host.currentDay = [] { return Day{2026, 11, 10}; };
    host.services = [&] { return harness.services(); };
    const Launch demo = Launch::parse({}, {"planner", "-demo"});

    ModelHolder holder;
    holder.replace(demo.makeModel(host));
    holder.model()->settings().setSplitWeekend(false);
    holder.replace(demo.makeModel(host));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Each demo starts on empty settings.
    EXPECT_TRUE(holder.model()->settings().splitWeekend());
    EXPECT_EQ(holder.model()->otherApps().todayFromOthers().size(), 1);
}
