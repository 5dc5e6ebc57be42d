// The week, month, lists and repeats files. Each is a list of lines joined with LF and
// ending in exactly one LF; the things inside use the thing line grammar.
//
// A file may have been edited by hand, so reading records where every line stood
// (planlayout.h) and writing puts back every line the reader did not take. Written
// with no layout, a file comes out in the canonical form: the same writer serves both.
#include "markdown.h"

#include "inparallel.h"
#include "textfile.h"
#include "textutil.h"

#include <algorithm>
#include <span>

namespace {

using Kind = LayoutLine::Kind;

// Another editor may have saved the file with CRLF or CR line ends or a BOM; it must
// read exactly like its LF twin. A file as the store reads it has neither, and is read
// in place.
class CleanText {
public:
    explicit CleanText(QStringView text) : text_(text)
    {
        if (!text.startsWith(QChar(0xFEFF)) && !text.contains(QChar(u'\r')))
            return;
        QString clean = text.toString();
        if (clean.startsWith(QChar(0xFEFF)))
            clean.remove(0, 1);
        owned_ = pemby::normalizeLineEnds(std::move(clean));
        text_ = owned_;
    }
    CleanText(const CleanText&) = delete;
    CleanText& operator=(const CleanText&) = delete;

    QStringView view() const { return text_; }

private:
    QString owned_;
    QStringView text_;
};

using Lines = std::span<const QStringView>;

// The lines of a file's text as views of it, as planlayout::lines splits them.
QList<QStringView> lineViews(QStringView text)
{
    QList<QStringView> out;
    if (text.isEmpty())
        return out;
    // A plan file's lines are some thirty characters long.
    out.reserve(text.size() / 24 + 8);
    qsizetype start = 0;
    for (qsizetype end; (end = text.indexOf(QChar(u'\n'), start)) >= 0; start = end + 1)
        out.append(text.sliced(start, end - start));
    if (start < text.size())
        out.append(text.sliced(start));
    return out;
}

bool isHeading(QStringView line)
{
    return line.size() >= 3 && line[0] == u'#' && line[1] == u'#' && line[2] == u' ';
}

// A section as the reader sees it, with its heading line as it stands.
struct RawSection {
    std::optional<QStringView> headingLine;
    QStringView heading;  // trimmed; empty before the first heading and for a bare "## "
    Lines lines;
};

QList<RawSection> rawSections(const QList<QStringView>& lines)
{
    QList<RawSection> out;
    qsizetype start = 0;
    std::optional<QStringView> heading;
    const auto close = [&](qsizetype end) {
        RawSection section;
        section.headingLine = heading;
        if (heading)
            section.heading = pemby::trimmedBlanks(heading->sliced(3));
        section.lines = Lines(lines.cbegin() + start, lines.cbegin() + end);
        out.append(section);
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isHeading(lines[i]))
            continue;
        close(i);
        heading = lines[i];
        start = i + 1;
    }
    close(lines.size());
    return out;
}

// The blank lines that end `lines` are cut off and counted.
int cutTrailingBlanks(Lines& lines)
{
    int blanks = 0;
    while (!lines.empty() && lines.back().isEmpty()) {
        lines = lines.first(lines.size() - 1);
        ++blanks;
    }
    return blanks;
}

