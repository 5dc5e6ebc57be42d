#pragma once
// The application: the one model in its holder, the main window with its menus, and the
// settings window; choosing another planner folder; and quitting without losing what
// is open.
//
// API
//   PembyFont::registerFont();  appearance->makeAppWide();        first, in main()
//   PlannerApp app(PlannerApp::Options{.launch = launch});   builds the launch's model
//   app.showMainWindow();
//   connect(&instance, &SingleInstance::openRequested, &app, &PlannerApp::open);
//
// Choosing a folder replaces the model in this order: what is open on the old model
// (sheets, popovers, the inline edit, the notes pane) is saved and closed against it,
// its focus panel goes, the holder switches and every window follows, and the old
// model is deleted once control is back in the event loop.

#include "launch.h"
#include "mainview.h"
#include "modelholder.h"

#include <QObject>

#include <functional>
#include <memory>

class MenuCommands;
class SettingsForm;

class PlannerApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        Launch launch;
        // Where a chosen folder's model finds the user's settings and stores.
        std::function<Launch::Host()> host = [] { return Launch::Host::system(); };
        // Asks for a folder, starting at the given one; empty when the user cancels.
        // The desktop's folder dialog.
        std::function<QString(QWidget* parent, const QString& start)> pickFolder;
        MainView::Options window;
    };

    PlannerApp(std::unique_ptr<AppModel> model, Options options, QObject* parent = nullptr);
    // The app of a launch: its model is built on the desktop host, with the focus panel.
    explicit PlannerApp(Options options, QObject* parent = nullptr);
    ~PlannerApp() override;

    AppModel& model() const { return *holder_.model(); }
    ModelHolder& holder() { return holder_; }
    MainView& mainWindow() const { return *main_; }
    SettingsForm& settingsWindow() const { return *settings_; }
    MenuCommands& menus() const { return *menus_; }

    void showMainWindow();
    void showSettings();
    // Asks for another planner folder and moves to it; cancelling changes nothing.
    void chooseFolder();
    // Moves to a planner folder: kept in the user's settings, a normal model built on it.
    void useFolder(const QString& folder);
    // Saves what is open (a note, the notes pane, an inline edit) and runs a pending
    // family sync, then quits. The session's signals end here too.
    void quit();
    // SIGTERM, SIGINT and SIGHUP quit as the Quit command does, from now on.
    void quitOnSignals();
    // The session manager asks for everything to be saved before the session ends:
    // what is open is saved as for quitting, and the end of the session is never
    // cancelled. Whatever was typed is committed, so its fields close.
    void commitData();

    // A link handed over by a later launch, and an activation from one.
    void open(const QString& url);
    void activate();

    // The last word before the event loop ends, however the app is quit: what is open
    // is saved and a pending family sync runs now.
    void finishBeforeQuitting();
    // What every way out runs first: what is being typed goes into the model (inline
    // fields, detail popovers), the sheets and the notes pane save, the inline edit
    // ends and a pending family sync runs now.
    void saveEverything();

    static QString pickFolderWithDialog(QWidget* parent, const QString& start);

    // The options' host, with what the windows give every model of this app that the
    // host leaves unset: the focus panel, carrying the menus' actions, and bringing the
    // app to the front when focus mode ends.
    Launch::Host desktopHost();

protected:
    // Links the desktop opens with the app itself (a file-open event on macOS).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start(std::unique_ptr<AppModel> model);

    Options options_;
    ModelHolder holder_;
    std::unique_ptr<MainView> main_;
    std::unique_ptr<SettingsForm> settings_;
    MenuCommands* menus_;
    bool quitting_ = false;
};
