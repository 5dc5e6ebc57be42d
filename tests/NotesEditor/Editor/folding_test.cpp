#include "editorfixture.h"

#include "documentcompare.h"
#include "note.h"
#include "richtext.h"
#include "typography.h"

#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

// "Packing" (ordinal 0) is collapsible; its body is "socks" and "shoes".
const QList<Para> trip = {{"Intro"}, {"Packing", 21}, {"socks"}, {"shoes"}, {"Later", 21}, {"end"}};
// The same with nothing after the section.
const QList<Para> tripEndingInPacking = {{"Intro"}, {"Packing", 21}, {"socks"}};

QList<bool> shown(std::initializer_list<bool> visible) { return QList<bool>(visible); }

} // namespace

TEST(Folding, AChevronFoldsAndUnfoldsWithoutAnUndoStep)
{
    ShownEditor editor;
    editor.load(trip, {0});
    editor.caret(5);
    editor.type(QStringLiteral("!"));
    const int changesBefore = editor.changes();

    ASSERT_TRUE(editor.clickChevron(0));
    EXPECT_EQ(editor.visibility(), shown({true, true, false, false, true, true}));
    EXPECT_EQ(editor.changes(), changesBefore + 1);  // a fold is saved like an edit
    EXPECT_EQ(editor.view()->collapsedOrdinals(), (QList<int>{0}));

    // Ctrl+Z undoes the typing, not the fold.
    editor.undo();
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks\nshoes\nLater\nend"));
    EXPECT_EQ(editor.visibility(), shown({true, true, false, false, true, true}));
    editor.redo();
    EXPECT_EQ(editor.text(), QStringLiteral("Intro!\nPacking\nsocks\nshoes\nLater\nend"));

    ASSERT_TRUE(editor.clickChevron(0));
    EXPECT_EQ(editor.visibility(), shown({true, true, true, true, true, true}));
    EXPECT_TRUE(editor.view()->collapsedOrdinals().isEmpty());
}

TEST(Folding, TypingAtTheEndOfAFoldedLastSectionUnfoldsIt)
{
    // A note file loads with the caret after its last character, inside the fold.
    ShownEditor editor;
    auto text = noteText(tripEndingInPacking);
    editor.editor().load(RichText::encode(*text, {0}, {0}, std::nullopt), QString());
    EXPECT_EQ(editor.visibility(), shown({true, true, false}));
    EXPECT_EQ(editor.caret(), editor.text().size());

    editor.type(QStringLiteral("!"));
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks!"));
    EXPECT_EQ(editor.visibility(), shown({true, true, true}));
    // The typing is one step; the section stays open.
    editor.undo();
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks"));
    EXPECT_TRUE(editor.view()->collapsedOrdinals().isEmpty());

    // A fold further up stays folded.
    editor.load(trip, {0}, {0});
    editor.caret(editor.text().size());
    editor.type(QStringLiteral("!"));
    EXPECT_EQ(editor.view()->collapsedOrdinals(), (QList<int>{0}));
    EXPECT_EQ(editor.visibility(), shown({true, true, false, false, true, true}));
}

TEST(Folding, ReturnAtTheEndOfAFoldedHeadingUnfoldsIt)
{
    ShownEditor editor;
    editor.load(trip, {0}, {0});
    editor.caret(13);  // the end of "Packing"
    editor.key(Qt::Key_Return);
    EXPECT_EQ(editor.shorthand(), QStringLiteral("Intro\nPacking\n|\nsocks\nshoes\nLater\nend"));
    EXPECT_EQ(editor.visibility(), shown({true, true, true, true, true, true, true}));
    editor.undo();
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks\nshoes\nLater\nend"));
}

TEST(Folding, DeletingIntoAFoldedBodyUnfoldsIt)
{
    // Backspace at the start of the heading after the fold joins it to the hidden text.
    ShownEditor editor;
    editor.load(trip, {0}, {0});
    editor.caret(26);  // the start of "Later"
    editor.key(Qt::Key_Backspace);
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks\nshoesLater\nend"));
    EXPECT_TRUE(editor.view()->collapsedOrdinals().isEmpty());
    EXPECT_EQ(editor.visibility(), shown({true, true, true, true, true}));
}

