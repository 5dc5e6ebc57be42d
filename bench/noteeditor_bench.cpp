// What a keystroke costs in the note editor: the edit, the restyle of its
// paragraph, the section bookkeeping, the layout and the repaint, in the long note
// of the rich-text benchmark, typing in the middle and at the end. It must stay
// well under a frame (4 ms) and must not grow with the note's length.
// Run on demand: build/<dir>/bench/noteeditor_bench
#include "benchmark.h"
#include "longnote.h"
#include "noteeditor.h"
#include "notetextview.h"
#include "richtext.h"
#include "sections.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

void press(QWidget* target, int key, const QString& text)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &up);
    QApplication::processEvents();
}

// Every 50th paragraph a collapsible heading, the first of them folded.
std::unique_ptr<QTextDocument> withSections(int paragraphs)
{
    auto text = RichText::plain(longNote(paragraphs));
    QTextCharFormat heading;
    heading.setFontPointSize(21);
    heading.setFontWeight(QFont::DemiBold);
    QList<int> collapsible;
    int ordinal = 0;
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next()) {
        if (b.blockNumber() % 50 != 4)
            continue;
        QTextCursor c(b);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        c.mergeCharFormat(heading);
        collapsible.append(ordinal++);
    }
    RichText::normalize(*text);
    Sections::applyState(collapsible, {0}, *text);
    return text;
}

void typeInto(NoteEditor& editor, const char* what, int position)
{
    NoteTextView* view = editor.textView();
    QTextCursor c = view->textCursor();
    c.setPosition(position);
    view->setTextCursor(c);
    measure(what, 200, [&](int) { press(view, Qt::Key_X, QStringLiteral("x")); });
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QApplication app(argc, argv);

    for (int size : {500, 5000}) {
        std::printf("note: %d paragraphs\n", size);
        NoteEditor editor;
        editor.resize(800, 900);
        editor.show();
        editor.load(RichText::encode(*RichText::plain(longNote(size)), {}, {}, std::nullopt), QString());
        QApplication::processEvents();
        const QTextDocument* doc = editor.textView()->document();
        typeInto(editor, "key in the middle", doc->findBlockByNumber(size / 2 + 4).position() + 10);
        typeInto(editor, "key at the end", doc->characterCount() - 1);

        auto sections = withSections(size);
        editor.load(RichText::encode(*sections, Sections::collapsibleOrdinals(*sections),
                                     Sections::collapsedOrdinals(*sections), std::nullopt),
                    QString());
        QApplication::processEvents();
        // A load brings a document of its own.
        doc = editor.textView()->document();
        typeInto(editor, "key in the middle, with sections", doc->findBlockByNumber(size / 2 + 6).position() + 10);
    }
    return 0;
}
