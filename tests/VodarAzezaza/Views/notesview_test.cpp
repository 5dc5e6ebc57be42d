// The notes screen over a real model and a real notes folder: the list's key table,
// renaming in place, search, the editor pane's debounced save and what it must never
// do (bring a trashed note back, move the date for a fold), the empty states, and a
// folder of a thousand notes.
#include "modelharness.h"
#include "note.h"
#include "noteeditor.h"
#include "notelist.h"
#include "notesmodel.h"
#include "notesview.h"
#include "notetext.h"
#include "notetextview.h"
#include "owntrash.h"
#include "richtext.h"
#include "spellingmarks.h"
#include "textdocument.h"
#include "wordlist.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const QDateTime longAgo(QDate(2026, 1, 5), QTime(9, 0), QTimeZone::utc());

class NotesViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useOwnTrash();
        QDir().mkpath(h.notesAppFolder());
    }

    // Notes "n0" … "n<count-1>" titled "Note 0" …, each a minute newer than the last,
    // so the list shows them newest first.
    void putNotes(int count) const
    {
        for (int i = 0; i < count; ++i)
            putNote(QStringLiteral("n%1").arg(i), QStringLiteral("Note %1\nline of note %1").arg(i), longAgo.addSecs(60 * i));
    }
    void putNote(const QString& id, const QString& text, const QDateTime& modified) const
    {
        putNoteFile(id, RichText::encode(*RichText::plain(text), {}, {}, std::nullopt), modified);
    }
    void putNoteFile(const QString& id, const QByteArray& data, const QDateTime& modified) const
    {
        QFile f(path(id));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    QString path(const QString& id) const { return h.notesAppFolder() + u'/' + id + QStringLiteral(".rtf"); }
    QString textOnDisk(const QString& id) const
    {
        QFile f(path(id));
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        const auto decoded = RichText::decode(f.readAll());
        return decoded ? pemby::documentText(*decoded->text) : QStringLiteral("<not a note file>");
    }

    // The screen as the main window shows it in notes mode.
    NotesView& show(std::chrono::milliseconds delay = 60ms)
    {
        view.reset();
        h.start();
        h.model().setMode(Mode::Notes);
        view = std::make_unique<NotesView>(h.model(), nullptr, delay);
        view->resize(1100, 640);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        EXPECT_TRUE(waitUntil([&] { return list()->hasFocus(); }));
        return *view;
    }

    // The rename field has the keys with its caret put at the end: the list selects
    // an opened editor's text, and the field moves the caret just after it gets focus.
    bool waitForRenameKeys()
    {
        return waitUntil([&] {
            const QLineEdit* field = list()->renameField();
            return field && field->hasFocus() && !field->hasSelectedText();
        });
    }

    NotesModel& notes() { return h.model().notes(); }
    NoteListView* list() const { return view->list()->listView(); }
    NoteTextView* text() const { return view->pane()->editor().textView(); }
    std::shared_ptr<Note> note(const QString& id)
    {
        for (const auto& n : notes().notes()) {
            if (n->id() == id)
                return n;
        }
        return nullptr;
    }
    QStringList visibleIDs()
    {
        QStringList ids;
        for (const auto& n : list()->listModel()->shown())
            ids.append(n->id());
        return ids;
    }
    void clickRow(const QString& id, Qt::MouseButton button = Qt::LeftButton)
    {
        const QRect row = list()->rowRect(id);
        ASSERT_TRUE(row.isValid());
        // Beside the title, on the line of the date and preview.
        QTest::mouseClick(list()->viewport(), button, {}, QPoint(row.right() - 12, row.bottom() - 6));
    }
    void typeInEditor(const QString& typed)
    {
        QTest::mouseClick(text()->viewport(), Qt::LeftButton, {}, QPoint(text()->viewport()->width() / 2, 30));
        QTest::keyClick(text(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(text(), typed);
    }
    static QString shown(const NoteTextView* view) { return pemby::documentText(*view->document()); }

    ModelHarness h;
    std::unique_ptr<NotesView> view;
};

KeyPress press(Qt::Key key, bool command = false, QString text = {})
{
    KeyPress p;
    p.key = key;
    p.command = command;
    p.text = std::move(text);
    return p;
}

std::optional<QString> id(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

TEST_F(NotesViewTest, TheListsKeyTable)
{
    using Result = KeyPress::Result;
    const struct {
        const char* name;
        std::optional<QString> selected;
        bool renaming;
        KeyPress key;
        Result result;
        std::optional<QString> selectedAfter;
        bool deletes;  // the selected note
        bool renamesAfter;
        int editRequests;
    } cases[] = {
        {"backspace deletes the selected note", id("n1"), false, press(Qt::Key_Backspace), Result::Handled, id("n0"), true, false, 0},
        {"forward delete too", id("n1"), false, press(Qt::Key_Delete), Result::Handled, id("n0"), true, false, 0},
        {"the delete character too", id("n1"), false, press(Qt::Key_unknown, false, QStringLiteral("\x7f")), Result::Handled, id("n0"), true, false, 0},
        {"delete with nothing selected", std::nullopt, false, press(Qt::Key_Backspace), Result::Ignored, std::nullopt, false, false, 0},
        {"up", id("n1"), false, press(Qt::Key_Up), Result::Handled, id("n2"), false, false, 0},
        {"down", id("n1"), false, press(Qt::Key_Down), Result::Handled, id("n0"), false, false, 0},
        {"down at the end stays", id("n0"), false, press(Qt::Key_Down), Result::Handled, id("n0"), false, false, 0},
        {"down with nothing selected takes the first", std::nullopt, false, press(Qt::Key_Down), Result::Handled, id("n2"), false, false, 0},
        {"return renames", id("n1"), false, press(Qt::Key_Return), Result::Handled, id("n1"), false, true, 0},
        {"command return opens the editor", id("n1"), false, press(Qt::Key_Return, true), Result::Handled, id("n1"), false, false, 1},
        {"return with nothing selected", std::nullopt, false, press(Qt::Key_Return), Result::Ignored, std::nullopt, false, false, 0},
        {"escape clears the selection", id("n1"), false, press(Qt::Key_Escape), Result::Handled, std::nullopt, false, false, 0},
        {"any other key", id("n1"), false, press(Qt::Key_X, false, QStringLiteral("x")), Result::Ignored, id("n1"), false, false, 0},
        {"arrows while renaming", id("n1"), true, press(Qt::Key_Up), Result::Ignored, id("n1"), false, true, 0},
        {"delete while renaming", id("n1"), true, press(Qt::Key_Backspace), Result::Ignored, id("n1"), false, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : QDir(h.notesAppFolder()).entryList(QDir::Files))
            QFile::remove(h.notesAppFolder() + u'/' + name);
        putNotes(3);
        show();
        notes().select(c.selected);
        if (c.renaming)
            notes().setRenaming(c.selected);
        const int editRequests = notes().editRequest();

        // Asking changes nothing.
        EXPECT_EQ(view->list()->handle(c.key, false), c.result);
        EXPECT_EQ(notes().selectedID(), c.selected);

        EXPECT_EQ(view->list()->handle(c.key), c.result);
        EXPECT_EQ(notes().selectedID(), c.selectedAfter);
        if (c.selected) {
            EXPECT_EQ(QFileInfo::exists(path(*c.selected)), !c.deletes);
        }
        EXPECT_EQ(notes().renaming().has_value(), c.renamesAfter);
        EXPECT_EQ(notes().editRequest(), editRequests + c.editRequests);
    }
}

TEST_F(NotesViewTest, KeysReachTheTableFromTheListAndCommandReturnGivesTheEditorTheKeys)
{
    putNotes(3);
    show();
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(notes().selectedID(), id("n2"));
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(notes().selectedID(), id("n1"));
    EXPECT_EQ(shown(text()), QStringLiteral("Note 1\nline of note 1"));

    QTest::keyClick(list(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return text()->hasFocus(); }));
    EXPECT_TRUE(view->pane()->editor().isEditable());
}

TEST_F(NotesViewTest, RenamingInPlace)
{
    putNotes(2);
    putNote(QStringLiteral("blank"), QString(), longAgo.addDays(-1));
    show();
    notes().select(id("n1"));
    QTest::keyClick(list(), Qt::Key_Return);
    ASSERT_TRUE(list()->renameField());
    EXPECT_EQ(list()->renameField()->text(), QStringLiteral("Note 1"));
    ASSERT_TRUE(waitForRenameKeys());

    // Keys go to the field, not to the list.
    QTest::keyClick(list()->renameField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(list()->renameField(), QStringLiteral("Groceries"));
    QTest::keyClick(list()->renameField(), Qt::Key_Return);
    EXPECT_EQ(notes().renaming(), std::nullopt);
    EXPECT_EQ(note(QStringLiteral("n1"))->title(), QStringLiteral("Groceries"));
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Groceries\nline of note 1"));
    // The editor shows the new title; the list has the keys back.
    EXPECT_EQ(shown(text()), QStringLiteral("Groceries\nline of note 1"));
    EXPECT_TRUE(waitUntil([&] { return list()->hasFocus(); }));

    // Escape leaves the title as it was.
    QTest::keyClick(list(), Qt::Key_Return);
    ASSERT_TRUE(list()->renameField());
    QTest::keyClicks(list()->renameField(), QStringLiteral(" and more"));
    QTest::keyClick(list()->renameField(), Qt::Key_Escape);
    EXPECT_EQ(notes().renaming(), std::nullopt);
    EXPECT_EQ(note(QStringLiteral("n1"))->title(), QStringLiteral("Groceries"));
    EXPECT_EQ(list()->renameField(), nullptr);

    // A note without a title starts from an empty field.
    notes().select(id("blank"));
    QTest::keyClick(list(), Qt::Key_Return);
    ASSERT_TRUE(list()->renameField());
    EXPECT_EQ(list()->renameField()->text(), QString());
}

TEST_F(NotesViewTest, AClickOnATitleRenamesAndADoubleClickOpens)
{
    putNotes(3);
    show();
    const QRect title = list()->titleRect(QStringLiteral("n1"));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, title.center());
    EXPECT_EQ(notes().selectedID(), id("n1"));
    EXPECT_TRUE(waitUntil([&] { return notes().renaming() == id("n1"); }));
    QTest::keyClick(list()->renameField(), Qt::Key_Escape);

    // The first click of a double click does not rename.
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, list()->titleRect(QStringLiteral("n2")).center());
    EXPECT_TRUE(waitUntil([&] { return text()->hasFocus(); }));
    QTest::qWait(NoteListView::renameDelayMs() + 50);
    EXPECT_EQ(notes().renaming(), std::nullopt);
    EXPECT_EQ(notes().selectedID(), id("n2"));

    // Beside the title a click only selects.
    clickRow(QStringLiteral("n0"));
    EXPECT_EQ(notes().selectedID(), id("n0"));
    QTest::qWait(NoteListView::renameDelayMs() + 50);
    EXPECT_EQ(notes().renaming(), std::nullopt);
}

TEST_F(NotesViewTest, AClickIntoTheNoteEndsARenameAndTheNoteKeepsTheKeys)
{
    putNotes(2);
    show();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->titleRect(QStringLiteral("n1")).center());
    ASSERT_TRUE(waitUntil([&] { return notes().renaming() == id("n1") && list()->renameField(); }));
    ASSERT_TRUE(waitForRenameKeys());
    QTest::keyClicks(list()->renameField(), QStringLiteral(" renamed"));

    // Below the note's last line, in the empty page: the title as typed is kept, and what
    // is typed next goes into the note, not to the list.
    const QPoint below(text()->viewport()->width() / 2, text()->viewport()->height() - 20);
    QTest::mouseClick(text()->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(notes().renaming(), std::nullopt);
    EXPECT_EQ(note(QStringLiteral("n1"))->title(), QStringLiteral("Note 1 renamed"));
    QTest::qWait(50);
    EXPECT_TRUE(text()->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("!"));
    EXPECT_EQ(shown(text()), QStringLiteral("Note 1 renamed\nline of note 1!"));
}

TEST_F(NotesViewTest, TheRowsMenu)
{
    putNotes(3);
    show();
    const auto pick = [&](const QString& id, const QString& item) {
        QMenu* menu = list()->openMenu(list()->rowRect(id).center());
        ASSERT_TRUE(menu);
        QStringList items;
        for (QAction* action : menu->actions())
            items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        EXPECT_EQ(items, (QStringList{"Open", "Rename", "-", "Delete"}));
        // A menu closes before its item runs.
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == item)
                chosen = action;
        }
        ASSERT_TRUE(chosen);
        menu->hide();
        chosen->trigger();
        menu->close();
    };
    pick(QStringLiteral("n1"), QStringLiteral("Rename"));
    EXPECT_EQ(notes().selectedID(), id("n1"));
    EXPECT_EQ(notes().renaming(), id("n1"));
    notes().setRenaming(std::nullopt);

    pick(QStringLiteral("n2"), QStringLiteral("Open"));
    EXPECT_EQ(notes().selectedID(), id("n2"));
    // The window's keys; which window is active after a popup is the desktop's affair.
    EXPECT_TRUE(waitUntil([&] { return view->focusWidget() == text(); }));

    pick(QStringLiteral("n0"), QStringLiteral("Delete"));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("n0"))));
    EXPECT_EQ(visibleIDs(), (QStringList{"n2", "n1"}));
}

