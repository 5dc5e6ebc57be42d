#include "modelharness.h"

#include "boarddrag.h"
#include "boardselection.h"
#include "plansearch.h"
#include "markdown.h"
#include "pembysync.h"
#include "pembysyncobserver.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTest>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <gtest/gtest.h>

namespace {

const QDateTime longAgo(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());

} // namespace

void FakeCalendar::answer(qsizetype index, const EventLines& lines)
{
    ASSERT_LT(index, reads.size());
    const Read read = reads[index];
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [read, lines] {
            if (read.context)
                read.done(lines);
        },
        Qt::QueuedConnection);
    QCoreApplication::processEvents();
}

ModelHarness::ModelHarness()
    : settings_(std::make_unique<QSettings>(dir_.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat))
    , family_(std::make_unique<FamilyStore>(dir_.filePath(QStringLiteral("family.db"))))
    , scheduler_(std::make_unique<NotificationScheduler>(std::make_unique<RecordingNotifier>(shown),
                                                          [this] { return now(); }, std::chrono::hours(1),
                                                          QTimeZone::utc()))
{
}

ModelHarness::~ModelHarness()
{
    stop();
}

AppModel& ModelHarness::start()
{
    stop();
    model_ = std::make_unique<AppModel>(folder(), today, settings_.get(), *family_, notesFolder(),
                                        notesAppFolder(), services());
    return *model_;
}

Launch::Host ModelHarness::launchHost(Day current, bool desktopPanel)
{
    Launch::Host host;
    host.tempFolder = root();
    host.standardSettings = [this] {
        return std::make_unique<QSettings>(root() + QStringLiteral("/user.ini"), QSettings::IniFormat);
    };
    host.sharedStore = [this]() -> FamilyStore& { return family(); };
    host.familyNotesFolder = notesFolder();
    host.siblingNotesFolder = notesAppFolder();
    host.currentDay = [current] { return current; };
    host.services = [this, desktopPanel] {
        AppModel::Services given = services();
        if (desktopPanel)
            given.focusPanel.reset();
        return given;
    };
    return host;
}

AppModel::Services ModelHarness::services()
{
    AppModel::Services services;
    services.bus = bus.value_or(QDBusConnection(QStringLiteral("pemby-test-no-bus")));
    services.readEvents = calendar.reader();
    services.reminders = std::make_unique<ReminderCenter>(scheduler_.get(), true, zone);
    services.focusPanel = makeFocusPanel ? makeFocusPanel() : std::make_unique<FakeFocusPanel>(panel);
    services.now = [this] { return now(); };
    services.zone = zone;
    services.firstWeekday = localeFirstWeekday;
    services.weekend = weekend;
    services.syncDelay = syncDelay;
    services.toastDuration = toastDuration;
    services.clipboard = std::make_unique<FakeClipboard>(clipboard);
    services.takeHandoff = [this] { return PembyThings::takeHandoff(handoffFolder()); };
    services.openUrl = [this](const QUrl& url) {
        openedUrls.append(url);
        return desktopOpens;
    };
    services.activateApp = [this] { ++activations; };
    return services;
}

void ModelHarness::stop()
{
    model_.reset();
    settings_->sync();
}

void ModelHarness::usePrivateBus()
{
    privateBus = std::make_unique<PrivateBus>();
    ASSERT_TRUE(privateBus->isRunning());
    bus = privateBus->connect(QStringLiteral("planner"));
}

Sibling::Sibling(ModelHarness& harness)
    : store(harness.root() + QStringLiteral("/family.db"))
    , connection(harness.privateBus->connect(QStringLiteral("todo")))
{
    auto* observer = new PembySyncObserver;
    observer_.reset(observer);
    observer->setOnChanged([this] { ++heard; });
    EXPECT_TRUE(observer->observe(connection));
    // A blocking call through the daemon: once it returns, the match rule is in place.
    connection.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
}

void Sibling::post()
{
    EXPECT_TRUE(PembySync::post(connection));
}

