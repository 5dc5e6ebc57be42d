#include "singleinstance.h"

#include "modelharness.h"
#include "privatebus.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(SingleInstanceTest, ALaterLaunchHandsItsLinkToTheFirstPlanner)
{
    ModelHarness harness;
    AppModel& model = harness.start();
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());

    SingleInstance first(bus.connect(QStringLiteral("first")));
    ASSERT_EQ(first.start(std::nullopt), SingleInstance::Outcome::First);
    QObject::connect(&first, &SingleInstance::openRequested, &model, [&model](const QString& url) { model.open(url); });
    QSignalSpy activations(&first, &SingleInstance::activateRequested);

    // Each later launch plays its own process: a connection of its own.
    SingleInstance second(bus.connect(QStringLiteral("second")));
    EXPECT_EQ(second.start(QStringLiteral("vodarazezaza://add?title=buy%20milk&day=2026-03-05")),
              SingleInstance::Outcome::Forwarded);
    EXPECT_TRUE(waitUntil([&] { return titlesOn(model, Place::onDay(Day{2026, 3, 5})) == QStringList{"buy milk"}; }));
    EXPECT_EQ(activations.count(), 0);

    SingleInstance third(bus.connect(QStringLiteral("third")));
    EXPECT_EQ(third.start(std::nullopt), SingleInstance::Outcome::Forwarded);
    EXPECT_TRUE(waitUntil([&] { return activations.count() == 1; }));
}

TEST(SingleInstanceTest, TheNameIsFreeAgainOnceTheFirstPlannerIsGone)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    auto first = std::make_unique<SingleInstance>(bus.connect(QStringLiteral("first")));
    ASSERT_EQ(first->start(std::nullopt), SingleInstance::Outcome::First);
    first.reset();

    SingleInstance next(bus.connect(QStringLiteral("next")));
    EXPECT_EQ(next.start(QStringLiteral("vodarazezaza://add?title=x")), SingleInstance::Outcome::First);
}

TEST(SingleInstanceTest, AHolderThatDoesNotAnswerLeavesTheLaunchToRunAlone)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    // Something holds the name but offers no planner there.
    QDBusConnection squatter = bus.connect(QStringLiteral("squatter"));
    ASSERT_TRUE(squatter.registerService(QString::fromLatin1(SingleInstance::serviceName)));

    SingleInstance launch(bus.connect(QStringLiteral("launch")));
    EXPECT_EQ(launch.start(QStringLiteral("vodarazezaza://add?title=x"), 2000), SingleInstance::Outcome::Alone);
}

TEST(SingleInstanceTest, WithoutABusThePlannerRunsAlone)
{
    SingleInstance alone(QDBusConnection(QStringLiteral("pemby-test-no-bus")));
    EXPECT_EQ(alone.start(QStringLiteral("vodarazezaza://add?title=x")), SingleInstance::Outcome::Alone);
}
