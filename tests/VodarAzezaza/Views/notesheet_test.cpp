// The note sheet over a real model: it loads the thing's note once, saves a pause after
// the last keystroke, on Done, Escape, hiding and quitting, follows its thing through a
// re-read, reads another app's note only through the model (a hostile note id names no
// file), and writes nothing when nothing was typed.
#include "findbar.h"
#include "modelharness.h"
#include "noteeditor.h"
#include "notesheet.h"
#include "notetextview.h"
#include "otherapps.h"
#include "sheets.h"
#include "richtext.h"
#include "spellingmarks.h"
#include "textdocument.h"
#include "textutil.h"
#include "thingnotes.h"
#include "wordlist.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const Day monday{2026, 3, 2};
const Day today{2026, 3, 4};

QByteArray noteFile(const QString& text)
{
    return RichText::encode(*RichText::plain(text), {}, {}, std::nullopt);
}

QString shownText(const NoteSheet& sheet)
{
    return pemby::documentText(*sheet.editor().textView()->document());
}

class NoteSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        h.put(QStringLiteral("2026-W10.md"), weekFile(monday, {{today, {"- [ ] buy milk", "- [ ] call mum"}}}));
        h.start();
        id = idOf(model().planner(), QStringLiteral("buy milk"));
        ASSERT_FALSE(id.isNull());
        window.resize(900, 700);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    AppModel& model() { return h.model(); }
    std::optional<Thing> thing() { return h.model().planner().thing(id); }

    // As the main window presents it: a window-modal dialog opened with open(), never
    // a nested event loop.
    NoteSheet* present(const NoteSheet::Target& target, std::chrono::milliseconds delay = 60ms)
    {
        dialog = new QDialog(&window);
        dialog->setWindowModality(Qt::WindowModal);
        auto* layout = new QVBoxLayout(dialog);
        layout->setContentsMargins(0, 0, 0, 0);
        sheet = new NoteSheet(model(), target, dialog, delay);
        layout->addWidget(sheet);
        dialog->open();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        EXPECT_TRUE(waitUntil([&] { return sheet->editor().textView()->hasFocus(); }));
        return sheet;
    }
    void type(const QString& text) { QTest::keyClicks(sheet->editor().textView(), text); }

    QString noteFileText(const std::optional<QString>& noteID) const
    {
        if (!noteID)
            return QStringLiteral("<no note id>");
        QFile f(h.notesFolder() + u'/' + *noteID + QStringLiteral(".rtf"));
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        const auto decoded = RichText::decode(f.readAll());
        return decoded ? pemby::documentText(*decoded->text) : QStringLiteral("<not a note file>");
    }

    ModelHarness h;
    QUuid id;
    QWidget window;
    QPointer<QDialog> dialog;
    QPointer<NoteSheet> sheet;
};

} // namespace

TEST_F(NoteSheetTest, LoadsOnceAndSavesOnceAPauseAfterTheLastKeystroke)
{
    ASSERT_TRUE(model().thingNotes().saveNote(id, noteFile(QStringLiteral("two litres")), QStringLiteral("two litres")));
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 150ms);
    EXPECT_EQ(sheet->shownTitle(), QStringLiteral("buy milk"));
    EXPECT_EQ(shownText(*sheet), QStringLiteral("two litres"));

    const SignalCount saves(model(), &AppModel::plannerChanged);
    // Keystrokes arrive without the event loop running in between: the pause has not
    // begun, so nothing may be written yet.
    type(QStringLiteral(", oat"));
    type(QStringLiteral(" please"));
    EXPECT_EQ(thing()->note, QStringLiteral("two litres"));

    ASSERT_TRUE(waitUntil([&] { return thing()->note == QStringLiteral("two litres, oat please"); }));
    EXPECT_EQ(saves(), 1);
    EXPECT_EQ(noteFileText(thing()->noteID), QStringLiteral("two litres, oat please"));

    // A change of the plan elsewhere neither reloads the sheet nor loses the text; the
    // title follows a rename.
    type(QStringLiteral("!"));
    model().rename(id, QStringLiteral("buy oat milk"));
    EXPECT_EQ(sheet->shownTitle(), QStringLiteral("buy oat milk"));
    EXPECT_EQ(shownText(*sheet), QStringLiteral("two litres, oat please!"));
    ASSERT_TRUE(waitUntil([&] { return thing()->note == QStringLiteral("two litres, oat please!"); }));
}