TEST(Folding, TheCaretNeverRestsInHiddenText)
{
    ShownEditor editor;
    editor.load(trip, {0}, {0});
    editor.caret(13);
    // Going on into the fold lands after it; coming back stops at the heading's end.
    editor.key(Qt::Key_Right);
    EXPECT_EQ(editor.caret(), 26);
    editor.key(Qt::Key_Left);
    EXPECT_EQ(editor.caret(), 13);
    // Down from the heading goes past the fold; up comes back to the heading's line.
    editor.key(Qt::Key_Down);
    EXPECT_EQ(editor.block(4).position(), editor.view()->textCursor().block().position());
    editor.key(Qt::Key_Up);
    EXPECT_EQ(editor.view()->textCursor().block().blockNumber(), 1);

    // Folding around the caret moves it to the heading's end.
    editor.load(trip, {0});
    editor.caret(16);
    ASSERT_TRUE(editor.clickChevron(0));
    EXPECT_EQ(editor.caret(), 13);
}

TEST(Folding, UpAndDownOverAFoldLandWhereStepsIntoItWould)
{
    // Qt steps over hidden lines keeping the column; over a fold the caret goes to the
    // first visible character after it, or back to the end of the heading's line.
    struct Step {
        const char* name;
        QList<Para> note;
        int from;
        int key;
        int to;
    };
    const Step steps[] = {
        {"down from the middle of the heading", trip, 9, Qt::Key_Down, 26},
        {"up from the middle of the line after the fold", trip, 29, Qt::Key_Up, 13},
        {"up from the start of the line after the fold", trip, 26, Qt::Key_Up, 13},
        {"down onto a fold that runs to the end", tripEndingInPacking, 8, Qt::Key_Down, 13},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        ShownEditor editor;
        editor.load(s.note, {0}, {0});
        editor.caret(s.from);
        editor.key(s.key);
        EXPECT_EQ(editor.caret(), s.to);
    }
    // A step that crosses no fold is Qt's own: down from the first line keeps a column
    // on the heading's line.
    ShownEditor editor;
    editor.load(trip, {0}, {0});
    editor.caret(2);
    editor.key(Qt::Key_Down);
    EXPECT_EQ(editor.view()->textCursor().blockNumber(), 1);
    EXPECT_LT(editor.caret(), 13);
    // Extending a selection is never moved.
    editor.caret(9);
    editor.key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_NE(editor.view()->textCursor().position(), 26);
    EXPECT_TRUE(editor.view()->textCursor().hasSelection());
}

TEST(Folding, TheNoteFileKeepsTheFoldMarks)
{
    ShownEditor editor;
    editor.load(trip, {0});
    ASSERT_TRUE(editor.clickChevron(0));
    const auto decoded = RichText::decode(*editor.editor().rtf());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->collapsible, (QList<int>{0}));
    EXPECT_EQ(decoded->collapsed, (QList<int>{0}));

    Note note(QStringLiteral("n"), QStringLiteral("old"), QDateTime::currentDateTimeUtc());
    editor.editor().store(note);
    EXPECT_EQ(note.collapsibleSections(), (QList<int>{0}));
    EXPECT_EQ(note.collapsedSections(), (QList<int>{0}));
    EXPECT_EQ(Sections::collapsedOrdinals(note.attributedText()), (QList<int>{0}));
    EXPECT_FALSE(note.attributedText().findBlockByNumber(2).isVisible());
}

TEST(Folding, AFoldAloneIsNoChangeOfTheText)
{
    ShownEditor editor;
    editor.load(trip, {0});
    Note before(QStringLiteral("n"), QStringLiteral(""), QDateTime::currentDateTimeUtc());
    editor.editor().store(before);
    ASSERT_TRUE(editor.clickChevron(0));
    Note after(QStringLiteral("n"), QStringLiteral(""), QDateTime::currentDateTimeUtc());
    editor.editor().store(after);
    EXPECT_TRUE(DocumentCompare::sameIgnoringFolds(before.attributedText(), after.attributedText()));
    EXPECT_NE(before.collapsedSections(), after.collapsedSections());

    editor.caret(0);
    editor.type(QStringLiteral("x"));
    Note edited(QStringLiteral("n"), QStringLiteral(""), QDateTime::currentDateTimeUtc());
    editor.editor().store(edited);
    EXPECT_FALSE(DocumentCompare::sameIgnoringFolds(after.attributedText(), edited.attributedText()));
}

TEST(Folding, UndoingTheDeletionOfAFoldedHeadingBringsItBackFolded)
{
    ShownEditor editor;
    editor.load(trip, {0}, {0});
    editor.select(6, 14);  // "Packing" and its line break
    editor.key(Qt::Key_Delete);
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nsocks\nshoes\nLater\nend"));
    EXPECT_EQ(editor.visibility(), shown({true, true, true, true, true}));
    editor.undo();
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks\nshoes\nLater\nend"));
    EXPECT_EQ(editor.view()->collapsibleOrdinals(), (QList<int>{0}));
    EXPECT_EQ(editor.visibility(), shown({true, true, false, false, true, true}));
}