TEST_F(NotesViewTest, TheEditorSavesAPauseAfterTheLastKeystrokeAndAtQuit)
{
    putNotes(2);
    show(150ms);
    notes().select(id("n1"));
    typeInEditor(QStringLiteral(" plus"));
    // Keystrokes arrive without the event loop running: no save yet.
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1\nline of note 1"));
    ASSERT_TRUE(waitUntil([&] { return textOnDisk(QStringLiteral("n1")) == QStringLiteral("Note 1\nline of note 1 plus"); }));
    // An edit moves the note's date to now, and so to the top of the list.
    EXPECT_EQ(note(QStringLiteral("n1"))->modified(), h.now());
    EXPECT_EQ(visibleIDs(), (QStringList{"n1", "n0"}));

    // Quitting runs the model's flush, which stores what waits for its pause.
    typeInEditor(QStringLiteral(", quit"));
    ASSERT_TRUE(notes().flushEditor());
    notes().flushEditor()();
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1\nline of note 1 plus, quit"));

    // So does moving to another note, and bringing back a deleted one.
    typeInEditor(QStringLiteral(", moved"));
    notes().select(id("n0"));
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1\nline of note 1 plus, quit, moved"));
    notes().deleteNote(QStringLiteral("n0"));
    notes().select(id("n1"));
    typeInEditor(QStringLiteral(", undone"));
    notes().undo();
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1\nline of note 1 plus, quit, moved, undone"));
    EXPECT_EQ(notes().selectedID(), id("n0"));
    EXPECT_EQ(shown(text()), QStringLiteral("Note 0\nline of note 0"));

    // Off screen the pane no longer answers the flush; it saved on its way out.
    typeInEditor(QStringLiteral(", gone"));
    view->hide();
    EXPECT_FALSE(notes().flushEditor());
    EXPECT_EQ(textOnDisk(QStringLiteral("n0")), QStringLiteral("Note 0\nline of note 0, gone"));
}

