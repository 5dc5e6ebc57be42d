#include "privatebus.h"

#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

TEST(PrivateBusTest, GivesSeparateConnectionsToOneBus)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection a = bus.connect("a");
    QDBusConnection b = bus.connect("b");
    ASSERT_TRUE(a.isConnected());
    ASSERT_TRUE(b.isConnected());
    EXPECT_NE(a.baseService(), b.baseService());
    ASSERT_TRUE(a.registerService("app.pemby.Test"));
    EXPECT_TRUE(b.interface()->isServiceRegistered("app.pemby.Test").value());
}
