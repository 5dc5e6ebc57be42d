#include "note.h"

#include "paragraphmarkers.h"
#include "richtext.h"
#include "support/notetext.h"
#include "textdocument.h"
#include "typography.h"

#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

const QDateTime someTime = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

QString repeated(const QString& piece, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");  // one character, five scalars

struct LinesCase {
    const char* name;
    QString text;
    QString title;
    QString preview;
};

} // namespace

TEST(Note, TitleAndPreviewAreTheFirstMeaningfulLines)
{
    const QString letters = repeated(QStringLiteral("abcdefghij"), 10);  // 100 letters
    const QList<LinesCase> cases = {
        {"empty", QString(), QStringLiteral("New Note"), QString()},
        {"blank and direction marks", QStringLiteral(" \n\u200E\u200F \t\n\u00A0"), QStringLiteral("New Note"), QString()},
        {"divider, empty line and a checkbox",
         ParagraphMarkers::divider() + QStringLiteral("\n\n\u2610\tbuy milk"), QStringLiteral("buy milk"), QString()},
        {"numbered and bulleted items", QStringLiteral("12.\tfirst\n\u2022\tsecond"), QStringLiteral("first"),
         QStringLiteral("second")},
        {"marks inside a line go", QStringLiteral("\u200F\u05E9\u05DC\u05D5\u05DD\u200E world"),
         QStringLiteral("\u05E9\u05DC\u05D5\u05DD world"), QString()},
        {"title cut at 80, preview at 120", letters + u'\n' + letters + letters, letters.left(80),
         (letters + letters).left(120)},
        {"one meaningful line", QStringLiteral("  only this  \n\n   "), QStringLiteral("only this"), QString()},
        {"only the first 400 units of a line are read", repeated(QStringLiteral(" "), 400) + QStringLiteral("hidden\nshown"),
         QStringLiteral("shown"), QString()},
        {"a cut that would split a surrogate pair keeps the line whole",
         repeated(QStringLiteral(" "), 399) + QStringLiteral("\U0001F600tail"), QStringLiteral("\U0001F600tail"), QString()},
        {"a cut after a whole pair", repeated(QStringLiteral(" "), 398) + QStringLiteral("\U0001F600tail"),
         QStringLiteral("\U0001F600"), QString()},
        {"an emoji of several scalars is one of the 80", repeated(QStringLiteral("a"), 79) + family + QStringLiteral("bc"),
         repeated(QStringLiteral("a"), 79) + family, QString()},
        {"every line break", QStringLiteral("one\r\ntwo\rthree"), QStringLiteral("one"), QStringLiteral("two")},
        {"line and paragraph separators", QStringLiteral("one\u2028two\u2029three"), QStringLiteral("one"),
         QStringLiteral("two")},
        {"next line", QStringLiteral("\u0085\u0085one\u0085two"), QStringLiteral("one"), QStringLiteral("two")},
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Note::title(c.text), c.title);
        EXPECT_EQ(Note::preview(c.text), c.preview);
    }
}

TEST(Note, DerivesFromItsRichText)
{
    const Note note(QStringLiteral("a"), QStringLiteral("\u2611\tGroceries\u2028and more\nmilk, eggs"), someTime);
    EXPECT_EQ(note.title(), QStringLiteral("Groceries"));
    EXPECT_EQ(note.preview(), QStringLiteral("and more"));
    EXPECT_EQ(note.created(), someTime);
    EXPECT_FALSE(note.isEmpty());

    const Note empty(QStringLiteral("b"), QStringLiteral("\n \u200F\n\u3000"), someTime);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.title(), Note::untitled());
    EXPECT_EQ(empty.preview(), QString());
}

TEST(Note, EveryChangeOfTheTextCountsAndDropsTheCaches)
{
    Note note(QStringLiteral("a"), QStringLiteral("first"), someTime);
    EXPECT_EQ(note.title(), QStringLiteral("first"));
    EXPECT_TRUE(note.matches(Note::folded(QStringLiteral("FIRST"))));

    note.setAttributedText(RichText::plain(QStringLiteral("second")));
    note.setAttributedText(RichText::plain(QStringLiteral("third\nline")));
    EXPECT_EQ(note.version(), 2);
    EXPECT_EQ(note.title(), QStringLiteral("third"));
    EXPECT_EQ(note.preview(), QStringLiteral("line"));
    EXPECT_FALSE(note.matches(QStringLiteral("first")));

    note.modifyText([](QTextDocument& text) { QTextCursor(&text).insertText(QStringLiteral("a ")); });
    EXPECT_EQ(note.version(), 3);
    EXPECT_EQ(note.title(), QStringLiteral("a third"));
    EXPECT_TRUE(note.matches(QStringLiteral("a third")));

    note.setModified(someTime.addDays(1));
    note.setCreated(someTime.addDays(-1));
    note.setCollapsibleSections({0});
    note.setCollapsedSections({0});
    EXPECT_EQ(note.version(), 3);
}

