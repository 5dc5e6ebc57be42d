#include "addlink.h"
#include "appmodel.h"
#include "boardselection.h"
#include "modelharness.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

const Day monday{2026, 3, 2};
const Day wednesday{2026, 3, 4};
const Day thursday{2026, 3, 5};
const Place today = Place::onDay(wednesday);

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString notePath(const ModelHarness& h, const QString& noteID)
{
    return h.notesFolder() + "/" + noteID + ".rtf";
}

std::unique_ptr<QMimeData> plainText(const QString& text)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setText(text);
    return mime;
}

PembyThing titled(const QString& title)
{
    PembyThing thing;
    thing.title = title;
    return thing;
}

std::unique_ptr<QMimeData> records(const QStringList& titles)
{
    QList<PembyThing> things;
    for (const QString& title : titles)
        things.append(titled(title));
    auto mime = std::make_unique<QMimeData>();
    PembyThings::copy(things, *mime);
    return mime;
}

} // namespace

TEST(AppModelThingNotes, ANoteLivesInTheNotesFolderUntilItIsEmptied)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid id = *m.add("buy milk", today);
    const qsizetype undo = m.undoStack().size();
    EXPECT_EQ(m.thingNotes().noteContent(id), (ThingNotes::NoteContent{std::nullopt, ""}));
    ASSERT_FALSE(QDir(h.notesFolder()).exists());

    // The first note gets a lower-case id; the folder is made for it.
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 two litres}"), "  two litres\n");
    const auto noted = m.planner().thing(id);
    ASSERT_TRUE(noted->noteID);
    const QString noteID = *noted->noteID;
    EXPECT_EQ(noteID.size(), 36);
    EXPECT_TRUE(pemby::isUuidText(noteID));
    EXPECT_EQ(noteID, noteID.toLower());
    EXPECT_EQ(noted->note, "two litres");
    EXPECT_EQ(read(notePath(h, noteID)), "{\\rtf1 two litres}");
    EXPECT_EQ(m.thingNotes().noteContent(id), (ThingNotes::NoteContent{QByteArray("{\\rtf1 two litres}"), "two litres"}));
    const QString week = h.text("2026-W10.md");
    EXPECT_TRUE(week.contains("{note:" + noteID + "}")) << week.toStdString();
    EXPECT_TRUE(week.contains("> two litres")) << week.toStdString();

    // Saved again: the same id, the new bytes.
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 three litres}"), "three litres");
    EXPECT_EQ(m.planner().thing(id)->noteID, noteID);
    EXPECT_EQ(read(notePath(h, noteID)), "{\\rtf1 three litres}");

    // Text without its rich text could not be written out: the note stays as it was.
    m.thingNotes().saveNote(id, std::nullopt, "four litres");
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.saveError()->startsWith("Couldn't save the note: ")) << m.saveError()->toStdString();
    EXPECT_EQ(m.planner().thing(id)->note, "three litres");
    EXPECT_EQ(read(notePath(h, noteID)), "{\\rtf1 three litres}");

    // Blank text empties it, file and all, with or without rich text.
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1  }"), " \n\t");
    EXPECT_EQ(m.planner().thing(id)->noteID, std::nullopt);
    EXPECT_EQ(m.planner().thing(id)->note, "");
    EXPECT_FALSE(QFile::exists(notePath(h, noteID)));
    EXPECT_FALSE(h.text("2026-W10.md").contains("note")) << "saved";
    EXPECT_EQ(m.saveError(), std::nullopt) << "the plan's save went through";
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 again}"), "again");
    const QString second = *m.planner().thing(id)->noteID;
    EXPECT_NE(second, noteID);
    m.thingNotes().saveNote(id, std::nullopt, "");
    EXPECT_FALSE(QFile::exists(notePath(h, second)));

    EXPECT_EQ(m.undoStack().size(), undo) << "a note is no undo step";
    m.thingNotes().saveNote(QUuid::createUuid(), QByteArray("{\\rtf1 x}"), "x");
    EXPECT_TRUE(QDir(h.notesFolder()).entryList(QDir::Files).isEmpty());
}

TEST(AppModelThingNotes, ANoteIDThatIsNoUUIDNeverBecomesAPath)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid id = *m.add("odd", today);
    QDir().mkpath(h.notesFolder());
    QFile outside(h.root() + "/escape.rtf");
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.write("not a note");
    outside.close();
    m.update(id, [](Thing& t) {
        t.noteID = "../escape";
        t.note = "n";
    });

    EXPECT_EQ(m.thingNotes().noteContent(id).rtf, std::nullopt);
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 n}"), "n");
    const auto noteID = m.planner().thing(id)->noteID;
    ASSERT_TRUE(noteID);
    EXPECT_TRUE(pemby::isUuidText(*noteID));
    EXPECT_EQ(read(h.root() + "/escape.rtf"), "not a note");
    m.update(id, [](Thing& t) { t.noteID = "../escape"; });
    m.thingNotes().saveNote(id, std::nullopt, "");
    EXPECT_TRUE(QFile::exists(h.root() + "/escape.rtf"));
    EXPECT_FALSE(m.thingNotes().writeNote("../escape", "x").ok());
}

