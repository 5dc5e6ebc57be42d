// Renders a note with every kind of paragraph, unfolded and folded, on a light and
// a dark palette, to png/ in the working directory, for a person to look at; and
// checks what the pictures must show.
#include "editorfixture.h"

#include "formatpopover.h"
#include "popover.h"
#include "richtext.h"
#include "sectionmargin.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

QPalette darkPalette()
{
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Window, QColor(0x24, 0x23, 0x21));
    p.setColor(QPalette::WindowText, QColor(0xEC, 0xEA, 0xE6));
    p.setColor(QPalette::Base, QColor(0x1C, 0x1B, 0x1A));
    p.setColor(QPalette::Text, QColor(0xEC, 0xEA, 0xE6));
    p.setColor(QPalette::Button, QColor(0x30, 0x2F, 0x2C));
    p.setColor(QPalette::ButtonText, QColor(0xEC, 0xEA, 0xE6));
    p.setColor(QPalette::Highlight, QColor(0x3A, 0x78, 0xD8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Mid, QColor(0x4A, 0x48, 0x45));
    return p;
}

QList<Para> everyKind()
{
    return {
        {"Trip to the coast", 28},
        {"Notes for the long weekend, with a bold word and an italic one."},
        {"Packing", 21},
        {QStringLiteral("\u2611\tsunscreen")},
        {QStringLiteral("\u2610\ta book for the train")},
        {"Route", 17},
        {"1.\tleave before eight"},
        {"2.\tcoffee at the harbour"},
        {QStringLiteral("\u2022\tbring the map")},
        {QStringLiteral("\u2022\tand the other map, which wraps onto a second line because it goes on for a while")},
        {ParagraphMarkers::divider()},
        {QStringLiteral("\u05E8\u05E9\u05D9\u05DE\u05D4"), 21},
        {QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05DC\u05DB\u05D5\u05DD")},
        {"The end."},
    };
}

void decorate(ShownEditor& shown)
{
    // Bold, italic and underline in the second paragraph.
    const QTextBlock b = shown.block(1);
    const int start = b.position();
    const QString text = b.text();
    shown.select(start + int(text.indexOf(u"bold")), start + int(text.indexOf(u"bold")) + 4);
    shown.view()->toggleBold();
    shown.select(start + int(text.indexOf(u"italic")), start + int(text.indexOf(u"italic")) + 6);
    shown.view()->toggleItalic();
    shown.select(start + int(text.indexOf(u"weekend")), start + int(text.indexOf(u"weekend")) + 7);
    shown.view()->toggleUnderline();
    shown.caret(0);
}

QString pngPath(const QString& name)
{
    QDir().mkpath(QStringLiteral("png"));
    return QDir(QStringLiteral("png")).absoluteFilePath(name + QStringLiteral(".png"));
}

} // namespace

TEST(NoteEditorRender, EveryKindOfParagraphFoldedAndUnfoldedLightAndDark)
{
    for (const bool dark : {false, true}) {
        for (const bool folded : {false, true}) {
            ShownEditor shown(760, 760);
            if (dark)
                shown.editor().setPalette(darkPalette());
            // "Packing" and the Hebrew heading are collapsible; folded, both fold.
            shown.load(everyKind(), {1, 3}, folded ? QList<int>{1, 3} : QList<int>{});
            decorate(shown);
            QApplication::processEvents();
            const QImage image = shown.editor().grab().toImage();
            const QString name = QStringLiteral("note-%1-%2").arg(folded ? u"folded"_qs : u"unfolded"_qs,
                                                                  dark ? u"dark"_qs : u"light"_qs);
            ASSERT_TRUE(image.save(pngPath(name)));

            const QList<NoteTextView::Chevron> chevrons = shown.view()->chevrons();
            ASSERT_EQ(chevrons.size(), 2);
            EXPECT_FALSE(chevrons[0].rightToLeft);
            EXPECT_TRUE(chevrons[1].rightToLeft);
            // Left of the column for a left-to-right heading, right of it for a right-to-left one.
            EXPECT_LT(chevrons[0].rect.right(), shown.view()->viewport()->geometry().left());
            EXPECT_GT(chevrons[1].rect.left(), shown.view()->viewport()->geometry().right());
            EXPECT_EQ(shown.block(3).isVisible(), !folded);
            // The background follows the palette.
            EXPECT_EQ(image.pixelColor(5, 5), shown.editor().palette().color(QPalette::Base));
        }
    }
}

TEST(NoteEditorRender, FormatPopoverLightAndDark)
{
    for (const bool dark : {false, true}) {
        ShownEditor shown;
        if (dark)
            shown.editor().setPalette(darkPalette());
        shown.load(QStringLiteral("1.\tan item|"));
        FormatPopoverViewController palette(shown.view());
        palette.setPalette(shown.editor().palette());
        Popover popover;
        popover.setPalette(shown.editor().palette());
        popover.setContent(new FormatPopoverViewController(shown.view()));
        popover.adjustSize();
        const QImage image = popover.grab().toImage();
        ASSERT_TRUE(image.save(pngPath(dark ? u"format-popover-dark"_qs : u"format-popover-light"_qs)));
    }
}
