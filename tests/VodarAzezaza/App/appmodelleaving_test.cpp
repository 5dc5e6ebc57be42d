// A thing that leaves the board takes every reference to it along, in the same
// transition that took it away, whichever way it went; the board's keys work right
// after. Only what still shows the thing (a detail that follows it around the board,
// the note sheet of a thing that still exists) stays.
#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const Day wednesday{2026, 3, 4};
const Day sunday{2026, 3, 8};
const Place today = Place::onDay(wednesday);
const QString thisWeek = "2026-W10.md";

KeyPress typed(const QString& text)
{
    KeyPress press;
    press.key = Qt::Key(text.toUpper().at(0).unicode());
    press.text = text;
    return press;
}

struct Way {
    const char* name;
    Day today;
    // Takes the thing called "buy milk" off the board (or out of the plan).
    std::function<void(ModelHarness&, AppModel&, const QUuid&)> take;
    bool gone;        // the thing itself is no more
    bool stillShown;  // it stands in another column of the board
};

QList<Way> ways()
{
    return {
        {"a delete from the row's menu", wednesday,
         [](ModelHarness&, AppModel& m, const QUuid& id) { m.deleteFromMenu(id); }, true, false},
        {"Not This Week", wednesday, [](ModelHarness&, AppModel& m, const QUuid& id) { m.notThisWeek({id}); }, false,
         false},
        {"a delete in the sibling app", wednesday,
         [](ModelHarness& h, AppModel& m, const QUuid& id) {
             m.flushSync();
             ASSERT_TRUE(h.family().markDeleted(*m.planner().thing(id)->syncID, QStringLiteral("todo")));
             m.refreshFromFamily();
         },
         true, false},
        {"an undo of its adding", wednesday, [](ModelHarness&, AppModel& m, const QUuid&) { m.undo(); }, true, false},
        {"a re-read after its line was deleted outside", wednesday,
         [](ModelHarness& h, AppModel& m, const QUuid&) {
             QString week = h.text(thisWeek);
             const qsizetype line = week.indexOf("- [ ] buy milk");
             week.remove(line, week.indexOf('\n', line) + 1 - line);
             h.age();
             h.put(thisWeek, week);
             m.refresh(h.now());
         },
         true, false},
        // Sunday's open thing goes to Monday, the first day of the board's new week.
        {"a roll-over into the next week", sunday,
         [](ModelHarness&, AppModel& m, const QUuid&) {
             m.refresh(QDateTime(QDate(2026, 3, 9), QTime(9, 0), QTimeZone::utc()));
         },
         false, true},
    };
}

} // namespace

TEST(AppModelLeaving, AThingThatLeavesTheBoardTakesEveryReferenceToItAlong)
{
    for (const Way& way : ways()) {
        SCOPED_TRACE(way.name);
        ModelHarness h;
        h.today = way.today;
        AppModel& m = h.start();
        const Place place = Place::onDay(way.today);
        m.add(QStringLiteral("call mum"), place);
        const QUuid milk = *m.add(QStringLiteral("buy milk"), place);
        const QUuid mum = idOf(m.planner(), "call mum");
        m.selection().setIDs({milk, mum});
        m.selection().setAnchor(milk);
        m.setEditing(Editing::thing(milk));
        m.setOpened(milk);
        m.setEditingNote(milk);

        QList<QByteArray> heard;
        const auto listen = [&](auto& object, auto signal, const char* name) {
            return QObject::connect(&object, signal, [&heard, name] { heard << name; });
        };
        const QList<QMetaObject::Connection> connections{
            listen(m, &AppModel::editingChanged, "editing"), listen(m, &AppModel::openedChanged, "opened"),
            listen(m, &AppModel::editingNoteChanged, "note"), listen(m.selection(), &BoardSelection::selectionChanged, "selection")};
        way.take(h, m, milk);
        for (const auto& c : connections)
            QObject::disconnect(c);

        const auto found = m.planner().locate(milk);
        ASSERT_EQ(!found, way.gone);
        EXPECT_EQ(m.editing(), std::nullopt) << "its row is gone, and the field with it";
        EXPECT_EQ(heard.count("editing"), 1) << "ended once";
        if (way.stillShown) {
            EXPECT_EQ(m.opened(), milk) << "the detail follows it to its new column";
            EXPECT_TRUE(m.selection().ids().contains(milk));
            EXPECT_EQ(m.selection().anchor(), milk);
        } else {
            EXPECT_EQ(m.opened(), std::nullopt);
            EXPECT_FALSE(m.selection().ids().contains(milk));
            EXPECT_NE(m.selection().anchor(), milk);
            EXPECT_EQ(heard.count("opened"), 1);
        }
        if (way.gone) {
            EXPECT_EQ(m.editingNote(), std::nullopt);
            EXPECT_EQ(heard.count("note"), 1);
        } else {
            EXPECT_EQ(m.editingNote(), milk) << "its note sheet goes on while the thing exists";
            m.setEditingNote(std::nullopt);
        }
        m.setOpened(std::nullopt);
        EXPECT_TRUE(m.wouldHandleKey(typed("t"), false)) << "the board has its keys back";
    }
}