TEST(AppModelThingNotes, AFolderThatCannotBeWrittenKeepsTheOldNote)
{
    ModelHarness h;
    h.blockNotesFolder();
    AppModel& m = h.start();
    const QUuid id = *m.add("buy milk", today);
    m.update(id, [](Thing& t) { t.note = "old"; });
    const Planner before = m.planner();

    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 new}"), "new");
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.saveError()->startsWith("Couldn't save the note: couldn't create the folder"))
        << m.saveError()->toStdString();
    EXPECT_EQ(m.footnote(), *m.saveError());
    EXPECT_EQ(m.planner(), before);
}

TEST(AppModelThingNotes, ANoteThatCannotBeWrittenIsNamedInTheError)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid id = *m.add("buy milk", today);
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 old}"), "old");
    const QString noteID = *m.planner().thing(id)->noteID;
    // A folder where the note's file should be: its write fails, whatever the user.
    ASSERT_TRUE(QFile::remove(h.notesFolder() + "/" + noteID + ".rtf"));
    ASSERT_TRUE(QDir().mkpath(h.notesFolder() + "/" + noteID + ".rtf"));
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 new}"), "new");
    ASSERT_TRUE(m.saveError());
    EXPECT_TRUE(m.saveError()->startsWith("Couldn't save the note: ")) << m.saveError()->toStdString();
    EXPECT_TRUE(m.saveError()->contains(noteID + ".rtf")) << m.saveError()->toStdString();
    EXPECT_EQ(m.planner().thing(id)->note, "old");

    // A note too long for its week's file to be read back is not taken.
    ASSERT_TRUE(QDir(h.notesFolder() + "/" + noteID + ".rtf").removeRecursively());
    const QString week = h.text("2026-W10.md");
    EXPECT_FALSE(m.thingNotes().saveNote(id, QByteArray("{\\rtf1 long}"), QString(AddLink::maxNote + 1, u'x')));
    EXPECT_EQ(m.saveError(), "Couldn't save the note: it has 100001 characters, more than 100000");
    EXPECT_EQ(m.planner().thing(id)->note, "old");
    EXPECT_EQ(h.text("2026-W10.md"), week);
    EXPECT_TRUE(m.thingNotes().saveNote(id, QByteArray("{\\rtf1 long}"), QString(AddLink::maxNote, u'x')));
    EXPECT_EQ(m.planner().thing(id)->note.size(), AddLink::maxNote);
}

TEST(AppModelThingNotes, UndoAndRedoKeepTheNoteAsSaved)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid id = *m.add("buy milk", today);
    m.rename(id, "buy oat milk");
    m.thingNotes().saveNote(id, QByteArray("{\\rtf1 two litres}"), "two litres");
    const QString noteID = *m.planner().thing(id)->noteID;

    m.undo();
    EXPECT_EQ(m.planner().thing(id)->title, "buy milk");
    EXPECT_EQ(m.planner().thing(id)->noteID, noteID);
    EXPECT_EQ(m.planner().thing(id)->note, "two litres");
    EXPECT_TRUE(h.text("2026-W10.md").contains("{note:" + noteID + "}"));

    // Emptied while the rename waits on the redo stack: redo brings no dead note id.
    m.thingNotes().saveNote(id, std::nullopt, "");
    m.redo();
    EXPECT_EQ(m.planner().thing(id)->title, "buy oat milk");
    EXPECT_EQ(m.planner().thing(id)->noteID, std::nullopt);
    EXPECT_EQ(m.planner().thing(id)->note, "");
    m.undo();
    m.undo();
    EXPECT_FALSE(m.planner().thing(id)) << "the add is undone as ever";
    m.redo();
    EXPECT_EQ(m.planner().thing(id)->noteID, std::nullopt);
}

