#include "appmodel.h"
#include "boardselection.h"
#include "plansearch.h"
#include "boarddrag.h"
#include "modelharness.h"
#include "plannerlists.h"

#include <QSize>

#include <gtest/gtest.h>

namespace {

QString describeSettings(const AppModel& m)
{
    QStringList pairs;
    for (auto it = m.otherApps().externalSlots().cbegin(); it != m.otherApps().externalSlots().cend(); ++it)
        pairs.append(it.key() + u':' + QString::number(*it));
    const auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    return QStringLiteral("first=%1 split=%2 calendar=%3 lists=%4 floats=%5 slots={%6}")
        .arg(m.settings().firstWeekdaySetting())
        .arg(b(m.settings().splitWeekend()), b(m.settings().showCalendar()), b(m.settings().showLists()), b(m.settings().floats()), pairs.join(u','));
}

const QString defaults = "first=0 split=true calendar=false lists=true floats=true slots={}";

} // namespace

TEST(AppModelSettings, ReadsEveryKeyStrictlyAndFallsBackToItsDefault)
{
    struct Case {
        const char* name;
        QList<std::pair<QString, QVariant>> stored;
        QString expected;
    };
    const QList<Case> cases{
        {"nothing stored", {}, defaults},
        {"every key as written",
         {{"firstWeekday", "3"}, {"splitWeekend", "false"}, {"showCalendar", "true"}, {"showLists", "false"},
          {"focus.floats", "false"}, {"order.otherApps", R"({"a":2,"b":0})"}},
         "first=3 split=false calendar=true lists=false floats=false slots={a:2,b:0}"},
        {"texts that are not Booleans",
         {{"splitWeekend", "yes"}, {"showCalendar", "True"}, {"showLists", "0"}, {"focus.floats", ""}},
         defaults},
        {"values of other types",
         {{"splitWeekend", QStringList{"a", "b"}}, {"showCalendar", QByteArray("true")}, {"showLists", QSize(1, 2)},
          {"firstWeekday", QSize(3, 4)}, {"order.otherApps", QStringList{"{}", "{}"}}},
         defaults},
        {"first weekdays that are not whole numbers", {{"firstWeekday", " 3"}}, defaults},
        {"first weekday 0 and 7", {{"firstWeekday", "7"}}, "first=7 split=true calendar=false lists=true floats=true slots={}"},
        // Out of range names no weekday at all: it means the locale's.
        {"first weekday 8", {{"firstWeekday", "8"}}, defaults},
        {"first weekday -1", {{"firstWeekday", "-1"}}, defaults},
        {"a slot that is a fraction spoils them all", {{"order.otherApps", R"({"a":1,"b":2.5})"}}, defaults},
        {"a slot that is text spoils them all", {{"order.otherApps", R"({"a":"1"})"}}, defaults},
        {"slots that are no object", {{"order.otherApps", "[1, 2]"}}, defaults},
        {"slots that are no JSON", {{"order.otherApps", "a=1"}}, defaults},
        {"a slot below 0 counts as 0",
         {{"order.otherApps", R"({"a":-3,"b":4})"}},
         "first=0 split=true calendar=false lists=true floats=true slots={a:0,b:4}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        // The things the slots belong to, or the start-up's refresh forgets the slots.
        for (const char* id : {"a", "b"})
            h.family().upsert(Sibling::row(QString::fromLatin1(id), QStringLiteral("x"), std::nullopt));
        for (const auto& [key, value] : c.stored)
            h.settings().setValue(key, value);
        h.settings().sync();
        const QStringList before = h.settings().allKeys();
        EXPECT_EQ(describeSettings(h.start()), c.expected);
        // Reading writes nothing back.
        EXPECT_EQ(h.settings().allKeys(), before);
        for (const auto& [key, value] : c.stored)
            EXPECT_EQ(h.settings().value(key), value) << key.toStdString();
    }
}

TEST(AppModelSettings, SettersWriteTheirKeyAsTextEveryTime)
{
    ModelHarness h;
    AppModel& m = h.start();
    struct Case {
        const char* key;
        std::function<void(bool)> set;
    };
    const QList<Case> cases{
        {"splitWeekend", [&](bool v) { m.settings().setSplitWeekend(v); }},
        {"showCalendar", [&](bool v) { m.settings().setShowCalendar(v); }},
        {"showLists", [&](bool v) { m.settings().setShowLists(v); }},
        {"focus.floats", [&](bool v) { m.settings().setFloats(v); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        for (const bool value : {false, false, true, true}) {
            h.settings().remove(c.key);
            c.set(value);
            EXPECT_EQ(h.settings().value(c.key), value ? QVariant("true") : QVariant("false"));
        }
    }
    for (const int weekday : {1, 1, 0}) {
        h.settings().remove("firstWeekday");
        m.settings().setFirstWeekdaySetting(weekday);
        EXPECT_EQ(h.settings().value("firstWeekday"), QVariant(QString::number(weekday)));
    }

    // What was written is what the next model reads.
    m.settings().setSplitWeekend(false);
    m.settings().setFirstWeekdaySetting(4);
    EXPECT_EQ(describeSettings(h.start()), "first=4 split=false calendar=true lists=true floats=true slots={}");
}

TEST(AppModelSettings, EveryPropertySignalsOnlyAChange)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid a = QUuid::createUuid();
    const Place friday = Place::onDay(Day{2026, 3, 6});
    SharedThing other;
    other.id = "T1";
    other.sourceApp = "todo";

    struct Case {
        const char* name;
        ModelChanges::Signal signal;
        std::function<void()> setDifferent;
        std::function<void()> setSame;
    };
    const QList<Case> cases{
        {"selection", &BoardSelection::selectionChanged, [&] { m.selection().setIDs({a}); }, [&] { m.selection().setIDs({a}); }},
        {"selectionAnchor", &BoardSelection::selectionAnchorChanged, [&] { m.selection().setAnchor(a); },
         [&] { m.selection().setAnchor(a); }},
        {"editing", &AppModel::editingChanged, [&] { m.setEditing(Editing::newThing(friday)); },
         [&] { m.setEditing(Editing::newThing(friday)); }},
        {"editing to another case, same payload type", &AppModel::editingChanged,
         [&] { m.setEditing(Editing::listName(0)); }, [&] { m.setEditing(Editing::listName(0)); }},
        {"opened", &AppModel::openedChanged, [&] { m.setOpened(a); }, [&] { m.setOpened(a); }},
        {"openedExternal", &AppModel::openedExternalChanged, [&] { m.setOpenedExternal("T1"); },
         [&] { m.setOpenedExternal("T1"); }},
        {"editingExternalNote", &AppModel::editingExternalNoteChanged, [&] { m.setEditingExternalNote("T1"); },
         [&] { m.setEditingExternalNote("T1"); }},
        {"editingNote", &AppModel::editingNoteChanged, [&] { m.setEditingNote(a); }, [&] { m.setEditingNote(a); }},
        {"zoomed", &AppModel::zoomedChanged, [&] { m.setZoomed(Place::inList(0)); }, [&] { m.setZoomed(Place::inList(0)); }},
        {"isSearching", &PlanSearch::isSearchingChanged, [&] { m.search().setSearching(true); }, [&] { m.search().setSearching(true); }},
        {"searchText", &PlanSearch::searchTextChanged, [&] { m.search().setSearchText("milk"); }, [&] { m.search().setSearchText("milk"); }},
        {"emptyBannerSpent", &AppModel::emptyBannerSpentChanged, [&] { m.setEmptyBannerSpent(true); },
         [&] { m.setEmptyBannerSpent(true); }},
        {"listToDelete", &PlannerLists::listToDeleteChanged, [&] { m.lists().setListToDelete(1); }, [&] { m.lists().setListToDelete(1); }},
        {"deletingAllLists", &PlannerLists::deletingAllListsChanged, [&] { m.lists().setDeletingAllLists(true); },
         [&] { m.lists().setDeletingAllLists(true); }},
        {"dragging", &BoardDrag::draggingChanged, [&] { m.drag().setDragging({a}); }, [&] { m.drag().setDragging({a}); }},
        {"draggingExternal", &BoardDrag::draggingExternalChanged, [&] { m.drag().setDraggingExternal(other); },
         [&] { m.drag().setDraggingExternal(other); }},
        {"selectedExternal", &OtherApps::selectedExternalChanged, [&] { m.otherApps().setSelectedExternal("T1"); },
         [&] { m.otherApps().setSelectedExternal("T1"); }},
        {"mode", &AppModel::modeChanged, [&] { m.setMode(Mode::Month); }, [&] { m.setMode(Mode::Month); }},
        {"firstWeekdaySetting", &PlannerSettings::firstWeekdaySettingChanged, [&] { m.settings().setFirstWeekdaySetting(3); },
         [&] { m.settings().setFirstWeekdaySetting(3); }},
        {"splitWeekend", &PlannerSettings::splitWeekendChanged, [&] { m.settings().setSplitWeekend(false); },
         [&] { m.settings().setSplitWeekend(false); }},
        {"showCalendar", &PlannerSettings::showCalendarChanged, [&] { m.settings().setShowCalendar(true); },
         [&] { m.settings().setShowCalendar(true); }},
        {"showLists", &PlannerSettings::showListsChanged, [&] { m.settings().setShowLists(false); }, [&] { m.settings().setShowLists(false); }},
        {"floats", &PlannerSettings::floatsChanged, [&] { m.settings().setFloats(false); }, [&] { m.settings().setFloats(false); }},
        {"toast", &AppModel::toastChanged, [&] { m.showToast(QStringLiteral("hi")); }, [&] { m.showToast(QStringLiteral("hi")); }},
        {"planner", &AppModel::plannerChanged,
         [&] { m.commit([&](Planner& p) { p.add(QStringLiteral("buy milk"), friday); }); },
         [&] { m.commit([](Planner& p) { p.add(QStringLiteral("   "), Place::inList(0)); }); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignalCount count(m, c.signal);
        c.setDifferent();
        EXPECT_EQ(count(), 1);
        c.setSame();
        EXPECT_EQ(count(), 1);
    }
}

TEST(AppModelSettings, ModeReactsToAChangeOnly)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.settings().setShowCalendar(true);
    const QUuid a = QUuid::createUuid();
    const auto select = [&] {
        m.selection().setIDs({a});
        m.selection().setAnchor(a);
        m.otherApps().setSelectedExternal("T1");
        m.setEditing(Editing::thing(a));
    };
    select();
    const qsizetype reads = h.calendar.reads.size();
    m.setMode(Mode::Week);
    EXPECT_EQ(h.calendar.reads.size(), reads);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{a});

    m.setMode(Mode::Notes);
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);
    EXPECT_EQ(m.editing(), std::nullopt);

    // Back on a board: what it shows is loaded and read again; the selection is not touched.
    select();
    m.setMode(Mode::Month);
    EXPECT_EQ(h.calendar.reads.size(), reads + 1);
    EXPECT_EQ(h.calendar.reads.last().days.size(), 42);  // March 2026: Monday 23 February to Sunday 5 April
    EXPECT_TRUE(m.store().loadedMonths().contains(MonthKey{2026, 3}));
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{a});
}

