#include "editorfixture.h"

#include "paragraphmarkers.h"
#include "typography.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

struct Keys {
    int key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

struct KeyCase {
    const char* name;
    QString before;
    QList<Keys> keys;
    QString after;
};

const Keys Return{Qt::Key_Return};
const Keys Backspace{Qt::Key_Backspace};

} // namespace

// Each case: the note before, what is pressed, the note after; then one Ctrl+Z
// brings the note back as it was.
TEST(NoteTextViewKeys, EditAndUndoBack)
{
    const QString box = QString(QChar(ParagraphMarkers::unchecked));
    const QString ticked = QString(QChar(ParagraphMarkers::checked));
    const QString dot = QString(QChar(ParagraphMarkers::bullet));
    const KeyCase cases[] = {
        {"Return continues a numbered list", "1.\tone|", {Return}, "1.\tone\n2.\t|"},
        {"Return on an empty item ends the list", "1.\tone\n2.\t|", {Return}, "1.\tone\n|"},
        {"Return after a ticked box continues unticked", ticked + "\tdone|", {Return}, ticked + "\tdone\n" + box + "\t|"},
        {"Return continues bullets", dot + "\titem|", {Return}, dot + "\titem\n" + dot + "\t|"},
        {"Return inside the marker is a plain newline", "1|.\tone", {Return}, "1\n|.\tone"},
        {"Return in the middle of a list renumbers what follows", "1.\ta|\n2.\tb", {Return}, "1.\ta\n2.\t|\n3.\tb"},
        {"Return in plain text", "plain|", {Return}, "plain\n|"},
        {"Shift-Return breaks the line inside the item", dot + "\titem|", {{Qt::Key_Return, Qt::ShiftModifier}},
         dot + "\titem\u2028|"},
        {"Tab inserts a tab", dot + "\titem|", {{Qt::Key_Tab}}, dot + "\titem\t|"},
        {"Backspace after a bullet marker takes the marker", dot + "\t|item", {Backspace}, "|item"},
        {"Backspace after a number marker renumbers", "1.\ta\n2.\t|b\n3.\tc", {Backspace}, "1.\ta\n|b\n1.\tc"},
        {"Backspace on a divider takes the whole line", "above\n<hr>|\nbelow", {Backspace}, "above\n|below"},
        {"Backspace below a divider takes the divider", "above\n<hr>\n|below", {Backspace}, "above\n|below"},
        {"Backspace in text deletes a character", "ab|c", {Backspace}, "a|c"},
        {"Insert Divider after a line of text", "one|\ntwo", {{Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier}},
         "one\n<hr>\n|two"},
        {"Insert Divider on the empty last line", "one\n|", {{Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier}},
         "one\n<hr>\n|"},
        {"Insert Divider after the last line", "one|", {{Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier}},
         "one\n<hr>\n|"},
        {"Numbered list over three paragraphs", "|a\nb\nc|", {{Qt::Key_9, Qt::ControlModifier | Qt::ShiftModifier}},
         "|1.\ta\n2.\tb\n3.\tc|"},
        {"Numbers off again", "|1.\ta\n2.\tb\n3.\tc|", {{Qt::Key_9, Qt::ControlModifier | Qt::ShiftModifier}},
         "|a\nb\nc|"},
        {"Bullets replace numbers", "|1.\ta\n2.\tb|", {{Qt::Key_8, Qt::ControlModifier | Qt::ShiftModifier}},
         "|" + dot + "\ta\n" + dot + "\tb|"},
        {"Checklist at the caret", "to d|o", {{Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier}},
         box + "\tto d|o"},
        {"A plain line between two runs starts the second again at 1", "1.\ta\n|2.\tb\n3.\tc",
         {{Qt::Key_9, Qt::ControlModifier | Qt::ShiftModifier}}, "1.\ta\n|b\n1.\tc"},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ShownEditor shown;
        shown.load(c.before);
        const QString before = shown.text();
        for (const Keys& k : c.keys)
            shown.key(k.key, k.modifiers);
        EXPECT_EQ(shown.shorthand(), c.after);
        // The key's edit is one step: undone at once.
        for (qsizetype i = 0; i < c.keys.size(); ++i)
            shown.undo();
        EXPECT_EQ(shown.text(), before);
        EXPECT_GT(shown.changes(), 0);
    }
}