TEST_F(NotesViewTest, ADeletedNoteNeverComesBackFromALateSave)
{
    putNotes(2);
    show(1h);
    notes().select(id("n1"));
    typeInEditor(QStringLiteral(" last words"));
    const std::shared_ptr<Note> doomed = note(QStringLiteral("n1"));
    clickRow(QStringLiteral("n1"));
    QTest::keyClick(list(), Qt::Key_Backspace);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("n1"))));

    // Whatever saves after the delete, the pane's or anyone's, writes no file for it.
    view->pane()->saveNow();
    notes().edited(doomed, true);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("n1"))));
    EXPECT_EQ(visibleIDs(), (QStringList{"n0"}));

    // The words typed before the delete went to the trash with it and come back.
    notes().undo();
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1\nline of note 1 last words"));
}

TEST_F(NotesViewTest, FoldingASectionSavesTheFoldButKeepsTheDate)
{
    auto textWithHeading = noteText({{QStringLiteral("Trip")}, {QStringLiteral("Packing"), 21}, {QStringLiteral("socks")}});
    putNoteFile(QStringLiteral("trip"), RichText::encode(*textWithHeading, {0}, {}, std::nullopt), longAgo);
    show();
    notes().select(id("trip"));
    const QDateTime before = note(QStringLiteral("trip"))->modified();
    ASSERT_EQ(text()->chevrons().size(), 1);

    const QPoint chevron = text()->chevrons().first().rect.center();
    QWidget* target = text()->childAt(chevron);
    ASSERT_TRUE(target);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(text(), chevron));
    ASSERT_EQ(text()->collapsedOrdinals(), QList<int>{0});
    ASSERT_TRUE(waitUntil([&] { return note(QStringLiteral("trip"))->collapsedSections() == QList<int>{0}; }));
    EXPECT_EQ(note(QStringLiteral("trip"))->modified(), before);
    QFile f(path(QStringLiteral("trip")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto decoded = RichText::decode(f.readAll());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->collapsed, QList<int>{0});
}

