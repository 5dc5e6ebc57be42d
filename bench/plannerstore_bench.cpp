// How the planner folder behaves after years of heavy use: 1, 10 and 30 years of the
// benchmark folder (52 week files, 12 month files and about 5,000 things a year, with
// steps, notes, marks and tags). The app saves after every change, so a save after one
// edit must cost about one file's write at any size; search must cost about a scan of
// the fields it looks at. Each figure is printed beside its floor, measured in the same
// run (alternating, median of the pairs), and the ratio. Reading one file, through the
// application model over a plan loaded at that size, must cost about decoding it.
// Run on demand: build/<dir>/bench/plannerstore_bench [years…]
#include "appmodel.h"
#include "plansearch.h"
#include "benchmark.h"
#include "benchmodel.h"
#include "markdown.h"
#include "plannerstore.h"
#include "tenyears.h"
#include "textfile.h"
#include "textutil.h"

#include <QGuiApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <malloc.h>

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

// One line per figure: "<operation> … <value> ms, floor <value> ms, ratio <R.R>x".
void row(const char* name, int years, double ms, std::optional<double> floor = std::nullopt, const QString& note = {})
{
    if (floor)
        std::printf("%-30s %3d y %10.3f ms, floor %10.3f ms, ratio %6.1fx   %s\n", name, years, ms, *floor, ms / *floor,
                    note.toUtf8().constData());
    else
        std::printf("%-30s %3d y %10.3f ms   %s\n", name, years, ms, note.toUtf8().constData());
}

// Reads and decodes one file as the store would, without keeping anything.
qsizetype decodeFile(const QString& folder, const QString& name)
{
    const pemby::TextFile file = pemby::readTextFile(folder + u'/' + name);
    if (name == Markdown::listsFileName())
        return Markdown::decodeLists(file.text).size();
    if (name == Markdown::repeatsFileName())
        return Markdown::decodeRepeats(file.text).size();
    return file.text.size();
}

qsizetype decodeWeekFile(const QString& folder, Day monday)
{
    const pemby::TextFile file = pemby::readTextFile(folder + u'/' + Markdown::weekFileName(monday));
    return Markdown::decodeWeek(file.text, monday).days.size();
}

qsizetype decodeMonthFile(const QString& folder, MonthKey month)
{
    const pemby::TextFile file = pemby::readTextFile(folder + u'/' + Markdown::monthFileName(month));
    return Markdown::decodeMonth(file.text).size();
}

// The floor of loading everything: every file of the plan read and its bytes decoded
// as text.
qsizetype readEverything(const QString& folder, const Shape& shape)
{
    qsizetype n = 0;
    const auto read = [&](const QString& name) { n += pemby::readTextFile(folder + u'/' + name).text.size(); };
    read(Markdown::listsFileName());
    read(Markdown::repeatsFileName());
    for (int w = 0; w < shape.weeks; ++w)
        read(Markdown::weekFileName(shape.firstMonday.adding(7 * w)));
    for (int m = 0; m < shape.months; ++m)
        read(Markdown::monthFileName(shape.firstMonth.adding(m)));
    return n;
}

