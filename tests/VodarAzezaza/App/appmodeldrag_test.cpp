#include "appmodel.h"
#include "boarddrag.h"
#include "boardselection.h"
#include "modelharness.h"
#include "otherapps.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);
const Place tomorrow = Place::onDay(thursday);

// Things of the to-do app for today, each titled by its id.
void putOthers(ModelHarness& h, const QStringList& ids)
{
    for (const QString& id : ids)
        h.family().upsert(Sibling::row(id, id, wednesday));
}

// Today's rows as "title" for own things and "[id@slot]" for other apps' things.
QStringList todayRows(const AppModel& m)
{
    QStringList out;
    for (const TodayRow& row : m.otherApps().rows(m.planner().things(today), m.otherApps().todayFromOthers()))
        out.append(row.isMine() ? row.thing.title : QStringLiteral("[%1@%2]").arg(row.other.id).arg(row.slot));
    return out;
}

PembyThing record(const QString& title, const QString& note = {}, const std::optional<QByteArray>& rtf = {})
{
    PembyThing thing;
    thing.title = title;
    thing.note = note;
    thing.rtf = rtf;
    return thing;
}

QString storedSlots(ModelHarness& h)
{
    return h.settings().value("order.otherApps").toString();
}

QString slotsText(const QMap<QString, int>& remembered)
{
    QJsonObject object;
    for (auto it = remembered.cbegin(); it != remembered.cend(); ++it)
        object.insert(it.key(), *it);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

TEST(AppModelDrag, OtherAppsThingsKeepTheirPlaceWhenOwnThingsLandOrLeave)
{
    struct Case {
        const char* name;
        QStringList mine;           // today's own things, in order
        QMap<QString, int> before;  // remembered slots
        QStringList dragged;        // own titles; none: the text below comes from outside
        QString text;
        Place place;
        std::optional<int> index;
        bool externalAbove;
        QStringList rows;
        QMap<QString, int> after;
    };
    // "N" waits on tomorrow to be dragged in.
    const QList<Case> cases{
        {"upper half of B: lands below X, which keeps its slot", {"A", "B"}, {{"X", 1}}, {"N"}, {}, today, 1, true,
         {"A", "[X@1]", "N", "B"}, {{"X", 1}}},
        {"lower half of A: lands above X, which stays above B", {"A", "B"}, {{"X", 1}}, {"N"}, {}, today, 1, false,
         {"A", "N", "[X@2]", "B"}, {{"X", 2}}},
        {"below the last row: after the things shown at the end, which take its index", {"A", "B"}, {}, {"N"}, {},
         today, std::nullopt, true, {"A", "B", "[X@2]", "N"}, {{"X", 2}}},
        {"A leaves today: X stays above B", {"A", "B", "C"}, {{"X", 1}}, {"A"}, {}, tomorrow, std::nullopt, true,
         {"[X@0]", "B", "C"}, {{"X", 0}}},
        {"B, the thing X stood above, leaves: X stays above C", {"A", "B", "C"}, {{"X", 1}}, {"B"}, {}, tomorrow,
         std::nullopt, true, {"A", "[X@1]", "C"}, {{"X", 1}}},
        {"B moves to the end of today: X does not go along", {"A", "B", "C"}, {{"X", 1}}, {"B"}, {}, today,
         std::nullopt, true, {"A", "[X@1]", "C", "B"}, {{"X", 1}}},
        {"the last thing leaves from below X: X goes to the end", {"A", "B"}, {{"X", 1}}, {"B"}, {}, tomorrow,
         std::nullopt, true, {"A", "[X@1]"}, {}},
        {"text on the upper half of B lands at the end and moves nobody", {"A", "B"}, {{"X", 1}}, {}, "N", today, 1,
         true, {"A", "[X@1]", "B", "N"}, {{"X", 1}}},
        {"own things dropped on another day leave today's slots alone", {"A", "B"}, {{"X", 1}, {"Y", 0}}, {"N"}, {},
         Place::onDay(Day{2026, 3, 6}), std::nullopt, true, {"[Y@0]", "A", "[X@1]", "B"}, {{"X", 1}, {"Y", 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        h.settings().setValue("order.otherApps", slotsText(c.before));
        putOthers(h, c.before.contains("Y") ? QStringList{"X", "Y"} : QStringList{"X"});
        AppModel& m = h.start();
        for (const QString& title : c.mine)
            m.add(title, today);
        m.add("N", tomorrow);

        QStringList texts;
        if (c.dragged.isEmpty()) {
            texts.append(c.text);
        } else {
            for (const QString& title : c.dragged)
                m.drag().beginDrag(idOf(m.planner(), title));
            ASSERT_TRUE(m.drag().isDraggingInside());
        }
        EXPECT_TRUE(m.drag().drop(texts, c.place, c.index, c.externalAbove));
        EXPECT_EQ(todayRows(m), c.rows);
        EXPECT_EQ(m.otherApps().externalSlots(), c.after);
        EXPECT_EQ(storedSlots(h), slotsText(c.after));
        EXPECT_FALSE(m.drag().isDraggingInside());
    }
}

TEST(AppModelDrag, ADragCarriesTheSelectionOrTheThingAlone)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid a = *m.add("A", today);
    const QUuid b = *m.add("B", today);
    const QUuid c = *m.add("C", tomorrow);
    const QUuid d = *m.add("D", tomorrow);

    // Not selected: it alone, and it becomes the selection.
    m.selection().click(a, false, false);
    EXPECT_EQ(m.drag().beginDrag(c), "C");
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{c});
    EXPECT_EQ(m.drag().dragging(), QSet<QUuid>{c});
    m.drag().endDrag();

    // Selected: the whole selection, landing in board order whatever the click order.
    m.selection().click(d, false, false);
    m.selection().click(a, true, false);
    m.selection().click(b, true, false);
    EXPECT_EQ(m.drag().beginDrag(b), "B");
    EXPECT_EQ(m.drag().dragging(), (QSet<QUuid>{a, b, d}));
    EXPECT_TRUE(m.drag().drop({}, tomorrow, 0, true));
    EXPECT_EQ(titlesOn(m, tomorrow), (QStringList{"A", "B", "D", "C"}));
    EXPECT_EQ(m.undoStack().size(), 5) << "four adds and one move";

    EXPECT_EQ(m.drag().beginDrag(QUuid::createUuid()), "");
}

TEST(AppModelDrag, DroppingBackInPlaceChangesNothing)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid a = *m.add("A", today);
    m.add("B", today);
    const qsizetype undo = m.undoStack().size();
    const Planner before = m.planner();
    h.age();

    for (const auto& [index, above] : QList<std::pair<std::optional<int>, bool>>{{0, true}, {1, false}}) {
        m.drag().beginDrag(a);
        EXPECT_TRUE(m.drag().drop({}, today, index, above));
        EXPECT_EQ(m.planner(), before);
        EXPECT_EQ(m.undoStack().size(), undo);
        EXPECT_FALSE(m.drag().isDraggingInside());
    }
    EXPECT_EQ(h.fresh(), QStringList{});
}

TEST(AppModelDrag, AnOwnDropOnAWeekNotLoadedKeepsThatFilesThings)
{
    ModelHarness h;
    const Day later{2026, 4, 15};
    h.put("2026-W16.md", weekFile(later.monday(), {{later, {"- [ ] dentist"}}}));
    AppModel& m = h.start();
    ASSERT_TRUE(titlesOn(m, Place::onDay(later)).isEmpty()) << "that week is not loaded yet";
    const QUuid a = *m.add("A", today);

    m.drag().beginDrag(a);
    EXPECT_TRUE(m.drag().drop({}, Place::onDay(later), std::nullopt, true));
    EXPECT_EQ(titlesOn(m, Place::onDay(later)), (QStringList{"dentist", "A"}));
    const QString file = h.text("2026-W16.md");
    EXPECT_TRUE(file.contains("- [ ] dentist")) << file.toStdString();
    EXPECT_TRUE(file.contains("- [ ] A")) << file.toStdString();

    // Undo takes A back out of that week and keeps the dentist there.
    m.undo();
    EXPECT_EQ(titlesOn(m, Place::onDay(later)), QStringList{"dentist"});
}

TEST(AppModelDrag, TextFromOutsideIsAppendedAndTheLastNewThingSelected)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.add("A", today);
    m.add("B", today);
    const QUuid c = *m.add("C", tomorrow);
    m.selection().select(c);

    EXPECT_FALSE(m.drag().isDraggingInside());
    EXPECT_TRUE(m.drag().drop({"- [ ] milk\n- [x] bread", "• eggs"}, today, 0, true));
    EXPECT_EQ(titlesOn(m, today), (QStringList{"A", "B", "milk", "bread", "eggs"}));
    EXPECT_TRUE(m.planner().things(today)[3].done);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "eggs")});
    EXPECT_EQ(m.selection().anchor(), idOf(m.planner(), "eggs"));

    // Lines that all come to empty titles are refused and change nothing.
    const qsizetype undo = m.undoStack().size();
    const Planner before = m.planner();
    EXPECT_FALSE(m.drag().drop({"  \n\t", "───", ""}, tomorrow, std::nullopt, true));
    EXPECT_EQ(m.planner(), before);
    EXPECT_EQ(m.undoStack().size(), undo);
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), "eggs")});
}

