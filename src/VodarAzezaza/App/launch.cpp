#include "launch.h"

#include "logcategories.h"

#include <QCoreApplication>

bool Launch::isDemo()
{
    static const bool demo = [] {
        if (!QCoreApplication::instance())
            qCWarning(lcApp) << "launch arguments read before the application object exists";
        return isDemo(QCoreApplication::arguments());
    }();
    return demo;
}

bool Launch::isDemo(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("-demo"));
}