TEST(AppModelSettings, HidingTheListsDropsListThingsFromTheSelectionAndEndsListEdits)
{
    ModelHarness h;
    h.put("eventually.md", "# eventually\n\n## eventually\n- [ ] fix the bike light\n\n## to read\n- [ ] dune\n");
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), Place::onDay(Day{2026, 3, 4})); });
    const QUuid bike = idOf(m.planner(), "fix the bike light");
    const QUuid dune = idOf(m.planner(), "dune");
    const QUuid milk = idOf(m.planner(), "buy milk");

    struct Case {
        const char* name;
        std::optional<QUuid> anchor;
        std::optional<Editing> editing;
        std::optional<QUuid> anchorAfter;
        std::optional<Editing> editingAfter;
    };
    const QList<Case> cases{
        {"a list's name being edited", bike, Editing::listName(1), std::nullopt, std::nullopt},
        {"a new thing typed into a list", milk, Editing::newThing(Place::inList(0)), milk, std::nullopt},
        {"a new thing typed into a day", dune, Editing::newThing(Place::onDay(Day{2026, 3, 4})), std::nullopt,
         Editing::newThing(Place::onDay(Day{2026, 3, 4}))},
        {"a day's thing being renamed", milk, Editing::thing(milk), milk, Editing::thing(milk)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.settings().setShowLists(true);
        m.selection().setIDs({bike, dune, milk});
        m.selection().setAnchor(c.anchor);
        m.setEditing(c.editing);
        m.settings().setShowLists(false);
        EXPECT_EQ(m.selection().ids(), QSet<QUuid>{milk});
        EXPECT_EQ(m.selection().anchor(), c.anchorAfter);
        EXPECT_EQ(m.editing(), c.editingAfter);
    }

    // Already hidden, it still drops them.
    m.selection().setIDs({bike, milk});
    SignalCount lists(m, &PlannerSettings::showListsChanged);
    m.settings().setShowLists(false);
    EXPECT_EQ(lists(), 0);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{milk});
}

