#pragma once
// The options of one run, from the environment and the launch arguments, and the one
// application model built from them. Three kinds of run come out of it:
//   normal  the user's planner folder, the shared family store, the user's settings
//   demo    "-demo": a scratch folder with the demo plan, a scratch family store with
//           one row of the to-do app, the demo settings file emptied at start
//   render  PLANNER_RENDER without "-demo": the user's planner folder, read only, a
//           scratch family store, the demo settings file as it is
// The options are a plain value parsed from a given environment and argument list,
// so every kind of run can be tried without touching the process's own.

#include "appmodel.h"
#include "appmodelservices.h"
#include "appmodeltypes.h"
#include "calendar.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class FamilyStore;
class QSettings;

struct Launch {
    using Environment = QHash<QString, QString>;

    enum class Run { Normal, Demo, Render };
    enum class Appearance { Light, Dark };

    // A variable that is present counts as set, whatever its value; names and values
    // are compared exactly.
    bool demo = false;                          // the argument "-demo"
    std::optional<QString> plannerDir;          // PLANNER_DIR
    std::optional<Day> pinnedToday;             // PLANNER_TODAY when it parses, else the demo day in a demo run
    std::optional<Mode> startMode;              // PLANNER_MODE: "month" or "notes"
    std::optional<QString> openTitle;           // PLANNER_OPEN
    std::optional<QString> renderPath;          // PLANNER_RENDER
    std::optional<QString> renderNote;          // PLANNER_NOTE
    std::optional<Appearance> appearance;       // PLANNER_APPEARANCE: "dark" or "light"
    std::optional<QString> familyDatabase;      // PEMBY_FAMILY_DB, demo and render runs only
    std::optional<QString> familyNotesFolder;   // PEMBY_NOTES_DIR, demo and render runs only
    std::optional<QString> siblingNotesFolder;  // PEMBY_NOTES_APP_DIR
    // The first argument after the program that is no option: the link the desktop
    // started us with ("vodarazezaza://add?..." through the .desktop file's %u).
    std::optional<QString> link;

    bool operator==(const Launch&) const = default;

    static Launch parse(const Environment& environment, const QStringList& arguments);
    // The process's options: its environment and its application object's arguments,
    // read once, on first use, so ask after the application object exists.
    static const Launch& current();
    static Environment processEnvironment();

    // Whether the process was started with "-demo"; the same as current().demo.
    static bool isDemo();
    // The same test over a given argument list: an element equal to "-demo".
    static bool isDemo(const QStringList& arguments);

    Run run() const;
    // Demo and render runs keep away from the user's family store and settings.
    bool isScratch() const { return run() != Run::Normal; }
    // Only a normal run is the user's planner on the desktop: demo and render runs
    // neither claim the single-instance name nor hand their link to the planner that
    // holds it.
    bool joinsDesktop() const { return run() == Run::Normal; }

    // The prefixes of the temporary folders, followed by the process id.
    static QString demoFolderPrefix() { return QStringLiteral("pemby-planner-demo-"); }
    static QString scratchFolderPrefix() { return QStringLiteral("pemby-planner-scratch-"); }
    // The settings file of demo and render runs.
    static QString demoSuiteName() { return QStringLiteral("app.pemby.planner.demo"); }
    // Where the chosen planner folder is kept in the user's settings.
    static QString folderKey() { return QStringLiteral("folder"); }

    // What the process finds around it; the system's unless a test says otherwise.
    struct Host {
        QString tempFolder;
        qint64 pid = 0;
        // The user's documents folder; empty when there is none.
        QString documentsFolder;
        // The user's settings, and the settings file of demo and render runs.
        std::function<std::unique_ptr<QSettings>()> standardSettings;
        std::function<std::unique_ptr<QSettings>()> demoSettings;
        // The family store shared with the sibling apps, opened on first use.
        std::function<FamilyStore&()> sharedStore;
        // The family notes folder and the sibling notes app's folder of a normal run.
        QString familyNotesFolder;
        QString siblingNotesFolder;
        std::function<Day()> currentDay;
        // What the model uses of the desktop.
        std::function<AppModelServices()> services;

        static Host system();
    };

    // The planner folder: PLANNER_DIR; in a demo run the demo folder in the temporary
    // folder; the folder kept in the user's settings; "Pemby Planner" in Documents.
    QString folder(const Host& host) const;
    QString folder() const { return folder(Host::system()); }

    // Builds the model of this run: settles the folders, today and the settings, writes
    // the demo data in a demo run, opens the family store, makes the model, and puts it
    // into its start mode with the thing to open. The settings and a scratch family
    // store belong to the model and go with it. Always returns a model; what fails on
    // the way is logged where it happens.
    std::unique_ptr<AppModel> makeModel(const Host& host) const;
    std::unique_ptr<AppModel> makeModel() const { return makeModel(Host::system()); }

    // The model of a planner folder the user chose instead: the choice is kept under
    // "folder" in the user's settings (in a demo run too), and the model is a normal
    // one whatever this run is: today's date, the user's settings, the shared family
    // store and notes folders.
    static std::unique_ptr<AppModel> modelForChosenFolder(const QString& folder, const Host& host);
    static std::unique_ptr<AppModel> modelForChosenFolder(const QString& folder)
    {
        return modelForChosenFolder(folder, Host::system());
    }
};
