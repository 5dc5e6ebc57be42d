// Start-up of the planner to its first painted frame, and a render run, each beside a
// bare Qt program that paints one label (the floor), in rounds that take turns. Every
// run is a process of its own, started from here, so the figures include what a person
// waits for: loading Qt, the font, the model and the first frame. Also the peak memory
// of the app on the demo plan.
//
//   startup_bench [rounds]
#include "appearance.h"
#include "appmodel.h"
#include "benchmark.h"
#include "launch.h"
#include "mainview.h"
#include "pembyfont.h"
#include "plannerapp.h"
#include "plannercontent.h"
#include "renderer.h"
#include "tenyears.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// The peak resident memory of this process, in KiB.
long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Says "painted <peak KiB> <load ms>" once `widget` has painted, then ends the process.
class FirstFrame : public QObject {
public:
    FirstFrame(QWidget* widget, double loadMs) : loadMs_(loadMs) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !said_) {
            said_ = true;
            // After this paint has finished.
            QTimer::singleShot(0, this, [this] {
                std::printf("painted %ld %.2f\n", peakKiB(), loadMs_);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    double loadMs_;
    bool said_ = false;
};

int floorChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("floor"));
    label.resize(1100, 700);
    FirstFrame frame(&label, 0);
    label.show();
    return app.exec();
}

int floorRenderChild(int argc, char** argv, const QString& path)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("floor"));
    label.resize(Renderer::boardSize);
    label.setAttribute(Qt::WA_DontShowOnScreen);
    label.show();
    const bool saved = label.grab().save(path, "PNG");
    std::printf("painted %ld 0\n", peakKiB());
    return saved ? 0 : 1;
}

int appChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    const Launch& launch = Launch::current();
    PembyFont::registerFont();
    auto* appearance = new Appearance(Appearance::Sources::fromDesktop(launch), &app);
    appearance->makeAppWide();
    QElapsedTimer load;
    load.start();
    std::unique_ptr<AppModel> model = launch.makeModel();
    const double loadMs = double(load.nsecsElapsed()) / 1e6;
    if (launch.renderPath) {
        const Status drawn = Renderer::render(*model, launch, *launch.renderPath);
        std::printf("painted %ld %.2f\n", peakKiB(), loadMs);
        return drawn ? 0 : 1;
    }
    PlannerApp::Options options;
    options.launch = launch;
    PlannerApp planner(std::move(model), std::move(options));
    FirstFrame frame(planner.mainWindow().content(), loadMs);
    planner.showMainWindow();

    return app.exec();
}

struct Child {
    double ms = 0;
    double peakKiB = 0;
    double loadMs = 0;
};

Child runChild(const QString& self, const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(self, arguments);
    process.waitForFinished(120'000);
    Child child;
    child.ms = double(timer.nsecsElapsed()) / 1e6;
    const QList<QByteArray> words = process.readAllStandardOutput().trimmed().split(' ');
    if (words.size() == 3 && words[0] == "painted") {
        child.peakKiB = words[1].toDouble();
        child.loadMs = words[2].toDouble();
    } else {
        std::fprintf(stderr, "a run of %s did not paint\n", arguments.join(' ').toUtf8().constData());
    }
    return child;
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0) {
        const QByteArray kind = argv[2];
        if (kind == "floor")
            return floorChild(argc, argv);
        if (kind == "floor-render")
            return floorRenderChild(argc, argv, QString::fromLocal8Bit(argv[3]));
        return appChild(argc, argv);
    }
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;
    const QString self = QCoreApplication::applicationFilePath();

    QTemporaryDir dir;
    const Day today{2026, 3, 4};
    const Shape shape = Shape::around(today);
    qsizetype things = 0;
    const QString folder = dir.filePath(QStringLiteral("ten years"));
    if (!writeTenYearsOrSay(folder, shape, things))
        return 1;
    std::printf("ten years: %d weeks, %d months, %lld things\n", shape.weeks, shape.months, qlonglong(things));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("home/data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("home/cache")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), env.value(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")));
    // Nobody else's planner on the bus: this one runs alone.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    QProcessEnvironment tenYears = env;
    tenYears.insert(QStringLiteral("PLANNER_DIR"), folder);
    tenYears.insert(QStringLiteral("PLANNER_TODAY"), today.iso());
    QProcessEnvironment render = tenYears;
    const QString png = dir.filePath(QStringLiteral("render.png"));
    render.insert(QStringLiteral("PLANNER_RENDER"), png);

    QList<Child> floors, starts, floorRenders, renders;
    inTurns(
        rounds, [&](int) { floors.append(runChild(self, {"--child", "floor"}, env)); },
        [&](int) { starts.append(runChild(self, {"--child", "app"}, tenYears)); },
        [&](int) { floorRenders.append(runChild(self, {"--child", "floor-render", png}, env)); },
        [&](int) { renders.append(runChild(self, {"--child", "app"}, render)); });
    const auto median = [](const QList<Child>& runs, double Child::*field) {
        QList<double> values;
        for (const Child& c : runs)
            values.append(c.*field);
        return Rounds::medianOf(values);
    };
    const double floorMs = median(floors, &Child::ms);
    const double startMs = median(starts, &Child::ms);
    const double loadMs = median(starts, &Child::loadMs);
    std::printf("\n%-58s %9.1f ms\n", "floor: a bare Qt program paints one label", floorMs);
    std::printf("%-58s %9.1f ms  (%.1fx the floor; the model's load %.1f ms)\n",
                "start-up to the first frame, ten-year folder", startMs, startMs / floorMs, loadMs);
    std::printf("%-58s %9s     goal: within 3x the floor plus the load, %.1f ms\n", "", "", 3 * floorMs + loadMs);
    const double floorRenderMs = median(floorRenders, &Child::ms);
    const double renderMs = median(renders, &Child::ms);
    std::printf("%-58s %9.1f ms\n", "floor: a bare Qt program renders one label to a PNG", floorRenderMs);
    std::printf("%-58s %9.1f ms  (of which 900 ms is the settle before drawing)\n",
                "render run of the ten-year folder's week", renderMs);

    // Memory on the demo plan.
    QList<Child> demo;
    for (int i = 0; i < 3; ++i)
        demo.append(runChild(self, {"--child", "app", "-demo"}, env));
    std::printf("\n%-58s %9.1f ms  (writing the demo plan and notes included)\n",
                "start-up to the first frame, demo plan", median(demo, &Child::ms));
    std::printf("%-58s %9.1f MiB (floor %.1f MiB); goal under 60 MiB\n", "peak memory of the app on the demo plan",
                median(demo, &Child::peakKiB) / 1024.0, median(floors, &Child::peakKiB) / 1024.0);
    std::printf("%-58s %9.1f MiB\n", "peak memory of the app on the ten-year folder",
                median(starts, &Child::peakKiB) / 1024.0);
    return 0;
}
