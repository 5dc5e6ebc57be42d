#pragma once
// Small helpers for tests of the plan: readable values in failure messages, days
// from their text, and a plan described in one line so table cases stay short.

#include "planner.h"

#include <QStringList>

#include <ostream>
#include <stdexcept>

inline void PrintTo(const Day& d, std::ostream* os) { *os << d.iso().toStdString(); }
inline void PrintTo(const MonthKey& m, std::ostream* os) { *os << m.toString().toStdString(); }
inline void PrintTo(const TimeOfDay& t, std::ostream* os) { *os << t.toString().toStdString(); }
inline void PrintTo(const IsoWeek& w, std::ostream* os) { *os << w.year << "-W" << w.week; }

inline QString describe(const Place& p)
{
    switch (p.kind()) {
    case Place::Kind::Day: return p.day()->iso();
    case Place::Kind::List: return QStringLiteral("list") + QString::number(p.listIndex());
    case Place::Kind::Month: return p.month().toString();
    }
    return {};
}
inline void PrintTo(const Place& p, std::ostream* os) { *os << describe(p).toStdString(); }

// "2024-01-10" and the like; fails the test loudly when the text is not a day.
inline Day day(const char* iso)
{
    const auto d = Day::fromIso(QString::fromLatin1(iso));
    if (!d)
        throw std::invalid_argument(iso);
    return *d;
}

inline QStringList titles(const QList<Thing>& things)
{
    QStringList out;
    for (const Thing& t : things)
        out.append(t.title);
    return out;
}

// Every place of the plan with its titles, in a fixed order: days, lists, months,
// e.g. "2024-01-01[A B] list0[] 2024-05[X]". Moves show as one string to compare.
inline QString describe(const Planner& plan)
{
    QStringList parts;
    const auto part = [&](const QString& name, const QList<Thing>& things) {
        parts.append(name + u'[' + titles(things).join(u' ') + u']');
    };
    for (auto it = plan.days.cbegin(); it != plan.days.cend(); ++it)
        part(it.key().iso(), *it);
    for (qsizetype i = 0; i < plan.lists.size(); ++i)
        part(QStringLiteral("list") + QString::number(i), plan.lists[i].things);
    for (auto it = plan.months.cbegin(); it != plan.months.cend(); ++it)
        part(it.key().toString(), *it);
    return parts.join(u' ');
}

// The id of the only thing with this title; a null id when there is none.
inline QUuid idOf(const Planner& plan, const QString& title)
{
    const auto find = [&](const QList<Thing>& things) -> QUuid {
        for (const Thing& t : things) {
            if (t.title == title)
                return t.id;
        }
        return {};
    };
    for (const auto& things : plan.days)
        if (const QUuid id = find(things); !id.isNull())
            return id;
    for (const auto& list : plan.lists)
        if (const QUuid id = find(list.things); !id.isNull())
            return id;
    for (const auto& things : plan.months)
        if (const QUuid id = find(things); !id.isNull())
            return id;
    return {};
}

// Things made from titles, each with a fresh id.
inline QList<Thing> made(const QStringList& names)
{
    QList<Thing> out;
    for (const QString& n : names)
        out.append(Thing::make(n));
    return out;
}