TEST(AppModelLeaving, ReferencesToThingsThatStayAreLeftAlone)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid milk = *m.add(QStringLiteral("buy milk"), today);
    const QUuid mum = *m.add(QStringLiteral("call mum"), today);
    m.selection().setIDs({milk, mum});
    m.selection().setAnchor(mum);
    m.setEditing(Editing::thing(milk));
    m.setOpened(milk);
    m.setEditingNote(milk);

    // Another thing goes; one moves within its column; the board moves away and back.
    m.deleteThing(mum, true);
    m.commit([&](Planner& p) { p.add(QStringLiteral("water the plants"), today); });
    m.selection().carry(0, 1);
    EXPECT_EQ(m.editing(), Editing::thing(milk));
    EXPECT_EQ(m.opened(), milk);
    EXPECT_EQ(m.editingNote(), milk);

    // A move within the board keeps the detail, which follows it, but not the field.
    m.setDay(milk, Day{2026, 3, 5});
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.opened(), milk);

    // Going to another week leaves the selection (it comes back with the week), not the
    // detail or an edit, whose rows went.
    m.selection().select(milk);
    m.setEditing(Editing::thing(milk));
    m.goToday();
    m.setMode(Mode::Month);
    m.setMode(Mode::Week);
    m.showDay(Day{2026, 4, 1}, Mode::Week);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{milk});
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.opened(), std::nullopt);
    EXPECT_EQ(m.editingNote(), milk);
}

TEST(AppModelLeaving, AnotherAppsThingThatGoesTakesItsEditDetailAndNoteSheetAlong)
{
    ModelHarness h;
    AppModel& m = h.start();
    h.family().upsert(Sibling::row(QStringLiteral("T1"), QStringLiteral("dentist"), wednesday));
    h.family().upsert(Sibling::row(QStringLiteral("T2"), QStringLiteral("pharmacy"), wednesday));
    m.refreshFromFamily();
    ASSERT_TRUE(m.otherApps().externalThing(QStringLiteral("T1")));
    m.editExternal(QStringLiteral("T1"));
    m.setOpenedExternal(QStringLiteral("T1"));
    m.setEditingExternalNote(QStringLiteral("T1"));

    // Another one going changes nothing.
    ASSERT_TRUE(h.family().markDeleted(QStringLiteral("T2"), QStringLiteral("todo")));
    m.refreshFromFamily();
    EXPECT_EQ(m.editing(), Editing::external(QStringLiteral("T1")));
    EXPECT_EQ(m.openedExternal(), QStringLiteral("T1"));

    ASSERT_TRUE(h.family().markDeleted(QStringLiteral("T1"), QStringLiteral("todo")));
    m.refreshFromFamily();
    ASSERT_FALSE(m.otherApps().externalThing(QStringLiteral("T1")));
    EXPECT_EQ(m.editing(), std::nullopt);
    EXPECT_EQ(m.openedExternal(), std::nullopt);
    EXPECT_EQ(m.editingExternalNote(), std::nullopt);
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);
    EXPECT_TRUE(m.wouldHandleKey(typed("t"), false));
}
