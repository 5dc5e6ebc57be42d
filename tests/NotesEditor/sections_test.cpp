#include "paragraphmarkers.h"
#include "richtext.h"
#include "sections.h"
#include "support/notetext.h"

#include <QTextBlock>

#include <gtest/gtest.h>

static void PrintTo(const Sections::Heading& h, std::ostream* os)
{
    *os << "{" << h.range.location << "+" << h.range.length << " rank " << h.rank << "}";
}

static QList<bool> visibility(const QTextDocument& doc)
{
    QList<bool> visible;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        visible.append(b.isVisible());
    return visible;
}

TEST(Sections, WhichParagraphsAreHeadings)
{
    struct Case { Para paragraph; std::optional<int> rank; };
    const Case cases[] = {
        {{"Title", 28}, 0}, {{"Title", 26.5}, 0}, {{"Heading", 26.4}, 1}, {{"Heading", 19.5}, 1},
        {{"Sub", 19.4}, 2}, {{"Sub", 16.5}, 2}, {{"Body", 16.4}, std::nullopt}, {{"Body", 15}, std::nullopt},
        {{"   ", 21}, std::nullopt},
        {{QStringLiteral("\u200F"), 21}, std::nullopt},
        {{QStringLiteral("\u200E\u200F \u00A0\t"), 21}, std::nullopt},
        {{QStringLiteral("\u200F\u05D0"), 21}, 1},
        {{"", 28}, std::nullopt},
    };
    for (const Case& c : cases) {
        // Normalizing pulls sizes to the role's own; build the paragraph after it.
        auto doc = noteText({{"before"}, {c.paragraph.text}, {"after"}});
        const QTextBlock block = doc->findBlockByNumber(1);
        setSize(*doc, block.position(), block.position() + block.length() - 1, c.paragraph.size);
        QTextCursor cursor(block);
        QTextCharFormat f = block.charFormat();
        f.setFontPointSize(c.paragraph.size);
        cursor.setBlockCharFormat(f);

        const QList<Sections::Heading> headings = Sections::headings(*doc);
        if (!c.rank) {
            EXPECT_TRUE(headings.isEmpty()) << c.paragraph.size << " " << c.paragraph.text.toStdString();
            continue;
        }
        ASSERT_EQ(headings.size(), 1) << c.paragraph.size;
        EXPECT_EQ(headings[0], (Sections::Heading{{block.position(), block.length()}, *c.rank}));
    }
    EXPECT_TRUE(Sections::headings(QTextDocument()).isEmpty());
}

TEST(Sections, OrdinalsApplyAndReadBack)
{
    auto doc = noteText({{"Title", 28}, {"a"}, {"One", 21}, {"b"}, {"Two", 17}, {"c"}, {"Three", 21}, {"d"}});
    ASSERT_EQ(Sections::headings(*doc).size(), 4);

    Sections::applyState({2, 0, -1, 4, 99}, {2, -3, 7}, *doc);
    EXPECT_EQ(Sections::collapsibleOrdinals(*doc), (QList<int>{0, 2}));
    EXPECT_EQ(Sections::collapsedOrdinals(*doc), (QList<int>{2}));
    // Folding the subheading "Two" hides its body up to the next heading.
    EXPECT_EQ(visibility(*doc), (QList<bool>{true, true, true, true, true, false, true, true}));
    EXPECT_TRUE(doc->findBlockByNumber(5).blockFormat().boolProperty(NoteHiddenProperty));

    // A collapsed ordinal alone makes its heading collapsible as well.
    auto other = noteText({{"Title", 28}, {"a"}, {"One", 21}, {"b"}});
    Sections::applyState({}, {1}, *other);
    EXPECT_EQ(Sections::collapsibleOrdinals(*other), (QList<int>{1}));
    EXPECT_EQ(Sections::collapsedOrdinals(*other), (QList<int>{1}));
    EXPECT_EQ(visibility(*other), (QList<bool>{true, true, true, false}));
}

TEST(Sections, FoldedBodiesRunToTheNextHeadingOfTheSameOrHigherLevel)
{
    auto doc = noteText({{"Title", 28}, {"a"}, {"Heading", 21}, {"b"}, {"Sub", 17}, {"c"},
                         {"Next heading", 21}, {"d"}, {"Next title", 28}, {"e"}});
    Sections::applyState({}, {1}, *doc);  // the heading: up to the next heading
    EXPECT_EQ(visibility(*doc), (QList<bool>{true, true, true, false, false, false, true, true, true, true}));

    Sections::applyState({}, {0}, *doc);  // and the title around it: up to the next title
    EXPECT_EQ(visibility(*doc), (QList<bool>{true, false, false, false, false, false, false, false, true, true}));
    EXPECT_EQ(Sections::collapsedOrdinals(*doc), (QList<int>{0, 1}));

    // Restyling the text leaves the fold alone, dividers included.
    auto divided = noteText({{"Heading", 21}, {ParagraphMarkers::divider()}, {"b"}});
    Sections::applyState({}, {0}, *divided);
    RichText::normalize(*divided);
    EXPECT_EQ(visibility(*divided), (QList<bool>{true, false, false}));
    EXPECT_TRUE(divided->findBlockByNumber(1).blockFormat().boolProperty(NoteHiddenProperty));

    // A heading that lost its text is no heading: its marks go, its body shows.
    auto lone = noteText({{"Heading", 21}, {"body"}});
    Sections::applyState({}, {0}, *lone);
    EXPECT_EQ(visibility(*lone), (QList<bool>{true, false}));
    QTextCursor cursor(lone->begin());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    Sections::reapplyHidden(*lone);
    EXPECT_EQ(visibility(*lone), (QList<bool>{true, true}));
    EXPECT_FALSE(lone->begin().blockFormat().hasProperty(NoteCollapsibleProperty));
}

TEST(Sections, BodyOfTheLastHeadingRunsToTheEnd)
{
    auto doc = noteText({{"a"}, {"Heading", 21}, {"b"}, {"c"}});
    const auto headings = Sections::headings(*doc);
    ASSERT_EQ(headings.size(), 1);
    EXPECT_EQ(Sections::body(0, headings, pemby::textLength(*doc)), (TextRange{10, 3}));
    // A heading at the very end has an empty body.
    auto end = noteText({{"a"}, {"Heading", 21}});
    EXPECT_EQ(Sections::body(0, Sections::headings(*end), pemby::textLength(*end)).length, 0);
}
