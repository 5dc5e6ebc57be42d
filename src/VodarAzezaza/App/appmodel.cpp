// The model's state: construction and start-up, the settings in the user's settings
// file, and the routines the settings and the navigation share.
#include "appmodel.h"

#include "appmodelservices.h"
#include "appmodelstate.h"
#include "appmodelsyncstate.h"
#include "appsettings.h"
#include "calendarreader.h"
#include "familystore.h"
#include "familysync.h"
#include "focuspanelcontroller.h"
#include "logcategories.h"
#include "notesmodel.h"
#include "pembyclipboard.h"
#include "pembysyncobserver.h"
#include "remindercenter.h"
#include "textfile.h"
#include "textutil.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMetaMethod>
#include <QSettings>

#include <cmath>
#include <limits>

namespace {

// Until the windows bring the real panel, no panel is ever made.
class NoFocusPanel final : public FocusPanelController {
public:
    bool hasPanel() const override { return false; }
    void showPanel(AppModel&, bool) override {}
    void hidePanel() override {}
    void applyFloating(bool) override {}
};

AppModel::EventRead calendarRead(const QTimeZone& zone)
{
    auto reader = std::make_shared<CalendarReader>(CalendarReader::defaultFolders(), zone);
    return [reader](const QList<Day>& days, QObject* context, std::function<void(const EventLines&)> done) {
        reader->events(days, context, std::move(done));
    };
}

int systemFirstWeekday()
{
    return weekdayFromQt(int(QLocale::system().firstDayOfWeek()));
}

QSet<int> systemWeekend()
{
    const QList<Qt::DayOfWeek> working = QLocale::system().weekdays();
    QSet<int> weekend;
    for (int qtDay = 1; qtDay <= 7; ++qtDay) {
        if (!working.contains(Qt::DayOfWeek(qtDay)))
            weekend.insert(weekdayFromQt(qtDay));
    }
    return weekend;
}

} // namespace

AppModel::State::State(const QString& folder, std::function<QDateTime()> clock, FamilyStore& familyStore, QSettings* defaults,
                       QDBusConnection bus)
    : store(folder, std::move(clock))
    , familyStore(familyStore)
    , defaults(defaults)
    , bus(std::move(bus))
{
}

AppModel::State::~State() = default;

