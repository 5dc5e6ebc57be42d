// The find bar under a note: incremental search from the caret, next and previous
// around the ends, case, matches inside folded sections, replacing, and the keys.
#include "editorfixture.h"

#include "findbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Selected {
    int from = 0;
    int to = 0;
    bool operator==(const Selected&) const = default;
};

void PrintTo(const Selected& s, std::ostream* os)
{
    *os << "[" << s.from << ", " << s.to << ")";
}

Selected selected(ShownEditor& shown)
{
    const QTextCursor c = shown.view()->textCursor();
    return {c.selectionStart(), c.selectionEnd()};
}

FindBar& bar(ShownEditor& shown)
{
    return *shown.editor().findBar();
}

QString count(ShownEditor& shown)
{
    return bar(shown).countLabel()->text();
}

// Two sections; the first, which holds "tent", folded.
void loadFolded(ShownEditor& shown)
{
    shown.load(QList<Para>{{"Trip", 21}, {"pack the tent"}, {"Food", 21}, {"bread, and a tent peg"}}, {0, 1}, {0});
}

TEST(FindBar, EachKeystrokeFindsTheFirstMatchFromTheCaretAndMarksAll)
{
    ShownEditor shown;
    shown.load(QStringLiteral("apple banana Apple cherry apricot"));
    shown.caret(7);
    EXPECT_TRUE(bar(shown).isHidden());
    shown.key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_FALSE(bar(shown).isHidden());
    QLineEdit* field = bar(shown).findField();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_FALSE(bar(shown).isReplacing());

    QTest::keyClicks(field, QStringLiteral("ap"));
    // Case does not count unless asked to.
    EXPECT_EQ(selected(shown), (Selected{13, 15}));
    EXPECT_EQ(count(shown), QStringLiteral("2 of 3"));
    EXPECT_EQ(shown.view()->extraSelections().size(), 3);
    QTest::keyClick(field, Qt::Key_R);
    EXPECT_EQ(selected(shown), (Selected{26, 29}));
    EXPECT_EQ(count(shown), QStringLiteral("1 of 1"));
    // Taking a letter back looks from where the search began again.
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(selected(shown), (Selected{13, 15}));
    QTest::keyClick(field, Qt::Key_Z);
    EXPECT_EQ(count(shown), QStringLiteral("Not found"));
    EXPECT_TRUE(shown.view()->extraSelections().isEmpty());

    QTest::keyClick(field, Qt::Key_Backspace);
    bar(shown).matchCaseBox()->setChecked(true);
    EXPECT_EQ(selected(shown), (Selected{26, 28}));
    EXPECT_EQ(count(shown), QStringLiteral("2 of 2"));
    EXPECT_EQ(bar(shown).matches().size(), 2);
    // Nothing of it is an edit.
    EXPECT_EQ(shown.changes(), 0);
    EXPECT_EQ(shown.text(), QStringLiteral("apple banana Apple cherry apricot"));
}