TEST(AppModelThingNotes, CopyPutsTheSelectionOnTheClipboardInBoardOrder)
{
    ModelHarness h;
    AppModel& m = h.start();
    const QUuid late = *m.add("thursday's", Place::onDay(thursday));
    const QUuid early = *m.add("monday's", Place::onDay(monday));
    m.add("not selected", today);
    m.thingNotes().saveNote(late, QByteArray("{\\rtf1 late}"), "late");

    m.clipboard().copySelection();
    EXPECT_EQ(h.clipboard->writes, 0) << "nothing selected leaves the clipboard alone";

    m.selection().click(late, false, false);
    m.selection().click(early, true, false);
    m.clipboard().copySelection();
    const QMimeData* mime = h.clipboard->data.get();
    ASSERT_TRUE(mime);
    EXPECT_EQ(mime->text(), "monday's\nthursday's");
    EXPECT_TRUE(mime->hasFormat(PembyThings::mimeType));
    EXPECT_FALSE(mime->hasFormat(PembyThings::rtfMimeType)) << "rich text only for one thing";
    const auto copied = PembyThings::decode(mime->data(PembyThings::mimeType));
    ASSERT_TRUE(copied);
    ASSERT_EQ(copied->size(), 2);
    EXPECT_EQ((*copied)[0].title, "monday's");
    EXPECT_EQ((*copied)[0].rtf, std::nullopt);
    EXPECT_EQ((*copied)[1].note, "late");
    EXPECT_EQ((*copied)[1].rtf, QByteArray("{\\rtf1 late}"));
    EXPECT_EQ(m.clipboard().clipboardThings(), *copied);

    m.selection().select(late);
    m.clipboard().copySelection();
    EXPECT_EQ(h.clipboard->data->data(PembyThings::rtfMimeType), "{\\rtf1 late}");
    EXPECT_EQ(h.clipboard->writes, 2);
}

TEST(AppModelThingNotes, APasteWhileTypingBecomesThingsOnlyWhenItShould)
{
    enum class Field { NewLine, Detail, None };
    struct Case {
        const char* name;
        Field field;
        std::function<std::unique_ptr<QMimeData>()> clipboard;
        std::optional<bool> isRich;
        QStringList added;  // none: the field pastes as usual
    };
    const auto nothing = [] { return std::unique_ptr<QMimeData>(); };
    const QList<Case> cases{
        {"one plain line is the field's", Field::NewLine, [] { return plainText("milk"); }, std::nullopt, {}},
        {"three plain lines make three things", Field::NewLine, [] { return plainText("milk\nbread\neggs"); },
         std::nullopt, {"milk", "bread", "eggs"}},
        {"one record of the family makes a thing", Field::NewLine, [] { return records({"milk"}); }, std::nullopt,
         {"milk"}},
        {"three records make three things", Field::NewLine, [] { return records({"a", "b", "c"}); }, std::nullopt,
         {"a", "b", "c"}},
        {"one record of a paste that is not rich is the field's", Field::NewLine, [] { return records({"milk"}); },
         false, {}},
        {"one plain line of a rich paste makes a thing", Field::NewLine, [] { return plainText("milk"); }, true,
         {"milk"}},
        {"a rich paste of nothing is the field's", Field::NewLine, nothing, true, {}},
        {"records with blank titles are the field's", Field::NewLine,
         [] {
             auto mime = std::make_unique<QMimeData>();
             mime->setData(PembyThings::mimeType, R"([{"title":"  "}])");
             mime->setText(" ");
             return mime;
         },
         std::nullopt, {}},
        {"three records in an open detail join its thing's place", Field::Detail,
         [] { return records({"a", "b", "c"}); }, false, {"a", "b", "c"}},
        {"one plain line in an open detail is the field's", Field::Detail, [] { return plainText("milk"); },
         std::nullopt, {}},
        {"no field open: never", Field::None, [] { return records({"a", "b", "c"}); }, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelHarness h;
        AppModel& m = h.start();
        const QUuid open = *m.add("open", Place::onDay(thursday));
        const Place place = c.field == Field::Detail ? Place::onDay(thursday) : today;
        if (c.field == Field::NewLine)
            m.setEditing(Editing::newThing(today));
        else if (c.field == Field::Detail)
            m.setOpened(open);
        h.clipboard->data = c.clipboard();
        const QStringList before = titlesOn(m, place);

        const bool taken = m.clipboard().pasteAsThingsWhileTyping(std::nullopt, c.isRich);
        EXPECT_EQ(taken, !c.added.isEmpty());
        EXPECT_EQ(titlesOn(m, place), before + c.added);
        if (taken) {
            EXPECT_EQ(m.editing(), std::nullopt);
            EXPECT_EQ(m.opened(), std::nullopt);
            EXPECT_EQ(m.selection().ids(), QSet<QUuid>{idOf(m.planner(), c.added.last())});
        } else {
            EXPECT_EQ(m.editing().has_value(), c.field == Field::NewLine);
            EXPECT_EQ(m.opened().has_value(), c.field == Field::Detail);
        }
    }
}

TEST(AppModelThingNotes, RecordsGivenToAPasteNeedNoClipboard)
{
    ModelHarness h;
    AppModel& m = h.start();
    m.setEditing(Editing::newThing(Place::inList(0)));
    EXPECT_FALSE(m.clipboard().pasteAsThingsWhileTyping(QList<PembyThing>{titled("one")}, false));
    EXPECT_TRUE(m.clipboard().pasteAsThingsWhileTyping(QList<PembyThing>{titled("one"), titled("two")}, false));
    EXPECT_EQ(titlesOn(m, Place::inList(0)), (QStringList{"one", "two"}));
    EXPECT_EQ(h.clipboard->writes, 0);
}
