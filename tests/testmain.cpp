// Shared entry point of every test program: GoogleTest inside a running Qt
// application object, so timers, queued calls, D-Bus and QTextDocument work.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtGlobal>
#if defined(PEMBY_TEST_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(PEMBY_TEST_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    // Headless by default, so a test program run by hand behaves as under ctest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The spelling library keeps its personal word lists in the user's folder: every
    // test program gets a folder of its own instead.
    QTemporaryDir spelling;
    if (qEnvironmentVariableIsEmpty("ENCHANT_CONFIG_DIR"))
        qputenv("ENCHANT_CONFIG_DIR", spelling.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