TEST_F(NotesViewTest, SpellingMarksNeverMoveTheDateOrTouchTheFile)
{
    WordList words({{QStringLiteral("en"), {QStringLiteral("a"), QStringLiteral("note")}}});
    SharedSpelling spelling(words);
    putNote(QStringLiteral("typos"), QStringLiteral("a note with typoes\nand mroe"), longAgo);
    const QByteArray onDisk = [&] {
        QFile f(path(QStringLiteral("typos")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    show(30ms);
    notes().select(id("typos"));
    QCoreApplication::processEvents();
    text()->spelling()->checkAll();
    ASSERT_FALSE(text()->spelling()->marks(text()->document()->firstBlock()).isEmpty());
    // A word learned redraws the marks of the note on screen.
    words.learn(QStringLiteral("typoes"), 0);
    QTest::qWait(120);
    view->pane()->saveNow();
    EXPECT_EQ(note(QStringLiteral("typos"))->modified(), longAgo);
    QFile f(path(QStringLiteral("typos")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), onDisk);
    EXPECT_EQ(QFileInfo(f).lastModified().toUTC(), longAgo);
}

TEST_F(NotesViewTest, SearchNarrowsTheListAndHandsTheKeysBack)
{
    putNote(QStringLiteral("milk"), QStringLiteral("Milk run\noat and soy"), longAgo);
    putNote(QStringLiteral("rent"), QStringLiteral("Rent\npay on the first"), longAgo.addSecs(60));
    putNote(QStringLiteral("more"), QStringLiteral("More milk\nfor the cat"), longAgo.addSecs(120));
    show();

    // The toolbar's search on the notes screen asks for the field.
    notes().requestSearch();
    ASSERT_TRUE(waitUntil([&] { return view->list()->searchField()->hasFocus(); }));
    QTest::keyClicks(view->list()->searchField(), QStringLiteral("milk"));
    EXPECT_EQ(notes().query(), QStringLiteral("milk"));
    EXPECT_EQ(visibleIDs(), (QStringList{"more", "milk"}));
    QTest::keyClick(view->list()->searchField(), Qt::Key_Return);
    EXPECT_EQ(notes().selectedID(), id("more"));
    EXPECT_TRUE(waitUntil([&] { return list()->hasFocus(); }));

    view->list()->searchField()->setFocus();
    QTest::keyClicks(view->list()->searchField(), QStringLiteral("shake"));
    EXPECT_TRUE(visibleIDs().isEmpty());
    const QModelIndex first = list()->listModel()->index(0);
    EXPECT_EQ(first.data().toString(), QStringLiteral("Nothing. Maybe you never wrote it."));
    QTest::keyClick(view->list()->searchField(), Qt::Key_Return);
    EXPECT_EQ(notes().selectedID(), std::nullopt);

    view->list()->searchField()->setFocus();
    QTest::keyClick(view->list()->searchField(), Qt::Key_Escape);
    EXPECT_EQ(notes().query(), QString());
    EXPECT_EQ(view->list()->searchField()->text(), QString());
    EXPECT_EQ(visibleIDs().size(), 3);
    EXPECT_TRUE(waitUntil([&] { return list()->hasFocus(); }));
}

TEST_F(NotesViewTest, EmptyStatesAndWhereClicksMakeANewNote)
{
    show();
    EXPECT_EQ(list()->listModel()->index(0).data().toString(), QStringLiteral("nothing here. suspicious."));
    // With nothing selected the editor takes no typing, and its cover makes a note.
    EXPECT_TRUE(view->pane()->emptyState()->isVisible());
    EXPECT_FALSE(view->pane()->formatButton()->isVisible());
    EXPECT_FALSE(view->pane()->editor().isEditable());
    QTest::mouseClick(view->pane()->emptyState(), Qt::LeftButton);
    ASSERT_EQ(notes().notes().size(), 1);
    EXPECT_TRUE(notes().selected());
    EXPECT_FALSE(view->pane()->emptyState()->isVisible());
    EXPECT_TRUE(view->pane()->formatButton()->isVisible());
    EXPECT_TRUE(waitUntil([&] { return text()->hasFocus(); }));

    // Below the last row: a single click gives the list the keys, a double click makes
    // a note.
    const QRect last = list()->rowRect(notes().notes().first()->id());
    const QPoint below(last.center().x(), last.bottom() + 40);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, below);
    EXPECT_TRUE(list()->hasFocus());
    EXPECT_EQ(notes().notes().size(), 1);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(notes().notes().size(), 2);

    // The plus makes one too.
    QTest::mouseClick(view->list()->newNoteButton(), Qt::LeftButton);
    EXPECT_EQ(notes().notes().size(), 3);
    EXPECT_EQ(view->list()->newNoteButton()->toolTip(),
              QStringLiteral("New note ") + QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText));
}

TEST_F(NotesViewTest, AThousandNotesScrollAsRowsOfOneList)
{
    putNotes(1000);
    show();
    // A thousand notes under the sanitizers on a busy machine take seconds to read:
    // a generous bound, since only the load's end matters here.
    ASSERT_TRUE(waitUntil([&] { return !notes().isLoading(); }, 30000));
    ASSERT_EQ(visibleIDs().size(), 1000);
    // One list paints every row: no widget per note.
    EXPECT_LT(list()->viewport()->findChildren<QWidget*>().size(), 5);

    // The oldest note sits at the bottom; selecting it scrolls there.
    notes().select(id("n0"));
    const QRect row = list()->rowRect(QStringLiteral("n0"));
    EXPECT_TRUE(list()->viewport()->rect().contains(row)) << row.y();
    EXPECT_GT(list()->verticalScrollBar()->value(), 0);

    // Arrow keys walk the list, the view keeps up.
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(list(), Qt::Key_Up);
    EXPECT_EQ(notes().selectedID(), id("n5"));
    EXPECT_TRUE(list()->viewport()->rect().contains(list()->rowRect(QStringLiteral("n5"))));

    // A save re-sorts the list without losing the place.
    const int scrolled = list()->verticalScrollBar()->value();
    notes().edited(note(QStringLiteral("n500")), true);
    EXPECT_EQ(visibleIDs().first(), QStringLiteral("n500"));
    EXPECT_EQ(list()->verticalScrollBar()->value(), scrolled);

    // Scrolled to the top and drawn there.
    list()->verticalScrollBar()->setValue(0);
    const QImage image = list()->viewport()->grab().toImage();
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(list()->indexAt(QPoint(20, 20)).row(), 0);
    EXPECT_EQ(list()->listModel()->note(0)->id(), QStringLiteral("n500"));
}

TEST_F(NotesViewTest, ALargeFolderShowsItsNewestNotesFirstAndTheRestAsTheyAreRead)
{
    putNotes(120);
    h.start();
    notes().setStepBudget({10, {}});
    h.model().setMode(Mode::Notes);
    view = std::make_unique<NotesView>(h.model(), nullptr, 60ms);
    view->resize(1100, 640);
    view->show();
    notes().select(id("n119"));
    QSignalSpy resets(list()->listModel(), &QAbstractItemModel::modelReset);

    QList<qsizetype> rows;
    while (notes().isLoading() && rows.size() < 1000) {
        rows.append(visibleIDs().size());
        ASSERT_EQ(visibleIDs().first(), QStringLiteral("n119"));
        ASSERT_EQ(notes().selectedID(), id("n119"));
        QCoreApplication::processEvents();
    }
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.first(), 10) << "the first screenful, before the rest is read";
    EXPECT_TRUE(std::is_sorted(rows.cbegin(), rows.cend()));
    EXPECT_EQ(visibleIDs().size(), 120);
    EXPECT_EQ(visibleIDs().last(), QStringLiteral("n0"));
    EXPECT_EQ(resets.count(), 0) << "rows came one run at a time";
    EXPECT_EQ(view->pane()->shown(), note(QStringLiteral("n119")));
}

