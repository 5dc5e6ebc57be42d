#pragma once
// The one application model: it owns the plan, its store and its undo history, the
// inline edit and what is open, and carries out every user operation. Views observe it
// through the change signals and call its operations; it never calls a view, and it
// links no widget (the focus panel and the main window are reached through the small
// interfaces of appmodelservices.h).
//
// The class is spread over one source file per area, each named for it; this header is
// laid out in the same sections. Its parts with properties or operations of their own
// have their own class and header, reached through the accessors below: the selection
// (boardselection.h), the settings (plannersettings.h), other apps' things
// (otherapps.h), focus mode and the window hand-off (focusmode.h), the things' notes
// (thingnotes.h), the clipboard (thingclipboard.h), the lists (plannerlists.h), drag
// and drop (boarddrag.h) and the search (plansearch.h). Ideas of their own live beside
// it: the key map (keymap.h), the settings file (appsettings.h), the add link
// (addlink.h), the things' note files (thingnotefiles.h), a day's rows (todayrow.h).
// What no view sees is in appmodelstate.h (the model's state, its transitions and its
// steps) and appmodelsyncstate.h (the family sync's). Views that sync on several
// properties, of the model or its parts, follow transitions() once per operation.

#include "appmodeltypes.h"
#include "keymap.h"
#include "modelchanges.h"
#include "planner.h"
#include "plannerstore.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class BoardDrag;
class BoardSelection;
class FamilyStore;
class FocusMode;
class FocusPanelController;
class NotesModel;
class OtherApps;
class PlannerLists;
class PlannerSettings;
class PlanSearch;
struct PembyThing;
struct AppModelServices;
class QSettings;
class ThingClipboard;
class ThingNotes;

class AppModel : public QObject {
    Q_OBJECT

public:
    // ---- Construction ---------------------------------------------------------------

    using EventRead = CalendarEventRead;
    using Services = AppModelServices;

    // Starts the model on the planner folder: reads the settings, loads the plan around
    // `today`, rolls unfinished things over, saves and connects to the family store.
    // `notesFolder` is the family notes folder of the things' notes, `pembyNotesFolder`
    // the folder shared with the sibling notes app.
    AppModel(const QString& folder, Day today, QSettings* defaults, FamilyStore& familyStore,
             const QString& notesFolder, const QString& pembyNotesFolder, Services services,
             QObject* parent = nullptr);
    ~AppModel() override;

    // ---- State and settings ---------------------------------------------------------
    // Every setter returns early on an equal value, except that the settings' setters
    // write the key and run their side effect on every assignment; a signal follows only
    // a change.

    // The one notice at the end of each operation that changed anything.
    const ModelTransitions& transitions() const;

    const Planner& planner() const;
    PlannerStore& store();
    const PlannerStore& store() const;
    FamilyStore& familyStore();
    const FamilyStore& familyStore() const;
    bool writesFiles() const;
    QSettings* defaults() const;
    const QString& notesFolder() const;
    FocusPanelController& focus();
    const FocusPanelController& focus() const;
    // The notes screen's model, over the folder shared with the sibling notes app.
    NotesModel& notes();
    const NotesModel& notes() const;
    // The parts of the model with properties of their own; their changes are part of
    // the model's operations and its transitions.
    BoardSelection& selection();
    const BoardSelection& selection() const;
    PlannerSettings& settings();
    const PlannerSettings& settings() const;
    OtherApps& otherApps();
    const OtherApps& otherApps() const;
    FocusMode& focusMode();
    const FocusMode& focusMode() const;
    ThingNotes& thingNotes();
    const ThingNotes& thingNotes() const;
    ThingClipboard& clipboard();
    const ThingClipboard& clipboard() const;
    PlannerLists& lists();
    const PlannerLists& lists() const;
    BoardDrag& drag();
    const BoardDrag& drag() const;
    PlanSearch& search();
    const PlanSearch& search() const;

    Day today() const;
    Day anchor() const;

    Mode mode() const;
    // Only a change reacts: the notes screen ends the selection and the inline edit, the
    // boards load what they show.
    void setMode(Mode mode);

    const std::optional<Editing>& editing() const;
    void setEditing(const std::optional<Editing>& editing);
    const std::optional<QUuid>& opened() const;
    void setOpened(const std::optional<QUuid>& id);
    const std::optional<QString>& openedExternal() const;
    void setOpenedExternal(const std::optional<QString>& id);
    const std::optional<QString>& editingExternalNote() const;
    void setEditingExternalNote(const std::optional<QString>& id);
    const std::optional<QUuid>& editingNote() const;
    void setEditingNote(const std::optional<QUuid>& id);
    const std::optional<Place>& zoomed() const;
    void setZoomed(const std::optional<Place>& place);
    // Set by showToast and cleared by its timer.
    const std::optional<QString>& toast() const;
    // Calendar event lines of the visible days that have any.
    const EventLines& events() const;
    // The last failure to save, shown as the footnote until a save succeeds.
    const std::optional<QString>& saveError() const;
    // Why syncing with the family store is off, while it is: the footnote says so.
    const std::optional<QString>& syncError() const;
    // Plan files that were left alone because they are not regular files (links).
    const QStringList& skippedPlanFiles() const;
    // Publishing waits for another app's lock on the family store; the footnote says so
    // too (and syncErrorChanged tells of it).
    bool syncWaits() const;
    // Once true, never set back.
    bool emptyBannerSpent() const;
    void setEmptyBannerSpent(bool spent);

