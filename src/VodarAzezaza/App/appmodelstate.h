#pragma once
// What the application model keeps that no view sees: the transition's bookkeeping,
// its timers, what the desktop lent it, and the steps its operations share. Shared
// only by the model's source files, so that this can change without the model's
// header changing for every view.

#include "appmodel.h"
#include "appmodelservices.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "focuspanelcontroller.h"
#include "focusmode.h"
#include "otherapps.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "plansearch.h"
#include "thingclipboard.h"
#include "thingnotefiles.h"
#include "thingnotes.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QTimeZone>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AppSettings;
class PembyClipboard;
class PembySyncObserver;
class ReminderCenter;

struct AppModel::State {
    State(const QString& folder, std::function<QDateTime()> clock, FamilyStore& familyStore, QSettings* defaults,
          QDBusConnection bus);
    ~State();

    // ---- Transitions ----------------------------------------------------------------
    // Every operation is one transition: it brings the whole model to its new state
    // before any change signal goes out, so an observer never sees half an operation;
    // then each property that ended up different from where it started says so once:
    // the model's own properties first, the selection's in their place after the
    // mode, then those of its other parts (the search, the drag, the settings, other
    // apps' things, focus mode, the lists), each in the order its signals are declared.
    // Operations that call operations join the outermost transition. A slot that runs
    // an operation from one of those signals starts a transition of its own, which
    // emits before the rest of the first one's.

    // A property changed during the transition, and how to tell whether it still differs
    // from the value it had when the transition began.
    struct Changed {
        ModelChanges::Signal signal;
        std::function<bool()> differs;
        std::function<void()> tell;  // emits the signal
    };

    // Whatever takes a thing away (a delete here or in a sibling app, a move off the
    // board, an undo, a re-read, a roll-over) ends every reference to it once, in the
    // same transition: the inline edit of its title (also when it only changes column,
    // since its row goes), its open detail, the selection and its anchor; the note
    // sheet only when the thing itself is gone. What the references named at the start
    // is kept for that, and only while there is one.
    struct TransitionStart {
        Planner planner;
        QList<Place> board;
        std::optional<Editing> editing;
        std::optional<QUuid> opened;
        std::optional<QUuid> editingNote;
        // Whether the other app's thing that the inline edit, the detail and the note
        // sheet name was there at the start.
        bool editedExternalThere = false;
        bool openedExternalThere = false;
        bool externalNoteThere = false;
    };

    int transitionDepth = 0;
    QList<Changed> changed;
    std::optional<TransitionStart> transitionStart;
    // Undo and redo: the anchor goes too when it is no longer selected afterwards.
    bool anchorFollowsSelection = false;

    // ---- The model's properties, in the order of their areas --------------------

    Planner planner;
    bool syncPending = false;
    Day today;
    Day anchor;
    Mode mode = Mode::Week;
    QSet<QUuid> selection;
    std::optional<QUuid> selectionAnchor;
    std::optional<Editing> editing;
    std::optional<QUuid> opened;
    std::optional<QString> openedExternal;
    std::optional<QString> editingExternalNote;
    std::optional<QUuid> editingNote;
    std::optional<Place> zoomed;
    std::optional<QString> toast;
    bool isSearching = false;
    QString searchText;
    EventLines events;
    std::optional<QString> saveError;
    std::optional<QString> syncError;
    QStringList skippedPlanFiles;
    bool emptyBannerSpent = false;
    int firstWeekdaySetting = 0;
    bool splitWeekend = true;
    bool showCalendar = false;
    bool showLists = true;
    std::optional<int> listToDelete;
    bool deletingAllLists = false;
    bool isFocusMode = false;
    FocusSource focusSource;
    bool floats = true;
    FocusMode::MainWindow mainWindow;
    std::function<void()> openMainWindow;
    NotesModel* notes = nullptr;  // owned by the model as a child
    QList<Planner> undoStack;
    QList<Planner> redoStack;
    QList<SharedThing> familyThings;
    std::optional<Day> pinnedToday;
    bool ownChangePending = false;
    QMap<QString, SharedThing> tickedExternal;
    QSet<QUuid> dragging;
    std::optional<SharedThing> draggingExternal;
    std::optional<QString> selectedExternal;
    QMap<QString, int> externalSlots;
    // The last publication met another app's lock past its wait.
    bool familyLockHeld = false;
    // A change of another app's thing waits for that lock.
    bool othersWait = false;
    int familyRefreshes = 0;
    bool writesFiles = true;

    // ---- What the model keeps between operations ------------------------------------

