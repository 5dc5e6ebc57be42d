#pragma once
// The small values of the application model that every view reads: what the main
// window shows, what is being edited inline, and what the focus panel shows.

#include "things.h"

#include <QHashFunctions>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>

class QObject;

// The calendar's event lines of each day that has any, as the calendar reader gives them.
using EventLines = QMap<Day, QStringList>;
// Reads the calendar events of the days off the GUI thread and calls `done` on it,
// never once `context` is gone.
using CalendarEventRead = std::function<void(const QList<Day>& days, QObject* context,
                                             std::function<void(const EventLines&)> done)>;

// What the main window shows. Raw values are the case names.
enum class Mode { Week, Month, Notes };
QString modeRawValue(Mode mode);
// Exactly "week", "month" or "notes".
std::optional<Mode> modeFromRawValue(QStringView raw);

// What is being edited inline. Unused payloads stay at their defaults, so member-wise
// equality is case-and-payload equality.
class Editing {
public:
    // In this order: the hash feeds the case number first.
    enum class Kind { Thing, New, ListName, External };

    Editing() = default;
    // The title of this own thing.
    static Editing thing(const QUuid& id);
    // A new thing typed at the end of this place.
    static Editing newThing(const Place& place);
    // The name of the list at this index.
    static Editing listName(int index);
    // The title of the other app's thing with this family-store id.
    static Editing external(const QString& id);

    Kind kind() const { return kind_; }
    bool isThing() const { return kind_ == Kind::Thing; }
    bool isNew() const { return kind_ == Kind::New; }
    bool isListName() const { return kind_ == Kind::ListName; }
    bool isExternal() const { return kind_ == Kind::External; }
    const QUuid& thingID() const { return thing_; }
    const Place& place() const { return place_; }
    int listIndex() const { return list_; }
    const QString& externalID() const { return external_; }

    bool operator==(const Editing&) const = default;

private:
    Kind kind_ = Kind::Thing;
    QUuid thing_;
    Place place_;
    int list_ = 0;
    QString external_;
};

inline size_t qHash(const Editing& e, size_t seed = 0)
{
    return qHashMulti(seed, int(e.kind()), e.thingID(), e.place(), e.listIndex(), e.externalID());
}

// What the focus panel shows.
class FocusSource {
public:
    enum class Kind { List, Today, Tomorrow };

    FocusSource() = default;
    static FocusSource list(int index);
    static FocusSource today() { return FocusSource(); }
    static FocusSource tomorrow();

    Kind kind() const { return kind_; }
    // The list's index for a list source; 0 otherwise.
    int listIndex() const { return list_; }

    bool operator==(const FocusSource&) const = default;

private:
    Kind kind_ = Kind::Today;
    int list_ = 0;
};

inline size_t qHash(const FocusSource& s, size_t seed = 0)
{
    return qHashMulti(seed, int(s.kind()), s.listIndex());
}
