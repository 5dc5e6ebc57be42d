#pragma once
// Helpers for tests of the plan's files: things compared without their ids (every read
// makes fresh ones), every field in failure messages, and the fixture files.

#include "planner.h"

#include <QFile>
#include <QStringList>

#include <functional>
#include <ostream>

// Every field but the id, escaped so blanks and line breaks show.
inline QString fieldsOf(const Thing& t)
{
    const auto shown = [](const QString& s) {
        QString out;
        for (const QChar c : s) {
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0xA0)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
        return u'"' + out + u'"';
    };
    const auto opt = [&](const std::optional<QString>& s) { return s ? shown(*s) : QStringLiteral("-"); };
    QStringList steps;
    for (const Step& s : t.steps)
        steps.append((s.done ? QStringLiteral("x ") : QStringLiteral("o ")) + shown(s.title));
    return QStringList{
        shown(t.title), t.done ? "done" : "open", QStringLiteral("zs=%1").arg(t.zs),
        QStringLiteral("mark=") + (t.mark ? markRawValue(*t.mark) : QStringLiteral("-")),
        QStringLiteral("steps=[") + steps.join(", ") + u']', QStringLiteral("note=") + shown(t.note),
        QStringLiteral("every=") + opt(t.repeatID), QStringLiteral("from=") + opt(t.link),
        QStringLiteral("at=") + (t.remind ? t.remind->toString() : QStringLiteral("-")),
        QStringLiteral("note-id=") + opt(t.noteID), QStringLiteral("sync=") + opt(t.syncID),
    }.join(u' ');
}

inline void PrintTo(const Thing& t, std::ostream* os) { *os << fieldsOf(t).toStdString(); }

inline QList<Thing> withoutIds(QList<Thing> things)
{
    for (Thing& t : things)
        t.id = QUuid();
    return things;
}

inline Thing withoutId(Thing t)
{
    t.id = QUuid();
    return t;
}

// A thing with only a title (and the done flag), no id: what a reader should give.
inline Thing plain(const QString& title, bool done = false)
{
    Thing t;
    t.title = title;
    t.done = done;
    return t;
}

inline QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(PEMBY_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline void PrintTo(const RepeatRule& r, std::ostream* os)
{
    *os << r.id.toStdString() << " \"" << r.title.toStdString() << "\" " << repeatKindRawValue(r.kind).toStdString()
        << " since " << r.start.iso().toStdString() << " mark " << (r.mark ? markRawValue(*r.mark).toStdString() : "-");
}

inline Thing thing(const QString& title, const std::function<void(Thing&)>& change = {})
{
    Thing t = plain(title);
    if (change)
        change(t);
    return t;
}

// The week, rules, lists and month of the worked examples ("2024-W05.md" and its
// neighbours in the fixtures), ids aside.
inline Planner examplePlan()
{
    const Day week5{2024, 1, 29};
    Planner plan;
    plan.appliedRepeats[week5] = {"4f0c2a"};
    plan.days[week5] = {
        thing("water the plants", [](Thing& t) { t.done = true; t.repeatID = "4f0c2a"; }),
        thing("send the invoice", [](Thing& t) { t.zs = 1; t.mark = Mark::Red; t.steps = {{"attach the receipt", false}}; }),
    };
    plan.days[Day{2024, 1, 31}] = {thing("buy stamps", [](Thing& t) { t.note = "the small ones"; })};
    plan.repeats = {RepeatRule{"4f0c2a", "water the plants", RepeatKind::Weekly, week5, Mark::Green}};
    plan.lists = {{"eventually", {thing("fix the bike light")}}, {"to read", {}}};
    plan.months[MonthKey{2024, 5}] = {thing("renew the passport")};
    return plan;
}

inline Planner idless(Planner plan)
{
    for (auto& things : plan.days)
        things = withoutIds(things);
    for (auto& list : plan.lists)
        list.things = withoutIds(list.things);
    for (auto& things : plan.months)
        things = withoutIds(things);
    return plan;
}
