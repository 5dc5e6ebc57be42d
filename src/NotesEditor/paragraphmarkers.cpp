#include "paragraphmarkers.h"

static bool isDirectionMark(char16_t u)
{
    return u == 0x200E || u == 0x200F;
}

QString ParagraphMarkers::divider()
{
    static const QString line(dividerLength, QChar(dividerCharacter));
    return line;
}

ParagraphInfo ParagraphMarkers::parse(QStringView p)
{
    const int n = int(p.size());
    int i = 0;
    while (i < n && isDirectionMark(p[i].unicode()))
        ++i;
    if (i == n)
        return {ParagraphKind::plain(), n, 0};

    const char16_t first = p[i].unicode();
    const bool tabFollows = i + 1 < n && p[i + 1] == u'\t';
    if (tabFollows && first == checked)
        return {ParagraphKind::checkbox(true), i, 2};
    if (tabFollows && first == unchecked)
        return {ParagraphKind::checkbox(false), i, 2};
    if (tabFollows && first == bullet)
        return {ParagraphKind::bullet(), i, 2};

    if (first >= u'0' && first <= u'9') {
        int f = i, value = 0;
        while (f < n && f - i < 6 && p[f] >= u'0' && p[f] <= u'9')
            value = value * 10 + (p[f++].unicode() - u'0');
        if (f + 1 < n && p[f] == u'.' && p[f + 1] == u'\t')
            return {ParagraphKind::numbered(value), i, (f - i) + 2};
    }

    int e = n;
    while (e > i && (p[e - 1] == u'\r' || p[e - 1] == u'\n'))
        --e;
    if (e - i > 7) {
        bool allLines = true;
        for (int k = i; k < e && allLines; ++k)
            allLines = p[k] == dividerCharacter;
        if (allLines)
            return {ParagraphKind::divider(), i, e - i};
    }
    return {ParagraphKind::plain(), i, 0};
}

QString ParagraphMarkers::marker(const ParagraphKind& kind)
{
    switch (kind.type) {
    case ParagraphKind::Type::checkbox:
        return QString(QChar(kind.checked ? checked : unchecked)) + u'\t';
    case ParagraphKind::Type::number:
        return QString::number(kind.number) + QStringLiteral(".\t");
    case ParagraphKind::Type::bullet:
        return QString(QChar(bullet)) + u'\t';
    case ParagraphKind::Type::divider:
        return divider();
    case ParagraphKind::Type::plain:
        break;
    }
    return {};
}

std::optional<int> rank(TextRole role)
{
    if (role == TextRole::body)
        return std::nullopt;
    return int(role);
}

std::optional<TextRole> textRoleFromRawValue(int raw)
{
    if (raw < 0 || raw > 3)
        return std::nullopt;
    return TextRole(raw);
}
