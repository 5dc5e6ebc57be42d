// Spelling marks in the note editor over a small word list: what is marked, that the
// marks are drawn and never stored or undone, that an edit checks only its paragraph,
// that a long note opens before its whole check, and the text menu's entries.
#include "editorfixture.h"

#include "NotesEditor/support/wordlist.h"
#include "note.h"
#include "spellingmarks.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QStringList english{"the", "cat", "sat", "on", "mat", "dog", "spelling", "note", "is"};

// The words marked in each paragraph, as the layout draws them.
QList<QStringList> drawnMarks(ShownEditor& shown)
{
    QList<QStringList> all;
    for (QTextBlock b = shown.document().begin(); b.isValid(); b = b.next()) {
        QStringList words;
        for (const QTextLayout::FormatRange& r : b.layout()->formats()) {
            if (r.format.underlineStyle() == QTextCharFormat::WaveUnderline)
                words.append(b.text().mid(r.start, r.length));
        }
        all.append(words);
    }
    return all;
}

// Lets the editor take up its new text, then checks what waits.
void settle(ShownEditor& shown)
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    shown.view()->spelling()->checkAll();
}

// Opens the text menu over `position` and hands it to `pick` while it is open.
void withMenuAt(ShownEditor& shown, int position, const std::function<void(QMenu&)>& pick)
{
    QTextCursor c(&shown.document());
    c.setPosition(position);
    const QPoint point = shown.view()->cursorRect(c).center();
    bool picked = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || picked)
            return;
        picked = true;
        pick(*menu);
        menu->close();
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, shown.view()->viewport()->mapToGlobal(point));
    QApplication::sendEvent(shown.view()->viewport(), &event);
    ASSERT_TRUE(picked);
}

QStringList titles(const QMenu& menu)
{
    QStringList list;
    for (const QAction* a : menu.actions())
        list.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}

QAction* entry(const QMenu& menu, const QString& text)
{
    for (QAction* a : menu.actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

TEST(SpellingMarks, MisspeltWordsAreMarkedAndRightOnesAreNot)
{
    WordList words({{"en", english}});
    SharedSpelling spelling(words);
    ShownEditor shown;
    shown.load(QStringLiteral("Teh cat sat\n\u2610\tthe dgo\nthe mat"));
    settle(shown);
    EXPECT_EQ(drawnMarks(shown), (QList<QStringList>{{"Teh"}, {"dgo"}, {}}));

    // Typing marks the new word at once and takes the mark off a word put right.
    shown.caret(11);
    shown.type(QStringLiteral(" onn"));
    EXPECT_EQ(drawnMarks(shown).first(), (QStringList{"Teh", "onn"}));
    shown.key(Qt::Key_Backspace);
    EXPECT_EQ(drawnMarks(shown).first(), QStringList{"Teh"});
}

TEST(SpellingMarks, MarksAreNeitherStoredNorUndoneNorAnEdit)
{
    WordList words({{"en", english}});
    SharedSpelling spelling(words);
    ShownEditor shown;
    shown.load(QList<Para>{{"Teh nite", 21}, {"the cat is speling"}});
    const std::optional<QByteArray> before = shown.editor().rtf();
    settle(shown);
    ASSERT_EQ(drawnMarks(shown), (QList<QStringList>{{"Teh", "nite"}, {"speling"}}));

    EXPECT_EQ(shown.editor().rtf(), before);
    EXPECT_EQ(shown.changes(), 0);
    EXPECT_FALSE(shown.document().isUndoAvailable());
    EXPECT_FALSE(shown.document().isModified());
    Note note(QStringLiteral("n"), QString(), QDateTime::currentDateTimeUtc());
    shown.editor().store(note);
    for (const QList<TextRun>& paragraph : runsOf(note.attributedText()))
        for (const TextRun& run : paragraph)
            EXPECT_FALSE(run.underline) << run.text.toStdString();

    // Marks that change without an edit (a word learned) are no edit either.
    words.learn(QStringLiteral("nite"), 0);
    EXPECT_EQ(drawnMarks(shown).first(), QStringList{"Teh"});
    EXPECT_EQ(shown.editor().rtf(), before);
    EXPECT_EQ(shown.changes(), 0);
    EXPECT_FALSE(shown.document().isUndoAvailable());
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.changes(), 0);

    // An edit is one undo step with or without its marks.
    shown.caret(shown.block(1).position() + 3);
    shown.type(QStringLiteral("x"));
    EXPECT_EQ(drawnMarks(shown)[1], (QStringList{"thex", "speling"}));
    EXPECT_EQ(shown.changes(), 1);
    EXPECT_EQ(shown.document().availableUndoSteps(), 1);
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("Teh nite\nthe cat is speling"));
    EXPECT_FALSE(shown.document().isUndoAvailable());
}

TEST(SpellingMarks, AnEditChecksOnlyTheParagraphsItChanged)
{
    WordList words({{"en", english}});
    SharedSpelling spelling(words);
    ShownEditor shown;
    QStringList paragraphs;
    for (int i = 0; i < 300; ++i)
        paragraphs.append(QStringLiteral("the cat sat on the mat"));
    shown.load(paragraphs.join(u'\n'));
    settle(shown);
    EXPECT_EQ(words.checkedWords, 300 * 6);

    const int before = words.checkedWords;
    shown.caret(shown.block(150).position() + 3);
    shown.type(QStringLiteral("x"));
    EXPECT_EQ(drawnMarks(shown)[150], QStringList{"thex"});
    EXPECT_LE(words.checkedWords - before, 6);
    QCoreApplication::processEvents();
    EXPECT_LE(words.checkedWords - before, 6);
}

