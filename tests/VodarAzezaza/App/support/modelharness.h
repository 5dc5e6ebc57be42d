#pragma once
// The whole application model on scratch folders: a planner folder, a settings file,
// a real family store and a family notes folder in one temporary directory; a fake
// focus panel, a calendar whose reads the test answers, and reminders that go to a
// recorder. Today is pinned to Wednesday 4 March 2026, the zone is UTC, weeks start
// on Monday and the weekend is Saturday and Sunday unless a test says otherwise.

#include "appmodel.h"
#include "familystore.h"
#include "focusmode.h"
#include "launch.h"
#include "notificationscheduler.h"
#include "otherapps.h"
#include "plannerlists.h"
#include "plannersettings.h"
#include "privatebus.h"
#include "recordingnotifier.h"
#include "thingclipboard.h"
#include "thingnotes.h"

#include <QDBusConnection>
#include <QMimeData>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

inline void PrintTo(const Day& d, std::ostream* os) { *os << d.iso().toStdString(); }

// Records what the model asked of the focus panel.
struct PanelLog {
    bool made = false;
    int shown = 0;
    int hidden = 0;
    QList<bool> floated;  // every float switch applied, in order
};

class FakeFocusPanel final : public FocusPanelController {
public:
    explicit FakeFocusPanel(std::shared_ptr<PanelLog> log) : log_(std::move(log)) {}
    bool hasPanel() const override { return log_->made; }
    void showPanel(AppModel&, bool floats) override
    {
        log_->made = true;
        log_->floated.append(floats);
        ++log_->shown;
    }
    void hidePanel() override { ++log_->hidden; }
    void applyFloating(bool floats) override
    {
        if (log_->made)
            log_->floated.append(floats);
    }

private:
    std::shared_ptr<PanelLog> log_;
};

// What the model put on its clipboard; tests may put things there themselves.
struct ClipboardLog {
    std::unique_ptr<QMimeData> data;
    int writes = 0;
};

class FakeClipboard final : public PembyClipboard {
public:
    explicit FakeClipboard(std::shared_ptr<ClipboardLog> log) : log_(std::move(log)) {}
    const QMimeData* mimeData() const override { return log_->data.get(); }
    void setMimeData(std::unique_ptr<QMimeData> data) override
    {
        log_->data = std::move(data);
        ++log_->writes;
    }

private:
    std::shared_ptr<ClipboardLog> log_;
};

// Calendar reads wait here until the test answers them, in any order.
class FakeCalendar {
public:
    struct Read {
        QList<Day> days;
        QPointer<QObject> context;
        std::function<void(const EventLines&)> done;
    };

    AppModel::EventRead reader()
    {
        return [this](const QList<Day>& days, QObject* context, std::function<void(const EventLines&)> done) {
            reads.append(Read{days, context, std::move(done)});
        };
    }
    // Delivers the result of read `index`, as the real reader does: later, on the GUI
    // thread, and only while its context lives.
    void answer(qsizetype index, const EventLines& lines);

    QList<Read> reads;
};

class ModelHarness {
public:
    ModelHarness();
    ~ModelHarness();

    // Settle these before start().
    Day today{2026, 3, 4};
    QDateTime clock;  // the model's "now"; 10:00 UTC on today while unset
    QDateTime now() const { return clock.isValid() ? clock : QDateTime(today.date(), QTime(10, 0), QTimeZone::utc()); }
    QTimeZone zone = QTimeZone::utc();
    int localeFirstWeekday = 2;
    QSet<int> weekend{1, 7};
    std::chrono::milliseconds syncDelay{400};
    std::chrono::milliseconds toastDuration{3000};
    // The bus the model posts on and hears; a connection to no bus when unset.
    std::optional<QDBusConnection> bus;
    // A bus of the test's own, on which the model is the connection "planner".
    void usePrivateBus();
    std::unique_ptr<PrivateBus> privateBus;
    QString folderName = QStringLiteral("Pemby Planner");
    QString notesFolderName = QStringLiteral("family-notes");

    // Builds the model (after dropping an earlier one, so its settings are written).
    AppModel& start();
    AppModel& model() { return *model_; }
    // The fakes start() gives the model, for a model a test builds some other way.
    AppModel::Services services();
    // A launch's host on these folders, this settings file and store, with the day
    // pinned; with `desktopPanel` the app gives the model its own focus panel, as a
    // real launch does.
    Launch::Host launchHost(Day current, bool desktopPanel = false);
    void stop();