// Every file of the plan read and decoded into things, keeping nothing.
qsizetype decodeEverything(const QString& folder, const Shape& shape)
{
    qsizetype n = decodeFile(folder, Markdown::listsFileName()) + decodeFile(folder, Markdown::repeatsFileName());
    for (int w = 0; w < shape.weeks; ++w)
        n += decodeWeekFile(folder, shape.firstMonday.adding(7 * w));
    for (int m = 0; m < shape.months; ++m)
        n += decodeMonthFile(folder, shape.firstMonth.adding(m));
    return n;
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

// Reading one file through the application model. A month step while browsing back
// through the years: the steps taken once most of the plan is loaded, each beside
// decoding exactly the files that step read (the month's and those of its weeks not
// loaded before, as the store's record of what it loaded says). Then, everything
// loaded by a search, one week file changed outside and seen at the next heartbeat,
// beside decoding that file.
void readOneFileAt(const Shape& shape, int years, Day today)
{
    QTemporaryDir dir;
    BenchModel bench(dir, QStringLiteral("model"), today);
    const QString folder = bench.folder();
    qsizetype made = 0;
    if (!writeTenYearsOrSay(bench.folder(), shape, made))
        std::exit(1);
    {
        const std::unique_ptr<AppModel> model = bench.makeModel();
        AppModel& m = *model;
        m.setMode(Mode::Month);
        const int measured = std::min(12, shape.months - 6);
        QList<double> steps, floors, monthFloors;
        qsizetype filesRead = 0;
        for (int i = 1; i < shape.months - 6; ++i) {
            const MonthKey into = today.monthKey().adding(-i);
            const bool timed = i >= shape.months - 6 - measured;
            const QSet<Day> weeksBefore = m.store().loadedWeeks();
            const bool monthBefore = m.store().loadedMonths().contains(into);
            const double step = msOf([&] { m.go(-1); });
            if (!timed)
                continue;
            // What the step had to read, found after it and decoded in the same round.
            QList<Day> read;
            for (const Day monday : m.store().loadedWeeks()) {
                if (!weeksBefore.contains(monday))
                    read.append(monday);
            }
            const double floor = msOf([&] {
                for (const Day monday : std::as_const(read))
                    (void)decodeWeekFile(folder, monday);
                if (!monthBefore)
                    (void)decodeMonthFile(folder, into);
            });
            steps.append(step);
            floors.append(floor);
            monthFloors.append(msOf([&] { (void)decodeMonthFile(folder, into); }));
            filesRead += read.size() + (monthBefore ? 0 : 1);
        }
        row("month step, plan loaded", years, median(steps), median(floors),
            QStringLiteral("the last %1 steps browsing back through every month, %2 files each on average; floor: "
                           "decoding the files the step read (the month's file alone: %3 ms)")
                .arg(measured)
                .arg(double(filesRead) / measured, 0, 'f', 1)
                .arg(median(monthFloors), 0, 'f', 3));
    }
    {
        // A real plan's files were written long before; the store trusts a file's look
        // only once its last write is a few seconds old.
        QThread::sleep(4);
        const std::unique_ptr<AppModel> model = bench.makeModel();
        AppModel& m = *model;
        m.search().beginSearch();
        m.search().setSearching(false);
        const Day monday = today.monday().adding(-7 * 20);
        const QString path = folder + u'/' + Markdown::weekFileName(monday);
        const QString original = pemby::readTextFile(path).text;
        QDateTime stamp = QDateTime::currentDateTimeUtc().addSecs(-3600);
        QList<double> reads, floors;
        for (int i = 0; i < 15; ++i) {
            const QString text = original + QStringLiteral("\n- [ ] changed outside %1\n").arg(i);
            {
                QFile f(path);
                if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
                    std::abort();
                stamp = stamp.addSecs(7);
                f.setFileTime(stamp, QFileDevice::FileModificationTime);
            }
            floors.append(msOf([&] { (void)decodeWeekFile(folder, monday); }));
            reads.append(msOf([&] { m.refresh(QDateTime::currentDateTime()); }));
        }
        row("one file changed outside", years, median(reads), median(floors),
            QStringLiteral("everything loaded by a search; floor: decoding that file"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(original.toUtf8());
    }
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

    // A load's plan lives on in the app: taking it apart is no part of loading. It is
    // taken apart between the timings, and the heap it leaves tidied, so that neither
    // this figure nor the next one pays for freeing what the last round made.
    const int loadRounds = years >= 30 ? 5 : 9;
    Rounds readAll, loadAll, decodeAll, fresh;
    qint64 held = 0;
    for (int i = 0; i < loadRounds; ++i) {
        readAll.ms.append(msOf([&] { (void)readEverything(folder, shape); }));
        {
            PlannerStore store(folder);
            Planner plan;
            const qint64 before = heapInUse();
            loadAll.ms.append(msOf([&] {
                store.loadBase(plan);
                store.loadEverything(plan);
            }));
            held = heapInUse() - before;
        }
        malloc_trim(0);
        fresh.ms.append(msToTouchFresh(held, QThread::idealThreadCount()));
        malloc_trim(0);
        decodeAll.ms.append(msOf([&] { (void)decodeEverything(folder, shape); }));
        malloc_trim(0);
    }
    row("load everything", years, loadAll.median(), readAll.median(),
        QStringLiteral("%1 things, %2 weeks; floor: every file's bytes read and decoded as text").arg(made).arg(shape.weeks));
    // Most of a load's own cost is the memory the plan it makes holds, on pages the
    // process never had: how long this machine takes for those alone.
    row("fresh pages of the plan", years, fresh.median(), std::nullopt,
        QStringLiteral("its %1 MiB, one write to each new page on %2 threads")
            .arg(double(held) / (1024.0 * 1024.0), 0, 'f', 1)
            .arg(QThread::idealThreadCount()));
    row("decode every file", years, decodeAll.median(), readAll.median(),
        QStringLiteral("the Markdown decoders alone, reading included; floor: the same bytes read and decoded as text"));

    readOneFileAt(shape, years, today);

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
    headlessUnlessSet();
    QGuiApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {1, 10, 30};
    std::printf("medians; each operation and its floor taken in turns\n");
    bool oneFile = true;
    for (const int years : sizes)
        oneFile = measureYears(std::max(1, years)) == 1 && oneFile;
    std::printf("\none edit writes exactly one file: %s\n", oneFile ? "yes" : "NO");
    return oneFile ? 0 : 1;
}