AppModel::AppModel(const QString& folder, Day today, QSettings* defaults, FamilyStore& familyStore,
                   const QString& notesFolder, const QString& pembyNotesFolder, Services services, QObject* parent)
    : QObject(parent)
    // Conflict copies are named by the model's clock, as everything else it dates.
    , d_(std::make_unique<State>(folder, [this] { return Steps::now(*this); }, familyStore, defaults,
                                 services.bus.value_or(QDBusConnection::sessionBus())))
{
    Q_ASSERT(d_->defaults);
    d_->focus = services.focusPanel ? std::move(services.focusPanel) : std::make_unique<NoFocusPanel>();
    d_->today = today;
    d_->anchor = today;
    d_->writesFiles = services.writesFiles;
    d_->settings = std::make_unique<AppSettings>(*defaults);
    d_->boardSelection.reset(new BoardSelection(*this));
    d_->plannerSettings.reset(new PlannerSettings(*this));
    d_->otherApps.reset(new OtherApps(*this));
    d_->focusMode.reset(new FocusMode(*this));
    d_->thingNotes.reset(new ThingNotes(*this));
    d_->thingClipboard.reset(new ThingClipboard(*this));
    d_->lists.reset(new PlannerLists(*this));
    d_->drag.reset(new BoardDrag(*this));
    d_->search.reset(new PlanSearch(*this));
    d_->noteFiles = std::make_unique<ThingNoteFiles>(notesFolder, services.writesFiles);
    d_->readEvents = services.readEvents ? std::move(services.readEvents) : calendarRead(services.zone);
    d_->clock = std::move(services.now);
    d_->zone = services.zone;
    d_->localeFirstWeekday = services.firstWeekday.value_or(systemFirstWeekday());
    d_->weekend = services.weekend.value_or(systemWeekend());
    d_->activateApp = std::move(services.activateApp);
    d_->transitions = new ModelTransitions(this);
    sync_ = std::make_unique<SyncState>();
    d_->clipboard = services.clipboard ? std::move(services.clipboard) : pemby::systemClipboard();
    d_->takeHandoff = std::move(services.takeHandoff);
    if (!d_->takeHandoff)
        d_->takeHandoff = [] { return PembyThings::takeHandoff(); };
    d_->openUrl = std::move(services.openUrl);
    if (!d_->openUrl)
        d_->openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    d_->reminders = services.reminders ? services.reminders.release() : new ReminderCenter();
    d_->reminders->setParent(this);
    d_->syncObserver = new PembySyncObserver(this);

    // Coarse timers may fire early; a toast gets its whole time.
    d_->toastTimer.setTimerType(Qt::PreciseTimer);
    d_->toastTimer.setSingleShot(true);
    d_->toastTimer.setInterval(services.toastDuration);
    connect(&d_->toastTimer, &QTimer::timeout, this, [this] { assign(d_->toast, std::optional<QString>(), &AppModel::toastChanged); });
    d_->syncTimer.setTimerType(Qt::PreciseTimer);
    d_->syncTimer.setSingleShot(true);
    d_->syncTimer.setInterval(services.syncDelay);
    connect(&d_->syncTimer, &QTimer::timeout, this, [this] { Sync::syncAll(*this); });
    d_->familyRefreshTimer.setSingleShot(true);
    d_->familyRefreshTimer.setInterval(std::chrono::milliseconds(30));
    connect(&d_->familyRefreshTimer, &QTimer::timeout, this, [this] { refreshFromFamily(); });

    d_->syncError = d_->familyStore.failure();
    sync_->familyGeneration = d_->familyStore.generation();
    {
        QString basePath;
        if (services.familyBasePath)
            basePath = *services.familyBasePath;
        else if (d_->writesFiles && !d_->defaults->fileName().isEmpty())
            basePath = QFileInfo(d_->defaults->fileName()).dir().filePath(QStringLiteral("family-base.db"));
        sync_->familySync = std::make_unique<FamilySync>(d_->familyStore, Sync::plannerTag(), basePath);
    }
    // Other apps' things changed here once the lock that kept the change waiting went.
    sync_->familySync->setOnOthersWritten([this](const FamilySync::OthersWritten& written) {
        const Transition transition(*this);
        if (written.refused)
            otherApps().externalChangeFailed(written.refused->error, OtherApps::changeFailedText(written.refusedApp));
        if (written.changed)
            Sync::announce(*this);
        refreshFromFamily();
    });

    // The fields take the stored values as they are: no setter runs, no key is written.
    const AppSettings::Values stored = d_->settings->read();
    d_->externalSlots = stored.otherAppSlots;
    d_->firstWeekdaySetting = stored.firstWeekday;
    d_->splitWeekend = stored.splitWeekend;
    d_->showCalendar = stored.showCalendar;
    d_->showLists = stored.showLists;
    d_->floats = stored.floats;

    d_->notes = new NotesModel(pembyNotesFolder, d_->clock, this);

    // A save killed midway leaves its temporary file; the next start clears those away.
    if (d_->writesFiles) {
        for (const QString& folder : {d_->store.folder(), d_->notes->store().directory(), d_->noteFiles->folder()}) {
            for (const QString& name : pemby::removeStaleTemporaryFiles(folder))
                qCInfo(lcStore) << "removed the temporary file" << name << "a save left in" << folder;
        }
    }

    Steps::readPlanFiles(*this, [this](PlannerStore& store, Planner& plan) {
        store.loadBase(plan);
        store.loadWeeks(d_->today.adding(-35), d_->today.adding(7), plan);
    });
    Steps::loadVisible(*this);

    const int carried = Steps::rollOverTo(*this, d_->today);
    Steps::save(*this, true);
    if (carried == 1)
        showToast(QStringLiteral("1 thing rolled over. we've all been there."));
    else if (carried > 1)
        showToast(QString::number(carried) + QStringLiteral(" things rolled over. we've all been there."));

    refreshEvents();
    d_->syncObserver->setOnChanged([this] { Sync::familyChanged(*this); }, this);
    d_->syncObserver->observe(d_->bus);
    scheduleSync();
    Sync::refreshFromFamily(*this);
    d_->notes->setToast([model = QPointer<AppModel>(this)](const QString& text) {
        if (model)
            model->showToast(text);
    });
}

