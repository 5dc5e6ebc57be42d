// Nothing typed is lost on any way out. Every place text is typed (a rename, a new
// thing's line, a list's name, a detail's title and steps, the note sheet, the notes
// screen's editor) against every way the app ends or its window goes (Ctrl+Q, closing
// the focus panel, the session's save request, and SIGTERM, SIGINT and SIGHUP sent to a
// child process that runs the app): what was typed is in the files afterwards. And a
// rename survives its thing leaving the board wherever the thing still is.
#include "appmodel.h"
#include "boardselection.h"
#include "boardtesting.h"
#include "detailparts.h"
#include "editfield.h"
#include "focusmode.h"
#include "focuspanel.h"
#include "menucommands.h"
#include "modelharness.h"
#include "noteeditor.h"
#include "notesheet.h"
#include "notesmodel.h"
#include "notesview.h"
#include "notetextview.h"
#include "plannerapp.h"
#include "popover.h"
#include "thingdetail.h"
#include "thingrow.h"
#include "viewharness.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSessionManager>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <iostream>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);

// The first widget of the type, in any window of the app, that `wanted` takes.
template <class W>
W* findShown(const std::function<bool(W*)>& wanted = {})
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        for (W* widget : top->findChildren<W*>()) {
            if (widget->isVisible() && (!wanted || wanted(widget)))
                return widget;
        }
    }
    return nullptr;
}

FocusPanelWindow* shownPanel()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* panel = qobject_cast<FocusPanelWindow*>(top); panel && panel->isVisible())
            return panel;
    }
    return nullptr;
}

EditField* openField()
{
    return findShown<EditField>([](EditField* field) { return !field->isFinished(); });
}

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Whether a note file under the folder holds the words (the RTF writer keeps plain
// words as they are).
bool aNoteHolds(const QString& folder, const QString& words)
{
    QDirIterator it(folder, {QStringLiteral("*.rtf")}, QDir::Files);
    while (it.hasNext()) {
        if (read(it.next()).contains(words))
            return true;
    }
    return false;
}

// The planner app on a harness's folders, as the real one runs: the desktop's focus
// panel and the window's menus.
class Scene {
public:
    Scene()
    {
        PlannerApp::Options options;
        options.host = [this] { return h.launchHost(wednesday, true); };
        options.launch.plannerDir = h.folder();
        options.launch.pinnedToday = wednesday;
        app = std::make_unique<PlannerApp>(options);
        app->showMainWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&app->mainWindow()));
        m().add(QStringLiteral("call mum"), today);
        milk = *m().add(QStringLiteral("buy milk"), today);
    }
    ~Scene()
    {
        app.reset();
        QCoreApplication::processEvents();
    }

    AppModel& m() const { return app->model(); }
    QString weekFile() const { return read(h.folder() + "/2026-W10.md"); }

    ModelHarness h;
    std::unique_ptr<PlannerApp> app;
    QUuid milk;
};

struct Typing {
    const char* name;
    bool inFocusMode;  // the focus panel shows it too
    std::function<void(Scene&)> type;
    // What the files say afterwards, read from the harness's folder.
    std::function<void(const QString& root)> check;
};

EditField* waitForField()
{
    EditField* field = nullptr;
    [[maybe_unused]] const bool shown = QTest::qWaitFor([&] { return (field = openField()) != nullptr; }, 2000);
    return field;
}

