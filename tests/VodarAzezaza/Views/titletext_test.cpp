// Titles in every script: each place that draws one takes its direction from the
// title's first strong character, cuts it at its logical end and sets it at its
// reading start, on one line, whatever bidi controls it holds. With a picture of a
// row, a search hit and a month cell, written to titles-in-every-script.png.
#include "plansearch.h"
#include "boardtesting.h"
#include "modelharness.h"
#include "monthcell.h"
#include "pictures.h"
#include "rowtext.h"
#include "searchview.h"
#include "thingcolumn.h"
#include "thingrow.h"
#include "titletext.h"
#include "viewharness.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace {

const Day wednesday{2026, 3, 4};
const Place today = Place::onDay(wednesday);

const QString arabic = QStringLiteral("اشتر الحليب");
const QString hebrewWithEnglish = QStringLiteral("לקנות חלב ב-Shufersal");
const QString longHebrew = QStringLiteral("לקנות חלב, לחם, ביצים, גבינה ועגבניות בשוק של יום שישי בבוקר");
const QString englishWithHebrew = QStringLiteral("buy חלב at the shop");

// The columns of `image` within `box` that hold ink: pixels far from the paper.
struct Ink {
    int left = -1;
    int right = -1;
    bool any() const { return left >= 0; }
};
Ink inkIn(const QImage& image, const QRect& box)
{
    const QColor paper = Palette::pembyBackground.light();
    Ink ink;
    for (int x = box.left(); x <= box.right(); ++x) {
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - paper.red()) + std::abs(c.green() - paper.green()) + std::abs(c.blue() - paper.blue()) > 120) {
                if (ink.left < 0)
                    ink.left = x;
                ink.right = x;
                break;
            }
        }
    }
    return ink;
}

} // namespace

TEST(TitleText, TakesItsDirectionFromTheFirstStrongCharacter)
{
    struct Case { QString title, shown; Qt::LayoutDirection direction; };
    const Case cases[] = {
        {arabic, arabic, Qt::RightToLeft},
        {hebrewWithEnglish, hebrewWithEnglish, Qt::RightToLeft},
        {englishWithHebrew, englishWithHebrew, Qt::LeftToRight},
        {QStringLiteral("2026 ") + arabic, QStringLiteral("2026 ") + arabic, Qt::RightToLeft},  // digits are weak
        {"- " + hebrewWithEnglish, "- " + hebrewWithEnglish, Qt::RightToLeft},
        // An override neither turns the text round nor sets its direction.
        {QStringLiteral("bidi-\u202etxt.exe"), "bidi-txt.exe", Qt::LeftToRight},
        {QStringLiteral("\u202e\u05d0 abc\u202c"), QStringLiteral("\u05d0 abc"), Qt::RightToLeft},
        // An isolate's content is skipped when the direction is looked for.
        {QStringLiteral("\u2066abc\u2069 \u05d0"), QStringLiteral("abc \u05d0"), Qt::RightToLeft},
        // One line, without control characters.
        {QStringLiteral("one\u2028two\nthree\tfour\r\nfive\u0007"), "one two three four five", Qt::LeftToRight},
        {QStringLiteral("\u200fabc"), QStringLiteral("\u200fabc"), Qt::RightToLeft},  // a mark is a strong character
    };
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 13));
    for (const auto& c : cases) {
        const TitleText::Line line = TitleText::fit(c.title, metrics, 10000);
        EXPECT_EQ(line.text, c.shown) << c.title.toStdString();
        EXPECT_EQ(line.direction, c.direction) << c.title.toStdString();
    }
}

TEST(TitleText, CutsATitleAtItsLogicalEnd)
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 13));
    for (const QString& title : {longHebrew, QStringLiteral("a long English title that does not fit at all")}) {
        const TitleText::Line line = TitleText::fit(title, metrics, 120);
        ASSERT_TRUE(line.text.endsWith(QChar(0x2026))) << line.text.toStdString();
        EXPECT_TRUE(title.startsWith(line.text.chopped(1))) << "the start is kept: " << line.text.toStdString();
        EXPECT_LE(line.width, 120);
    }
    // A title that fits is left whole.
    EXPECT_EQ(TitleText::fit(arabic, metrics, 1000).text, arabic);
}