QString weekdayWord(int weekday)
{
    static const char* const words[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    return QString::fromLatin1(words[(weekday - 1 + 7) % 7]);
}

const QString repeatsComment = QStringLiteral("<!-- repeats:");

// A rule id typed by hand can hold what the comment cannot: a comma, the comment's
// end, blanks at its ends. Such an id is written percent-encoded behind "%:", so the
// week still says the rule was applied and a re-read never applies it again.
const QString encodedIdMark = QStringLiteral("%:");

QString commentId(const QString& id)
{
    const bool plain = !id.contains(u',') && !id.contains(QStringLiteral("-->")) && !id.startsWith(encodedIdMark)
        && pemby::trimBlanks(id) == id;
    if (plain)
        return id;
    return encodedIdMark + QString::fromLatin1(id.toUtf8().toPercentEncoding(QByteArray(), QByteArray("-")));
}

QSet<QString> appliedRuleIds(QStringView line)
{
    QString rest = line.sliced(repeatsComment.size()).toString();
    // Removing one "-->" can join the pieces of another.
    while (rest.contains(QStringLiteral("-->")))
        rest.remove(QStringLiteral("-->"));
    QSet<QString> ids;
    for (const QString& piece : rest.split(u',', Qt::SkipEmptyParts)) {
        // On one line, as the writer writes it.
        QString id = pemby::trimBlanks(pemby::flattenLineBreaks(piece));
        if (id.startsWith(encodedIdMark))
            id = QString::fromUtf8(QByteArray::fromPercentEncoding(id.sliced(encodedIdMark.size()).toLatin1()));
        if (!id.isEmpty())
            ids.insert(id);
    }
    return ids;
}

std::optional<QString> commentLine(const QSet<QString>& applied)
{
    if (applied.isEmpty())
        return std::nullopt;
    QStringList ids;
    for (const QString& id : applied)
        ids.append(commentId(pemby::flattenLineBreaks(id)));
    std::sort(ids.begin(), ids.end());
    return QStringLiteral("<!-- repeats: ") + ids.join(u',') + QStringLiteral(" -->");
}

LayoutLine kept(const QString& text)
{
    return LayoutLine{Kind::Kept, text, {}};
}

LayoutLine title(const QString& text)
{
    return LayoutLine{Kind::Title, text, {}};
}

bool hasKind(const LayoutSection& section, Kind kind)
{
    return std::any_of(section.lines.cbegin(), section.lines.cend(), [&](const LayoutLine& l) { return l.kind == kind; });
}

QHash<QUuid, QString> tailsOf(const QList<Thing>& things, const QStringList& shadowed)
{
    QHash<QUuid, QString> tails;
    for (qsizetype i = 0; i < things.size(); ++i) {
        if (!shadowed[i].isEmpty())
            tails.insert(things[i].id, shadowed[i]);
    }
    return tails;
}

// Said under the first list heading past the ones the file's lists take, once a list
// was removed: what follows stays text.
const QString keptListsMark = QStringLiteral("<!-- kept as text: lists past the sixth -->");

// The name a "## " line gives a list: one line, as the writer writes it, lower case.
QString listName(QStringView headingLine)
{
    return pemby::trimBlanks(pemby::flattenLineBreaks(headingLine.sliced(3))).toLower();
}

// Whether a line written after a thing would be read as its step or note.
bool wouldJoinAThing(const QString& line)
{
    QList<int> owners;
    Markdown::decodeThings({QStringLiteral("- [ ] x"), line}, &owners);
    return owners.value(1) == 0;
}

// A run of lines read as things: the things, and the layout lines of the run.
QList<Thing> readThings(Lines lines, QList<LayoutLine>* layout)
{
    if (!layout)
        return Markdown::decodeThings(lines);
    QList<int> owners;
    QStringList shadowed;
    QList<Thing> things = Markdown::decodeThings(lines, &owners, &shadowed);
    // A run whose every line a thing took, naming no field twice, keeps nothing of
    // its own (as the system writes them all).
    const bool allTaken = std::none_of(owners.cbegin(), owners.cend(), [](int owner) { return owner < 0; })
        && std::all_of(shadowed.cbegin(), shadowed.cend(), [](const QString& tail) { return tail.isEmpty(); });
    if (allTaken) {
        layout->clear();
        return things;
    }
    QList<QUuid> keys;
    keys.reserve(owners.size());
    for (const int owner : owners)
        keys.append(owner < 0 ? QUuid() : things[owner].id);
    *layout = planlayout::placeLines(lines, keys, tailsOf(things, shadowed));
    return things;
}

// Each thing's line as the writer renders it, with the tags its line named twice after
// its own: the first of a field wins, so they change nothing but stay the user's.
QList<LayoutUnit> thingUnits(const QList<Thing>& things, const QHash<QUuid, QString>& tails)
{
    QList<LayoutUnit> units;
    units.reserve(things.size());
    for (const Thing& thing : things) {
        LayoutUnit unit{thing.id, Markdown::encode(thing), tails.value(thing.id)};
        unit.lines.first() += unit.tail;
        units.append(std::move(unit));
    }
    return units;
}

// The part before the first heading, or under a bare "## ": written as it stands, but
// for the week's repeats comment, which says what the week holds now (once, where it
// first stood).
void writeLoose(QStringList& out, const LayoutSection& section, const std::optional<QString>& comment,
                bool& commentWritten, PlanLayout& written)
{
    if (section.heading) {
        planlayout::blankBeforeHeading(out, written);
        out.append(*section.heading);
    }
    LayoutSection next = section;
    next.lines.clear();
    for (const LayoutLine& line : section.lines) {
        if (line.kind == Kind::Comment) {
            if (comment && !std::exchange(commentWritten, true)) {
                out.append(*comment);
                next.lines.append(line);
            }
            continue;
        }
        out.append(line.text);
        next.lines.append(line);
    }
    for (int i = 0; i < section.blanksAfter; ++i)
        out.append(QString());
    written.sections.append(std::move(next));
}

// A section the reader passed over, as it stands; `mark`, when given, goes under its
// heading in place of the one it had.
void writeSkipped(QStringList& out, LayoutSection section, PlanLayout& written,
                  const std::optional<QString>& mark = std::nullopt)
{
    section.lines.removeIf([](const LayoutLine& l) { return l.kind == Kind::Comment; });
    if (mark)
        section.lines.prepend(LayoutLine{Kind::Comment, {}, {}});
    if (section.heading) {
        planlayout::blankBeforeHeading(out, written);
        out.append(*section.heading);
    }
    for (const LayoutLine& line : section.lines)
        out.append(line.kind == Kind::Comment ? *mark : line.text);
    for (int i = 0; i < section.blanksAfter; ++i)
        out.append(QString());
    written.sections.append(section);
}

// The part before the first heading, with the title the file must have: the file's own
// "# " line, or the system's when it has none.
LayoutSection titled(const PlanLayout& layout, const QString& systemTitle, bool blankAfterTitle)
{
    LayoutSection first;
    if (!layout.sections.isEmpty() && !layout.sections.first().heading)
        first = layout.sections.first();
    if (!hasKind(first, Kind::Title)) {
        QList<LayoutLine> lines{title(systemTitle)};
        if (blankAfterTitle)
            lines.append(kept(QString()));
        first.lines = lines + first.lines;
    }
    return first;
}

// A file read as one place (the month, the rules): the first "# " line before any
// unit is its title; everything else the reader left is kept.
void readOnePlace(Lines all, const QList<QUuid>& owners, PlanLayout* layout, const QHash<QUuid, QString>& tails = {})
{
    if (!layout)
        return;
    Lines lines = all;
    LayoutSection section;
    section.kind = LayoutSection::Kind::Place;
    section.index = 0;
    section.blanksAfter = cutTrailingBlanks(lines);
    section.lines = planlayout::placeLines(lines, owners, tails);
    for (LayoutLine& line : section.lines) {
        if (line.kind == Kind::Unit)
            break;
        if (line.text.startsWith(u"# ")) {
            line.kind = Kind::Title;
            break;
        }
    }
    layout->sections = {section};
}

QString writeOnePlace(const QString& systemTitle, const QList<LayoutUnit>& units, PlanLayout* layout)
{
    PlanLayout old = layout ? std::move(*layout) : PlanLayout{};
    LayoutSection section = old.sections.isEmpty() ? LayoutSection{} : old.sections.first();
    section.kind = LayoutSection::Kind::Place;
    section.index = 0;
    if (!hasKind(section, Kind::Title))
        section.lines = QList<LayoutLine>{title(systemTitle), kept(QString())} + section.lines;
    QStringList out;
    PlanLayout written;
    planlayout::writePlace(out, section, units, {}, written);
    if (layout)
        *layout = std::move(written);
    return planlayout::joined(out);
}

} // namespace

