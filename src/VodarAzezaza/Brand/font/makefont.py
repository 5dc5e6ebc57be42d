#!/usr/bin/python3
"""Builds the planner's pixel font "Pemby Pixel" from the glyph grids in pembypixel.txt.

Run it with Debian's python3-fonttools after changing a glyph:

    /usr/bin/python3 src/VodarAzezaza/Brand/font/makefont.py

and commit the grids and VodarAzezaza-PembyPixel-Regular.ttf together. The build only
embeds the committed file; it never runs this script. The output is the same byte for
byte for the same grids, so a rebuild that changes nothing shows no diff.
"""

import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "pembypixel.txt")
OUTPUT = os.path.join(HERE, "VodarAzezaza-PembyPixel-Regular.ttf")

FAMILY = "Pemby Pixel"
STYLE = "Regular"
# Font units per pixel. The em of 640 units scales to a whole number of 26.6 fixed-point
# units at every whole pixel size, so advances come out exact (1000 would give 11.98
# for 12 px).
PIXEL = 64
ABOVE = 7            # grid rows standing on the baseline
ROWS = 9             # rows of every glyph grid
ASCENT = 8 * PIXEL   # the em is ten pixels: eight above the baseline...
DESCENT = 2 * PIXEL  # ...and two below
# A fixed date (2026-01-01) in the head table keeps the output reproducible.
TIMESTAMP = 3849984000


def fail(line, message):
    sys.exit(f"{SOURCE}:{line}: {message}")


def read_glyphs():
    """The glyphs in file order: a list of (character, rows)."""
    glyphs = []
    seen = set()
    with open(SOURCE, encoding="utf-8") as f:
        lines = [l.rstrip("\n") for l in f]
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        if not line.strip() or line.startswith("#"):
            continue
        if not line.startswith("glyph "):
            fail(i, f"expected 'glyph X', found {line!r}")
        name = line[len("glyph "):]
        if name.startswith("U+") and len(name) > 2:
            char = chr(int(name[2:], 16))
        elif len(name) == 1:
            char = name
        else:
            fail(i, f"a glyph is one character or U+XXXX, not {name!r}")
        if char in seen:
            fail(i, f"{name!r} is drawn twice")
        seen.add(char)
        rows = lines[i:i + ROWS]
        if len(rows) != ROWS or any(not r or set(r) - {"#", "."} for r in rows):
            fail(i, f"glyph {name!r} needs {ROWS} rows of '#' and '.'")
        if len({len(r) for r in rows}) != 1:
            fail(i, f"the rows of glyph {name!r} differ in length")
        glyphs.append((char, rows))
        i += ROWS
    return glyphs


def rectangles(rows):
    """The ink as rectangles (x, top row, width, height) in pixels: runs along a row,
    stacked while the rows below carry the very same run."""
    taken = set()
    result = []
    for y, row in enumerate(rows):
        x = 0
        while x < len(row):
            if row[x] != "#" or (x, y) in taken:
                x += 1
                continue
            start = x
            while x < len(row) and row[x] == "#":
                x += 1
            width = x - start
            height = 1
            while y + height < len(rows):
                below = rows[y + height]
                same = below[start:x] == "#" * width
                closed = (start == 0 or below[start - 1] != "#") and (x >= len(below) or below[x] != "#")
                if not (same and closed):
                    break
                height += 1
            for yy in range(y, y + height):
                for xx in range(start, x):
                    taken.add((xx, yy))
            result.append((start, y, width, height))
    return result


def outline(rows):
    pen = TTGlyphPen(None)
    for x, top, width, height in rectangles(rows):
        left = x * PIXEL
        right = (x + width) * PIXEL
        upper = (ABOVE - top) * PIXEL
        lower = (ABOVE - top - height) * PIXEL
        # Clockwise, as TrueType wants its filled contours.
        pen.moveTo((left, lower))
        pen.lineTo((left, upper))
        pen.lineTo((right, upper))
        pen.lineTo((right, lower))
        pen.closePath()
    return pen.glyph()


def notdef():
    """A hollow box for characters the font lacks (Qt falls back to another font first)."""
    pen = TTGlyphPen(None)
    # The outer contour clockwise, the hole counter-clockwise.
    P = PIXEL
    for points in ([(0, 0), (0, 7 * P), (5 * P, 7 * P), (5 * P, 0)],
                   [(P, P), (4 * P, P), (4 * P, 6 * P), (P, 6 * P)]):
        pen.moveTo(points[0])
        for p in points[1:]:
            pen.lineTo(p)
        pen.closePath()
    return pen.glyph()


def main():
    glyphs = read_glyphs()
    names = [".notdef"] + [f"uni{ord(c):04X}" for c, _ in glyphs]
    fb = FontBuilder(unitsPerEm=10 * PIXEL, isTTF=True)
    fb.font.recalcTimestamp = False
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({ord(c): f"uni{ord(c):04X}" for c, _ in glyphs})

    outlines = {".notdef": notdef()}
    metrics = {".notdef": (6 * PIXEL, 0)}
    for char, rows in glyphs:
        name = f"uni{ord(char):04X}"
        outlines[name] = outline(rows)
        metrics[name] = ((len(rows[0]) + 1) * PIXEL, 0)
    fb.setupGlyf(outlines)
    # Left side bearings as the glyphs' own bounding boxes give them.
    glyf = fb.font["glyf"]
    metrics = {n: (adv, getattr(glyf[n], "xMin", 0)) for n, (adv, _) in metrics.items()}
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT, lineGap=0)
    fb.setupNameTable({
        "familyName": FAMILY,
        "styleName": STYLE,
        "uniqueFontIdentifier": f"{FAMILY} {STYLE}",
        "fullName": f"{FAMILY} {STYLE}",
        "psName": "PembyPixel-Regular",
        "version": "Version 1.000",
    })
    fb.setupOS2(
        sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
        usWinAscent=ASCENT, usWinDescent=DESCENT,
        sxHeight=5 * PIXEL, sCapHeight=7 * PIXEL,
        version=4, achVendID="PMBY", fsType=0,
        fsSelection=0x40 | 0x80,  # regular; the typo metrics are the line metrics
    )
    fb.setupPost(isFixedPitch=0)
    fb.updateHead(created=TIMESTAMP, modified=TIMESTAMP)
    fb.save(OUTPUT)
    print(f"{OUTPUT}: {len(glyphs)} glyphs")


if __name__ == "__main__":
    main()