    QString root() const { return dir_.path(); }
    // The folder outlives the harness (a child process's, for its parent to look at).
    void keepFolder() { dir_.setAutoRemove(false); }
    QString folder() const { return dir_.filePath(folderName); }
    QString notesFolder() const { return dir_.filePath(notesFolderName); }
    // Makes the family notes folder unwritable, even for root (CI runs as root): a
    // regular file stands where its parent folder should be. Call before start().
    void blockNotesFolder();
    // The folder shared with the sibling notes app.
    QString notesAppFolder() const { return dir_.filePath(QStringLiteral("Notes")); }
    QSettings& settings() { return *settings_; }
    FamilyStore& family() { return *family_; }
    QString familyPath() const { return dir_.filePath(QStringLiteral("family.db")); }
    // Swaps the family store for one that could not open (its file is a folder).
    void breakFamilyStore();
    // Opens the family store again, waiting this long for a sibling's lock. Call
    // before start().
    void setFamilyBusyTimeout(std::chrono::milliseconds wait);
    NotificationScheduler& scheduler() { return *scheduler_; }

    // Plan files of the planner folder.
    void put(const QString& name, const QString& text) const;
    QString text(const QString& name) const;
    QStringList files() const;
    // Moves every plan file into the past; fresh() then names those written since.
    void age() const;
    QStringList fresh() const;

    // The folder a sibling's hand-off file is taken from.
    QString handoffFolder() const { return dir_.filePath(QStringLiteral("handoff")); }
    // Links the model asked the desktop to open, and whether the desktop manages to.
    QList<QUrl> openedUrls;
    bool desktopOpens = true;
    // How often the model brought the app to the front.
    int activations = 0;

    FakeCalendar calendar;
    // The focus panel the model gets; a FakeFocusPanel writing to `panel` while unset.
    std::function<std::unique_ptr<FocusPanelController>()> makeFocusPanel;
    std::shared_ptr<PanelLog> panel = std::make_shared<PanelLog>();
    std::shared_ptr<ClipboardLog> clipboard = std::make_shared<ClipboardLog>();
    QList<ShownNotification> shown;

private:
    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<FamilyStore> family_;
    std::unique_ptr<NotificationScheduler> scheduler_;
    std::unique_ptr<AppModel> model_;
};

// The sibling to-do app: its own connection to the model's private bus and its own
// handle on the same family store file. `heard` counts every change notification on
// the bus, the sibling's own posts included.
class Sibling {
public:
    explicit Sibling(ModelHarness& harness);

    FamilyStore store;
    QDBusConnection connection;
    int heard = 0;

    // Posts the change notification, as the sibling does after it wrote.
    void post();
    // How many change notifications others posted while `operation` ran: the sibling
    // posts a marker before and after it and counts what arrived in between.
    int postsDuring(const std::function<void()>& operation);
    // A row of the to-do app.
    static SharedThing row(const QString& id, const QString& title, const std::optional<Day>& day,
                           const QString& app = QStringLiteral("todo"));

private:
    std::unique_ptr<QObject> observer_;
};

// Waits (spinning the event loop) until `done` holds, at most `ms`; whether it did.
bool waitUntil(const std::function<bool()>& done, int ms = 3000);
// Waits until the model's pending family sync has run.
bool waitForSync(AppModel& model);

// The model and its parts: their change signals together tell every property's change.
QList<QObject*> modelObjects(AppModel& model);

// Counts the emissions of one change signal of the model or of one of its parts.
class SignalCount {
public:
    SignalCount(AppModel& model, const ModelChanges::Signal& signal);
    ~SignalCount();
    int operator()() const { return spy_ ? int(spy_->count()) : 0; }

private:
    std::unique_ptr<QSignalSpy> spy_;
};

// A week file with the things of its days, e.g.
// weekFile(Day{2026, 3, 2}, {{Day{2026, 3, 3}, {"- [ ] buy milk"}}}).
QString weekFile(Day monday, const QList<std::pair<Day, QStringList>>& days);

// The live row of this id in the family store, as that store reads it now; none when
// there is none or the store could not be read (which fails the test).
std::optional<SharedThing> storedRow(FamilyStore& store, const QString& id);

// The titles of the things of a day (or any place) of the model's plan.
QStringList titlesOn(const AppModel& model, const Place& place);
// The id of the first thing with this title anywhere in the plan; a null id when none.
QUuid idOf(const Planner& plan, const QString& title);
