#include "editorfixture.h"

#include "note.h"
#include "richtext.h"
#include "sectionfolds.h"
#include "typography.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <gtest/gtest.h>

TEST(NoteEditor, CommandsByTheirActionNames)
{
    EXPECT_EQ(NoteEditor::allCommands().size(), 12);
    for (NoteEditor::Command c : NoteEditor::allCommands())
        EXPECT_EQ(NoteEditor::command(NoteEditor::rawValue(c)), c);
    EXPECT_EQ(NoteEditor::rawValue(NoteEditor::Command::bold), QStringLiteral("toggleBold:"));
    EXPECT_EQ(NoteEditor::command(u"toggleCollapsibleSection:"), NoteEditor::Command::collapsible);
    EXPECT_FALSE(NoteEditor::command(u"toggleBold"));
    EXPECT_FALSE(NoteEditor::command(u"directionRTL:"));
}

TEST(NoteEditor, ALoadIsNoEditAndStartsAnEmptyHistory)
{
    ShownEditor shown;
    auto text = noteText({{"Plan", 28}, {"first line"}});
    const QByteArray rtf = RichText::encode(*text, {}, {}, std::nullopt);

    shown.editor().load(rtf, QStringLiteral("unused"));
    EXPECT_EQ(shown.changes(), 0);
    EXPECT_EQ(shown.text(), QStringLiteral("Plan\nfirst line"));
    EXPECT_EQ(shown.caret(), 15);  // a note file opens at its end
    EXPECT_FALSE(shown.document().isUndoAvailable());

    shown.type(QStringLiteral("!"));
    EXPECT_EQ(shown.changes(), 1);
    // A new load forgets the old note's history: undo never reaches into it.
    Note other(QStringLiteral("other"), QStringLiteral("other note"), QDateTime::currentDateTimeUtc());
    shown.editor().load(other);
    EXPECT_EQ(shown.changes(), 1);
    EXPECT_EQ(shown.caret(), 0);  // a notes-folder note opens at its start
    EXPECT_FALSE(shown.document().isUndoAvailable());
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("other note"));
}

TEST(NoteEditor, UnreadableOrMissingRtfShowsThePlainText)
{
    ShownEditor shown;
    shown.editor().load(QByteArray("not rtf at all"), QStringLiteral("plain words"));
    EXPECT_EQ(shown.text(), QStringLiteral("plain words"));
    shown.editor().load(std::nullopt, QStringLiteral("also plain"));
    EXPECT_EQ(shown.text(), QStringLiteral("also plain"));
    EXPECT_EQ(shown.changes(), 0);
}

TEST(NoteEditor, AnEmptyNoteTypesBodyText)
{
    ShownEditor shown;
    shown.editor().load(std::nullopt, QString());
    EXPECT_TRUE(shown.editor().isEmpty());
    EXPECT_EQ(shown.caret(), 0);
    shown.type(QStringLiteral("hi"));
    const QList<TextRun> runs = runsOf(shown.document()).constFirst();
    EXPECT_EQ(runs, (QList<TextRun>{{QStringLiteral("hi"), 15, false, false, false}}));
    EXPECT_FALSE(shown.editor().isEmpty());
}

TEST(NoteEditor, LoadEditStoreThroughTheNoteFile)
{
    ShownEditor shown;
    shown.load(QList<Para>{{"Groceries", 21}, {QStringLiteral("\u2610\tmilk")}});
    shown.caret(16);
    shown.key(Qt::Key_Return);
    shown.type(QStringLiteral("eggs"));
    shown.key(Qt::Key_Return);
    shown.key(Qt::Key_Return);
    shown.type(QStringLiteral("done"));
    shown.key(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);

    const auto rtf = shown.editor().rtf();
    ASSERT_TRUE(rtf);
    const auto decoded = RichText::decode(*rtf);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pemby::documentText(*decoded->text), QStringLiteral("Groceries\n\u2610\tmilk\n\u2610\teggs\ndone"));
    const auto runs = runsOf(*decoded->text);
    EXPECT_EQ(runs[0], (QList<TextRun>{{QStringLiteral("Groceries"), 21, true, false, false}}));
    EXPECT_EQ(runs[3], (QList<TextRun>{{QStringLiteral("done"), 15, false, false, false}}));
    EXPECT_EQ(shown.editor().plainText(), QStringLiteral("Groceries\n\u2610\tmilk\n\u2610\teggs\ndone"));

    Note note(QStringLiteral("n"), QStringLiteral("old"), QDateTime::currentDateTimeUtc());
    const int version = note.version();
    shown.editor().store(note);
    EXPECT_GT(note.version(), version);
    EXPECT_EQ(note.title(), QStringLiteral("Groceries"));
    // The editor's own bookkeeping (pixel sizes, heading keys) never reaches the note.
    for (QTextBlock b = note.attributedText().begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            EXPECT_FALSE(it.fragment().charFormat().hasProperty(QTextFormat::FontPixelSize));
            EXPECT_FALSE(it.fragment().charFormat().hasProperty(SectionFolds::keyProperty));
        }
    }
}

TEST(NoteEditor, PerformRunsInTheNoteThatHasTheKeys)
{
    ShownEditor shown;
    QLineEdit field;
    shown.editor().layout()->addWidget(&field);
    field.show();
    shown.load(QStringLiteral("|word|"));
    shown.view()->setFocus();
    ASSERT_TRUE(NoteEditor::isEditing());
    EXPECT_TRUE(NoteEditor::perform(NoteEditor::Command::bold));
    EXPECT_TRUE(shown.view()->formattingState().bold);

    field.setFocus();
    ASSERT_FALSE(NoteEditor::isEditing());
    EXPECT_FALSE(NoteEditor::perform(NoteEditor::Command::italic));
    EXPECT_FALSE(shown.view()->formattingState().italic);
}

TEST(NoteEditor, TheTextColumnIsCentredAndAtMostReadingWidth)
{
    struct Case { int width; int inset; };
    for (const Case c : {Case{700, 44}, Case{1000, 180}, Case{500, 44}, Case{729, 44}, Case{730, 45}}) {
        ShownEditor shown(c.width);
        EXPECT_EQ(shown.view()->viewport()->geometry().left(), c.inset) << c.width;
        EXPECT_EQ(NoteTextView::horizontalInset(c.width), c.inset);
    }
}

TEST(NoteEditor, ColoursFollowThePaletteUntilSet)
{
    ShownEditor shown;
    QPalette dark = shown.editor().palette();
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    shown.editor().setPalette(dark);
    EXPECT_EQ(shown.editor().background(), QColor(20, 20, 20));
    shown.editor().setBackground(QColor(250, 240, 230));
    shown.editor().setSelection(QColor(200, 100, 0));
    EXPECT_EQ(shown.editor().background(), QColor(250, 240, 230));
    EXPECT_EQ(shown.editor().selection(), QColor(200, 100, 0));
    // Selected text keeps its own colour.
    EXPECT_EQ(shown.view()->palette().color(QPalette::HighlightedText), shown.view()->palette().color(QPalette::Text));
}
