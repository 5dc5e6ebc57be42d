#include "paragraphmarkers.h"

#include <gtest/gtest.h>

static void PrintTo(const ParagraphInfo& i, std::ostream* os)
{
    *os << "{type " << int(i.kind.type) << " checked " << i.kind.checked << " number " << i.kind.number
        << " start " << i.markerStart << " length " << i.markerLength << "}";
}

TEST(ParagraphMarkers, ParsesMarkers)
{
    const QString lines8(8, QChar(u'\u2500'));
    struct Case { QString paragraph; ParagraphInfo info; };
    const Case cases[] = {
        {"", {ParagraphKind::plain(), 0, 0}},
        {QStringLiteral("\u200F\u200F"), {ParagraphKind::plain(), 2, 0}},
        {QStringLiteral("\u200F\u2610\tsome text"), {ParagraphKind::checkbox(false), 1, 2}},
        {QStringLiteral("\u2611\tdone\n"), {ParagraphKind::checkbox(true), 0, 2}},
        {QStringLiteral("\u2022\titem"), {ParagraphKind::bullet(), 0, 2}},
        {QStringLiteral("\u2022 item"), {ParagraphKind::plain(), 0, 0}},
        {QStringLiteral("\u2022\t"), {ParagraphKind::bullet(), 0, 2}},
        {QStringLiteral("\u2022"), {ParagraphKind::plain(), 0, 0}},
        {"12.\tx", {ParagraphKind::numbered(12), 0, 4}},
        {"12. x", {ParagraphKind::plain(), 0, 0}},
        {"12", {ParagraphKind::plain(), 0, 0}},
        {"12.5", {ParagraphKind::plain(), 0, 0}},
        {"12.", {ParagraphKind::plain(), 0, 0}},
        {"007.\tx", {ParagraphKind::numbered(7), 0, 5}},
        {"123456.\t", {ParagraphKind::numbered(123456), 0, 8}},
        {"1234567.\t", {ParagraphKind::plain(), 0, 0}},
        {QStringLiteral("\u200E3.\tdrei"), {ParagraphKind::numbered(3), 1, 3}},
        {lines8 + u'\n', {ParagraphKind::divider(), 0, 8}},
        {lines8 + QStringLiteral("\r\n"), {ParagraphKind::divider(), 0, 8}},
        {QString(7, QChar(u'\u2500')), {ParagraphKind::plain(), 0, 0}},
        {lines8 + u' ', {ParagraphKind::plain(), 0, 0}},
        {QStringLiteral("\u200F") + lines8, {ParagraphKind::divider(), 1, 8}},
        {"plain text\n", {ParagraphKind::plain(), 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParagraphMarkers::parse(c.paragraph), c.info) << c.paragraph.toStdString();

    EXPECT_EQ(ParagraphMarkers::parse(QStringLiteral("\u200F\u2610\tx")).contentStart(), 3);
}

TEST(ParagraphMarkers, MarkersParseBackToTheirKind)
{
    QList<ParagraphKind> kinds = {ParagraphKind::checkbox(true), ParagraphKind::checkbox(false),
                                  ParagraphKind::bullet(), ParagraphKind::divider()};
    for (int n : {0, 1, 9, 10, 42, 999, 1000, 65535, 999999})
        kinds.append(ParagraphKind::numbered(n));
    for (const ParagraphKind& kind : kinds) {
        const QString marker = ParagraphMarkers::marker(kind);
        const QString after = kind.type == ParagraphKind::Type::divider ? QStringLiteral("\n") : QStringLiteral("text");
        for (const QString& tail : {after, QString()}) {
            const ParagraphInfo info = ParagraphMarkers::parse(marker + tail);
            EXPECT_EQ(info.kind, kind) << marker.toStdString();
            EXPECT_EQ(info.markerStart, 0);
            EXPECT_EQ(info.markerLength, marker.size()) << marker.toStdString();
        }
    }
    EXPECT_EQ(ParagraphMarkers::marker(ParagraphKind::numbered(3)), QStringLiteral("3.\t"));
    EXPECT_EQ(ParagraphMarkers::marker(ParagraphKind::plain()), QString());
    EXPECT_EQ(ParagraphMarkers::divider(), QString(300, QChar(u'\u2500')));
}

TEST(ParagraphMarkers, KindsCompareCaseAndPayload)
{
    EXPECT_NE(ParagraphKind::checkbox(true), ParagraphKind::checkbox(false));
    EXPECT_NE(ParagraphKind::numbered(2), ParagraphKind::numbered(3));
    EXPECT_EQ(ParagraphKind::numbered(2), ParagraphKind::numbered(2));
    EXPECT_NE(ParagraphKind::plain(), ParagraphKind::bullet());
    EXPECT_TRUE(ParagraphKind::checkbox(false).isList());
    EXPECT_TRUE(ParagraphKind::numbered(1).isList());
    EXPECT_TRUE(ParagraphKind::bullet().isList());
    EXPECT_FALSE(ParagraphKind::plain().isList());
    EXPECT_FALSE(ParagraphKind::divider().isList());
}

TEST(TextRoles, RawValuesAndRanks)
{
    EXPECT_EQ(textRoleFromRawValue(4), std::nullopt);
    EXPECT_EQ(textRoleFromRawValue(-1), std::nullopt);
    EXPECT_EQ(textRoleFromRawValue(2), TextRole::subheading);
    EXPECT_EQ(rank(TextRole::body), std::nullopt);
    EXPECT_EQ(rank(TextRole::subheading), 2);
    EXPECT_EQ(rank(TextRole::title), 0);
    EXPECT_EQ(allTextRoles.front(), TextRole::title);
    EXPECT_EQ(allTextRoles.back(), TextRole::body);
}
