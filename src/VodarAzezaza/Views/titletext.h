#pragma once
// How every view draws a title (a thing's, another app's thing's, a note's, an
// event's): in the direction its first strong character gives, cut at its logical end
// with "…" when it does not fit, set at the side where its reader starts, on one line,
// and never turned around by what it holds.
//
// API
//   const TitleText::Line line = TitleText::fit(thing.title, fontMetrics(), box.width());
//   const QRectF ink = TitleText::draw(painter, box, line);   // where the text went
//
// A Hebrew title with an English word in it ("לקנות חלב ב-Shufersal") reads right to
// left, its "…" on the left; an English one with a Hebrew word reads left to right.

#include <QFontMetrics>
#include <QRectF>
#include <QString>

class QPainter;

namespace TitleText {

// What is drawn of `title`: one line (line breaks and tabs as spaces, other control
// characters gone) without the explicit embeddings, overrides and isolates, so that a
// right-to-left override cannot make "bidi-\u202Etxt.exe" read as "bidi-exe.txt".
QString shown(const QString& title);
// Right to left when the first strong character is (an isolate's content skipped), else
// left to right.
Qt::LayoutDirection direction(QStringView text);

struct Line {
    QString text;  // shown, cut to fit, with "…" at its logical end when cut
    Qt::LayoutDirection direction = Qt::LeftToRight;
    qreal width = 0;  // the advance of `text`
};
// `title` shown and cut to `width`.
Line fit(const QString& title, const QFontMetrics& metrics, qreal width);
// The same, for a title whose shown text is known to be `advance` wide (as
// QFontMetricsF measures it in the same font): a title that fits is not measured again.
Line fit(const QString& title, const QFontMetrics& metrics, qreal width, qreal advance);
// Draws `line` in `box`, centred vertically and aligned to its reading start, in the
// painter's font and pen; the rectangle its text takes (for a strike or a wash).
QRectF draw(QPainter& painter, const QRectF& box, const Line& line);
// Where a text `width` wide starts in `box` when it is aligned to its reading start.
qreal start(const QRectF& box, qreal width, Qt::LayoutDirection direction);

} // namespace TitleText
