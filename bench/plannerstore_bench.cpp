// How the planner folder behaves at the size of ten years of heavy use: about 520 week
// files, 120 month files and 50,000 things with steps, notes, marks and tags. The app
// saves after every change and re-reads the folder once a minute, so a save after one
// edit must write one file and a re-read of an unchanged folder must decode nothing.
// Run on demand: build/<dir>/bench/plannerstore_bench
#include "plannerstore.h"
#include "textutil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QStringList words{"call", "buy", "milk", "fix", "the", "bike", "light", "send", "invoice", "book", "dentist",
                        "read", "paper", "water", "plants", "plan", "trip", "write", "letter", "clean", "desk"};

struct Shape {
    Day firstMonday;
    Day lastMonday;
    MonthKey firstMonth;
    int weeks = 520;
    int months = 120;
};

QString title(QRandomGenerator& rng)
{
    QStringList picked;
    const int n = 2 + rng.bounded(4);
    for (int i = 0; i < n; ++i)
        picked.append(words[rng.bounded(int(words.size()))]);
    return picked.join(u' ');
}

Thing randomThing(QRandomGenerator& rng, const QStringList& ruleIds)
{
    Thing t = Thing::make(title(rng));
    t.done = rng.bounded(3) == 0;
    t.zs = rng.bounded(10) < 7 ? 0 : 1 + rng.bounded(5);
    if (rng.bounded(4) == 0)
        t.mark = allMarks[rng.bounded(3)];
    if (rng.bounded(3) == 0) {
        for (int s = 0, n = 1 + rng.bounded(3); s < n; ++s)
            t.steps.append(Step{title(rng), rng.bounded(2) == 0});
    }
    if (rng.bounded(5) == 0)
        t.note = title(rng) + u'\n' + title(rng);
    if (rng.bounded(12) == 0)
        t.repeatID = ruleIds[rng.bounded(int(ruleIds.size()))];
    if (rng.bounded(10) == 0)
        t.link = QStringLiteral("https://example.com/item/%1?from=mail").arg(rng.bounded(100000));
    if (rng.bounded(7) == 0)
        t.remind = TimeOfDay{int(rng.bounded(24)), int(rng.bounded(60))};
    if (rng.bounded(20) == 0)
        t.noteID = pemby::newUuidLower();
    t.syncID = pemby::newUuidUpper();
    return t;
}

Planner tenYears(const Shape& shape, qsizetype& things)
{
    QRandomGenerator rng(20240129);
    Planner plan;
    QStringList ruleIds;
    for (int r = 0; r < 10; ++r) {
        ruleIds.append(QStringLiteral("%1").arg(0xa00000 + r, 6, 16, QLatin1Char('0')));
        plan.repeats.append(RepeatRule{ruleIds.last(), title(rng), allRepeatKinds[r % 4], shape.firstMonday.adding(r), std::nullopt});
    }
    things = 0;
    for (int w = 0; w < shape.weeks; ++w) {
        const Day monday = shape.firstMonday.adding(7 * w);
        plan.appliedRepeats.insert(monday, QSet<QString>(ruleIds.begin(), ruleIds.begin() + 3));
        for (int d = 0; d < 7; ++d) {
            QList<Thing> day;
            for (int i = 0, n = 6 + rng.bounded(13); i < n; ++i)
                day.append(randomThing(rng, ruleIds));
            things += day.size();
            plan.days.insert(monday.adding(d), day);
        }
    }
    for (int m = 0; m < shape.months; ++m) {
        QList<Thing> month;
        for (int i = 0, n = 20 + rng.bounded(21); i < n; ++i)
            month.append(randomThing(rng, ruleIds));
        things += month.size();
        plan.months.insert(shape.firstMonth.adding(m), month);
    }
    for (const QString& name : Planner::defaultListNames()) {
        QList<Thing> list;
        for (int i = 0; i < 400; ++i)
            list.append(randomThing(rng, ruleIds));
        things += list.size();
        plan.lists.append(EventuallyList{name, list});
    }
    return plan;
}

qsizetype countThings(const Planner& plan)
{
    qsizetype n = 0;
    for (const auto& things : plan.days)
        n += things.size();
    for (const auto& things : plan.months)
        n += things.size();
    for (const auto& list : plan.lists)
        n += list.things.size();
    return n;
}

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
    Shape shape;
    shape.firstMonday = today.monday().adding(-7 * (shape.weeks - 26));
    shape.lastMonday = shape.firstMonday.adding(7 * (shape.weeks - 1));
    shape.firstMonth = today.monthKey().adding(-(shape.months - 6));

    qsizetype made = 0;
    {
        const Planner plan = tenYears(shape, made);
        PlannerStore writer(folder);
        Planner scratch;
        writer.loadBase(scratch);
        writer.loadWeeks(shape.firstMonday, shape.lastMonday, scratch);
        for (int m = 0; m < shape.months; ++m)
            writer.loadMonth(shape.firstMonth.adding(m), scratch);
        if (const Status s = writer.save(plan); !s) {
            std::fprintf(stderr, "couldn't write the folder: %s\n", s.errorText().toUtf8().constData());
            return 1;
        }
    }
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
