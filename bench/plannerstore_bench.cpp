// How the planner folder behaves at the size of ten years of heavy use: about 520 week
// files, 120 month files and 50,000 things with steps, notes, marks and tags. The app
// saves after every change and re-reads the folder once a minute, so a save after one
// edit must write one file and a re-read of an unchanged folder must decode nothing.
// Run on demand: build/<dir>/bench/plannerstore_bench
#include "plannerstore.h"
#include "tenyears.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

void age(const QString& folder, const QDateTime& when)
{
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        QFile f(folder + u'/' + name);
        if (f.open(QIODevice::ReadWrite))
            f.setFileTime(when, QFileDevice::FileModificationTime);
    }
}

int writtenSince(const QString& folder, const QDateTime& when)
{
    int n = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files))
        n += info.lastModified() > when;
    return n;
}

void row(const char* name, int rounds, const std::function<void()>& body, const std::function<QString()>& note = {})
{
    QList<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        ms.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s %10.2f %10.2f %7d   %s\n", name, ms[ms.size() / 2], ms.first(), rounds,
                note ? note().toUtf8().constData() : "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Pemby Planner"));
    const Day today = Day::today();
    const Shape shape = Shape::around(today);

    qsizetype made = 0;
    if (!writeTenYearsOrSay(folder, shape, made))
        return 1;
    qint64 bytes = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& info : files)
        bytes += info.size();
    std::printf("folder: %lld files, %.1f MB, %lld things, %d weeks, %d months\n\n", (long long)files.size(),
                double(bytes) / 1e6, (long long)made, shape.weeks, shape.months);
    std::printf("%-34s %10s %10s %7s\n", "operation", "median ms", "best ms", "rounds");

    qsizetype loaded = 0;
    row("loadEverything", 5, [&] {
        PlannerStore store(folder);
        Planner plan;
        store.loadBase(plan);
        store.loadEverything(plan);
        loaded = countThings(plan);
    }, [&] { return QStringLiteral("%1 things").arg(loaded); });

    row("start: base and 6 weeks", 50, [&] {
        PlannerStore store(folder);
        Planner plan;
        store.loadBase(plan);
        store.loadWeeks(today.adding(-35), today.adding(7), plan);
    });

    PlannerStore store(folder);
    Planner plan;
    store.loadBase(plan);
    store.loadEverything(plan);
    const Day edited = today.adding(-2);
    const QUuid id = plan.days.value(edited).first().id;

    row("save with nothing changed", 10, [&] {
        if (!store.save(plan))
            std::abort();
    });

    // Which files one edit writes: every file is moved into the past first.
    const QDateTime past = QDateTime::currentDateTimeUtc().addDays(-400);
    age(folder, past);
    plan.toggle(id);
    if (!store.save(plan))
        std::abort();
    const int written = writtenSince(folder, past);

    row("save after one edit", 20, [&] {
        plan.toggle(id);
        if (!store.save(plan))
            std::abort();
    }, [&] { return QStringLiteral("writes %1 file").arg(written); });

    row("reloadIfChanged, nothing changed", 10, [&] {
        if (store.reloadIfChanged(plan))
            std::abort();
    });

    qsizetype hits = 0;
    row("search over everything", 20, [&] { hits = plan.search(QStringLiteral("milk")).size(); },
        [&] { return QStringLiteral("%1 hits").arg(hits); });
    std::printf("\nsearch hits: %lld; files written by one edit: %d (must be 1)\n", (long long)hits, written);
    return written == 1 ? 0 : 1;
}
