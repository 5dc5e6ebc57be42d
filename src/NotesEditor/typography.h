#pragma once
// Notes carry no style sheet: a paragraph's look follows from the size of its first
// character (its role) and its marker (its kind). This maps role, boldness, italic,
// kind and direction to fonts, letter spacing and paragraph styles.

#include "bidi.h"
#include "paragraphmarkers.h"

#include <QBrush>
#include <QFont>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <optional>

// The paragraph attributes of note text, kept in a block's format (see applyTo).
struct ParagraphStyle {
    enum class Alignment { natural, left, right, center, justified };

    TextDirection direction = TextDirection::ltr;
    Alignment alignment = Alignment::natural;  // natural follows the direction
    qreal lineSpacing = 0;                      // extra points between lines
    qreal spaceBefore = 0;
    qreal spaceAfter = 0;
    qreal headIndent = 0;           // lines after the first, from the leading edge
    qreal firstLineHeadIndent = 0;  // the first line, from the leading edge
    bool clips = false;             // lines are cut at the edge instead of wrapped
    QList<qreal> tabStops;          // natural alignment
    qreal defaultTabInterval = 0;   // 0: the view's default

    bool operator==(const ParagraphStyle&) const = default;
    // Equal in every field that decides the layout of a note's paragraph: what the
    // styler compares before it writes.
    bool sameLayout(const ParagraphStyle& other) const;

    // The style a block carries; nullopt when none was ever set on it.
    static std::optional<ParagraphStyle> of(const QTextBlockFormat& format);
    // Replaces the style in `format`; every other property stays.
    void applyTo(QTextBlockFormat& format) const;
};

// The attributes of a run: its character format and its paragraph's style.
struct TextAttributes {
    QTextCharFormat character;
    ParagraphStyle paragraph;
};

struct Typography {
    static constexpr qreal bodySize = 15;

    static qreal size(TextRole role);
    static qreal kern(TextRole role);
    static TextRole role(qreal pointSize);
    // The role of a run's font; body when the run has none.
    static TextRole role(const QTextCharFormat& format);
    // Semibold or heavier.
    static bool isBold(const QTextCharFormat& format);
    static bool isItalic(const QTextCharFormat& format);

    // `bold` nullopt: the role's own weight. Headings are never heavier than
    // semibold, so a bold run in a heading looks like the heading itself.
    static QFont font(TextRole role, std::optional<bool> bold, bool italic);
    static QFont dividerFont();
    static ParagraphStyle paragraphStyle(TextRole role, const ParagraphKind& kind, TextDirection direction);

    // NoBrush: the view's text colour.
    static QBrush textColor();
    // Faint on light and dark backgrounds alike.
    static QBrush tertiaryLabelColor();

    static TextAttributes dividerAttributes();
    static TextAttributes attributes(TextRole role, std::optional<bool> bold, bool italic,
                                     const ParagraphKind& kind, TextDirection direction, const QBrush& color);
};
