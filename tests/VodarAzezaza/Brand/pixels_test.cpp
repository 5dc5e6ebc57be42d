// Pixel glyphs: their runs, their sizes, painting them sharp at any device pixel ratio,
// the move-count badge and the yawning face.
#include "palette.h"
#include "pixelgrid.h"
#include "pixelview.h"
#include "reducemotion.h"
#include "yawnview.h"
#include "zcount.h"

#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The grid painted into a transparent image of its own size at `dpr`.
QImage painted(const PixelGrid& grid, qreal unit, qreal dpr, const PixelInks& inks = Inks::standard())
{
    const QSize logical(int(std::ceil(grid.width() * unit)), int(std::ceil(grid.height() * unit)));
    QImage image(QSize(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PixelView::paint(p, QRectF(QPointF(0, 0), QSizeF(logical)), grid, unit, inks, Qt::black);
    return image;
}

int inkedPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) != 0;
    return n;
}

} // namespace

TEST(PixelGrid, RunsAlongRowsOnly)
{
    const PixelGrid g({"##.#", "#", "", ".###"});
    EXPECT_EQ(g.width(), 4);
    EXPECT_EQ(g.height(), 4);
    EXPECT_EQ(g.runs(QLatin1Char('#')),
              (QList<QRect>{QRect(0, 0, 2, 1), QRect(3, 0, 1, 1), QRect(0, 1, 1, 1), QRect(1, 3, 3, 1)}));
    EXPECT_TRUE(g.runs(QLatin1Char('Y')).isEmpty());
    EXPECT_EQ(PixelGrid().width(), 0);
}

TEST(Pixels, EveryGlyphHasItsSize)
{
    struct Size {
        const char* name;
        const PixelGrid& grid;
        int width;
        int height;
    };
    const Size sizes[] = {
        {"box", Pixels::box(), 9, 9},           {"boxDone", Pixels::boxDone(), 9, 9},
        {"plus", Pixels::plus(), 9, 9},         {"focus", Pixels::focus(), 9, 9},
        {"expand", Pixels::expand(), 9, 9},     {"pin", Pixels::pin(), 9, 9},
        {"pinOff", Pixels::pinOff(), 9, 9},     {"dots", Pixels::dots(), 9, 9},
        {"markSmall", Pixels::markSmall(), 8, 8}, {"z", Pixels::z(), 5, 5},
    };
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.grid.width(), s.width);
        EXPECT_EQ(s.grid.height(), s.height);
        for (const QString& row : s.grid.rows())
            EXPECT_EQ(row.size(), s.width);
    }
    ASSERT_EQ(Pixels::yawnFrames().size(), 4);
    for (const auto& frame : Pixels::yawnFrames()) {
        EXPECT_EQ(frame.width(), 16);
        EXPECT_EQ(frame.height(), 16);
    }
    // The mouth opens from frame to frame: more rows of ink below the eyes.
    auto mouthRows = [](const PixelGrid& g) {
        QSet<int> rows;
        for (const QRect& r : g.runs(QLatin1Char('K')))
            if (r.y() > 6)
                rows.insert(r.y());
        return rows.size();
    };
    for (int i = 1; i < 4; ++i)
        EXPECT_GT(mouthRows(Pixels::yawnFrames().at(i)), mouthRows(Pixels::yawnFrames().at(i - 1))) << "frame " << i;
}

TEST(PixelView, PaintsWholeDevicePixelsAtEveryRatio)
{
    // The box has 28 inked pixels.
    const int inked = 28;
    for (const qreal dpr : {1.0, 1.25, 1.5, 2.0, 3.0}) {
        SCOPED_TRACE(dpr);
        const QImage image = painted(Pixels::box(), 2, dpr);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const int a = qAlpha(image.pixel(x, y));
                ASSERT_TRUE(a == 0 || a == 255) << "soft edge at " << x << "," << y;
            }
        const qreal side = 2 * dpr;
        if (side == std::round(side))
            EXPECT_EQ(inkedPixels(image), int(inked * side * side));
        else  // Rounded edges: every pixel square is one of two whole sizes.
            EXPECT_NEAR(inkedPixels(image), inked * side * side, inked * (2 * side + 1));
    }
}