    // The list a delete confirmation is on screen for: its index and its name when
    // asked, so a re-read or an undo in between cannot make it delete another list.
    struct ListDeleteRequest {
        int index = 0;
        QString name;
    };
    std::optional<ListDeleteRequest> listDeleteRequest;

    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<BoardSelection> boardSelection;
    std::unique_ptr<PlannerSettings> plannerSettings;
    std::unique_ptr<OtherApps> otherApps;
    std::unique_ptr<FocusMode> focusMode;
    std::unique_ptr<ThingNotes> thingNotes;
    std::unique_ptr<ThingClipboard> thingClipboard;
    std::unique_ptr<PlannerLists> lists;
    std::unique_ptr<BoardDrag> drag;
    std::unique_ptr<PlanSearch> search;
    std::unique_ptr<ThingNoteFiles> noteFiles;
    std::unique_ptr<PembyClipboard> clipboard;
    // Why the last roll-over was held back, while it is.
    std::optional<QString> rollOverHeld;
    QTimer toastTimer;
    EventRead readEvents;
    // Raised by every calendar read and by turning the calendar off; a read's result
    // counts only while it is still the newest.
    quint64 eventsGeneration = 0;
    ReminderCenter* reminders = nullptr;  // owned by the model as a child
    PembySyncObserver* syncObserver = nullptr;  // owned by the model as a child
    QTimer syncTimer;
    // The plan as the reminders were last brought up to date; none when every loaded
    // week is due.
    std::optional<Planner> remindersSynced;
    // Runs the refresh for the notifications heard since it started.
    QTimer familyRefreshTimer;
    // The save error that a refused change of another app's thing put up.
    std::optional<QString> externalError;

    // What the desktop gives, from the services.
    std::function<QList<PembyThing>()> takeHandoff;
    std::function<bool(const QUrl&)> openUrl;
    std::function<QDateTime()> clock;
    QTimeZone zone;
    int localeFirstWeekday = 2;
    QSet<int> weekend;
    std::function<void()> activateApp;

    // ---- What the model is made on -------------------------------------------------
    // Last, so that they go first, before the parts and the timers above.

    ModelTransitions* transitions = nullptr;  // owned by the model as a child
    PlannerStore store;
    FamilyStore& familyStore;
    QSettings* defaults;
    std::unique_ptr<FocusPanelController> focus;
    QDBusConnection bus;
};

// What the model's operations and its parts do on the way. None of them opens a
// transition: each is part of its caller's. Where each is defined tells more.
struct AppModel::Steps {
    // ---- Transitions ----------------------------------------------------------------
    static void beginTransition(AppModel& m);
    static void endTransition(AppModel& m);
    static void endReferencesToLeavers(AppModel& m);
    static QList<Place> boardPlaces(const AppModel& m);

    // ---- State and settings ---------------------------------------------------------
    static void setPlanner(AppModel& m, Planner planner);
    static void loadWeeksOf(AppModel& m, const QList<Day>& days);
    static bool switchMode(AppModel& m, Mode mode);
    static QDateTime now(const AppModel& m);
    static int firstWeekday(const AppModel& m);
    static void loadVisible(AppModel& m);
    static QList<Day> visibleDays(const AppModel& m);

    // ---- Start-up, saving, undo and redo --------------------------------------------
    static void save(AppModel& m, bool broadcast);
    static void syncReminders(AppModel& m);
    static void restore(AppModel& m, QList<Planner>& from, QList<Planner>& to);
    static PlannerStore::FilesRead readPlanFiles(AppModel& m, const std::function<void(PlannerStore&, Planner&)>& read);
    static void patchSnapshots(AppModel& m, const std::function<void(Planner&)>& change);

    // ---- Navigation -----------------------------------------------------------------
    static void followReread(AppModel& m, const Planner& before);
    static int rollOverTo(AppModel& m, Day day);
};

class AppModel::Transition {
public:
    explicit Transition(AppModel& model) : model_(model)
    {
        if (model_.d_->transitionDepth++ == 0)
            Steps::beginTransition(model_);
    }
    ~Transition() { Steps::endTransition(model_); }
    Transition(const Transition&) = delete;
    Transition& operator=(const Transition&) = delete;

private:
    AppModel& model_;
};

template <class T, class C>
bool AppModel::assign(T& field, const T& value, C& object, void (C::*changed)())
{
    if (field == value)
        return false;
    replace(field, T(value), object, changed);
    return true;
}

template <class T, class C>
void AppModel::replace(T& field, T&& value, C& object, void (C::*changed)())
{
    if (d_->transitionDepth == 0) {
        field = std::move(value);
        emit d_->transitions->ended(ModelChanges({ModelChanges::Signal(changed)}));
        emit(object.*changed)();
        return;
    }
    const ModelChanges::Signal signal(changed);
    const auto same = [&](const State::Changed& c) { return c.signal == signal; };
    if (std::none_of(d_->changed.cbegin(), d_->changed.cend(), same)) {
        d_->changed.append(State::Changed{signal, [&field, was = field] { return !(field == was); },
                                          [&object, changed] { emit(object.*changed)(); }});
    }
    field = std::move(value);
}
