#include "appmodel.h"
#include "plansearch.h"
#include "modelharness.h"
#include "pembysync.h"
#include "pembysyncobserver.h"
#include "privatebus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const Day monday{2026, 3, 2};
const Day yesterday{2026, 3, 3};
const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

} // namespace

TEST(AppModelStartup, RollsUnfinishedThingsOverAndSaysHowMany)
{
    struct Case {
        const char* name;
        QStringList yesterdays;
        QStringList rolled;
        std::optional<QString> toast;
    };
    const QList<Case> cases{
        {"nothing unfinished", {"- [x] paid the rent", "- [ ] stretch {every:a1b2c3}"}, {}, std::nullopt},
        {"one", {"- [ ] buy milk", "- [x] paid the rent"}, {"buy milk"}, "1 thing rolled over. we've all been there."},
        {"two", {"- [ ] buy milk", "- [ ] call mum {z}"}, {"buy milk", "call mum"},
         "2 things rolled over. we've all been there."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.put(thisWeek, weekFile(monday, {{yesterday, c.yesterdays}, {wednesday, {"- [ ] already today"}}}));
        AppModel& m = h.start();
        EXPECT_EQ(titlesOn(m, today), QStringList{"already today"} + c.rolled);
        EXPECT_EQ(m.toast(), c.toast);
        for (const Thing& t : m.planner().things(today).mid(1))
            EXPECT_GE(t.zs, 1);
        // Saved: the file says the same as the plan.
        for (const QString& title : c.rolled)
            EXPECT_FALSE(h.text(thisWeek).section("## wed", 0, 0).contains(title)) << title.toStdString();
        EXPECT_TRUE(m.undoStack().isEmpty()) << "start-up is no undo step";
    }
}

TEST(AppModelStartup, LoadsTheWeeksAroundTodayAndWhatIsVisible)
{
    ModelHarness h;
    AppModel& m = h.start();
    QList<Day> weeks = m.store().loadedWeeks().values();
    std::sort(weeks.begin(), weeks.end());
    // 35 days back (Wednesday 28 January) through 7 days on (Wednesday 11 March).
    EXPECT_EQ(weeks.first(), (Day{2026, 1, 26}));
    EXPECT_EQ(weeks.last(), (Day{2026, 3, 9}));
    EXPECT_EQ(weeks.size(), 7);
    EXPECT_EQ(m.store().loadedMonths(), QSet<MonthKey>{MonthKey(2026, 3)});
    EXPECT_EQ(m.planner().lists.size(), 1);
    EXPECT_EQ(m.anchor(), wednesday);
    EXPECT_EQ(m.mode(), Mode::Week);
    EXPECT_TRUE(h.files().isEmpty()) << "an empty plan writes nothing";
}

TEST(AppModelStartup, NothingRollsOverIntoAWeekThatCannotBeReadAndTheFootnoteSaysWhy)
{
    // Last week left something unfinished; this week's file is not UTF-8. The thing
    // stays on its day, in the file that reads, at every start until this week reads.
    ModelHarness h;
    const QString lastWeek = weekFile(Day{2026, 2, 23}, {{Day{2026, 2, 27}, {"- [ ] buy milk {sync:5A0C6C1E-0000-4000-8000-000000000001}"}}});
    h.put("2026-W09.md", lastWeek);
    const QByteArray broken = "## wed 2026-03-04\n- [ ] caf\xE9\n";
    const auto putBroken = [&] {
        QFile file(h.folder() + "/" + thisWeek);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(broken);
    };
    const auto onDisk = [&](const QString& name) {
        QFile file(h.folder() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    putBroken();
    const QString held = "unfinished things stay where they are: 2026-W10.md can't be read (not valid UTF-8 text)";
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        AppModel& m = h.start();
        EXPECT_EQ(titlesOn(m, Place::onDay(Day{2026, 2, 27})), QStringList{"buy milk"});
        EXPECT_EQ(m.toast(), std::nullopt);
        EXPECT_EQ(m.saveError(), std::nullopt);
        EXPECT_EQ(m.footnote(), held);
        EXPECT_EQ(h.text("2026-W09.md"), lastWeek);
        EXPECT_EQ(onDisk(thisWeek), broken);
        EXPECT_TRUE(h.files().filter("conflict").isEmpty());
        h.stop();
    }

    // What is added to this week meanwhile goes to one copy, which later starts read
    // as the week and name in the footnote.
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add(QStringLiteral("call mum"), today); });
    const QStringList copies = h.files().filter("conflict");
    ASSERT_EQ(copies.size(), 1);
    // Named by the model's clock, not the wall clock.
    EXPECT_EQ(copies.first(), "2026-W10 (conflict 2026-03-04 100000).md");
    EXPECT_TRUE(h.text(copies.first()).contains("\n## wed 2026-03-04\n- [ ] call mum {sync:"));
    const QString named = "Couldn't save to Pemby Planner: 2026-W10.md can't be read (not valid UTF-8 text); your version is in "
        + copies.first();
    EXPECT_EQ(m.footnote(), named);
    h.stop();
    AppModel& again = h.start();
    EXPECT_EQ(titlesOn(again, today), QStringList{"call mum"});
    EXPECT_EQ(titlesOn(again, Place::onDay(Day{2026, 2, 27})), QStringList{"buy milk"});
    EXPECT_EQ(again.footnote(), named);
    EXPECT_EQ(h.files().filter("conflict"), copies);
    EXPECT_EQ(onDisk(thisWeek), broken);

    // Mended, the week is read at the next look, and what waited rolls over into it.
    h.put(thisWeek, weekFile(monday, {{wednesday, {"- [ ] mended"}}}));
    again.refresh(h.now());
    EXPECT_EQ(titlesOn(again, today), (QStringList{"mended", "buy milk"}));
    EXPECT_EQ(again.toast(), "1 rolled over. we've all been there.");
    EXPECT_FALSE(h.text("2026-W09.md").contains("buy milk"));
    EXPECT_TRUE(h.text(thisWeek).contains("- [ ] buy milk {z} {sync:5A0C6C1E-0000-4000-8000-000000000001}"));
    EXPECT_EQ(again.footnote(), "6 a day is plenty. The rest can wait.");
}

