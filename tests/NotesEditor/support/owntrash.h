#pragma once
// Points the desktop trash at a scratch folder for the rest of the test process, so
// tests that trash notes never touch the user's own trash. The trash is the one in
// $XDG_DATA_HOME for files on the same volume as $HOME, so both are set; the
// scratch folders of the tests live on that volume too (the temporary folder).
// Call before the first trash.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

inline QString useOwnTrash()
{
    static QTemporaryDir home;
    static const bool set = [] {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
        return true;
    }();
    (void)set;
    return home.path() + QStringLiteral("/data/Trash");
}