TEST_F(NoteSheetTest, DoneAndEscapeSaveAtOnceAndEndTheEditing)
{
    const struct {
        const char* name;
        std::function<void(NoteSheet&)> finish;
    } cases[] = {
        {"Done", [](NoteSheet& s) { QTest::mouseClick(s.doneButton(), Qt::LeftButton); }},
        {"Escape", [](NoteSheet& s) { QTest::keyClick(s.editor().textView(), Qt::Key_Escape); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(model().thingNotes().saveNote(id, std::nullopt, QString()));
        model().setEditingNote(id);
        model().setEditingExternalNote(QStringLiteral("todo-1"));
        present(NoteSheet::Target(id), 1h);
        type(QString::fromLatin1(c.name));

        c.finish(*sheet);
        EXPECT_EQ(thing()->note, QString::fromLatin1(c.name));
        EXPECT_EQ(model().editingNote(), std::nullopt);
        EXPECT_EQ(model().editingExternalNote(), std::nullopt);
        delete dialog;
    }
}

TEST_F(NoteSheetTest, TheFindBarUnderTheTextKeepsItsKeysFromTheSheet)
{
    ASSERT_TRUE(model().thingNotes().saveNote(id, noteFile(QStringLiteral("oat milk or soy milk")), QStringLiteral("oat milk or soy milk")));
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 1h);
    FindBar& bar = *sheet->editor().findBar();
    QTest::keyClick(sheet->editor().textView(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar.isVisible());
    EXPECT_GT(bar.mapTo(sheet, QPoint()).y(), sheet->editor().textView()->mapTo(sheet, QPoint()).y());
    QTest::keyClicks(bar.findField(), QStringLiteral("milk"));
    // Return goes to the next match, not to the sheet's "Done"; Escape closes the bar only.
    QTest::keyClick(bar.findField(), Qt::Key_Return);
    EXPECT_EQ(sheet->editor().textView()->textCursor().selectedText(), QStringLiteral("milk"));
    QTest::keyClick(bar.findField(), Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(model().editingNote(), id);
    EXPECT_TRUE(sheet->editor().textView()->hasFocus());
    // With the keys back in the text, Escape is the sheet's again.
    QTest::keyClick(sheet->editor().textView(), Qt::Key_Escape);
    EXPECT_EQ(model().editingNote(), std::nullopt);
}

TEST_F(NoteSheetTest, ANoteClearedToWhiteSpaceGoesFileAndAll)
{
    ASSERT_TRUE(model().thingNotes().saveNote(id, noteFile(QStringLiteral("two litres")), QStringLiteral("two litres")));
    const QString file = h.notesFolder() + u'/' + *thing()->noteID + QStringLiteral(".rtf");
    ASSERT_TRUE(QFileInfo::exists(file));
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 1h);

    QTest::keyClick(sheet->editor().textView(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(sheet->editor().textView(), QStringLiteral("  "));
    QTest::keyClick(sheet->editor().textView(), Qt::Key_Return);
    sheet->finish();
    EXPECT_EQ(thing()->note, QString());
    EXPECT_EQ(thing()->noteID, std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(NoteSheetTest, WhatWasTypedIsSavedWhenTheSheetHidesOrTheAppQuits)
{
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 1h);
    type(QStringLiteral("at quit"));
    // Quitting, or another folder, asks the open sheet first.
    sheet->saveNow();
    EXPECT_EQ(thing()->note, QStringLiteral("at quit"));

    type(QStringLiteral(", hidden"));
    dialog->hide();
    EXPECT_EQ(thing()->note, QStringLiteral("at quit, hidden"));
}

TEST_F(NoteSheetTest, ASheetOpenedAndClosedWithoutTypingWritesNothing)
{
    // A sibling's file may hold more than the editor keeps: viewing must not rewrite it.
    ASSERT_TRUE(model().thingNotes().saveNote(id, noteFile(QStringLiteral("two litres")), QStringLiteral("two litres")));
    const QString file = h.notesFolder() + u'/' + *thing()->noteID + QStringLiteral(".rtf");
    const QByteArray theirs = QByteArray("{\\rtf1\\ansi{\\*\\sibling kept}two litres}");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(theirs);
    }
    const SignalCount changes(model(), &AppModel::plannerChanged);
    model().setEditingNote(id);
    present(NoteSheet::Target(id));
    EXPECT_EQ(shownText(*sheet), QStringLiteral("two litres"));
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    dialog->hide();
    delete dialog;

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), theirs);
    EXPECT_EQ(changes(), 0);
}

TEST_F(NoteSheetTest, SpellingMarksAreNoEditAndWriteNothing)
{
    WordList words({{QStringLiteral("en"), {QStringLiteral("two")}}});
    SharedSpelling spelling(words);
    ASSERT_TRUE(model().thingNotes().saveNote(id, noteFile(QStringLiteral("two litrse")), QStringLiteral("two litrse")));
    const QString file = h.notesFolder() + u'/' + *thing()->noteID + QStringLiteral(".rtf");
    QFile before(file);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray written = before.readAll();
    const SignalCount changes(model(), &AppModel::plannerChanged);
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 30ms);
    NoteTextView* view = sheet->editor().textView();
    view->spelling()->checkAll();
    ASSERT_EQ(view->spelling()->marks(view->document()->firstBlock()).size(), 1);
    words.learn(QStringLiteral("litrse"), 0);
    EXPECT_TRUE(view->spelling()->marks(view->document()->firstBlock()).isEmpty());
    QTest::qWait(100);
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    delete dialog;

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), written);
    EXPECT_EQ(changes(), 0);
}

