// How the planner folder behaves after years of heavy use: 1, 10 and 30 years of the
// benchmark folder (52 week files, 12 month files and about 5,000 things a year, with
// steps, notes, marks and tags). The app saves after every change, so a save after one
// edit must cost about one file's write at any size; search must cost about a scan of
// the fields it looks at. Each figure is printed beside its floor, measured in the same
// run (alternating, median of the pairs), and the ratio.
// Run on demand: build/<dir>/bench/plannerstore_bench [years…]
#include "markdown.h"
#include "plannerstore.h"
#include "tenyears.h"
#include "textfile.h"
#include "textutil.h"

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

double msOf(const std::function<void()>& body)
{
    QElapsedTimer timer;
    timer.start();
    body();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void row(const char* name, int years, double ms, std::optional<double> floor = std::nullopt, const QString& note = {})
{
    if (floor)
        std::printf("%-30s %5d %10.3f %10.3f %7.2fx   %s\n", name, years, ms, *floor, ms / *floor, note.toUtf8().constData());
    else
        std::printf("%-30s %5d %10.3f %10s %8s   %s\n", name, years, ms, "", "", note.toUtf8().constData());
}

// The operation and its floor, taken in turns so that both see the same machine;
// `prepare` runs untimed before each operation.
std::pair<double, double> paired(int rounds, const std::function<void()>& operation, const std::function<void()>& floor,
                                 const std::function<void()>& prepare = {})
{
    QList<double> op, fl;
    for (int i = 0; i < rounds; ++i) {
        fl.append(msOf(floor));
        if (prepare)
            prepare();
        op.append(msOf(operation));
    }
    return {median(op), median(fl)};
}

// What search looks at, without collecting anything: the floor of any search.
qsizetype scanFields(const Planner& plan, const QString& query)
{
    qsizetype n = 0;
    const auto scan = [&](const QList<Thing>& things) {
        for (const Thing& t : things) {
            bool hit = pemby::containsIgnoringCase(t.title, query) || pemby::containsIgnoringCase(t.note, query);
            for (const Step& s : t.steps)
                hit = hit || pemby::containsIgnoringCase(s.title, query);
            n += hit;
        }
    };
    for (const auto& things : plan.days)
        scan(things);
    for (const auto& things : plan.months)
        scan(things);
    for (const auto& list : plan.lists)
        scan(list.things);
    return n;
}

// Returns the number of files one edit wrote.
int measureYears(int years)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Pemby Planner"));
    const Day today = Day::today();
    const Shape shape = Shape::around(today, years);
    qsizetype made = 0;
    if (!writeTenYearsOrSay(folder, shape, made))
        std::exit(1);

    row("loadEverything", years, median({msOf([&] {
            PlannerStore store(folder);
            Planner plan;
            store.loadBase(plan);
            store.loadEverything(plan);
        })}), std::nullopt, QStringLiteral("%1 things, %2 weeks").arg(made).arg(shape.weeks));

    PlannerStore store(folder);
    Planner plan;
    store.loadBase(plan);
    store.loadEverything(plan);
    if (!store.save(plan))
        std::abort();
    const Day edited = today.adding(-2);
    const QUuid id = plan.days.value(edited).first().id;
    const QString name = Markdown::weekFileName(edited.monday());
    const QString path = folder + u'/' + name;

    // Which files one edit writes: every file is moved into the past first.
    const QDateTime past = QDateTime::currentDateTimeUtc().addDays(-400);
    age(folder, past);
    plan.toggle(id);
    if (!store.save(plan))
        std::abort();
    const int written = writtenSince(folder, past);

    // The floor: the same file written once, atomically, as it stands.
    const QString text = Markdown::encodeWeek(edited.monday(), plan);
    const auto [save, write] = paired(
        40,
        [&] {
            if (!store.save(plan))
                std::abort();
        },
        [&] {
            if (!pemby::writeTextFileAtomic(path, text))
                std::abort();
        },
        [&] { plan.toggle(id); });
    row("save after one edit", years, save, write, QStringLiteral("writes %1 file; floor: one atomic write of it").arg(written));
    row("save with nothing changed", years, median({msOf([&] { (void)store.save(plan); })}));

    qsizetype hits = 0, scanned = 0;
    const auto [search, scan] = paired(
        years >= 30 ? 9 : 21, [&] { hits = plan.search(QStringLiteral("milk")).size(); },
        [&] { scanned = scanFields(plan, QStringLiteral("milk")); });
    if (hits != scanned)
        std::abort();
    row("search \"milk\"", years, search, scan, QStringLiteral("%1 hits; floor: a scan of the same fields").arg(hits));
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {1, 10, 30};
    std::printf("%-30s %5s %10s %10s %8s\n", "operation", "years", "median ms", "floor ms", "ratio");
    bool oneFile = true;
    for (const int years : sizes)
        oneFile = measureYears(std::max(1, years)) == 1 && oneFile;
    std::printf("\none edit writes exactly one file: %s\n", oneFile ? "yes" : "NO");
    return oneFile ? 0 : 1;
}
