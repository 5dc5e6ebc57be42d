// The application model over ten years of heavy use, every week and month of it loaded
// (as after browsing them all): what one committed change costs (the snapshot, the
// save and the reminder sync it schedules), what one undo costs, and how much memory
// 100 undo entries of single edits keep. The snapshots share all but the containers
// an edit touched, so they must stay a small part of the plan's own size.
// Run on demand: build/<dir>/bench/appmodel_bench
#include "appmodel.h"
#include "benchmark.h"
#include "tenyears.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <malloc.h>

#include <cstdio>
#include <functional>

namespace {

class NoDesktop final : public DesktopNotifier {
public:
    void show(const QString&, const QString&) override {}
};

qint64 allocated()
{
    return qint64(mallinfo2().uordblks);
}

double mb(qint64 bytes)
{
    return double(bytes) / 1e6;
}

// 100 snapshots of single edits, one per thing, as bare plan values (no saves).
qint64 snapshotBytes(Planner plan, const QList<QUuid>& ids)
{
    QList<Planner> history;
    const qint64 start = allocated();
    for (const QUuid& id : ids) {
        history.append(plan);
        plan.update(id, [](Thing& t) { t.done = !t.done; });
    }
    return allocated() - start;
}

// A different thing for each edit, spread over the ten years.
QList<QUuid> spreadThings(const Planner& plan, int count)
{
    QList<QUuid> ids;
    const QList<Day> days = plan.days.keys();
    for (int i = 0; i < count; ++i) {
        const QList<Thing> things = plan.days.value(days[(qsizetype(i) * days.size()) / count]);
        if (!things.isEmpty())
            ids.append(things.first().id);
    }
    return ids;
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Pemby Planner"));
    const Day today = Day::today();
    const Shape shape = Shape::around(today);
    qsizetype made = 0;
    if (!writeTenYearsOrSay(folder, shape, made))
        return 1;

    // The plan's own size: everything loaded, with the store (and its file texts) gone.
    qint64 planBytes = 0;
    {
        const qint64 before = allocated();
        Planner plan;
        {
            PlannerStore store(folder);
            store.loadBase(plan);
            store.loadEverything(plan);
        }
        planBytes = allocated() - before;
    }

    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    FamilyStore family(dir.filePath(QStringLiteral("family.db")));
    NotificationScheduler scheduler(std::make_unique<NoDesktop>());
    const auto services = [&] {
        AppModel::Services s;
        s.bus = QDBusConnection(QStringLiteral("no-bus"));
        s.readEvents = [](const QList<Day>&, QObject*, std::function<void(const EventLines&)>) {};
        s.reminders = std::make_unique<ReminderCenter>(&scheduler, true, QTimeZone::systemTimeZone());
        // The family sync of 50,000 rows is the family store benchmark's business.
        s.syncDelay = std::chrono::hours(1);
        return s;
    };
    const auto makeModel = [&] {
        return std::make_unique<AppModel>(folder, today, &settings, family, dir.filePath(QStringLiteral("notes")),
                                          dir.filePath(QStringLiteral("Notes")), services());
    };

    std::printf("folder: %lld things, %d weeks, %d months; the plan holds %.1f MB\n\n", (long long)made, shape.weeks,
                shape.months, mb(planBytes));

    measure("start-up (six weeks, lists, a month)", 5, [&](int) { makeModel(); });

    // As the app starts: a few weeks around today.
    qint64 atStart = 0;
    {
        const std::unique_ptr<AppModel> started = makeModel();
        atStart = snapshotBytes(started->planner(), spreadThings(started->planner(), 100));
    }

    std::unique_ptr<AppModel> model = makeModel();
    AppModel& m = *model;
    measure("browse every month once (loads them all)", 1, [&](int) {
        m.setMode(Mode::Month);
        for (int i = 0; i < shape.months; ++i)
            m.go(-1);
        m.goToday();
        for (int i = 0; i < 6; ++i)
            m.go(1);
        m.setMode(Mode::Week);
        m.goToday();
    });

    // A commit: the snapshot, the save that writes one file, the reminders scheduled.
    const QList<QUuid> ids = spreadThings(m.planner(), 100);
    const QUuid renamed = ids.first();
    measure("commit of a rename", 20, [&](int i) {
        m.commit([&](Planner& p) { p.update(renamed, [&](Thing& t) { t.title = QStringLiteral("renamed %1").arg(i); }); });
    });
    app.processEvents();
    measure("undo of a rename", 20, [&](int) { m.undo(); });
    app.processEvents();

    // Memory: 100 single edits, one per thing spread over the years, each leaving its
    // snapshot on the undo stack.
    const qint64 before = allocated();
    for (const QUuid& id : ids)
        m.commit([&](Planner& p) { p.update(id, [](Thing& t) { t.done = !t.done; }); });
    app.processEvents();
    const qint64 withHistory = allocated() - before;

    const qint64 snapshotsOnly = snapshotBytes(m.planner(), ids);

    // Each edit of a day copies the map of days (one node per day of the loaded plan);
    // the things themselves stay shared.
    std::printf("\nmemory of 100 undo entries of single edits, everything loaded: %.2f MB through the model, "
                "%.2f MB as bare plans, %.1f%% of the plan's %.1f MB\n",
                mb(withHistory), mb(snapshotsOnly), 100.0 * double(snapshotsOnly) / double(planBytes), mb(planBytes));
    std::printf("the same with the weeks loaded at start-up: %.2f MB\n", mb(atStart));
    return 0;
}
