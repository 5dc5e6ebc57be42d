#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"

#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

QDateTime at(Day day, int hour, int minute, const QTimeZone& zone = QTimeZone::utc())
{
    return QDateTime(day.date(), QTime(hour, minute), zone);
}

// Things with these done flags on the day.
void fill(AppModel& m, Day day, int open, int done)
{
    m.commit([&](Planner& p) {
        for (int i = 0; i < open + done; ++i) {
            const auto id = p.add(QStringLiteral("%1 %2").arg(day.iso()).arg(i), Place::onDay(day));
            if (i >= open)
                p.toggle(*id);
        }
    });
}

} // namespace

TEST(AppModelNavigation, TheWeekAndItsTitle)
{
    struct Case {
        Day anchor;
        int firstWeekday;
        Day first;
        QString title;
        QString subtitle;
    };
    const QList<Case> cases{
        {wednesday, 2, Day{2026, 3, 2}, "mar 2-8", "Week 10 · nothing planned."},
        {Day{2026, 4, 2}, 2, Day{2026, 3, 30}, "mar 30-apr 5", "Week 14 · nothing planned."},
        {wednesday, 1, Day{2026, 3, 1}, "mar 1-7", "Week 10 · nothing planned."},
        {wednesday, 7, Day{2026, 2, 28}, "feb 28-mar 6", "Week 10 · nothing planned."},
        {Day{2026, 12, 31}, 2, Day{2026, 12, 28}, "dec 28-jan 3", "Week 53 · nothing planned."},
        // 0 is the locale's, pinned to Sunday here.
        {wednesday, 0, Day{2026, 3, 1}, "mar 1-7", "Week 10 · nothing planned."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        ModelHarness h;
        h.localeFirstWeekday = 1;
        AppModel& m = h.start();
        m.settings().setFirstWeekdaySetting(c.firstWeekday);
        m.showDay(c.anchor, Mode::Week);
        const QList<Day> days = m.weekDays();
        ASSERT_EQ(days.size(), 7);
        EXPECT_EQ(days.first(), c.first);
        for (int i = 1; i < 7; ++i)
            EXPECT_EQ(days[i], days[i - 1].adding(1));
        EXPECT_EQ(m.title(), c.title);
        EXPECT_EQ(m.subtitle(), c.subtitle);
    }
}

TEST(AppModelNavigation, TheMonthGrid)
{
    struct Case {
        Day anchor;
        int firstWeekday;
        Day first;
        int weeks;
        QString title;
    };
    const QList<Case> cases{
        {Day{2027, 2, 14}, 2, Day{2027, 2, 1}, 4, "february"},  // 28 days from a Monday
        {Day{2026, 3, 31}, 2, Day{2026, 2, 23}, 6, "march"},    // 31 days from a Sunday
        {Day{2026, 3, 1}, 1, Day{2026, 3, 1}, 5, "march"},
        {Day{2026, 2, 10}, 1, Day{2026, 2, 1}, 4, "february"},
        {Day{2026, 5, 20}, 7, Day{2026, 4, 25}, 6, "may"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.anchor.iso().toStdString());
        ModelHarness h;
        AppModel& m = h.start();
        m.settings().setFirstWeekdaySetting(c.firstWeekday);
        m.showDay(c.anchor, Mode::Month);
        const QList<QList<Day>> weeks = m.monthWeeks();
        ASSERT_EQ(weeks.size(), c.weeks);
        EXPECT_EQ(weeks.first().first(), c.first);
        Day expected = c.first;
        for (const QList<Day>& week : weeks) {
            for (const Day day : week) {
                EXPECT_EQ(day, expected);
                expected = expected.adding(1);
            }
        }
        const Day last = c.anchor.monthKey().adding(1).first().adding(-1);
        EXPECT_FALSE(last < weeks.last().first());
        EXPECT_LT(last, weeks.last().last().adding(1));
        EXPECT_EQ(m.title(), c.title);
    }
}

TEST(AppModelNavigation, SaturdayAndSundayShareAColumnOnlyAtTheEndOfTheWeek)
{
    struct Case {
        const char* name;
        bool split;
        int firstWeekday;
        QSet<int> weekend;
        bool shares;
    };
    const QList<Case> cases{
        {"Monday first", true, 2, {1, 7}, true},
        {"split off", false, 2, {1, 7}, false},
        {"Sunday first: Friday and Saturday last", true, 1, {1, 7}, false},
        {"a Friday and Saturday weekend, Sunday first", true, 1, {6, 7}, true},
        {"a Friday and Saturday weekend, Monday first", true, 2, {6, 7}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.weekend = c.weekend;
        AppModel& m = h.start();
        m.settings().setSplitWeekend(c.split);
        m.settings().setFirstWeekdaySetting(c.firstWeekday);
        EXPECT_EQ(m.weekendShares(), c.shares);
    }
}

TEST(AppModelNavigation, SubtitlesCountTheVisibleDaysOnly)
{
    ModelHarness h;
    AppModel& m = h.start();
    fill(m, Day{2026, 3, 2}, 2, 1);
    fill(m, Day{2026, 3, 8}, 2, 2);
    fill(m, Day{2026, 3, 9}, 5, 0);   // next week, same month
    fill(m, Day{2026, 2, 27}, 3, 0);  // last month, in the month grid
    m.commit([](Planner& p) { p.add(QStringLiteral("someday"), Place::inList(0)); });
    m.commit([](Planner& p) { p.add(QStringLiteral("roughly"), Place::inMonth(MonthKey{2026, 3})); });
    EXPECT_EQ(m.subtitle(), "Week 10 · 4 left. 3 done-ish.");

    m.setMode(Mode::Month);
    EXPECT_EQ(m.subtitle(), "2026 · 12 things. 3 done-ish.");

    m.setMode(Mode::Week);
    m.commit([](Planner& p) {
        for (const Thing& t : p.things(Place::onDay(Day{2026, 3, 2})))
            if (!t.done)
                p.toggle(t.id);
        for (const Thing& t : p.things(Place::onDay(Day{2026, 3, 8})))
            if (!t.done)
                p.toggle(t.id);
    });
    EXPECT_EQ(m.subtitle(), "Week 10 · 0 left. 7 done-ish.");
    EXPECT_EQ(m.title(), "mar 2-8");
}

TEST(AppModelNavigation, TheFootnoteSaysTheFirstThingThatApplies)
{
    ModelHarness h;
    AppModel& m = h.start();
    EXPECT_EQ(m.footnote(), "6 a day is plenty. The rest can wait.");
    fill(m, Day{2026, 3, 5}, 6, 3);
    EXPECT_EQ(m.footnote(), "6 a day is plenty. The rest can wait.") << "exactly six open is fine";
    fill(m, Day{2026, 3, 7}, 9, 0);
    EXPECT_EQ(m.footnote(), "that's 9 on sat. bold.");
    fill(m, Day{2026, 3, 3}, 7, 0);
    EXPECT_EQ(m.footnote(), "that's 7 on tue. bold.") << "the first such day of the week";

    m.setMode(Mode::Month);
    EXPECT_EQ(m.footnote(), "One square per thing. Dark means done.");
    EXPECT_EQ(m.footnote(true), "One square per thing. Light means done.") << "the dark appearance draws them light";
    m.setMode(Mode::Notes);
    EXPECT_EQ(m.footnote(), "The same notes as Pemby Notes. Edit them in either.");
}

TEST(AppModelNavigation, ErrorsComeFirstInTheFootnote)
{
    ModelHarness h;
    h.breakFamilyStore();
    AppModel& m = h.start();
    const QString off = "sync is off: " + *h.family().openError();
    for (const Mode mode : {Mode::Week, Mode::Month, Mode::Notes}) {
        m.setMode(mode);
        EXPECT_EQ(m.footnote(), off);
    }

    // A save error hides everything else until a save succeeds.
    const QString blocker = h.folder() + "/2026-W11.md";
    QDir().mkpath(blocker);  // a folder where the week file should be: it can't be read
    m.setMode(Mode::Week);
    m.commit([](Planner& p) { p.add(QStringLiteral("next week"), Place::onDay(Day{2026, 3, 10})); });
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.footnote().startsWith("Couldn't save to Pemby Planner: 2026-W11.md can't be read"))
        << m.footnote().toStdString();
    ASSERT_TRUE(QDir(blocker).removeRecursively());
    m.commit([](Planner& p) { p.add(QStringLiteral("and then"), Place::onDay(Day{2026, 3, 10})); });
    EXPECT_EQ(m.footnote(), off);
}

TEST(AppModelNavigation, GoingMovesTheAnchorAndClearsTheSelection)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    const QUuid milk = idOf(m.planner(), "buy milk");
    const auto select = [&] {
        m.selection().setIDs({milk});
        m.selection().setAnchor(milk);
        m.otherApps().setSelectedExternal(QStringLiteral("T1"));
    };

    select();
    EXPECT_FALSE(m.emptyBannerSpent());
    m.go(-1);
    EXPECT_EQ(m.anchor(), (Day{2026, 2, 25}));
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.selection().anchor(), std::nullopt);
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);
    EXPECT_TRUE(m.emptyBannerSpent());

    select();
    m.goToday();
    EXPECT_EQ(m.anchor(), wednesday);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{milk});

    m.showDay(Day{2026, 3, 17}, Mode::Month);
    EXPECT_EQ(m.mode(), Mode::Month);
    m.go(-1);
    EXPECT_EQ(m.anchor(), (Day{2026, 2, 1}));
    m.go(13);
    EXPECT_EQ(m.anchor(), (Day{2027, 3, 1}));
    EXPECT_TRUE(m.store().loadedMonths().contains(MonthKey{2027, 3}));
    EXPECT_TRUE(m.store().loadedWeeks().contains(Day{2027, 3, 29}));

    m.showDay(Day{2026, 6, 10}, Mode::Week);
    EXPECT_EQ(m.mode(), Mode::Week);
    EXPECT_EQ(m.weekDays().first(), (Day{2026, 6, 8}));
    EXPECT_TRUE(m.store().loadedWeeks().contains(Day{2026, 6, 8}));
    EXPECT_TRUE(m.store().loadedMonths().contains(MonthKey{2026, 6}));
}

