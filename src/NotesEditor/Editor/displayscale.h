#pragma once
// The editor shows one point of a note as one logical pixel, for fonts as for the
// indents and tab stops that Qt already takes in pixels. Qt would scale point
// sizes by the screen's resolution and so push list text past its tab stop, so the
// editor's own copy of the text carries each run's size as a pixel size as well.
// The note itself never sees it: noteCopy() takes it off again.

#include <QTextCharFormat>

class QTextDocument;

namespace DisplayScale {

// Gives a run with a point size the same number of pixels; a run without keeps none.
void show(QTextCharFormat& format);
QTextCharFormat shown(QTextCharFormat format);
// Every run and every empty paragraph's own format of [from, to).
void show(QTextDocument& text, int from, int to);
void show(QTextDocument& text);
// Takes the pixel sizes off again.
void unshow(QTextDocument& text);

} // namespace DisplayScale
