#include "appearance.h"
#include "appmodel.h"
#include "launch.h"
#include "modelholder.h"
#include "pembyfont.h"
#include "singleinstance.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTextStream>

int main(int argc, char** argv)
{
    // A render needs no screen: without a display it paints off screen.
    if (qEnvironmentVariableIsSet("PLANNER_RENDER") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Launch& launch = Launch::current();

    SingleInstance instance(QDBusConnection::sessionBus());
    if (launch.joinsDesktop() && instance.start(launch.link) == SingleInstance::Outcome::Forwarded)
        return 0;

    // The font and the appearance come before the first window, the font before the
    // model.
    PembyFont::registerFont();
    auto* appearance = new Appearance(Appearance::Sources::fromDesktop(launch), &app);
    appearance->makeAppWide();

    ModelHolder holder;
    holder.replace(launch.makeModel());
    QObject::connect(&instance, &SingleInstance::openRequested, &holder, [&holder](const QString& url) {
        holder.model()->open(url);
    });
    QObject::connect(&instance, &SingleInstance::activateRequested, &holder, [&holder] { holder.model()->reopen(); });
    if (launch.link)
        holder.model()->open(*launch.link);

    if (launch.renderPath) {
        QTextStream(stderr) << "Pemby Planner: rendering to an image is not available yet; nothing was written to "
                            << *launch.renderPath << ".\n";
        return 1;
    }
    QTextStream(stderr) << "Pemby Planner: the planner's model is built, but its windows are not yet; "
                           "there is nothing to show, so the app exits.\n";
    return 0;
}
