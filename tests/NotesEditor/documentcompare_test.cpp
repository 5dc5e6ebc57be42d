#include "documentcompare.h"
#include "richtext.h"
#include "sections.h"
#include "support/notetext.h"

#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

const QList<Para> note = {{"Plan", 28}, {"first"}, {"Later", 21}, {"second"}, {""}};

} // namespace

TEST(DocumentCompare, FoldingIsNoChangeOfTheText)
{
    auto plain = noteText(note);
    auto folded = noteText(note);
    Sections::applyState({0, 1}, {1}, *folded);
    ASSERT_FALSE(folded->findBlockByNumber(3).isVisible());
    EXPECT_TRUE(DocumentCompare::sameIgnoringFolds(*plain, *folded));
    EXPECT_TRUE(DocumentCompare::sameIgnoringFolds(*folded, *std::unique_ptr<QTextDocument>(folded->clone())));

    // The same formatting reached another way: runs split differently, properties set in another order.
    auto pieced = noteText(note);
    setBold(*pieced, 6, 8);
    setBold(*pieced, 8, 11);
    auto whole = noteText(note);
    setBold(*whole, 6, 11);
    EXPECT_TRUE(DocumentCompare::sameIgnoringFolds(*pieced, *whole));

    auto reordered = noteText(note);
    const QTextBlock first = reordered->findBlockByNumber(1);
    const QMap<int, QVariant> properties = first.begin().fragment().charFormat().properties();
    QTextCharFormat backwards;
    for (auto it = properties.end(); it != properties.begin();) {
        --it;
        backwards.setProperty(it.key(), it.value());
    }
    ASSERT_NE(backwards, first.begin().fragment().charFormat());  // Qt's own equality minds the order
    QTextCursor cursor(first);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.setCharFormat(backwards);
    EXPECT_TRUE(DocumentCompare::sameIgnoringFolds(*reordered, *noteText(note)));
}

TEST(DocumentCompare, EveryRealChangeCounts)
{
    const auto changed = [](const std::function<void(QTextDocument&)>& change) {
        auto doc = noteText(note);
        change(*doc);
        return doc;
    };
    const auto base = noteText(note);
    const struct {
        const char* what;
        std::unique_ptr<QTextDocument> doc;
    } cases[] = {
        {"a character", changed([](QTextDocument& d) { QTextCursor(d.findBlockByNumber(1)).insertText("x"); })},
        {"bold", changed([](QTextDocument& d) { setBold(d, 6, 8); })},
        {"underline", changed([](QTextDocument& d) { setUnderline(d, 6, 8); })},
        {"a size", changed([](QTextDocument& d) { setSize(d, 6, 8, 17); })},
        {"a paragraph style", changed([](QTextDocument& d) {
             QTextCursor c(d.findBlockByNumber(1));
             QTextBlockFormat f = c.blockFormat();
             f.setAlignment(Qt::AlignHCenter);
             c.setBlockFormat(f);
         })},
        {"an empty line's size", changed([](QTextDocument& d) {
             QTextCursor c(d.findBlockByNumber(4));
             QTextCharFormat f = c.blockCharFormat();
             f.setFontPointSize(21);
             c.setBlockCharFormat(f);
         })},
        {"one more line", changed([](QTextDocument& d) {
             QTextCursor c(&d);
             c.movePosition(QTextCursor::End);
             c.insertBlock();
         })},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(DocumentCompare::sameIgnoringFolds(*base, *c.doc)) << c.what;
}
