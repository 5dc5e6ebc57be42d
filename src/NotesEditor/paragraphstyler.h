#pragma once
// Brings paragraph styles in line with their roles, kinds and directions after an edit.

class QTextDocument;

struct ParagraphStyler {
    // Restyles the paragraphs that the edited range touches, and after them every
    // paragraph without a direction of its own (it inherits the edited one's). A
    // paragraph whose style already matches is left untouched, so a pass that
    // changes no style writes nothing to the document.
    static void apply(QTextDocument& text, int location, int length);
};