TEST(NoteTextViewKeys, ShiftTabNeitherTypesNorLeavesTheNote)
{
    ShownEditor shown;
    QLineEdit other(&shown.editor());
    shown.load(QStringLiteral("\u2022\titem|"));
    shown.view()->setFocus();
    shown.key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(shown.shorthand(), QStringLiteral("\u2022\titem|"));
    EXPECT_TRUE(shown.view()->hasFocus());
}

TEST(NoteTextViewKeys, ReturnAfterAHeadingGoesOnInBody)
{
    ShownEditor shown;
    shown.load({{"Heading", 21}, {"body"}});
    shown.caret(7);
    shown.key(Qt::Key_Return);
    shown.type(QStringLiteral("next"));
    const QTextCharFormat typed = pemby::firstCharFormat(shown.block(1));
    EXPECT_EQ(typed.fontPointSize(), 15);
    EXPECT_FALSE(Typography::isBold(typed));

    // After a body paragraph the typing attributes stay as they are.
    shown.load(QList<Para>{{"body"}});
    shown.caret(4);
    shown.key(Qt::Key_B, Qt::ControlModifier);
    shown.key(Qt::Key_Return);
    shown.type(QStringLiteral("x"));
    EXPECT_TRUE(Typography::isBold(pemby::firstCharFormat(shown.block(1))));
}

TEST(NoteTextViewKeys, TypingHebrewTurnsTheParagraphRightToLeftAndDirectionMarksFixIt)
{
    ShownEditor shown;
    shown.load(QStringLiteral("first\n|"));
    shown.type(QStringLiteral("\u05E9\u05DC\u05D5\u05DD"));
    auto style = ParagraphStyle::of(shown.block(1).blockFormat());
    ASSERT_TRUE(style);
    EXPECT_EQ(style->direction, TextDirection::rtl);
    EXPECT_EQ(ParagraphStyle::of(shown.block(0).blockFormat())->direction, TextDirection::ltr);

    // A left-to-right mark makes it left to right whatever its letters; no mark, its letters again.
    shown.view()->perform(u"directionLTR:");
    EXPECT_EQ(shown.text(), QStringLiteral("first\n\u200E\u05E9\u05DC\u05D5\u05DD"));
    EXPECT_EQ(ParagraphStyle::of(shown.block(1).blockFormat())->direction, TextDirection::ltr);
    shown.view()->perform(u"directionRTL:");
    EXPECT_EQ(shown.text(), QStringLiteral("first\n\u200F\u05E9\u05DC\u05D5\u05DD"));
    shown.view()->perform(u"directionAuto:");
    EXPECT_EQ(shown.text(), QStringLiteral("first\n\u05E9\u05DC\u05D5\u05DD"));
    EXPECT_EQ(ParagraphStyle::of(shown.block(1).blockFormat())->direction, TextDirection::rtl);

    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("first\n\u200F\u05E9\u05DC\u05D5\u05DD"));
    shown.undo();
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("first\n\u05E9\u05DC\u05D5\u05DD"));
}

