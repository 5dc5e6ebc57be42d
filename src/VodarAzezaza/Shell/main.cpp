#include "appearance.h"
#include "appmodel.h"
#include "launch.h"
#include "pembyfont.h"
#include "plannerapp.h"
#include "privatefolder.h"
#include "quitsignals.h"
#include "renderer.h"
#include "singleinstance.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char** argv)
{
    // A render needs no screen: without a display it paints off screen.
    if (qEnvironmentVariableIsSet("PLANNER_RENDER") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pemby Planner"));
    QApplication::setDesktopFileName(QStringLiteral("app.pemby.Planner"));
    const Launch& launch = Launch::current();
    // Destroyed after the model and the windows, however the run ends (a render, Quit,
    // a signal): the run's private temporary folders go last.
    struct RunFolders {
        ~RunFolders() { pemby::removeRunFolders(); }
    } runFolders;

    SingleInstance instance(QDBusConnection::sessionBus());
    if (launch.joinsDesktop() && instance.start(launch.link) == SingleInstance::Outcome::Forwarded)
        return 0;

    // The font and the appearance come before the first window, the font before the
    // model.
    PembyFont::registerFont();
    auto* appearance = new Appearance(Appearance::Sources::fromDesktop(launch), &app);
    appearance->makeAppWide();

    if (launch.renderPath) {
        // A render only draws: its one model writes nothing, and it ends when the
        // picture is written or cannot be. A signal meanwhile has nothing to save: the
        // run's folders go, then the process ends as the signal asks.
        QuitSignals quitting;
        QObject::connect(&quitting, &QuitSignals::received, &quitting, [](int signal) {
            pemby::removeRunFolders();
            ::_exit(128 + signal);
        });
        const std::unique_ptr<AppModel> model = launch.makeModel();
        if (launch.link)
            model->open(*launch.link);
        const Status drawn = Renderer::render(*model, launch, *launch.renderPath);
        if (!drawn) {
            QTextStream(stderr) << "Pemby Planner: " << drawn.errorText() << "\n";
            return 1;
        }
        return 0;
    }

    PlannerApp::Options options;
    options.launch = launch;
    PlannerApp planner(std::move(options));
    planner.quitOnSignals();
    QObject::connect(&instance, &SingleInstance::openRequested, &planner, &PlannerApp::open);
    QObject::connect(&instance, &SingleInstance::activateRequested, &planner, &PlannerApp::activate);
    planner.showMainWindow();
    if (launch.link)
        planner.open(*launch.link);
    return app.exec();
}