TEST(AppModelNavigation, ANewDayRollsOverAndFollowsTheBoardOnlyWhenItWasOnToday)
{
    struct Case {
        const char* name;
        QTimeZone zone;
        QDateTime now;
        int weeksAway;  // where the board is
        Day today;
        Day anchor;
        QStringList onNewDay;
        std::optional<QString> toast;
    };
    const QTimeZone berlin("Europe/Berlin");
    const Day thursday{2026, 3, 5};
    const QList<Case> cases{
        {"a minute past midnight", QTimeZone::utc(), at(thursday, 0, 1), 0, thursday, thursday,
         {"buy milk"}, "1 rolled over. we've all been there."},
        {"the board on another week", QTimeZone::utc(), at(thursday, 0, 1), 2, thursday, Day{2026, 3, 18},
         {"buy milk"}, "1 rolled over. we've all been there."},
        {"midnight in the user's zone, not in UTC", berlin, at(wednesday, 23, 30), 0, thursday, thursday,
         {"buy milk"}, "1 rolled over. we've all been there."},
        {"late in the evening in the user's zone", berlin, at(wednesday, 22, 30, berlin), 0, wednesday, wednesday,
         {}, std::nullopt},
        {"twelve days asleep", QTimeZone::utc(), at(Day{2026, 3, 16}, 7, 0), 0, Day{2026, 3, 16}, Day{2026, 3, 16},
         {"already there", "buy milk"}, "1 rolled over. we've all been there."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.zone = c.zone;
        h.put("2026-W12.md", weekFile(Day{2026, 3, 16}, {{Day{2026, 3, 16}, {"- [ ] already there"}}}));
        AppModel& m = h.start();
        m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
        m.go(c.weeksAway);
        h.age();

        m.refresh(c.now);
        EXPECT_EQ(m.today(), c.today);
        EXPECT_EQ(m.anchor(), c.anchor);
        EXPECT_EQ(m.toast(), c.toast);
        if (c.today == wednesday) {
            EXPECT_TRUE(h.fresh().isEmpty());
            continue;
        }
        EXPECT_EQ(titlesOn(m, Place::onDay(c.today)), c.onNewDay);
        EXPECT_TRUE(titlesOn(m, today).isEmpty());
        EXPECT_TRUE(m.store().loadedWeeks().contains(c.today.monday()));
        EXPECT_FALSE(h.fresh().isEmpty());
    }
}

TEST(AppModelNavigation, ADayChangeWithNothingToCarryStillSaves)
{
    ModelHarness h;
    h.syncDelay = std::chrono::milliseconds(1);
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        const auto id = p.add(QStringLiteral("paid the rent"), today);
        p.toggle(*id);
    });
    // Waits for the sync itself: a loaded machine can be late by far more than its delay.
    [&] { QTRY_VERIFY_WITH_TIMEOUT(!m.syncPending(), 5000); }();
    ASSERT_FALSE(m.syncPending());
    m.refresh(at(Day{2026, 3, 5}, 8, 0));
    EXPECT_EQ(m.today(), (Day{2026, 3, 5}));
    EXPECT_EQ(m.toast(), std::nullopt);
    EXPECT_TRUE(m.syncPending());
}