AppModel::~AppModel() = default;

const ModelTransitions& AppModel::transitions() const
{
    return *d_->transitions;
}

PlannerStore& AppModel::store()
{
    return d_->store;
}

const PlannerStore& AppModel::store() const
{
    return d_->store;
}

FamilyStore& AppModel::familyStore()
{
    return d_->familyStore;
}

const FamilyStore& AppModel::familyStore() const
{
    return d_->familyStore;
}

QSettings* AppModel::defaults() const
{
    return d_->defaults;
}

FocusPanelController& AppModel::focus()
{
    return *d_->focus;
}

const FocusPanelController& AppModel::focus() const
{
    return *d_->focus;
}

const Planner& AppModel::planner() const
{
    return d_->planner;
}

bool AppModel::writesFiles() const
{
    return d_->writesFiles;
}

BoardSelection& AppModel::selection()
{
    return *d_->boardSelection;
}

const BoardSelection& AppModel::selection() const
{
    return *d_->boardSelection;
}

PlannerSettings& AppModel::settings()
{
    return *d_->plannerSettings;
}

const PlannerSettings& AppModel::settings() const
{
    return *d_->plannerSettings;
}

OtherApps& AppModel::otherApps()
{
    return *d_->otherApps;
}

const OtherApps& AppModel::otherApps() const
{
    return *d_->otherApps;
}

FocusMode& AppModel::focusMode()
{
    return *d_->focusMode;
}

const FocusMode& AppModel::focusMode() const
{
    return *d_->focusMode;
}

ThingNotes& AppModel::thingNotes()
{
    return *d_->thingNotes;
}

const ThingNotes& AppModel::thingNotes() const
{
    return *d_->thingNotes;
}

ThingClipboard& AppModel::clipboard()
{
    return *d_->thingClipboard;
}

const ThingClipboard& AppModel::clipboard() const
{
    return *d_->thingClipboard;
}

PlannerLists& AppModel::lists()
{
    return *d_->lists;
}

const PlannerLists& AppModel::lists() const
{
    return *d_->lists;
}

BoardDrag& AppModel::drag()
{
    return *d_->drag;
}

const BoardDrag& AppModel::drag() const
{
    return *d_->drag;
}

PlanSearch& AppModel::search()
{
    return *d_->search;
}

const PlanSearch& AppModel::search() const
{
    return *d_->search;
}

const QString& AppModel::notesFolder() const
{
    return d_->noteFiles->folder();
}

NotesModel& AppModel::notes()
{
    return *d_->notes;
}

const NotesModel& AppModel::notes() const
{
    return *d_->notes;
}

Day AppModel::today() const
{
    return d_->today;
}

Day AppModel::anchor() const
{
    return d_->anchor;
}

Mode AppModel::mode() const
{
    return d_->mode;
}

const std::optional<Editing>& AppModel::editing() const
{
    return d_->editing;
}

const std::optional<QUuid>& AppModel::opened() const
{
    return d_->opened;
}

const std::optional<QString>& AppModel::openedExternal() const
{
    return d_->openedExternal;
}

const std::optional<QString>& AppModel::editingExternalNote() const
{
    return d_->editingExternalNote;
}

const std::optional<QUuid>& AppModel::editingNote() const
{
    return d_->editingNote;
}

const std::optional<Place>& AppModel::zoomed() const
{
    return d_->zoomed;
}

const std::optional<QString>& AppModel::toast() const
{
    return d_->toast;
}

const EventLines& AppModel::events() const
{
    return d_->events;
}

const std::optional<QString>& AppModel::saveError() const
{
    return d_->saveError;
}

const std::optional<QString>& AppModel::syncError() const
{
    return d_->syncError;
}

const QStringList& AppModel::skippedPlanFiles() const
{
    return d_->skippedPlanFiles;
}

bool AppModel::syncWaits() const
{
    return d_->familyLockHeld || d_->othersWait;
}

bool AppModel::emptyBannerSpent() const
{
    return d_->emptyBannerSpent;
}

const std::optional<Day>& AppModel::pinnedToday() const
{
    return d_->pinnedToday;
}

void AppModel::setPinnedToday(const std::optional<Day>& day)
{
    d_->pinnedToday = day;
}

