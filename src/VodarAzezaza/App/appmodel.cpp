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

AppModel::AppModel(const QString& folder, Day today, QSettings* defaults, FamilyStore& familyStore,
                   const QString& notesFolder, const QString& pembyNotesFolder, Services services, QObject* parent)
    : QObject(parent)
    , d_(std::make_unique<State>())
    , noteFiles_(notesFolder, services.writesFiles)
    // Conflict copies are named by the model's clock, as everything else it dates.
    , store_(folder, [this] { return now(); })
    , familyStore_(familyStore)
    , defaults_(defaults)
    , today_(today)
    , anchor_(today)
    , focus_(services.focusPanel ? std::move(services.focusPanel) : std::make_unique<NoFocusPanel>())
    , bus_(services.bus.value_or(QDBusConnection::sessionBus()))
    , writesFiles_(services.writesFiles)
{
    Q_ASSERT(defaults_);
    d_->settings = std::make_unique<AppSettings>(*defaults);
    d_->readEvents = services.readEvents ? std::move(services.readEvents) : calendarRead(services.zone);
    d_->clock = std::move(services.now);
    d_->zone = services.zone;
    d_->localeFirstWeekday = services.firstWeekday.value_or(systemFirstWeekday());
    d_->weekend = services.weekend.value_or(systemWeekend());
    d_->activateApp = std::move(services.activateApp);
    transitions_ = new ModelTransitions(this);
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
    connect(&d_->toastTimer, &QTimer::timeout, this, [this] { assign(toast_, std::optional<QString>(), &AppModel::toastChanged); });
    d_->syncTimer.setTimerType(Qt::PreciseTimer);
    d_->syncTimer.setSingleShot(true);
    d_->syncTimer.setInterval(services.syncDelay);
    connect(&d_->syncTimer, &QTimer::timeout, this, [this] { syncAll(); });
    d_->familyRefreshTimer.setSingleShot(true);
    d_->familyRefreshTimer.setInterval(std::chrono::milliseconds(30));
    connect(&d_->familyRefreshTimer, &QTimer::timeout, this, [this] { refreshFromFamily(); });

    syncError_ = familyStore_.failure();
    sync_->familyGeneration = familyStore_.generation();
    {
        QString basePath;
        if (services.familyBasePath)
            basePath = *services.familyBasePath;
        else if (writesFiles_ && !defaults_->fileName().isEmpty())
            basePath = QFileInfo(defaults_->fileName()).dir().filePath(QStringLiteral("family-base.db"));
        sync_->familySync = std::make_unique<FamilySync>(familyStore_, plannerTag(), basePath);
    }
    // Other apps' things changed here once the lock that kept the change waiting went.
    sync_->familySync->setOnOthersWritten([this](const FamilySync::OthersWritten& written) {
        const Transition transition(*this);
        if (written.refused)
            externalChangeFailed(written.refused->error, changeFailedText(written.refusedApp));
        if (written.changed)
            announce();
        refreshFromFamily();
    });

    // The fields take the stored values as they are: no setter runs, no key is written.
    const AppSettings::Values stored = d_->settings->read();
    externalSlots_ = stored.otherAppSlots;
    firstWeekdaySetting_ = stored.firstWeekday;
    splitWeekend_ = stored.splitWeekend;
    showCalendar_ = stored.showCalendar;
    showLists_ = stored.showLists;
    floats_ = stored.floats;

    notes_ = new NotesModel(pembyNotesFolder, d_->clock, this);

    // A save killed midway leaves its temporary file; the next start clears those away.
    if (writesFiles_) {
        for (const QString& folder : {store_.folder(), notes_->store().directory(), noteFiles_.folder()}) {
            for (const QString& name : pemby::removeStaleTemporaryFiles(folder))
                qCInfo(lcStore) << "removed the temporary file" << name << "a save left in" << folder;
        }
    }

    readPlanFiles([this](PlannerStore& store, Planner& plan) {
        store.loadBase(plan);
        store.loadWeeks(today_.adding(-35), today_.adding(7), plan);
    });
    loadVisible();

    const int carried = rollOverTo(today_);
    save(true);
    if (carried == 1)
        showToast(QStringLiteral("1 thing rolled over. we've all been there."));
    else if (carried > 1)
        showToast(QString::number(carried) + QStringLiteral(" things rolled over. we've all been there."));

    refreshEvents();
    d_->syncObserver->setOnChanged([this] { familyChanged(); }, this);
    d_->syncObserver->observe(bus_);
    scheduleSync();
    refreshFromFamily(true);
    notes_->setToast([model = QPointer<AppModel>(this)](const QString& text) {
        if (model)
            model->showToast(text);
    });
}