// A row measures its title once and cuts it from that measure: at every width, right at
// the edge of fitting too, the cut is the one a fresh measure gives.
TEST(TitleText, ACutFromAKnownWidthIsTheCutOfAFreshMeasure)
{
    const QFont font(QStringLiteral("DejaVu Sans"), 13);
    const QFontMetrics metrics(font);
    for (const QString& title : {QStringLiteral("milk"), QStringLiteral("call the dentist about friday"), arabic,
                                 longHebrew, QStringLiteral("x"), QString()}) {
        const qreal advance = QFontMetricsF(font).horizontalAdvance(TitleText::shown(title));
        const int whole = int(std::ceil(advance));
        for (const qreal width : {0.0, 1.0, advance / 2, advance - 1, advance - 0.5, advance, qreal(whole),
                                  whole + 0.7, advance + 40}) {
            const TitleText::Line fresh = TitleText::fit(title, metrics, width);
            const TitleText::Line known = TitleText::fit(title, metrics, width, advance);
            EXPECT_EQ(known.text, fresh.text) << title.toStdString() << " at " << width;
            EXPECT_EQ(known.width, fresh.width) << title.toStdString() << " at " << width;
            EXPECT_EQ(known.direction, fresh.direction) << title.toStdString();
        }
    }
}

// What a row text keeps of its measures follows its text, its font and its width.
TEST(TitleText, ARowTextMeasuresAgainWhenItsTextFontOrWidthChanges)
{
    RowText text(13);
    text.setText("milk");
    const int narrow = text.sizeHint().width();
    text.setText("milk and bread and eggs");
    const int wide = text.sizeHint().width();
    EXPECT_GT(wide, narrow);
    EXPECT_EQ(wide, text.fontMetrics().horizontalAdvance("milk and bread and eggs") + 1);
    text.setFont(sizedFont(text.font(), 26));
    EXPECT_EQ(text.sizeHint().width(), text.fontMetrics().horizontalAdvance("milk and bread and eggs") + 1);
    EXPECT_GT(text.sizeHint().width(), wide);

    // Painted whole, then narrower: the second picture is cut, not the first one again.
    text.resize(text.sizeHint().width() + 10, 40);
    const QImage whole = text.grab().toImage();
    text.resize(text.width() / 2, 40);
    const QImage cut = text.grab().toImage();
    const Ink wholeInk = inkIn(whole, whole.rect());
    ASSERT_TRUE(wholeInk.any() && inkIn(cut, cut.rect()).any());
    EXPECT_GT(wholeInk.right, cut.width());
    EXPECT_NE(cut, whole.copy(cut.rect())) << "cut with its ellipsis, not the whole line clipped";
    text.resize(whole.width(), 40);
    EXPECT_EQ(text.grab().toImage(), whole) << "wide again, it is whole again";
}

// An override in a title is drawn as if it were not there: the row reads "bidi-txt.exe",
// not "bidi-exe.txt".
TEST(TitleText, ARowDrawsATitleWithAnOverrideAsItReads)
{
    const auto drawn = [](const QString& title) {
        RowText text(13);
        text.setText(title);
        text.resize(200, 32);
        return text.grab().toImage();
    };
    const QImage plain = drawn("bidi-txt.exe");
    EXPECT_EQ(drawn(QStringLiteral("bidi-\u202etxt.exe")), plain);
    EXPECT_EQ(drawn(QStringLiteral("bidi-\u202etxt.exe\u202c")), plain);
    EXPECT_EQ(drawn(QStringLiteral("bidi-\u202dtxt\u0000.exe")), plain);
    EXPECT_NE(drawn("bidi-exe.txt"), plain) << "the pictures tell the two apart";
}