bool AppModel::ownChangePending() const
{
    return d_->ownChangePending;
}

bool AppModel::syncPending() const
{
    return d_->syncPending;
}

int AppModel::familyRefreshes() const
{
    return d_->familyRefreshes;
}

const QList<Planner>& AppModel::undoStack() const
{
    return d_->undoStack;
}

const QList<Planner>& AppModel::redoStack() const
{
    return d_->redoStack;
}

void AppModel::setEditing(const std::optional<Editing>& editing)
{
    assign(d_->editing, editing, &AppModel::editingChanged);
}

void AppModel::setOpened(const std::optional<QUuid>& id)
{
    assign(d_->opened, id, &AppModel::openedChanged);
}

void AppModel::setOpenedExternal(const std::optional<QString>& id)
{
    assign(d_->openedExternal, id, &AppModel::openedExternalChanged);
}

void AppModel::setEditingExternalNote(const std::optional<QString>& id)
{
    assign(d_->editingExternalNote, id, &AppModel::editingExternalNoteChanged);
}

void AppModel::setEditingNote(const std::optional<QUuid>& id)
{
    assign(d_->editingNote, id, &AppModel::editingNoteChanged);
}

void AppModel::setZoomed(const std::optional<Place>& place)
{
    assign(d_->zoomed, place, &AppModel::zoomedChanged);
}

void AppModel::setEmptyBannerSpent(bool spent)
{
    assign(d_->emptyBannerSpent, spent, &AppModel::emptyBannerSpentChanged);
}

// The plan is replaced only here; an equal plan notifies nobody.
void AppModel::Steps::setPlanner(AppModel& m, Planner planner)
{
    m.assign(m.d_->planner, planner, &AppModel::plannerChanged);
}

QDateTime AppModel::Steps::now(const AppModel& m)
{
    return m.d_->clock ? m.d_->clock() : QDateTime::currentDateTime();
}

void AppModel::Steps::endTransition(AppModel& m)
{
    State& d = *m.d_;
    if (d.transitionDepth == 1)
        endReferencesToLeavers(m);
    if (--d.transitionDepth > 0)
        return;
    QList<State::Changed> changed = std::exchange(d.changed, {});
    // The model's own signals first, then each part's, each in the order declared; the
    // selection's go among the model's own, right after the mode's, ahead of the edit
    // and the detail that name what is selected.
    const auto order = [](const State::Changed& c) {
        static const QList<const QMetaObject*> parts{&AppModel::staticMetaObject, &PlanSearch::staticMetaObject, &BoardDrag::staticMetaObject,
                                                      &PlannerSettings::staticMetaObject,
                                                      &OtherApps::staticMetaObject, &FocusMode::staticMetaObject,
                                                      &PlannerLists::staticMetaObject};
        static const int afterMode = QMetaMethod::fromSignal(&AppModel::modeChanged).methodIndex();
        const QMetaMethod& method = c.signal.method();
        if (method.enclosingMetaObject() == &BoardSelection::staticMetaObject)
            return std::tuple(qsizetype(0), afterMode, method.methodIndex());
        return std::tuple(parts.indexOf(method.enclosingMetaObject()), method.methodIndex(), -1);
    };
    std::stable_sort(changed.begin(), changed.end(),
                     [&](const State::Changed& a, const State::Changed& b) { return order(a) < order(b); });
    QList<ModelChanges::Signal> differing;
    for (const State::Changed& c : changed) {
        if (c.differs())
            differing.append(c.signal);
    }
    if (differing.isEmpty())
        return;
    // A slot may run another operation, or even let the model go.
    const QPointer<AppModel> alive(&m);
    emit m.d_->transitions->ended(ModelChanges(std::move(differing)));
    for (const State::Changed& c : changed) {
        if (!alive)
            return;
        if (c.differs())
            c.tell();
    }
}

// The places whose rows are on screen: the board's columns and the place sheet's.
QList<Place> AppModel::Steps::boardPlaces(const AppModel& m)
{
    const State& d = *m.d_;
    QList<Place> places = m.columns();
    if (d.zoomed && !places.contains(*d.zoomed))
        places.append(*d.zoomed);
    return places;
}