TEST(Note, FoldsCaseDiacriticsWidthAndHebrewPoints)
{
    const struct {
        QString text, folded;
    } cases[] = {
        {QStringLiteral("Caf\u00E9 \u00C0B"), QStringLiteral("cafe ab")},
        {QStringLiteral("\uFF21"), QStringLiteral("a")},
        // Vowel points and a cantillation mark go; the letters stay.
        {QStringLiteral("\u05E9\u05C1\u05B8\u05DC\u05D5\u05B9\u05DD\u0591"), QStringLiteral("\u05E9\u05DC\u05D5\u05DD")},
        // The block's punctuation stays: maqaf, paseq, sof pasuq, nun hafukha.
        {QStringLiteral("\u05D0\u05BE\u05D1\u05C0\u05C3\u05C6"), QStringLiteral("\u05D0\u05BE\u05D1\u05C0\u05C3\u05C6")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Note::folded(c.text), c.folded) << c.text.toStdString();

    const Note note(QStringLiteral("a"), QStringLiteral("Lunch at the CAF\u00C9\nwith \uFF21nna"), someTime);
    EXPECT_TRUE(note.matches(Note::folded(QStringLiteral("cafe"))));
    EXPECT_TRUE(note.matches(Note::folded(QStringLiteral("anna"))));
    EXPECT_TRUE(note.matches(QString()));
    EXPECT_FALSE(note.matches(Note::folded(QStringLiteral("cafes"))));
    // The query must come folded: the note's text is, the raw query is not.
    EXPECT_FALSE(note.matches(QStringLiteral("CAFE")));
}

TEST(Note, TitleRangeSkipsMarkersMarksAndBlankLines)
{
    const struct {
        const char* name;
        QString text;
        std::optional<TextRange> range;
    } cases[] = {
        {"empty", QString(), std::nullopt},
        {"only blanks, marks and a divider", QStringLiteral(" \n\u200E\t\n") + ParagraphMarkers::divider(), std::nullopt},
        {"trimmed", QStringLiteral("  Hello  \nworld"), TextRange{2, 5}},
        {"after a direction mark and a checkbox", QStringLiteral("\u200F\u2610\t title\n"), TextRange{4, 5}},
        {"an empty list item and a divider come first",
         QStringLiteral("\u2022\t\n") + ParagraphMarkers::divider() + QStringLiteral("\nplan"), TextRange{303 + 1, 4}},
        {"a surrogate is content", QStringLiteral(" \U0001F600 "), TextRange{1, 2}},
        // Longer than what title reads: the range still finds the text.
        {"a long blank start", repeated(QStringLiteral(" "), 400) + QStringLiteral("x"), TextRange{400, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Note::titleRange(c.text), c.range);
    }
}

TEST(Note, RetitledReplacesOnlyTheTitle)
{
    const struct {
        const char* name;
        QString text;
        QString title;
        QString result;
    } cases[] = {
        {"plain first line", QStringLiteral("Old\nbody"), QStringLiteral("  New  "), QStringLiteral("New\nbody")},
        {"the bullet stays", QStringLiteral("\u2022\told"), QStringLiteral("new"), QStringLiteral("\u2022\tnew")},
        {"the direction mark stays", QStringLiteral("\u200F\u2610\t old "), QStringLiteral("new"),
         QStringLiteral("\u200F\u2610\t new ")},
        {"blank lines before the title stay", QStringLiteral("\n\nOld"), QStringLiteral("New"), QStringLiteral("\n\nNew")},
        {"empty text", QString(), QStringLiteral("New"), QStringLiteral("New")},
        {"no title above a divider", ParagraphMarkers::divider(), QStringLiteral("New"),
         QStringLiteral("New\n") + ParagraphMarkers::divider()},
        {"blank title", QStringLiteral("Old"), QStringLiteral(" \n "), QStringLiteral("Old")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto text = RichText::plain(c.text);
        const auto retitled = Note::retitled(*text, c.title);
        EXPECT_EQ(pemby::documentText(*retitled), c.result);
    }
}

TEST(Note, RetitledKeepsTheTitlesLook)
{
    auto text = noteText({{"Old plan", 21}, {"body"}});
    setItalic(*text, 0, 3);
    const auto retitled = Note::retitled(*text, QStringLiteral("New plan"));
    const auto runs = runsOf(*retitled);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0], (QList<TextRun>{{"New plan", 21, true, true, false}}));
    EXPECT_EQ(runs[1], runsOf(*text)[1]);

    const auto unchanged = Note::retitled(*text, QStringLiteral("   "));
    EXPECT_EQ(runsOf(*unchanged), runsOf(*text));
}

TEST(Note, ATitleAboveADividerLooksLikeBodyText)
{
    // The new first paragraph starts out with the divider's attributes; it must not
    // keep them.
    const auto text = RichText::plain(ParagraphMarkers::divider());
    const auto retitled = Note::retitled(*text, QStringLiteral("New"));
    const auto runs = runsOf(*retitled);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0], (QList<TextRun>{{"New", Typography::bodySize, false, false, false}}));
    EXPECT_EQ(runs[1], runsOf(*text)[0]);
    const ParagraphStyle body = Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr);
    EXPECT_EQ(ParagraphStyle::of(retitled->begin().blockFormat()), body);
    const ParagraphStyle divider = Typography::dividerAttributes().paragraph;
    EXPECT_EQ(ParagraphStyle::of(retitled->begin().next().blockFormat()), divider);
}
