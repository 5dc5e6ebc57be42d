// Publishing to the family store at the size of years of use. The model republishes
// every own thing after each save, so what matters is that an unchanged republish
// costs no write (and only a pass in memory), and that a publication with one changed
// row costs about that one row's write.
// Then the same through the application model, over the ten-year folder loaded whole:
// the sync after a save builds every row and hands them to the store.
// Run: build/<config>/bench/familystore_bench [things]
#include "appmodel.h"
#include "plansearch.h"
#include "appmodelservices.h"
#include "benchmark.h"
#include "familystore.h"
#include "sqlite.h"
#include "tenyears.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// The median of `rounds` runs of `body`, in milliseconds; `prepare` runs untimed first.
double median(int rounds, const std::function<void(int)>& body, const std::function<void(int)>& prepare = {})
{
    QList<double> ms;
    for (int i = 0; i < rounds; ++i) {
        if (prepare)
            prepare(i);
        QElapsedTimer timer;
        timer.start();
        body(i);
        ms.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void line(const char* what, double ms, const char* note = "")
{
    std::printf("%-44s %10.2f ms  %s\n", what, ms, note);
}

void versus(const char* what, double ms, double floor, const char* floorName)
{
    std::printf("%-44s %10.2f ms  floor %.2f ms (%s), %.1fx\n", what, ms, floor, floorName, ms / floor);
}

class NoDesktop final : public DesktopNotifier {
public:
    void show(const QString&, const QString&) override {}
};

// A model with no bus, no calendar and no desktop, whose sync runs right after a save.
AppModel::Services quietServices(NotificationScheduler& scheduler)
{
    AppModel::Services services;
    services.bus = QDBusConnection(QStringLiteral("no-bus"));
    services.readEvents = [](const QList<Day>&, QObject*, std::function<void(const EventLines&)>) {};
    services.reminders = std::make_unique<ReminderCenter>(&scheduler, true, QTimeZone::systemTimeZone());
    services.syncDelay = std::chrono::milliseconds(0);
    return services;
}

// The model's sync, run at once after each save; the time until it is done.
void modelSync()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Pemby Planner"));
    const Day today = Day::today();
    qsizetype made = 0;
    if (!writeTenYearsOrSay(folder, Shape::around(today), made))
        return;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    FamilyStore family(dir.filePath(QStringLiteral("family.db")));
    NotificationScheduler scheduler(std::make_unique<NoDesktop>());
    AppModel model(folder, today, &settings, family, dir.filePath(QStringLiteral("notes")),
                   dir.filePath(QStringLiteral("Notes")), quietServices(scheduler));
    const auto synced = [&] {
        while (model.syncPending())
            QCoreApplication::processEvents();
    };
    model.search().beginSearch();  // every week of the ten years loaded
    model.search().setSearching(false);
    QElapsedTimer timer;
    timer.start();
    synced();
    std::printf("\nthe model over ten years (%lld things), loaded whole\n", (long long)made);
    line("first sync", double(timer.nsecsElapsed()) / 1e6);

    const QUuid id = model.planner().things(Place::onDay(today)).value(0).id;
    // Timed from when the sync is due, so the timer's own lateness does not count.
    const auto due = [&] { QThread::msleep(30); };
    const double unchanged = median(11, [&](int) { synced(); }, [&](int) {
        model.scheduleSync();
        due();
    });
    line("unchanged sync", unchanged, "(target under 20 ms)");
    const double oneEdit = median(11, [&](int) { synced(); }, [&](int i) {
        model.rename(id, QStringLiteral("renamed %1").arg(i));
        due();
    });
    versus("sync after one rename", oneEdit, unchanged, "the unchanged sync");
}

void ratio(const char* what, double ms, double floor)
{
    std::printf("%-44s %10.2f ms, floor %.2f ms, ratio %.1fx\n", what, ms, floor, ms / floor);
}

// The model over `years` of the planner loaded whole, with a few things of the sibling
// to-do app in the store: a refresh after the sibling changed one row against reading
// that row, and a sync after one rename against writing that one row.
void modelAtYears(int years)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Pemby Planner"));
    const Day today = Day::today();
    qsizetype made = 0;
    if (!writeTenYearsOrSay(folder, Shape::around(today, years), made))
        return;
    const QString path = dir.filePath(QStringLiteral("family.db"));
    FamilyStore family(path);
    {
        QList<SharedThing> todo;
        for (int i = 0; i < 20; ++i) {
            SharedThing t;
            t.id = QStringLiteral("T%1").arg(i);
            t.title = QStringLiteral("a sibling's thing %1").arg(i);
            t.day = today.iso();
            t.sourceApp = QStringLiteral("todo");
            todo.append(t);
        }
        (void)family.publish(todo, QStringLiteral("todo"));
    }
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    NotificationScheduler scheduler(std::make_unique<NoDesktop>());
    AppModel model(folder, today, &settings, family, dir.filePath(QStringLiteral("notes")),
                   dir.filePath(QStringLiteral("Notes")), quietServices(scheduler));
    const auto synced = [&] {
        while (model.syncPending())
            QCoreApplication::processEvents();
    };
    model.search().beginSearch();
    model.search().setSearching(false);
    synced();
    model.refreshFromFamily();
    std::printf("\n%d years (%lld things), loaded whole\n", years, (long long)made);

    SqliteConnection sibling = SqliteConnection::open(path).connection;
    sibling.waitFor(std::chrono::seconds(10));
    const int rounds = 11;
    // The sibling renames its thing; the refresh reads that row, as the floor does.
    const auto siblingRenames = [&](int i) {
        SqliteStatement update(sibling, "UPDATE things SET title = ? WHERE id = 'T3';");
        update.bindText(1, QStringLiteral("renamed there %1").arg(i));
        update.run();
    };
    QList<double> refresh;
    QList<double> readRow;
    for (int i = 0; i < rounds; ++i) {
        siblingRenames(i);
        QElapsedTimer timer;
        timer.start();
        SqliteStatement query(sibling, "SELECT id, title, done, due_day, zs, steps_json, note_plain, note_id, link, "
                                       "source_app, updated_at FROM things WHERE id = 'T3';");
        (void)query.step();
        (void)query.text(1);
        readRow.append(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        model.refreshFromFamily();
        refresh.append(double(timer.nsecsElapsed()) / 1e6);
    }
    ratio("refresh after one sibling change", Rounds::medianOf(refresh), Rounds::medianOf(readRow));

    // One rename here; the sync publishes it. The floor writes that row alone.
    const QUuid id = model.planner().things(Place::onDay(today)).value(0).id;
    const QString syncID = model.planner().thing(id) ? model.planner().thing(id)->syncID.value_or(QString()) : QString();
    QList<double> sync;
    QList<double> writeRow;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        sibling.exec("BEGIN IMMEDIATE;");
        SqliteStatement update(sibling, "UPDATE things SET zs = zs WHERE id = ?;");
        update.bindText(1, syncID);
        update.run();
        sibling.exec("COMMIT;");
        writeRow.append(double(timer.nsecsElapsed()) / 1e6);
        model.refreshFromFamily();  // the floor's write read back, untimed
        model.rename(id, QStringLiteral("renamed here %1").arg(i));
        QThread::msleep(5);
        timer.start();
        synced();
        sync.append(double(timer.nsecsElapsed()) / 1e6);
    }
    ratio("sync after one edit", Rounds::medianOf(sync), Rounds::medianOf(writeRow));
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QGuiApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("family.db"));
    // The store's clock, moved on by hand: a sibling's write an hour after the first
    // publication is what a store meets in use, not one in the same minute.
    QDateTime clock = QDateTime::currentDateTimeUtc();
    FamilyStore store(path, [&] { return clock; });
    if (const auto error = store.openError()) {
        std::printf("the store didn't open: %s\n", qUtf8Printable(*error));
        return 1;
    }

    QList<SharedThing> things;
    for (int i = 0; i < count; ++i) {
        SharedThing t;
        t.id = QStringLiteral("0F0F0F0F-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        t.title = QStringLiteral("thing number %1").arg(i);
        t.day = QStringLiteral("2024-05-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        if (i % 3 == 0)
            t.steps = {{QStringLiteral("first step"), false}, {QStringLiteral("second step"), true}};
        t.note = i % 5 == 0 ? QStringLiteral("a short note") : QString();
        t.sourceApp = QStringLiteral("planner");
        things.append(t);
    }
    const QString app = QStringLiteral("planner");
    std::printf("%d things\n", count);

    QElapsedTimer timer;
    timer.start();
    const FamilyStore::Publication first = store.publish(things, app);
    line("first publication", double(timer.nsecsElapsed()) / 1e6,
         first.written == count ? "(every row written, one transaction)" : "(WRONG COUNT)");

    // Rows made anew for each publication, as a sync hands over rows it built again: a
    // new list, the same texts (the plan's own strings). Every row is compared with
    // what the store holds; only a text the store has not seen is read to its end.
    const auto again = [&] {
        QList<SharedThing> copy = things;
        copy.detach();
        return copy;
    };
    int writes = 0;
    QList<SharedThing> made = again();
    (void)store.publish(made, app);  // once untimed: the store shares the texts after that
    const double pass = median(11, [&](int) { writes += store.publish(made, app).written; }, [&](int) {
        made = again();
    });
    if (writes != 0)
        std::printf("WRONG: an unchanged republish wrote %d rows\n", writes);
    // The least an unchanged republish can cost: a look at every field of every row
    // against what the store holds, here an equal copy in memory.
    const QList<SharedThing> held = again();
    bool equal = true;
    const double compare = median(11, [&](int) { equal = made == held && equal; }, [&](int) { made = again(); });
    if (!equal)
        std::printf("WRONG: the copies differ\n");
    ratio("unchanged republish, rows made again", pass, compare);
    // Every title a new string, as after the store read its rows from the file.
    const auto retitled = [&] {
        QList<SharedThing> copy = again();
        for (SharedThing& row : copy)
            row.title = QString(row.title.constData(), row.title.size());
        return copy;
    };
    const double fresh = median(11, [&](int) { writes += store.publish(made, app).written; }, [&](int) {
        made = retitled();
    });
    line("unchanged republish, every title a new string", fresh, writes == 0 ? "(no write)" : "(WROTE ROWS)");
    const double sameLists = median(11, [&](int) { writes += store.publish(made, app).written; });
    line("unchanged republish, the very same list", sameLists, writes == 0 ? "(no write)" : "(WROTE ROWS)");

    // One changed row against the least it can cost: the pass above, plus that row's
    // write in a transaction of its own on a connection of the same file, as durable
    // as the store's.
    SqliteConnection raw = SqliteConnection::open(path).connection;
    raw.waitFor(std::chrono::seconds(10));
    raw.exec("PRAGMA synchronous=NORMAL;");
    bool floorWrote = true;
    const double floor = median(11, [&](int i) {
        floorWrote = raw.exec("BEGIN IMMEDIATE;") && floorWrote;
        SqliteStatement update(raw, "UPDATE things SET title = ?, updated_at = ? WHERE id = ?;");
        update.bindText(1, QStringLiteral("floor %1").arg(i));
        update.bindDouble(2, double(clock.toMSecsSinceEpoch()) / 1000.0 + i);
        update.bindText(3, things[1].id);
        floorWrote = update.run() && floorWrote;
        floorWrote = raw.exec("COMMIT;") && floorWrote;
    });
    if (!floorWrote)
        std::printf("the floor's writes failed\n");
    // The floor's writes came from another connection: the store reads its rows again
    // once, here, untimed.
    (void)store.publish(things, app);
    int oneWritten = 0;
    const double oneChanged = median(11, [&](int) { oneWritten += store.publish(made, app).written; }, [&](int i) {
        things[0].title = QStringLiteral("renamed %1").arg(i);
        made = again();
    });
    if (oneWritten != 11)
        std::printf("WRONG: %d rows written for 11 changes\n", oneWritten);
    versus("republish with one row changed", oneChanged, pass + floor, "the pass and one row's write");

    clock = clock.addSecs(3600);
    int siblingWritten = 0;
    const double afterSibling = median(
        5, [&](int) { siblingWritten += store.publish(things, app).written; },
        [&](int i) {
            clock = clock.addSecs(60);
            SqliteStatement update(raw, "UPDATE things SET done = 1, updated_at = ? WHERE id = ?;");
            update.bindDouble(1, double(clock.toMSecsSinceEpoch()) / 1000.0 + i);
            update.bindText(2, things[2].id);
            update.run();
        });
    line("republish after a sibling wrote a row", afterSibling,
         siblingWritten == 5 ? "(reads what the store holds again, writes that row back)" : "(WRONG COUNT)");

    const double readAll = median(5, [&](int) { (void)store.allThings(); });
    line("read all rows", readAll);

    modelSync();
    for (const int years : {1, 10, 30})
        modelAtYears(years);
    return 0;
}