TEST(AppModelDrag, ADragThatEndsWithoutADropLeavesNothingBehind)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid a = *m.add("A", today);
    putOthers(h, {"X"});
    m.refreshFromFamily();

    m.drag().beginDrag(a);
    m.drag().endDrag();
    EXPECT_FALSE(m.drag().isDraggingInside());
    EXPECT_TRUE(m.drag().drop({"from another program"}, tomorrow, std::nullopt, true));
    EXPECT_EQ(titlesOn(m, today), QStringList{"A"}) << "A was not taken along";
    EXPECT_EQ(titlesOn(m, tomorrow), QStringList{"from another program"});

    EXPECT_EQ(m.drag().beginExternalDrag(*m.otherApps().externalThing("X")), "X");
    m.drag().endDrag();
    EXPECT_TRUE(m.drag().drop({"more text"}, tomorrow, std::nullopt, true));
    EXPECT_EQ(titlesOn(m, tomorrow), (QStringList{"from another program", "more text"}));
    EXPECT_EQ(m.otherApps().externalThing("X")->day, wednesday.iso()) << "X stayed on today";
}

TEST(AppModelDrag, AnotherAppsThingMovesWithinTodayOrToAnotherDay)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.add("A", today);
    const QUuid b = *m.add("B", today);
    m.add("C", today);
    putOthers(h, {"X", "Y"});
    m.refreshFromFamily();
    m.selection().select(b);

    EXPECT_EQ(m.drag().beginExternalDrag(*m.otherApps().externalThing("X")), "X");
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{});
    EXPECT_EQ(m.otherApps().selectedExternal(), "X");
    EXPECT_TRUE(m.drag().isDraggingInside());
    EXPECT_TRUE(m.drag().drop({}, today, 1, false));
    EXPECT_EQ(todayRows(m), (QStringList{"A", "[X@1]", "B", "C", "[Y@3]"}));
    EXPECT_EQ(storedSlots(h), R"({"X":1})");
    EXPECT_EQ(m.otherApps().selectedExternal(), "X");
    EXPECT_FALSE(m.drag().isDraggingInside());

    // Below the last row: no slot, after the last own thing.
    m.drag().beginExternalDrag(*m.otherApps().externalThing("X"));
    EXPECT_TRUE(m.drag().drop({}, today, std::nullopt, true));
    EXPECT_EQ(m.otherApps().externalSlots(), (QMap<QString, int>{}));

    // A list or a month refuses it, and nothing changes.
    for (const Place& place : {Place::inList(0), Place::inMonth({2026, 3})}) {
        m.drag().beginExternalDrag(*m.otherApps().externalThing("Y"));
        EXPECT_FALSE(m.drag().drop({}, place, std::nullopt, true));
        EXPECT_FALSE(m.drag().isDraggingInside());
        EXPECT_EQ(m.otherApps().externalThing("Y")->day, wednesday.iso());
    }
    EXPECT_EQ(m.toast(), std::nullopt);

    // Another day: moved in the family store, gone from today's column and its slot.
    m.drag().beginExternalDrag(*m.otherApps().externalThing("X"));
    m.drag().drop({}, today, 0, true);
    ASSERT_EQ(m.otherApps().externalSlots().value("X"), 0);
    m.drag().beginExternalDrag(*m.otherApps().externalThing("X"));
    EXPECT_TRUE(m.drag().drop({}, tomorrow, 0, true));
    EXPECT_EQ(m.otherApps().externalThing("X")->day, thursday.iso());
    EXPECT_EQ(todayRows(m), (QStringList{"A", "B", "C", "[Y@3]"}));
    EXPECT_FALSE(m.otherApps().externalSlots().contains("X"));
    EXPECT_EQ(m.toast(), "Moved it in Pemby Todo too.");
    EXPECT_EQ(m.otherApps().selectedExternal(), std::nullopt);
    EXPECT_EQ(titlesOn(m, tomorrow), QStringList{}) << "not copied into the plan";
}

