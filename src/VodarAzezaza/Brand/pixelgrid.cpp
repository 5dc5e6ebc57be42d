#include "pixelgrid.h"

#include <algorithm>

PixelGrid::PixelGrid(QStringList rows) : rows_(std::move(rows)), height_(int(rows_.size()))
{
    for (const QString& row : std::as_const(rows_))
        width_ = std::max(width_, int(row.size()));
}

QList<QRect> PixelGrid::runs(QChar ch) const
{
    QList<QRect> result;
    for (int y = 0; y < height_; ++y) {
        const QString& row = rows_.at(y);
        int x = 0;
        while (x < row.size()) {
            if (row.at(x) != ch) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < row.size() && row.at(x) == ch)
                ++x;
            result.append(QRect(start, y, x - start, 1));
        }
    }
    return result;
}

namespace Pixels {

namespace {

// The brand face's rows that every yawn frame shares: 1 to 7 on top, 14 to 16 below.
const QStringList faceTop{
    QStringLiteral(".....YYYYYY....."),
    QStringLiteral("...YYYYYYYYYY..."),
    QStringLiteral("..YYYYYYYYYYYY.."),
    QStringLiteral(".YYYYYYYYYYYYYY."),
    QStringLiteral(".YYYYYYYYYYYYYY."),
    QStringLiteral("YYYKKKKYYKKKKYYY"),
    QStringLiteral("YYKYYYYYYYYYYKYY"),
};
const QStringList faceBottom{
    QStringLiteral("..YYYYYYYYYYYY.."),
    QStringLiteral("...YYYYYYYYYY..."),
    QStringLiteral(".....YYYYYY....."),
};

PixelGrid face(const QStringList& mouth)
{
    return PixelGrid(faceTop + mouth + faceBottom);
}

} // namespace

const PixelGrid& box()
{
    static const PixelGrid g({".#######.", "#.......#", "#.......#", "#.......#", "#.......#",
                              "#.......#", "#.......#", "#.......#", ".#######."});
    return g;
}

const PixelGrid& boxDone()
{
    static const PixelGrid g({".YYYYYYY.", "YYYYYYYYY", "YYYYYYYKY", "YYYYYYKYY", "YKYYYKYYY",
                              "YYKYKYYYY", "YYYKYYYYY", "YYYYYYYYY", ".YYYYYYY."});
    return g;
}

const PixelGrid& plus()
{
    static const PixelGrid g({".........", "....#....", "....#....", "....#....", ".#######.",
                              "....#....", "....#....", "....#....", "........."});
    return g;
}

const PixelGrid& focus()
{
    static const PixelGrid g({"#########", "#...#####", "#...#####", "#...#####", "#.......#",
                              "#.......#", "#.......#", "#.......#", "#########"});
    return g;
}

const PixelGrid& expand()
{
    static const PixelGrid g({"...######", ".......##", "......#.#", ".....#..#", "....#...#",
                              "...#....#", "..#......", ".#.......", "........."});
    return g;
}

const PixelGrid& pin()
{
    static const PixelGrid g({"..#####..", "...###...", "...###...", "..#####..", ".#######.",
                              "....#....", "....#....", "....#....", "....#...."});
    return g;
}

const PixelGrid& pinOff()
{
    static const PixelGrid g({"..#####..", "...#.#...", "...#.#...", "..#...#..", ".#######.",
                              "....#....", "....#....", "....#....", "....#...."});
    return g;
}

const PixelGrid& dots()
{
    static const PixelGrid g({".........", ".........", ".........", ".........", "#...#...#",
                              ".........", ".........", ".........", "........."});
    return g;
}

const PixelGrid& markSmall()
{
    static const PixelGrid g({"..YYYY..", ".YYYYYY.", "YKKYYKKY", "YYYYYYYY", "YYYKKYYY", "YYYKKYYY",
                              ".YYKKYY.", "..YYYY.."});
    return g;
}

const PixelGrid& z()
{
    static const PixelGrid g({"#####", "...#.", "..#..", ".#...", "#####"});
    return g;
}

const QList<PixelGrid>& yawnFrames()
{
    static const QList<PixelGrid> frames{
        face({"YYYYYYYYYYYYYYYY", "YYYYYYYYYYYYYYYY", "YYYYYYYYYYYYYYYY", "YYYYYYKKKKYYYYYY",
              ".YYYYYYYYYYYYYY.", ".YYYYYYYYYYYYYY."}),
        face({"YYYYYYYYYYYYYYYY", "YYYYYYYYYYYYYYYY", "YYYYYYYKKYYYYYYY", "YYYYYYYKKYYYYYYY",
              ".YYYYYYYYYYYYYY.", ".YYYYYYYYYYYYYY."}),
        face({"YYYYYYYYYYYYYYYY", "YYYYYYYYYYYYYYYY", "YYYYYYYKKYYYYYYY", "YYYYYYKKKKYYYYYY",
              ".YYYYYYKKYYYYYY.", ".YYYYYYYYYYYYYY."}),
        face({"YYYYYYYYYYYYYYYY", "YYYYYYYKKYYYYYYY", "YYYYYYKKKKYYYYYY", "YYYYYYKKKKYYYYYY",
              ".YYYYYKKKKYYYYY.", ".YYYYYYKKYYYYYY."}),
    };
    return frames;
}

} // namespace Pixels
