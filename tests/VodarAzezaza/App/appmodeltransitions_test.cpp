// A view redraws on the first change signal it hears, so every signal must find the
// model whole: the selection and the open popover name things of the plan, and what the
// board shows is loaded. And an operation tells each property it changed once.
#include "appmodel.h"
#include "boardselection.h"
#include "plansearch.h"
#include "modelharness.h"

#include <QMetaMethod>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace std::chrono_literals;

namespace {

const Day monday{2026, 3, 2};
const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

// Hears every change signal of the model and its parts, counts them by name and runs
// `check` at each. Each property's change signal takes no arguments; `missed` counts the
// signals that do, which it cannot hear.
class ChangeProbe : public QObject {
    Q_OBJECT
public:
    ChangeProbe(AppModel& model, std::function<void(const QByteArray& signal)> check)
        : check_(std::move(check))
    {
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("changed()"));
        for (QObject* object : modelObjects(model)) {
            const QMetaObject& meta = *object->metaObject();
            for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
                const QMetaMethod signal = meta.method(i);
                if (signal.methodType() != QMetaMethod::Signal)
                    continue;
                if (signal.parameterCount() == 0)
                    connect(object, signal, this, slot);
                else
                    ++missed_;
            }
        }
    }

    int missed() const { return missed_; }
    QMap<QByteArray, int> heard;

public slots:
    void changed()
    {
        const QByteArray name = sender()->metaObject()->method(senderSignalIndex()).name();
        ++heard[name];
        check_(name);
    }

private:
    std::function<void(const QByteArray&)> check_;
    int missed_ = 0;
};

QList<Day> visibleDays(const AppModel& m)
{
    if (m.mode() != Mode::Month)
        return m.weekDays();
    QList<Day> days;
    for (const QList<Day>& week : m.monthWeeks())
        days.append(week);
    return days;
}

// What every signal must find.
void expectWhole(const AppModel& m, const QByteArray& signal)
{
    SCOPED_TRACE(signal.toStdString());
    const auto gone = [&](const QUuid& id) { return !m.planner().locate(id); };
    EXPECT_TRUE(std::none_of(m.selection().ids().cbegin(), m.selection().ids().cend(), gone)) << "a selected thing is gone";
    EXPECT_FALSE(m.opened() && gone(*m.opened())) << "the open thing is gone";

    QList<Day> days = visibleDays(m);
    if (const auto focused = m.focusPlace().day(); m.focusMode().isFocusMode() && focused)
        days.append(*focused);
    QStringList unloaded;
    for (const Day day : days) {
        if (!m.store().loadedWeeks().contains(day.monday()))
            unloaded.append(day.iso());
    }
    EXPECT_TRUE(unloaded.isEmpty()) << "not loaded: " << unloaded.join(u' ').toStdString();
    EXPECT_TRUE(m.store().loadedMonths().contains(m.anchor().monthKey())) << "the anchor's month is not loaded";
}

QStringList names(const QMap<QByteArray, int>& heard)
{
    QStringList out;
    for (auto it = heard.cbegin(); it != heard.cend(); ++it)
        out.append(QString::fromLatin1(it.key()));
    return out;
}

class AppModelTransitions : public ::testing::Test {
public:
    AppModelTransitions() { h.syncDelay = 10ms; }

    // A model on this week's things as they were first written.
    AppModel& start()
    {
        h.put(thisWeek, weekFile(monday, {{wednesday, {"- [ ] buy milk", "- [ ] call mum", "- [ ] water the plants"}},
                                          {thursday, {"- [ ] pay rent"}}}));
        return h.start();
    }

    QUuid id(const QString& title) { return idOf(h.model().planner(), title); }
    // Selects the thing and opens its popover.
    void selectAndOpen(const QString& title)
    {
        h.model().selection().select(id(title));
        h.model().setOpened(id(title));
    }

    ModelHarness h;
};

} // namespace