AppModel::~AppModel() = default;

void AppModel::setSelection(const QSet<QUuid>& selection)
{
    assign(selection_, selection, &AppModel::selectionChanged);
}

void AppModel::setSelectionAnchor(const std::optional<QUuid>& id)
{
    assign(selectionAnchor_, id, &AppModel::selectionAnchorChanged);
}

void AppModel::setEditing(const std::optional<Editing>& editing)
{
    assign(editing_, editing, &AppModel::editingChanged);
}

void AppModel::setOpened(const std::optional<QUuid>& id)
{
    assign(opened_, id, &AppModel::openedChanged);
}

void AppModel::setOpenedExternal(const std::optional<QString>& id)
{
    assign(openedExternal_, id, &AppModel::openedExternalChanged);
}

void AppModel::setEditingExternalNote(const std::optional<QString>& id)
{
    assign(editingExternalNote_, id, &AppModel::editingExternalNoteChanged);
}

void AppModel::setEditingNote(const std::optional<QUuid>& id)
{
    assign(editingNote_, id, &AppModel::editingNoteChanged);
}

void AppModel::setZoomed(const std::optional<Place>& place)
{
    assign(zoomed_, place, &AppModel::zoomedChanged);
}

void AppModel::setSearching(bool searching)
{
    assign(isSearching_, searching, &AppModel::isSearchingChanged);
}

void AppModel::setSearchText(const QString& text)
{
    assign(searchText_, text, &AppModel::searchTextChanged);
}

void AppModel::setEmptyBannerSpent(bool spent)
{
    assign(emptyBannerSpent_, spent, &AppModel::emptyBannerSpentChanged);
}

void AppModel::setListToDelete(const std::optional<int>& index)
{
    assign(listToDelete_, index, &AppModel::listToDeleteChanged);
}

void AppModel::setDeletingAllLists(bool shown)
{
    assign(deletingAllLists_, shown, &AppModel::deletingAllListsChanged);
}

void AppModel::setDragging(const QSet<QUuid>& ids)
{
    assign(dragging_, ids, &AppModel::draggingChanged);
}

void AppModel::setDraggingExternal(const std::optional<SharedThing>& thing)
{
    assign(draggingExternal_, thing, &AppModel::draggingExternalChanged);
}

void AppModel::setSelectedExternal(const std::optional<QString>& id)
{
    assign(selectedExternal_, id, &AppModel::selectedExternalChanged);
}

// The plan is replaced only here; an equal plan notifies nobody.
void AppModel::setPlanner(Planner planner)
{
    assign(planner_, planner, &AppModel::plannerChanged);
}

QDateTime AppModel::now() const
{
    return d_->clock ? d_->clock() : QDateTime::currentDateTime();
}

void AppModel::endTransition()
{
    if (d_->transitionDepth == 1)
        endReferencesToLeavers();
    if (--d_->transitionDepth > 0)
        return;
    QList<State::Changed> changed = std::exchange(d_->changed, {});
    const auto order = [](const State::Changed& c) { return QMetaMethod::fromSignal(c.signal).methodIndex(); };
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
    const QPointer<AppModel> alive(this);
    emit transitions_->ended(ModelChanges(std::move(differing)));
    for (const State::Changed& c : changed) {
        if (!alive)
            return;
        if (c.differs())
            emit(this->*c.signal)();
    }
}

// The places whose rows are on screen: the board's columns and the place sheet's.
QList<Place> AppModel::boardPlaces() const
{
    QList<Place> places = columns();
    if (zoomed_ && !places.contains(*zoomed_))
        places.append(*zoomed_);
    return places;
}