QList<MarkdownSection> Markdown::sections(QStringView text)
{
    QList<MarkdownSection> out{MarkdownSection{}};
    const CleanText clean(text);
    for (const QStringView line : clean.view().split(u'\n')) {
        if (isHeading(line))
            out.append(MarkdownSection{pemby::trimBlanks(line.sliced(3)), {}});
        else
            out.last().lines.append(line.toString());
    }
    return out;
}

// ---- Week files --------------------------------------------------------------------

QString Markdown::weekFileName(Day monday)
{
    const IsoWeek week = monday.isoWeek();
    return QString::asprintf("%04d-W%02d.md", week.year, week.week);
}

WeekContent Markdown::weekOf(Day monday, const Planner& planner)
{
    WeekContent week;
    for (int i = 0; i < 7; ++i)
        week.days[i] = planner.days.value(monday.adding(i));
    if (const auto applied = planner.appliedRepeats.constFind(monday); applied != planner.appliedRepeats.cend())
        week.applied = *applied;
    return week;
}

QString Markdown::encodeWeek(Day monday, const Planner& planner)
{
    return encodeWeek(monday, weekOf(monday, planner));
}

WeekContent Markdown::decodeWeek(QStringView text, Day monday, PlanLayout* layout)
{
    WeekContent week;
    bool hasTitle = false;
    const CleanText clean(text);
    const QList<QStringView> lines = lineViews(clean.view());
    for (RawSection& raw : rawSections(lines)) {
        LayoutSection section;
        if (raw.headingLine)
            section.heading = raw.headingLine->toString();
        section.blanksAfter = cutTrailingBlanks(raw.lines);
        if (raw.heading.isEmpty()) {
            section.kind = LayoutSection::Kind::Loose;
            for (const QStringView line : raw.lines) {
                if (line.startsWith(repeatsComment)) {
                    week.applied = appliedRuleIds(line);
                    section.lines.append(LayoutLine{Kind::Comment, {}, {}});
                } else if (!raw.headingLine && !hasTitle && line.startsWith(u"# ")) {
                    hasTitle = true;
                    section.lines.append(title(line.toString()));
                } else {
                    section.lines.append(kept(line.toString()));
                }
            }
        } else {
            // The heading's last word, split at spaces: it is trimmed, so it ends in one.
            const QStringView lastWord = raw.heading.sliced(raw.heading.lastIndexOf(u' ') + 1);
            const auto day = Day::fromIso(lastWord);
            if (day && day->monday() == monday) {
                section.kind = LayoutSection::Kind::Place;
                section.index = monday.daysUntil(*day);
                QList<Thing> things = readThings(raw.lines, layout ? &section.lines : nullptr);
                QList<Thing>& into = week.days[section.index];
                if (into.isEmpty())
                    into = std::move(things);
                else
                    into.append(things);
                planlayout::dropIfAllTaken(section);
            } else {
                section.kind = LayoutSection::Kind::Skipped;
                for (const QStringView line : raw.lines)
                    section.lines.append(kept(line.toString()));
            }
        }
        if (layout)
            layout->sections.append(std::move(section));
    }
    return week;
}

