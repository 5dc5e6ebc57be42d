#include "paragraphmarkers.h"
#include "rtfreader.h"
#include "rtfwriter.h"
#include "support/notetext.h"
#include "textdocument.h"
#include "typography.h"

#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

QString textOf(const QByteArray& rtf)
{
    const auto read = RtfReader::read(rtf);
    EXPECT_TRUE(read) << rtf.toStdString();
    return read ? pemby::documentText(*read->text) : QString();
}

} // namespace

TEST(RtfReader, ReadsCharactersAsTheSiblingAppsWriterEncodesThem)
{
    struct Case { QByteArray body; QString text; };
    const Case cases[] = {
        {"plain", "plain"},
        {"\\'95\\tab item", QStringLiteral("\u2022\titem")},
        {"\\'80\\'e9\\'9f", QStringLiteral("\u20AC\u00E9\u0178")},
        {"a\\\nb\\\r\nc\\par d", "a\nb\nc\nd"},
        {"one\\line two\\uc0\\u8232 three", QStringLiteral("one\u2028two\u2028three")},
        {"\\uc0\\u55357 \\u56832 ", QStringLiteral("\U0001F600")},         // unsigned halves
        {"\\u-10179?\\u-8704?", QStringLiteral("\U0001F600")},           // signed, one fallback each
        {"\\uc2\\u233 xyz", QStringLiteral("\u00E9z")},
        {"\\uc1\\u233\\'e9x", QStringLiteral("\u00E9x")},
        {"{\\uc3\\u233 a}bc", QStringLiteral("\u00E9bc")},                 // a brace ends the fallback
        {"\\uc0\\u55357 x", QStringLiteral("\uFFFDx")},                    // lone high half
        {"\\uc0\\u56832 x", QStringLiteral("\uFFFDx")},                    // lone low half
        {"\\uc0\\u55357\\par x", QStringLiteral("\uFFFD\nx")},
        {"\\{\\}\\\\", "{}\\"},
        {"a\\~b\\_c", QStringLiteral("a\u00A0b\u2011c")},
        {"\\ltrmark x\\rtlmark y", QStringLiteral("\u200Ex\u200Fy")},
        {"\\lquote\\rquote\\ldblquote\\rdblquote\\emdash\\endash\\bullet",
         QStringLiteral("\u2018\u2019\u201C\u201D\u2014\u2013\u2022")},
        {"tab\tliteral", "tab\tliteral"},
        {"raw \xe9", QStringLiteral("raw \u00E9")},
        {"ctl\\'01\\'7f\\uc0\\u7 \\u133 x", "ctlx"},
        {"frame\\uc0\\u65024 \\u64976 ", QStringLiteral("frame\uFE00\uFFFD")},
        {"\\uc0\\u10 x", "\nx"},
        {"{\\*\\unknown skipped {nested}}{\\pict 0a0b}{\\stylesheet{x;}}shown", "shown"},
        {"{\\info{\\title T}{\\author A}}{\\header H}{\\footer F}text", "text"},
        {"{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt label}}", "label"},
        {"{{\\NeXTGraphic a.png \\width1}\\'ac}after", "after"},
        {"{{\\NeXTGraphic a.png \\width1}x}", "x"},
        {"\\bin4 {}\\xtext", "text"},
        {"{\\*\\x \\bin3 }}}}text", "text"},
        {"\\unknownword1234567890123 x", "x"},
        {"\\fs99999999999999999999 big", "big"},
        {"\\'4", "4"},
        {"}after the end", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1252 " + c.body + "}"), c.text) << c.body.toStdString();
}

TEST(RtfReader, ReadsCharacterFormatting)
{
    const auto read = RtfReader::read(
        "{\\rtf1{\\fonttbl\\f0\\fnil .AppleSystemUIFont;\\f1\\fnil .SFNS-Semibold;}\\f0\\fs33 a\\b b\\b0 "
        "\\i c\\i0\\ul d\\ulnone\\uld e\\ul0\\ulc2 f\\plain\\fs33\\f1 g\\b0 h\\plain i{\\b j}k}");
    ASSERT_TRUE(read);
    const QList<TextRun> runs = runsOf(*read->text)[0];
    EXPECT_EQ(runs, (QList<TextRun>{{"a", 16.5}, {"b", 16.5, true}, {"c", 16.5, false, true},
                                {"de", 16.5, false, false, true}, {"f", 16.5}, {"g", 16.5, true},
                                {"h", 16.5}, {"i", 12}, {"j", 12, true}, {"k", 12}}));
}

TEST(RtfReader, ReadsParagraphAttributesAndTheComment)
{
    const auto read = RtfReader::read(
        "{\\rtf1{\\info{\\doccomm a=1\\'3bb\\{}}\\pard\\tx480\\pardeftab480\\li480\\fi-480\\slleading40"
        "\\sb240\\sa60\\qc\\rtlpar x\\par\\pard y\\par\\fs56\\par}");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->comment, QStringLiteral("a=1;b{"));
    const QTextDocument& doc = *read->text;
    ASSERT_EQ(doc.blockCount(), 4);
    ParagraphStyle first;
    first.direction = TextDirection::rtl;
    first.alignment = ParagraphStyle::Alignment::center;
    first.tabStops = {24};
    first.defaultTabInterval = 24;
    first.headIndent = 24;
    first.firstLineHeadIndent = 0;
    first.lineSpacing = 2;
    first.spaceBefore = 12;
    first.spaceAfter = 3;
    EXPECT_EQ(ParagraphStyle::of(doc.begin().blockFormat()), first);
    EXPECT_EQ(ParagraphStyle::of(doc.findBlockByNumber(1).blockFormat()), ParagraphStyle{});
    // An empty paragraph has the size in force where it ends.
    EXPECT_EQ(doc.findBlockByNumber(2).charFormat().fontPointSize(), 28);
    EXPECT_FALSE(RtfReader::read("{\\rtf1 x}")->comment);
}

