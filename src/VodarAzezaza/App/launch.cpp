#include "launch.h"

#include "boardselection.h"
#include "demodata.h"
#include "familystore.h"
#include "logcategories.h"
#include "notesmodel.h"
#include "pembysync.h"
#include "privatefolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>

namespace {

std::optional<QString> valueOf(const Launch::Environment& environment, const char* name)
{
    const auto it = environment.constFind(QString::fromLatin1(name));
    if (it == environment.cend())
        return std::nullopt;
    return *it;
}

// The choice a variable names by one of its exact values; none for any other value.
template <class T>
std::optional<T> oneOf(const Launch::Environment& environment, const char* name,
                       std::initializer_list<std::pair<const char*, T>> choices)
{
    const auto value = valueOf(environment, name);
    if (!value)
        return std::nullopt;
    for (const auto& [text, choice] : choices) {
        if (*value == QLatin1String(text))
            return choice;
    }
    return std::nullopt;
}

// A path as the user gave it, made absolute against the working folder ("" is the
// working folder itself, as a file URL of it would be).
QString absolute(const QString& path)
{
    return QDir(path).absolutePath();
}

// The settings and the scratch family store a model was built on. A child of the
// model, made after all of the model's own children, so it is destroyed after
// everything of the model that could still use them.
class ModelGround final : public QObject {
public:
    ModelGround(std::unique_ptr<QSettings> settings, std::unique_ptr<FamilyStore> scratchStore, QObject* model)
        : QObject(model)
        , settings_(std::move(settings))
        , scratchStore_(std::move(scratchStore))
    {
    }

private:
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<FamilyStore> scratchStore_;
};

// The model on its ground: the settings and a scratch store become the model's.
std::unique_ptr<AppModel> groundedModel(const QString& folder, Day today, std::unique_ptr<QSettings> settings,
                                        FamilyStore& familyStore, std::unique_ptr<FamilyStore> scratchStore,
                                        const QString& familyNotes, const QString& siblingNotes,
                                        AppModelServices services)
{
    auto model = std::make_unique<AppModel>(folder, today, settings.get(), familyStore, familyNotes, siblingNotes,
                                            std::move(services));
    new ModelGround(std::move(settings), std::move(scratchStore), model.get());
    return model;
}

// The demo row of the sibling to-do app, dated today.
SharedThing demoTodoRow(Day today)
{
    SharedThing row;
    row.id = QStringLiteral("demo-todo-1");
    row.title = QStringLiteral("dentist (from todo)");
    row.day = today.iso();
    row.sourceApp = QStringLiteral("todo");
    return row;
}

} // namespace

Launch Launch::parse(const Environment& environment, const QStringList& arguments)
{
    Launch launch;
    launch.demo = isDemo(arguments);
    launch.plannerDir = valueOf(environment, "PLANNER_DIR");
    if (const auto today = valueOf(environment, "PLANNER_TODAY"))
        launch.pinnedToday = Day::fromIso(*today);
    if (!launch.pinnedToday && launch.demo)
        launch.pinnedToday = DemoData::day;
    launch.startMode = oneOf<Mode>(environment, "PLANNER_MODE", {{"month", Mode::Month}, {"notes", Mode::Notes}});
    launch.openTitle = valueOf(environment, "PLANNER_OPEN");
    launch.renderPath = valueOf(environment, "PLANNER_RENDER");
    launch.renderNote = valueOf(environment, "PLANNER_NOTE");
    launch.appearance = oneOf<Appearance>(environment, "PLANNER_APPEARANCE",
                                          {{"dark", Appearance::Dark}, {"light", Appearance::Light}});
    launch.familyDatabase = valueOf(environment, "PEMBY_FAMILY_DB");
    launch.familyNotesFolder = valueOf(environment, "PEMBY_NOTES_DIR");
    launch.siblingNotesFolder = valueOf(environment, "PEMBY_NOTES_APP_DIR");
    for (const QString& argument : arguments.mid(1)) {
        if (!argument.startsWith(u'-')) {
            launch.link = argument;
            break;
        }
    }
    return launch;
}

Launch::Environment Launch::processEnvironment()
{
    const QProcessEnvironment process = QProcessEnvironment::systemEnvironment();
    Environment environment;
    for (const QString& name : process.keys())
        environment.insert(name, process.value(name));
    return environment;
}

const Launch& Launch::current()
{
    static const Launch launch = [] {
        if (!QCoreApplication::instance())
            qCWarning(lcApp) << "launch arguments read before the application object exists";
        return parse(processEnvironment(), QCoreApplication::arguments());
    }();
    return launch;
}

bool Launch::isDemo()
{
    return current().demo;
}

bool Launch::isDemo(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("-demo"));
}

Launch::Run Launch::run() const
{
    if (demo)
        return Run::Demo;
    if (renderPath)
        return Run::Render;
    return Run::Normal;
}

Launch::Host Launch::Host::system()
{
    Host host;
    host.tempFolder = QDir::tempPath();
    host.pid = QCoreApplication::applicationPid();
    host.documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    host.standardSettings = [] { return std::make_unique<QSettings>(QStringLiteral("Pemby"), QStringLiteral("Planner")); };
    host.demoSettings = [] { return std::make_unique<QSettings>(QSettings::UserScope, Launch::demoSuiteName()); };
    host.sharedStore = []() -> FamilyStore& { return PembySync::store(); };
    host.familyNotesFolder = PembySync::notesFolderURL();
    host.siblingNotesFolder = NotesModel::pembyNotesFolder();
    host.currentDay = [] { return Day::today(); };
    return host;
}

