// A reminder travels the whole road: the plan, the reconciliation, the scheduler on
// its clock, and a Notify call to a notification service on a bus of the test's own.
#include "privatebus.h"
#include "remindercenter.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QTimeZone berlin("Europe/Berlin");

} // namespace

// Plays the desktop's notification server and keeps every call it receives.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QDBusMessage> calls;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString&, const QString&, const QStringList&,
                const QVariantMap&, int, const QDBusMessage& message)
    {
        calls.append(message);
        return uint(calls.size());
    }
};

namespace {

class ReminderDeliveryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.isRunning()); }

    void serve()
    {
        server = bus.connect("server");
        ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
    }

    PrivateBus bus;
    QDBusConnection server{QString()};
    FakeNotificationServer fake;
};

TEST_F(ReminderDeliveryTest, DueReminderBecomesOneNotifyCall)
{
    serve();
    QDateTime now(QDate(2025, 3, 12), QTime(9, 0), berlin);
    NotificationScheduler scheduler(std::make_unique<DBusDesktopNotifier>(bus.connect("planner")),
                                    [&] { return now; }, 10ms, berlin);
    ReminderCenter center(&scheduler, true, berlin);

    Thing call;
    call.id = QUuid::createUuid();
    call.title = "call mum";
    call.remind = TimeOfDay{9, 5};
    Planner planner;
    planner.days[Day{2025, 3, 12}] = {call};
    center.sync(planner, {Day{2025, 3, 10}}, now);
    QTRY_COMPARE_WITH_TIMEOUT(scheduler.pendingIdentifiers().size(), 1, 2000);
    QTest::qWait(50);
    EXPECT_TRUE(fake.calls.isEmpty());

    now = now.addSecs(5 * 60);
    QTRY_COMPARE_WITH_TIMEOUT(fake.calls.size(), 1, 5000);
    QTest::qWait(100);
    ASSERT_EQ(fake.calls.size(), 1);
    EXPECT_TRUE(scheduler.pendingIdentifiers().isEmpty());

    const QDBusMessage& notify = fake.calls.first();
    EXPECT_EQ(notify.signature(), "susssasa{sv}i");
    const QVariantList args = notify.arguments();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(args[0].toString(), "Pemby Planner");
    EXPECT_EQ(args[1].toUInt(), 0u);
    EXPECT_EQ(args[3].toString(), "call mum");
    EXPECT_EQ(args[4].toString(), "You asked. No pressure.");
    EXPECT_TRUE(qdbus_cast<QStringList>(args[5]).isEmpty());
    EXPECT_EQ(args[7].toInt(), -1);
}

TEST_F(ReminderDeliveryTest, TheTitleReachesTheServerAsTextNotMarkup)
{
    serve();
    DBusDesktopNotifier notifier(bus.connect("planner"));
    notifier.show(QStringLiteral("<b>pay</b> rent & <a href=\"https://x.example\">fees</a> &amp;"), QStringLiteral("a < b > c"));
    QTRY_COMPARE_WITH_TIMEOUT(fake.calls.size(), 1, 5000);
    const QVariantList args = fake.calls.first().arguments();
    EXPECT_EQ(args[3].toString(), "&lt;b&gt;pay&lt;/b&gt; rent &amp; &lt;a href=\"https://x.example\"&gt;fees&lt;/a&gt; &amp;amp;");
    EXPECT_EQ(args[4].toString(), "a &lt; b &gt; c");
}

// Authorization and availability both come down to whether the bus has the service.
TEST_F(ReminderDeliveryTest, AuthorizationIsGrantedExactlyWhenTheServiceIsThere)
{
    const QDBusConnection planner = bus.connect("planner");
    auto ask = [&] {
        QObject context;
        std::optional<bool> granted;
        ReminderCenter::requestAuthorization(&context, [&](bool g) { granted = g; }, planner);
        EXPECT_FALSE(granted) << "answered later, not during the call";
        [&] { QTRY_VERIFY_WITH_TIMEOUT(granted.has_value(), 5000); }();
        return granted.value_or(false);
    };

    EXPECT_FALSE(ReminderCenter::serviceIsOffered(planner));
    EXPECT_FALSE(ask());

    serve();
    EXPECT_TRUE(ReminderCenter::serviceIsOffered(planner));
    EXPECT_TRUE(ask());

    EXPECT_FALSE(ReminderCenter::serviceIsOffered(QDBusConnection(QString())));
}

} // namespace

#include "reminderdelivery_test.moc"
