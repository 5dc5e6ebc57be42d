#pragma once
// The plan's Markdown: the thing line grammar shared by the week, month and lists
// files, and the four file formats themselves. Pure functions; the planner store is
// the only caller. The reader is tolerant (plain bullets, either case of the tick, a
// tab for indentation, CRLF or CR line ends, a BOM); the writer renders what it writes
// in one canonical form, LF line ends, every field on one line, and puts back every
// line of the file it replaces that the reader did not take.

#include "planlayout.h"
#include "planner.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <span>

struct TitleAndTags {
    QString title;
    QStringList tags;  // as peeled: the last tag on the line first
    bool operator==(const TitleAndTags&) const = default;
};

struct MarkdownSection {
    QString heading;  // empty for the lines before the first "## " line
    QStringList lines;
    bool operator==(const MarkdownSection&) const = default;
};

// What a week file holds.
struct WeekContent {
    std::array<QList<Thing>, 7> days;      // Monday first
    std::optional<QSet<QString>> applied;  // present when the file has a repeats comment
    bool operator==(const WeekContent&) const = default;
};

struct Markdown {
    Markdown() = delete;

    // The thing line grammar
    // A thing's lines, without line terminators: the thing line, its step lines, its
    // note lines.
    static QStringList encode(const Thing& thing);
    // The things a run of lines holds, in file order, each with a fresh id. `owners`,
    // when given, gets for each line the index of the thing that took it, or -1;
    // `shadowed`, for each thing, the tags its line names a field with a second time.
    static QList<Thing> decodeThings(const QStringList& lines, QList<int>* owners = nullptr,
                                     QStringList* shadowed = nullptr);
    // The same over views of a file's lines: no string is made for a line itself.
    static QList<Thing> decodeThings(std::span<const QStringView> lines, QList<int>* owners = nullptr,
                                     QStringList* shadowed = nullptr);
    // The text after the checkbox; nullopt when it holds no title. `shadowed` gets the
    // tags that name a field an earlier tag of the line set, as " {tag}" each.
    static std::optional<Thing> decodeThing(QStringView text, bool done, QString* shadowed = nullptr);
    // The trailing brace tags separated from the title, exactly as written (a title
    // guard stays on the title; see readTitle).
    static TitleAndTags splitTags(QStringView text);

    // Titles and tag values that the grammar would misread are written in a guarded
    // form and read back exactly; every other title and value is written unchanged.
    // Shared by the thing lines and the repeats file, whose readers take different
    // brace groups as fields (`isField`).
    static bool isThingField(QStringView tag);
    static bool isRuleField(QStringView tag);
    static QString writtenTitle(const QString& title, bool (*isField)(QStringView tag) = isThingField);
    static QString readTitle(QStringView written);
    // The title a line reads as: `written` unguarded, then the brace groups that name no
    // field (`kept`, in line order), each in its place; on one line, as written.
    static QString readTitle(QStringView written, const QStringList& kept);
    // "{key:value}"'s inner text, or "key%:" with the value percent-encoded when the
    // plain form would not read back.
    static QString tagWithValue(QStringView key, const QString& value);
    // The value of a tag of this key in either form; nullopt for a tag of another key.
    static std::optional<QString> tagValue(QStringView tag, QStringView key);

    // The files. A decoder given a layout records in it where every line stood; an
    // encoder given one writes back, among the lines it renders, every line the reader
    // left, and leaves in it the layout of the text it wrote. Without one (or with an
    // empty one) an encoder writes a new file in the canonical form.
    static QString weekFileName(Day monday);
    static QString encodeWeek(Day monday, const Planner& planner);
    static QString encodeWeek(Day monday, const WeekContent& week, PlanLayout* layout = nullptr);
    // Replaces the seven days of the week and its applied rules in the planner.
    static void decodeWeek(QStringView text, Day monday, Planner& planner);
    static WeekContent decodeWeek(QStringView text, Day monday, PlanLayout* layout = nullptr);
    // The week's content in the plan, and the week put into a plan in place of what it
    // held.
    static WeekContent weekOf(Day monday, const Planner& planner);
    static void putWeek(Day monday, const WeekContent& week, Planner& planner);

    static QString monthFileName(MonthKey month);
    static QString encodeMonth(MonthKey month, const QList<Thing>& things, PlanLayout* layout = nullptr);
    static QList<Thing> decodeMonth(QStringView text, PlanLayout* layout = nullptr);

    static QString listsFileName() { return QStringLiteral("eventually.md"); }
    static QString encodeLists(const QList<EventuallyList>& lists, PlanLayout* layout = nullptr);
    static QList<EventuallyList> decodeLists(QStringView text, PlanLayout* layout = nullptr);

    static QString repeatsFileName() { return QStringLiteral("repeats.md"); }
    static QString encodeRepeats(const QList<RepeatRule>& rules, PlanLayout* layout = nullptr);
    static QList<RepeatRule> decodeRepeats(QStringView text, PlanLayout* layout = nullptr);

    // The text split into sections at every line that begins with "## ".
    static QList<MarkdownSection> sections(QStringView text);
};
