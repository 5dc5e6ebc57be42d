// The program itself, run as the desktop runs it: render runs that write their picture
// and nothing else, a failing render that says so, and a second launch that hands its
// link to the planner already running on the session bus.
#include "privatebus.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct Ran {
    int exitCode = -1;
    QString errors;
};

class AppRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString& name) const { return dir.filePath(name); }

    // The user's places (settings, caches, the family store) all inside the test's
    // folder, headless, on the given bus or on none.
    QProcessEnvironment environment(const QString& bus = QString()) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/config"));
        env.insert("XDG_DATA_HOME", path("home/data"));
        env.insert("XDG_CACHE_HOME", path("home/cache"));
        env.insert("TMPDIR", path("tmp"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.isEmpty() ? QStringLiteral("unix:path=/nonexistent") : bus);
        for (const char* name : {"PLANNER_DIR", "PLANNER_TODAY", "PLANNER_MODE", "PLANNER_OPEN", "PLANNER_RENDER",
                                 "PLANNER_NOTE", "PLANNER_APPEARANCE", "PEMBY_FAMILY_DB", "PEMBY_NOTES_DIR",
                                 "PEMBY_NOTES_APP_DIR"})
            env.remove(name);
        return env;
    }

    Ran run(const QProcessEnvironment& env, const QStringList& arguments = {}) const
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(PEMBY_APP, arguments);
        Ran ran;
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            return ran;
        }
        ran.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        ran.errors = QString::fromUtf8(process.readAllStandardError());
        return ran;
    }

    // Every file under a folder with a digest of its bytes.
    static QMap<QString, QByteArray> snapshot(const QString& folder)
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            QByteArray digest = "folder";
            if (it.fileInfo().isFile() && f.open(QIODevice::ReadOnly))
                digest = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
            files.insert(QDir(folder).relativeFilePath(file), digest);
        }
        return files;
    }

    void putPlan() const
    {
        QDir().mkpath(path("plan"));
        QFile week(path("plan/2026-W10.md"));
        ASSERT_TRUE(week.open(QIODevice::WriteOnly));
        // Monday's open thing would roll over to today in a run that writes.
        week.write("# 2026 week 10\n\n## mon 2026-03-02\n- [ ] left over\n\n## wed 2026-03-04\n- [ ] call the dentist\n");
    }

    QTemporaryDir dir;
};

TEST_F(AppRun, ADemoRenderWritesTheDemoWeekAndExitsCleanly)
{
    QProcessEnvironment env = environment();
    env.insert("PLANNER_RENDER", path("demo.png"));
    const Ran ran = run(env, {"-demo"});
    EXPECT_EQ(ran.exitCode, 0) << ran.errors.toStdString();
    EXPECT_EQ(QImage(path("demo.png")).size(), QSize(1100, 640));
}

TEST_F(AppRun, RenderRunsLeaveThePlannerFolderByteForByte)
{
    putPlan();
    const auto before = snapshot(path("plan"));
    struct Case {
        const char* mode;
        const char* note;
        QSize size;
    };
    const Case cases[] = {
        {"week", nullptr, {1100, 640}},
        {"month", nullptr, {1100, 640}},
        {"notes", nullptr, {1100, 640}},
        {"week", "call the dentist", {640, 520}},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.mode) + (c.note ? "-note" : "") + ".png";
        SCOPED_TRACE(name.toStdString());
        QProcessEnvironment env = environment();
        env.insert("PLANNER_DIR", path("plan"));
        env.insert("PLANNER_TODAY", "2026-03-04");
        env.insert("PLANNER_MODE", c.mode);
        if (c.note)
            env.insert("PLANNER_NOTE", c.note);
        env.insert("PLANNER_RENDER", path(name));
        const Ran ran = run(env);
        EXPECT_EQ(ran.exitCode, 0) << ran.errors.toStdString();
        EXPECT_EQ(QImage(path(name)).size(), c.size);
        EXPECT_EQ(snapshot(path("plan")), before);
    }
}