TEST_F(NotesViewTest, AReReadAfterAChangeElsewhereLeavesTheOpenNoteAndItsTypingAlone)
{
    putNotes(5);
    show();
    clickRow(QStringLiteral("n2"));
    typeInEditor(QStringLiteral(" and more"));
    const auto shownNote = view->pane()->shown();
    const int caret = text()->textCursor().position();
    QSignalSpy resets(list()->listModel(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(list()->listModel(), &QAbstractItemModel::rowsRemoved);

    putNote(QStringLiteral("n4"), QStringLiteral("Note 4, changed elsewhere"), longAgo.addDays(1));
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("n0"))));
    h.model().refresh(QDateTime::currentDateTime());
    ASSERT_TRUE(waitUntil([&] { return !notes().isLoading(); }));

    // What was typed was stored before the folder was read: the note is the newest.
    EXPECT_EQ(visibleIDs(), (QStringList{"n2", "n4", "n3", "n1"}));
    EXPECT_EQ(notes().selectedID(), id("n2"));
    EXPECT_EQ(view->pane()->shown(), shownNote);
    EXPECT_EQ(text()->textCursor().position(), caret);
    EXPECT_EQ(shown(text()), QStringLiteral("Note 2\nline of note 2 and more"));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(textOnDisk(QStringLiteral("n2")), QStringLiteral("Note 2\nline of note 2 and more"));
}

