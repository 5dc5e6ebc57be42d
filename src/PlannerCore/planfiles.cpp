// The week, month, lists and repeats files. Each is a list of lines joined with LF and
// ending in exactly one LF; the things inside use the thing line grammar.
#include "markdown.h"

#include "textfile.h"
#include "textutil.h"

#include <algorithm>

namespace {

// Another editor may have saved the file with CRLF or CR line ends or a BOM; it must
// read exactly like its LF twin.
QStringList fileLines(QStringView text)
{
    QString clean = text.toString();
    if (clean.startsWith(QChar(0xFEFF)))
        clean.remove(0, 1);
    return pemby::normalizeLineEnds(std::move(clean)).split(u'\n');
}

QString joined(const QStringList& lines)
{
    return lines.join(u'\n') + u'\n';
}

QString weekdayWord(int weekday)
{
    static const char* const words[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    return QString::fromLatin1(words[(weekday - 1 + 7) % 7]);
}

void appendThings(QStringList& lines, const QList<Thing>& things)
{
    for (const Thing& thing : things)
        lines.append(Markdown::encode(thing));
}

const QString repeatsComment = QStringLiteral("<!-- repeats:");

QSet<QString> appliedRuleIds(QStringView line)
{
    QString rest = line.sliced(repeatsComment.size()).toString();
    rest.remove(QStringLiteral("-->"));
    QSet<QString> ids;
    for (const QString& piece : rest.split(u',', Qt::SkipEmptyParts)) {
        const QString id = pemby::trimBlanks(piece);
        if (!id.isEmpty())
            ids.insert(id);
    }
    return ids;
}

} // namespace

QList<MarkdownSection> Markdown::sections(QStringView text)
{
    QList<MarkdownSection> out{MarkdownSection{}};
    for (QString& line : fileLines(text)) {
        if (line.startsWith(u"## "))
            out.append(MarkdownSection{pemby::trimBlanks(QStringView(line).sliced(3)), {}});
        else
            out.last().lines.append(std::move(line));
    }
    return out;
}

QString Markdown::weekFileName(Day monday)
{
    const IsoWeek week = monday.isoWeek();
    return QString::asprintf("%04d-W%02d.md", week.year, week.week);
}

QString Markdown::encodeWeek(Day monday, const Planner& planner)
{
    const IsoWeek week = monday.isoWeek();
    QStringList lines{QStringLiteral("# %1 week %2").arg(week.year).arg(week.week)};
    const QSet<QString> applied = planner.appliedRepeats.value(monday);
    if (!applied.isEmpty()) {
        QStringList ids;
        for (const QString& id : applied)
            ids.append(pemby::flattenLineBreaks(id));
        std::sort(ids.begin(), ids.end());
        lines.append(QStringLiteral("<!-- repeats: ") + ids.join(u',') + QStringLiteral(" -->"));
    }
    for (int i = 0; i < 7; ++i) {
        const Day day = monday.adding(i);
        lines.append(QString());
        lines.append(QStringLiteral("## ") + weekdayWord(day.weekday()) + u' ' + day.iso());
        appendThings(lines, planner.days.value(day));
    }
    return joined(lines);
}

void Markdown::decodeWeek(QStringView text, Day monday, Planner& planner)
{
    for (int i = 0; i < 7; ++i)
        planner.days.remove(monday.adding(i));
    planner.appliedRepeats.remove(monday);

    for (const MarkdownSection& section : sections(text)) {
        if (section.heading.isEmpty()) {
            for (const QString& line : section.lines) {
                if (line.startsWith(repeatsComment))
                    planner.appliedRepeats.insert(monday, appliedRuleIds(line));
            }
            continue;
        }
        const QStringList words = section.heading.split(u' ', Qt::SkipEmptyParts);
        const auto day = words.isEmpty() ? std::nullopt : Day::fromIso(words.last());
        if (!day || day->monday() != monday)
            continue;
        const QList<Thing> things = decodeThings(section.lines);
        if (!things.isEmpty())
            planner.days[*day].append(things);
    }
}

QString Markdown::monthFileName(MonthKey month)
{
    return month.toString() + QStringLiteral(".md");
}

QString Markdown::encodeMonth(MonthKey month, const QList<Thing>& things)
{
    QStringList lines{QStringLiteral("# ") + month.toString() + QStringLiteral(", roughly"), QString()};
    appendThings(lines, things);
    return joined(lines);
}

QList<Thing> Markdown::decodeMonth(QStringView text)
{
    QStringList all;
    for (const MarkdownSection& section : sections(text))
        all.append(section.lines);
    return decodeThings(all);
}

QString Markdown::encodeLists(const QList<EventuallyList>& lists)
{
    QStringList lines{QStringLiteral("# eventually")};
    for (const EventuallyList& list : lists) {
        lines.append(QString());
        lines.append(QStringLiteral("## ") + pemby::flattenLineBreaks(list.name));
        appendThings(lines, list.things);
    }
    return joined(lines);
}

QList<EventuallyList> Markdown::decodeLists(QStringView text)
{
    QList<EventuallyList> lists;
    for (const MarkdownSection& section : sections(text)) {
        if (section.heading.isEmpty())
            continue;
        if (lists.size() == Planner::listCap)
            break;
        lists.append(EventuallyList{section.heading.toLower(), decodeThings(section.lines)});
    }
    return lists;
}

QString Markdown::encodeRepeats(const QList<RepeatRule>& rules)
{
    QStringList lines{QStringLiteral("# repeats"), QString()};
    for (const RepeatRule& rule : rules) {
        QString line = QStringLiteral("- ") + writtenTitle(rule.title) + QStringLiteral(" {") + repeatKindRawValue(rule.kind)
            + QStringLiteral("} {since:") + rule.start.iso() + QStringLiteral("} {") + tagWithValue(u"id", rule.id) + u'}';
        if (rule.mark)
            line += QStringLiteral(" {") + markRawValue(*rule.mark) + u'}';
        lines.append(line);
    }
    return joined(lines);
}

QList<RepeatRule> Markdown::decodeRepeats(QStringView text)
{
    QList<RepeatRule> rules;
    for (const QString& line : fileLines(text)) {
        if (!line.startsWith(u"- "))
            continue;
        const TitleAndTags split = splitTags(QStringView(line).sliced(2));
        if (split.tags.isEmpty() || split.title.isEmpty())
            continue;
        std::optional<RepeatKind> kind;
        std::optional<Mark> mark;
        std::optional<Day> start;
        std::optional<QString> id;
        // Peeled last tag first, so of two tags of one kind the one nearer the title wins.
        for (const QString& tag : split.tags) {
            if (const auto k = repeatKindFromRawValue(tag))
                kind = k;
            else if (const auto m = markFromRawValue(tag))
                mark = m;
            else if (tag.startsWith(u"since:"))
                start = Day::fromIso(QStringView(tag).sliced(6));
            else if (auto value = tagValue(tag, u"id"))
                id = std::move(value);
        }
        if (!kind || !start || !id)
            continue;
        rules.append(RepeatRule{*id, readTitle(split.title), *kind, *start, mark});
    }
    return rules;
}