TEST_F(AppModelTransitions, EverySignalFindsTheModelWholeAndEachPropertyIsToldOnce)
{
    struct Case {
        const char* name;
        std::function<void(AppModelTransitions&, AppModel&)> before;
        std::function<void(AppModel&)> run;
        QStringList told;       // among the signals heard
        int calendarReads = -1;  // -1: not counted
    };
    const QList<Case> cases{
        {"delete",
         [](AppModelTransitions& t, AppModel&) { t.selectAndOpen("call mum"); },
         [](AppModel& m) { m.deleteSelection(false); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged", "openedChanged", "toastChanged"}},
        {"undo",
         [](AppModelTransitions&, AppModel& m) {
             const auto added = m.add("pick up the parcel", today);
             m.selection().select(added);
             m.setOpened(added);
         },
         [](AppModel& m) { m.undo(); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged", "openedChanged"}},
        {"redo",
         [](AppModelTransitions& t, AppModel& m) {
             m.deleteThing(t.id("pay rent"), true);
             m.undo();
             t.selectAndOpen("pay rent");
         },
         [](AppModel& m) { m.redo(); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged", "openedChanged"}},
        {"go",
         [](AppModelTransitions& t, AppModel& m) {
             m.settings().setShowCalendar(true);
             t.selectAndOpen("buy milk");
         },
         [](AppModel& m) { m.go(3); },
         {"anchorChanged", "selectionChanged", "selectionAnchorChanged", "emptyBannerSpentChanged"},
         1},
        {"show in another mode",
         [](AppModelTransitions&, AppModel& m) { m.settings().setShowCalendar(true); },
         [](AppModel& m) { m.showDay(Day{2026, 5, 20}, Mode::Month); },
         {"anchorChanged", "modeChanged", "emptyBannerSpentChanged"},
         1},
        {"first weekday",
         [](AppModelTransitions&, AppModel& m) {
             m.go(8);
             m.settings().setShowCalendar(true);
         },
         [](AppModel& m) { m.settings().setFirstWeekdaySetting(1); },
         {"firstWeekdaySettingChanged"},
         1},
        {"enter focus mode",
         [](AppModelTransitions& t, AppModel& m) {
             t.selectAndOpen("buy milk");
             m.setZoomed(today);
             m.search().setSearching(true);
             m.focusMode().setFocusSource(FocusSource::tomorrow());
             t.selectAndOpen("call mum");
             m.setEditing(Editing::thing(t.id("call mum")));
         },
         [](AppModel& m) { m.focusMode().enterFocusMode(); },
         {"selectionChanged", "selectionAnchorChanged", "editingChanged", "openedChanged", "zoomedChanged",
          "isSearchingChanged", "isFocusModeChanged"}},
        {"leave focus mode",
         [](AppModelTransitions& t, AppModel& m) {
             m.focusMode().enterFocusMode();
             m.setEditing(Editing::newThing(today));
             m.setOpened(t.id("buy milk"));
         },
         [](AppModel& m) { m.focusMode().exitFocusMode(); },
         {"editingChanged", "openedChanged", "isFocusModeChanged"}},
        {"start a new thing",
         [](AppModelTransitions& t, AppModel&) { t.selectAndOpen("buy milk"); },
         [](AppModel& m) { m.startNewThing(today); },
         {"selectionChanged", "selectionAnchorChanged", "editingChanged"}},
        {"a re-read",
         [](AppModelTransitions& t, AppModel&) {
             t.selectAndOpen("call mum");
             t.h.put(thisWeek, weekFile(monday, {{wednesday, {"- [ ] buy oat milk", "- [ ] call mum"}}}));
         },
         [](AppModel& m) { m.refresh(QDateTime(wednesday.date(), QTime(11, 0), QTimeZone::utc())); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged", "openedChanged"}},
        {"a family refresh",
         [](AppModelTransitions& t, AppModel& m) {
             ASSERT_TRUE(waitForSync(m));
             t.selectAndOpen("water the plants");
             const auto thing = m.planner().thing(t.id("water the plants"));
             ASSERT_TRUE(thing && thing->syncID);
             ASSERT_TRUE(t.h.family().markDeleted(*thing->syncID, QStringLiteral("todo")));
         },
         [](AppModel& m) { m.refreshFromFamily(); },
         {"plannerChanged", "selectionChanged", "openedChanged", "toastChanged"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppModel& m = start();
        c.before(*this, m);
        if (::testing::Test::HasFatalFailure())
            return;
        const qsizetype reads = h.calendar.reads.size();

        ChangeProbe probe(m, [&](const QByteArray& signal) { expectWhole(m, signal); });
        ASSERT_EQ(probe.missed(), 0) << "every change signal is heard";
        c.run(m);

        for (auto it = probe.heard.cbegin(); it != probe.heard.cend(); ++it)
            EXPECT_EQ(it.value(), 1) << it.key().toStdString() << " is told more than once";
        for (const QString& signal : c.told)
            EXPECT_TRUE(probe.heard.contains(signal.toLatin1())) << signal.toStdString() << " is not told; heard "
                                                                 << names(probe.heard).join(u' ').toStdString();
        if (c.calendarReads >= 0) {
            EXPECT_EQ(h.calendar.reads.size() - reads, c.calendarReads) << "the calendar is read once";
        }
        h.stop();
    }
}

TEST_F(AppModelTransitions, AnOperationUnchangedInTheEndTellsNothing)
{
    AppModel& m = start();
    m.selection().select(id("buy milk"));
    ChangeProbe probe(m, [](const QByteArray&) {});
    // Selects another thing on the way and comes back: nothing to tell.
    m.selection().click(id("buy milk"), false, false);
    KeyPress down;
    down.key = Qt::Key_Down;
    KeyPress up;
    up.key = Qt::Key_Up;
    m.handleKey(down, false);
    m.handleKey(up, false);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{id("buy milk")});
    EXPECT_EQ(probe.heard, (QMap<QByteArray, int>{{"selectionChanged", 2}, {"selectionAnchorChanged", 2}}))
        << "the two arrow keys, once each";
}

TEST_F(AppModelTransitions, AnOperationRunFromASignalSeesTheModelWholeAndTellsWhatItChanged)
{
    AppModel& m = start();
    // A view that puts the selection back on today's first thing whenever the plan
    // changes under an empty selection: an operation called from a change signal.
    int selected = 0;
    QObject view;
    QObject::connect(&m, &AppModel::plannerChanged, &view, [&] {
        const QList<Thing> things = m.planner().things(today);
        if (m.selection().ids().isEmpty() && !things.isEmpty()) {
            ++selected;
            m.selection().select(things.first().id);
        }
    });
    m.selection().select(id("pay rent"));
    ChangeProbe probe(m, [&](const QByteArray& signal) { expectWhole(m, signal); });

    m.deleteSelection(true);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{id("buy milk")});
    // The deletion emptied the selection and the view's selection filled it again: each
    // transition told its own change, the plan's once.
    EXPECT_EQ(probe.heard.value("plannerChanged"), 1);
    EXPECT_EQ(probe.heard.value("selectionChanged"), 2);
    EXPECT_EQ(probe.heard.value("selectionAnchorChanged"), 2);
}

TEST_F(AppModelTransitions, EachGestureIsOneTransitionToldOnceInTheOrderOfItsSignals)
{
    struct Case {
        const char* name;
        std::function<void(AppModelTransitions&, AppModel&)> before;
        std::function<void(AppModelTransitions&, AppModel&)> run;
        QStringList told;  // exactly the signals heard
        std::function<void(AppModelTransitions&, AppModel&)> check;
    };
    const auto nothing = [](AppModelTransitions&, AppModel&) {};
    const QList<Case> cases{
        {"open a detail while renaming another",
         [](AppModelTransitions& t, AppModel& m) { m.setEditing(Editing::thing(t.id("pay rent"))); },
         [](AppModelTransitions& t, AppModel& m) { m.openDetail(t.id("call mum")); },
         {"selectionChanged", "selectionAnchorChanged", "editingChanged", "openedChanged"},
         [](AppModelTransitions& t, AppModel& m) {
             EXPECT_EQ(m.opened(), t.id("call mum"));
             EXPECT_EQ(m.selection().ids(), QSet<QUuid>{t.id("call mum")});
             EXPECT_EQ(m.editing(), std::nullopt);
         }},
        {"open a note from focus mode",
         [](AppModelTransitions& t, AppModel& m) {
             m.focusMode().enterFocusMode();
             m.setOpened(t.id("buy milk"));
         },
         [](AppModelTransitions& t, AppModel& m) { m.openNote(t.id("buy milk")); },
         {"openedChanged", "editingNoteChanged", "isFocusModeChanged"},
         [](AppModelTransitions& t, AppModel& m) {
             EXPECT_FALSE(m.focusMode().isFocusMode());
             EXPECT_EQ(m.editingNote(), t.id("buy milk"));
             EXPECT_EQ(t.h.panel->hidden, 1);
         }},
        {"finish a rename",
         [](AppModelTransitions& t, AppModel& m) { m.setEditing(Editing::thing(t.id("call mum"))); },
         [](AppModelTransitions& t, AppModel& m) { m.finishRename(t.id("call mum"), " call dad "); },
         {"plannerChanged", "editingChanged"},
         [](AppModelTransitions&, AppModel& m) {
             EXPECT_EQ(m.planner().things(today)[1].title, "call dad");
             EXPECT_EQ(m.editing(), std::nullopt);
         }},
        {"a rename finished after the edit moved on keeps the new edit",
         [](AppModelTransitions& t, AppModel& m) { m.setEditing(Editing::thing(t.id("pay rent"))); },
         [](AppModelTransitions& t, AppModel& m) { m.finishRename(t.id("call mum"), "call dad"); },
         {"plannerChanged"},
         [](AppModelTransitions& t, AppModel& m) { EXPECT_EQ(m.editing(), Editing::thing(t.id("pay rent"))); }},
        {"finish a rename to nothing",
         [](AppModelTransitions& t, AppModel& m) {
             m.selection().select(t.id("call mum"));
             m.setEditing(Editing::thing(t.id("call mum")));
         },
         [](AppModelTransitions& t, AppModel& m) { m.finishRename(t.id("call mum"), "  "); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged", "editingChanged"},
         [](AppModelTransitions&, AppModel& m) {
             EXPECT_EQ(m.planner().things(today).size(), 2);
             EXPECT_EQ(m.toast(), std::nullopt) << "quietly";
         }},
        {"commit a new line and go on",
         [](AppModelTransitions&, AppModel& m) { m.startNewThing(today); },
         [](AppModelTransitions&, AppModel& m) { EXPECT_TRUE(m.commitNewLine(today, "feed the cat", true)); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged"},
         [](AppModelTransitions&, AppModel& m) { EXPECT_EQ(m.editing(), Editing::newThing(today)); }},
        {"commit a new line and stop",
         [](AppModelTransitions&, AppModel& m) { m.startNewThing(today); },
         [](AppModelTransitions&, AppModel& m) { EXPECT_FALSE(m.commitNewLine(today, "feed the cat", false)); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged", "editingChanged"},
         [](AppModelTransitions&, AppModel& m) { EXPECT_EQ(m.planner().things(today).last().title, "feed the cat"); }},
        {"an empty new line closes",
         [](AppModelTransitions&, AppModel& m) { m.startNewThing(today); },
         [](AppModelTransitions&, AppModel& m) { EXPECT_FALSE(m.commitNewLine(today, "", true)); },
         {"editingChanged"},
         nothing},
        {"cut from a row's menu",
         [](AppModelTransitions& t, AppModel& m) { m.selection().select(t.id("pay rent")); },
         [](AppModelTransitions& t, AppModel& m) { m.cutFromMenu(t.id("call mum")); },
         {"plannerChanged", "selectionChanged", "selectionAnchorChanged"},
         [](AppModelTransitions& t, AppModel& m) {
             EXPECT_EQ(t.h.clipboard->writes, 1);
             EXPECT_EQ(m.planner().things(today).size(), 2);
             EXPECT_EQ(m.toast(), std::nullopt) << "quietly";
         }},
        {"cut with nothing selected",
         nothing,
         [](AppModelTransitions&, AppModel& m) { m.cutSelection(); },
         {},
         [](AppModelTransitions& t, AppModel&) { EXPECT_EQ(t.h.clipboard->writes, 0); }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppModel& m = start();
        c.before(*this, m);
        QList<QByteArray> heard;
        ChangeProbe probe(m, [&](const QByteArray& signal) {
            expectWhole(m, signal);
            heard.append(signal);
        });
        QList<ModelChanges> ended;
        QObject view;
        QObject::connect(&m.transitions(), &ModelTransitions::ended, &view, [&](const ModelChanges& changes) {
            EXPECT_TRUE(heard.isEmpty()) << "told before the properties";
            ended.append(changes);
        });
        h.clipboard->writes = 0;
        c.run(*this, m);

        QStringList told;
        for (const QByteArray& signal : heard)
            told.append(QString::fromLatin1(signal));
        EXPECT_EQ(told, c.told);
        if (c.told.isEmpty()) {
            EXPECT_TRUE(ended.isEmpty()) << "an operation that changes nothing tells nothing";
        } else {
            ASSERT_EQ(ended.size(), 1) << "one transition";
            QStringList named;
            for (const ModelChanges::Signal& signal : ended.first().changed())
                named.append(QString::fromLatin1(signal.name()));
            EXPECT_EQ(named, c.told) << "the notice names what changed, in order";
        }
        c.check(*this, m);
        h.stop();
    }
}

#include "appmodeltransitions_test.moc"
