#include "planlayout.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace planlayout {

QStringList lines(QStringView text)
{
    if (text.isEmpty())
        return {};
    QStringList out = text.toString().split(u'\n');
    if (text.endsWith(u'\n'))
        out.removeLast();
    return out;
}

QString joined(const QStringList& lines)
{
    qsizetype size = lines.size();
    for (const QString& line : lines)
        size += line.size();
    QString out;
    out.reserve(size);
    for (const QString& line : lines) {
        out += line;
        out += u'\n';
    }
    return out;
}

int cutTrailingBlanks(QStringList& lines)
{
    int blanks = 0;
    while (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
        ++blanks;
    }
    return blanks;
}

QList<LayoutLine> placeLines(const QStringList& lines, const QList<QUuid>& owners, const QHash<QUuid, QString>& tails)
{
    QList<QStringView> views;
    views.reserve(lines.size());
    for (const QString& line : lines)
        views.append(line);
    return placeLines(std::span<const QStringView>(views.cbegin(), views.cend()), owners, tails);
}

QList<LayoutLine> placeLines(std::span<const QStringView> lines, const QList<QUuid>& owners,
                             const QHash<QUuid, QString>& tails)
{
    QList<LayoutLine> out;
    out.reserve(qsizetype(lines.size()));
    QUuid last;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QUuid& owner = owners[qsizetype(i)];
        if (owner.isNull()) {
            out.append(LayoutLine{LayoutLine::Kind::Kept, lines[i].toString(), {}});
        } else if (owner != last) {
            out.append(LayoutLine{LayoutLine::Kind::Unit, tails.value(owner), owner});
            last = owner;
        }
    }
    return out;
}

QHash<QUuid, QString> tails(const PlanLayout& layout)
{
    QHash<QUuid, QString> out;
    for (const LayoutSection& section : layout.sections) {
        for (const LayoutLine& line : section.lines) {
            if (line.kind == LayoutLine::Kind::Unit && !line.text.isEmpty())
                out.insert(line.unit, line.text);
        }
    }
    return out;
}

void dropIfAllTaken(LayoutSection& section)
{
    const bool anyKept = std::any_of(section.lines.cbegin(), section.lines.cend(), [](const LayoutLine& line) {
        return line.kind != LayoutLine::Kind::Unit || !line.text.isEmpty();
    });
    if (!anyKept)
        section.lines.clear();
}

void blankBeforeHeading(QStringList& out, PlanLayout& written)
{
    if (out.isEmpty() || out.last().isEmpty())
        return;
    out.append(QString());
    if (!written.sections.isEmpty())
        ++written.sections.last().blanksAfter;
}

void writePlace(QStringList& out, const LayoutSection& section, const QList<LayoutUnit>& units,
                const QList<LayoutLine>& extraOpening, PlanLayout& written, const QList<LayoutLine>& extraClosing)
{
    if (section.heading) {
        blankBeforeHeading(out, written);
        out.append(*section.heading);
    }
    LayoutSection next = section;
    next.lines.clear();

    QSet<QUuid> here;
    here.reserve(units.size());
    for (const LayoutUnit& unit : units)
        here.insert(unit.key);

    // Each kept line follows the unit it followed when that unit is still here; one
    // that went (removed, or moved to another section) passes its lines on to the
    // nearest unit before it that stayed, or to the opening of the section.
    QList<LayoutLine> opening;
    QHash<QUuid, QList<LayoutLine>> after;
    QUuid anchor;
    for (const LayoutLine& line : section.lines) {
        if (line.kind == LayoutLine::Kind::Unit) {
            if (here.contains(line.unit))
                anchor = line.unit;
            continue;
        }
        (anchor.isNull() ? opening : after[anchor]).append(line);
    }
    opening.append(extraOpening);

    const auto keep = [&](const QList<LayoutLine>& kept) {
        for (const LayoutLine& line : kept) {
            out.append(line.text);
            next.lines.append(line);
        }
    };
    keep(opening);
    for (const LayoutUnit& unit : units) {
        out.append(unit.lines);
        next.lines.append(LayoutLine{LayoutLine::Kind::Unit, unit.tail, unit.key});
        if (const auto kept = after.constFind(unit.key); kept != after.cend())
            keep(*kept);
    }
    keep(extraClosing);
    for (int i = 0; i < section.blanksAfter; ++i)
        out.append(QString());
    dropIfAllTaken(next);
    written.sections.append(std::move(next));
}

QUuid ruleKey(const QString& id, int occurrence)
{
    static const QUuid space = QUuid::fromString(u"6f1d7c2e-3b4a-4c5d-8e9f-0a1b2c3d4e5f");
    return QUuid::createUuidV5(space, id + u'\x1f' + QString::number(occurrence));
}

} // namespace planlayout
