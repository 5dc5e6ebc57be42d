// What a keystroke costs in the note editor: the edit, the restyle of its
// paragraph, the section bookkeeping, the spelling check of its paragraph, the
// layout and the repaint, in the long note of the rich-text benchmark, typing in the
// middle and at the end. It must stay well under a frame (4 ms) and must not grow
// with the note's length. Each keystroke is timed with spelling on (the desktop's
// dictionary through Enchant) beside the same keystroke in an editor that checks
// nothing, taking turns; then what opening the note costs with spelling on.
// Run on demand: build/<dir>/bench/noteeditor_bench
#include "benchmark.h"
#include "longnote.h"
#include "noteeditor.h"
#include "notetextview.h"
#include "richtext.h"
#include "sections.h"
#include "spellchecker.h"
#include "spellingmarks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <functional>

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

// An editor that checks no spelling, as with no dictionary installed.
class NoSpelling : public SpellChecker {
public:
    QStringList languages() const override { return {}; }

protected:
    bool isCorrect(QStringView, int) override { return true; }
    QStringList guesses(const QString&, int) override { return {}; }
    void addWord(const QString&, int) override {}
    void ignoreWord(const QString&, int) override {}
};

void caretAt(NoteEditor& editor, int position)
{
    QTextCursor c = editor.textView()->textCursor();
    c.setPosition(position);
    editor.textView()->setTextCursor(c);
}

// Keystrokes in the two editors in turn, each at its own caret; the median of each.
void typeInto(NoteEditor& on, NoteEditor& off, const char* what, const std::function<int(const QTextDocument&)>& where)
{
    caretAt(on, where(*on.textView()->document()));
    caretAt(off, where(*off.textView()->document()));
    const auto rounds = inTurns(
        200, [&](int) { press(on.textView(), Qt::Key_X, QStringLiteral("x")); },
        [&](int) { press(off.textView(), Qt::Key_X, QStringLiteral("x")); });
    std::printf("%-40s %8.3f ms with spelling, %8.3f ms without\n", what, rounds[0].median(), rounds[1].median());
}

void load(NoteEditor& editor, const QByteArray& rtf)
{
    editor.load(rtf, QString());
    QApplication::processEvents();
    // Every paragraph checked: a keystroke then costs what it costs in a note open for a while.
    editor.textView()->spelling()->checkAll();
}

} // namespace

int main(int argc, char** argv)
{
    headlessUnlessSet();
    QApplication app(argc, argv);

    SpellChecker* spelling = SpellChecker::shared();
    {
        QEventLoop wait;
        QObject::connect(spelling, &SpellChecker::wordsChanged, &wait, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        spelling->prepare();
        QTimer::singleShot(30000, &wait, &QEventLoop::quit);
        if (!spelling->isAvailable())
            wait.exec();
        if (!spelling->isAvailable()) {
            std::printf("no dictionary installed: spelling is off, and both columns below check nothing\n");
        } else {
            std::printf("dictionaries %s ready after %.0f ms (on a thread of their own)\n",
                        qPrintable(spelling->languages().join(u',')), double(clock.elapsed()));
        }
    }
    NoSpelling none;

    for (int size : {500, 5000}) {
        std::printf("note: %d paragraphs\n", size);
        NoteEditor on;
        SpellChecker::setShared(&none);
        NoteEditor off;
        SpellChecker::setShared(nullptr);
        for (NoteEditor* e : {&on, &off}) {
            e->resize(800, 900);
            e->show();
        }
        const QByteArray plain = RichText::encode(*RichText::plain(longNote(size)), {}, {}, std::nullopt);
        {
            // Opening: the load shows the note at once; the check follows in slices.
            QElapsedTimer clock;
            clock.start();
            on.load(plain, QString());
            const double opened = double(clock.nsecsElapsed()) / 1e6;
            SpellingMarks& marks = *on.textView()->spelling();
            QApplication::processEvents();
            while (marks.isChecking())
                QApplication::processEvents();
            std::printf("%-40s %8.3f ms to show, every paragraph checked after %.0f ms of idle slices\n", "opening",
                        opened, double(clock.nsecsElapsed()) / 1e6);
        }
        load(on, plain);
        load(off, plain);
        typeInto(on, off, "key in the middle", [size](const QTextDocument& d) {
            return d.findBlockByNumber(size / 2 + 4).position() + 10;
        });
        typeInto(on, off, "key at the end", [](const QTextDocument& d) { return d.characterCount() - 1; });

        auto sections = withSections(size);
        const QByteArray folded = RichText::encode(*sections, Sections::collapsibleOrdinals(*sections),
                                                   Sections::collapsedOrdinals(*sections), std::nullopt);
        load(on, folded);
        load(off, folded);
        typeInto(on, off, "key in the middle, with sections", [size](const QTextDocument& d) {
            return d.findBlockByNumber(size / 2 + 6).position() + 10;
        });
    }
    return 0;
}
