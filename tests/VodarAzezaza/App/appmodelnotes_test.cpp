#include "appmodel.h"
#include "modelharness.h"
#include "notesmodel.h"

#include "NotesEditor/support/owntrash.h"
#include "richtext.h"

#include <QDir>
#include <QFile>
#include <QKeySequence>

#include <gtest/gtest.h>

namespace {

void putNote(const ModelHarness& h, const QString& id, const QString& text)
{
    QDir().mkpath(h.notesAppFolder());
    QFile file(h.notesAppFolder() + "/" + id + ".rtf");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(RichText::encode(*RichText::plain(text), {}, {}, std::nullopt));
}

} // namespace

TEST(AppModelNotes, TheNotesScreenReadsTheFolderWhenShownAndOnRefresh)
{
    useOwnTrash();
    ModelHarness h;
    AppModel& m = h.start();
    m.setMode(Mode::Notes);
    EXPECT_EQ(m.title(), "notes");
    EXPECT_EQ(m.subtitle(), "nothing written down. suspicious.");

    putNote(h, "n1", "shopping");
    m.refresh(h.now());
    EXPECT_EQ(m.subtitle(), "1 note, shared with Pemby Notes.");

    // On the boards a refresh leaves the notes alone; showing them reads them.
    m.setMode(Mode::Week);
    putNote(h, "n2", "books");
    putNote(h, "n3", "films");
    m.refresh(h.now());
    EXPECT_EQ(m.notes().notes().size(), 1);
    m.setMode(Mode::Notes);
    EXPECT_EQ(m.subtitle(), "3 notes, shared with Pemby Notes.");
}

TEST(AppModelNotes, TheNotesToastsAndSaveErrorsShowInTheModel)
{
    useOwnTrash();
    ModelHarness h;
    putNote(h, "n1", "shopping");
    putNote(h, "n2", "books");
    AppModel& m = h.start();
    m.setMode(Mode::Notes);
    ASSERT_EQ(m.notes().notes().size(), 2);

    m.notes().deleteNote("n1");
    EXPECT_EQ(m.toast(), "In the Trash. " + QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText)
                             + " if that was a mistake.");

    // The folder gone and a file in its place: the note cannot be saved.
    ASSERT_TRUE(QDir(h.notesAppFolder()).removeRecursively());
    QFile blocker(h.notesAppFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m.notes().edited(m.notes().notes().first(), true);
    ASSERT_TRUE(m.notes().saveError());
    EXPECT_EQ(m.footnote(), *m.notes().saveError());
    m.setMode(Mode::Week);
    EXPECT_EQ(m.footnote(), "6 a day is plenty. The rest can wait.");
}
