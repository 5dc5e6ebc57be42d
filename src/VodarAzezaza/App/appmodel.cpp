// The model's state: construction and start-up, the settings in the user's settings
// file, and the routines the settings and the navigation share.
#include "appmodel.h"

#include "appmodelservices.h"
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
    , noteFiles_(notesFolder, services.writesFiles)
    // Conflict copies are named by the model's clock, as everything else it dates.
    , store_(folder, [this] { return now(); })
    , familyStore_(familyStore)
    , defaults_(defaults)
    , settings_(std::make_unique<AppSettings>(*defaults))
    , today_(today)
    , anchor_(today)
    , focus_(services.focusPanel ? std::move(services.focusPanel) : std::make_unique<NoFocusPanel>())
    , readEvents_(services.readEvents ? std::move(services.readEvents) : calendarRead(services.zone))
    , bus_(services.bus.value_or(QDBusConnection::sessionBus()))
    , clock_(std::move(services.now))
    , zone_(services.zone)
    , localeFirstWeekday_(services.firstWeekday.value_or(systemFirstWeekday()))
    , weekend_(services.weekend.value_or(systemWeekend()))
    , activateApp_(std::move(services.activateApp))
    , writesFiles_(services.writesFiles)
{
    Q_ASSERT(defaults_);
    transitions_ = new ModelTransitions(this);
    sync_ = std::make_unique<SyncState>();
    clipboard_ = services.clipboard ? std::move(services.clipboard) : pemby::systemClipboard();
    takeHandoff_ = std::move(services.takeHandoff);
    if (!takeHandoff_)
        takeHandoff_ = [] { return PembyThings::takeHandoff(); };
    openUrl_ = std::move(services.openUrl);
    if (!openUrl_)
        openUrl_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    reminders_ = services.reminders ? services.reminders.release() : new ReminderCenter();
    reminders_->setParent(this);
    syncObserver_ = new PembySyncObserver(this);

    // Coarse timers may fire early; a toast gets its whole time.
    toastTimer_.setTimerType(Qt::PreciseTimer);
    toastTimer_.setSingleShot(true);
    toastTimer_.setInterval(services.toastDuration);
    connect(&toastTimer_, &QTimer::timeout, this, [this] { assign(toast_, std::optional<QString>(), &AppModel::toastChanged); });
    syncTimer_.setTimerType(Qt::PreciseTimer);
    syncTimer_.setSingleShot(true);
    syncTimer_.setInterval(services.syncDelay);
    connect(&syncTimer_, &QTimer::timeout, this, [this] { syncAll(); });
    familyRefreshTimer_.setSingleShot(true);
    familyRefreshTimer_.setInterval(std::chrono::milliseconds(30));
    connect(&familyRefreshTimer_, &QTimer::timeout, this, [this] { refreshFromFamily(); });

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
    const AppSettings::Values stored = settings_->read();
    externalSlots_ = stored.otherAppSlots;
    firstWeekdaySetting_ = stored.firstWeekday;
    splitWeekend_ = stored.splitWeekend;
    showCalendar_ = stored.showCalendar;
    showLists_ = stored.showLists;
    floats_ = stored.floats;

    notes_ = new NotesModel(pembyNotesFolder, clock_, this);

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
    syncObserver_->setOnChanged([this] { familyChanged(); }, this);
    syncObserver_->observe(bus_);
    scheduleSync();
    refreshFromFamily(true);
    notes_->setToast([model = QPointer<AppModel>(this)](const QString& text) {
        if (model)
            model->showToast(text);
    });
}

AppModel::~AppModel() = default;

QDateTime AppModel::now() const
{
    return clock_ ? clock_() : QDateTime::currentDateTime();
}

void AppModel::endTransition()
{
    if (transitionDepth_ == 1)
        endReferencesToLeavers();
    if (--transitionDepth_ > 0)
        return;
    QList<Changed> changed = std::exchange(changed_, {});
    const auto order = [](const Changed& c) { return QMetaMethod::fromSignal(c.signal).methodIndex(); };
    std::stable_sort(changed.begin(), changed.end(),
                     [&](const Changed& a, const Changed& b) { return order(a) < order(b); });
    QList<ModelChanges::Signal> differing;
    for (const Changed& c : changed) {
        if (c.differs())
            differing.append(c.signal);
    }
    if (differing.isEmpty())
        return;
    // A slot may run another operation, or even let the model go.
    const QPointer<AppModel> alive(this);
    emit transitions_->ended(ModelChanges(std::move(differing)));
    for (const Changed& c : changed) {
        if (!alive)
            return;
        if (c.differs())
            emit(this->*c.signal)();
    }
}

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
        transitionStart_.reset();
        return;
    }
    transitionStart_ = TransitionStart{planner_, boardPlaces(), editsAThing ? editing_ : std::nullopt, opened_,
                                       editingNote_};
    const auto there = [this](const std::optional<QString>& id) { return id && externalThing(*id).has_value(); };
    transitionStart_->editedExternalThere = editsExternal && there(editing_->externalID());
    transitionStart_->openedExternalThere = there(openedExternal_);
    transitionStart_->externalNoteThere = there(editingExternalNote_);
}

void AppModel::endReferencesToLeavers()
{
    const bool anchorFollows = std::exchange(anchorFollowsSelection_, false);
    if (!transitionStart_)
        return;
    const TransitionStart start = *std::exchange(transitionStart_, std::nullopt);
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
    settings_->writeFirstWeekday(weekday);
    loadVisible();
}

void AppModel::setSplitWeekend(bool split)
{
    assign(splitWeekend_, split, &AppModel::splitWeekendChanged);
    settings_->writeSplitWeekend(split);
}

void AppModel::setShowCalendar(bool show)
{
    const Transition transition(*this);
    assign(showCalendar_, show, &AppModel::showCalendarChanged);
    settings_->writeShowCalendar(show);
    refreshEvents();
}

void AppModel::setShowLists(bool show)
{
    const Transition transition(*this);
    assign(showLists_, show, &AppModel::showListsChanged);
    settings_->writeShowLists(show);
    if (!show)
        dropListSelection();
}

void AppModel::setFloats(bool floats)
{
    const Transition transition(*this);
    assign(floats_, floats, &AppModel::floatsChanged);
    settings_->writeFloats(floats);
    if (focus_->hasPanel())
        focus_->applyFloating(floats);
}

int AppModel::firstWeekday() const
{
    return firstWeekdaySetting_ >= 1 && firstWeekdaySetting_ <= 7 ? firstWeekdaySetting_ : localeFirstWeekday_;
}

QList<Day> AppModel::visibleDays() const
{
    if (mode_ != Mode::Month)
        return weekDays();
    QList<Day> days;
    for (const QList<Day>& week : monthWeeks())
        days.append(week);
    return days;
}

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
    const quint64 generation = ++eventsGeneration_;
    if (!showCalendar_) {
        assign(events_, EventLines(), &AppModel::eventsChanged);
        return;
    }
    readEvents_(visibleDays(), this, [this, generation](const EventLines& lines) {
        if (generation == eventsGeneration_)
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
