// The four plan files: whatever a file holds, writing what was read and reading it
// again gives what the first read gave; an edit reads back as made and keeps every
// line the reader left; writing again what was written changes nothing.
#include "fuzzcheck.h"

#include <QHash>

#include <functional>

namespace {

const Day monday{2024, 1, 29};

// Every line the first read left is in the written text, as often as it was.
void checkKeptLines(const PlanLayout& read, const QString& written)
{
    QHash<QString, int> have;
    for (const QString& line : written.split(u'\n'))
        ++have[line];
    for (const LayoutSection& section : read.sections) {
        for (const LayoutLine& line : section.lines) {
            if (line.kind == LayoutLine::Kind::Kept || line.kind == LayoutLine::Kind::Title)
                check(have[line.text]-- > 0, "every line the reader left is written back");
        }
    }
}

// One kind of file: how it is read, written and compared, and an edit of its content.
template <class Content>
struct Format {
    const char* name;
    std::function<Content(const QString&, PlanLayout*)> read;
    std::function<QString(const Content&, PlanLayout*)> write;
    std::function<bool(const Content&, const Content&)> same;
    std::function<void(Content&)> edit;
};

template <class Content>
void checkFormat(const QString& text, const Format<Content>& format)
{
    checking = format.name;
    PlanLayout layout;
    const Content first = format.read(text, &layout);
    const PlanLayout asRead = layout;

    // Unchanged content, written into the file's own layout and in the system's form.
    const QString written = format.write(first, &layout);
    check(format.same(format.read(written, nullptr), first), "what was read, written and read again is what was read");
    check(format.write(first, &layout) == written, "writing again what was written changes nothing");
    checkKeptLines(asRead, written);
    check(format.same(format.read(format.write(first, nullptr), nullptr), first), "the system's form reads back as read");

    // An edit reads back as made, and keeps every line the reader left.
    Content edited = first;
    format.edit(edited);
    PlanLayout again = asRead;
    const QString afterEdit = format.write(edited, &again);
    check(format.same(format.read(afterEdit, nullptr), edited), "an edit reads back as made");
    checkKeptLines(asRead, afterEdit);
}

bool sameWeeks(const WeekContent& a, const WeekContent& b)
{
    for (int i = 0; i < 7; ++i) {
        if (withoutIds(a.days[i]) != withoutIds(b.days[i]))
            return false;
    }
    return a.applied.value_or(QSet<QString>()) == b.applied.value_or(QSet<QString>());
}

bool sameLists(const QList<EventuallyList>& a, const QList<EventuallyList>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || withoutIds(a[i].things) != withoutIds(b[i].things))
            return false;
    }
    return true;
}

// Removes the first thing and adds one at the end, with a field of every kind.
void editThings(QList<Thing>& things)
{
    if (!things.isEmpty())
        things.removeFirst();
    Thing added = Thing::make(QStringLiteral("added {by} the fuzzer"));
    added.zs = 4;
    added.mark = Mark::Red;
    added.steps = {{QStringLiteral("a step"), true}};
    added.note = QStringLiteral("a note\n\nof two lines");
    added.link = QStringLiteral("https://example.com/a b");
    added.syncID = QStringLiteral("FUZZ");
    things.append(added);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);

    checkFormat<WeekContent>(text, {
        "week file",
        [](const QString& t, PlanLayout* l) { return Markdown::decodeWeek(t, monday, l); },
        [](const WeekContent& c, PlanLayout* l) { return Markdown::encodeWeek(monday, c, l); },
        sameWeeks,
        [](WeekContent& c) {
            editThings(c.days[2]);
            if (!c.days[0].isEmpty())
                c.days[6].append(c.days[0].takeLast());
            c.applied = QSet<QString>{QStringLiteral("fuzz")};
        },
    });
    checkFormat<QList<Thing>>(text, {
        "month file",
        [](const QString& t, PlanLayout* l) { return Markdown::decodeMonth(t, l); },
        [](const QList<Thing>& c, PlanLayout* l) { return Markdown::encodeMonth(MonthKey{2024, 5}, c, l); },
        [](const QList<Thing>& a, const QList<Thing>& b) { return withoutIds(a) == withoutIds(b); },
        editThings,
    });
    checkFormat<QList<EventuallyList>>(text, {
        "lists file",
        [](const QString& t, PlanLayout* l) { return Markdown::decodeLists(t, l); },
        [](const QList<EventuallyList>& c, PlanLayout* l) { return Markdown::encodeLists(c, l); },
        sameLists,
        [](QList<EventuallyList>& c) {
            if (c.size() > 1)
                c.removeAt(1);
            if (!c.isEmpty()) {
                editThings(c.first().things);
                c.first().name = QStringLiteral("renamed");
            }
            if (c.size() < Planner::listCap)
                c.append(EventuallyList{QStringLiteral("added"), {Thing::make(QStringLiteral("new"))}});
        },
    });
    // A list removed, and none added: what stood past the sixth stays out of the lists.
    checkFormat<QList<EventuallyList>>(text, {
        "lists file, a list removed",
        [](const QString& t, PlanLayout* l) { return Markdown::decodeLists(t, l); },
        [](const QList<EventuallyList>& c, PlanLayout* l) { return Markdown::encodeLists(c, l); },
        sameLists,
        [](QList<EventuallyList>& c) {
            if (!c.isEmpty())
                c.removeFirst();
        },
    });
    checkFormat<QList<RepeatRule>>(text, {
        "repeats file",
        [](const QString& t, PlanLayout* l) { return Markdown::decodeRepeats(t, l); },
        [](const QList<RepeatRule>& c, PlanLayout* l) { return Markdown::encodeRepeats(c, l); },
        [](const QList<RepeatRule>& a, const QList<RepeatRule>& b) { return a == b; },
        [](QList<RepeatRule>& c) {
            if (!c.isEmpty())
                c.removeFirst();
            c.append(RepeatRule{QStringLiteral("fuzz id"), QStringLiteral("a {rule}"), RepeatKind::Weekly, monday, Mark::Green});
        },
    });
    return 0;
}