TEST(AppModelStartup, LeavesHandEditedFilesAsTheyAreAndKeepsTheirLinesThroughAnEdit)
{
    const auto fixture = [](const QString& name) {
        // The plan files' own fixtures, typed by hand.
        QFile file(QDir::cleanPath(QStringLiteral(PEMBY_TEST_DATA "/../../../PlannerCore/data/handedited/") + name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const QStringList names{"2026-W10.md", "eventually.md", "repeats.md"};
    ModelHarness h;
    for (const QString& name : names) {
        ASSERT_FALSE(fixture(name).isEmpty()) << name.toStdString();
        h.put(name, fixture(name));
    }
    const QString lastWeek = "# last week\n\n## fri 2026-02-27\n* a bullet\n- [x] done {sync:5A0C6C1E-0000-4000-8000-0000000000AA}\n";
    h.put("2026-W09.md", lastWeek);
    AppModel& m = h.start();
    for (const QString& name : names)
        EXPECT_EQ(h.text(name), fixture(name)) << name.toStdString();
    EXPECT_EQ(h.files(), (QStringList{"2026-W09.md", "2026-W10.md", "eventually.md", "repeats.md"}));

    // After a search has read every file, one edit writes its own file only, keeping
    // every line the reader left.
    m.search().beginSearch();
    m.search().setSearching(false);
    h.age();
    const QUuid books = m.planner().things(Place::onDay(Day{2026, 3, 5})).first().id;
    m.commit([&](Planner& p) { p.toggle(books); });
    EXPECT_EQ(h.fresh(), QStringList{thisWeek});
    EXPECT_EQ(h.text(thisWeek), fixture("edited/2026-W10.md"));
    EXPECT_EQ(h.text("2026-W09.md"), lastWeek);
}

TEST(AppModelStartup, AFailedSaveKeepsTheChangeAndTheNextGoodSaveClearsTheError)
{
    // Runs as root in CI: a regular file where the folder should be is what stops a write.
    ModelHarness h;
    h.folderName = "blocker/Pemby Planner";
    const QString blocker = h.root() + "/blocker";
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    AppModel& m = h.start();
    EXPECT_EQ(m.saveError(), std::nullopt) << "nothing to write yet";
    QCoreApplication::processEvents();
    const QStringList pending = h.scheduler().pendingIdentifiers();

    SignalCount error(m, &AppModel::saveErrorChanged);
    m.commit([](Planner& p) {
        if (const auto id = p.add(QStringLiteral("call the dentist"), today))
            p.update(*id, [](Thing& t) { t.remind = TimeOfDay{18, 0}; });
    });
    EXPECT_EQ(m.saveError(), "Couldn't save to Pemby Planner: couldn't create the folder "
                             + QDir::toNativeSeparators(h.folder()) + " (Not a directory)");
    EXPECT_EQ(m.footnote(), *m.saveError());
    EXPECT_EQ(titlesOn(m, today), QStringList{"call the dentist"});
    EXPECT_EQ(m.undoStack().size(), 1);
    EXPECT_TRUE(m.syncPending());
    QCoreApplication::processEvents();
    EXPECT_EQ(h.scheduler().pendingIdentifiers(), pending) << "the reminders wait for a good save";

    // The same failure again notifies nobody; a good save clears it and syncs the reminders.
    m.commit([](Planner& p) { p.add(QStringLiteral("and this"), today); });
    EXPECT_EQ(error(), 1);
    ASSERT_TRUE(QFile::remove(blocker));
    m.commit([](Planner& p) { p.add(QStringLiteral("and that"), today); });
    EXPECT_EQ(m.saveError(), std::nullopt);
    EXPECT_EQ(error(), 2);
    EXPECT_EQ(h.files(), QStringList{thisWeek});
    QCoreApplication::processEvents();
    EXPECT_EQ(h.scheduler().pendingIdentifiers().size(), 1);
}

TEST(AppModelStartup, ANewToastReplacesTheOldOneAndGetsItsOwnTime)
{
    ModelHarness h;
    h.toastDuration = 300ms;
    AppModel& m = h.start();
    QElapsedTimer clock;
    clock.start();
    m.showToast("first");
    QTest::qWait(200);
    m.showToast("second");
    const qint64 second = clock.elapsed();
    QTest::qWait(200);
    EXPECT_EQ(m.toast(), "second");
    ASSERT_TRUE(waitUntil([&] { return !m.toast(); }));
    EXPECT_GE(clock.elapsed() - second, 300);
}

TEST(AppModelStartup, ABurstOfSavesSyncsOnceAfterTheLast)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QDBusConnection sibling = bus.connect("todo");
    PembySyncObserver heard;
    int posts = 0;
    heard.setOnChanged([&] { ++posts; });
    ASSERT_TRUE(heard.observe(sibling));
    sibling.interface()->isServiceRegistered("org.freedesktop.DBus");  // the match rule is in place

    ModelHarness h;
    h.syncDelay = 200ms;
    h.bus = bus.connect("planner");
    AppModel& m = h.start();
    ASSERT_TRUE(waitUntil([&] { return posts == 1; })) << "start-up schedules one sync";
    EXPECT_FALSE(m.syncPending());

    for (int i = 0; i < 10; ++i) {
        m.commit([&](Planner& p) { p.add(QStringLiteral("thing %1").arg(i), today); });
        QTest::qWait(10);
    }
    EXPECT_TRUE(m.syncPending());
    EXPECT_EQ(posts, 1);
    // The one sync after the burst carries every thing, so it ran after the last save.
    ASSERT_TRUE(waitUntil([&] { return posts == 2; }));
    EXPECT_EQ(h.family().allThings()->size(), 10);
    QTest::qWait(300);
    EXPECT_EQ(posts, 2);
}