void AppModel::Steps::beginTransition(AppModel& m)
{
    State& d = *m.d_;
    // Most transitions start with nothing named: nothing to look after at the end.
    const bool editsAThing = d.editing && d.editing->isThing();
    const bool editsExternal = d.editing && d.editing->isExternal();
    if (!editsAThing && !d.opened && !d.editingNote && d.selection.isEmpty() && !d.selectionAnchor && !editsExternal
        && !d.openedExternal && !d.editingExternalNote) {
        d.transitionStart.reset();
        return;
    }
    d.transitionStart = State::TransitionStart{d.planner, boardPlaces(m), editsAThing ? d.editing : std::nullopt, d.opened,
                                       d.editingNote};
    const auto there = [&m](const std::optional<QString>& id) { return id && m.otherApps().externalThing(*id).has_value(); };
    d.transitionStart->editedExternalThere = editsExternal && there(d.editing->externalID());
    d.transitionStart->openedExternalThere = there(d.openedExternal);
    d.transitionStart->externalNoteThere = there(d.editingExternalNote);
}

void AppModel::Steps::endReferencesToLeavers(AppModel& m)
{
    State& d = *m.d_;
    const bool anchorFollows = std::exchange(d.anchorFollowsSelection, false);
    if (!d.transitionStart)
        return;
    const State::TransitionStart start = *std::exchange(d.transitionStart, std::nullopt);
    // Another app's thing that is no more (deleted there, or gone from the store) takes
    // its inline edit, its detail and its note sheet along too.
    const auto gone = [&m](const std::optional<QString>& id) { return id && !m.otherApps().externalThing(*id); };
    if (start.editedExternalThere && d.editing && d.editing->isExternal() && gone(d.editing->externalID()))
        m.setEditing(std::nullopt);
    if (start.openedExternalThere && gone(d.openedExternal))
        m.setOpenedExternal(std::nullopt);
    if (start.externalNoteThere && gone(d.editingExternalNote))
        m.setEditingExternalNote(std::nullopt);

    const QList<Place> board = boardPlaces(m);
    const bool boardMoved = board != start.board;
    // A thing can only have moved or gone from a place whose things changed.
    QHash<QUuid, Place> was;
    QHash<QUuid, Place> is;
    for (const Place& place : d.planner.changedPlaces(start.planner)) {
        for (const Thing& thing : start.planner.things(place))
            was.insert(thing.id, place);
        for (const Thing& thing : d.planner.things(place))
            is.insert(thing.id, place);
    }
    if (was.isEmpty() && is.isEmpty() && !boardMoved)
        return;
    const auto locate = [](const Planner& plan, const QUuid& id) -> std::optional<Place> {
        const auto at = plan.locate(id);
        return at ? std::optional<Place>(at->place) : std::nullopt;
    };
    // Neither moved nor gone, and the board stands: nothing to look at.
    const auto untouched = [&](const QUuid& then, const QUuid& now) {
        return !boardMoved && !was.contains(then) && !is.contains(now);
    };
    const auto placeThen = [&](const QUuid& id) -> std::optional<Place> {
        if (const auto p = was.constFind(id); p != was.cend())
            return *p;
        if (is.contains(id))
            return std::nullopt;  // it came in during the transition
        return locate(start.planner, id);
    };
    const auto placeNow = [&](const QUuid& id) -> std::optional<Place> {
        if (const auto p = is.constFind(id); p != is.cend())
            return *p;
        if (was.contains(id))
            return std::nullopt;  // gone
        return locate(d.planner, id);
    };
    // The thing that `then` named at the start stood where it stands now under `now`
    // (the same id, or the one a re-read gave it).
    const auto leftBoard = [&](const std::optional<Place>& then, const std::optional<Place>& now) {
        return then && (!now || (start.board.contains(*then) && !board.contains(*now)));
    };

    // The selection only loses what the plan took away; moving the board keeps it.
    if (!was.isEmpty()) {
        const auto leftByPlan = [&](const QUuid& id) {
            const auto then = was.constFind(id);
            if (then == was.cend())
                return false;
            const auto now = is.constFind(id);
            return now == is.cend() || (*now != *then && start.board.contains(*then) && !board.contains(*now));
        };
        QSet<QUuid> kept;
        for (const QUuid& id : d.selection) {
            if (!leftByPlan(id))
                kept.insert(id);
        }
        m.selection().setIDs(kept);
        if (d.selectionAnchor && leftByPlan(*d.selectionAnchor))
            m.selection().setAnchor(std::nullopt);
    }
    if (anchorFollows && d.selectionAnchor && !d.selection.contains(*d.selectionAnchor))
        m.selection().setAnchor(std::nullopt);
    if (d.editing && d.editing->isThing()) {
        const QUuid id = d.editing->thingID();
        const QUuid began = start.editing ? start.editing->thingID() : id;
        if (!untouched(began, id)) {
            const auto then = placeThen(began);
            const auto now = placeNow(id);
            // Its row goes when it changes column too; the field hands its text on as it
            // goes.
            if (leftBoard(then, now) || (then && now && *then != *now))
                m.setEditing(std::nullopt);
        }
    }
    if (d.opened) {
        const QUuid began = start.opened.value_or(*d.opened);
        // The detail follows its thing around the board.
        if (!untouched(began, *d.opened) && leftBoard(placeThen(began), placeNow(*d.opened)))
            m.setOpened(std::nullopt);
    }
    if (d.editingNote) {
        const QUuid began = start.editingNote.value_or(*d.editingNote);
        // The note sheet is the thing's wherever it is; it ends only with the thing.
        if (!untouched(began, *d.editingNote) && placeThen(began) && !placeNow(*d.editingNote))
            m.setEditingNote(std::nullopt);
    }
}