TEST(FindBar, NextAndPreviousGoAroundTheEnds)
{
    ShownEditor shown;
    shown.load(QStringLiteral("ab cab\nab"));
    shown.caret(0);
    shown.key(Qt::Key_F, Qt::ControlModifier);
    QLineEdit* field = bar(shown).findField();
    QTest::keyClicks(field, QStringLiteral("ab"));
    ASSERT_EQ(selected(shown), (Selected{0, 2}));
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        Selected then;
    } steps[] = {
        {Qt::Key_G, Qt::ControlModifier, {4, 6}},
        {Qt::Key_Return, Qt::NoModifier, {7, 9}},
        {Qt::Key_G, Qt::ControlModifier, {0, 2}},  // around the end
        {Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier, {7, 9}},  // and back
        {Qt::Key_Return, Qt::ShiftModifier, {4, 6}},
    };
    for (const auto& step : steps) {
        QTest::keyClick(field, Qt::Key(step.key), step.modifiers);
        EXPECT_EQ(selected(shown), step.then) << step.key;
        EXPECT_TRUE(field->hasFocus());
    }
    EXPECT_EQ(count(shown), QStringLiteral("2 of 3"));

    // From the text the same keys move on and leave the keys in the text.
    shown.view()->setFocus();
    shown.key(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(selected(shown), (Selected{7, 9}));
    shown.key(Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(selected(shown), (Selected{4, 6}));
    EXPECT_TRUE(shown.view()->hasFocus());
}

TEST(FindBar, AMatchInAFoldedSectionUnfoldsIt)
{
    ShownEditor shown;
    loadFolded(shown);
    ASSERT_EQ(shown.visibility(), (QList<bool>{true, false, true, true}));
    shown.caret(0);
    shown.key(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(bar(shown).findField(), QStringLiteral("tent"));
    EXPECT_EQ(shown.visibility(), (QList<bool>{true, true, true, true}));
    const int tent = shown.block(1).position() + 9;
    EXPECT_EQ(selected(shown), (Selected{tent, tent + 4}));
    // The unfolding is the user's and is saved like one.
    EXPECT_EQ(shown.changes(), 1);
    EXPECT_EQ(shown.view()->collapsedOrdinals(), QList<int>{});
}

TEST(FindBar, ReplaceAllIsOneUndoStepAndShowsWhatFoldsHid)
{
    ShownEditor shown;
    loadFolded(shown);
    shown.caret(shown.document().characterCount() - 1);
    shown.key(Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(bar(shown).isReplacing());
    bar(shown).findField()->setText(QStringLiteral("TENT"));
    bar(shown).replaceField()->setText(QStringLiteral("tarp"));
    QTest::mouseClick(bar(shown).findChildren<QPushButton*>().last(), Qt::LeftButton);
    EXPECT_EQ(shown.text(), QStringLiteral("Trip\npack the tarp\nFood\nbread, and a tarp peg"));
    EXPECT_EQ(shown.visibility(), (QList<bool>{true, true, true, true}));
    EXPECT_EQ(count(shown), QStringLiteral("Not found"));
    EXPECT_GE(shown.changes(), 1);

    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("Trip\npack the tent\nFood\nbread, and a tent peg"));
    EXPECT_FALSE(shown.document().isUndoAvailable());
    // The marks follow the text back.
    QCoreApplication::processEvents();
    EXPECT_EQ(count(shown), QStringLiteral("2 matches"));
}

TEST(FindBar, ReplaceAllUnfoldsOnlyTheSectionsItChanges)
{
    ShownEditor shown;
    shown.load(QList<Para>{{"Trip", 21}, {"pack the tent"}, {"Food", 21}, {"bread"}, {"Camp", 21}, {"a tent peg"}},
               {0, 1, 2}, {0, 1});
    ASSERT_EQ(shown.visibility(), (QList<bool>{true, false, true, false, true, true}));
    shown.key(Qt::Key_H, Qt::ControlModifier);
    bar(shown).findField()->setText(QStringLiteral("tent"));
    bar(shown).replaceField()->setText(QStringLiteral("tarp"));
    EXPECT_EQ(bar(shown).replaceAll(), 2);
    EXPECT_EQ(shown.text(), QStringLiteral("Trip\npack the tarp\nFood\nbread\nCamp\na tarp peg"));
    EXPECT_EQ(shown.visibility(), (QList<bool>{true, true, true, false, true, true}));
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("Trip\npack the tent\nFood\nbread\nCamp\na tent peg"));
    EXPECT_FALSE(shown.document().isUndoAvailable());
}

TEST(FindBar, ReplaceTakesTheSelectedMatchAndGoesOn)
{
    ShownEditor shown;
    shown.load(QStringLiteral("red car, red bike, red boat"));
    shown.caret(0);
    shown.key(Qt::Key_H, Qt::ControlModifier);
    QTest::keyClicks(bar(shown).findField(), QStringLiteral("red"));
    bar(shown).replaceField()->setText(QStringLiteral("blue"));
    ASSERT_EQ(selected(shown), (Selected{0, 3}));
    // Return in the replace field replaces, and the next match is selected.
    QTest::keyClick(bar(shown).replaceField(), Qt::Key_Return);
    EXPECT_EQ(shown.text(), QStringLiteral("blue car, red bike, red boat"));
    EXPECT_EQ(selected(shown), (Selected{10, 13}));
    EXPECT_EQ(count(shown), QStringLiteral("1 of 2"));
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("red car, red bike, red boat"));
}

TEST(FindBar, EscapeClosesItAndGivesTheKeysBackToTheText)
{
    ShownEditor shown;
    shown.load(QStringLiteral("one two one"));
    shown.caret(0);
    shown.key(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(bar(shown).findField(), QStringLiteral("two"));
    QTest::keyClick(bar(shown).findField(), Qt::Key_Escape);
    EXPECT_TRUE(bar(shown).isHidden());
    EXPECT_TRUE(shown.view()->hasFocus());
    EXPECT_TRUE(shown.view()->extraSelections().isEmpty());
    EXPECT_EQ(selected(shown), (Selected{4, 7}));

    // Opened again, the field holds the last search, all of it selected to type over.
    shown.key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(bar(shown).findField()->selectedText(), QStringLiteral("two"));
    EXPECT_EQ(shown.view()->extraSelections().size(), 1);
    // A read-only note is found in, never replaced.
    QTest::keyClick(bar(shown).findField(), Qt::Key_Escape);
    shown.editor().setEditable(false);
    shown.key(Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(bar(shown).isHidden());
    EXPECT_FALSE(bar(shown).isReplacing());
}

} // namespace
