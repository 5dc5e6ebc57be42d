// The small pieces of every column: the check box and its pop, the press feedback, the
// filler line's hover and tap, the lines' rule, the mark washes and user text shown as
// plain text.
#include "checkbutton.h"
#include "emptyline.h"
#include "eventrow.h"
#include "markwash.h"
#include "palette.h"
#include "plaintext.h"
#include "reducemotion.h"
#include "ruled.h"

#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <memory>

namespace {

// How many columns of a grab hold anything but the background of its corner.
int inkWidth(QWidget& w)
{
    const QImage image = w.grab().toImage();
    const QRgb background = image.pixel(0, 0);
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < left ? 0 : right - left + 1;
}

struct MotionPin {
    explicit MotionPin(bool reduce) { ReduceMotion::setForTesting(reduce); }
    ~MotionPin() { ReduceMotion::setForTesting(false); }
};

} // namespace

TEST(CheckButton, TickingPopsUntickingAndReduceMotionDoNot)
{
    struct Case {
        const char* name;
        bool done;
        bool reduceMotion;
        bool pops;
    };
    const Case cases[] = {
        {"ticking pops", false, false, true},
        {"unticking does not", true, false, false},
        {"nothing pops under Reduce Motion", false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MotionPin motion(c.reduceMotion);
        CheckButton check(c.done);
        check.resize(check.sizeHint());
        check.show();
        int toggles = 0;
        // The row's toggle, which the model then reflects.
        QObject::connect(&check, &CheckButton::clicked, [&] {
            ++toggles;
            check.setDone(!check.isDone());
        });
        const int resting = inkWidth(check);
        QTest::mouseClick(&check, Qt::LeftButton);
        EXPECT_EQ(toggles, 1);
        EXPECT_EQ(check.popScale(), c.pops ? CheckButton::popScaleMax : 1.0);
        if (c.pops) {
            EXPECT_GT(inkWidth(check), resting);
        }
        // Back to rest once the pop has eased out.
        EXPECT_TRUE(QTest::qWaitFor([&] { return check.popScale() == 1.0; }, 2000));
    }
}

TEST(CheckButton, FollowsTheModelWithoutFiringAndNamesItsState)
{
    CheckButton check(false);
    QSignalSpy clicked(&check, &CheckButton::clicked);
    EXPECT_EQ(check.accessibleName(), QStringLiteral("Not done"));
    check.setDone(true);
    EXPECT_EQ(check.accessibleName(), QStringLiteral("Done"));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(check.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(check.sizeHint(), QSize(20, 22));
}

TEST(PressStyle, ShrinksWhileHeld)
{
    MotionPin motion(true);
    CheckButton check(true);
    check.resize(check.sizeHint());
    check.show();
    PressStyle* press = check.findChild<PressStyle*>();
    ASSERT_TRUE(press);
    QTest::mousePress(&check, Qt::LeftButton);
    EXPECT_EQ(press->scale(), PressStyle::pressedScale);
    QTest::mouseRelease(&check, Qt::LeftButton);
    EXPECT_EQ(press->scale(), 1.0);
}

TEST(EmptyLine, ShowsTheBoxUnderThePointerAndReportsATap)
{
    MotionPin motion(true);
    QWidget window;
    auto* line = new EmptyLine(&window);
    line->resize(200, Ruled::lineHeight);
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy tapped(line, &EmptyLine::tapped);
    // Whatever the pointer did while the window came up.
    QEvent away(QEvent::Leave);
    QCoreApplication::sendEvent(line, &away);

    const QImage before = line->grab().toImage();
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), line->mapToGlobal(QPointF(10, 10)));
    QCoreApplication::sendEvent(line, &enter);
    EXPECT_EQ(line->boxOpacity(), EmptyLine::hoverOpacity);
    EXPECT_NE(line->grab().toImage(), before);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(line, &leave);
    EXPECT_EQ(line->boxOpacity(), 0.0);
    EXPECT_EQ(line->grab().toImage(), before);

    QTest::mouseClick(line, Qt::RightButton);
    EXPECT_EQ(tapped.count(), 0);
    QTest::mouseClick(line, Qt::LeftButton);
    EXPECT_EQ(tapped.count(), 1);
}

TEST(Lines, AreThirtyTwoHighAndRuledAlongTheBottom)
{
    EmptyLine empty;
    EventRow event(QStringLiteral("standup"));
    for (QWidget* line : {static_cast<QWidget*>(&empty), static_cast<QWidget*>(&event)}) {
        SCOPED_TRACE(line->metaObject()->className());
        line->resize(200, line->sizeHint().height());
        EXPECT_EQ(line->height(), Ruled::lineHeight);
        const QImage image = line->grab().toImage();
        EXPECT_EQ(image.pixel(150, Ruled::lineHeight - 1), Palette::pembyRule.light().rgb());
        EXPECT_NE(image.pixel(150, Ruled::lineHeight - 2), Palette::pembyRule.light().rgb());
    }
}

TEST(MarkWash, TintsOfTheMarkColours)
{
    auto at = [](QRgb rgb, double alpha) {
        QColor c(rgb);
        c.setAlphaF(float(alpha));
        return c;
    };
    const std::pair<Mark, QColor> washes[] = {
        {Mark::Lavender, at(0xA99BFF, 0.35)},
        {Mark::Green, at(0x2FBF71, 0.25)},
        {Mark::Red, at(0xFF5A4E, 0.25)},
    };
    for (const auto& [mark, colour] : washes) {
        SCOPED_TRACE(markRawValue(mark).toStdString());
        EXPECT_EQ(markWash(mark).in(ColorScheme::Light), colour);
        EXPECT_EQ(markWash(mark).in(ColorScheme::Dark), colour);
    }
}

TEST(PlainText, MarkupFromAFileIsShownAsWritten)
{
    const QString titles[] = {
        QStringLiteral("<b>rent</b>"),
        QStringLiteral("<a href=\"https://example.com\">pay</a> & <img src=x>"),
        QStringLiteral("two\nlines"),
    };
    for (const QString& title : titles) {
        SCOPED_TRACE(title.toStdString());
        QTextDocument tip;
        tip.setHtml(PlainText::toolTip(title));
        EXPECT_EQ(tip.toPlainText(), title);
        std::unique_ptr<QLabel> label(PlainText::label(title));
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_FALSE(label->openExternalLinks());
    }
}
