#pragma once
// What the picture tests of the sheets and the focus panel share: a drawing made once
// light and once dark, laid side by side, and a plain run of things to count.

#include "palette.h"
#include "things.h"

#include <QImage>
#include <QList>

#include <functional>

// Draws `render` in the light and then the dark appearance, with Reduce Motion on and
// the pixel font installed, and puts the app's palette back to light afterwards.
QList<QImage> inBothAppearances(const std::function<QImage(ColorScheme)>& render);
// The pictures left to right, `gap` pixels of white between them.
QImage sideBySide(const QList<QImage>& pictures, int gap = 8);

// `open` things not done, then `done` things done, titled t0, t1, ...
QList<Thing> someThings(int open, int done);
