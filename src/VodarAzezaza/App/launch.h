#pragma once
// The launch options of the process. Only what the services below the windows read
// lives here so far; the application shell adds the folders, the pinned day, the
// start mode and the render options.

#include <QStringList>

class Launch {
public:
    Launch() = delete;

    // Whether the process was started with the argument "-demo". Read once, on first
    // use, from the application object's arguments, so ask after it exists.
    static bool isDemo();
    // The same test over a given argument list: an element equal to "-demo".
    static bool isDemo(const QStringList& arguments);
};
