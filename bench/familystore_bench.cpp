// How long publishing the plan to the family store takes: the model republishes every
// own thing after each save, so the unchanged republish is the case that matters.
// Run: build/<config>/bench/familystore_bench [things]

#include "familystore.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdlib>

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    QTemporaryDir dir;
    FamilyStore store(dir.filePath(QStringLiteral("family.db")));
    QTextStream out(stdout);
    if (store.openError()) {
        out << "the store didn't open: " << *store.openError() << "\n";
        return 1;
    }

    QList<SharedThing> things;
    for (int i = 0; i < count; ++i) {
        SharedThing t;
        t.id = QStringLiteral("ID-%1").arg(i);
        t.title = QStringLiteral("thing number %1").arg(i);
        t.day = QStringLiteral("2024-05-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        t.steps = {{QStringLiteral("first step"), false}, {QStringLiteral("second step"), true}};
        t.note = QStringLiteral("a short note");
        t.sourceApp = QStringLiteral("planner");
        things.append(t);
    }

    const auto run = [&](const char* what, const auto& body) {
        QElapsedTimer timer;
        timer.start();
        body();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        out << what << ": " << ms << " ms (" << ms * 1000.0 / count << " us per thing)\n";
    };
    run("first publish", [&] { for (const auto& t : things) store.upsert(t); });
    run("unchanged republish", [&] { for (const auto& t : things) store.upsert(t); });
    run("read all", [&] { (void)store.allThings(); });
    run("one title changed each", [&] {
        for (const auto& t : things)
            store.setTitle(t.id, t.title + QStringLiteral(" (renamed)"));
    });
    return 0;
}
