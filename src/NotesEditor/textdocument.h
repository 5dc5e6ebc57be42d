#pragma once
// How note text lives in a QTextDocument. A paragraph is a block; its range runs
// from the block's position over its separator, which stands for the paragraph's
// line break. A run "has a font" when its format carries a point size: the size
// is what decides a paragraph's role, the family is always the view's own.

#include <QBrush>
#include <QFont>
#include <QString>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>

// Private properties of note text, beside Qt's own.
enum NoteTextProperty {
    // block: the tab interval after the last tab stop (points)
    DefaultTabIntervalProperty = QTextFormat::UserProperty + 1,
    // block: the heading's section can fold
    NoteCollapsibleProperty = QTextFormat::UserProperty + 2,
    // block: the heading's section is folded
    NoteCollapsedProperty = QTextFormat::UserProperty + 3,
    // block: the paragraph lies in a folded section body
    NoteHiddenProperty = QTextFormat::UserProperty + 4,
};

// A range of the text in UTF-16 units.
struct TextRange {
    int location = 0;
    int length = 0;
    int end() const { return location + length; }
    bool operator==(const TextRange&) const = default;
};

namespace pemby {

// Replaces a run's font by the size, weight and italic of `font`; no family is
// set, so the view's own (the system font) is used.
void setRunFont(QTextCharFormat& format, const QFont& font);
bool hasFont(const QTextCharFormat& format);
// Letter spacing in points.
void setRunKern(QTextCharFormat& format, qreal kern);
qreal runKern(const QTextCharFormat& format);
// Qt::NoBrush stands for the view's own text colour (it follows light and dark).
void setRunColor(QTextCharFormat& format, const QBrush& color);

// The format of a paragraph's first character; for an empty paragraph, the block's
// own character format (what the view lays the empty line out with).
QTextCharFormat firstCharFormat(const QTextBlock& block);
// Every character as stored (no-break spaces and line separators included), one
// "\n" between paragraphs.
QString documentText(const QTextDocument& document);
// Length of the text in UTF-16 units, without the document's closing separator.
int textLength(const QTextDocument& document);
// The end of a paragraph's range: after its separator, never beyond the text.
int paragraphEnd(const QTextBlock& block);
// A paragraph's range, its separator included.
TextRange paragraphRange(const QTextBlock& block);

} // namespace pemby