TEST(PixelView, PaintsOnlyTheCharactersItHasInksFor)
{
    // The ticked box is all "Y" and "K": the standard ink paints none of it.
    EXPECT_EQ(inkedPixels(painted(Pixels::boxDone(), 1, 1)), 0);
    const QImage face = painted(Pixels::boxDone(), 1, 1, Inks::brandFace());
    EXPECT_EQ(face.pixel(1, 1), QColor(0xFFD23F).rgb());   // Y
    EXPECT_EQ(face.pixel(7, 2), QColor(0x121211).rgb());   // K
    EXPECT_EQ(qAlpha(face.pixel(0, 0)), 0);                // "."
}

TEST(PixelView, ForegroundInksTakeTheViewsColour)
{
    PixelView view(Pixels::plus(), 2);
    view.setForeground(Palette::oops);
    EXPECT_EQ(view.sizeHint(), QSize(18, 18));
    const QImage image = view.grab().toImage();
    EXPECT_EQ(image.pixel(9, 9), QColor(0xFF5A4E).rgb());
}

TEST(ZCount, ThreeZsAtMostAndTheFullCountForAccessibility)
{
    struct Case {
        int count;
        int shown;
        QSize size;
    };
    const Case cases[] = {
        {0, 0, QSize(0, 0)},
        {1, 1, QSize(10, 10)},
        {2, 2, QSize(22, 12)},
        {7, 3, QSize(34, 14)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ZCount z(c.count, 2);
        EXPECT_EQ(z.shown(), c.shown);
        EXPECT_EQ(z.sizeHint(), c.size);
        EXPECT_EQ(z.accessibleName(), QStringLiteral("Moved %1 times").arg(c.count));
    }
    // The z's climb: the last one's top row is the highest.
    ZCount z(3, 2);
    z.resize(z.sizeHint());
    const QImage image = z.grab().toImage();
    auto topInk = [&](int x0, int x1) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = x0; x < x1; ++x)
                if (qAlpha(image.pixel(x, y)) != 0)
                    return y;
        return -1;
    };
    EXPECT_EQ(topInk(0, 10), 4);
    EXPECT_EQ(topInk(12, 22), 2);
    EXPECT_EQ(topInk(24, 34), 0);
    EXPECT_EQ(image.pixel(24, 0), Palette::pembySnooze.light().rgb());
}

TEST(YawnView, YawnsOnceEachTimeItIsShown)
{
    ReduceMotion::setForTesting(false);
    YawnView face(2);
    face.setPaceForTesting(20);
    QList<int> frames;
    QObject::connect(&face, &YawnView::frameChanged, [&](int f) { frames.append(f); });
    face.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() == 4; }, 2000));
    EXPECT_EQ(frames, (QList<int>{1, 2, 3, 0}));

    // Hidden half way: the timer stops and the face is closed for next time.
    frames.clear();
    face.hide();
    QObject::connect(&face, &YawnView::frameChanged, &face, [&](int f) {
        if (f == 2)
            face.hide();
    });
    face.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return face.isHidden(); }, 2000));
    EXPECT_EQ(face.frame(), 0);
    QTest::qWait(200);
    EXPECT_EQ(frames, (QList<int>{1, 2, 0}));
}

TEST(YawnView, UnderReduceMotionTheMouthStaysOpen)
{
    ReduceMotion::setForTesting(true);
    YawnView face(2);
    face.setPaceForTesting(20);
    QSignalSpy changes(&face, &YawnView::frameChanged);
    face.show();
    QTest::qWait(200);
    EXPECT_EQ(face.frame(), 3);
    EXPECT_EQ(changes.count(), 0);
    // Frame 3's wide mouth is painted: ink below the eyes in the middle column.
    face.resize(face.sizeHint());
    const QImage image = face.grab().toImage();
    EXPECT_EQ(image.pixel(15, 2 * 9 + 1), QColor(0x121211).rgb());
    ReduceMotion::setForTesting(false);
}
