#include "launch.h"

#include "boardselection.h"
#include "demodata.h"
#include "familystore.h"
#include "markdown.h"
#include "modelharness.h"
#include "modelholder.h"
#include "notesmodel.h"
#include "otherapps.h"
#include "thingnotes.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using Env = Launch::Environment;

constexpr qint64 pid = 4242;
const Day currentDay{2026, 5, 20};

// A process's surroundings in one temporary folder: a temporary folder of its own,
// Documents, the user's and the demo settings files (each with a marker to see
// whether it was emptied), the shared family store and the normal notes folders.
class LaunchRig {
public:
    LaunchRig()
    {
        QDir(root()).mkpath(QStringLiteral("tmp"));
        QDir(root()).mkpath(QStringLiteral("Documents"));
        for (const char* name : {"standard.ini", "demo.ini"}) {
            QSettings settings(path(QString::fromLatin1(name)), QSettings::IniFormat);
            settings.setValue(QStringLiteral("marker"), QStringLiteral("kept"));
        }
    }

    QString root() const { return dir.path(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString tmp(const QString& name) const { return path(QStringLiteral("tmp/") + name); }
    QString demoFolder() const { return tmp(QStringLiteral("pemby-planner-demo-4242")); }
    QString scratchFolder() const { return tmp(QStringLiteral("pemby-planner-scratch-4242")); }

    void keepFolder(const QString& folder)
    {
        QSettings settings(path(QStringLiteral("standard.ini")), QSettings::IniFormat);
        settings.setValue(Launch::folderKey(), folder);
    }

    Launch::Host host()
    {
        Launch::Host host;
        host.tempFolder = path(QStringLiteral("tmp"));
        host.pid = pid;
        host.documentsFolder = path(QStringLiteral("Documents"));
        host.standardSettings = [this] {
            return std::make_unique<QSettings>(path(QStringLiteral("standard.ini")), QSettings::IniFormat);
        };
        host.demoSettings = [this] {
            return std::make_unique<QSettings>(path(QStringLiteral("demo.ini")), QSettings::IniFormat);
        };
        host.sharedStore = [this]() -> FamilyStore& { return shared; };
        host.familyNotesFolder = path(QStringLiteral("family-notes"));
        host.siblingNotesFolder = path(QStringLiteral("Notes"));
        host.currentDay = [] { return currentDay; };
        host.services = [this] { return harness.services(); };
        return host;
    }

    std::unique_ptr<AppModel> make(const Env& env, const QStringList& arguments = {})
    {
        return Launch::parse(env, QStringList{QStringLiteral("planner")} + arguments).makeModel(host());
    }

    QTemporaryDir dir;
    FamilyStore shared{path(QStringLiteral("shared.db"))};
    ModelHarness harness;  // only its fakes of the desktop
};

// Every file below a folder with its bytes and modification time.
QMap<QString, std::pair<QByteArray, QDateTime>> snapshot(const QString& folder)
{
    QMap<QString, std::pair<QByteArray, QDateTime>> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        files.insert(QDir(folder).relativeFilePath(path), {file.readAll(), QFileInfo(path).lastModified()});
    }
    return files;
}

QStringList files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool isPrivateFolder(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && (info.st_mode & 0777) == 0700;
}

} // namespace