TEST_F(NotesViewTest, ANoteTooLongToOpenIsListedAndShownReadOnlySayingSo)
{
    putNotes(2);
    QByteArray lines = "{\\rtf1\\ansi Packing list\\par socks\\par ";
    for (int i = 0; i < 60'000; ++i)
        lines += "item\\par ";
    lines += "}";
    putNoteFile(QStringLiteral("long"), lines, longAgo.addDays(1));
    show();
    ASSERT_TRUE(waitUntil([&] { return !notes().isLoading(); }));
    ASSERT_EQ(visibleIDs(), (QStringList{"long", "n1", "n0"}));
    EXPECT_EQ(list()->listModel()->data(list()->listModel()->index(0), Qt::DisplayRole).toString(),
              QStringLiteral("Packing list"));

    clickRow(QStringLiteral("long"));
    EXPECT_EQ(view->pane()->shown(), note(QStringLiteral("long")));
    EXPECT_TRUE(view->pane()->cutShortNotice()->isVisible());
    EXPECT_EQ(view->pane()->cutShortNotice()->text(), NotesEditorPane::cutShortText());
    EXPECT_TRUE(text()->isReadOnly());
    EXPECT_FALSE(view->pane()->formatButton()->isVisible());
    typeInEditor(QStringLiteral("typed"));
    view->pane()->saveNow();
    QFile file(path(QStringLiteral("long")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), lines);

    clickRow(QStringLiteral("n1"));
    EXPECT_FALSE(view->pane()->cutShortNotice()->isVisible());
    EXPECT_FALSE(text()->isReadOnly());
}
