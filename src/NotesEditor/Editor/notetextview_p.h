#pragma once
// What the three parts of the note text view share: its edit scope, and how it
// reads a paragraph.

#include "notetextview.h"

#include <QTextBlock>

// Holds edits back from being finished until the outermost event or command that
// makes them is done, then finishes them all at once.
class NoteTextView::Scope {
public:
    explicit Scope(NoteTextView* view) : view_(view) { ++view_->depth_; }
    ~Scope()
    {
        if (--view_->depth_ == 0)
            view_->finishEdits();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    NoteTextView* view_;
};

namespace notetext {

// Our own bookkeeping writes to the text: not edits.
struct Quiet {
    explicit Quiet(int& counter) : counter_(counter) { ++counter_; }
    ~Quiet() { --counter_; }
    int& counter_;
};

inline ParagraphInfo infoOf(const QTextBlock& block)
{
    return ParagraphMarkers::parse(block.text());
}

inline bool isDivider(const QTextBlock& block)
{
    return infoOf(block).kind.type == ParagraphKind::Type::divider;
}

} // namespace notetext
