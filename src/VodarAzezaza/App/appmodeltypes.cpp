#include "appmodeltypes.h"

QString modeRawValue(Mode mode)
{
    switch (mode) {
    case Mode::Week: return QStringLiteral("week");
    case Mode::Month: return QStringLiteral("month");
    case Mode::Notes: return QStringLiteral("notes");
    }
    return {};
}

std::optional<Mode> modeFromRawValue(QStringView raw)
{
    for (const Mode mode : {Mode::Week, Mode::Month, Mode::Notes}) {
        if (raw == modeRawValue(mode))
            return mode;
    }
    return std::nullopt;
}

Editing Editing::thing(const QUuid& id)
{
    Editing e;
    e.kind_ = Kind::Thing;
    e.thing_ = id;
    return e;
}

Editing Editing::newThing(const Place& place)
{
    Editing e;
    e.kind_ = Kind::New;
    e.place_ = place;
    return e;
}

Editing Editing::listName(int index)
{
    Editing e;
    e.kind_ = Kind::ListName;
    e.list_ = index;
    return e;
}

Editing Editing::external(const QString& id)
{
    Editing e;
    e.kind_ = Kind::External;
    e.external_ = id;
    return e;
}

FocusSource FocusSource::list(int index)
{
    FocusSource s;
    s.kind_ = Kind::List;
    s.list_ = index;
    return s;
}

FocusSource FocusSource::tomorrow()
{
    FocusSource s;
    s.kind_ = Kind::Tomorrow;
    return s;
}
