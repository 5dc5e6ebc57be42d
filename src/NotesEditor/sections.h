#pragma once
// Collapsible sections. Any title, heading or subheading paragraph with text is a
// section heading; its section body runs to the next heading of the same or a
// higher level. Fold state lives on the text itself (the heading's block carries
// the collapsible and collapsed marks, every block of a folded body the hidden one
// and is made invisible), and a note file stores it as heading ordinals: indexes
// into headings().

#include "textdocument.h"

#include <QList>
#include <QStringView>

#include <optional>

class QTextBlock;
class QTextDocument;

struct Sections {
    struct Heading {
        TextRange range;  // the whole paragraph, its separator included
        int rank = 0;     // 0 title, 1 heading, 2 subheading
        bool operator==(const Heading&) const = default;
    };

    // True when the text holds a character that is neither white space nor a direction mark.
    static bool hasText(QStringView text);
    static QList<Heading> headings(const QTextDocument& text);
    // The rank of a paragraph that is a heading (0 title, 1 heading, 2 subheading);
    // nullopt for body paragraphs and for heading-sized ones without text.
    static std::optional<int> headingRank(const QTextBlock& block);
    // The body of a valid ordinal; never of negative length.
    static TextRange body(int ordinal, const QList<Heading>& headings, int length);

    // Marks as collapsible every heading named in either list and as collapsed every
    // one in `collapsed`, ignoring ordinals that name no heading, then hides the
    // folded bodies.
    static void applyState(const QList<int>& collapsible, const QList<int>& collapsed, QTextDocument& text);
    // Brings the three marks and the blocks' visibility in line with the headings:
    // collapsed needs collapsible, hidden follows the folded headings' bodies.
    // Writes nothing when they already agree.
    static void reapplyHidden(QTextDocument& text);

    // Ascending ordinals of the headings marked collapsible, and of those also marked collapsed.
    static QList<int> collapsibleOrdinals(const QTextDocument& text);
    static QList<int> collapsedOrdinals(const QTextDocument& text);
};
