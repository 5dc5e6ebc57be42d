#include "notesortorder.h"

#include "note.h"

namespace {

// Code-point order. Plain UTF-16 comparison would put characters beyond U+FFFF
// (surrogate pairs) before U+E000 to U+FFFF.
bool lessByCodePoint(QStringView a, QStringView b)
{
    const auto weight = [](char16_t u) -> char32_t {
        if (u >= 0xE000)
            return u - 0x800;
        if (u >= 0xD800)
            return u + 0x2000;
        return u;
    };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return weight(a[i].unicode()) < weight(b[i].unicode());
    }
    return a.size() < b.size();
}

} // namespace

QString rawValue(NoteSortKey key)
{
    switch (key) {
    case NoteSortKey::modified: return QStringLiteral("modified");
    case NoteSortKey::created: return QStringLiteral("created");
    case NoteSortKey::title: return QStringLiteral("title");
    case NoteSortKey::manual: return QStringLiteral("manual");
    }
    return {};
}

std::optional<NoteSortKey> noteSortKeyFromRawValue(QStringView raw)
{
    for (NoteSortKey key : allNoteSortKeys) {
        if (raw == rawValue(key))
            return key;
    }
    return std::nullopt;
}

QString menuTitle(NoteSortKey key)
{
    switch (key) {
    case NoteSortKey::modified: return QStringLiteral("Date Edited");
    case NoteSortKey::created: return QStringLiteral("Date Created");
    case NoteSortKey::title: return QStringLiteral("Title");
    case NoteSortKey::manual: return QStringLiteral("Manually");
    }
    return {};
}

bool naturalAscending(NoteSortKey key)
{
    return key == NoteSortKey::title;
}

std::optional<SortDirectionTitles> directionTitles(NoteSortKey key)
{
    switch (key) {
    case NoteSortKey::modified:
    case NoteSortKey::created:
        return SortDirectionTitles{QStringLiteral("Oldest First"), QStringLiteral("Newest First")};
    case NoteSortKey::title:
        return SortDirectionTitles{QStringLiteral("A to Z"), QStringLiteral("Z to A")};
    case NoteSortKey::manual:
        break;
    }
    return std::nullopt;
}

NoteSortOrder::NoteSortOrder(NoteSortKey key, std::optional<bool> ascending)
    : key(key), ascending(ascending.value_or(naturalAscending(key)))
{
}

bool NoteSortOrder::precedes(const Note& a, const Note& b, const QCollator& collator) const
{
    switch (key) {
    case NoteSortKey::modified:
    case NoteSortKey::created: {
        const QDateTime& da = key == NoteSortKey::modified ? a.modified() : a.created();
        const QDateTime& db = key == NoteSortKey::modified ? b.modified() : b.created();
        if (da != db)
            return ascending ? da < db : da > db;
        break;
    }
    case NoteSortKey::title: {
        const int order = collator.compare(a.title(), b.title());
        if (order != 0)
            return ascending ? order < 0 : order > 0;
        break;
    }
    case NoteSortKey::manual:
        break;
    }
    if (a.modified() == b.modified())
        return lessByCodePoint(a.id(), b.id());
    return a.modified() > b.modified();
}

QJsonObject NoteSortOrder::toJson() const
{
    return QJsonObject{{QStringLiteral("key"), rawValue(key)}, {QStringLiteral("ascending"), ascending}};
}

std::optional<NoteSortOrder> NoteSortOrder::fromJson(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue ascending = object.value(QStringLiteral("ascending"));
    if (!key.isString() || !ascending.isBool())
        return std::nullopt;
    const auto sortKey = noteSortKeyFromRawValue(key.toString());
    if (!sortKey)
        return std::nullopt;
    return NoteSortOrder(*sortKey, ascending.toBool());
}

QCollator NoteSortOrder::titleCollator(const QLocale& locale)
{
    // The C locale collates by code point, digits and all; a process without a
    // locale still lists "Note 2" before "Note 10".
    QCollator collator(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}