void AppModel::beginTransition()
{
    // Most transitions start with nothing named: nothing to look after at the end.
    const bool editsAThing = editing_ && editing_->isThing();
    const bool editsExternal = editing_ && editing_->isExternal();
    if (!editsAThing && !opened_ && !editingNote_ && selection_.isEmpty() && !selectionAnchor_ && !editsExternal
        && !openedExternal_ && !editingExternalNote_) {
        d_->transitionStart.reset();
        return;
    }
    d_->transitionStart = State::TransitionStart{planner_, boardPlaces(), editsAThing ? editing_ : std::nullopt, opened_,
                                       editingNote_};
    const auto there = [this](const std::optional<QString>& id) { return id && externalThing(*id).has_value(); };
    d_->transitionStart->editedExternalThere = editsExternal && there(editing_->externalID());
    d_->transitionStart->openedExternalThere = there(openedExternal_);
    d_->transitionStart->externalNoteThere = there(editingExternalNote_);
}

void AppModel::endReferencesToLeavers()
{
    const bool anchorFollows = std::exchange(d_->anchorFollowsSelection, false);
    if (!d_->transitionStart)
        return;
    const State::TransitionStart start = *std::exchange(d_->transitionStart, std::nullopt);
    // Another app's thing that is no more (deleted there, or gone from the store) takes
    // its inline edit, its detail and its note sheet along too.
    const auto gone = [this](const std::optional<QString>& id) { return id && !externalThing(*id); };
    if (start.editedExternalThere && editing_ && editing_->isExternal() && gone(editing_->externalID()))
        setEditing(std::nullopt);
    if (start.openedExternalThere && gone(openedExternal_))
        setOpenedExternal(std::nullopt);
    if (start.externalNoteThere && gone(editingExternalNote_))
        setEditingExternalNote(std::nullopt);

    const QList<Place> board = boardPlaces();
    const bool boardMoved = board != start.board;
    // A thing can only have moved or gone from a place whose things changed.
    QHash<QUuid, Place> was;
    QHash<QUuid, Place> is;
    for (const Place& place : planner_.changedPlaces(start.planner)) {
        for (const Thing& thing : start.planner.things(place))
            was.insert(thing.id, place);
        for (const Thing& thing : planner_.things(place))
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
        return locate(planner_, id);
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
        for (const QUuid& id : selection_) {
            if (!leftByPlan(id))
                kept.insert(id);
        }
        setSelection(kept);
        if (selectionAnchor_ && leftByPlan(*selectionAnchor_))
            setSelectionAnchor(std::nullopt);
    }
    if (anchorFollows && selectionAnchor_ && !selection_.contains(*selectionAnchor_))
        setSelectionAnchor(std::nullopt);
    if (editing_ && editing_->isThing()) {
        const QUuid id = editing_->thingID();
        const QUuid began = start.editing ? start.editing->thingID() : id;
        if (!untouched(began, id)) {
            const auto then = placeThen(began);
            const auto now = placeNow(id);
            // Its row goes when it changes column too; the field hands its text on as it
            // goes.
            if (leftBoard(then, now) || (then && now && *then != *now))
                setEditing(std::nullopt);
        }
    }
    if (opened_) {
        const QUuid began = start.opened.value_or(*opened_);
        // The detail follows its thing around the board.
        if (!untouched(began, *opened_) && leftBoard(placeThen(began), placeNow(*opened_)))
            setOpened(std::nullopt);
    }
    if (editingNote_) {
        const QUuid began = start.editingNote.value_or(*editingNote_);
        // The note sheet is the thing's wherever it is; it ends only with the thing.
        if (!untouched(began, *editingNote_) && placeThen(began) && !placeNow(*editingNote_))
            setEditingNote(std::nullopt);
    }
}

void AppModel::setMode(Mode mode)
{
    const Transition transition(*this);
    switchMode(mode);
}

// The mode and what its change brings; whether it changed.
bool AppModel::switchMode(Mode mode)
{
    if (!assign(mode_, mode, &AppModel::modeChanged))
        return false;
    if (mode == Mode::Notes) {
        clearSelection();
        setEditing(std::nullopt);
        notes_->reloadInSteps();
    } else {
        loadVisible();
    }
    return true;
}

