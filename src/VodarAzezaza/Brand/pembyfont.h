#pragma once
// The planner's pixel font, "Pemby Pixel": headings and brand texts at 20 or 30 px.
//
// API
//   PembyFont::registerFont();        once at start-up, before the first window
//   label->setFont(PembyFont::font(20));
//
// The font travels inside the program (font/ holds its grids, the generator and the
// generated file, embedded as a resource). Registering writes it to the caches folder
// (else the temporary folder) and adds it for this process only. Views ask for the
// family by name in any case: should it be missing, the desktop's default font stands
// in, and characters the font lacks come from the desktop's fonts.

#include <QByteArray>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

class QLabel;
class QPainter;
class QWidget;

namespace PembyFont {

QString family();
// The file written into the caches folder.
QString fileName();

// Registers the embedded font for this process; later calls do nothing. Failures are
// logged and never stop the start.
void registerFont();
bool isRegistered();

// The font at a fixed pixel size, not scaled by the desktop's text size.
QFont font(int pixelSize);

// Draws one line of `text` in the painter's font and pen, as QPainter::drawText would
// (in `rect` aligned by `flags`, or from a point on the baseline). The pixel font's
// glyphs are drawn with their edges on whole device pixels, so that at a scale where
// one of its pixels is no whole number of device pixels (1.25, 1.5) they stay as crisp
// as the pixel art, a device pixel wider here and there, with no grey fringe.
// Characters the font lacks come from the desktop's fonts and are drawn as usual.
void drawText(QPainter& painter, const QRectF& rect, int flags, const QString& text);
void drawText(QPainter& painter, const QPointF& baseline, const QString& text);
// A label in the font at `pixelSize` that draws so, its text always plain.
QLabel* label(int pixelSize, QWidget* parent = nullptr);

// The embedded font file; empty when the resource is missing.
QByteArray embedded();
// Writes `bytes` atomically as fileName() into `folder` and registers that file. When
// the file cannot be written, registers the bytes themselves instead, never an older
// file that happens to lie there. The font database's id, or -1.
int install(const QByteArray& bytes, const QString& folder);

} // namespace PembyFont
