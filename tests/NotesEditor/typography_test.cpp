#include "bidi.h"
#include "textdocument.h"
#include "typography.h"

#include <gtest/gtest.h>

TEST(Typography, RoleThresholds)
{
    struct Case { qreal size; TextRole role; };
    const Case cases[] = {
        {28, TextRole::title}, {26.5, TextRole::title}, {26.4, TextRole::heading},
        {19.5, TextRole::heading}, {19.4, TextRole::subheading}, {16.5, TextRole::subheading},
        {16.4, TextRole::body}, {15, TextRole::body}, {1, TextRole::body},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Typography::role(c.size), c.role) << c.size;
        QTextCharFormat f;
        f.setFontPointSize(c.size);
        EXPECT_EQ(Typography::role(f), c.role) << c.size;
    }
    EXPECT_EQ(Typography::role(QTextCharFormat()), TextRole::body);  // a run without a font
}

TEST(Typography, FontsByRoleAndBoldness)
{
    struct Case { TextRole role; std::optional<bool> bold; qreal size; int weight; };
    const Case cases[] = {
        {TextRole::title, std::nullopt, 28, QFont::Bold},
        {TextRole::title, true, 28, QFont::Bold},
        {TextRole::title, false, 28, QFont::Normal},
        {TextRole::heading, std::nullopt, 21, QFont::DemiBold},
        {TextRole::heading, true, 21, QFont::DemiBold},
        {TextRole::heading, false, 21, QFont::Normal},
        {TextRole::subheading, std::nullopt, 17, QFont::DemiBold},
        {TextRole::subheading, true, 17, QFont::DemiBold},
        {TextRole::subheading, false, 17, QFont::Normal},
        {TextRole::body, std::nullopt, 15, QFont::Normal},
        {TextRole::body, true, 15, QFont::Bold},
        {TextRole::body, false, 15, QFont::Normal},
    };
    for (const Case& c : cases) {
        for (bool italic : {false, true}) {
            const QFont font = Typography::font(c.role, c.bold, italic);
            EXPECT_EQ(font.pointSizeF(), c.size) << int(c.role);
            EXPECT_EQ(font.weight(), c.weight) << int(c.role) << " bold " << c.bold.value_or(-1);
            EXPECT_EQ(font.italic(), italic);
            // What a run stores reads back as the same boldness.
            QTextCharFormat f;
            pemby::setRunFont(f, font);
            EXPECT_EQ(Typography::isBold(f), c.weight >= QFont::DemiBold);
            EXPECT_EQ(Typography::isItalic(f), italic);
            EXPECT_EQ(Typography::role(f), c.role);
        }
    }
    QTextCharFormat medium;
    medium.setFontWeight(QFont::Medium);
    EXPECT_FALSE(Typography::isBold(medium));
    EXPECT_EQ(Typography::dividerFont().pointSizeF(), 10);
    EXPECT_EQ(Typography::dividerFont().weight(), QFont::Light);
}

TEST(Typography, ParagraphStylesByRoleAndKind)
{
    const ParagraphStyle heading = Typography::paragraphStyle(TextRole::heading, ParagraphKind::plain(), TextDirection::rtl);
    EXPECT_EQ(heading.direction, TextDirection::rtl);
    EXPECT_EQ(heading.alignment, ParagraphStyle::Alignment::natural);
    EXPECT_EQ(heading.lineSpacing, 2);
    EXPECT_EQ(heading.spaceBefore, 12);
    EXPECT_EQ(heading.spaceAfter, 6);

    const ParagraphStyle body = Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr);
    EXPECT_EQ(body.lineSpacing, 5);
    EXPECT_EQ(body.spaceBefore, 0);
    EXPECT_EQ(body.spaceAfter, 6);
    EXPECT_TRUE(body.tabStops.isEmpty());

    for (TextRole role : allTextRoles) {
        const ParagraphStyle item = Typography::paragraphStyle(role, ParagraphKind::numbered(4), TextDirection::ltr);
        EXPECT_EQ(item.headIndent, 24);
        EXPECT_EQ(item.firstLineHeadIndent, 0);
        EXPECT_EQ(item.tabStops, QList<qreal>{24});
        EXPECT_EQ(item.defaultTabInterval, 24);
        EXPECT_EQ(item.spaceAfter, 3);
    }

    const ParagraphStyle divider = Typography::paragraphStyle(TextRole::title, ParagraphKind::divider(), TextDirection::rtl);
    EXPECT_EQ(divider.direction, TextDirection::ltr);
    EXPECT_EQ(divider.alignment, ParagraphStyle::Alignment::left);
    EXPECT_TRUE(divider.clips);
    EXPECT_EQ(divider.lineSpacing, 0);
    EXPECT_EQ(divider.spaceBefore, 8);
    EXPECT_EQ(divider.spaceAfter, 8);
}

TEST(Typography, ParagraphStyleLivesInTheBlockFormatBesideOtherProperties)
{
    EXPECT_EQ(ParagraphStyle::of(QTextBlockFormat()), std::nullopt);
    for (TextDirection direction : {TextDirection::ltr, TextDirection::rtl}) {
        ParagraphStyle style = Typography::paragraphStyle(TextRole::body, ParagraphKind::bullet(), direction);
        QTextBlockFormat format;
        format.setProperty(NoteCollapsibleProperty, true);
        format.setRightMargin(99);  // replaced: margins belong to the style
        style.applyTo(format);
        EXPECT_EQ(ParagraphStyle::of(format), style);
        EXPECT_TRUE(format.boolProperty(NoteCollapsibleProperty));
        // Qt puts the first-line indent on the leading side but margins on fixed
        // sides: the head indent must sit on the leading one.
        EXPECT_EQ(direction == TextDirection::rtl ? format.rightMargin() : format.leftMargin(), 24);
        EXPECT_EQ(direction == TextDirection::rtl ? format.leftMargin() : format.rightMargin(), 0);

        const ParagraphStyle plain = Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), direction);
        plain.applyTo(format);
        EXPECT_EQ(ParagraphStyle::of(format), plain);
    }
}

TEST(Bidi, DirectionOfAParagraph)
{
    struct Case { QString text; std::optional<TextDirection> direction; };
    const Case cases[] = {
        {"", std::nullopt},
        {"12, 3.", std::nullopt},
        {QStringLiteral("12 \u05E9\u05DC\u05D5\u05DD"), TextDirection::rtl},
        {QStringLiteral("\u0661\u0662 abc"), TextDirection::ltr},  // Arabic-Indic digits decide nothing
        {QStringLiteral("\u200E\u0645\u0631\u062D\u0628\u0627"), TextDirection::ltr},
        {QStringLiteral("\u200FHello"), TextDirection::rtl},
        {QStringLiteral("\u2610\t\u05D0"), TextDirection::rtl},  // markers are neutral
        {QStringLiteral("\u2022\tword"), TextDirection::ltr},
        {QStringLiteral("\u05BE"), TextDirection::rtl},  // maqaf
        {QStringLiteral("\u05B0"), std::nullopt},        // a point, no letter
        {QStringLiteral("\U0001F600 ok"), TextDirection::ltr},
        {QStringLiteral("\U00010900"), TextDirection::rtl},  // Phoenician, beyond the basic plane
        {QStringLiteral("\u65E5\u672C"), TextDirection::ltr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bidi::direction(c.text), c.direction) << c.text.toStdString();
}