void Markdown::decodeWeek(QStringView text, Day monday, Planner& planner)
{
    putWeek(monday, decodeWeek(text, monday), planner);
}

void Markdown::putWeek(Day monday, const WeekContent& week, Planner& planner)
{
    // The plan is shared with its undo copies: a map of every week's rules left as it was
    // costs nothing, one changed is copied whole.
    const auto applied = planner.appliedRepeats.constFind(monday);
    if (!week.applied) {
        if (applied != planner.appliedRepeats.cend())
            planner.appliedRepeats.remove(monday);
    } else if (applied == planner.appliedRepeats.cend() || *applied != *week.applied) {
        planner.appliedRepeats.insert(monday, *week.applied);
    }
    for (int i = 0; i < 7; ++i) {
        if (week.days[i].isEmpty())
            planner.days.remove(monday.adding(i));
        else
            planner.days.insert(monday.adding(i), week.days[i]);
    }
}

QString Markdown::encodeWeek(Day monday, const WeekContent& week, PlanLayout* layout)
{
    const PlanLayout old = layout ? std::move(*layout) : PlanLayout{};
    const QHash<QUuid, QString> tails = planlayout::tails(old);
    const IsoWeek isoWeek = monday.isoWeek();
    const std::optional<QString> comment = commentLine(week.applied.value_or(QSet<QString>()));

    LayoutSection first = titled(old, QStringLiteral("# %1 week %2").arg(isoWeek.year).arg(isoWeek.week), false);
    const bool anyComment = std::any_of(old.sections.cbegin(), old.sections.cend(),
                                        [](const LayoutSection& s) { return hasKind(s, Kind::Comment); });
    if (comment && !anyComment) {
        const auto at = std::find_if(first.lines.begin(), first.lines.end(), [](const LayoutLine& l) { return l.kind == Kind::Title; });
        first.lines.insert(at + 1, LayoutLine{Kind::Comment, {}, {}});
    }

    // The sections to write: the file's own, in their order, and a new one for each
    // day the file has no section for, next to its neighbours.
    QList<LayoutSection> sections = old.sections;
    if (sections.isEmpty() || sections.first().heading)
        sections.prepend(first);
    else
        sections.first() = first;
    for (int i = 0; i < 7; ++i) {
        qsizetype afterEarlier = -1;
        qsizetype beforeLater = -1;
        bool present = false;
        for (qsizetype k = 0; k < sections.size(); ++k) {
            if (sections[k].kind != LayoutSection::Kind::Place)
                continue;
            const int d = sections[k].index;
            present = present || d == i;
            if (d < i)
                afterEarlier = k + 1;
            else if (d > i && beforeLater < 0)
                beforeLater = k;
        }
        if (present)
            continue;
        LayoutSection added;
        added.kind = LayoutSection::Kind::Place;
        added.index = i;
        const Day day = monday.adding(i);
        added.heading = QStringLiteral("## ") + weekdayWord(day.weekday()) + u' ' + day.iso();
        sections.insert(afterEarlier >= 0 ? afterEarlier : beforeLater >= 0 ? beforeLater : sections.size(), added);
    }

    QStringList out;
    PlanLayout written;
    bool commentWritten = false;
    bool placed[7] = {};
    for (const LayoutSection& section : std::as_const(sections)) {
        switch (section.kind) {
        case LayoutSection::Kind::Loose:
            writeLoose(out, section, comment, commentWritten, written);
            break;
        case LayoutSection::Kind::Skipped:
            writeSkipped(out, section, written);
            break;
        case LayoutSection::Kind::Place: {
            // A day with two sections gets all its things in the first.
            const bool home = !std::exchange(placed[section.index], true);
            planlayout::writePlace(out, section, home ? thingUnits(week.days[section.index], tails) : QList<LayoutUnit>{}, {},
                                   written);
            break;
        }
        }
    }
    if (layout)
        *layout = std::move(written);
    return planlayout::joined(out);
}