TEST(AppModelDrag, AddedRecordsBringTheirNotes)
{
    ModelHarness h;
    AppModel& m = h.start();
    const PembyThing noted = record("  with a note ", "two litres", QByteArray("{\\rtf1 two litres}"));
    PembyThing plain = record("plain");
    plain.done = true;
    plain.steps = {{"a step", true}};
    plain.link = "https://example.org";
    EXPECT_TRUE(m.drag().addThings({noted, record(" \n"), plain}, Place::inList(0)));
    const QList<Thing> things = m.planner().things(Place::inList(0));
    ASSERT_EQ(things.size(), 2);
    EXPECT_EQ(things[0].title, "with a note");
    ASSERT_TRUE(things[0].noteID);
    EXPECT_TRUE(pemby::isUuidText(*things[0].noteID));
    EXPECT_EQ(*things[0].noteID, things[0].noteID->toLower());
    EXPECT_EQ(m.thingNotes().noteContent(things[0].id), (ThingNotes::NoteContent{QByteArray("{\\rtf1 two litres}"), "two litres"}));
    EXPECT_EQ(things[1].noteID, std::nullopt);
    EXPECT_TRUE(things[1].done);
    EXPECT_EQ(things[1].steps, (QList<Step>{{"a step", true}}));
    EXPECT_EQ(things[1].link, "https://example.org");
    EXPECT_EQ(m.selection().ids(), QSet<QUuid>{things[1].id});
    EXPECT_EQ(m.undoStack().size(), 1);

    // A list that is not there takes nothing and gets no note file.
    EXPECT_FALSE(m.drag().addThings({noted}, Place::inList(7)));
    EXPECT_EQ(QDir(h.notesFolder()).entryList(QDir::Files).size(), 1);
}

// Pasted, dropped or brought by the add link, the things come in through one door.
TEST(AppModelDrag, ANoteThatCannotBeWrittenIsASaveErrorAndTheThingKeepsItsText)
{
    ModelHarness h;
    h.blockNotesFolder();
    AppModel& m = h.start();

    EXPECT_TRUE(m.drag().addThings({record("noted", "n", QByteArray("{\\rtf1 n}"))}, today));
    const auto thing = m.planner().thing(idOf(m.planner(), "noted"));
    ASSERT_TRUE(thing);
    EXPECT_EQ(thing->noteID, std::nullopt);
    EXPECT_EQ(thing->note, "n");
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.saveError()->startsWith("Couldn't save the note: ")) << m.saveError()->toStdString();
    EXPECT_EQ(m.footnote(), *m.saveError());
}