TEST(AppModelNavigation, APinnedTodayStaysButOutsideEditsAreStillRead)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.setPinnedToday(wednesday);
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    m.selection().setIDs({idOf(m.planner(), "buy milk")});

    m.refresh(at(Day{2026, 3, 9}, 9, 0));
    EXPECT_EQ(m.today(), wednesday);
    EXPECT_EQ(titlesOn(m, today), QStringList{"buy milk"});

    QString week = h.text(thisWeek);
    week.replace("- [ ] buy milk", "- [x] buy milk");
    h.put(thisWeek, week);
    m.setOpened(idOf(m.planner(), "buy milk"));
    m.refresh(at(Day{2026, 3, 9}, 9, 1));
    EXPECT_EQ(m.today(), wednesday);
    EXPECT_TRUE(m.planner().things(today).first().done);
    EXPECT_TRUE(m.selection().ids().isEmpty());
    EXPECT_EQ(m.opened(), idOf(m.planner(), "buy milk")) << "the open detail follows the re-read thing";
}

TEST(AppModelNavigation, ARefreshThatFindsNothingChangesNothing)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.commit([](Planner& p) { p.add(QStringLiteral("buy milk"), today); });
    const QUuid milk = idOf(m.planner(), "buy milk");
    m.selection().setIDs({milk});
    h.age();
    SignalCount planner(m, &AppModel::plannerChanged);
    m.refresh(at(wednesday, 18, 0));
    EXPECT_EQ(planner(), 0);
    EXPECT_TRUE(h.fresh().isEmpty());
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{milk});
}

