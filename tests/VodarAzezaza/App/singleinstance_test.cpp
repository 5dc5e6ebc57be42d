#include "singleinstance.h"

#include "modelharness.h"
#include "privatebus.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>

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

TEST(SingleInstanceTest, AFloodOfLinksIsTakenInSmallStepsAndRefusedBeyondTheRate)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    SingleInstance first(bus.connect(QStringLiteral("first")));
    ASSERT_EQ(first.start(std::nullopt), SingleInstance::Outcome::First);
    // Turns of the event loop, counted by a timer of the loop's own.
    int turn = 0;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] { ++turn; });
    turns.start();
    QMap<int, int> openedPerTurn;
    QStringList opened;
    QObject::connect(&first, &SingleInstance::openRequested, [&](const QString& url) {
        ++openedPerTurn[turn];
        opened.append(url);
    });

    QDBusConnection flood = bus.connect(QStringLiteral("flood"));
    constexpr int calls = 1000;
    QList<QDBusPendingCall> replies;
    for (int i = 0; i < calls; ++i) {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SingleInstance::serviceName),
                                                           QString::fromLatin1(SingleInstance::objectPath),
                                                           QString::fromLatin1(SingleInstance::interfaceName),
                                                           QStringLiteral("Open"));
        call << QStringLiteral("vodarazezaza://add?title=%1").arg(i);
        replies.append(flood.asyncCall(call));
    }
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(replies.cbegin(), replies.cend(), [](const QDBusPendingCall& r) { return r.isFinished(); });
    }, 20000));
    int accepted = 0;
    for (const QDBusPendingCall& reply : std::as_const(replies)) {
        if (reply.isError())
            EXPECT_EQ(reply.error().name(), SingleInstance::tooManyError);
        else
            ++accepted;
    }
    EXPECT_GE(accepted, SingleInstance::openBurst);
    EXPECT_LT(accepted, calls / 2);
    ASSERT_TRUE(waitUntil([&] { return opened.size() == accepted; }));
    // In the order they came, the first ones first, and never many in one turn.
    EXPECT_EQ(opened.first(), "vodarazezaza://add?title=0");
    EXPECT_EQ(opened[SingleInstance::openBurst - 1], QStringLiteral("vodarazezaza://add?title=%1").arg(SingleInstance::openBurst - 1));
    for (auto it = openedPerTurn.cbegin(); it != openedPerTurn.cend(); ++it)
        EXPECT_LE(it.value(), SingleInstance::openBatch) << "turn " << it.key();
}