// Nothing selected: no own thing, no anchor, no other app's thing.
void AppModel::clearSelection()
{
    setSelection({});
    setSelectionAnchor(std::nullopt);
    setSelectedExternal(std::nullopt);
}

void AppModel::setFirstWeekdaySetting(int weekday)
{
    const Transition transition(*this);
    assign(firstWeekdaySetting_, weekday, &AppModel::firstWeekdaySettingChanged);
    d_->settings->writeFirstWeekday(weekday);
    loadVisible();
}

void AppModel::setSplitWeekend(bool split)
{
    assign(splitWeekend_, split, &AppModel::splitWeekendChanged);
    d_->settings->writeSplitWeekend(split);
}

void AppModel::setShowCalendar(bool show)
{
    const Transition transition(*this);
    assign(showCalendar_, show, &AppModel::showCalendarChanged);
    d_->settings->writeShowCalendar(show);
    refreshEvents();
}

void AppModel::setShowLists(bool show)
{
    const Transition transition(*this);
    assign(showLists_, show, &AppModel::showListsChanged);
    d_->settings->writeShowLists(show);
    if (!show)
        dropListSelection();
}

void AppModel::setFloats(bool floats)
{
    const Transition transition(*this);
    assign(floats_, floats, &AppModel::floatsChanged);
    d_->settings->writeFloats(floats);
    if (focus_->hasPanel())
        focus_->applyFloating(floats);
}

// The setting, or the locale's first weekday for 0 (and for anything out of range).
int AppModel::firstWeekday() const
{
    return firstWeekdaySetting_ >= 1 && firstWeekdaySetting_ <= 7 ? firstWeekdaySetting_ : d_->localeFirstWeekday;
}

// Every day on the board: the month's whole weeks, else the week's seven days.
QList<Day> AppModel::visibleDays() const
{
    if (mode_ != Mode::Month)
        return weekDays();
    QList<Day> days;
    for (const QList<Day>& week : monthWeeks())
        days.append(week);
    return days;
}

// Monday-based weeks and the anchor's month hold what is visible; repeat rules fill
// the visible weeks; the calendar is read again.
void AppModel::loadVisible()
{
    const QList<Day> days = visibleDays();
    if (days.isEmpty())
        return;
    const Day first = days.first();
    const Day last = days.last();
    readPlanFiles([&](PlannerStore& store, Planner& plan) {
        store.loadWeeks(first, last, plan);
        store.loadMonth(anchor_.monthKey(), plan);
    });

    // Filling the weeks with their rules is no undo step.
    Planner filled = planner_;
    for (Day monday = first.monday(); !(last < monday);) {
        filled.applyRepeats(monday, today_);
        const Day next = monday.adding(7);
        if (!(monday < next))
            break;
        monday = next;
    }
    if (!(filled == planner_)) {
        setPlanner(std::move(filled));
        save(true);
    }
    refreshEvents();
}

void AppModel::refreshEvents()
{
    // A read still under way when a newer one starts, or when the calendar is turned
    // off, must not put its older result on the board when it arrives.
    const quint64 generation = ++d_->eventsGeneration;
    if (!showCalendar_) {
        assign(events_, EventLines(), &AppModel::eventsChanged);
        return;
    }
    d_->readEvents(visibleDays(), this, [this, generation](const EventLines& lines) {
        if (generation == d_->eventsGeneration)
            assign(events_, lines, &AppModel::eventsChanged);
    });
}

void AppModel::dropListSelection()
{
    const Transition transition(*this);
    QSet<QUuid> inLists;
    for (const EventuallyList& list : planner_.lists) {
        for (const Thing& thing : list.things)
            inLists.insert(thing.id);
    }
    setSelection(QSet<QUuid>(selection_).subtract(inLists));
    if (selectionAnchor_ && inLists.contains(*selectionAnchor_))
        setSelectionAnchor(std::nullopt);
    if (editing_ && (editing_->isListName() || (editing_->isNew() && editing_->place().isList())))
        setEditing(std::nullopt);
}
