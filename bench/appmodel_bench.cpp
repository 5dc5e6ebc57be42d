// The application model over years of heavy use, every week and month of it loaded
// (as after a search). First what a commit and an undo of one rename cost at 1, 5, 10
// and 30 years, beside their floor, the two atomic writes of the week file; the store's
// two saves and the rename itself (which finds the thing in the plan) are timed apart,
// and what remains is the model's own work (snapshots, sync ids, reminders, the
// selection), which must stay the same at any size. Then, over ten years, the start-up
// and how much memory 100 undo entries of single edits keep: the snapshots share all
// but the containers an edit touched, so they must stay a small part of the plan. The
// model's heap after a search is taken at ten years (it must stay under 64 MiB) and at
// thirty.
// Run on demand: build/<dir>/bench/appmodel_bench
#include "appmodel.h"
#include "plansearch.h"
#include "benchmark.h"
#include "benchmodel.h"
#include "markdown.h"
#include "tenyears.h"
#include "textfile.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <malloc.h>

#include <cstdio>
#include <functional>

namespace {

double mb(qint64 bytes)
{
    return double(bytes) / 1e6;
}

// 100 snapshots of single edits, one per thing, as bare plan values (no saves).
qint64 snapshotBytes(Planner plan, const QList<QUuid>& ids)
{
    QList<Planner> history;
    const qint64 start = heapInUse();
    for (const QUuid& id : ids) {
        history.append(plan);
        plan.update(id, [](Thing& t) { t.done = !t.done; });
    }
    return heapInUse() - start;
}

// A different thing for each edit, spread over the years.
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

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the model holds after a search over a folder of `years`, beside its files.
void memoryAfterSearch(QGuiApplication& app, BenchModel& bench, int years)
{
    const qint64 start = heapInUse();
    const std::unique_ptr<AppModel> searched = bench.makeModel();
    searched->search().beginSearch();
    searched->search().setSearching(false);
    app.processEvents();
    const double held = double(heapInUse() - start) / (1024.0 * 1024.0);
    qint64 onDisk = 0;
    for (const QFileInfo& info : QDir(bench.folder()).entryInfoList(QDir::Files))
        onDisk += info.size();
    const double disk = double(onDisk) / (1024.0 * 1024.0);
    std::printf("memory after a search, %d y %10.1f MiB, floor %6.1f MiB, ratio %.1fx   "
                "the model's heap; floor: the plan's files on disk\n",
                years, held, disk, held / disk);
}

// One line of the table: a rename of one of today's things committed and undone.
void commitAndUndoAt(QGuiApplication& app, const QTemporaryDir& dir, int years, Day today)
{
    const Shape shape = Shape::around(today, years);
    BenchModel bench(dir, QStringLiteral("plan-%1y").arg(years), today);
    qsizetype made = 0;
    if (!writeTenYearsOrSay(bench.folder(), shape, made))
        std::exit(1);
    const std::unique_ptr<AppModel> model = bench.makeModel();
    AppModel& m = *model;
    m.search().beginSearch();
    m.search().setSearching(false);

    const QUuid id = m.planner().days.value(today).first().id;
    const QString week = bench.folder() + u'/' + Markdown::weekFileName(today.monday());
    const auto rename = [&](Planner& p, int i) {
        p.update(id, [&](Thing& t) { t.title = QStringLiteral("renamed %1").arg(i); });
    };
    const QByteArray before = bytesOf(week);
    m.commit([&](Planner& p) { rename(p, 0); });
    const QByteArray after = bytesOf(week);
    m.undo();
    app.processEvents();

    // The reminders' reconciliation waits for the event loop; it is the commit's work
    // too. The store's two saves, and the rename on a copy of the plan, are timed by
    // themselves: what remains is the model's own.
    Planner renamed = m.planner();
    rename(renamed, 0);
    constexpr int rounds = 31;
    const auto [commitUndo, saves, change, floor] = inTurns(
        rounds,
        [&](int i) {
            m.commit([&](Planner& p) { rename(p, i); });
            m.undo();
            app.processEvents();
        },
        [&](int) {
            if (!m.store().save(renamed) || !m.store().save(m.planner()))
                std::abort();
        },
        [&](int i) {
            Planner p = m.planner();
            rename(p, i);
        },
        [&](int) {
            if (!pemby::writeFileAtomic(week, after) || !pemby::writeFileAtomic(week, before))
                std::abort();
        });
    const double ratio = medianOfPairs(rounds, [&](int i) { return commitUndo.ms[i] / floor.ms[i]; });
    const double own = medianOfPairs(rounds, [&](int i) { return commitUndo.ms[i] - saves.ms[i] - change.ms[i]; });
    std::printf("%5d %9lld %12.2f %9.2f %7.1fx %12.2f %9.2f %12.2f\n", years, (long long)made, commitUndo.median(),
                floor.median(), ratio, saves.median(), change.median(), own);
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const Day today = Day::today();

    std::printf("commit + undo of a rename, everything loaded: ms, medians of 31 rounds taken in turns;\n"
                "the ratio and the model's own are medians of what each round gives\n");
    std::printf("%5s %9s %12s %9s %8s %12s %9s %12s\n", "years", "things", "commit+undo", "2 writes", "ratio",
                "store saves", "rename", "model's own");
    for (const int years : {1, 5, 10, 30})
        commitAndUndoAt(app, dir, years, today);

    // The plan's own size: everything loaded, with the store (and its file texts) gone.
    const Shape shape = Shape::around(today);
    BenchModel bench(dir, QStringLiteral("plan-10y"), today);
    qint64 planBytes = 0;
    {
        const qint64 before = heapInUse();
        Planner plan;
        {
            PlannerStore store(bench.folder());
            store.loadBase(plan);
            store.loadEverything(plan);
        }
        planBytes = heapInUse() - before;
    }
    std::printf("\nten years: %d weeks, %d months; the plan holds %.1f MB\n", shape.weeks, shape.months, mb(planBytes));

    measure("start-up (six weeks, lists, a month)", 5, [&](int) { bench.makeModel(); });

    // As the app starts: a few weeks around today.
    qint64 atStart = 0;
    {
        const std::unique_ptr<AppModel> started = bench.makeModel();
        atStart = snapshotBytes(started->planner(), spreadThings(started->planner(), 100));
    }

    // The model after a search: every file loaded, beside the plan's bytes on disk.
    memoryAfterSearch(app, bench, 10);
    {
        BenchModel thirty(dir, QStringLiteral("plan-30y"), today);
        memoryAfterSearch(app, thirty, 30);
    }

    std::unique_ptr<AppModel> model = bench.makeModel();
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

    // Memory: 100 single edits, one per thing spread over the years, each leaving its
    // snapshot on the undo stack.
    const QList<QUuid> ids = spreadThings(m.planner(), 100);
    const qint64 before = heapInUse();
    for (const QUuid& id : ids)
        m.commit([&](Planner& p) { p.update(id, [](Thing& t) { t.done = !t.done; }); });
    app.processEvents();
    const qint64 withHistory = heapInUse() - before;

    const qint64 snapshotsOnly = snapshotBytes(m.planner(), ids);

    // Each edit of a day copies the map of months and that one month's days; the
    // things themselves stay shared.
    std::printf("\nmemory of 100 undo entries of single edits, everything loaded: %.2f MB through the model, "
                "%.2f MB as bare plans, %.1f%% of the plan's %.1f MB\n",
                mb(withHistory), mb(snapshotsOnly), 100.0 * double(snapshotsOnly) / double(planBytes), mb(planBytes));
    std::printf("the same with the weeks loaded at start-up: %.2f MB\n", mb(atStart));
    return 0;
}