TEST(TitleText, RowsSearchHitsAndMonthCellsSetRightToLeftTitlesAtTheirReadingStart)
{
    MotionPin motion;
    ModelHarness h;
    AppModel& m = h.start();
    m.commit([](Planner& p) {
        for (const QString& title : {arabic, hebrewWithEnglish, longHebrew, englishWithHebrew})
            p.add(title, today);
    });
    const auto titleOf = [&](ThingRow* row) { return row->findChild<RowText*>(); };

    // A row: a title that fits takes its own width; one that does not fills the row
    // up to its end and keeps its start, the right-hand side.
    auto* column = new ThingColumn(m, today);
    column->setMinRows(5);
    ViewHost rows(260);
    rows.hold(column);
    const QImage rowsPicture = column->grab().toImage();
    {
        ThingRow* row = qobject_cast<ThingRow*>(column->row(ThingRow::rowID(idOf(m.planner(), longHebrew))));
        ASSERT_TRUE(row);
        RowText* title = titleOf(row);
        const QRect box(title->mapTo(column, QPoint(0, 0)), title->size());
        const Ink ink = inkIn(rowsPicture, box);
        ASSERT_TRUE(ink.any());
        EXPECT_GE(ink.right, box.right() - 3) << "starts at the right";
        EXPECT_LE(ink.left, box.left() + 12) << "the cut end, at the left";
    }

    // A search hit: the title's box runs up to the place, and a right-to-left title
    // sits at its right end, a left-to-right one at its left.
    m.search().beginSearch();
    m.search().setSearchText(QStringLiteral("ב"));
    ViewHost sheet(SearchView::width);
    auto* search = new SearchView(m);
    sheet.hold(search);
    QCoreApplication::processEvents();
    const QImage searchPicture = search->grab().toImage();
    ASSERT_EQ(search->hits().size(), 3);
    for (const SearchHitRow* hit : search->hits()) {
        const RowText& title = hit->title();
        const QRect box(title.mapTo(search, QPoint(0, 0)), title.size());
        const Ink ink = inkIn(searchPicture, box);
        ASSERT_TRUE(ink.any()) << title.text().toStdString();
        if (title.text() == englishWithHebrew) {
            EXPECT_LE(ink.left, box.left() + 3);
            EXPECT_LT(ink.right, box.center().x());
            continue;
        }
        EXPECT_GE(ink.right, box.right() - 3) << title.text().toStdString();
        if (title.text() != longHebrew) {
            EXPECT_GT(ink.left, box.center().x()) << title.text().toStdString();
        }
    }

    // A month cell: right-to-left titles at the right of their lines, a long one cut
    // at its left.
    MonthCell cell(m, wednesday);
    cell.resize(170, 110);
    const QImage cellPicture = cell.grab().toImage();
    const QRect arabicLine = cell.lineRect(0);
    const Ink arabicInk = inkIn(cellPicture, arabicLine);
    ASSERT_TRUE(arabicInk.any());
    EXPECT_GT(arabicInk.left, arabicLine.center().x());
    EXPECT_GE(arabicInk.right, arabicLine.right() - 3);
    const Ink cut = inkIn(cellPicture, cell.lineRect(2));
    EXPECT_LE(cut.left, cell.lineRect(2).left() + 12);
    EXPECT_GE(cut.right, cell.lineRect(2).right() - 3);

    QImage picture(rowsPicture.width() + searchPicture.width() + cellPicture.width() + 16,
                   std::max({rowsPicture.height(), searchPicture.height(), cellPicture.height()}), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.drawImage(0, 0, rowsPicture);
    p.drawImage(rowsPicture.width() + 8, 0, searchPicture);
    p.drawImage(rowsPicture.width() + searchPicture.width() + 16, 0, cellPicture);
    p.end();
    std::cout << "titles: " << savePicture(picture, "titles-in-every-script.png").toStdString() << '\n';
}