TEST(RtfReader, WhatTheWriterWritesReadsBackTheSame)
{
    auto doc = noteText({{"Title", 28}, {"", 21}, {QStringLiteral("\u2610\tbox \U0001F600 {x} \\ \u00A0\u2028")},
                         {QStringLiteral("\u05D0\u05D1")}, {ParagraphMarkers::divider()}, {"tail"}});
    setUnderline(*doc, 9, 12);
    QTextCursor cursor(doc->findBlockByNumber(5));
    QTextCharFormat red;
    red.setForeground(QColor(200, 10, 20));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(red);

    const QByteArray file = RtfWriter::write(*doc, QStringLiteral("k=v;\u00E9{}"));
    const auto read = RtfReader::read(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(pemby::documentText(*read->text), pemby::documentText(*doc));
    EXPECT_EQ(runsOf(*read->text), runsOf(*doc));
    EXPECT_EQ(read->comment, QStringLiteral("k=v;\u00E9{}"));
    for (QTextBlock a = doc->begin(), b = read->text->begin(); a.isValid(); a = a.next(), b = b.next()) {
        ASSERT_TRUE(b.isValid());
        auto expected = ParagraphStyle::of(a.blockFormat());
        expected->clips = false;  // RTF has no word for clipped lines
        EXPECT_EQ(ParagraphStyle::of(b.blockFormat()), expected) << a.blockNumber();
        EXPECT_EQ(pemby::runKern(b.begin().fragment().charFormat()),
                  pemby::runKern(a.begin().fragment().charFormat()));
    }
    EXPECT_EQ(read->text->lastBlock().begin().fragment().charFormat().foreground().color(), QColor(200, 10, 20));
}

TEST(RtfReader, SizesBetweenHalfPointsKeepTheirRole)
{
    struct Case { qreal size, readBack; };
    const Case cases[] = {{15, 15}, {16.5, 16.5}, {21.2, 21}, {21.3, 21.5}, {26.4, 26}, {26.45, 26}, {16.3, 16},
                          {16.4, 16}, {19.4, 19}, {0.1, 0.5}};
    for (const Case& c : cases) {
        QTextDocument doc;
        QTextCharFormat f;
        f.setFontPointSize(c.size);
        QTextCursor(&doc).insertText("x", f);
        const auto read = RtfReader::read(RtfWriter::write(doc, std::nullopt));
        const qreal size = read->text->begin().begin().fragment().charFormat().fontPointSize();
        EXPECT_EQ(size, c.readBack) << c.size;
        EXPECT_EQ(Typography::role(size), Typography::role(c.size)) << c.size;
    }
}

// Truncated files (a sync client mid-write, a full disk) give what could be read.
TEST(RtfReader, EveryPrefixOfAFixtureReads)
{
    for (const char* name : {"sibling-note.rtf", "attachment-and-link.rtf", "empty-note.rtf", "other-writer.rtf"}) {
        const QByteArray data = readFixture(name);
        for (qsizetype n = 0; n <= data.size(); ++n) {
            const auto read = RtfReader::read(data.left(n));
            ASSERT_EQ(bool(read), n >= 5) << name << " " << n;
            if (read) {
                ASSERT_LE(pemby::textLength(*read->text), data.size()) << name << " " << n;
            }
        }
    }
}

TEST(RtfReader, MalformedInputEndsInLinearTime)
{
    const QByteArray open(200'000, '{');
    const QByteArray close(200'000, '}');
    QByteArray codePages;
    for (int page = 1; page <= 20'000; ++page)
        codePages += "\\ansicpg" + QByteArray::number(page) + " \\'41";
    struct Case { QByteArray data; QString text; };
    const Case cases[] = {
        {"{\\rtf1 " + open + "deep" + close + " after}", " after"},  // too deep: skipped
        {"{\\rtf1 {\\*\\skip " + open + "x" + close + "} after}", " after"},
        {"{\\rtf1 a" + close, "a"},
        {"{\\rtf1 " + QByteArray(100'000, '\\') + "}", QString(50'000, u'\\')},
        {"{\\rtf1 \\bin999999999 ", ""},
        {"{\\rtf1 \\u", ""},
        {"{\\rtf1 \\uc2147483647\\u65 x}", "A"},
        {"{\\rtf1 \\fs-5 \\tx-99999999999 \\li2147483647 x}", "x"},
        {"{\\rtf1 " + QByteArray(100'000, 'a') + QByteArray(100'000, '\0') + "}", QString(100'000, u'a')},
        {"{\\rtf1 " + QByteArray(1'000, '{').repeated(200) + "x", ""},
        {"{\\rtf1 " + codePages + "}", QString(20'000, u'A')},
    };
    for (const Case& c : cases) {
        const auto read = RtfReader::read(c.data);
        ASSERT_TRUE(read);
        EXPECT_EQ(pemby::documentText(*read->text), c.text) << c.data.left(40).toStdString();
    }
}

// Fixtures in the shapes Word, WordPad, TextEdit and mail clients write, their
// bytes made with Python's codecs.
TEST(RtfReader, ReadsUpToItsParagraphBoundAndNotPast)
{
    const auto text = [](qsizetype paragraphEnds) {
        return "{\\rtf1\\ansi a" + QByteArray("\\par").repeated(paragraphEnds) + "}";
    };
    const auto most = RtfReader::read(text(RtfReader::maxParagraphs - 1));
    ASSERT_TRUE(most);
    EXPECT_EQ(most->text->blockCount(), RtfReader::maxParagraphs);
    EXPECT_FALSE(RtfReader::read(text(RtfReader::maxParagraphs)));
    EXPECT_FALSE(RtfReader::read(text(2'000'000)));

    // Its start, with the comment before the text.
    const QByteArray commented = "{\\rtf1\\ansi{\\info{\\doccomm created=5}}a\\par b\\par c}";
    const auto start = RtfReader::readStart(commented, 2);
    ASSERT_TRUE(start);
    EXPECT_FALSE(start->complete);
    EXPECT_EQ(pemby::documentText(*start->text), "a\nb");
    EXPECT_EQ(start->comment, QStringLiteral("created=5"));
    const auto whole = RtfReader::readStart(commented, 3);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->complete);
    EXPECT_EQ(pemby::documentText(*whole->text), "a\nb\nc");
    EXPECT_FALSE(RtfReader::readStart("not rtf", 2));

    // The count that decides between the two reads: paragraph ends as the reader takes them.
    EXPECT_EQ(RtfReader::paragraphEstimate(text(2'000'000)), 2'000'000);
    EXPECT_EQ(RtfReader::paragraphEstimate("{\\rtf1 a\\pard\\par\\\\par\\\nb\\sect\\row\\nestrow\\parx}"), 5);
}

TEST(RtfReader, ReadsTextInTheCodePageOfItsDocumentOrFont)
{
    struct Case { const char* file; QString text; };
    const Case cases[] = {
        {"cp1251-word.rtf", QStringLiteral("Список покупок\n\u2022\tмолоко и хлеб\n")},
        {"cp1250-wordpad.rtf", QStringLiteral("Příliš žluťoučký kůň\ncafé\n")},
        // The second line's characters start with 0x81, 0x8D, 0x8F, 0x90 and 0x9D.
        {"cp936-textedit.rtf", QStringLiteral("购物清单\n丂岪廆怈滰")},
        // Second bytes that are a backslash (表, ソ) or a letter (フ, ア); half-width kana.
        {"shiftjis-mail.rtf", QStringLiteral("表示ソフトとアイス\nｱｲｽ\n")},
        {"big5-mail.rtf", QStringLiteral("購物清單 成功\n")},
        // A Western font's bytes in a Chinese note are cp1252, whatever the document's.
        {"western-font-in-chinese-note.rtf", QStringLiteral("你好\u00A0\u201Cquoted\u201D\u00A0\u00A9 2024世\n")},
    };
    for (const Case& c : cases) {
        const auto read = RtfReader::read(readFixture(c.file));
        ASSERT_TRUE(read) << c.file;
        EXPECT_EQ(pemby::documentText(*read->text), c.text) << c.file;
        EXPECT_TRUE(read->unconvertedCodePages.isEmpty()) << c.file;
    }
}

TEST(RtfReader, CodePagesFromEveryPlaceAFileCanNameThem)
{
    struct Case { QByteArray rtf; QString text; };
    const Case cases[] = {
        {"{\\rtf1\\mac caf\\'8e}", QStringLiteral("café")},
        {"{\\rtf1\\pc caf\\'82}", QStringLiteral("café")},
        {"{\\rtf1\\pca \\'9b}", QStringLiteral("ø")},
        {"{\\rtf1\\ansi\\ansicpg1253 \\'e1}", QStringLiteral("α")},
        // \cpg wins over the charset; a font without either reads in the document's page.
        {"{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset238\\cpg1253 A;}{\\f1 B;}}\\f0\\'e1\\f1\\'e1}",
         QStringLiteral("αб")},
        // A character begun and cut short, and bytes the code page does not use.
        {"{\\rtf1\\ansi\\ansicpg936 a\\'81\\par b\\'81}", QStringLiteral("a\uFFFD\nb\uFFFD")},
        {"{\\rtf1\\ansi\\ansicpg936 \\'81\\'7f x}", QStringLiteral("\uFFFD x")},
        {"{\\rtf1\\ansi\\ansicpg65001 \\'e2\\'82\\'ac\\'80}", QStringLiteral("€\uFFFD")},
        // The fallback after \u is counted in bytes.
        {"{\\rtf1\\ansi\\ansicpg936\\uc2 \\u36141\\'b9\\'ba x}", QStringLiteral("购 x")},
        // cp1252 is read as Windows reads it, its unused bytes dropped as they always were.
        {"{\\rtf1\\ansi \\'80\\'81\\'8d\\'8f\\'90\\'9d\\'9f}", QStringLiteral("€Ÿ")},
    };
    for (const Case& c : cases) {
        const auto read = RtfReader::read(c.rtf);
        ASSERT_TRUE(read);
        EXPECT_EQ(pemby::documentText(*read->text), c.text) << c.rtf.toStdString();
    }
}

TEST(RtfReader, ReportsACodePageItCannotConvert)
{
    // glibc's iconv has no Mac Greek.
    const auto greek = RtfReader::read("{\\rtf1\\mac\\ansicpg10006 x\\'e1y}");
    ASSERT_TRUE(greek);
    EXPECT_EQ(pemby::documentText(*greek->text), QStringLiteral("x\uFFFDy"));
    EXPECT_EQ(greek->unconvertedCodePages, QList<int>{10006});

    const auto font = RtfReader::read("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset85 Greek;}{\\f1\\cpg99999 X;}}"
                                      "\\f0\\'e1\\'e2\\f1\\'e1}");
    ASSERT_TRUE(font);
    EXPECT_EQ(font->unconvertedCodePages, (QList<int>{10006, 99999}));

    // Only text that was actually lost counts.
    EXPECT_TRUE(RtfReader::read("{\\rtf1\\ansicpg10006 plain ASCII}")->unconvertedCodePages.isEmpty());
}

TEST(RtfReader, TextThatIsNotShownOrShownTwiceIsLeftOut)
{
    struct Case { QByteArray body; QString text; };
    const Case cases[] = {
        // The Symbol font's characters as they show, by byte and at U+F020…U+F0FF.
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Symbol;}}{\\f1\\'b7}{\\f1 a\\'ae}{\\f1\\uc1\\u-3913 ?}{\\f1\\u61623 }",
         QStringLiteral("\u2022\u03B1\u2192\u2022\u2022")},
        // A picture with no Unicode twin stays the character Windows gives it.
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdings;}}{\\f1\\'b7}", QStringLiteral("\uF0B7")},
        // Hidden text.
        {"a{\\v hidden}b\\v c\\v0 d\\v e\\plain f", "abdf"},
        // Nested tables: cells apart, a row a paragraph, the fallback for old readers skipped.
        {"\\pard\\intbl outer\\cell\\pard\\intbl\\itap2 one\\nestcell two\\nestcell"
         "{\\*\\nesttableprops\\trowd\\itap2\\cellx100\\cellx200\\nestrow}{\\nonesttables one\\tab two\\par}"
         "\\pard\\intbl tail\\cell\\row after",
         "outer\tone\ttwo\t\ntail\t\nafter"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1252 " + c.body + "}"), c.text) << c.body.toStdString();
}

TEST(RtfReader, ReadsTextNestedAsDeepAsMailNestsIt)
{
    const int depth = 3000;
    const QByteArray rtf = "{\\rtf1 " + QByteArray(depth, '{') + "deep" + QByteArray(depth, '}') + " after}";
    EXPECT_EQ(textOf(rtf), "deep after");
}

TEST(RtfReader, ListMarkersInSymbolFontsAreBulletItems)
{
    // Word's bullets in Wingdings, by byte and by \u, and in a symbol-charset font of
    // another name; a ballot box stays a checklist item, a picture inside a line stays
    // the picture.
    const auto read = RtfReader::read(readFixture("wingdings-bullets.rtf"));
    ASSERT_TRUE(read);
    EXPECT_EQ(pemby::documentText(*read->text),
              QStringLiteral("Packing\n\u2022\tsocks\n\u2022\tshoes\n\u2022\tpassport\n\u2611\ttickets\ndone \u2713 twice\n"));
    QList<ParagraphKind::Type> kinds;
    for (QTextBlock block = read->text->begin(); block.isValid(); block = block.next())
        kinds.append(ParagraphMarkers::parse(block.text()).kind.type);
    using Type = ParagraphKind::Type;
    EXPECT_EQ(kinds, (QList<Type>{Type::plain, Type::bullet, Type::bullet, Type::bullet, Type::checkbox, Type::plain,
                                  Type::plain}));

    struct Case { QByteArray body; QString text; };
    const Case cases[] = {
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Symbol MT;}}x{\\f1\\'b7}", QStringLiteral("x\u2022")},
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdings;}}{\\f1 \\'6c\\'a7}", QStringLiteral("\u25CF\u25AA")},
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdings 2;}}{\\f1\\'97\\tab}x", QStringLiteral("\u2022\tx")},
        // Not at the paragraph's start, not before a tab: no marker.
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdings;}}a{\\f1\\'a7\\tab}", QStringLiteral("a\u25AA\t")},
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdings;}}{\\f1\\'a7 x}", QStringLiteral("\u25AA \uF078")},
        {"{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdings;}}{\\f1\\'a7} x", QStringLiteral("\u25AA x")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1252 " + c.body + "}"), c.text) << c.body.toStdString();
}