// ---- Month files -------------------------------------------------------------------

QString Markdown::monthFileName(MonthKey month)
{
    return month.toString() + QStringLiteral(".md");
}

QString Markdown::encodeMonth(MonthKey month, const QList<Thing>& things, PlanLayout* layout)
{
    const QList<LayoutUnit> units = thingUnits(things, layout ? planlayout::tails(*layout) : QHash<QUuid, QString>());
    return writeOnePlace(QStringLiteral("# ") + month.toString() + QStringLiteral(", roughly"), units, layout);
}

QList<Thing> Markdown::decodeMonth(QStringView text, PlanLayout* layout)
{
    // The things of every section make one run; the "## " lines are no part of it.
    const CleanText clean(text);
    const QList<QStringView> all = lineViews(clean.view());
    QList<QStringView> run;
    run.reserve(all.size());
    for (const QStringView line : all) {
        if (!isHeading(line))
            run.append(line);
    }
    if (!layout)
        return decodeThings(Lines(run.cbegin(), run.cend()));
    QList<int> owners;
    QStringList shadowed;
    QList<Thing> things = decodeThings(Lines(run.cbegin(), run.cend()), &owners, &shadowed);
    QList<QUuid> keys;
    keys.reserve(all.size());
    qsizetype r = 0;
    for (const QStringView line : all) {
        const int owner = isHeading(line) ? -1 : owners[r++];
        keys.append(owner < 0 ? QUuid() : things[owner].id);
    }
    readOnePlace(Lines(all.cbegin(), all.cend()), keys, layout, tailsOf(things, shadowed));
    return things;
}

