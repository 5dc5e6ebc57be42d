// Turning pasted or dropped plain text into things. The text comes from anywhere:
// Markdown task lists, bullet lists of other apps, numbered lists copied out of a
// word processor (number, ".", tab), with any platform's line ends.

#include "pembythings.h"

#include "textutil.h"

#include <algorithm>
#include <array>

namespace {

struct Marker {
    QStringView text;
    std::optional<bool> done;  // check-box markers only
};

// Tried in this order; the first that matches wins, so "- [ ]" is tried before "-".
// There is deliberately no "* [X]": such a line is a "*" bullet keeping "[X]".
const std::array<Marker, 10> markers{{
    {u"- [ ]", false},
    {u"- [x]", true},
    {u"- [X]", true},
    {u"* [ ]", false},
    {u"* [x]", true},
    {u"\u2610", false},  // ☐
    {u"\u2611", true},   // ☑
    {u"\u2022", std::nullopt},  // •
    {u"-", std::nullopt},
    {u"*", std::nullopt},
}};

bool isDirectionMark(QChar c)
{
    return c == QChar(0x200E) || c == QChar(0x200F);
}

QString trimDirectionMarks(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isDirectionMark(text[begin]))
        ++begin;
    while (end > begin && isDirectionMark(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// A marker counts only when a space or tab follows it: "-x" is a title, not a bullet.
const Marker* matchMarker(QStringView line)
{
    for (const Marker& marker : markers) {
        if (line.size() > marker.text.size() && line.startsWith(marker.text)) {
            const QChar next = line[marker.text.size()];
            if (next == u' ' || next == u'\t')
                return &marker;
        }
    }
    return nullptr;
}

// "12.<tab>title" and "12. title" give "title"; anything else nullopt.
std::optional<QString> stripNumber(const QString& line)
{
    for (const QChar separator : {QChar(u'\t'), QChar(u' ')}) {
        const qsizetype at = line.indexOf(separator);
        if (at < 0)
            continue;
        const QStringView head = QStringView(line).first(at);
        if (head.endsWith(u'.') && pemby::parseStrictInt(head.chopped(1)))
            return line.sliced(at + 1);
    }
    return std::nullopt;
}

// A check box with nothing after it, as the plan files read it, holds no thing: it must
// not become one titled "[ ]".
bool isBareCheckBox(QStringView line)
{
    return std::any_of(markers.cbegin(), markers.cend(), [&](const Marker& m) { return m.done && line == m.text; });
}

bool isDivider(const QString& text)
{
    for (const QChar c : text) {
        if (c != QChar(0x2500))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

QList<PembyThing> PembyThings::parse(const QString& text)
{
    QList<PembyThing> things;
    for (const QString& raw : pemby::splitLines(text)) {
        if (raw.isEmpty())
            continue;
        const bool indented = raw.startsWith(QLatin1String("    ")) || raw.startsWith(u'\t');
        QString line = trimDirectionMarks(pemby::trimBlanks(raw));

        if (isBareCheckBox(line))
            continue;
        std::optional<bool> done;
        const Marker* marker = matchMarker(line);
        if (marker) {
            line = line.sliced(marker->text.size());
            done = marker->done;
        } else if (auto rest = stripNumber(line)) {
            line = *rest;
        }

        const QString title = pemby::trimBlanks(line);
        if (title.isEmpty() || isDivider(title))
            continue;

        if (indented && done && !things.isEmpty()) {
            things.last().steps.append({title, *done});
            continue;
        }
        PembyThing thing;
        thing.title = title;
        thing.done = done.value_or(false);
        things.append(std::move(thing));
    }
    return things;
}