TEST_F(NoteSheetTest, FollowsItsThingThroughAReReadAndSavesAndClosesWhenItIsGone)
{
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 1h);
    type(QStringLiteral("typed before the re-read"));

    // The week file changes outside: every thing of it gets a fresh id.
    h.put(QStringLiteral("2026-W10.md"), weekFile(monday, {{today, {"- [ ] buy milk", "- [ ] call mum", "- [ ] new"}}}));
    model().refresh(h.now());
    const QUuid fresh = idOf(model().planner(), QStringLiteral("buy milk"));
    ASSERT_NE(fresh, id);
    ASSERT_EQ(model().editingNote(), fresh);

    ASSERT_TRUE(sheet->retarget(NoteSheet::Target(fresh)));
    EXPECT_EQ(shownText(*sheet), QStringLiteral("typed before the re-read"));
    sheet->saveNow();
    EXPECT_EQ(model().planner().thing(fresh)->note, QStringLiteral("typed before the re-read"));

    // A thing that is gone ends the editing; what the sheet does then writes nowhere.
    h.put(QStringLiteral("2026-W10.md"), weekFile(monday, {{today, {"- [ ] call mum"}}}));
    model().refresh(h.now());
    EXPECT_EQ(model().editingNote(), std::nullopt);
    type(QStringLiteral(" and after"));
    sheet->saveNow();
    EXPECT_EQ(idOf(model().planner(), QStringLiteral("buy milk")), QUuid());
}

TEST_F(NoteSheetTest, RetargetingIsOnlyForAThingThatGotAFreshID)
{
    model().setEditingNote(id);
    present(NoteSheet::Target(id));
    // The present thing is still there: another thing's note is another sheet.
    EXPECT_FALSE(sheet->retarget(NoteSheet::Target(idOf(model().planner(), QStringLiteral("call mum")))));
    EXPECT_EQ(sheet->target(), NoteSheet::Target(id));
    delete dialog;

    present(NoteSheet::Target(QStringLiteral("todo-1")));
    EXPECT_FALSE(sheet->retarget(NoteSheet::Target(QStringLiteral("todo-2"))));
}

TEST_F(NoteSheetTest, AnotherAppsNoteIsReadByItsIDAndAHostileIDNamesNoFile)
{
    QDir().mkpath(h.notesFolder());
    const QString goodID = QStringLiteral("0b7c8f9e-1d2a-4b3c-8d4e-5f6a7b8c9d0e");
    {
        QFile f(h.notesFolder() + u'/' + goodID + QStringLiteral(".rtf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(noteFile(QStringLiteral("rich from todo")));
    }
    // A file outside the notes folder that a crafted row points at.
    const QString outside = h.root() + QStringLiteral("/outside.rtf");
    {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(noteFile(QStringLiteral("not yours")));
    }

    const struct {
        const char* name;
        std::optional<QString> noteID;
        QString shows;
    } cases[] = {
        {"its note file", goodID, "rich from todo"},
        {"a note id with no file", QStringLiteral("1b7c8f9e-1d2a-4b3c-8d4e-5f6a7b8c9d0e"), "plain from todo"},
        {"a path up and out", QStringLiteral("../outside"), "plain from todo"},
        {"an absolute path", h.root() + QStringLiteral("/outside"), "plain from todo"},
        {"no note id", std::nullopt, "plain from todo"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SharedThing row = Sibling::row(QStringLiteral("todo-%1").arg(++n), QStringLiteral("pay rent"), today);
        row.note = QStringLiteral("plain from todo");
        row.noteID = c.noteID;
        h.family().upsert(row);
        model().refreshFromFamily();
        ASSERT_TRUE(model().otherApps().externalThing(row.id));

        model().setEditingExternalNote(row.id);
        present(NoteSheet::Target(row.id), 1h);
        EXPECT_EQ(sheet->shownTitle(), QStringLiteral("pay rent"));
        EXPECT_EQ(shownText(*sheet), c.shows);

        type(QStringLiteral("!"));
        sheet->finish();
        const auto saved = model().otherApps().externalThing(row.id);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->note, c.shows + u'!');
        ASSERT_TRUE(saved->noteID);
        // The note went into the notes folder under a UUID, never where the row pointed.
        EXPECT_TRUE(pemby::isUuidText(*saved->noteID));
        EXPECT_EQ(noteFileText(saved->noteID), c.shows + u'!');
        delete dialog;
    }
    QFile f(outside);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), noteFile(QStringLiteral("not yours")));
}

