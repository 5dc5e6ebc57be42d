#pragma once
// The orders of the notes list: a key and a direction, and the comparison the
// notes folder store sorts with.

#include <QCollator>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

class Note;

enum class NoteSortKey { modified, created, title, manual };

inline constexpr std::array<NoteSortKey, 4> allNoteSortKeys{NoteSortKey::modified, NoteSortKey::created,
                                                             NoteSortKey::title, NoteSortKey::manual};

QString rawValue(NoteSortKey key);
std::optional<NoteSortKey> noteSortKeyFromRawValue(QStringView raw);
// The key's title in a sort menu.
QString menuTitle(NoteSortKey key);
// The direction a key takes when none is given.
bool naturalAscending(NoteSortKey key);

struct SortDirectionTitles {
    QString ascending;
    QString descending;
    bool operator==(const SortDirectionTitles&) const = default;
};
// nullopt for the manual order, which has no direction.
std::optional<SortDirectionTitles> directionTitles(NoteSortKey key);

struct NoteSortOrder {
    NoteSortKey key = NoteSortKey::modified;
    bool ascending = false;

    // Newest change first.
    NoteSortOrder() = default;
    // No direction: the key's natural one.
    explicit NoteSortOrder(NoteSortKey key, std::optional<bool> ascending = std::nullopt);

    // Whether `a` comes before `b`. Equal keys (and the manual order) fall back to
    // the newest change first, then ids in ascending order, in either direction.
    // Titles compare with `collator` (see titleCollator()).
    bool precedes(const Note& a, const Note& b, const QCollator& collator) const;

    // {"ascending": bool, "key": raw value}; both are required when decoding.
    QJsonObject toJson() const;
    static std::optional<NoteSortOrder> fromJson(const QJsonValue& json);

    // The order file browsers show names in: case-insensitive, runs of digits by
    // their value, by the conventions of `locale`.
    static QCollator titleCollator(const QLocale& locale = QLocale::system());

    bool operator==(const NoteSortOrder&) const = default;
};
