#pragma once
// Where the lines of a plan file stood, and which of them its reader left: free text,
// headings without a date, "* " bullets, numbered lines, a title of the user's own,
// lists past the sixth, rules it cannot read. A file is rewritten from the plan, and
// every line the reader left goes back in: in its section, after the line it followed.
// Lines that the reader took are written again in the one canonical form.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>
#include <span>

struct LayoutLine {
    enum class Kind {
        Kept,     // a line the reader left: written back as it stands
        Unit,     // the first line of a thing or a rule, which the writer renders afresh
        Title,    // the file's "# " title line, kept as it stands
        Comment,  // a week's repeats comment, which the writer renders afresh
    };
    Kind kind = Kind::Kept;
    QString text;  // Kept and Title; for a Unit, the tags its line named twice
    QUuid unit;    // Unit
    bool operator==(const LayoutLine&) const = default;
};

struct LayoutSection {
    enum class Kind {
        Loose,    // before the first heading, or under a "## " without text: no things
        Place,    // a day of the week, a list, the month or the rules: holds units
        Skipped,  // a section the reader passed over whole
    };
    Kind kind = Kind::Loose;
    int index = -1;                  // Place: the day from Monday (0 to 6), or the list as read
    QString name;                    // a list's name as read, to find the list again
    std::optional<QString> heading;  // the "## " line as it stands; none before the first
    // The lines in order, without the blank lines that end the section. A place whose
    // every line was taken needs none of them: its units are the plan's.
    QList<LayoutLine> lines;
    int blanksAfter = 0;
    bool operator==(const LayoutSection&) const = default;
};

struct PlanLayout {
    QList<LayoutSection> sections;
    bool operator==(const PlanLayout&) const = default;
};

// A thing or a rule as the writer renders it: the lines, and the key that finds its
// place among the lines that were kept.
struct LayoutUnit {
    QUuid key;
    QStringList lines;
    QString tail;  // the tags its line named twice, kept after its own
};

namespace planlayout {

// The lines of a file's text: split at line feeds, without the piece after the final
// line feed; an empty text has no lines.
QStringList lines(QStringView text);
// The lines joined, with exactly one line feed at the end.
QString joined(const QStringList& lines);

// The blank lines that end `lines` are cut off and counted.
int cutTrailingBlanks(QStringList& lines);
// Turns a place's run of lines into layout lines, given which unit took each line
// (null for none). Only the first line of each unit is recorded, with its tail.
QList<LayoutLine> placeLines(const QStringList& lines, const QList<QUuid>& owners,
                             const QHash<QUuid, QString>& tails = {});
QList<LayoutLine> placeLines(std::span<const QStringView> lines, const QList<QUuid>& owners,
                             const QHash<QUuid, QString>& tails = {});
// The tails of the units of a layout, by key.
QHash<QUuid, QString> tails(const PlanLayout& layout);
// What a place section keeps: nothing when the reader took every line.
void dropIfAllTaken(LayoutSection& section);

// Writes a section that holds units: its heading, then its kept lines each after the
// unit it followed, the units in their new order, and its closing blank lines. A kept
// line whose unit is gone from here (removed, moved elsewhere) follows the nearest unit
// before it that stayed, or opens the section. `extraOpening` lines come first,
// `extraClosing` lines after the last unit's. Appends the written section's layout to
// `written`.
void writePlace(QStringList& out, const LayoutSection& section, const QList<LayoutUnit>& units,
                const QList<LayoutLine>& extraOpening, PlanLayout& written, const QList<LayoutLine>& extraClosing = {});

// Before a heading the file has an empty line, as the writer always puts one there; an
// added one closes the last section of `written`.
void blankBeforeHeading(QStringList& out, PlanLayout& written);

// The key of a repeat rule: its id, and which of the rules with that id it is.
QUuid ruleKey(const QString& id, int occurrence);

} // namespace planlayout