int Sibling::postsDuring(const std::function<void()>& operation)
{
    const auto marker = [this] {
        const int before = heard;
        post();
        EXPECT_TRUE(waitUntil([&] { return heard > before; }));
        QTest::qWait(50);
    };
    marker();  // what was posted before has arrived
    const int before = heard;
    operation();
    marker();
    return heard - before - 1;
}

SharedThing Sibling::row(const QString& id, const QString& title, const std::optional<Day>& day, const QString& app)
{
    SharedThing thing;
    thing.id = id;
    thing.title = title;
    if (day)
        thing.day = day->iso();
    thing.sourceApp = app;
    return thing;
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

bool waitForSync(AppModel& model)
{
    return waitUntil([&] { return !model.syncPending(); });
}

void ModelHarness::breakFamilyStore()
{
    stop();
    const QString path = dir_.filePath(QStringLiteral("broken.db"));
    QDir().mkpath(path);
    family_ = std::make_unique<FamilyStore>(path);
}

void ModelHarness::setFamilyBusyTimeout(std::chrono::milliseconds wait)
{
    stop();
    family_.reset();
    family_ = std::make_unique<FamilyStore>(familyPath(), FamilyStore::Clock(), wait);
}

void ModelHarness::put(const QString& name, const QString& text) const
{
    QDir().mkpath(folder());
    QFile file(folder() + u'/' + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString ModelHarness::text(const QString& name) const
{
    QFile file(folder() + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList ModelHarness::files() const
{
    return QDir(folder()).entryList(QDir::Files, QDir::Name);
}

void ModelHarness::age() const
{
    for (const QString& name : files()) {
        QFile file(folder() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
}

QStringList ModelHarness::fresh() const
{
    QStringList out;
    for (const QString& name : files()) {
        if (QFileInfo(folder() + u'/' + name).lastModified() > longAgo.addYears(1))
            out.append(name);
    }
    return out;
}

QList<QObject*> modelObjects(AppModel& model)
{
    return {&model, &model.selection(), &model.search(), &model.drag(), &model.settings(), &model.otherApps(), &model.focusMode(), &model.lists()};
}

SignalCount::SignalCount(AppModel& model, const ModelChanges::Signal& signal)
{
    for (QObject* object : modelObjects(model)) {
        if (object->metaObject() == signal.method().enclosingMetaObject())
            spy_ = std::make_unique<QSignalSpy>(object, signal.method());
    }
    if (!spy_)
        ADD_FAILURE() << "no part of the model has " << signal.name().toStdString();
}

SignalCount::~SignalCount() = default;

QString weekFile(Day monday, const QList<std::pair<Day, QStringList>>& days)
{
    QString text = QStringLiteral("# %1 week %2\n").arg(monday.isoWeek().year).arg(monday.isoWeek().week);
    for (const auto& [day, lines] : days) {
        text += u'\n' + QStringLiteral("## ") + QStringList{"sun", "mon", "tue", "wed", "thu", "fri", "sat"}[day.weekday() - 1]
            + u' ' + day.iso() + u'\n';
        for (const QString& line : lines)
            text += line + u'\n';
    }
    return text;
}

std::optional<SharedThing> storedRow(FamilyStore& store, const QString& id)
{
    const Result<QList<SharedThing>> rows = store.allThings();
    EXPECT_TRUE(rows.ok()) << rows.errorText().toStdString();
    if (rows.ok()) {
        for (const SharedThing& row : *rows) {
            if (row.id == id)
                return row;
        }
    }
    return std::nullopt;
}

QStringList titlesOn(const AppModel& model, const Place& place)
{
    QStringList out;
    for (const Thing& thing : model.planner().things(place))
        out.append(thing.title);
    return out;
}

QUuid idOf(const Planner& plan, const QString& title)
{
    QUuid id;
    plan.forEachThing([&](const Place&, int, const Thing& t) {
        if (t.title == title)
            id = t.id;
        return t.title == title;
    });
    return id;
}

void ModelHarness::blockNotesFolder()
{
    notesFolderName = QStringLiteral("blocker/notes");
    QFile blocker(root() + QStringLiteral("/blocker"));
    if (!blocker.open(QIODevice::WriteOnly))
        ADD_FAILURE() << "couldn't put a file where the notes folder's parent should be";
}