TEST(AppModelNavigation, AnEditADetailAndANoteFollowTheirThingThroughAReRead)
{
    ModelHarness h;
    h.put(thisWeek, weekFile(Day{2026, 3, 2}, {{wednesday, {"- [ ] buy milk", "- [ ] call mum", "- [ ] typed by hand"}}}));
    AppModel& m = h.start();
    // The last line loses its sync id again, as if typed into the file just now.
    QString week = h.text(thisWeek);
    const qsizetype hand = week.indexOf("- [ ] typed by hand");
    week = week.left(hand) + "- [ ] typed by hand\n" + week.mid(week.indexOf('\n', hand) + 1);

    struct Case {
        const char* name;
        QString edited;
        QString outside;  // the week file after the outside edit
        bool follows;
    };
    const QString withLine = QString(week).replace("- [ ] call mum", "- [ ] from the phone\n- [ ] call mum");
    const QString renamedOutside = QString(week).replace("- [ ] buy milk", "- [ ] buy oat milk");
    const QString deletedOutside = QString(week).replace(QRegularExpression("- \\[ \\] call mum[^\\n]*\\n"), "");
    const QList<Case> cases{
        {"by its sync id when a line is added above it", "call mum", withLine, true},
        {"by its sync id when renamed outside", "buy milk", renamedOutside, true},
        {"by where it stood when it has no sync id", "typed by hand", renamedOutside, true},
        {"not at all when deleted outside", "call mum", deletedOutside, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.put(thisWeek, week);
        m.refresh(h.now());
        const Thing before = *m.planner().thing(idOf(m.planner(), c.edited));
        m.setEditing(Editing::thing(before.id));
        m.setOpened(before.id);
        m.setEditingNote(before.id);

        h.put(thisWeek, c.outside);
        m.refresh(h.now());
        ASSERT_FALSE(m.planner().thing(before.id)) << "a re-read gives fresh ids";
        if (!c.follows) {
            EXPECT_EQ(m.editing(), std::nullopt);
            EXPECT_EQ(m.opened(), std::nullopt);
            EXPECT_EQ(m.editingNote(), std::nullopt);
            continue;
        }
        ASSERT_TRUE(m.editing());
        const auto now = m.planner().thing(m.editing()->thingID());
        ASSERT_TRUE(now);
        // A line without a sync id gets a fresh one with every read; it is found again
        // where it stood.
        if (c.edited == QStringLiteral("typed by hand"))
            EXPECT_EQ(now->title, before.title);
        else
            EXPECT_EQ(now->syncID, before.syncID);
        EXPECT_EQ(m.opened(), now->id);
        EXPECT_EQ(m.editingNote(), now->id);
    }
}