    // A fixed today given at launch: refresh(now) then keeps today on it.
    const std::optional<Day>& pinnedToday() const;
    void setPinnedToday(const std::optional<Day>& day);
    // This app has just posted the change notification and skips its echo.
    bool ownChangePending() const;
    // A family sync is scheduled and has not started yet.
    bool syncPending() const;
    // How many times the model has read the family store back.
    int familyRefreshes() const;

    // Reads the events of the visible days again, or drops them when the calendar is off.
    // Reads may overlap; only the newest one's result is taken.
    void refreshEvents();

    // ---- Start-up, saving, undo and redo --------------------------------------------

    // The one way a user operation changes the plan: runs `change` on the plan and, when
    // the plan then differs, keeps the old plan for undo (at most 100), empties redo and
    // saves. A change that changes nothing leaves no trace.
    void commit(const std::function<void(Planner&)>& change);
    // Puts up the toast; it goes after toastDuration, and a newer toast replaces it and
    // gets its own full time.
    void showToast(const QString& toast);
    // Runs the family sync once, syncDelay after the last call.
    void scheduleSync();
    // Runs a scheduled sync now rather than after its delay: the app is about to quit.
    void flushSync();
    void undo();
    void redo();
    // Oldest first.
    const QList<Planner>& undoStack() const;
    const QList<Planner>& redoStack() const;

    static constexpr int undoLimit = 100;

    // ---- Navigation and header texts ------------------------------------------------

    // "sun" ... "sat" by weekday (1 = Sunday) minus one; "jan" ... "dec" by month minus one.
    static const QStringList& dayNames();
    static const QStringList& monthNames();

    // The seven days of the visible week, from the first weekday on or before the anchor.
    QList<Day> weekDays() const;
    // The whole weeks that cover the anchor's month, 4 to 6 of them.
    QList<QList<Day>> monthWeeks() const;
    // Saturday and Sunday share the week board's last column.
    bool weekendShares() const;
    QString title() const;
    QString subtitle() const;
    // In the month the footnote names the shade of the done squares, which the dark
    // appearance draws light.
    QString footnote(bool darkAppearance = false) const;

    // n weeks on (months in month mode); negative goes back. Clears the selection.
    void go(int steps);
    // Back to today's week or month; the selection stays.
    void goToday();
    // The week or month of the day, in that mode.
    void showDay(Day day, Mode mode);
    // The heartbeat, when the app becomes active and once a minute: re-reads files
    // changed outside and moves to a new day, rolling unfinished things over.
    void refresh(const QDateTime& now);

    // ---- Syncing with the family store ----------------------------------------------

    // Reads the family store back: applies deletions of own things made elsewhere (as
    // undoable changes), keeps the other apps' rows, forgets the slots of rows that are
    // gone, and copies the siblings' edits of own rows into the plan. A read that fails
    // keeps what the last good one showed.
    void refreshFromFamily();

    // ---- Thing operations -----------------------------------------------------------
    // Each change of the plan is one commit: one undo step, saved and synced. An id the
    // plan no longer holds changes nothing.

    // The new thing's id, for the caller to select; none for a blank title.
    std::optional<QUuid> add(const QString& title, const Place& place);
    // Trimmed; a blank title deletes the thing without a toast.
    void rename(const QUuid& id, const QString& title);
    void update(const QUuid& id, const std::function<void(Thing&)>& change);
    void toggle(const QUuid& id);
    // Before the thing at `before` in the place; at the end without one.
    void move(const QUuid& id, const Place& to, std::optional<int> before);
    void setMark(const QUuid& id, std::optional<Mark> mark);
    // One undo step for all of them; none clears the mark.
    void setMark(const QList<QUuid>& ids, std::optional<Mark> mark);
    // Also fills the loaded weeks from today on with what the new rule makes.
    void setRepeat(const QUuid& id, std::optional<RepeatKind> kind);
    // A time asks the desktop whether notifications can be shown, and says so when not.
    void setReminder(const QUuid& id, std::optional<TimeOfDay> time);
    // Loads the day's week first; a day off the board closes the popover and says where
    // the thing went.
    void setDay(const QUuid& id, Day day);
    // The next thing of its place (else the one before) takes over the selection.
    void deleteThing(const QUuid& id, bool quietly);
    void deleteSelection(bool quietly);
    // The whole selection when the thing is part of one of several; else just the thing.
    void deleteFromMenu(const QUuid& id);
    // Things on days go to the same weekday next week (lists and months stay).
    void notThisWeek(const QList<QUuid>& ids);
    // The visible week's unfinished things from today on go to next week.
    void pushRestOfWeek();
    // To the end of the first undated list.
    void sendToEventually(const QList<QUuid>& ids);