TEST_F(AppRun, ARenderThatCannotBeMadeExitsNonZeroAndSaysWhy)
{
    putPlan();
    struct Case {
        const char* name;
        const char* variable;
        const char* value;
        QString out;
        const char* says;
    };
    const Case cases[] = {
        {"unwritable place", "PLANNER_MODE", "week", path("nowhere/week.png"), "couldn't write"},
        {"a folder in the picture's place", "PLANNER_NOTE", "call the dentist", path("plan"), "couldn't write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = environment();
        env.insert("PLANNER_DIR", path("plan"));
        env.insert("PLANNER_TODAY", "2026-03-04");
        env.insert(c.variable, c.value);
        env.insert("PLANNER_RENDER", c.out);
        const Ran ran = run(env);
        EXPECT_NE(ran.exitCode, 0);
        EXPECT_TRUE(ran.errors.contains(QString::fromUtf8(c.says))) << ran.errors.toStdString();
        EXPECT_FALSE(QFileInfo(c.out).isFile());
    }
}

TEST_F(AppRun, ASecondLaunchHandsItsLinkToThePlannerThatRunsAndARenderBesideItStillDraws)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    putPlan();
    QProcessEnvironment env = environment(bus.address());
    env.insert("PLANNER_DIR", path("plan"));
    env.insert("PLANNER_TODAY", "2026-03-04");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(PEMBY_APP, {});
    ASSERT_TRUE(first.waitForStarted());
    QDBusConnection watcher = bus.connect("watcher");
    const auto holdsName = [&] { return watcher.interface()->isServiceRegistered("app.pemby.Planner").value(); };
    for (int i = 0; i < 300 && !holdsName(); ++i)
        QTest::qWait(20);
    ASSERT_TRUE(holdsName());

    const Ran second = run(env, {"vodarazezaza://add?title=buy%20milk&day=2026-03-04"});
    EXPECT_EQ(second.exitCode, 0) << second.errors.toStdString();
    const auto weekHolds = [&](const char* text) {
        QFile week(path("plan/2026-W10.md"));
        return week.open(QIODevice::ReadOnly) && week.readAll().contains(text);
    };
    for (int i = 0; i < 300 && !weekHolds("buy milk"); ++i)
        QTest::qWait(20);
    EXPECT_TRUE(weekHolds("buy milk"));

    QProcessEnvironment render = env;
    render.insert("PLANNER_RENDER", path("beside.png"));
    const Ran beside = run(render);
    EXPECT_EQ(beside.exitCode, 0) << beside.errors.toStdString();
    EXPECT_EQ(QImage(path("beside.png")).size(), QSize(1100, 640));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(5000)) {
        first.kill();
        first.waitForFinished();
    }
}

// The folders a run makes for itself in the temporary folder, by name.
QStringList runFolders(const QString& tmp)
{
    return QDir(tmp).entryList({QStringLiteral("pemby-planner-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

TEST_F(AppRun, EveryRunRemovesItsPrivateFoldersWhenItEndsSignalsIncluded)
{
    struct Case {
        const char* name;
        std::optional<int> signal;  // else a render, which ends by itself
        bool demo;
        bool render = false;  // with a signal: sent while the render settles
    };
    const Case cases[] = {
        {"a demo render", std::nullopt, true},
        {"a render of the plan", std::nullopt, false},
        {"a demo ended by SIGTERM", SIGTERM, true},
        {"a demo ended by SIGINT", SIGINT, true},
        {"a demo ended by SIGHUP", SIGHUP, true},
        {"a demo render ended by SIGTERM", SIGTERM, true, true},
    };
    putPlan();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = environment();
        QDir().mkpath(path("tmp"));
        if (!c.demo) {
            env.insert("PLANNER_DIR", path("plan"));
            env.insert("PLANNER_TODAY", "2026-03-04");
        }
        const QStringList arguments = c.demo ? QStringList{"-demo"} : QStringList{};
        if (!c.signal) {
            env.insert("PLANNER_RENDER", path("run.png"));
            const Ran ran = run(env, arguments);
            EXPECT_EQ(ran.exitCode, 0) << ran.errors.toStdString();
            EXPECT_EQ(runFolders(path("tmp")), QStringList());
            continue;
        }
        if (c.render)
            env.insert("PLANNER_RENDER", path("run.png"));
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(PEMBY_APP, arguments);
        ASSERT_TRUE(app.waitForStarted());
        // Up once its demo folder holds the plan and its scratch folder the family store.
        const QString pid = QString::number(app.processId());
        const auto up = [&] {
            return QFileInfo::exists(path("tmp/pemby-planner-demo-" + pid + "/repeats.md"))
                && (c.render || QFileInfo::exists(path("tmp/pemby-planner-scratch-" + pid + "/family.db")));
        };
        for (int i = 0; i < 600 && !up() && app.state() == QProcess::Running; ++i)
            QTest::qWait(20);
        if (c.render) {
            // The render settles for most of a second; the signal comes in the middle
            // of it (or, on a machine that lags, just after it drew and ended).
            ::kill(pid_t(app.processId()), *c.signal);
            ASSERT_TRUE(app.waitForFinished(30'000));
            EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << "not the signal's default end";
            EXPECT_TRUE(app.exitCode() == 128 + *c.signal || app.exitCode() == 0) << app.exitCode();
            EXPECT_EQ(runFolders(path("tmp")), QStringList());
            continue;
        }
        ASSERT_TRUE(up()) << runFolders(path("tmp")).join(", ").toStdString();
        QTest::qWait(300);
        ASSERT_EQ(::kill(pid_t(app.processId()), *c.signal), 0);
        ASSERT_TRUE(app.waitForFinished(30'000));
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << "the signal quits as Quit does";
        EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
        EXPECT_EQ(runFolders(path("tmp")), QStringList());
    }
}

} // namespace