QList<Typing> typings()
{
    const auto plan = [](const QString& root) { return read(root + "/Pemby Planner/2026-W10.md"); };
    return {
        {"a thing's rename", true,
         [](Scene& s) {
             s.m().selection().select(s.milk);
             s.m().setEditing(Editing::thing(s.milk));
             EditField* field = waitForField();
             ASSERT_TRUE(field);
             field->setCursorPosition(int(field->text().size()));
             QTest::keyClicks(field, QStringLiteral(" with oats"));
         },
         [plan](const QString& root) { EXPECT_TRUE(plan(root).contains("- [ ] buy milk with oats")) << plan(root).toStdString(); }},
        {"a new thing's line", true,
         [](Scene& s) {
             s.m().startNewThing(s.m().focusMode().isFocusMode() ? s.m().focusPlace() : today);
             EditField* field = waitForField();
             ASSERT_TRUE(field);
             QTest::keyClicks(field, QStringLiteral("pick up the parcel"));
         },
         [plan](const QString& root) { EXPECT_TRUE(plan(root).contains("- [ ] pick up the parcel")) << plan(root).toStdString(); }},
        {"a list's name", false,
         [](Scene& s) {
             s.m().setEditing(Editing::listName(0));
             EditField* field = waitForField();
             ASSERT_TRUE(field);
             field->selectAll();
             QTest::keyClicks(field, QStringLiteral("errands"));
         },
         [](const QString& root) {
             const QString lists = read(root + "/Pemby Planner/eventually.md");
             EXPECT_TRUE(lists.contains("## errands")) << lists.toStdString();
         }},
        {"a detail's title and steps", true,
         [](Scene& s) {
             s.m().selection().select(s.milk);
             s.m().setOpened(s.milk);
             ThingDetail* detail = nullptr;
             [[maybe_unused]] const bool shown =
                 QTest::qWaitFor([&] { return (detail = findShown<ThingDetail>()) != nullptr; }, 2000);
             ASSERT_TRUE(detail);
             auto* title = detail->findChild<DetailTitle*>();
             title->setCursorPosition(int(title->text().size()));
             QTest::keyClicks(title, QStringLiteral(", the blue one"));
             QTest::keyClicks(detail->findChild<DetailField*>(QStringLiteral("newStep")), QStringLiteral("oat milk"));
         },
         [plan](const QString& root) {
             EXPECT_TRUE(plan(root).contains("buy milk, the blue one")) << plan(root).toStdString();
             EXPECT_TRUE(plan(root).contains("oat milk")) << plan(root).toStdString();
         }},
        {"the note sheet", false,
         [](Scene& s) {
             s.m().setEditingNote(s.milk);
             NoteSheet* sheet = nullptr;
             [[maybe_unused]] const bool shown = QTest::qWaitFor(
                 [&] { return (sheet = findShown<NoteSheet>()) && sheet->editor().textView()->hasFocus(); }, 2000);
             ASSERT_TRUE(sheet);
             QTest::keyClicks(sheet->editor().textView(), QStringLiteral("ring the bell twice"));
         },
         [](const QString& root) { EXPECT_TRUE(aNoteHolds(root + "/family-notes", "ring the bell twice")); }},
        {"the notes screen's editor", false,
         [](Scene& s) {
             s.m().setMode(Mode::Notes);
             s.m().notes().create();
             NotesView* notes = nullptr;
             [[maybe_unused]] const bool shown = QTest::qWaitFor(
                 [&] { return (notes = findShown<NotesView>()) && notes->pane()->editor().textView()->hasFocus(); }, 2000);
             ASSERT_TRUE(notes);
             QTest::keyClicks(notes->pane()->editor().textView(), QStringLiteral("the second shelf"));
         },
         [](const QString& root) { EXPECT_TRUE(aNoteHolds(root + "/Notes", "the second shelf")); }},
    };
}

struct WayOut {
    const char* name;
    bool inFocusMode;
    std::function<void(Scene&)> take;
};

void pressCtrlQ(Scene& s);

QList<WayOut> inProcessWays()
{
    return {
        {"Ctrl+Q", false, pressCtrlQ},
        // The main window is hidden then, its rows and a field for the same edit too.
        {"Ctrl+Q in focus mode", true, pressCtrlQ},
        {"closing the focus panel", true,
         [](Scene&) {
             FocusPanelWindow* panel = shownPanel();
             ASSERT_TRUE(panel);
             for (QAction* action : panel->actions()) {
                 if (action->text() == QStringLiteral("Close"))
                     action->trigger();
             }
             EXPECT_FALSE(panel->isVisible());
         }},
        {"the session's save request", false,
         [](Scene&) {
             auto* session = qApp->findChild<QSessionManager*>();
             ASSERT_TRUE(session);
             emit qApp->commitDataRequest(*session);
         }},
    };
}

void pressCtrlQ(Scene& s)
{
    QAction* quit = s.app->menus().action(MenuCommands::Command::Quit);
    int quits = 0;
    const auto counting = QObject::connect(quit, &QAction::triggered, [&] { ++quits; });
    QWidget* keys = QApplication::focusWidget() ? QApplication::focusWidget() : &s.app->mainWindow();
    QTest::keyClick(keys, Qt::Key_Q, Qt::ControlModifier);
    QObject::disconnect(counting);
    // Over a sheet, a popover or the focus panel the shortcut is the keyboard's
    // business; the command is the same.
    const bool elsewhere =
        QApplication::activeModalWidget() || QApplication::activePopupWidget() || s.m().focusMode().isFocusMode();
    if (quits == 0 && elsewhere)
        quit->trigger();
    else
        EXPECT_EQ(quits, 1) << "the shortcut reaches Quit";
}