TEST(Folding, SplittingAndJoiningHeadingLinesKeepTheirState)
{
    // Removing the empty line above a collapsible heading keeps it collapsible.
    ShownEditor editor;
    editor.load(QList<Para>{{"Intro"}, {""}, {"Packing", 21}, {"socks"}}, {0}, {0});
    editor.caret(7);  // the start of "Packing"
    editor.key(Qt::Key_Backspace);
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPacking\nsocks"));
    EXPECT_EQ(editor.view()->collapsedOrdinals(), (QList<int>{0}));

    // Return at its start opens an empty line above it; the heading keeps its state.
    editor.caret(6);
    editor.key(Qt::Key_Return);
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\n\nPacking\nsocks"));
    EXPECT_EQ(editor.view()->collapsedOrdinals(), (QList<int>{0}));

    // Return inside it makes two headings, each with a state of its own.
    editor.load(QList<Para>{{"Intro"}, {"Packing", 21}, {"socks"}}, {0});
    editor.caret(9);
    editor.key(Qt::Key_Return);
    EXPECT_EQ(editor.text(), QStringLiteral("Intro\nPac\nking\nsocks"));
    EXPECT_EQ(editor.view()->collapsibleOrdinals(), (QList<int>{0, 1}));
    ASSERT_TRUE(editor.clickChevron(1));
    EXPECT_EQ(editor.view()->collapsedOrdinals(), (QList<int>{1}));
    EXPECT_EQ(editor.visibility(), shown({true, true, true, false}));
}

TEST(Folding, MakingALineCollapsible)
{
    ShownEditor editor;
    editor.load(QStringLiteral("Intro\n|"));
    editor.key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.view()->formattingState().role, TextRole::heading);
    editor.type(QStringLiteral("Packing"));
    EXPECT_EQ(pemby::firstCharFormat(editor.block(1)).fontPointSize(), 21);
    EXPECT_EQ(editor.view()->collapsibleOrdinals(), (QList<int>{0}));
    EXPECT_EQ(editor.view()->chevrons().size(), 1);
    // Collapsible Section again makes it plain; the role change stays.
    editor.key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(editor.view()->collapsibleOrdinals().isEmpty());
    EXPECT_TRUE(editor.view()->chevrons().isEmpty());

    // A line of body text becomes a collapsible heading at once; undo takes the heading back.
    editor.load(QStringLiteral("Intro\nPack|ing\nsocks"));
    editor.key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pemby::firstCharFormat(editor.block(1)).fontPointSize(), 21);
    EXPECT_EQ(editor.view()->collapsibleOrdinals(), (QList<int>{0}));
    EXPECT_TRUE(editor.view()->formattingState().collapsible);
    editor.undo();
    EXPECT_EQ(pemby::firstCharFormat(editor.block(1)).fontPointSize(), 15);
    EXPECT_TRUE(editor.view()->chevrons().isEmpty());

    // Leaving the empty line before typing cancels.
    editor.load(QStringLiteral("Intro\n|"));
    editor.key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    editor.caret(0);
    editor.caret(6);
    editor.type(QStringLiteral("Packing"));
    EXPECT_TRUE(editor.view()->collapsibleOrdinals().isEmpty());
    EXPECT_TRUE(editor.view()->chevrons().isEmpty());
}

TEST(Folding, NestedFoldsAndReadOnly)
{
    ShownEditor editor;
    editor.load(QList<Para>{{"Title", 28}, {"a"}, {"Heading", 21}, {"b"}, {"Next", 28}}, {0, 1}, {1});
    editor.editor().setEditable(false);
    EXPECT_EQ(editor.visibility(), shown({true, true, true, false, true}));
    // Folding the title hides the heading (and its chevron) too; even read only.
    ASSERT_TRUE(editor.clickChevron(0));
    EXPECT_EQ(editor.visibility(), shown({true, false, false, false, true}));
    EXPECT_EQ(editor.view()->chevrons().size(), 1);
    ASSERT_TRUE(editor.clickChevron(0));
    EXPECT_EQ(editor.visibility(), shown({true, true, true, false, true}));
    EXPECT_EQ(editor.view()->chevrons().size(), 2);
}
