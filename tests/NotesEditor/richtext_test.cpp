#include "richtext.h"
#include "sections.h"
#include "support/notetext.h"
#include "textdocument.h"
#include "typography.h"

#include <QRegularExpression>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

QList<TextDirection> directions(const QTextDocument& doc)
{
    QList<TextDirection> list;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        list.append(ParagraphStyle::of(b.blockFormat()).value_or(ParagraphStyle{}).direction);
    return list;
}

QByteArray withComment(const QByteArray& comment)
{
    return "{\\rtf1\\ansi{\\info{\\doccomm " + comment + "}}text}";
}

QDateTime at(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace

TEST(RichText, NoteSurvivesEncodeAndDecode)
{
    const QString divider = ParagraphMarkers::divider();
    auto doc = noteText({
        {"Notes", 28},
        {QStringLiteral("Plans\u00A0for the\u2028week")},
        {"Heading with italic, underline and plain", 21},
        {QStringLiteral("\u2611\tdone")},
        {QStringLiteral("\u2610\ttodo")},
        {QStringLiteral("12.\tnumbered")},
        {QStringLiteral("\u2022\tbullet \U0001F600 \U0001F44D\U0001F3FD")},
        {divider},
        {QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD")},
        {QStringLiteral("\u200FEnglish set right to left")},
        {QStringLiteral("\u200E\u0645\u0631\u062D\u0628\u0627")},
        {"", 17},
        {"Sub", 17},
        {"body with bold and underline {braces} \\ backslash"},
        {""},
    });
    const auto pos = [&](int paragraph, const QString& word) {
        const QTextBlock b = doc->findBlockByNumber(paragraph);
        return b.position() + int(b.text().indexOf(word));
    };
    setItalic(*doc, pos(2, "italic"), pos(2, "italic") + 6);
    setUnderline(*doc, pos(2, "underline"), pos(2, "underline") + 9);
    setBold(*doc, pos(2, "plain"), pos(2, "plain") + 5, false);
    setBold(*doc, pos(13, "bold"), pos(13, "bold") + 4);
    setUnderline(*doc, pos(13, "underline"), pos(13, "underline") + 9);
    RichText::normalize(*doc);
    Sections::applyState({0, 2}, {2}, *doc);
    ASSERT_EQ(Sections::headings(*doc).size(), 3);

    const QDateTime created = at(1'700'000'000'000);
    const QByteArray file = RichText::encode(*doc, Sections::collapsibleOrdinals(*doc),
                                             Sections::collapsedOrdinals(*doc), created);
    const auto decoded = RichText::decode(file);
    ASSERT_TRUE(decoded);

    EXPECT_EQ(pemby::documentText(*decoded->text), pemby::documentText(*doc));
    EXPECT_EQ(decoded->text->findBlockByNumber(1).text(), QStringLiteral("Plans\u00A0for the\u2028week"));
    EXPECT_EQ(runsOf(*decoded->text), runsOf(*doc));
    EXPECT_EQ(directions(*decoded->text), directions(*doc));
    EXPECT_EQ(decoded->collapsible, (QList<int>{0, 2}));
    EXPECT_EQ(decoded->collapsed, (QList<int>{2}));
    EXPECT_EQ(decoded->created, created);
    Sections::applyState(decoded->collapsible, decoded->collapsed, *decoded->text);
    EXPECT_EQ(Sections::collapsedOrdinals(*decoded->text), (QList<int>{2}));

    // What the runs should be, spelled out for the paragraphs that carry styles.
    const QList<QList<TextRun>> runs = runsOf(*decoded->text);
    EXPECT_EQ(runs[0], (QList<TextRun>{{"Notes", 28, true}}));
    EXPECT_EQ(runs[2], (QList<TextRun>{{"Heading with ", 21, true}, {"italic", 21, true, true}, {", ", 21, true},
                                   {"underline", 21, true, false, true}, {" and ", 21, true}, {"plain", 21}}));
    EXPECT_EQ(runs[7], (QList<TextRun>{{divider, 10}}));
    EXPECT_EQ(runs[11], (QList<TextRun>{{"", 17, true}}));  // the empty line kept its size
    EXPECT_EQ(directions(*decoded->text).mid(8, 3),
              (QList<TextDirection>{TextDirection::rtl, TextDirection::rtl, TextDirection::ltr}));
}

TEST(RichText, EncodeWritesTheMetadataComment)
{
    auto doc = RichText::plain("x");
    struct Case { QList<int> collapsible, collapsed; std::optional<QDateTime> created; const char* comment; };
    const Case cases[] = {
        {{}, {}, std::nullopt, nullptr},
        {{0, 2}, {2}, at(1'700'000'000'000), "{\\doccomm created=1700000000;collapsible=0,2;collapsed=2}"},
        {{}, {}, at(1500), "{\\doccomm created=2}"},
        {{}, {}, at(-1500), "{\\doccomm created=-2}"},
        {{}, {}, at(1499), "{\\doccomm created=1}"},
        {{}, {}, at(-1499), "{\\doccomm created=-1}"},
        {{3, 1}, {}, std::nullopt, "{\\doccomm collapsible=3,1}"},
        {{}, {4}, std::nullopt, "{\\doccomm collapsed=4}"},
    };
    for (const Case& c : cases) {
        const QByteArray file = RichText::encode(*doc, c.collapsible, c.collapsed, c.created);
        if (!c.comment)
            EXPECT_FALSE(file.contains("\\info")) << file.toStdString();
        else
            EXPECT_TRUE(file.contains(c.comment)) << file.toStdString();
    }
    const auto none = RichText::decode(RichText::encode(*doc, {}, {}, std::nullopt));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->collapsible.isEmpty());
    EXPECT_TRUE(none->collapsed.isEmpty());
    EXPECT_EQ(none->created, std::nullopt);
}

TEST(RichText, DecodeReadsTheMetadataEntryByEntry)
{
    struct Case { QByteArray comment; QList<int> collapsible, collapsed; std::optional<qint64> created; };
    const Case cases[] = {
        {"created=100", {}, {}, 100},
        {"collapsed=2", {2}, {2}, std::nullopt},
        {"collapsible=1,x,3;collapsed=", {1, 3}, {}, std::nullopt},
        {";;created=100;", {}, {}, 100},
        {"created=abc", {}, {}, std::nullopt},
        {"created=5,6", {}, {}, 5},
        {"created=-7", {}, {}, -7},
        {" created=5", {}, {}, std::nullopt},
        {"Created=5", {}, {}, std::nullopt},
        {"created=+5", {}, {}, 5},
        {"created=9223372036854775807", {}, {}, std::nullopt},  // no date that far out
        {"created=99999999999999999999", {}, {}, std::nullopt},
        {"collapsible=;collapsed=1", {1}, {1}, std::nullopt},
        {"collapsible=0,1;collapsible=2", {2}, {}, std::nullopt},
        {"collapsible=1 ,2,,3", {2, 3}, {}, std::nullopt},
        {"collapsible=0,4294967296", {0}, {}, std::nullopt},
        {"=5;created", {}, {}, std::nullopt},
        {"a=b=c;collapsed=0", {0}, {0}, std::nullopt},
        {"", {}, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto decoded = RichText::decode(withComment(c.comment));
        ASSERT_TRUE(decoded) << c.comment.toStdString();
        EXPECT_EQ(decoded->collapsible, c.collapsible) << c.comment.toStdString();
        EXPECT_EQ(decoded->collapsed, c.collapsed) << c.comment.toStdString();
        const std::optional<qint64> seconds =
            decoded->created ? std::optional(decoded->created->toSecsSinceEpoch()) : std::nullopt;
        EXPECT_EQ(seconds, c.created) << c.comment.toStdString();
        EXPECT_EQ(pemby::documentText(*decoded->text), "text");
    }
    const auto exact = RichText::decode(withComment("created=100"));
    EXPECT_EQ(exact->created->toMSecsSinceEpoch(), 100'000);
}

// A saved blank note must come back as a blank note, not as nothing, or it would
// vanish from its folder and lose its place in the order.
TEST(RichText, AnEmptyNoteDecodesAsAnEmptyNote)
{
    QTextDocument empty;
    const auto decoded = RichText::decode(RichText::encode(empty, {}, {}, at(1'000)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(pemby::textLength(*decoded->text), 0);
    EXPECT_EQ(decoded->created, at(1'000));

    const auto fixture = RichText::decode(readFixture("empty-note.rtf"));
    ASSERT_TRUE(fixture);
    EXPECT_EQ(pemby::textLength(*fixture->text), 0);
    EXPECT_EQ(fixture->created, at(1'700'000'000'000));

    for (const QByteArray& notRtf : {QByteArray(), QByteArray("plain text"), QByteArray("{\\rt"),
                                     QByteArray("{\\urtf1 x}"), QByteArray("\xEF\xBB\xBF{\\rtf1 x}")})
        EXPECT_FALSE(RichText::decode(notRtf)) << notRtf.toStdString();
    EXPECT_TRUE(RichText::decode("{\\rtf1"));
    EXPECT_TRUE(RichText::decode("\r\n {\\rtf1 x}"));
}

TEST(RichText, NormalizePullsRunsToTheirParagraphsRole)
{
    // A heading with a 20-point italic run and a 14-point bold run.
    auto doc = noteText({{"Heading", 21}, {"body"}});
    QTextCursor cursor(doc.get());
    cursor.movePosition(QTextCursor::EndOfBlock);
    QTextCharFormat italic;
    italic.setFontPointSize(20);
    italic.setFontItalic(true);
    italic.setForeground(QColor(Qt::red));
    cursor.insertText(" slanted", italic);
    QTextCharFormat small;
    small.setFontPointSize(14);
    small.setFontWeight(QFont::Bold);
    small.setFontFamilies({QStringLiteral("Courier")});
    cursor.insertText(" small", small);
    RichText::normalize(*doc);

    const QList<TextRun> heading = runsOf(*doc)[0];
    EXPECT_EQ(heading, (QList<TextRun>{{"Heading", 21, true}, {" slanted", 21, false, true}, {" small", 21, true}}));
    QTextBlock block = doc->begin();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        EXPECT_EQ(f.foreground().style(), Qt::NoBrush);  // the text colour, whatever it was
        EXPECT_EQ(pemby::runKern(f), -0.3);
        EXPECT_FALSE(f.hasProperty(QTextFormat::FontFamilies));
        EXPECT_LE(f.fontWeight(), QFont::DemiBold);  // headings are never heavier
    }
    EXPECT_EQ(pemby::runKern(doc->findBlockByNumber(1).begin().fragment().charFormat()), 0);
}

TEST(RichText, NormalizeGivesDividersTheirLook)
{
    auto doc = RichText::plain(QStringLiteral("\u05D0\n") + QString(8, QChar(u'\u2500')) + QStringLiteral("\nx"));
    const QTextBlock divider = doc->findBlockByNumber(1);
    const QTextCharFormat f = divider.begin().fragment().charFormat();
    EXPECT_EQ(f.fontPointSize(), 10);
    EXPECT_EQ(f.fontWeight(), QFont::Light);
    EXPECT_EQ(f.foreground(), Typography::tertiaryLabelColor());
    EXPECT_EQ(divider.charFormat().fontPointSize(), 10);
    const ParagraphStyle style = ParagraphStyle::of(divider.blockFormat()).value();
    EXPECT_TRUE(style.clips);
    EXPECT_EQ(style.direction, TextDirection::ltr);
    EXPECT_EQ(style.alignment, ParagraphStyle::Alignment::left);
}

TEST(RichText, PlainTextBecomesNoteText)
{
    auto doc = RichText::plain(QStringLiteral("first\n\u2610\tbox\n\nlast"));
    EXPECT_EQ(pemby::documentText(*doc), QStringLiteral("first\n\u2610\tbox\n\nlast"));
    EXPECT_EQ(doc->availableUndoSteps(), 0);  // building it is no edit
    const ParagraphStyle item = ParagraphStyle::of(doc->findBlockByNumber(1).blockFormat()).value();
    EXPECT_EQ(item.headIndent, 24);
    EXPECT_EQ(item.tabStops, QList<qreal>{24});
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        EXPECT_EQ(pemby::firstCharFormat(b).fontPointSize(), Typography::bodySize);
        EXPECT_EQ(pemby::firstCharFormat(b).fontWeight(), QFont::Normal);
    }
    EXPECT_EQ(pemby::textLength(*RichText::plain("")), 0);
}

TEST(RichText, FixturesFromTheSiblingAppReadCorrectly)
{
    const auto note = RichText::decode(readFixture("sibling-note.rtf"));
    ASSERT_TRUE(note);
    EXPECT_EQ(pemby::documentText(*note->text),
              QStringLiteral("Trip to Lisbon\nPacking\n\u2022\tpassport\n\u2022\tsunscreen\n\u2610\tbuy an adapter\n"
                             "\u2611\tbook the hotel\n1.\tpack light\nCaf\u00E9 at 9, then the tram and the castle.\n"
                             "line one\u2028line two \U0001F600\n\n\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD\n")
                  + QString(10, QChar(u'\u2500')) + QStringLiteral("\nDone."));
    const QList<QList<TextRun>> runs = runsOf(*note->text);
    ASSERT_EQ(runs.size(), 13);
    EXPECT_EQ(runs[0], (QList<TextRun>{{"Trip to Lisbon", 28, true}}));
    EXPECT_EQ(runs[1], (QList<TextRun>{{"Packing", 21, true}}));
    EXPECT_EQ(runs[7], (QList<TextRun>{{QStringLiteral("Caf\u00E9 at 9, then the "), 15}, {"tram", 15, false, true},
                                   {" and ", 15}, {"the castle", 15, false, false, true}, {".", 15}}));
    EXPECT_EQ(runs[9], (QList<TextRun>{{"", 15}}));
    EXPECT_EQ(runs[11][0].size, 10);
    EXPECT_EQ(directions(*note->text)[10], TextDirection::rtl);
    EXPECT_EQ(ParagraphStyle::of(note->text->findBlockByNumber(2).blockFormat())->headIndent, 24);
    EXPECT_EQ(note->collapsible, (QList<int>{0, 1}));
    EXPECT_EQ(note->collapsed, (QList<int>{1}));
    EXPECT_EQ(note->created, at(1'700'000'000'000));

    const auto attachment = RichText::decode(readFixture("attachment-and-link.rtf"));
    ASSERT_TRUE(attachment);
    EXPECT_EQ(pemby::documentText(*attachment->text),
              "Photo: \nSee the map for details.\nBold italic face\nafter plain");
    const QList<QList<TextRun>> linked = runsOf(*attachment->text);
    EXPECT_EQ(linked[1], (QList<TextRun>{{"See ", 15}, {"the map", 15, false, false, true}, {" for details.", 15}}));
    EXPECT_EQ(linked[2], (QList<TextRun>{{"Bold italic face", 15, true, true}}));  // from the face's name
    EXPECT_EQ(linked[3], (QList<TextRun>{{"after plain", 15}}));

    const auto other = RichText::decode(readFixture("other-writer.rtf"));
    ASSERT_TRUE(other);
    EXPECT_EQ(pemby::documentText(*other->text),
              QStringLiteral("Groceries\n\u2022\tMilk \U0001F600\nCaf\u00E9\u2028Tea\ttime\n\n"));
    EXPECT_EQ(runsOf(*other->text)[0], (QList<TextRun>{{"Groceries", 21, true}}));
}

TEST(RichText, WriterFollowsTheConventionsOtherReadersExpect)
{
    auto doc = noteText({{"Heading", 21}, {"", 28}, {QStringLiteral("\u2022\tcaf\u00E9 \U0001F600")},
                         {QStringLiteral("\u05D0")}});
    const QByteArray file = RichText::encode(*doc, {}, {}, std::nullopt);
    EXPECT_TRUE(file.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    for (const char c : file)
        ASSERT_LT(uchar(c), 0x80) << "only ASCII in the file";
    EXPECT_TRUE(file.contains("\\f0\\b\\i0\\fs42\\cf0")) << file.toStdString();  // semibold is written bold
    // The empty title line's size, right before its paragraph ends.
    EXPECT_TRUE(QString::fromLatin1(file).contains(QRegularExpression(QStringLiteral("\\\\fs56[^ ]* \\\\\n"))))
        << file.toStdString();
    EXPECT_TRUE(file.contains("\\uc0\\u8226 \\tab caf\\uc0\\u233  \\uc0\\u-10179 \\uc0\\u-8704 "));
    EXPECT_TRUE(file.contains("\\pard\\tx480\\pardeftab480\\li480\\fi-480")) << file.toStdString();
    EXPECT_TRUE(file.contains("\\rtlpar")) << file.toStdString();
}
