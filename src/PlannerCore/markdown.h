#pragma once
// The plan's Markdown: the thing line grammar shared by the week, month and lists
// files, and the four file formats themselves. Pure functions; the planner store is
// the only caller. The reader is tolerant (plain bullets, either case of the tick, a
// tab for indentation, CRLF or CR line ends, a BOM); the writer always produces one
// canonical form, LF line ends, every field on one line.

#include "planner.h"

#include <QString>
#include <QStringList>

#include <optional>

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

struct Markdown {
    Markdown() = delete;

    // The thing line grammar
    // A thing's lines, without line terminators: the thing line, its step lines, its
    // note lines.
    static QStringList encode(const Thing& thing);
    // The things a run of lines holds, in file order, each with a fresh id.
    static QList<Thing> decodeThings(const QStringList& lines);
    // The text after the checkbox; nullopt when it holds no title.
    static std::optional<Thing> decodeThing(QStringView text, bool done);
    // The trailing brace tags separated from the title, exactly as written (a title
    // guard stays on the title; see readTitle).
    static TitleAndTags splitTags(QStringView text);

    // Titles and tag values that the grammar would misread are written in a guarded
    // form and read back exactly; every other title and value is written unchanged.
    // Shared by the thing lines and the repeats file.
    static QString writtenTitle(const QString& title);
    static QString readTitle(QStringView written);
    // "{key:value}"'s inner text, or "key%:" with the value percent-encoded when the
    // plain form would not read back.
    static QString tagWithValue(QStringView key, const QString& value);
    // The value of a tag of this key in either form; nullopt for a tag of another key.
    static std::optional<QString> tagValue(QStringView tag, QStringView key);

    // The files
    static QString weekFileName(Day monday);
    static QString encodeWeek(Day monday, const Planner& planner);
    // Replaces the seven days of the week and its applied rules in the planner.
    static void decodeWeek(QStringView text, Day monday, Planner& planner);

    static QString monthFileName(MonthKey month);
    static QString encodeMonth(MonthKey month, const QList<Thing>& things);
    static QList<Thing> decodeMonth(QStringView text);

    static QString listsFileName() { return QStringLiteral("eventually.md"); }
    static QString encodeLists(const QList<EventuallyList>& lists);
    static QList<EventuallyList> decodeLists(QStringView text);

    static QString repeatsFileName() { return QStringLiteral("repeats.md"); }
    static QString encodeRepeats(const QList<RepeatRule>& rules);
    static QList<RepeatRule> decodeRepeats(QStringView text);

    // The text split into sections at every line that begins with "## ".
    static QList<MarkdownSection> sections(QStringView text);
};