TEST(AppModelSettings, TheCalendarSettingReadsOrDropsTheEvents)
{
    ModelHarness h;
    AppModel& m = h.start();
    EXPECT_TRUE(h.calendar.reads.isEmpty()) << "the calendar is off by default and never read";

    m.settings().setShowCalendar(true);
    ASSERT_EQ(h.calendar.reads.size(), 1);
    EXPECT_EQ(h.calendar.reads[0].days, m.weekDays());
    h.calendar.answer(0, {{Day{2026, 3, 4}, {"9:00 standup"}}});
    EXPECT_EQ(m.events().value(Day{2026, 3, 4}), QStringList{"9:00 standup"});

    // On again: read again. Off: gone at once, with no read.
    m.settings().setShowCalendar(true);
    EXPECT_EQ(h.calendar.reads.size(), 2);
    m.settings().setShowCalendar(false);
    EXPECT_TRUE(m.events().isEmpty());
    m.settings().setShowCalendar(false);
    EXPECT_EQ(h.calendar.reads.size(), 2);
}

TEST(AppModelSettings, OnlyTheNewestCalendarReadCounts)
{
    ModelHarness h;
    h.settings().setValue("showCalendar", "true");
    AppModel& m = h.start();
    const qsizetype first = h.calendar.reads.size() - 1;
    m.go(1);
    const qsizetype second = h.calendar.reads.size() - 1;
    ASSERT_GT(second, first);

    // The newer read comes back first; the older one, arriving late, is dropped.
    h.calendar.answer(second, {{Day{2026, 3, 10}, {"next week"}}});
    h.calendar.answer(first, {{Day{2026, 3, 4}, {"this week"}}});
    EXPECT_EQ(m.events(), (EventLines{{Day{2026, 3, 10}, {"next week"}}}));

    // Turning the calendar off outruns a read that is still under way.
    m.go(1);
    const qsizetype third = h.calendar.reads.size() - 1;
    m.settings().setShowCalendar(false);
    h.calendar.answer(third, {{Day{2026, 3, 17}, {"late"}}});
    EXPECT_TRUE(m.events().isEmpty());

    // A model that is gone takes no result.
    m.settings().setShowCalendar(true);
    const qsizetype last = h.calendar.reads.size() - 1;
    h.stop();
    h.calendar.answer(last, {{Day{2026, 3, 17}, {"late"}}});
}