// ---- Lists file --------------------------------------------------------------------

QString Markdown::encodeLists(const QList<EventuallyList>& lists, PlanLayout* layout)
{
    const PlanLayout old = layout ? std::move(*layout) : PlanLayout{};
    const QHash<QUuid, QString> tails = planlayout::tails(old);
    QList<LayoutSection> sections = old.sections;
    LayoutSection first = titled(old, QStringLiteral("# eventually"), false);
    if (sections.isEmpty() || sections.first().heading)
        sections.prepend(first);
    else
        sections.first() = first;
    const auto isList = [&](qsizetype s) { return sections[s].kind == LayoutSection::Kind::Place; };

    // Each list finds its section again by name, in order; a renamed one takes a free
    // section between those of its neighbours. Sections stay in the order of the lists.
    QList<qsizetype> listOf(sections.size(), -1);  // section → list
    QList<qsizetype> sectionOf(lists.size(), -1);  // list → section
    qsizetype from = 0;
    for (qsizetype l = 0; l < lists.size(); ++l) {
        for (qsizetype s = from; s < sections.size(); ++s) {
            if (isList(s) && sections[s].name == lists[l].name) {
                listOf[s] = l;
                sectionOf[l] = s;
                from = s + 1;
                break;
            }
        }
    }
    for (qsizetype l = 0; l < lists.size(); ++l) {
        if (sectionOf[l] >= 0)
            continue;
        qsizetype after = 0;
        for (qsizetype k = l - 1; k >= 0; --k) {
            if (sectionOf[k] >= 0) {
                after = sectionOf[k];
                break;
            }
        }
        qsizetype before = sections.size();
        for (qsizetype k = l + 1; k < lists.size(); ++k) {
            if (sectionOf[k] >= 0) {
                before = sectionOf[k];
                break;
            }
        }
        for (qsizetype s = after + 1; s < before; ++s) {
            if (isList(s) && listOf[s] < 0) {
                listOf[s] = l;
                sectionOf[l] = s;
                break;
            }
        }
    }

    // A list that is gone loses its heading and its things; the lines the reader left
    // there move to the end of the section before, in their order. A line that a
    // thing there would take for its step or note goes ahead of the things instead.
    QList<qsizetype> order;
    QHash<qsizetype, QList<LayoutLine>> opening;
    QHash<qsizetype, QList<LayoutLine>> closing;
    for (qsizetype s = 0; s < sections.size(); ++s) {
        if (!isList(s) || listOf[s] >= 0) {
            order.append(s);
            continue;
        }
        QList<LayoutLine> moved;
        for (const LayoutLine& line : std::as_const(sections[s].lines)) {
            if (line.kind != Kind::Unit)
                moved.append(line);
        }
        if (!isList(order.last()))
            sections[order.last()].lines.append(moved);
        else if (std::any_of(moved.cbegin(), moved.cend(), [](const LayoutLine& l) { return wouldJoinAThing(l.text); }))
            opening[order.last()].append(moved);
        else
            closing[order.last()].append(moved);
    }

    QStringList out;
    PlanLayout written;
    int listsWritten = 0;
    const auto writeList = [&](qsizetype l, LayoutSection section, const QList<LayoutLine>& first,
                               const QList<LayoutLine>& last) {
        if (!section.heading || section.name != lists[l].name)
            section.heading = QStringLiteral("## ") + pemby::flattenLineBreaks(lists[l].name);
        section.kind = LayoutSection::Kind::Place;
        section.index = int(l);
        section.name = lists[l].name;
        planlayout::writePlace(out, section, thingUnits(lists[l].things, tails), first, written, last);
        ++listsWritten;
    };
    // New lists come right after the list before them (the first one after the title).
    const auto writeNewFrom = [&](qsizetype l) {
        for (; l < lists.size() && sectionOf[l] < 0; ++l)
            writeList(l, LayoutSection{}, {}, {});
    };
    // Lists past the sixth are kept as text. With fewer lists before them now, the
    // first of them says so under its heading, so that none turns into a list.
    bool marked = false;
    for (const qsizetype s : std::as_const(order)) {
        const LayoutSection& section = sections[s];
        switch (section.kind) {
        case LayoutSection::Kind::Loose: {
            bool noComment = false;
            writeLoose(out, section, std::nullopt, noComment, written);
            break;
        }
        case LayoutSection::Kind::Skipped: {
            const bool mark = !marked && section.heading && !listName(*section.heading).isEmpty()
                && listsWritten < Planner::listCap;
            marked = marked || mark;
            writeSkipped(out, section, written, mark ? std::optional<QString>(keptListsMark) : std::nullopt);
            break;
        }
        case LayoutSection::Kind::Place:
            writeList(listOf[s], section, opening.value(s), closing.value(s));
            writeNewFrom(listOf[s] + 1);
            break;
        }
        if (s == 0)
            writeNewFrom(0);
    }
    if (layout)
        *layout = std::move(written);
    return planlayout::joined(out);
}