TEST(NoteTextViewKeys, RolesKeepItalicButNotBold)
{
    ShownEditor shown;
    shown.load(QStringLiteral("|line|"));
    shown.key(Qt::Key_B, Qt::ControlModifier);
    shown.key(Qt::Key_I, Qt::ControlModifier);
    shown.key(Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QTextCharFormat f = pemby::firstCharFormat(shown.block(0));
    EXPECT_EQ(f.fontPointSize(), 21);
    EXPECT_EQ(f.fontWeight(), QFont::DemiBold);
    EXPECT_TRUE(f.fontItalic());
    EXPECT_EQ(shown.view()->formattingState().role, TextRole::heading);

    shown.key(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    f = pemby::firstCharFormat(shown.block(0));
    EXPECT_EQ(f.fontPointSize(), 15);
    EXPECT_EQ(f.fontWeight(), QFont::Normal);
    EXPECT_TRUE(f.fontItalic());
}

TEST(NoteTextViewKeys, BoldOnAPartlyBoldSelectionMakesAllBoldThenNone)
{
    ShownEditor shown;
    shown.load(QStringLiteral("ab|cd|"));
    shown.key(Qt::Key_B, Qt::ControlModifier);
    shown.select(0, 4);
    shown.key(Qt::Key_B, Qt::ControlModifier);
    const auto bold = [&] {
        QList<bool> list;
        const auto paragraphs = runsOf(shown.document());
        for (const TextRun& run : paragraphs.first())
            list.append(run.bold);
        return list;
    };
    EXPECT_EQ(bold(), (QList<bool>{true}));
    shown.key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(bold(), (QList<bool>{false}));
    shown.key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_TRUE(shown.view()->formattingState().underline);
    shown.key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(shown.view()->formattingState().underline);
}

TEST(NoteTextViewKeys, PastedAndDroppedTextIsPlain)
{
    ShownEditor shown;
    shown.load(QStringLiteral("x|"));
    auto* data = new QMimeData;
    data->setHtml(QStringLiteral("<b style='font-size:40pt;color:red'>Loud</b>"));
    data->setText(QStringLiteral("Loud"));
    QApplication::clipboard()->setMimeData(data);
    shown.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown.text(), QStringLiteral("xLoud"));
    const QList<TextRun> runs = runsOf(shown.document()).constFirst();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0], (TextRun{QStringLiteral("xLoud"), 15, false, false, false}));
    const QTextCharFormat pasted = pemby::firstCharFormat(shown.block(0));
    EXPECT_EQ(pasted.foreground().style(), Qt::NoBrush);
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("x"));
}

TEST(NoteTextViewKeys, AClipboardOfHtmlAloneGivesItsText)
{
    // A browser's selection: HTML and nothing else.
    ShownEditor shown;
    shown.load(QStringLiteral("x|"));
    auto* data = new QMimeData;
    data->setHtml(QStringLiteral("<p><b style='color:red'>milk</b> &amp; eggs</p><p>bread</p>"));
    QApplication::clipboard()->setMimeData(data);
    shown.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown.shorthand(), QStringLiteral("xmilk & eggs\nbread|"));
    // In the typing attributes, as every paste is.
    for (const QList<TextRun>& runs : runsOf(shown.document())) {
        ASSERT_EQ(runs.size(), 1);
        EXPECT_FALSE(runs[0].bold);
    }
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("x"));
}

// The format shortcuts are the keys the Format menu names on every layout. Each press
// is the event X11 delivers: the key Qt makes of the keysym, the text it types, the
// keycode, the keysym and the modifier state.
TEST(NoteTextViewKeys, FormatShortcutsFollowTheKeyboardLayout)
{
    struct Press {
        const char* name;
        int key;
        const char* text;
        quint32 keycode;
        quint32 keysym;
        bool shift;
        QString after;  // the note "one|" afterwards
    };
    const QString dot = QString(QChar(ParagraphMarkers::bullet));
    const QString box = QString(QChar(ParagraphMarkers::unchecked));
    const Press presses[] = {
        {"US Ctrl+Shift+8 types *", Qt::Key_Asterisk, "*", 17, 0x2a, true, dot + "\tone|"},
        {"US Ctrl+Shift+9 types (", Qt::Key_ParenLeft, "(", 18, 0x28, true, "1.\tone|"},
        {"German Ctrl+Shift+8 types (", Qt::Key_ParenLeft, "(", 17, 0x28, true, dot + "\tone|"},
        {"German Ctrl+Shift+9 types )", Qt::Key_ParenRight, ")", 18, 0x29, true, "1.\tone|"},
        {"German Ctrl+Shift+L", Qt::Key_L, "\x0c", 46, 0x4c, true, box + "\tone|"},
        {"German Ctrl+Shift+7 types / and names nothing", Qt::Key_Slash, "/", 16, 0x2f, true, "one|"},
        {"French Ctrl+Shift+8 types 8", Qt::Key_8, "8", 17, 0x38, true, dot + "\tone|"},
        {"French Ctrl+Shift+9 types 9", Qt::Key_9, "9", 18, 0x39, true, "1.\tone|"},
        {"French Ctrl+8 types _ and names nothing", Qt::Key_Underscore, "_", 17, 0x5f, false, "one|"},
        {"French Ctrl+Shift+D", Qt::Key_D, "\x04", 40, 0x44, true, "one\n<hr>\n|"},
    };
    for (const Press& p : presses) {
        SCOPED_TRACE(p.name);
        ShownEditor shown;
        shown.load(QStringLiteral("one|"));
        const Qt::KeyboardModifiers mods = Qt::ControlModifier | (p.shift ? Qt::ShiftModifier : Qt::NoModifier);
        const quint32 state = 0x4 | (p.shift ? 0x1 : 0);
        QKeyEvent claim(QEvent::ShortcutOverride, p.key, mods, p.keycode, p.keysym, state, QString::fromLatin1(p.text));
        QApplication::sendEvent(shown.view(), &claim);
        // A shortcut of the note is the note's, before any menu's.
        EXPECT_EQ(claim.isAccepted(), p.after != QStringLiteral("one|"));
        QKeyEvent press(QEvent::KeyPress, p.key, mods, p.keycode, p.keysym, state, QString::fromLatin1(p.text));
        QApplication::sendEvent(shown.view(), &press);
        QCoreApplication::processEvents();
        EXPECT_EQ(shown.shorthand(), p.after);
    }
}