TEST_F(NoteSheetTest, AFailedWriteStaysDueAndIsTriedAgain)
{
    h.blockNotesFolder();
    h.start();
    id = idOf(model().planner(), QStringLiteral("buy milk"));
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 1h);
    type(QStringLiteral("kept"));
    sheet->saveNow();
    ASSERT_TRUE(model().saveError());
    EXPECT_EQ(thing()->note, QString());

    // The folder can be written again: the next occasion saves what was kept.
    ASSERT_TRUE(QFile::remove(h.root() + QStringLiteral("/blocker")));
    sheet->finish();
    EXPECT_EQ(thing()->note, QStringLiteral("kept"));
    EXPECT_EQ(noteFileText(thing()->noteID), QStringLiteral("kept"));
}

TEST_F(NoteSheetTest, ANoteThatCannotBeWrittenKeepsTheSheetOpenWithItsTextUntilWrittenOrDiscarded)
{
    h.blockNotesFolder();
    h.start();
    id = idOf(model().planner(), QStringLiteral("buy milk"));
    // As the main window presents it, so its own close button is tried too.
    SheetPresenter presenter(&window, Sheets::appSheets());
    presenter.setModel(&model());
    model().setEditingNote(id);
    QDialog* shown = presenter.sheet(SheetKind::ThingNote);
    ASSERT_TRUE(shown);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
    NoteSheet* open = shown->findChild<NoteSheet*>();
    ASSERT_TRUE(waitUntil([&] { return open->editor().textView()->hasFocus(); }));
    QTest::keyClicks(open->editor().textView(), QStringLiteral("the code is 4711"));

    const struct {
        const char* name;
        std::function<void()> finish;
    } ways[] = {
        {"Done", [&] { QTest::mouseClick(open->doneButton(), Qt::LeftButton); }},
        {"Escape", [&] { QTest::keyClick(open->editor().textView(), Qt::Key_Escape); }},
        {"the window's close", [&] { shown->close(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        way.finish();
        QTest::qWait(1);
        EXPECT_EQ(model().editingNote(), id) << "the sheet stays";
        EXPECT_EQ(presenter.sheet(SheetKind::ThingNote), shown);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shownText(*open), QStringLiteral("the code is 4711"));
        EXPECT_TRUE(open->problem().startsWith(QStringLiteral("Couldn't save the note: "))) << open->problem().toStdString();
        EXPECT_TRUE(open->discardButton()->isVisible());
    }

    // Once the folder can be written, Done writes it and the sheet goes.
    ASSERT_TRUE(QFile::remove(h.root() + QStringLiteral("/blocker")));
    QTest::mouseClick(open->doneButton(), Qt::LeftButton);
    EXPECT_EQ(model().editingNote(), std::nullopt);
    EXPECT_EQ(thing()->note, QStringLiteral("the code is 4711"));
    EXPECT_EQ(noteFileText(thing()->noteID), QStringLiteral("the code is 4711"));
}

TEST_F(NoteSheetTest, DiscardLetsAnUnwritableTextGoKnowingly)
{
    h.blockNotesFolder();
    h.start();
    id = idOf(model().planner(), QStringLiteral("buy milk"));
    model().setEditingNote(id);
    present(NoteSheet::Target(id), 1h);
    EXPECT_FALSE(sheet->discardButton()->isVisible()) << "nothing to discard yet";
    type(QStringLiteral("lost on purpose"));
    sheet->finish();
    ASSERT_EQ(model().editingNote(), id);
    ASSERT_TRUE(sheet->discardButton()->isVisible());

    QTest::mouseClick(sheet->discardButton(), Qt::LeftButton);
    EXPECT_EQ(model().editingNote(), std::nullopt);
    EXPECT_EQ(thing()->note, QString());
    // Going away it writes nothing either.
    delete dialog;
    EXPECT_FALSE(QFileInfo::exists(h.notesFolder()));
}

TEST_F(NoteSheetTest, TheFormatButtonOpensThePopoverBesideIt)
{
    model().setEditingNote(id);
    present(NoteSheet::Target(id));
    EXPECT_EQ(sheet->formatButton()->toolTip(), QStringLiteral("Format: styles, bold, lists, dividers"));
    QTest::mouseClick(sheet->formatButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}