QList<EventuallyList> Markdown::decodeLists(QStringView text, PlanLayout* layout)
{
    QList<EventuallyList> lists;
    bool hasTitle = false;
    bool pastLists = false;
    const CleanText clean(text);
    const QList<QStringView> lines = lineViews(clean.view());
    QList<RawSection> raws = rawSections(lines);
    QList<LayoutSection> sections(raws.size());
    // Which sections are lists is told by their headings alone; their things are read
    // after, a long file's lists each on a thread of its own.
    QList<qsizetype> listSections;
    qsizetype listLines = 0;
    for (qsizetype s = 0; s < raws.size(); ++s) {
        RawSection& raw = raws[s];
        LayoutSection& section = sections[s];
        if (raw.headingLine)
            section.heading = raw.headingLine->toString();
        section.blanksAfter = cutTrailingBlanks(raw.lines);
        // A heading of blanks and line breaks alone names no list that reads back.
        const QString name = raw.headingLine ? listName(*raw.headingLine) : QString();
        pastLists = pastLists || (raw.headingLine && !raw.lines.empty() && raw.lines.front() == keptListsMark);
        if (!name.isEmpty() && !pastLists && listSections.size() < Planner::listCap) {
            section.kind = LayoutSection::Kind::Place;
            section.index = int(listSections.size());
            section.name = name;
            listSections.append(s);
            listLines += qsizetype(raw.lines.size());
        } else {
            section.kind = raw.headingLine ? LayoutSection::Kind::Skipped : LayoutSection::Kind::Loose;
            for (const QStringView line : raw.lines) {
                const bool isTitle = !raw.headingLine && !hasTitle && line.startsWith(u"# ");
                hasTitle = hasTitle || isTitle;
                const bool isMark = raw.headingLine && section.lines.isEmpty() && line == keptListsMark;
                section.lines.append(isTitle  ? title(line.toString())
                                     : isMark ? LayoutLine{Kind::Comment, {}, {}}
                                              : kept(line.toString()));
            }
        }
    }
    lists.resize(listSections.size());
    // Each job has its own list and section; nothing the threads share is written.
    EventuallyList* const listData = lists.data();
    LayoutSection* const sectionData = sections.data();
    const RawSection* const rawData = raws.constData();
    const qsizetype* const sectionOf = listSections.constData();
    constexpr qsizetype linesPerThread = 600;
    pemby::inParallel(
        listSections.size(), pemby::threadsFor(listLines, linesPerThread),
        [&](qsizetype l) {
            LayoutSection& section = sectionData[sectionOf[l]];
            listData[l] = EventuallyList{section.name, readThings(rawData[sectionOf[l]].lines, layout ? &section.lines : nullptr)};
            planlayout::dropIfAllTaken(section);
        },
        [](qsizetype) {});
    if (layout)
        layout->sections = std::move(sections);
    return lists;
}

