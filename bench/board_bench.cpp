// The boards over years of heavy use, every week and month of it loaded (as after a
// search): building the week board and painting it, one edit through the model until
// the board has followed it and painted, moving to the next week, and the month
// board. The edit must repaint within a 60 Hz frame (16 ms) and none of it may grow
// with the years loaded, so each figure is taken at one year, ten and thirty, and the
// week switch at thirty and the month switch at each size are set beside the same
// board over one year.
// Run on demand: build/<dir>/bench/board_bench
#include "appmodel.h"
#include "plansearch.h"
#include "benchmark.h"
#include "benchmodel.h"
#include "monthview.h"
#include "tenyears.h"
#include "weekview.h"

#include <QApplication>
#include <QImage>
#include <QMap>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace {

const QSize windowSize(1100, 700);

// A window of the app's default size holding one board.
struct Window {
    explicit Window(QWidget* board)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(board);
        window.resize(windowSize);
        window.show();
        settle();
    }
    static void settle()
    {
        // Layout requests and deferred deletions the last change posted.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // What the screen would show: the whole window painted into an image.
    void paint()
    {
        settle();
        image.fill(Qt::white);
        window.render(&image);
    }
    QWidget window;
    QImage image{windowSize, QImage::Format_ARGB32_Premultiplied};
};

// The medians of the two boards' switches.
struct Switches {
    double week = 0;
    double month = 0;
};

Switches boardsAt(const QTemporaryDir& dir, int years, Day today)
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

    constexpr int rounds = 21;
    Rounds build;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        Window w(new WeekView(m));
        w.paint();
        build.ms.append(double(timer.nsecsElapsed()) / 1e6);
    }

    // Only one board follows the model at a time, as in the window.
    auto week = std::make_unique<Window>(new WeekView(m));
    week->paint();
    const auto [edit, commit, repaint] = inTurns(
        rounds,
        [&](int) {
            m.toggle(id);
            week->paint();
        },
        // The model's own part: the same edit, there and back, with nobody listening.
        [&](int) {
            const QSignalBlocker quiet(&m);
            m.toggle(id);
            m.toggle(id);
        },
        [&](int) { week->paint(); });
    const auto [next] = inTurns(rounds, [&](int i) {
        m.go(i % 2 ? -1 : 1);
        week->paint();
    });
    week.reset();

    m.showDay(today, Mode::Month);
    Rounds month;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        Window w(new MonthView(m));
        w.paint();
        month.ms.append(double(timer.nsecsElapsed()) / 1e6);
    }
    Window board(new MonthView(m));
    board.paint();
    const auto [monthEdit, monthCommit, monthRepaint, monthNext] = inTurns(
        rounds,
        [&](int) {
            m.toggle(id);
            board.paint();
        },
        [&](int) {
            const QSignalBlocker quiet(&m);
            m.toggle(id);
            m.toggle(id);
        },
        [&](int) { board.paint(); },
        [&](int i) {
            m.go(i % 2 ? -1 : 1);
            board.paint();
        });

    std::printf("%5d %9lld | %8.2f %8.2f %8.2f %8.2f %8.2f | %8.2f %8.2f %8.2f %8.2f %8.2f\n", years, (long long)made,
                build.median(), edit.median(), commit.median() / 2, repaint.median(), next.median(), month.median(),
                monthEdit.median(), monthCommit.median() / 2, monthRepaint.median(), monthNext.median());
    return {next.median(), monthNext.median()};
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const Day today = Day::today();
    std::printf("the boards in a %dx%d window, everything loaded: ms, medians of 21 rounds;\n"
                "build: a new board shown and painted; edit: a tick through the model until the\n"
                "board has followed and painted; commit: the model's part of it (the same tick with\n"
                "nobody listening, save included); repaint: painting the board alone; next: the\n"
                "next week or month, loaded, followed and painted\n",
                windowSize.width(), windowSize.height());
    std::printf("%16s | %-44s | %s\n", "", "week board", "month board");
    std::printf("%5s %9s | %8s %8s %8s %8s %8s | %8s %8s %8s %8s %8s\n", "years", "things", "build", "edit", "commit",
                "repaint", "next", "build", "edit", "commit", "repaint", "next");
    QMap<int, Switches> switches;
    for (const int years : {1, 10, 30})
        switches.insert(years, boardsAt(dir, years, today));
    std::printf("\nweek switch, everything loaded, 30 y %8.2f ms, floor %8.2f ms, ratio %.1fx   "
                "floor: the same board over 1 year\n",
                switches[30].week, switches[1].week, switches[30].week / switches[1].week);
    for (const int years : {1, 10, 30})
        std::printf("month switch, everything loaded, %2d y %8.2f ms, floor %8.2f ms, ratio %.1fx   "
                    "floor: the same board over 1 year\n",
                    years, switches[years].month, switches[1].month, switches[years].month / switches[1].month);
    return 0;
}
