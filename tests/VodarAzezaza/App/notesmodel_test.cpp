#include "notesmodel.h"

#include "NotesEditor/support/owntrash.h"
#include "richtext.h"
#include "textdocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <cstdio>

#include <unistd.h>

namespace {

const QDateTime longAgo(QDate(2020, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
const QDateTime editTime(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc());

// A notes folder of notes "n0" … "n<count-1>" titled "Note 0" …, changed in that
// order, so the list shows them newest first, and a model over it.
class NotesModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useOwnTrash();
        folder = root.filePath(QStringLiteral("Notes"));
        QDir().mkpath(folder);
    }

    void putNote(const QString& id, const QString& text, const QDateTime& modified) const
    {
        QFile f(folder + u'/' + id + QStringLiteral(".rtf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(RichText::encode(*RichText::plain(text), {}, {}, std::nullopt));
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    void putNotes(int count) const
    {
        for (int i = 0; i < count; ++i)
            putNote(QStringLiteral("n%1").arg(i), QStringLiteral("Note %1").arg(i), longAgo.addSecs(60 * i));
    }
    std::unique_ptr<NotesModel> makeModel()
    {
        auto model = std::make_unique<NotesModel>(folder, [] { return editTime; });
        model->setFlushEditor([this] { ++flushes; });
        model->setToast([this](const QString& text) { toasts.append(text); });
        return model;
    }
    QString textOnDisk(const QString& id) const
    {
        QFile f(folder + u'/' + id + QStringLiteral(".rtf"));
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        const auto decoded = RichText::decode(f.readAll());
        return decoded ? pemby::documentText(*decoded->text) : QStringLiteral("<not a note file>");
    }
    // Puts a file where the folder was, so that nothing can be written into it.
    void blockFolder() const
    {
        ASSERT_TRUE(QDir(folder).removeRecursively());
        QFile f(folder);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    static QStringList ids(const QList<std::shared_ptr<Note>>& notes)
    {
        QStringList out;
        for (const auto& note : notes)
            out.append(note->id());
        return out;
    }

    QTemporaryDir root;
    QString folder;
    int flushes = 0;
    QStringList toasts;
};

std::optional<QString> id(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

TEST_F(NotesModelTest, ReloadsOnlyWhenTheFolderChanged)
{
    putNotes(3);
    auto model = makeModel();
    QSignalSpy revisions(model.get(), &NotesModel::revisionChanged);
    QSignalSpy diskRevisions(model.get(), &NotesModel::diskRevisionChanged);
    QSignalSpy notes(model.get(), &NotesModel::notesChanged);

    model->reload();
    EXPECT_EQ(ids(model->notes()), (QStringList{"n2", "n1", "n0"}));
    EXPECT_EQ(model->revision(), 1);
    EXPECT_EQ(model->diskRevision(), 1);
    EXPECT_EQ(flushes, 1);

    // The first load wrote board.json; that is the model's own doing.
    model->reload();
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(diskRevisions.count(), 1);
    EXPECT_EQ(notes.count(), 1);
    EXPECT_EQ(flushes, 1);

    putNote(QStringLiteral("n3"), QStringLiteral("from the other app"), longAgo.addDays(1));
    model->reload();
    EXPECT_EQ(ids(model->notes()), (QStringList{"n3", "n2", "n1", "n0"}));
    EXPECT_EQ(model->revision(), 2);
    EXPECT_EQ(model->diskRevision(), 2);
    EXPECT_EQ(flushes, 2);
}

TEST_F(NotesModelTest, AReloadDropsASelectionOrRenameWhoseNoteIsGone)
{
    putNotes(2);
    auto model = makeModel();
    model->reload();
    model->select(id("n1"));
    model->setRenaming(id("n1"));
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/n1.rtf")));
    model->reload();
    EXPECT_EQ(model->selectedID(), std::nullopt);
    EXPECT_EQ(model->renaming(), std::nullopt);
    EXPECT_EQ(model->selected(), nullptr);
}

TEST_F(NotesModelTest, SelectFlushesOnlyOnAChange)
{
    putNotes(2);
    auto model = makeModel();
    model->reload();
    QSignalSpy selections(model.get(), &NotesModel::selectedIDChanged);
    model->select(id("n0"));
    model->setRenaming(id("n1"));
    model->select(id("n0"));
    EXPECT_EQ(flushes, 2);
    EXPECT_EQ(selections.count(), 1);
    EXPECT_EQ(model->renaming(), id("n1"));
    model->select(std::nullopt);
    EXPECT_EQ(flushes, 3);
    EXPECT_EQ(model->renaming(), std::nullopt);
    model->select(std::nullopt);
    EXPECT_EQ(flushes, 3);
}

TEST_F(NotesModelTest, PropertiesSignalOnlyWhenTheirValueChanges)
{
    auto model = makeModel();
    QSignalSpy queries(model.get(), &NotesModel::queryChanged);
    QSignalSpy renamings(model.get(), &NotesModel::renamingChanged);
    model->setQuery(QStringLiteral("x"));
    model->setQuery(QStringLiteral("x"));
    model->setRenaming(id("a"));
    model->setRenaming(id("a"));
    model->setRenaming(std::nullopt);
    EXPECT_EQ(queries.count(), 1);
    EXPECT_EQ(renamings.count(), 2);

    QSignalSpy searches(model.get(), &NotesModel::searchRequestChanged);
    model->requestSearch();
    model->requestSearch();
    EXPECT_EQ(model->searchRequest(), 2);
    EXPECT_EQ(searches.count(), 2);
}

TEST_F(NotesModelTest, SearchFoldsAndTrimsTheQuery)
{
    putNote(QStringLiteral("a"), QStringLiteral("Lunch at the CAF\u00C9"), longAgo);
    putNote(QStringLiteral("b"), QStringLiteral("Groceries"), longAgo.addSecs(60));
    auto model = makeModel();
    model->reload();
    model->setQuery(QStringLiteral("  \n "));
    EXPECT_EQ(ids(model->visible()), (QStringList{"b", "a"}));
    model->setQuery(QStringLiteral(" cafe "));
    EXPECT_EQ(ids(model->visible()), QStringList{"a"});
    model->setQuery(QStringLiteral("nothing like it"));
    EXPECT_TRUE(model->visible().isEmpty());
}

TEST_F(NotesModelTest, MoveSelectionWithinTheVisibleNotes)
{
    putNotes(3);  // shown n2, n1, n0
    auto model = makeModel();
    model->moveSelection(1);
    EXPECT_EQ(model->selectedID(), std::nullopt);  // nothing visible yet

    model->reload();
    model->moveSelection(1);
    EXPECT_EQ(model->selectedID(), id("n2"));
    model->moveSelection(-1);
    EXPECT_EQ(model->selectedID(), id("n2"));
    model->moveSelection(5);
    EXPECT_EQ(model->selectedID(), id("n0"));
    model->moveSelection(-1);
    EXPECT_EQ(model->selectedID(), id("n1"));

    // A selection the search hides counts as none.
    model->setQuery(QStringLiteral("Note 0"));
    model->moveSelection(-1);
    EXPECT_EQ(model->selectedID(), id("n0"));
}

TEST_F(NotesModelTest, DeletingMovesTheSelectionToTheNoteNowInItsPlace)
{
    const struct {
        const char* name;
        int notes;
        QString query;
        std::optional<QString> selected;
        QString deleted;
        std::optional<QString> after;
        int flushes;
    } cases[] = {
        {"the selected note in the middle", 3, "", id("n1"), "n1", id("n0"), 1},
        {"the selected last visible note", 3, "", id("n0"), "n0", id("n1"), 1},
        {"the only note", 1, "", id("n0"), "n0", std::nullopt, 1},
        {"a note that is not selected", 3, "", id("n2"), "n1", id("n2"), 0},
        {"the selected note, hidden by the search", 3, "Note 2", id("n1"), "n1", std::nullopt, 1},
        {"the last note the search shows", 3, "Note", id("n0"), "n0", id("n1"), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            QFile::remove(folder + u'/' + name);
        putNotes(c.notes);
        auto model = makeModel();
        model->reload();
        model->setQuery(c.query);
        model->select(c.selected);
        flushes = 0;
        toasts.clear();
        const int revision = model->revision();

        model->deleteNote(c.deleted);
        EXPECT_EQ(model->selectedID(), c.after);
        EXPECT_EQ(flushes, c.flushes);
        EXPECT_FALSE(ids(model->notes()).contains(c.deleted));
        EXPECT_FALSE(QFileInfo::exists(folder + u'/' + c.deleted + QStringLiteral(".rtf")));
        EXPECT_EQ(model->revision(), revision + 1);
        const QString undo = QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText);
        EXPECT_EQ(toasts, QStringList{QStringLiteral("In the Trash. %1 if that was a mistake.").arg(undo)});
    }
}

TEST_F(NotesModelTest, UndoBringsTheNoteBack)
{
    putNotes(3);
    auto model = makeModel();
    model->reload();
    model->select(id("n1"));
    model->deleteNote(QStringLiteral("n1"));
    const int diskRevision = model->diskRevision();

    model->undo();
    EXPECT_EQ(ids(model->notes()), (QStringList{"n2", "n1", "n0"}));
    EXPECT_EQ(model->selectedID(), id("n1"));
    EXPECT_EQ(model->diskRevision(), diskRevision + 1);
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1"));
    EXPECT_EQ(model->saveError(), std::nullopt);

    // Nothing more to bring back.
    const int revision = model->revision();
    model->undo();
    EXPECT_EQ(model->revision(), revision);

    // The model's own writes cause no reload.
    flushes = 0;
    model->reload();
    EXPECT_EQ(flushes, 0);
}

TEST_F(NotesModelTest, ADeleteWhoseFileCannotMoveToTheTrashKeepsTheNote)
{
    putNotes(3);
    auto model = makeModel();
    model->reload();
    model->store().setTrashFile([](const QString&) { return std::nullopt; });
    model->select(id("n1"));

    model->deleteNote(QStringLiteral("n1"));
    EXPECT_EQ(ids(model->notes()), (QStringList{"n2", "n1", "n0"}));
    EXPECT_EQ(model->selectedID(), id("n1"));
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1"));
    EXPECT_EQ(model->saveError(), QStringLiteral("Couldn't move the note to the Trash."));
    EXPECT_TRUE(toasts.isEmpty());

    // Nothing was deleted, so there is nothing to undo.
    const int revision = model->revision();
    model->undo();
    EXPECT_EQ(model->revision(), revision);
}

TEST_F(NotesModelTest, TheFiftyFirstDeleteDropsTheOldestGroup)
{
    putNotes(51);
    auto model = makeModel();
    model->reload();
    for (int i = 0; i < 51; ++i)
        model->deleteNote(QStringLiteral("n%1").arg(i));
    EXPECT_TRUE(model->notes().isEmpty());

    for (int i = 0; i < 51; ++i)
        model->undo();
    EXPECT_EQ(model->notes().size(), 50);
    EXPECT_FALSE(ids(model->notes()).contains(QStringLiteral("n0")));
    EXPECT_EQ(model->selectedID(), id("n1"));
}

TEST_F(NotesModelTest, AFailedUndoIsReportedAndDropped)
{
    putNotes(2);
    auto model = makeModel();
    model->reload();
    model->deleteNote(QStringLiteral("n0"));
    blockFolder();

    model->undo();
    ASSERT_TRUE(model->saveError());
    EXPECT_TRUE(model->saveError()->startsWith(QStringLiteral("Couldn't bring it back: "))) << model->saveError()->toStdString();
    EXPECT_GT(model->saveError()->size(), QStringLiteral("Couldn't bring it back: ").size());
    // The group is gone; there is nothing left to try.
    const int revision = model->revision();
    model->undo();
    EXPECT_EQ(model->revision(), revision);
}

TEST_F(NotesModelTest, EditedSavesTheNoteAndReportsFailures)
{
    putNotes(3);
    auto model = makeModel();
    model->reload();
    const auto note = model->notes().last();  // n0, the oldest
    QSignalSpy errors(model.get(), &NotesModel::saveErrorChanged);

    note->setAttributedText(RichText::plain(QStringLiteral("Rewritten")));
    model->edited(note, true);
    EXPECT_EQ(note->modified(), editTime);
    EXPECT_EQ(model->notes().first(), note);
    EXPECT_EQ(textOnDisk(QStringLiteral("n0")), QStringLiteral("Rewritten"));
    EXPECT_EQ(errors.count(), 0);

    // Only the fold state changed: saved, but the note keeps its date.
    const auto other = model->notes().last();  // n1
    const QDateTime before = other->modified();
    other->setCollapsibleSections({0});
    model->edited(other, false);
    EXPECT_EQ(other->modified(), before);

    blockFolder();
    model->edited(note, true);
    ASSERT_TRUE(model->saveError());
    EXPECT_TRUE(model->saveError()->startsWith(QStringLiteral("Couldn't save to Pemby Notes' folder: ")));
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(model->notes().first(), note);

    ASSERT_TRUE(QFile::remove(folder));
    model->edited(note, true);
    EXPECT_EQ(model->saveError(), std::nullopt);
    EXPECT_EQ(textOnDisk(QStringLiteral("n0")), QStringLiteral("Rewritten"));
}

// Pemby Notes saved the note while it was open here: both versions are kept, and
// the typing goes on in the copy that holds ours.
TEST_F(NotesModelTest, ANoteChangedElsewhereKeepsBothVersions)
{
    putNotes(2);
    auto model = makeModel();
    model->reload();
    model->select(id("n1"));
    const auto note = model->selected();
    putNote(QStringLiteral("n1"), QStringLiteral("Note 1, changed in Pemby Notes"), longAgo.addDays(1));
    const int diskRevision = model->diskRevision();

    note->setAttributedText(RichText::plain(QStringLiteral("Note 1, typed here")));
    model->edited(note, true);
    const QString said = QStringLiteral("Couldn't save to Pemby Notes' folder: \u201CNote 1, typed here\u201D was "
                                        "changed elsewhere; your version is a new note beside it.");
    EXPECT_EQ(model->saveError(), said);
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1, changed in Pemby Notes"));
    EXPECT_EQ(note->text(), QStringLiteral("Note 1, changed in Pemby Notes"));
    ASSERT_TRUE(model->selected());
    EXPECT_NE(model->selectedID(), id("n1"));
    EXPECT_EQ(model->selected()->text(), QStringLiteral("Note 1, typed here"));
    EXPECT_EQ(textOnDisk(*model->selectedID()), QStringLiteral("Note 1, typed here"));
    EXPECT_EQ(model->notes().size(), 3);
    EXPECT_GT(model->diskRevision(), diskRevision);

    // Typing on saves the copy, and the line still says why it is there.
    const auto copy = model->selected();
    copy->setAttributedText(RichText::plain(QStringLiteral("Note 1, typed here and on")));
    model->edited(copy, true);
    EXPECT_EQ(model->saveError(), said);
    EXPECT_EQ(textOnDisk(copy->id()), QStringLiteral("Note 1, typed here and on"));
    // Our own writes are no change from outside.
    const int revision = model->revision();
    model->reload();
    EXPECT_EQ(model->revision(), revision);

    const auto other = model->notes().last();  // n0
    other->setAttributedText(RichText::plain(QStringLiteral("Note 0, edited")));
    model->edited(other, true);
    EXPECT_EQ(model->saveError(), std::nullopt);
}

// The file went unreadable while the note was open here (something else took its
// place): what was typed goes to a new note beside it, and the line says so.
TEST_F(NotesModelTest, ANoteWhoseFileCannotBeReadAtSaveTimeGoesBesideIt)
{
    putNotes(2);
    auto model = makeModel();
    model->reload();
    model->select(QStringLiteral("n1"));
    const auto note = model->selected();
    ASSERT_TRUE(note);
    const QString path = folder + QStringLiteral("/n1.rtf");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));

    note->setAttributedText(RichText::plain(QStringLiteral("Note 1, typed here")));
    model->edited(note, true);
    ASSERT_TRUE(model->saveError());
    const QString said = *model->saveError();
    EXPECT_TRUE(said.startsWith(QStringLiteral("Couldn't save to Pemby Notes' folder: \u201CNote 1, typed here\u201D "
                                               "can't be read (")))
        << said.toStdString();
    EXPECT_TRUE(said.endsWith(QStringLiteral("); your version is a new note beside it."))) << said.toStdString();
    EXPECT_TRUE(QFileInfo(path).isDir()) << "what stands in its place is left alone";
    ASSERT_TRUE(model->selected());
    EXPECT_NE(model->selectedID(), QStringLiteral("n1"));
    EXPECT_EQ(model->selected()->text(), QStringLiteral("Note 1, typed here"));
    EXPECT_EQ(textOnDisk(*model->selectedID()), QStringLiteral("Note 1, typed here"));
    EXPECT_EQ(model->notes().size(), 2) << "the unreadable note leaves the list, the copy joins it";

    // Typing on goes to the copy, and the line still says why it is there.
    const auto copy = model->selected();
    copy->setAttributedText(RichText::plain(QStringLiteral("Note 1, typed here and on")));
    model->edited(copy, true);
    EXPECT_EQ(model->saveError(), said);
    EXPECT_EQ(textOnDisk(copy->id()), QStringLiteral("Note 1, typed here and on"));
}

TEST_F(NotesModelTest, RenameRewritesTheFirstLine)
{
    putNote(QStringLiteral("a"), QStringLiteral("Old title\nbody"), longAgo);
    auto model = makeModel();
    model->reload();
    const auto note = model->notes().first();

    for (const QString& same : {QStringLiteral("Old title"), QStringLiteral("  Old title \n"), QStringLiteral("   "), QString()}) {
        model->setRenaming(id("a"));
        flushes = 0;
        const int diskRevision = model->diskRevision();
        model->rename(QStringLiteral("a"), same);
        EXPECT_EQ(model->renaming(), std::nullopt);
        EXPECT_EQ(flushes, 0);
        EXPECT_EQ(model->diskRevision(), diskRevision);
        EXPECT_EQ(note->version(), 0);
    }

    const int diskRevision = model->diskRevision();
    model->rename(QStringLiteral("a"), QStringLiteral(" New title "));
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(note->text(), QStringLiteral("New title\nbody"));
    EXPECT_EQ(note->modified(), editTime);
    EXPECT_EQ(textOnDisk(QStringLiteral("a")), QStringLiteral("New title\nbody"));
    EXPECT_EQ(model->diskRevision(), diskRevision + 1);

    model->rename(QStringLiteral("missing"), QStringLiteral("Anything"));
    EXPECT_EQ(flushes, 1);
}

TEST_F(NotesModelTest, CreateSelectsANewNoteThatTheNextReloadKeeps)
{
    putNotes(2);
    auto model = makeModel();
    model->setQuery(QStringLiteral("Note 1"));
    QSignalSpy edits(model.get(), &NotesModel::editRequestChanged);

    model->create();
    ASSERT_EQ(model->notes().size(), 3);
    const auto created = model->notes().first();
    EXPECT_TRUE(created->isEmpty());
    EXPECT_EQ(model->selectedID(), created->id());
    EXPECT_EQ(model->selected(), created);
    EXPECT_EQ(model->query(), QString());
    EXPECT_EQ(model->editRequest(), 1);
    EXPECT_EQ(edits.count(), 1);
    EXPECT_EQ(model->revision(), 2);  // the reload, then the new note

    // Creating wrote the board, but that is no change from outside: the new note,
    // which has no file yet, stays.
    model->reload();
    EXPECT_EQ(model->notes().first(), created);
    EXPECT_EQ(model->selectedID(), created->id());
    EXPECT_EQ(model->revision(), 2);
}

TEST(NotesModel, TheSiblingAppsFolder)
{
    qputenv("PEMBY_NOTES_APP_DIR", "/somewhere/Notes");
    EXPECT_EQ(NotesModel::pembyNotesFolder(), QStringLiteral("/somewhere/Notes"));
    qunsetenv("PEMBY_NOTES_APP_DIR");
    EXPECT_EQ(NotesModel::pembyNotesFolder(), NoteStore::defaultDirectory());
    EXPECT_TRUE(NoteStore::defaultDirectory().endsWith(QStringLiteral("/Notes")));
}

TEST_F(NotesModelTest, AReadInStepsShowsTheNewestFirstAndEndsWithWhatTheFolderHoldsThen)
{
    putNotes(10);
    auto model = makeModel();
    model->setStepBudget({3, {}});
    model->reloadInSteps();
    ASSERT_TRUE(model->isLoading());
    EXPECT_EQ(ids(model->notes()), (QStringList{"n9", "n8", "n7"}));
    model->select(id("n9"));

    // Changed outside while the read goes on: a note read already, one not reached
    // yet, one gone, one new.
    putNote(QStringLiteral("n8"), QStringLiteral("Note 8, changed"), longAgo.addDays(2));
    putNote(QStringLiteral("n2"), QStringLiteral("Note 2, changed"), longAgo.addDays(1));
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/n5.rtf")));
    putNote(QStringLiteral("n10"), QStringLiteral("Note 10"), longAgo.addDays(3));

    QList<qsizetype> rows;
    for (int turn = 0; turn < 100 && (model->isLoading() || model->notes().size() != 10); ++turn) {
        rows.append(model->notes().size());
        EXPECT_EQ(model->selectedID(), id("n9"));
        QCoreApplication::processEvents();
    }
    EXPECT_GE(rows.size(), 3) << "the rows came in turns";
    EXPECT_TRUE(std::is_sorted(rows.cbegin(), rows.cend())) << "and none went away meanwhile";
    EXPECT_FALSE(model->isLoading());
    EXPECT_EQ(ids(model->notes()), (QStringList{"n10", "n8", "n2", "n9", "n7", "n6", "n4", "n3", "n1", "n0"}));
    for (const char* changed : {"n8", "n2"}) {
        const auto it = std::find_if(model->notes().cbegin(), model->notes().cend(),
                                     [&](const auto& n) { return n->id() == QLatin1String(changed); });
        EXPECT_TRUE((*it)->text().endsWith(QStringLiteral(", changed"))) << changed;
    }
    EXPECT_EQ(model->selectedID(), id("n9"));
}

TEST_F(NotesModelTest, AnEditDuringAReadInStepsMeetsTheChangeElsewhereAndKeepsBoth)
{
    putNotes(6);
    auto model = makeModel();
    model->reload();
    model->select(id("n1"));
    const auto note = model->selected();

    // The sibling app saves the note; the next read has not reached it when the
    // editor stores what was typed into it.
    putNote(QStringLiteral("n1"), QStringLiteral("Note 1, changed in Pemby Notes"), longAgo.addSecs(60));
    putNote(QStringLiteral("n4"), QStringLiteral("Note 4, changed"), longAgo.addDays(1));
    model->setStepBudget({1, {}});
    model->reloadInSteps();
    ASSERT_TRUE(model->isLoading());
    note->setAttributedText(RichText::plain(QStringLiteral("Note 1, typed here")));
    model->edited(note, true);

    EXPECT_FALSE(model->isLoading());
    EXPECT_EQ(textOnDisk(QStringLiteral("n1")), QStringLiteral("Note 1, changed in Pemby Notes"));
    ASSERT_TRUE(model->selected());
    EXPECT_EQ(model->selected()->text(), QStringLiteral("Note 1, typed here"));
    EXPECT_EQ(textOnDisk(*model->selectedID()), QStringLiteral("Note 1, typed here"));
    EXPECT_EQ(model->notes().size(), 7);
    EXPECT_TRUE(model->saveError().value_or(QString()).contains(QStringLiteral("changed elsewhere")));
}

TEST_F(NotesModelTest, ANoteTooLongToReadWholeIsListedButNeverRenamed)
{
    putNotes(1);
    QByteArray lines = "{\\rtf1\\ansi Packing list\\par ";
    for (int i = 0; i < 60'000; ++i)
        lines += "item\\par ";
    QFile f(folder + QStringLiteral("/long.rtf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines + "}");
    f.close();
    auto model = makeModel();
    model->reload();
    ASSERT_EQ(ids(model->notes()), (QStringList{"long", "n0"}));
    const auto note = model->notes().first();
    EXPECT_TRUE(note->isCutShort());
    EXPECT_EQ(note->title(), QStringLiteral("Packing list"));

    model->rename(QStringLiteral("long"), QStringLiteral("Unpacking list"));
    EXPECT_EQ(note->title(), QStringLiteral("Packing list"));
    EXPECT_EQ(model->saveError(), QStringLiteral("Couldn't save to Pemby Notes' folder: \u201CPacking list\u201D is too "
                                                 "long to edit here, so its file was left as it is."));
    EXPECT_EQ(flushes, 1);
    QFile again(folder + QStringLiteral("/long.rtf"));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), lines + "}");
}

// A save here takes only its own file as seen: a note another app changed meanwhile
// is still read at the next look, not hidden until something else changes.
TEST_F(NotesModelTest, ASaveHereLeavesANoteChangedElsewhereToTheNextReload)
{
    putNotes(3);
    auto model = makeModel();
    model->reload();
    const auto mine = model->notes().last();  // n0

    putNote(QStringLiteral("n1"), QStringLiteral("Changed by the other app, longer"), longAgo.addDays(2));
    mine->setAttributedText(RichText::plain(QStringLiteral("Typed here")));
    model->edited(mine, true);
    EXPECT_EQ(textOnDisk(QStringLiteral("n0")), QStringLiteral("Typed here"));

    model->reload();
    ASSERT_EQ(ids(model->notes()), (QStringList{"n0", "n1", "n2"}));
    EXPECT_EQ(model->notes().first(), mine);
    EXPECT_EQ(pemby::documentText(model->notes()[1]->attributedText()),
              QStringLiteral("Changed by the other app, longer"));
}

// The look for outside changes lists only what the kernel says changed, and still
// sees every change: a write that keeps the size and the time, the other app's save
// renamed over the note, a new note, a deleted one, a change through another name of
// the file, one made while the folder was moved away, a link put in a note's place;
// and after each, the changes that follow.
TEST_F(NotesModelTest, EveryOutsideChangeIsSeenAtTheNextReload)
{
    const QString n1 = QStringLiteral("n1.rtf");
    const auto encoded = [](const char* text) { return RichText::encode(*RichText::plain(QString::fromUtf8(text)), {}, {}, std::nullopt); };
    const auto writeAt = [&](const QString& path, const char* text, const QDateTime& modified) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(encoded(text));
        ASSERT_TRUE(f.flush());
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    };
    const QDateTime n1Time = longAgo.addSecs(60);
    const struct {
        const char* name;
        std::function<void(const QString& elsewhere)> change;
        QStringList titles;
        QStringList skipped;
    } cases[] = {
        {"same size, same time", [&](const QString&) { writeAt(folder + u'/' + n1, "Note X", n1Time); },
         {"Note 2", "Note X", "Note 0"}, {}},
        {"renamed over",
         [&](const QString&) {
             writeAt(folder + QStringLiteral("/.n1.tmp"), "Renamed in", n1Time);
             ASSERT_EQ(::rename(QFile::encodeName(folder + QStringLiteral("/.n1.tmp")).constData(),
                                QFile::encodeName(folder + u'/' + n1).constData()),
                       0);
         },
         {"Note 2", "Renamed in", "Note 0"}, {}},
        {"a new note", [&](const QString&) { putNote(QStringLiteral("n3"), QStringLiteral("Note 3"), longAgo.addSecs(180)); },
         {"Note 3", "Note 2", "Note 1", "Note 0"}, {}},
        {"deleted", [&](const QString&) { ASSERT_TRUE(QFile::remove(folder + u'/' + n1)); }, {"Note 2", "Note 0"}, {}},
        {"through another name elsewhere", [&](const QString& elsewhere) { writeAt(elsewhere, "Through the link", n1Time); },
         {"Note 2", "Through the link", "Note 0"}, {}},
        {"while the folder was away",
         [&](const QString&) {
             const QString away = folder + QStringLiteral(" away");
             ASSERT_TRUE(QDir().rename(folder, away));
             writeAt(away + u'/' + n1, "Changed while away", n1Time);
             ASSERT_TRUE(QDir().rename(away, folder));
         },
         {"Note 2", "Changed while away", "Note 0"}, {}},
        {"a link in its place",
         [&](const QString& elsewhere) {
             ASSERT_TRUE(QFile::remove(folder + u'/' + n1));
             ASSERT_TRUE(QFile::link(elsewhere, folder + u'/' + n1));
         },
         {"Note 2", "Note 0"}, {"n1.rtf"}},
    };
    for (const bool inSteps : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (inSteps ? ", in steps" : ""));
            ASSERT_TRUE(QDir(folder).removeRecursively());
            ASSERT_TRUE(QDir().mkpath(folder));
            putNotes(3);
            QTemporaryDir other;
            const QString elsewhere = other.filePath(n1);
            ASSERT_EQ(::link(QFile::encodeName(folder + u'/' + n1).constData(), QFile::encodeName(elsewhere).constData()), 0);
            auto model = makeModel();
            model->reload();
            ASSERT_EQ(model->notes().size(), 3);
            c.change(elsewhere);
            if (inSteps)
                model->reloadInSteps();
            else
                model->reload();
            ASSERT_FALSE(model->isLoading());
            QStringList titles;
            for (const auto& note : model->notes())
                titles.append(note->title());
            EXPECT_EQ(titles, c.titles);
            EXPECT_EQ(model->skippedFiles(), c.skipped);

            // And the changes after it, each at the next reload.
            for (const char* text : {"Note 2, again", "Note 2, once more", "Note 2, at last"}) {
                writeAt(folder + QStringLiteral("/n2.rtf"), text, longAgo.addDays(1));
                if (inSteps)
                    model->reloadInSteps();
                else
                    model->reload();
                ASSERT_FALSE(model->isLoading());
                EXPECT_EQ(model->notes().first()->title(), QString::fromUtf8(text));
                EXPECT_EQ(model->notes().size(), c.titles.size());
            }
        }
    }
}

// Once the folder's files are old enough to be trusted by their looks, each outside
// change in turn costs a read of that note alone, and the list is what a fresh read
// of the folder gives, whichever way the note's date moved it.
TEST_F(NotesModelTest, EachOutsideChangeInTurnReadsThatNoteAlone)
{
    putNotes(5);
    makeModel()->reload();  // the board the first read writes
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    auto model = makeModel();
    model->reload();
    const int reads = model->store().filesRead();
    const struct {
        const char* id;
        const char* text;
        int minutes;
    } changes[] = {
        {"n1", "Note 1, to the top", 10}, {"n1", "Note 1, changed again", 11}, {"n3", "Note 3, to the bottom", -1},
        {"n0", "Note 0, beside note 4", 4}, {"n1", "Note 1, in the middle", 2},
    };
    for (qsizetype i = 0; i < qsizetype(std::size(changes)); ++i) {
        const auto& change = changes[i];
        SCOPED_TRACE(change.text);
        putNote(QString::fromLatin1(change.id), QString::fromLatin1(change.text), longAgo.addSecs(60 * change.minutes));
        model->reload();
        EXPECT_EQ(model->store().filesRead(), reads + i + 1);
        auto fresh = makeModel();
        fresh->reload();
        EXPECT_EQ(ids(model->notes()), ids(fresh->notes()));
        EXPECT_EQ(model->store().manualOrder(), fresh->store().manualOrder());
        for (qsizetype k = 0; k < fresh->notes().size() && k < model->notes().size(); ++k)
            EXPECT_EQ(model->notes()[k]->title(), fresh->notes()[k]->title());
    }
}
