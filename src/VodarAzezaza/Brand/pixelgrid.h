#pragma once
// Pixel art as text: every small icon of the planner is a grid of rows, one character
// per pixel, painted by PixelView (pixelview.h).
//
// API
//   PixelGrid g({".#.", "###"});   width 3 (the longest row), height 2
//   g.runs(QChar('#'))            the horizontal runs of one character, in grid units,
//                                 row by row, left to right
//   Pixels::box(), Pixels::plus(), ...  the program's glyphs (made once, on first use)
//   Pixels::yawnFrames()          the four frames of the yawning face, mouth closed to open
//
// "." is never painted. The brand faces use "Y" (yawn yellow) and "K" (ink); the other
// glyphs use "#" for the one ink their view gives.

#include <QList>
#include <QRect>
#include <QStringList>

class PixelGrid {
public:
    PixelGrid() = default;
    explicit PixelGrid(QStringList rows);

    const QStringList& rows() const { return rows_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Each maximal run of `ch` along a row as a rectangle one unit high; runs are never
    // merged across rows. A shorter row simply ends early.
    QList<QRect> runs(QChar ch) const;

    bool operator==(const PixelGrid&) const = default;

private:
    QStringList rows_;
    int width_ = 0;
    int height_ = 0;
};

namespace Pixels {

// Nine by nine.
const PixelGrid& box();
const PixelGrid& boxDone();
const PixelGrid& plus();
const PixelGrid& focus();
const PixelGrid& expand();
const PixelGrid& pin();
const PixelGrid& pinOff();
const PixelGrid& dots();
// The small brand face, eight by eight.
const PixelGrid& markSmall();
// The move-count badge's z, five by five.
const PixelGrid& z();
// Sixteen by sixteen, frame 0 closed to frame 3 wide open.
const QList<PixelGrid>& yawnFrames();

} // namespace Pixels