TEST(LaunchTest, DemoIsExactlyTheArgumentMinusDemo)
{
    struct Case {
        QStringList arguments;
        bool demo;
    };
    const Case cases[] = {
        {{"planner", "-demo"}, true},
        {{"planner", "--x", "-demo", "file"}, true},
        {{"planner"}, false},
        {{"planner", "--demo"}, false},
        {{"planner", "-Demo"}, false},
        {{"planner", "-demo=1"}, false},
        {{"planner", " -demo"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Launch::isDemo(c.arguments), c.demo) << c.arguments.join(' ').toStdString();
    // This test program was not started with it.
    EXPECT_FALSE(Launch::isDemo());
}

TEST(LaunchTest, ParsesEachVariableExactly)
{
    struct Case {
        const char* name;
        Env env;
        QStringList arguments;
        std::function<void(Launch&)> expected;  // from an empty launch
    };
    const Day demoDay = DemoData::day;
    const Case cases[] = {
        {"nothing", {}, {}, [](Launch&) {}},
        {"demo pins the demo day", {}, {"-demo"}, [&](Launch& l) { l.demo = true; l.pinnedToday = demoDay; }},
        {"a given today wins in a demo", {{"PLANNER_TODAY", "2026-03-02"}}, {"-demo"},
         [](Launch& l) { l.demo = true; l.pinnedToday = Day{2026, 3, 2}; }},
        {"today without leading zeros", {{"PLANNER_TODAY", "2026-3-2"}}, {},
         [](Launch& l) { l.pinnedToday = Day{2026, 3, 2}; }},
        {"a today that does not parse is unset", {{"PLANNER_TODAY", "tomorrow"}}, {}, [](Launch&) {}},
        {"a day that does not exist is unset", {{"PLANNER_TODAY", "2026-02-30"}}, {"-demo"},
         [&](Launch& l) { l.demo = true; l.pinnedToday = demoDay; }},
        {"month", {{"PLANNER_MODE", "month"}}, {}, [](Launch& l) { l.startMode = Mode::Month; }},
        {"notes", {{"PLANNER_MODE", "notes"}}, {}, [](Launch& l) { l.startMode = Mode::Notes; }},
        {"Month is no mode", {{"PLANNER_MODE", "Month"}}, {}, [](Launch&) {}},
        {"week is no start mode", {{"PLANNER_MODE", "week"}}, {}, [](Launch&) {}},
        {"folder, even empty", {{"PLANNER_DIR", ""}}, {}, [](Launch& l) { l.plannerDir = QString(); }},
        {"open", {{"PLANNER_OPEN", "book flights"}}, {}, [](Launch& l) { l.openTitle = QStringLiteral("book flights"); }},
        {"render and note", {{"PLANNER_RENDER", "/x/a.png"}, {"PLANNER_NOTE", "reply"}}, {},
         [](Launch& l) {
             l.renderPath = QStringLiteral("/x/a.png");
             l.renderNote = QStringLiteral("reply");
         }},
        {"dark", {{"PLANNER_APPEARANCE", "dark"}}, {}, [](Launch& l) { l.appearance = Launch::Appearance::Dark; }},
        {"light", {{"PLANNER_APPEARANCE", "light"}}, {}, [](Launch& l) { l.appearance = Launch::Appearance::Light; }},
        {"Dark is no appearance", {{"PLANNER_APPEARANCE", "Dark"}}, {}, [](Launch&) {}},
        {"family folders",
         {{"PEMBY_FAMILY_DB", "/f.db"}, {"PEMBY_NOTES_DIR", "/n"}, {"PEMBY_NOTES_APP_DIR", "/a"}},
         {},
         [](Launch& l) {
             l.familyDatabase = QStringLiteral("/f.db");
             l.familyNotesFolder = QStringLiteral("/n");
             l.siblingNotesFolder = QStringLiteral("/a");
         }},
        {"names are exact", {{"planner_dir", "/x"}, {"Planner_Render", "/y"}}, {}, [](Launch&) {}},
        {"the link the desktop passes", {}, {"-demo", "vodarazezaza://add?title=x", "later"},
         [&](Launch& l) {
             l.demo = true;
             l.pinnedToday = demoDay;
             l.link = QStringLiteral("vodarazezaza://add?title=x");
         }},
    };
    for (const Case& c : cases) {
        Launch expected;
        c.expected(expected);
        const Launch parsed = Launch::parse(c.env, QStringList{QStringLiteral("planner")} + c.arguments);
        EXPECT_TRUE(parsed == expected) << c.name;
    }
}

TEST(LaunchTest, KindOfRunAndTheDesktop)
{
    struct Case {
        Env env;
        QStringList arguments;
        Launch::Run run;
        bool joinsDesktop;
    };
    const Case cases[] = {
        {{}, {}, Launch::Run::Normal, true},
        {{{"PLANNER_DIR", "/x"}, {"PLANNER_TODAY", "2026-01-01"}}, {}, Launch::Run::Normal, true},
        {{}, {"-demo"}, Launch::Run::Demo, false},
        {{{"PLANNER_RENDER", "/a.png"}}, {}, Launch::Run::Render, false},
        {{{"PLANNER_RENDER", ""}}, {}, Launch::Run::Render, false},
        {{{"PLANNER_RENDER", "/a.png"}}, {"-demo"}, Launch::Run::Demo, false},
    };
    for (const Case& c : cases) {
        const Launch launch = Launch::parse(c.env, QStringList{QStringLiteral("planner")} + c.arguments);
        EXPECT_EQ(launch.run(), c.run) << c.env.keys().join(' ').toStdString() << c.arguments.join(' ').toStdString();
        EXPECT_EQ(launch.joinsDesktop(), c.joinsDesktop);
    }
}

TEST(LaunchTest, EachRunSettlesFolderTodayModeSettingsAndFamilyStore)
{
    struct Case {
        const char* name;
        Env env;
        QStringList arguments;
        QString keptFolder;  // the user's chosen folder, "" for none
        QString folder;      // "$" stands for the rig's root
        Day today;
        Mode mode;
        QString settingsFile;
        bool settingsKept;
        QString familyStore;
        bool writesFiles;
    };
    const QString demo = QStringLiteral("$/tmp/pemby-planner-demo-4242");
    const QString scratchStore = QStringLiteral("$/tmp/pemby-planner-scratch-4242/family.db");
    const Case cases[] = {
        {"normal", {}, {}, "", "$/Documents/Pemby Planner", currentDay, Mode::Week, "standard.ini", true, "$/shared.db", true},
        {"normal, the chosen folder", {}, {}, "$/chosen", "$/chosen", currentDay, Mode::Week, "standard.ini", true,
         "$/shared.db", true},
        {"PLANNER_DIR wins", {{"PLANNER_DIR", "$/given"}}, {}, "$/chosen", "$/given", currentDay, Mode::Week,
         "standard.ini", true, "$/shared.db", true},
        {"pinned today", {{"PLANNER_TODAY", "2026-03-02"}}, {}, "", "$/Documents/Pemby Planner", Day{2026, 3, 2},
         Mode::Week, "standard.ini", true, "$/shared.db", true},
        {"a normal run ignores the scratch variables",
         {{"PEMBY_FAMILY_DB", "$/other.db"}, {"PEMBY_NOTES_DIR", "$/other-notes"}}, {}, "",
         "$/Documents/Pemby Planner", currentDay, Mode::Week, "standard.ini", true, "$/shared.db", true},
        {"month", {{"PLANNER_MODE", "month"}}, {}, "", "$/Documents/Pemby Planner", currentDay, Mode::Month,
         "standard.ini", true, "$/shared.db", true},
        {"Month", {{"PLANNER_MODE", "Month"}}, {}, "", "$/Documents/Pemby Planner", currentDay, Mode::Week,
         "standard.ini", true, "$/shared.db", true},
        {"demo", {}, {"-demo"}, "$/chosen", demo, DemoData::day, Mode::Week, "demo.ini", false, scratchStore, true},
        {"demo, PLANNER_DIR wins", {{"PLANNER_DIR", "$/given"}}, {"-demo"}, "", "$/given", DemoData::day, Mode::Week,
         "demo.ini", false, scratchStore, true},
        {"demo, its own family store", {{"PEMBY_FAMILY_DB", "$/other.db"}}, {"-demo"}, "", demo, DemoData::day,
         Mode::Week, "demo.ini", false, "$/other.db", true},
        {"demo in notes", {{"PLANNER_MODE", "notes"}}, {"-demo"}, "", demo, DemoData::day, Mode::Notes, "demo.ini",
         false, scratchStore, true},
        {"render", {{"PLANNER_RENDER", "$/out.png"}}, {}, "$/chosen", "$/chosen", currentDay, Mode::Week, "demo.ini",
         true, scratchStore, false},
        {"demo render", {{"PLANNER_RENDER", "$/out.png"}}, {"-demo"}, "", demo, DemoData::day, Mode::Week, "demo.ini",
         false, scratchStore, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LaunchRig rig;
        const auto at = [&](const QString& text) { return QString(text).replace(u'$', rig.root()); };
        if (!c.keptFolder.isEmpty())
            rig.keepFolder(at(c.keptFolder));
        Env env;
        for (auto it = c.env.begin(); it != c.env.end(); ++it)
            env.insert(it.key(), at(it.value()));

        const auto model = rig.make(env, c.arguments);
        EXPECT_EQ(model->store().folder(), at(c.folder));
        EXPECT_EQ(model->today(), c.today);
        EXPECT_EQ(model->mode(), c.mode);
        EXPECT_EQ(QFileInfo(model->defaults()->fileName()).fileName(), c.settingsFile);
        EXPECT_EQ(model->defaults()->contains(QStringLiteral("marker")), c.settingsKept);
        EXPECT_EQ(model->familyStore().path(), at(c.familyStore));
        EXPECT_EQ(model->writesFiles(), c.writesFiles);
        const Launch launch = Launch::parse(env, QStringList{QStringLiteral("planner")} + c.arguments);
        EXPECT_EQ(model->pinnedToday(), launch.pinnedToday);
    }
}

TEST(LaunchTest, ADemoStartsOnTheDemoWeekWithTheToDoRowOfToday)
{
    LaunchRig rig;
    const auto model = rig.make({}, {"-demo"});
    // The three things of Monday are done, so nothing rolls over.
    EXPECT_EQ(titlesOn(*model, Place::onDay(Day{2026, 11, 10})),
              (QStringList{"slides for thursday", "book flights", "reply to ines", "drink water"}));
    EXPECT_FALSE(model->toast().has_value());
    const QList<SharedThing> others = model->otherApps().todayFromOthers();
    ASSERT_EQ(others.size(), 1);
    EXPECT_EQ(others[0].id, u"demo-todo-1");
    EXPECT_EQ(others[0].title, u"dentist (from todo)");
    EXPECT_EQ(others[0].day, std::optional<QString>(QStringLiteral("2026-11-10")));
    EXPECT_EQ(others[0].sourceApp, u"todo");
    // The demo notes went to the scratch sibling folder, and no file of the user's.
    EXPECT_EQ(model->notes().store().directory(), rig.scratchFolder() + QStringLiteral("/pemby-notes"));
    EXPECT_EQ(files(rig.scratchFolder() + QStringLiteral("/pemby-notes")).filter(QStringLiteral(".rtf")).size(), 4);
    EXPECT_TRUE(files(rig.path(QStringLiteral("Documents"))).isEmpty());
    EXPECT_TRUE(rig.shared.allThings()->isEmpty());
}

TEST(LaunchTest, ADemoOnAnotherDayDatesTheToDoRowOnIt)
{
    LaunchRig rig;
    const auto model = rig.make({{"PLANNER_TODAY", "2026-03-02"}}, {"-demo"});
    EXPECT_EQ(model->today(), (Day{2026, 3, 2}));
    ASSERT_EQ(model->otherApps().todayFromOthers().size(), 1);
    EXPECT_EQ(model->otherApps().todayFromOthers()[0].day, std::optional<QString>(QStringLiteral("2026-03-02")));
}

TEST(LaunchTest, NotesModeSelectsTheFirstNote)
{
    LaunchRig rig;
    const auto model = rig.make({{"PLANNER_MODE", "notes"}}, {"-demo"});
    const NotesModel& notes = model->notes();
    ASSERT_EQ(notes.notes().size(), 4);
    EXPECT_EQ(notes.selectedID(), std::optional<QString>(notes.notes().first()->id()));

    // A sibling folder of the user's own choosing gets no demo notes; empty, nothing is selected.
    LaunchRig other;
    const QString empty = other.path(QStringLiteral("their-notes"));
    const auto own = other.make({{"PLANNER_MODE", "notes"}, {"PEMBY_NOTES_APP_DIR", empty}}, {"-demo"});
    EXPECT_EQ(own->notes().store().directory(), empty);
    EXPECT_TRUE(own->notes().notes().isEmpty());
    EXPECT_FALSE(own->notes().selectedID().has_value());
}

TEST(LaunchTest, OpenTakesTheFirstThingOfTheVisibleWeekWithThatExactTitle)
{
    struct Case {
        const char* title;
        bool found;
    };
    const Case cases[] = {
        {"book flights", true},
        {"Book flights", false},
        {"lisbon", false},        // a later week
        {"fix the bike", false},  // a list
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        LaunchRig rig;
        const auto model = rig.make({{"PLANNER_OPEN", QString::fromUtf8(c.title)}}, {"-demo"});
        if (c.found) {
            const QUuid id = idOf(model->planner(), QString::fromUtf8(c.title));
            EXPECT_EQ(model->opened(), std::optional<QUuid>(id));
            EXPECT_EQ(model->selection().ids(), QSet<QUuid>{id});
        } else {
            EXPECT_FALSE(model->opened().has_value());
            EXPECT_TRUE(model->selection().ids().isEmpty());
        }
    }
}

TEST(LaunchTest, ADemoNeverWritesOverAPlanInTheGivenFolder)
{
    LaunchRig rig;
    const QString plan = rig.path(QStringLiteral("plan"));
    QDir().mkpath(plan);
    QFile file(plan + QStringLiteral("/2026-W46.md"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(weekFile(Day{2026, 11, 9}, {{Day{2026, 11, 12}, {"- [ ] my own thing"}}}).toUtf8());
    file.close();

    const auto model = rig.make({{"PLANNER_DIR", plan}}, {"-demo"});
    EXPECT_EQ(titlesOn(*model, Place::onDay(Day{2026, 11, 12})), QStringList{"my own thing"});
    EXPECT_TRUE(titlesOn(*model, Place::onDay(Day{2026, 11, 10})).isEmpty());
    EXPECT_EQ(files(plan), QStringList{"2026-W46.md"});

    // An empty folder given to a demo gets the demo.
    const QString fresh = rig.path(QStringLiteral("fresh"));
    const auto demo = rig.make({{"PLANNER_DIR", fresh}}, {"-demo"});
    EXPECT_TRUE(files(fresh).contains(QStringLiteral("2026-W46.md")));
    EXPECT_EQ(titlesOn(*demo, Place::onDay(Day{2026, 11, 12})), (QStringList{"present slides", "call mum"}));
}

TEST(LaunchTest, ARenderRunLeavesThePlannerFolderAsItWas)
{
    LaunchRig rig;
    const QString plan = rig.path(QStringLiteral("plan"));
    const QString notes = rig.path(QStringLiteral("thing-notes"));
    QDir().mkpath(plan);
    // An unfinished thing of Monday rolls over to Wednesday, and the bullet line is one
    // the writer would drop: any save would change this file.
    QFile file(plan + QStringLiteral("/2026-W10.md"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(weekFile(Day{2026, 3, 2}, {{Day{2026, 3, 2}, {"- [ ] left over", "* a loose bullet"}}}).toUtf8());
    file.close();
    const auto before = snapshot(plan);

    const auto model = rig.make(
        {{"PLANNER_DIR", plan}, {"PLANNER_TODAY", "2026-03-04"}, {"PLANNER_RENDER", rig.path("out.png")},
         {"PEMBY_NOTES_DIR", notes}});
    // The roll-over happened, in memory only.
    EXPECT_EQ(titlesOn(*model, Place::onDay(Day{2026, 3, 4})), QStringList{"left over"});
    EXPECT_FALSE(model->saveError().has_value());
    const auto added = model->add(QStringLiteral("typed in a render"), Place::onDay(Day{2026, 3, 4}));
    ASSERT_TRUE(added.has_value());
    model->thingNotes().saveNote(*added, QByteArray("{\\rtf1 a note}"), QStringLiteral("a note"));
    model->undo();
    model->redo();

    EXPECT_EQ(snapshot(plan), before);
    EXPECT_FALSE(QFileInfo::exists(notes));
    EXPECT_FALSE(QFileInfo::exists(rig.path("out.png")));
}

TEST(LaunchTest, TemporaryFoldersSomeoneElsePreparedAreNeverUsed)
{
    LaunchRig rig;
    const QString victim = rig.path(QStringLiteral("victim"));
    const QString victimToo = rig.path(QStringLiteral("victim-too"));
    QDir().mkpath(victim);
    QDir().mkpath(victimToo);
    ASSERT_TRUE(QFile::link(victim, rig.demoFolder()));
    ASSERT_TRUE(QFile::link(victimToo, rig.scratchFolder()));

    const auto model = rig.make({}, {"-demo"});
    EXPECT_TRUE(files(victim).isEmpty());
    EXPECT_TRUE(QDir(victimToo).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    const QString folder = model->store().folder();
    EXPECT_TRUE(folder.startsWith(rig.demoFolder() + u'-')) << folder.toStdString();
    EXPECT_TRUE(isPrivateFolder(folder));
    EXPECT_TRUE(files(folder).contains(QStringLiteral("2026-W46.md")));
    const QString store = model->familyStore().path();
    EXPECT_TRUE(store.startsWith(rig.scratchFolder() + u'-')) << store.toStdString();
    EXPECT_TRUE(isPrivateFolder(QFileInfo(store).path()));
    EXPECT_EQ(model->otherApps().todayFromOthers().size(), 1);
}

TEST(LaunchTest, TheTemporaryFoldersAreMadePrivate)
{
    LaunchRig rig;
    const auto model = rig.make({}, {"-demo"});
    EXPECT_EQ(model->store().folder(), rig.demoFolder());
    EXPECT_TRUE(isPrivateFolder(rig.demoFolder()));
    EXPECT_TRUE(isPrivateFolder(rig.scratchFolder()));
}

TEST(LaunchTest, AChosenFolderGetsANormalModelAndIsKeptForTheNextStart)
{
    for (const QStringList& arguments : {QStringList{"-demo"}, QStringList{}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        LaunchRig rig;
        ModelHolder holder;
        holder.replace(rig.make({{"PLANNER_TODAY", "2026-03-02"}, {"PLANNER_RENDER", rig.path("out.png")}}, arguments));
        const QString chosen = rig.path(QStringLiteral("chosen"));
        holder.replace(Launch::modelForChosenFolder(chosen, rig.host()));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const AppModel& model = *holder.model();
        EXPECT_EQ(model.store().folder(), chosen);
        EXPECT_EQ(model.today(), currentDay);
        EXPECT_FALSE(model.pinnedToday().has_value());
        EXPECT_EQ(QFileInfo(model.defaults()->fileName()).fileName(), u"standard.ini");
        EXPECT_EQ(model.familyStore().path(), rig.path(QStringLiteral("shared.db")));
        EXPECT_TRUE(model.writesFiles());
        EXPECT_EQ(Launch::parse({}, {"planner"}).folder(rig.host()), chosen);
    }
}