QString Launch::folder(const Host& host) const
{
    if (plannerDir)
        return absolute(*plannerDir);
    if (demo)
        return QDir(host.tempFolder).filePath(demoFolderPrefix() + QString::number(host.pid));
    if (host.standardSettings) {
        const QVariant kept = host.standardSettings()->value(folderKey());
        if (kept.typeId() == QMetaType::QString && !kept.toString().isEmpty())
            return absolute(kept.toString());
    }
    // Without a documents folder the home folder stands in for it.
    const QString documents = host.documentsFolder.isEmpty() ? QDir::homePath() : host.documentsFolder;
    return QDir(documents).filePath(QStringLiteral("Pemby Planner"));
}

std::unique_ptr<AppModel> Launch::makeModel(const Host& host) const
{
    const Run kind = run();
    QString plannerFolder = folder(host);
    if (kind == Run::Demo) {
        // The demo folder is ours to fill, so nobody else may have made it first.
        if (!plannerDir) {
            plannerFolder = pemby::makePrivateFolder(plannerFolder);
            pemby::removeWhenRunEnds(plannerFolder);
        }
        // A demo pointed at a real plan starts on that plan: writing the demo over it
        // would lose the user's weeks.
        if (DemoData::holdsPlan(plannerFolder))
            qCWarning(lcApp) << "demo run: the planner folder" << plannerFolder
                             << "already holds a plan, so no demo data is written and the demo starts on it";
        else
            DemoData::write(plannerFolder);
    }

    std::unique_ptr<QSettings> settings;
    if (kind != Run::Normal && host.demoSettings) {
        settings = host.demoSettings();
        if (settings->status() != QSettings::NoError) {
            qCWarning(lcApp) << "the demo settings file" << settings->fileName() << "cannot be used; the user's settings stand in";
            settings.reset();
        } else if (kind == Run::Demo) {
            settings->clear();
            settings->sync();
        }
    }
    if (!settings)
        settings = host.standardSettings();

    const Day today = pinnedToday.value_or(host.currentDay());
    std::unique_ptr<FamilyStore> scratchStore;
    FamilyStore* familyStore = nullptr;
    QString familyNotes;
    QString siblingNotes;
    if (kind == Run::Normal) {
        familyStore = &host.sharedStore();
        familyNotes = host.familyNotesFolder;
        siblingNotes = host.siblingNotesFolder;
    } else {
        const QDir scratch(
            pemby::makePrivateFolder(QDir(host.tempFolder).filePath(scratchFolderPrefix() + QString::number(host.pid))));
        pemby::removeWhenRunEnds(scratch.path());
        scratchStore = std::make_unique<FamilyStore>(familyDatabase ? absolute(*familyDatabase)
                                                                    : scratch.filePath(QStringLiteral("family.db")));
        familyStore = scratchStore.get();
        familyNotes = familyNotesFolder ? absolute(*familyNotesFolder) : scratch.filePath(QStringLiteral("notes"));
        siblingNotes = siblingNotesFolder ? absolute(*siblingNotesFolder)
                                          : DemoData::writeNotes(scratch.filePath(QStringLiteral("pemby-notes")));
    }

    AppModelServices services = host.services ? host.services() : AppModelServices{};
    // A render only looks: the user's plan on disk stays exactly as it was.
    services.writesFiles = !renderPath;
    auto model = groundedModel(plannerFolder, today, std::move(settings), *familyStore, std::move(scratchStore),
                               familyNotes, siblingNotes, std::move(services));

    model->setPinnedToday(pinnedToday);
    if (kind == Run::Demo) {
        familyStore->upsert(demoTodoRow(model->today()));
        model->refreshFromFamily();
    }
    if (startMode == Mode::Month) {
        model->setMode(Mode::Month);
    } else if (startMode == Mode::Notes) {
        model->setMode(Mode::Notes);
        NotesModel& notes = model->notes();
        notes.finishLoading();  // the first note of the whole folder, and a render shows it all
        notes.select(notes.notes().isEmpty() ? std::nullopt : std::optional<QString>(notes.notes().first()->id()));
    }
    if (openTitle) {
        std::optional<QUuid> found;
        for (const Day day : model->weekDays()) {
            for (const Thing& thing : model->planner().things(Place::onDay(day))) {
                if (thing.title == *openTitle) {
                    found = thing.id;
                    break;
                }
            }
            if (found)
                break;
        }
        model->setOpened(found);
        model->selection().select(found);
    }
    return model;
}

std::unique_ptr<AppModel> Launch::modelForChosenFolder(const QString& folder, const Host& host)
{
    std::unique_ptr<QSettings> settings = host.standardSettings();
    settings->setValue(folderKey(), folder);
    settings->sync();
    return groundedModel(folder, host.currentDay(), std::move(settings), host.sharedStore(), nullptr,
                         host.familyNotesFolder, host.siblingNotesFolder,
                         host.services ? host.services() : AppModelServices{});
}