void AppModel::setMode(Mode mode)
{
    const Transition transition(*this);
    Steps::switchMode(*this, mode);
}

// The mode and what its change brings; whether it changed.
bool AppModel::Steps::switchMode(AppModel& m, Mode mode)
{
    if (!m.assign(m.d_->mode, mode, &AppModel::modeChanged))
        return false;
    if (mode == Mode::Notes) {
        m.selection().clear();
        m.setEditing(std::nullopt);
        m.d_->notes->reloadInSteps();
    } else {
        loadVisible(m);
    }
    return true;
}

// The setting, or the locale's first weekday for 0 (and for anything out of range).
int AppModel::Steps::firstWeekday(const AppModel& m)
{
    const State& d = *m.d_;
    return d.firstWeekdaySetting >= 1 && d.firstWeekdaySetting <= 7 ? d.firstWeekdaySetting : d.localeFirstWeekday;
}

// Every day on the board: the month's whole weeks, else the week's seven days.
QList<Day> AppModel::Steps::visibleDays(const AppModel& m)
{
    if (m.d_->mode != Mode::Month)
        return m.weekDays();
    QList<Day> days;
    for (const QList<Day>& week : m.monthWeeks())
        days.append(week);
    return days;
}

// Monday-based weeks and the anchor's month hold what is visible; repeat rules fill
// the visible weeks; the calendar is read again.
void AppModel::Steps::loadVisible(AppModel& m)
{
    State& d = *m.d_;
    const QList<Day> days = visibleDays(m);
    if (days.isEmpty())
        return;
    const Day first = days.first();
    const Day last = days.last();
    readPlanFiles(m, [&](PlannerStore& store, Planner& plan) {
        store.loadWeeks(first, last, plan);
        store.loadMonth(d.anchor.monthKey(), plan);
    });

    // Filling the weeks with their rules is no undo step.
    Planner filled = d.planner;
    for (Day monday = first.monday(); !(last < monday);) {
        filled.applyRepeats(monday, d.today);
        const Day next = monday.adding(7);
        if (!(monday < next))
            break;
        monday = next;
    }
    if (!(filled == d.planner)) {
        setPlanner(m, std::move(filled));
        save(m, true);
    }
    m.refreshEvents();
}

void AppModel::refreshEvents()
{
    // A read still under way when a newer one starts, or when the calendar is turned
    // off, must not put its older result on the board when it arrives.
    const quint64 generation = ++d_->eventsGeneration;
    if (!d_->showCalendar) {
        assign(d_->events, EventLines(), &AppModel::eventsChanged);
        return;
    }
    d_->readEvents(Steps::visibleDays(*this), this, [this, generation](const EventLines& lines) {
        if (generation == d_->eventsGeneration)
            assign(d_->events, lines, &AppModel::eventsChanged);
    });
}