// ---- Repeats file ------------------------------------------------------------------

bool Markdown::isRuleField(QStringView tag)
{
    return repeatKindFromRawValue(tag) || markFromRawValue(tag) || tag.startsWith(u"since:") || tagValue(tag, u"id");
}

namespace {

QString ruleLine(const RepeatRule& rule)
{
    QString line = QStringLiteral("- ") + Markdown::writtenTitle(rule.title, Markdown::isRuleField) + QStringLiteral(" {")
        + repeatKindRawValue(rule.kind) + QStringLiteral("} {since:") + rule.start.iso() + QStringLiteral("} {")
        + Markdown::tagWithValue(u"id", rule.id) + u'}';
    if (rule.mark)
        line += QStringLiteral(" {") + markRawValue(*rule.mark) + u'}';
    return line;
}

std::optional<RepeatRule> readRule(QStringView line)
{
    if (!line.startsWith(u"- "))
        return std::nullopt;
    const TitleAndTags split = Markdown::splitTags(line.sliced(2));
    if (split.tags.isEmpty())
        return std::nullopt;
    std::optional<RepeatKind> kind;
    std::optional<Mark> mark;
    std::optional<Day> start;
    std::optional<QString> id;
    QStringList kept;
    // Peeled last tag first, so of two tags of one kind the one nearer the title wins.
    for (const QString& tag : split.tags) {
        if (const auto k = repeatKindFromRawValue(tag))
            kind = k;
        else if (const auto m = markFromRawValue(tag))
            mark = m;
        else if (tag.startsWith(u"since:"))
            start = Day::fromIso(QStringView(tag).sliced(6));
        else if (auto value = Markdown::tagValue(tag, u"id"))
            id = std::move(value);
        else
            kept.prepend(tag);  // the user's own text, as in a thing's title
    }
    if (!kind || !start || !id || (split.title.isEmpty() && kept.isEmpty()))
        return std::nullopt;
    return RepeatRule{*id, Markdown::readTitle(split.title, kept), *kind, *start, mark};
}

// Rules have no identity of their own but their id; a second rule with the same id is
// told apart by its place among them.
QList<QUuid> ruleKeys(const QList<RepeatRule>& rules)
{
    QHash<QString, int> seen;
    QList<QUuid> keys;
    keys.reserve(rules.size());
    for (const RepeatRule& rule : rules)
        keys.append(planlayout::ruleKey(rule.id, seen[rule.id]++));
    return keys;
}

} // namespace

QString Markdown::encodeRepeats(const QList<RepeatRule>& rules, PlanLayout* layout)
{
    const QList<QUuid> keys = ruleKeys(rules);
    QList<LayoutUnit> units;
    units.reserve(rules.size());
    for (qsizetype i = 0; i < rules.size(); ++i)
        units.append(LayoutUnit{keys[i], {ruleLine(rules[i])}, {}});
    return writeOnePlace(QStringLiteral("# repeats"), units, layout);
}

QList<RepeatRule> Markdown::decodeRepeats(QStringView text, PlanLayout* layout)
{
    const CleanText clean(text);
    const QList<QStringView> all = lineViews(clean.view());
    QList<RepeatRule> rules;
    QList<qsizetype> ruleAt(all.size(), -1);
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (auto rule = readRule(all[i])) {
            ruleAt[i] = rules.size();
            rules.append(std::move(*rule));
        }
    }
    if (layout) {
        const QList<QUuid> keys = ruleKeys(rules);
        QList<QUuid> owners;
        owners.reserve(all.size());
        for (const qsizetype r : ruleAt)
            owners.append(r < 0 ? QUuid() : keys[r]);
        readOnePlace(Lines(all.cbegin(), all.cend()), owners, layout);
    }
    return rules;
}
