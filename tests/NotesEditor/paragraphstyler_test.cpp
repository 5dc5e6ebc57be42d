#include "paragraphstyler.h"
#include "richtext.h"
#include "support/notetext.h"
#include "textdocument.h"
#include "typography.h"

#include <QAbstractTextDocumentLayout>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

static ParagraphStyle styleOf(const QTextDocument& doc, int paragraph)
{
    return ParagraphStyle::of(doc.findBlockByNumber(paragraph).blockFormat()).value();
}

TEST(ParagraphStyler, DirectionFlowsIntoTheNeutralParagraphsThatFollow)
{
    auto doc = RichText::plain(QStringLiteral("\n\n\nEnglish\n"));
    ASSERT_EQ(doc->blockCount(), 5);
    doc->documentLayout();  // changes are only reported to a document with a layout
    QSignalSpy changes(doc.get(), &QTextDocument::contentsChange);

    QTextCursor cursor(doc.get());
    cursor.insertText(QStringLiteral("\u05D0"));
    changes.clear();
    const int undoSteps = doc->availableUndoSteps();
    ParagraphStyler::apply(*doc, 0, 1);
    EXPECT_EQ(doc->availableUndoSteps(), undoSteps + 3);

    for (int p : {0, 1, 2})
        EXPECT_EQ(styleOf(*doc, p).direction, TextDirection::rtl) << p;
    EXPECT_EQ(styleOf(*doc, 3).direction, TextDirection::ltr);
    // The styler stopped at the English paragraph: nothing from it on was written.
    const int english = doc->findBlockByNumber(3).position();
    ASSERT_EQ(changes.size(), 3);
    for (const QList<QVariant>& change : changes)
        EXPECT_LT(change.at(0).toInt(), english);
}

TEST(ParagraphStyler, DividerInARightToLeftNoteStaysLeftToRightAndPassesTheDirectionOn)
{
    auto doc = RichText::plain(QStringLiteral("\u05E9\u05DC\u05D5\u05DD\n") + ParagraphMarkers::divider()
                               + QStringLiteral("\n123\nabc"));
    const ParagraphStyle divider = styleOf(*doc, 1);
    EXPECT_EQ(divider.direction, TextDirection::ltr);
    EXPECT_EQ(divider.alignment, ParagraphStyle::Alignment::left);
    EXPECT_TRUE(divider.clips);
    EXPECT_EQ(styleOf(*doc, 2).direction, TextDirection::rtl);  // inherited across the divider
    EXPECT_EQ(styleOf(*doc, 3).direction, TextDirection::ltr);
}

TEST(ParagraphStyler, StylesFollowRoleAndKind)
{
    auto doc = noteText({{QStringLiteral("1.\tHeading item"), 21}, {QStringLiteral("\u2610\tbox")}, {"body"}});
    const ParagraphStyle item = styleOf(*doc, 0);
    EXPECT_EQ(item.headIndent, 24);
    EXPECT_EQ(item.tabStops, QList<qreal>{24});
    EXPECT_EQ(item.spaceAfter, 3);
    EXPECT_EQ(item.spaceBefore, 12);  // still the heading's
    EXPECT_EQ(styleOf(*doc, 1).headIndent, 24);
    EXPECT_EQ(styleOf(*doc, 2).headIndent, 0);
    EXPECT_EQ(styleOf(*doc, 2).lineSpacing, 5);
}

TEST(ParagraphStyler, ASecondPassWritesNothing)
{
    auto doc = noteText({{"Title", 28}, {QStringLiteral("\u05D0 rtl")}, {""}, {"12"}, {ParagraphMarkers::divider()},
                         {QStringLiteral("\u2022\tx")}, {"last"}});
    const int length = pemby::textLength(*doc);
    // Put one paragraph out of line, so the first pass has something to do.
    QTextCursor cursor(doc->findBlockByNumber(3));
    QTextBlockFormat format = cursor.blockFormat();
    format.setLayoutDirection(Qt::LeftToRight);
    cursor.setBlockFormat(format);

    const int before = doc->availableUndoSteps();
    ParagraphStyler::apply(*doc, 0, length);
    EXPECT_EQ(styleOf(*doc, 3).direction, TextDirection::rtl);
    const int undoSteps = doc->availableUndoSteps();
    EXPECT_EQ(undoSteps, before + 1);  // that one paragraph, nothing else
    doc->documentLayout();
    QSignalSpy changes(doc.get(), &QTextDocument::contentsChange);
    ParagraphStyler::apply(*doc, 0, length);
    ParagraphStyler::apply(*doc, 5, 3);
    EXPECT_EQ(changes.size(), 0);
    EXPECT_EQ(doc->availableUndoSteps(), undoSteps);
}

TEST(ParagraphStyler, EmptyTextAndRangesPastTheEnd)
{
    QTextDocument empty;
    ParagraphStyler::apply(empty, 0, 0);
    EXPECT_EQ(ParagraphStyle::of(empty.begin().blockFormat()), std::nullopt);

    auto doc = RichText::plain("a\nb");
    QTextCursor cursor(doc.get());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\u05D0"));  // "b" + alef: still left to right
    cursor.movePosition(QTextCursor::StartOfBlock);
    cursor.insertText(QStringLiteral("\u05D1"));
    ParagraphStyler::apply(*doc, 100, 5);
    EXPECT_EQ(styleOf(*doc, 1).direction, TextDirection::rtl);
    EXPECT_EQ(styleOf(*doc, 0).direction, TextDirection::ltr);
}