    // Another app's thing, selected alone, gets the inline rename.
    void editExternal(const QString& id);
    // A new line in `place` takes the typing; nothing stays selected.
    void startNewThing(const Place& place);

    // ---- Gestures -------------------------------------------------------------------
    // What one click, key or menu item of a view asks for, each one operation, so the
    // views never chain calls and see one transition.

    // The thing alone selected, any inline edit ended, its detail open.
    void openDetail(const QUuid& id);
    // The same for another app's thing.
    void openExternalDetail(const QString& id);
    // The thing's note sheet, which the main window shows: its detail closes and focus
    // mode ends.
    void openNote(const QUuid& id);
    void openExternalNote(const QString& id);
    // Return in a title's field: the title as typed (blank deletes the thing) and the
    // field closes, unless the edit moved on meanwhile.
    void finishRename(const QUuid& id, const QString& title);
    // The same for another app's thing, while the store still has it.
    void finishExternalRename(const QString& id, const QString& title);
    // Return in the new line of `place`: what was typed becomes a thing there, selected.
    // True when the line stays open for the next one (`keepGoing`, a thing was added and
    // the line is still the edit); otherwise the line closes.
    bool commitNewLine(const Place& place, const QString& text, bool keepGoing);
    // The selected things onto the clipboard, then deleted without a toast.
    void cutSelection();
    // A row's menu: the thing becomes the selection unless it is part of it already.
    void cutFromMenu(const QUuid& id);
    void copyFromMenu(const QUuid& id);
    // The places on the board in board order: the focus place; the month's days and
    // then the month; or the week's days and then the lists when they are shown.
    QList<Place> columns() const;
    // Where a new thing goes: the focus place, the primary selection's place, today when
    // it is on the week board, else the week's first day.
    Place placeForNew() const;
    // The place of the focus panel: today, tomorrow, or a list (the first for an index
    // that names none).
    Place focusPlace() const;
    // "tue 5 mar", a list's name ("eventually" for none), "mar, roughly".
    QString label(const Place& place) const;

    // ---- Links ----------------------------------------------------------------------

    // A link opened with the app: "vodarazezaza://add?..." adds what it carries and says
    // so; every other link, and one that carries nothing usable, is ignored. Read from
    // the raw text: the scheme and host must be exactly lower case.
    void open(const QString& url);
    // A thing's link: the web and mail go to the desktop, our own links come here; any
    // other kind is refused with a toast.
    void openLink(const QString& link);

    // ---- Key map --------------------------------------------------------------------
    // The keys of the boards (inFocus false) and the focus panel (inFocus true).

    // Calls what the press asks for; whether it was consumed.
    KeyPress::Result handleKey(const KeyPress& press, bool inFocus);
    // What handleKey would do with the press, doing nothing.
    KeyCommand keyCommand(const KeyPress& press, bool inFocus) const;
    // Whether handleKey would consume the press: the views claim such keys before a
    // menu shortcut takes them.
    bool wouldHandleKey(const KeyPress& press, bool inFocus) const
    {
        return keyCommand(press, inFocus).result == KeyPress::Result::Handled;
    }

signals:
    void plannerChanged();
    void todayChanged();
    void anchorChanged();
    void modeChanged();
    void editingChanged();
    void openedChanged();
    void openedExternalChanged();
    void editingExternalNoteChanged();
    void editingNoteChanged();
    void zoomedChanged();
    void toastChanged();
    void eventsChanged();
    void saveErrorChanged();
    void syncErrorChanged();
    void skippedFilesChanged();
    void emptyBannerSpentChanged();

private:
    // What the model keeps that no view sees, known only to its own source files.
    struct State;
    std::unique_ptr<State> d_;

    // ---- Transitions ----------------------------------------------------------------
    // Every operation is one transition: the whole model reaches its new state before
    // any change signal goes out, then each property that ended up different says so
    // once (appmodelstate.h tells the rule in full).
    class Transition;
    friend class Transition;
    friend class PlannerSettings;
    friend class OtherApps;
    friend class FocusMode;
    friend class ThingNotes;
    friend class ThingClipboard;
    friend class PlannerLists;
    friend class BoardDrag;
    friend class BoardSelection;
    friend class PlanSearch;
    // Stores the value; unless it is equal, the signal of the model or of one of its
    // parts follows, at the end of the transition when one runs, else at once.
    template <class T, class C>
    bool assign(T& field, const T& value, C& object, void (C::*changed)());
    template <class T>
    bool assign(T& field, const T& value, void (AppModel::*changed)()) { return assign(field, value, *this, changed); }
    // The same for a value known to differ.
    template <class T, class C>
    void replace(T& field, T&& value, C& object, void (C::*changed)());

    // The model's own steps, which its operations and its parts take: the transition's
    // bookkeeping, replacing and saving the plan, loading what the board shows
    // (appmodelstate.h); and the family sync's (appmodelsyncstate.h).
    struct Steps;
    struct Sync;

    // What the family sync keeps between its runs, known only to its own code.
    struct SyncState;
    std::unique_ptr<SyncState> sync_;
};