// The signals go to a child: this program again, running only the test below.
const char* childCase = "PEMBY_WAYS_OUT_TYPING";

} // namespace

TEST(WaysOut, WhatWasTypedIsInTheFilesAfterEveryWayOut)
{
    MotionPin still;
    for (const WayOut& way : inProcessWays()) {
        for (const Typing& typing : typings()) {
            if (way.inFocusMode && !typing.inFocusMode)
                continue;
            SCOPED_TRACE(std::string(typing.name) + ", then " + way.name);
            Scene s;
            if (way.inFocusMode) {
                s.m().focusMode().enterFocusMode();
                // The panel in the main window's place, as the user has it.
                ASSERT_TRUE(QTest::qWaitFor([&] { return shownPanel() && !s.app->mainWindow().isVisible(); }, 2000));
            }
            typing.type(s);
            if (::testing::Test::HasFatalFailure())
                return;
            way.take(s);
            typing.check(s.h.root());
        }
    }
}

TEST(WaysOut, WhatWasTypedIsInTheFilesAfterTheSessionsSignals)
{
    const QList<Typing> all = typings();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        for (qsizetype i = 0; i < all.size(); ++i) {
            SCOPED_TRACE(std::string(all[i].name) + ", then signal " + std::to_string(signal));
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(childCase, QString::number(i));
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(),
                        {"--gtest_also_run_disabled_tests", "--gtest_filter=WaysOut.DISABLED_TypeThenWaitForASignal"});
            ASSERT_TRUE(child.waitForStarted());
            QString root;
            QByteArray out;
            bool typed = false;
            for (int tries = 0; tries < 600 && !typed && child.state() == QProcess::Running; ++tries) {
                child.waitForReadyRead(100);
                out += child.readAllStandardOutput();
                for (const QByteArray& line : out.split('\n')) {
                    if (line.startsWith("root="))
                        root = QString::fromUtf8(line.mid(5));
                    typed = typed || line == "typed";
                }
            }
            ASSERT_TRUE(typed) << out.toStdString() << child.readAllStandardError().toStdString();
            ASSERT_EQ(::kill(pid_t(child.processId()), signal), 0);
            ASSERT_TRUE(child.waitForFinished(60'000));
            out += child.readAllStandardOutput();
            EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(child.exitCode(), 0) << out.toStdString() << child.readAllStandardError().toStdString();
            all[i].check(root);
            QDir(root).removeRecursively();
        }
    }
}

