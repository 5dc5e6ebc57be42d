#include "demodata.h"

#include "logcategories.h"
#include "markdown.h"
#include "notestore.h"
#include "planner.h"
#include "plannerstore.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {

struct DemoThing {
    DemoThing(int day, QString title, bool done = false, int moves = 0, std::optional<Mark> mark = std::nullopt)
        : day(day), title(std::move(title)), done(done), moves(moves), mark(mark)
    {
    }
    int day;  // of November 2026
    QString title;
    bool done;
    int moves;
    std::optional<Mark> mark;
};

QList<DemoThing> demoThings()
{
    const QString a = DemoData::friendA();
    const QString b = DemoData::friendB();
    return {
        {2, QStringLiteral("taxes, part one"), true},
        {4, QStringLiteral("haircut"), true},
        {5, QStringLiteral("dinner at ") + a + QStringLiteral("'s"), true},
        {7, QStringLiteral("laundry mountain"), true},
        {9, QStringLiteral("call the dentist"), true},
        {9, QStringLiteral("pay rent"), true},
        {9, QStringLiteral("send the invoice"), true},
        {10, QStringLiteral("slides for thursday"), false, 2},
        {10, QStringLiteral("book flights")},
        {10, QStringLiteral("reply to ") + a},
        {10, QStringLiteral("drink water"), true},
        {11, QStringLiteral("lunch with ") + b, false, 0, Mark::Lavender},
        {11, QStringLiteral("pick up the parcel")},
        {11, QStringLiteral("water the plants")},
        {12, QStringLiteral("present slides"), false, 0, Mark::Red},
        {12, QStringLiteral("call mum")},
        {13, QStringLiteral("renew the passport"), false, 3},
        {13, QStringLiteral("gym, allegedly"), false, 0, Mark::Green},
        {13, QStringLiteral("expense report")},
        {14, QStringLiteral("the market")},
        {15, QStringLiteral("nothing. properly.")},
        {16, QStringLiteral("dentist, actually")},
        {20, QStringLiteral("team offsite")},
        {20, QStringLiteral("pack")},
        {20, QStringLiteral("find the charger")},
        {20, QStringLiteral("print the tickets")},
        {20, QStringLiteral("charge the headphones")},
        {20, QStringLiteral("out of office")},
        {20, QStringLiteral("water the neighbour's plants")},
        {26, QStringLiteral("flight to lisbon")},
        {27, QStringLiteral("lisbon")},
        {28, QStringLiteral("lisbon")},
        {29, QStringLiteral("fly home")},
    };
}

EventuallyList demoList(const QString& name, const QStringList& titles)
{
    EventuallyList list{name, {}};
    for (const QString& title : titles)
        list.things.append(Thing::make(title));
    return list;
}

Planner demoPlan()
{
    Planner plan;
    std::optional<QUuid> plants;
    for (const DemoThing& row : demoThings()) {
        Thing thing = Thing::make(row.title);
        thing.done = row.done;
        thing.zs = row.moves;
        thing.mark = row.mark;
        if (row.title == QStringLiteral("reply to ") + DemoData::friendA()) {
            thing.steps = {{QStringLiteral("read her message"), true},
                           {QStringLiteral("check the dates"), false},
                           {QStringLiteral("answer, briefly"), false}};
            thing.note = QStringLiteral("she asked about lisbon in may.\nsay yes before thinking about it.");
        }
        if (row.title == u"water the plants")
            plants = thing.id;
        plan.add(thing, Place::onDay(Day{2026, 11, row.day}));
    }
    plan.setRepeat(*plants, RepeatKind::Weekly);
    plan.lists = {
        demoList(QStringLiteral("home"),
                 {QStringLiteral("fix the bike"), QStringLiteral("hang the shelf that's been leaning there since march")}),
        demoList(QStringLiteral("to read"), {QStringLiteral("the book ") + DemoData::friendB() + QStringLiteral(" lent me")}),
        demoList(QStringLiteral("trip"), {QStringLiteral("look at flights to lisbon"), QStringLiteral("ask about the cat")}),
    };
    const Place november = Place::inMonth(MonthKey{2026, 11});
    for (const char* title : {"sort the photos", "new running shoes", "see the skin doctor"})
        plan.add(Thing::make(QString::fromUtf8(title)), november);
    return plan;
}

struct DemoNote {
    int age;  // days before now
    QString text;
};

QList<DemoNote> demoNotes()
{
    const QString a = DemoData::friendA();
    return {
        {0, QStringLiteral("lisbon in may\nthe flights are from the 14th, and ") + a
                + QStringLiteral(" knows a place near alfama.\nbook before thinking about it.")},
        {1, QStringLiteral("groceries\noat milk, lemons, the good bread")},
        {3, QStringLiteral("ideas, roughly\na lamp that dims itself at 10\na chair that judges less")},
        {9, QStringLiteral("things ") + a + QStringLiteral(" said\n\"you don't have to do it today. you just have to not forget it.\"")},
    };
}

} // namespace

void DemoData::write(const QString& folder)
{
    const Planner plan = demoPlan();
    PlannerStore store(folder);
    // The store writes only what it counts as loaded, so it looks at the demo's weeks
    // and month first; the plan it reads them into is thrown away.
    Planner looked;
    store.loadWeeks(Day{2026, 10, 26}, Day{2026, 12, 6}, looked);
    store.loadMonth(MonthKey{2026, 11}, looked);
    if (const Status saved = store.save(plan); !saved)
        qCWarning(lcApp) << "the demo plan was not written whole:" << saved.errorText();
}

QString DemoData::writeNotes(const QString& folder)
{
    NoteStore store(folder);
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    if (std::any_of(names.cbegin(), names.cend(), [](const QString& name) { return name.endsWith(u".rtf"); }))
        return folder;
    const QDateTime now = QDateTime::currentDateTime();
    for (const DemoNote& row : demoNotes()) {
        const QDateTime modified = now.addSecs(-qint64(row.age) * 86400);
        const Note note(pemby::newUuidUpper(), row.text, modified, modified);
        if (const Status saved = store.save(note); !saved) {
            qCWarning(lcNotes) << "a demo note was not written:" << saved.errorText();
            continue;
        }
        QFile file(store.filePath(note));
        if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(modified, QFileDevice::FileModificationTime))
            qCWarning(lcNotes) << "couldn't date the demo note" << file.fileName();
    }
    return folder;
}

bool DemoData::holdsPlan(const QString& folder)
{
    // The names the planner store reads: "2026-W46.md", "2026-11.md" (leniently, as it
    // does), "eventually.md" and "repeats.md".
    static const QRegularExpression dated(QStringLiteral("^\\d+-W?\\d+\\.md$"));
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    return std::any_of(names.cbegin(), names.cend(), [](const QString& name) {
        return name == Markdown::listsFileName() || name == Markdown::repeatsFileName() || dated.match(name).hasMatch();
    });
}