// Each look-up takes a while, as a large dictionary's may.
class SlowWords : public WordList {
public:
    using WordList::WordList;

protected:
    bool isCorrect(QStringView word, int language) override
    {
        QElapsedTimer t;
        t.start();
        while (t.nsecsElapsed() < 100'000) {
        }
        return WordList::isCorrect(word, language);
    }
};

TEST(SpellingMarks, ALongNoteOpensBeforeItsWholeCheckWhatIsOnScreenFirst)
{
    SlowWords words({{"en", english}});
    SharedSpelling spelling(words);
    ShownEditor shown;
    QStringList paragraphs;
    for (int i = 0; i < 4000; ++i)
        paragraphs.append(QStringLiteral("teh cat"));
    shown.load(paragraphs.join(u'\n'));
    // The load itself checks nothing.
    EXPECT_EQ(words.checkedWords, 0);
    SpellingMarks& marks = *shown.view()->spelling();
    QElapsedTimer waited;
    waited.start();
    while (marks.marks(shown.block(0)).isEmpty() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(marks.marks(shown.block(0)).size(), 1);
    EXPECT_TRUE(marks.marks(shown.block(3999)).isEmpty());
    EXPECT_TRUE(marks.isChecking());
    marks.checkAll();
    EXPECT_EQ(drawnMarks(shown)[3999], QStringList{"teh"});
    EXPECT_FALSE(marks.isChecking());
}

TEST(SpellingMarks, ASuggestionReplacesTheWordAsOneUndoStep)
{
    WordList words({{"en", english}});
    SharedSpelling spelling(words);
    ShownEditor shown;
    shown.load(QList<Para>{{"Notes", 21}, {"the cqt sat"}});
    settle(shown);
    const int word = shown.block(1).position() + 4;
    withMenuAt(shown, word + 1, [](QMenu& menu) {
        const QStringList t = titles(menu);
        ASSERT_GE(t.size(), 5);
        // The suggestions first, then the two entries, then the usual ones.
        EXPECT_EQ(t.mid(0, 5), (QStringList{"cat", "-", "Add to Dictionary", "Ignore Spelling", "-"}));
        entry(menu, QStringLiteral("cat"))->trigger();
    });
    EXPECT_EQ(shown.text(), QStringLiteral("Notes\nthe cat sat"));
    EXPECT_EQ(shown.caret(), word + 3);
    EXPECT_EQ(drawnMarks(shown)[1], QStringList());
    EXPECT_EQ(shown.changes(), 1);
    shown.undo();
    EXPECT_EQ(shown.text(), QStringLiteral("Notes\nthe cqt sat"));
    EXPECT_FALSE(shown.document().isUndoAvailable());

    // Over a word that is right there are no spelling entries.
    withMenuAt(shown, shown.block(1).position() + 1, [](QMenu& menu) {
        EXPECT_FALSE(entry(menu, QStringLiteral("Add to Dictionary")));
        EXPECT_FALSE(entry(menu, QStringLiteral("Ignore Spelling")));
    });
}

TEST(SpellingMarks, AddToDictionaryAndIgnoreClearTheMarkInEveryNote)
{
    WordList words({{"en", english}});
    SharedSpelling spelling(words);
    ShownEditor first, second;
    first.load(QStringLiteral("the zorbly cat\nqux"));
    second.load(QStringLiteral("a zorbly mat, zorbly\nqux"));
    settle(first);
    settle(second);
    ASSERT_EQ(drawnMarks(second)[0], (QStringList{"zorbly", "zorbly"}));

    withMenuAt(first, 6, [](QMenu& menu) { entry(menu, QStringLiteral("Add to Dictionary"))->trigger(); });
    EXPECT_EQ(words.learned, QStringList{"zorbly"});
    EXPECT_EQ(drawnMarks(first), (QList<QStringList>{{}, {"qux"}}));
    EXPECT_EQ(drawnMarks(second), (QList<QStringList>{{}, {"qux"}}));

    withMenuAt(second, second.block(1).position() + 1,
               [](QMenu& menu) { entry(menu, QStringLiteral("Ignore Spelling"))->trigger(); });
    EXPECT_EQ(words.ignored, QStringList{"qux"});
    EXPECT_EQ(drawnMarks(first), (QList<QStringList>{{}, {}}));
    EXPECT_EQ(first.changes() + second.changes(), 0);
    EXPECT_FALSE(first.document().isUndoAvailable() || second.document().isUndoAvailable());
}

TEST(SpellingMarks, WithoutADictionaryNothingIsCheckedOrSaid)
{
    WordList none;
    SharedSpelling spelling(none);
    ShownEditor shown;
    shown.load(QStringLiteral("Teh speling"));
    settle(shown);
    shown.caret(11);
    shown.type(QStringLiteral(" mroe"));
    EXPECT_EQ(drawnMarks(shown), QList<QStringList>{{}});
    EXPECT_FALSE(shown.view()->spelling()->isChecking());
    withMenuAt(shown, 1, [](QMenu& menu) {
        EXPECT_FALSE(entry(menu, QStringLiteral("Add to Dictionary")));
        EXPECT_FALSE(titles(menu).isEmpty());
    });
}

} // namespace