// The child of the test above: types in one place, says so, and runs until a signal
// ends it the way the app's own main() lets it.
TEST(WaysOut, DISABLED_TypeThenWaitForASignal)
{
    ASSERT_TRUE(qEnvironmentVariableIsSet(childCase));
    MotionPin still;
    Scene s;
    s.h.keepFolder();
    typings()[qEnvironmentVariableIntValue(childCase)].type(s);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    s.app->quitOnSignals();
    // A signal that never comes must not leave the parent waiting for ever.
    QTimer::singleShot(30'000, qApp, [] { QCoreApplication::exit(3); });
    std::cout << "root=" << s.h.root().toStdString() << "\ntyped" << std::endl;
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

namespace {

struct Leaving {
    const char* name;
    std::function<void(Scene&)> take;
    bool survives;  // the thing is still in the plan somewhere
};

void fromItsMenu(Scene& s, const QString& item)
{
    ThingRow* row = findShown<ThingRow>([&](ThingRow* r) { return r->thing().id == s.milk; });
    ASSERT_TRUE(row);
    std::unique_ptr<QMenu> menu(row->makeMenu());
    ASSERT_TRUE(trigger(*menu, item));
}

void editOutside(Scene& s, const std::function<void(QString&)> edit)
{
    QString week = s.weekFile();
    edit(week);
    s.h.age();
    s.h.put(QStringLiteral("2026-W10.md"), week);
    s.m().refresh(QDateTime::currentDateTime());
}

QList<Leaving> leavings()
{
    const auto takeLine = [](QString& week) {
        const qsizetype at = week.indexOf("- [ ] buy milk");
        const QString line = week.mid(at, week.indexOf('\n', at) + 1 - at);
        week.remove(at, line.size());
        return line;
    };
    return {
        {"a delete from the row's menu", [](Scene& s) { fromItsMenu(s, QStringLiteral("Delete")); }, false},
        {"Not This Week from the row's menu", [](Scene& s) { fromItsMenu(s, QStringLiteral("Not This Week")); }, true},
        {"Eventually from the row's menu", [](Scene& s) { fromItsMenu(s, QStringLiteral("Eventually")); }, true},
        {"a delete in the sibling app",
         [](Scene& s) {
             s.m().flushSync();
             ASSERT_TRUE(s.h.family().markDeleted(*s.m().planner().thing(s.milk)->syncID, QStringLiteral("todo")));
             s.m().refreshFromFamily();
         },
         false},
        {"an undo of its adding", [](Scene& s) { s.m().undo(); }, false},
        {"an undo of its move here",
         [](Scene& s) {
             s.m().undo();  // the rename began after it was carried over from Thursday
         },
         true},
        {"a re-read after its line was deleted outside", [takeLine](Scene& s) { editOutside(s, [&](QString& w) { takeLine(w); }); },
         false},
        {"a re-read after its line was moved to Thursday outside",
         [takeLine](Scene& s) {
             editOutside(s, [&](QString& week) {
                 const QString line = takeLine(week);
                 const QString thursday = QStringLiteral("## thu 2026-03-05\n");
                 week.insert(week.indexOf(thursday) + thursday.size(), line);
             });
         },
         true},
    };
}

} // namespace

TEST(WaysOut, ARenameSurvivesItsThingLeavingTheBoardWhereverTheThingStillIs)
{
    MotionPin still;
    for (const Leaving& leaving : leavings()) {
        SCOPED_TRACE(leaving.name);
        Scene s;
        if (QString(leaving.name) == QStringLiteral("an undo of its move here")) {
            s.m().move(s.milk, Place::onDay(Day{2026, 3, 5}), std::nullopt);
            s.m().move(s.milk, today, std::nullopt);
        }
        const QString syncID = *s.m().planner().thing(s.milk)->syncID;
        typings().first().type(s);
        ASSERT_FALSE(::testing::Test::HasFatalFailure());
        leaving.take(s);
        ASSERT_FALSE(::testing::Test::HasFatalFailure());
        QTest::qWait(1);

        EXPECT_EQ(s.m().editing(), std::nullopt);
        EXPECT_EQ(openField(), nullptr);
        EXPECT_TRUE(s.m().wouldHandleKey(KeyPress{Qt::Key_T, QStringLiteral("t")}, false)) << "the board has its keys";
        const auto thing = s.m().planner().thingWithSyncID(syncID);
        ASSERT_EQ(thing.has_value(), leaving.survives);
        if (thing) {
            EXPECT_EQ(thing->title, QStringLiteral("buy milk with oats"));
        }
        EXPECT_EQ(idOf(s.m().planner(), QStringLiteral("buy milk with oats")).isNull(), !leaving.survives);
    }
}

TEST(WaysOut, ARenameGoesOnThroughAReReadThatKeepsItsThingInPlace)
{
    MotionPin still;
    Scene s;
    const QString syncID = *s.m().planner().thing(s.milk)->syncID;
    typings().first().type(s);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    // A line added above gives every thing of the week a fresh id.
    editOutside(s, [](QString& week) { week.replace("- [ ] call mum", "- [ ] from the phone\n- [ ] call mum"); });
    QTest::qWait(1);
    ASSERT_FALSE(s.m().planner().thing(s.milk));
    ASSERT_TRUE(s.m().editing());

    EditField* field = openField();
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), QStringLiteral("buy milk with oats")) << "the row that shows it now goes on with it";
    QTest::keyClicks(field, QStringLiteral(", please"));
    QTest::keyClick(field, Qt::Key_Return);
    QTest::qWait(1);
    EXPECT_EQ(s.m().planner().thingWithSyncID(syncID)->title, QStringLiteral("buy milk with oats, please"));
    EXPECT_EQ(s.m().editing(), std::nullopt);
}
