#include "editorfixture.h"

#include "formatcontrol.h"
#include "formatpopover.h"
#include "popover.h"
#include "reducemotion.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

QList<QString> lit(const FormatPopoverViewController& palette)
{
    QList<QString> on;
    for (const char16_t* action : {u"formatTitle:", u"formatHeading:", u"formatSubheading:", u"formatBody:",
                                   u"toggleBold:", u"toggleItalic:", u"toggleUnderline:", u"toggleBullets:",
                                   u"toggleNumbers:", u"toggleChecklist:", u"insertDivider:",
                                   u"toggleCollapsibleSection:"}) {
        if (palette.control(QString::fromUtf16(action))->isOn())
            on.append(QString::fromUtf16(action));
    }
    return on;
}

struct MotionPinned {
    explicit MotionPinned(bool reduce) { ReduceMotion::setForTesting(reduce); }
    ~MotionPinned() { ReduceMotion::setForTesting(false); }
};

} // namespace

TEST(FormatPopover, ControlsFollowTheCaret)
{
    ShownEditor shown;
    shown.load(QList<Para>{{"Plan", 28}, {"1.\tfirst"}, {"<hr>"}});
    shown.caret(8);
    Popover* popover = shown.editor().showFormat(&shown.editor());
    auto* palette = qobject_cast<FormatPopoverViewController*>(popover->content());
    ASSERT_TRUE(palette);
    EXPECT_EQ(lit(*palette), (QList<QString>{u"formatBody:"_qs, u"toggleNumbers:"_qs}));

    shown.caret(2);
    EXPECT_EQ(lit(*palette), (QList<QString>{u"formatTitle:"_qs, u"toggleBold:"_qs}));
    // The divider control never lights, not even on a divider.
    shown.select(14, 14);
    shown.view()->insertDivider();
    shown.caret(15);
    EXPECT_FALSE(palette->control(u"insertDivider:"_qs)->isOn());
    popover->close();
}

TEST(FormatPopover, APressFormatsTheNoteItWasOpenedFor)
{
    MotionPinned motion(false);
    ShownEditor shown;
    shown.load(QStringLiteral("|all bold|"));
    shown.view()->toggleBold();
    FormatPopoverViewController palette(shown.view());
    FormatControl* bold = palette.control(u"toggleBold:"_qs);
    ASSERT_TRUE(bold->isOn());
    palette.show();
    QTest::mouseClick(bold, Qt::LeftButton);
    EXPECT_FALSE(shown.view()->formattingState().bold);
    EXPECT_FALSE(bold->isOn());
    // Animated: the fill is still on its way to the new colour.
    EXPECT_NE(bold->shownFill(), bold->fill());
    EXPECT_EQ(bold->focusPolicy(), Qt::NoFocus);
}

TEST(FormatPopover, DraggingOutOfAPressedControlReleasesItAndSendsNothing)
{
    MotionPinned motion(true);
    ShownEditor shown;
    shown.load(QStringLiteral("|word|"));
    FormatPopoverViewController palette(shown.view());
    palette.show();
    FormatControl* italic = palette.control(u"toggleItalic:"_qs);
    QTest::mousePress(italic, Qt::LeftButton, {}, italic->rect().center());
    EXPECT_TRUE(italic->isPressed());
    // Under Reduce Motion it shrinks and recolours at once.
    EXPECT_DOUBLE_EQ(italic->shownScale(), 0.97);
    EXPECT_EQ(italic->shownFill(), italic->fill());

    QMouseEvent out(QEvent::MouseMove, QPointF(-20, -20), italic->mapToGlobal(QPointF(-20, -20)), Qt::NoButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(italic, &out);
    EXPECT_FALSE(italic->isPressed());
    EXPECT_DOUBLE_EQ(italic->shownScale(), 1.0);
    QMouseEvent back(QEvent::MouseMove, QPointF(italic->rect().center()), italic->mapToGlobal(QPointF(italic->rect().center())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(italic, &back);
    EXPECT_TRUE(italic->isPressed());
    QApplication::sendEvent(italic, &out);
    QTest::mouseRelease(italic, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_FALSE(shown.view()->formattingState().italic);
}

TEST(FormatPopover, AGoneNoteMakesPressesDoNothing)
{
    auto shown = std::make_unique<ShownEditor>();
    shown->load(QStringLiteral("|word|"));
    FormatPopoverViewController palette(shown->view());
    palette.show();
    shown.reset();
    QTest::mouseClick(palette.control(u"toggleBold:"_qs), Qt::LeftButton);
    palette.refresh(true);
    SUCCEED();
}
