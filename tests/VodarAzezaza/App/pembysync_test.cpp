#include "pembysync.h"
#include "pembysyncobserver.h"
#include "privatebus.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Waits until `done` holds or a second has passed; then lets any stray delivery arrive.
template <class Pred>
void settle(Pred done)
{
    QDeadlineTimer deadline(1000);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    QTest::qWait(100);
}

// A blocking call through the bus daemon: once it returns, everything this connection
// sent before (its match rules included) has been handled by the daemon.
void roundTrip(const QDBusConnection& connection)
{
    connection.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
}

void deliverDirectly(PembySyncObserver& observer)
{
    QMetaObject::invokeMethod(&observer, "changed", Qt::DirectConnection);
}

} // namespace

TEST(PembySyncTest, FamilyPlacesLieInTheUsersDataFolder)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    EXPECT_EQ(PembySync::familyFolder(), QDir(data).filePath("Pemby"));
    EXPECT_EQ(PembySync::storePath(), QDir(data).filePath("Pemby/family.db"));
    EXPECT_EQ(PembySync::notesFolderURL(), QDir(data).filePath("Pemby/notes"));
}

TEST(PembySyncTest, OwnPostComesBackExactlyOnce)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection planner = bus.connect("planner");
    PembySyncObserver observer;
    int calls = 0;
    observer.setOnChanged([&] { ++calls; });
    ASSERT_TRUE(observer.observe(planner));
    roundTrip(planner);

    EXPECT_TRUE(PembySync::post(planner));
    settle([&] { return calls >= 1; });
    EXPECT_EQ(calls, 1);
}

TEST(PembySyncTest, SiblingPostsArriveOnceEach)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection planner = bus.connect("planner");
    QDBusConnection todo = bus.connect("todo");
    QDBusConnection notes = bus.connect("notes");
    PembySyncObserver observer;
    int calls = 0;
    observer.setOnChanged([&] { ++calls; });
    ASSERT_TRUE(observer.observe(planner));
    roundTrip(planner);

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(PembySync::post(todo));
    ASSERT_TRUE(PembySync::post(notes));
    ASSERT_TRUE(PembySync::post(planner));
    settle([&] { return calls >= 5; });
    EXPECT_EQ(calls, 5);

    // The sibling's side hears the planner's post too: one signal, every listener.
    PembySyncObserver sibling;
    int siblingCalls = 0;
    sibling.setOnChanged([&] { ++siblingCalls; });
    ASSERT_TRUE(sibling.observe(todo));
    roundTrip(todo);
    ASSERT_TRUE(PembySync::post(planner));
    settle([&] { return calls >= 6 && siblingCalls >= 1; });
    EXPECT_EQ(calls, 6);
    EXPECT_EQ(siblingCalls, 1);
}

TEST(PembySyncTest, CallsBackAfterTheCurrentEventOncePerNotification)
{
    PembySyncObserver observer;
    int calls = 0;
    observer.setOnChanged([&] { ++calls; });
    for (int i = 0; i < 3; ++i)
        deliverDirectly(observer);
    EXPECT_EQ(calls, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 3);
}

TEST(PembySyncTest, AReleasedObserverOrReceiverOrAnUnsetCallbackDoesNothing)
{
    int calls = 0;
    {
        auto observer = std::make_unique<PembySyncObserver>();
        observer->setOnChanged([&] { ++calls; });
        deliverDirectly(*observer);
        observer.reset();  // gone before its queued call runs
        QCoreApplication::processEvents();
    }
    {
        PembySyncObserver observer;
        auto model = std::make_unique<QObject>();
        observer.setOnChanged([&] { ++calls; }, model.get());
        model.reset();
        deliverDirectly(observer);
        QCoreApplication::processEvents();
    }
    {
        PembySyncObserver observer;
        observer.setOnChanged([&] { ++calls; });
        observer.setOnChanged({});
        EXPECT_FALSE(observer.hasOnChanged());
        deliverDirectly(observer);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(calls, 0);

    // An observer released while registered on a live bus is simply no longer called.
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection planner = bus.connect("planner");
    auto observer = std::make_unique<PembySyncObserver>();
    observer->setOnChanged([&] { ++calls; });
    ASSERT_TRUE(observer->observe(planner));
    roundTrip(planner);
    observer.reset();
    EXPECT_TRUE(PembySync::post(planner));
    QTest::qWait(150);
    EXPECT_EQ(calls, 0);
}

TEST(PembySyncTest, WithoutABusPostingAndObservingDoNothing)
{
    const QDBusConnection never(QStringLiteral("pemby-never-connected"));
    const QDBusConnection broken =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/pemby-bus"), QStringLiteral("pemby-broken"));
    for (const QDBusConnection& bus : {never, broken}) {
        ASSERT_FALSE(bus.isConnected());
        EXPECT_FALSE(PembySync::post(bus));
        PembySyncObserver observer;
        int calls = 0;
        observer.setOnChanged([&] { ++calls; });
        EXPECT_FALSE(observer.observe(bus));
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 0);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("pemby-broken"));
}
