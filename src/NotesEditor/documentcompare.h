#pragma once
// Whether two note texts say the same thing. Folding a section changes only the
// marks on its heading and the visibility of its body; a caller deciding whether
// the user edited a note (and so whether its modification date moves) must not
// take such a change for an edit.

class QTextDocument;

struct DocumentCompare {
    // Same characters, same character formats run by run, same paragraph formats,
    // leaving out the collapsible, collapsed and hidden marks and block visibility.
    static bool sameIgnoringFolds(const QTextDocument& a, const QTextDocument& b);
};