TEST(AppModelSettings, FloatingReachesThePanelOnlyOnceThereIsOne)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.settings().setFloats(false);
    EXPECT_TRUE(h.panel->floated.isEmpty());

    m.focus().showPanel(m, m.settings().floats());
    m.settings().setFloats(false);
    m.settings().setFloats(true);
    EXPECT_EQ(h.panel->floated, (QList<bool>{false, false, true}));
}

TEST(AppModelSettings, TheFirstWeekdayChoosesTheWeekAndLoadsBothMondayWeeks)
{
    ModelHarness h;
    // A rule every day, and a week well outside the start-up window.
    h.put("repeats.md", "# repeats\n\n- stretch {daily} {since:2026-01-01} {id:a1b2c3}\n");
    AppModel& m = h.start();
    m.go(4);  // the week of Wednesday 1 April
    ASSERT_EQ(m.weekDays().first(), (Day{2026, 3, 30}));

    m.settings().setFirstWeekdaySetting(1);  // Sunday
    EXPECT_EQ(m.weekDays().first(), (Day{2026, 3, 29}));
    EXPECT_TRUE(m.store().loadedWeeks().contains(Day{2026, 3, 23}));
    EXPECT_TRUE(m.store().loadedWeeks().contains(Day{2026, 3, 30}));
    for (const Day day : m.weekDays())
        EXPECT_EQ(titlesOn(m, Place::onDay(day)), QStringList{"stretch"}) << day.iso().toStdString();
    EXPECT_TRUE(h.files().contains("2026-W13.md"));
    EXPECT_TRUE(h.files().contains("2026-W14.md"));

    // 0 is the locale's, which the harness pins to Monday.
    m.settings().setFirstWeekdaySetting(0);
    EXPECT_EQ(m.weekDays().first(), (Day{2026, 3, 30}));
}

TEST(AppModelSettings, ModesAreKnownByTheirRawValuesOnly)
{
    for (const Mode mode : {Mode::Week, Mode::Month, Mode::Notes})
        EXPECT_EQ(modeFromRawValue(modeRawValue(mode)), mode);
    EXPECT_EQ(modeRawValue(Mode::Notes), "notes");
    for (const char* other : {"", "Week", "week ", "board", "notes\n"})
        EXPECT_EQ(modeFromRawValue(QString::fromLatin1(other)), std::nullopt) << other;
}
