// The application around its one model: moving to another planner folder in the fixed
// order, cancelling that, and quitting without losing an open note or a pending sync.
#include "plannerapp.h"

#include "appmodel.h"
#include "focusmode.h"
#include "focuspanel.h"
#include "menucommands.h"
#include "modelharness.h"
#include "plannercontent.h"
#include "settingsform.h"
#include "sheets.h"
#include "sheetstub.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

const Day today{2026, 3, 4};

class PlannerAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlannerApp::Options options;
        options.window.sheets = stubs.factories();
        options.host = [this] { return h.launchHost(today); };
        options.pickFolder = [this](QWidget*, const QString& start) {
            asked << start;
            return answer;
        };
        h.start();
        // The app owns its model; the harness's stays behind as a spare.
        auto model = Launch::modelForChosenFolder(h.folder(), options.host());
        // The window refreshes on the wall clock when it becomes active.
        model->setPinnedToday(today);
        app = std::make_unique<PlannerApp>(std::move(model), options);
        app->showMainWindow();
    }
    void TearDown() override
    {
        app.reset();
        QCoreApplication::processEvents();
    }

    ModelHarness h;
    SheetStubs stubs;
    std::unique_ptr<PlannerApp> app;
    QStringList asked;
    QString answer;
};

TEST_F(PlannerAppTest, ChoosingAnotherFolderSavesAndClosesWhatIsOpenOnTheOldModelFirst)
{
    QPointer<AppModel> old = &app->model();
    const auto id = old->add(QStringLiteral("call the dentist"), Place::onDay(today));
    old->setEditingNote(id);
    ASSERT_TRUE(app->mainWindow().sheets().sheet(SheetKind::ThingNote));
    old->setOpened(id);

    QStringList order;
    QObject::connect(old, &AppModel::editingNoteChanged, [&] { order << "sheet closed"; });
    QObject::connect(old, &AppModel::openedChanged, [&] { order << "popover closed"; });
    QObject::connect(&app->holder(), &ModelHolder::modelChanged, [&] { order << "switched"; });

    answer = h.root() + "/Other Plan";
    app->settingsWindow().choose()->click();
    EXPECT_EQ(asked, QStringList{h.folder()});
    EXPECT_EQ(stubs.saved(SheetKind::ThingNote), 1);
    EXPECT_EQ(order, (QStringList{"sheet closed", "popover closed", "switched"})) << order.join(", ").toStdString();
    ASSERT_TRUE(old) << "the old model lives until control is back in the event loop";
    EXPECT_EQ(old->editingNote(), std::nullopt);

    AppModel& now = app->model();
    EXPECT_NE(&now, old.data());
    EXPECT_EQ(now.store().folder(), answer);
    EXPECT_EQ(QSettings(h.root() + "/user.ini", QSettings::IniFormat).value("folder").toString(), answer);
    EXPECT_EQ(&app->mainWindow().content()->model(), &now);
    EXPECT_EQ(app->settingsWindow().folderPath()->toPlainText(), answer);
    EXPECT_EQ(app->mainWindow().sheets().sheet(SheetKind::ThingNote), nullptr);

    // The menus follow the new model.
    app->menus().action(MenuCommands::Command::Month)->trigger();
    EXPECT_EQ(now.mode(), Mode::Month);
    QTest::qWait(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(old);
}

TEST_F(PlannerAppTest, CancellingTheFolderDialogChangesNothing)
{
    AppModel* before = &app->model();
    const QVariant kept = QSettings(h.root() + "/user.ini", QSettings::IniFormat).value("folder");
    answer.clear();
    app->chooseFolder();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(&app->model(), before);
    EXPECT_EQ(QSettings(h.root() + "/user.ini", QSettings::IniFormat).value("folder"), kept);
}

TEST_F(PlannerAppTest, QuittingSavesTheOpenNoteAndRunsThePendingSync)
{
    AppModel& m = app->model();
    const auto id = m.add(QStringLiteral("call the dentist"), Place::onDay(today));
    m.setEditingNote(id);
    ASSERT_TRUE(m.syncPending());

    app->menus().action(MenuCommands::Command::Quit)->trigger();
    EXPECT_EQ(stubs.saved(SheetKind::ThingNote), 1);
    // What the event loop's end brings.
    app->finishBeforeQuitting();
    EXPECT_FALSE(m.syncPending());
    const Result<QList<SharedThing>> rows = h.family().allThings();
    ASSERT_TRUE(rows);
    QStringList published;
    for (const SharedThing& row : *rows)
        published << row.title;
    EXPECT_EQ(published, QStringList{"call the dentist"});
}

TEST_F(PlannerAppTest, AnActivationBringsTheClosedWindowBack)
{
    app->mainWindow().close();
    ASSERT_FALSE(app->mainWindow().isVisible());
    app->activate();
    EXPECT_TRUE(app->mainWindow().isVisible());
    app->open(QStringLiteral("vodarazezaza://add?title=buy%20milk&day=2026-03-04"));
    EXPECT_EQ(titlesOn(app->model(), Place::onDay(today)), QStringList{"buy milk"});
}

TEST_F(PlannerAppTest, SettingsOpenOverTheMainWindowAndOnTheScreen)
{
    MainView& main = app->mainWindow();
    SettingsForm& settings = app->settingsWindow();
    const QRect area = main.screen()->availableGeometry();
    main.resize(700, 500);
    main.move(area.topLeft() + QPoint(40, 30));
    QCoreApplication::processEvents();
    app->showSettings();
    ASSERT_TRUE(settings.isVisible());
    EXPECT_LE((settings.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 16);

    // Reopened after the main window moved into a corner: over it, and still on screen.
    settings.close();
    main.move(area.bottomRight() - QPoint(300, 200));
    QCoreApplication::processEvents();
    app->showSettings();
    EXPECT_TRUE(area.contains(settings.frameGeometry())) << settings.frameGeometry().x() << "," << settings.frameGeometry().y();
    EXPECT_TRUE(settings.frameGeometry().intersects(main.frameGeometry()));
    settings.close();
}

TEST(PlannerAppLaunch, ItsModelsHaveTheFocusPanelWithTheMenusActions)
{
    ModelHarness h;
    h.start();
    PlannerApp::Options options;
    options.launch.plannerDir = h.folder();
    options.launch.pinnedToday = today;
    options.host = [&h] {
        Launch::Host host = h.launchHost(today);
        // The desktop's own panel and activation, as a launch has them.
        host.services = [&h] {
            AppModelServices services = h.services();
            services.focusPanel.reset();
            services.activateApp = nullptr;
            return services;
        };
        return host;
    };
    QString other;
    options.pickFolder = [&other](QWidget*, const QString&) { return other; };
    PlannerApp app(options);
    app.showMainWindow();

    const auto enterAndLeave = [&](AppModel& m) {
        m.focusMode().enterFocusMode();
        ASSERT_TRUE(m.focus().hasPanel());
        auto* panel = static_cast<FocusPanelWindow::Controller&>(m.focus()).panel();
        ASSERT_TRUE(panel);
        EXPECT_TRUE(panel->isVisible());
        // The window goes once the panel stands, and the panel carries what the menus
        // would do while the window is away.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !app.mainWindow().isVisible(); }, 2000));
        EXPECT_TRUE(panel->actions().contains(app.menus().action(MenuCommands::Command::Undo)));
        EXPECT_FALSE(panel->actions().contains(app.menus().action(MenuCommands::Command::FocusMode)));
        m.focusMode().exitFocusMode();
        EXPECT_FALSE(panel->isVisible());
        EXPECT_TRUE(app.mainWindow().isVisible());
    };
    enterAndLeave(app.model());

    // A folder chosen later gets its own panel.
    other = h.root() + "/elsewhere";
    QDir().mkpath(other);
    app.useFolder(other);
    enterAndLeave(app.model());
}

} // namespace