TEST(NoteTextViewClicks, ACheckboxTogglesByItsGlyphOnly)
{
    ShownEditor shown;
    shown.load(QStringLiteral("\u2610\tbuy milk"));
    NoteTextView* view = shown.view();
    const QTextBlock block = shown.block(0);
    const QTextLine line = block.layout()->lineAt(0);
    const QPointF origin = block.layout()->position();
    // Clicks where a person clicks: on whatever widget is under the point.
    const auto click = [&](int position, qreal dx) {
        const QPoint inViewport(int(origin.x() + line.cursorToX(position) + dx), int(origin.y() + line.y() + line.height() / 2));
        const QPoint inView = inViewport + view->viewport()->geometry().topLeft();
        QWidget* target = view->childAt(inView);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(view, inView));
    };

    // Just beside the box counts, even out in the margin; further out, or on the item's text, not.
    click(0, -3);
    EXPECT_EQ(shown.text(), QStringLiteral("\u2611\tbuy milk"));
    click(0, -20);
    click(5, 0);
    EXPECT_EQ(shown.text(), QStringLiteral("\u2611\tbuy milk"));
    EXPECT_EQ(shown.caret(), 5);
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("\u2610\tbuy milk"));

    // A read-only note changes neither by clicks nor by keys.
    shown.editor().setEditable(false);
    click(0, 2);
    shown.key(Qt::Key_Z, Qt::ControlModifier);
    shown.key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(shown.text(), QStringLiteral("\u2610\tbuy milk"));
    shown.editor().setEditable(true);
    shown.redo();
    EXPECT_EQ(shown.text(), QStringLiteral("\u2611\tbuy milk"));
}

TEST(NoteTextViewLayout, ListTextLinesUpWithItsWrappedLines)
{
    // One point is one pixel for fonts and tab stops alike, so the text after the
    // marker's tab starts where the wrapped lines do.
    ShownEditor shown(420);
    shown.load(QStringLiteral("\u2022\ta long item that wraps onto a second line at this width, and maybe a third"));
    const QTextLayout* layout = shown.block(0).layout();
    ASSERT_GE(layout->lineCount(), 2);
    EXPECT_NEAR(layout->lineAt(0).cursorToX(2), 24, 0.5);
    EXPECT_NEAR(layout->lineAt(1).x(), 24, 0.5);
    const QFont font = pemby::firstCharFormat(shown.block(0)).font();
    EXPECT_EQ(QFontInfo(font).pixelSize(), 15);
}

TEST(NoteTextViewLayout, ADividerNeverWidensOrScrollsTheColumn)
{
    ShownEditor shown;
    shown.load(QStringLiteral("above\n<hr>\nbelow"));
    NoteTextView* view = shown.view();
    const int column = view->viewport()->width();
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    // The caret at the divider's far end still leaves the column where it is.
    shown.caret(6 + 300);
    view->ensureCursorVisible();
    EXPECT_EQ(view->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(view->viewport()->width(), column);
}
