#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream(stderr) << "Pemby Planner: the planner's model is built, but its windows are not yet; "
                           "there is nothing to show, so the app exits.\n";
    return 0;
}
