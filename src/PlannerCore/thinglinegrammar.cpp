// The thing line grammar: one Markdown checkbox line with the title and brace tags,
// then indented step lines and note lines.
//
//     - [ ] book the dentist {zz} {green} {at:09:30}
//         - [x] find the number
//         > ask about Friday
//
// The reader peels "{tag}" groups off the end of the line, so two kinds of text need a
// guarded form to read back unchanged. Everything else is written as it stands, so
// ordinary titles and values stay byte-identical in the file.
//  - A title that would lose its end to the peeling ("call {mum}", "x {sync:1}"), that
//    ends in " {}" itself, or that is empty gets " {}" appended ("{}" for the empty
//    title). An empty group stops the peeling, and the reader drops one " {}" from the
//    end of a title (and reads a lone "{}" as the empty title).
//  - A brace group that names no field of a thing ("{mum}", "{zoom}", "{at:noon}") is
//    read as part of the title, so hand-written text never vanishes from the file.
//  - A tag value holding a blank, a line break, a control character or a brace is
//    written as "key%:" with those characters and "%" percent-encoded as UTF-8
//    ("{from%:https://x.org/a%20b}"). "key:" values are never decoded, so a literal
//    "%20" in an ordinary link stays what it is.
//  - A line that names a field twice ("{green} {red}") takes the first; the others
//    are kept with the file's layout and written back after the thing's own tags.
// Step titles are read verbatim after their checkbox and need no guard.
#include "markdown.h"
#include "randomuuid.h"

#include "textutil.h"

#include <QStringDecoder>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

namespace {

const QString indent = QStringLiteral("    ");
const QString guard = QStringLiteral(" {}");
const QString emptyTitle = QStringLiteral("{}");

struct Checkbox {
    bool done = false;
    QStringView text;
};

// On a trimmed line: "- [ ] ", "- [x] ", "- [X] " or a plain "- " bullet. Every line
// of a file comes here, so it looks at the characters themselves.
std::optional<Checkbox> checkbox(QStringView line)
{
    if (line.size() < 2 || line[0] != u'-' || line[1] != u' ')
        return std::nullopt;
    if (line.size() >= 5 && line[2] == u'[' && line[4] == u']') {
        const char16_t tick = line[3].unicode();
        if (tick == u' ' || tick == u'x' || tick == u'X') {
            // A checkbox with nothing after it would otherwise read as a bullet titled "[ ]".
            if (line.size() == 5)
                return std::nullopt;
            if (line[5] == u' ')
                return Checkbox{tick != u' ', line.sliced(6)};
        }
    }
    return Checkbox{false, line.sliced(2)};
}

// Four spaces or a tab begin an indented line (its step or note lines).
bool isIndented(QStringView raw)
{
    if (raw.isEmpty())
        return false;
    if (raw[0] == u'\t')
        return true;
    return raw.size() >= 4 && raw[0] == u' ' && raw[1] == u' ' && raw[2] == u' ' && raw[3] == u' ';
}

// Blanks at both ends cut off, in place; most characters are ASCII and decided here.
QStringView trimmedView(QStringView text)
{
    const QChar* begin = text.data();
    const QChar* end = begin + text.size();
    while (begin < end && pemby::isBlank(*begin))
        ++begin;
    while (end > begin && pemby::isBlank(end[-1]))
        --end;
    return QStringView(begin, end - begin);
}

// Whether one-line reading changes anything of the text: printable ASCII never does.
bool changesOnOneLine(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return !(u >= 0x20 && u < 0x7F) && (pemby::isLineBreak(c) || pemby::isStrayControl(c));
    });
}

// A title or a step holds no line break and no control character, as the writer
// writes it. Another editor may have put a vertical tab, a line separator or a NUL
// inside a line: read it as the writer writes it, so that a rewrite changes nothing.
QString oneLine(const QString& text)
{
    const QString line = pemby::oneLineText(text);
    if (line.isSharedWith(text))
        return text;
    return pemby::trimBlanks(line);
}

bool needsPercentForm(QChar c)
{
    // Most values are ASCII (ids, links); they need no look at the Unicode tables.
    if (c.unicode() < 0x80)
        return c.unicode() <= 0x20 || c == u'{' || c == u'}' || c.unicode() == 0x7F;
    return pemby::isBlankOrLineBreak(c);
}

QString percentEncoded(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (const QChar c : value) {
        if (c != u'%' && !needsPercentForm(c)) {
            out.append(c);
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            out.append(QString::asprintf("%%%02X", unsigned(uchar(byte))));
    }
    return out;
}

std::optional<QString> percentDecoded(QStringView text)
{
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toUtf8());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString value = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return value;
}

bool onlyLetterZ(QStringView tag)
{
    return !tag.isEmpty() && std::all_of(tag.begin(), tag.end(), [](QChar c) { return c == u'z'; });
}

// markFromRawValue, without a string made for each word it compares with.
std::optional<Mark> markOf(QStringView tag)
{
    switch (tag.size()) {
    case 3:
        return tag == u"red" ? std::optional<Mark>(Mark::Red) : std::nullopt;
    case 5:
        return tag == u"green" ? std::optional<Mark>(Mark::Green) : std::nullopt;
    case 8:
        return tag == u"lavender" ? std::optional<Mark>(Mark::Lavender) : std::nullopt;
    default:
        return std::nullopt;
    }
}

// The fields a tag can set; a line may name one twice.
enum class Field { None, Mark, Repeat, Remind, Note, Link, Sync, Moves };

// Applies one tag and says which field it set; None when the tag names no field of a
// thing, so that its text can stay with the title instead of vanishing from the file
// at the next write.
Field applyThingTag(Thing& thing, QStringView tag)
{
    // Each kind of tag begins with a letter of its own: only that kind is tried.
    if (tag.isEmpty())
        return Field::None;
    switch (tag[0].unicode()) {
    case u'l':
    case u'g':
    case u'r':
        if (const auto mark = markOf(tag)) {
            thing.mark = mark;
            return Field::Mark;
        }
        return Field::None;
    case u'e':
        if (auto repeatID = Markdown::tagValue(tag, u"every")) {
            thing.repeatID = std::move(repeatID);
            return Field::Repeat;
        }
        return Field::None;
    case u'a':
        if (tag.startsWith(u"at:")) {
            const auto time = TimeOfDay::parse(tag.sliced(3));
            if (!time)
                return Field::None;
            thing.remind = time;
            return Field::Remind;
        }
        return Field::None;
    case u'n':
        if (auto noteID = Markdown::tagValue(tag, u"note")) {
            // A note id names a file; only UUID text may ever become part of a path, and
            // anything else ("{note:shopping}") is the user's own text.
            if (!pemby::isUuidText(*noteID))
                return Field::None;
            thing.noteID = std::move(noteID);
            return Field::Note;
        }
        return Field::None;
    case u'f':
        if (auto link = Markdown::tagValue(tag, u"from")) {
            thing.link = std::move(link);
            return Field::Link;
        }
        return Field::None;
    case u's':
        if (auto syncID = Markdown::tagValue(tag, u"sync")) {
            thing.syncID = std::move(syncID);
            return Field::Sync;
        }
        return Field::None;
    case u'z':
        if (onlyLetterZ(tag)) {
            thing.zs = int(std::min<qint64>(tag.size(), Thing::maxMoveCount));
            return Field::Moves;
        }
        if (const auto n = pemby::parseStrictInt(tag.sliced(1))) {
            // No count is below zero: "{z-5}" is text. A count too high for a move more
            // is held at the highest.
            if (*n < 0)
                return Field::None;
            thing.zs = int(std::min<qint64>(*n, Thing::maxMoveCount));
            return Field::Moves;
        }
        return Field::None;
    default:
        return Field::None;
    }
}

QString moveCountTag(int zs)
{
    return zs <= 3 ? QString(zs, u'z') : QStringLiteral("z") + QString::number(zs);
}

// The trailing tags peeled off a line, as views of it: a thing line is read without
// a string made for each of its tags.
struct PeeledTags {
    QStringView title;
    QVarLengthArray<QStringView, 8> tags;  // the last tag on the line first
};

// Whether any of the four characters from `at` is a "{" or a space: a lane of the word
// that matches one becomes zero, and subtracting one from each lane marks it.
bool anyBraceOrSpace(const char16_t* at)
{
    quint64 word;
    std::memcpy(&word, at, sizeof word);
    constexpr quint64 ones = 0x0001'0001'0001'0001;
    constexpr quint64 highs = 0x8000'8000'8000'8000;
    const auto anyZero = [](quint64 x) { return (x - ones) & ~x & highs; };
    return (anyZero(word ^ (ones * u'{')) | anyZero(word ^ (ones * u' '))) != 0;
}

PeeledTags peelTags(QStringView text)
{
    PeeledTags out;
    const QStringView trimmed = trimmedView(text);
    const char16_t* const chars = trimmed.utf16();
    // The rest of the line is chars[0, end).
    qsizetype end = trimmed.size();
    while (end > 0 && chars[end - 1] == u'}') {
        // The last "{" of the rest; a space between it and the "}" ends the peeling.
        // Tags are long (a sync id alone is 36 characters): four are looked at at once.
        qsizetype open = end - 2;
        while (open >= 0) {
            if (open >= 3 && !anyBraceOrSpace(chars + open - 3)) {
                open -= 4;
                continue;
            }
            if (chars[open] == u'{' || chars[open] == u' ')
                break;
            --open;
        }
        if (open < 0 || chars[open] == u' ')
            break;
        const qsizetype size = end - open - 2;
        if (size == 0 || (open > 0 && chars[open - 1] != u' '))
            break;
        out.tags.append(QStringView(chars + open + 1, size));
        end = open;
        while (end > 0 && chars[end - 1] == u' ')
            --end;
    }
    out.title = QStringView(chars, end);
    return out;
}

// What readTitle(written, kept) gives, with the kept groups as views.
QString titleWithKept(QStringView written, std::span<const QStringView> kept);

} // namespace

TitleAndTags Markdown::splitTags(QStringView text)
{
    const PeeledTags peeled = peelTags(text);
    QStringList tags;
    tags.reserve(peeled.tags.size());
    for (const QStringView tag : peeled.tags)
        tags.append(tag.toString());
    return {peeled.title.toString(), tags};
}

QString Markdown::readTitle(QStringView written)
{
    if (written == emptyTitle)
        return {};
    // A title has no blanks at its ends, guarded or not: "word  {}" is the title
    // "word", as "word " would read.
    if (written.endsWith(guard))
        return pemby::trimmedBlanks(written.chopped(guard.size())).toString();
    return written.toString();
}

QString Markdown::readTitle(QStringView written, const QStringList& kept)
{
    QVarLengthArray<QStringView, 8> views;
    for (const QString& tag : kept)
        views.append(tag);
    return titleWithKept(written, views);
}

namespace {

QString titleWithKept(QStringView written, std::span<const QStringView> kept)
{
    // Most titles read as written, on one line already: made once, at their size.
    QStringView base = written;
    if (written == emptyTitle)
        base = {};
    else if (written.endsWith(guard))
        base = trimmedView(written.chopped(guard.size()));
    if (!changesOnOneLine(base)
        && std::none_of(kept.begin(), kept.end(), [](QStringView tag) { return changesOnOneLine(tag); })) {
        qsizetype size = base.size();
        for (const QStringView tag : kept)
            size += tag.size() + 3;
        if (size == 0)
            return {};
        QString title(size, Qt::Uninitialized);
        QChar* const begin = title.data();
        QChar* out = std::copy(base.begin(), base.end(), begin);
        for (const QStringView tag : kept) {
            if (out != begin)
                *out++ = u' ';
            *out++ = u'{';
            out = std::copy(tag.begin(), tag.end(), out);
            *out++ = u'}';
        }
        title.truncate(out - begin);
        return title;
    }
    QString title = written.isEmpty() ? QString() : Markdown::readTitle(written);
    for (const QStringView tag : kept) {
        title += title.isEmpty() ? QStringLiteral("{") : QStringLiteral(" {");
        title += tag;
        title += u'}';
    }
    return oneLine(title);
}

} // namespace

bool Markdown::isThingField(QStringView tag)
{
    Thing scratch;
    return applyThingTag(scratch, tag) != Field::None;
}

QString Markdown::writtenTitle(const QString& title, bool (*isField)(QStringView tag))
{
    const QString flat = pemby::oneLineText(title);
    const QStringView trimmed = pemby::trimmedBlanks(flat);
    // Only a title that ends in a brace group can be read as anything but itself.
    if (!trimmed.isEmpty() && !trimmed.endsWith(u'}'))
        return flat;
    // Read it as the line's reader would: the groups that name no field stay, in
    // place; a group that does, or a title that reads back any other way, is guarded.
    const TitleAndTags split = splitTags(flat);
    QStringList kept;
    bool misread = split.title.isEmpty() && split.tags.isEmpty();
    for (const QString& tag : split.tags) {
        if (isField(tag))
            misread = true;
        else
            kept.prepend(tag);
    }
    if (!misread && readTitle(split.title, kept) == trimmed)
        return flat;
    return flat.isEmpty() ? emptyTitle : flat + guard;
}

QString Markdown::tagWithValue(QStringView key, const QString& value)
{
    if (std::none_of(value.begin(), value.end(), needsPercentForm))
        return key.toString() + u':' + value;
    return key.toString() + QStringLiteral("%:") + percentEncoded(value);
}

std::optional<QString> Markdown::tagValue(QStringView tag, QStringView key)
{
    if (!tag.startsWith(key))
        return std::nullopt;
    const QStringView rest = tag.sliced(key.size());
    if (rest.startsWith(u':'))
        return rest.sliced(1).toString();
    if (rest.startsWith(u"%:"))
        return percentDecoded(rest.sliced(2));
    return std::nullopt;
}

namespace {

// Reads the text after the checkbox into `thing`, which is new; false when it holds no
// title. A file's things are read straight into the list that keeps them.
bool readThing(Thing& thing, QStringView text, bool done, QString* shadowed)
{
    const PeeledTags split = peelTags(text);
    thing.done = done;
    // Peeled last tag first, so of two tags of one field the one nearer the title wins.
    // The other ("{green} {red}", "{zz} {z3}") is the user's text too; it goes to
    // `shadowed`, to be written back after the thing's own tags, where it changes nothing.
    QVarLengthArray<QStringView, 8> kept;
    QVarLengthArray<QStringView, 8> overridden;
    std::array<const QStringView*, 8> setBy{};
    for (const QStringView& tag : split.tags) {
        const Field field = applyThingTag(thing, tag);
        if (field == Field::None) {
            kept.append(tag);
            continue;
        }
        if (const QStringView* earlier = std::exchange(setBy[size_t(field)], &tag))
            overridden.append(*earlier);
    }
    // Both in line order.
    std::reverse(kept.begin(), kept.end());
    std::reverse(overridden.begin(), overridden.end());
    if (shadowed) {
        for (const QStringView tag : std::as_const(overridden)) {
            *shadowed += QStringLiteral(" {");
            *shadowed += tag;
            *shadowed += u'}';
        }
    }
    if (split.title.isEmpty() && kept.isEmpty())
        return false;
    // A brace group that is no tag ("call {mum}", "{zoom}") is the user's own text:
    // it stays in the title, in its place on the line, and the writer guards it.
    thing.title = titleWithKept(split.title, kept);
    thing.id = pemby::randomUuid();
    return true;
}

} // namespace

std::optional<Thing> Markdown::decodeThing(QStringView text, bool done, QString* shadowed)
{
    Thing thing;
    if (!readThing(thing, text, done, shadowed))
        return std::nullopt;
    return thing;
}

QList<Thing> Markdown::decodeThings(const QStringList& lines, QList<int>* owners, QStringList* shadowed)
{
    QList<QStringView> views;
    views.reserve(lines.size());
    for (const QString& line : lines)
        views.append(line);
    return decodeThings(std::span<const QStringView>(views.cbegin(), views.cend()), owners, shadowed);
}

QList<Thing> Markdown::decodeThings(std::span<const QStringView> lines, QList<int>* owners, QStringList* shadowed)
{
    QList<Thing> things;
    if (shadowed) {
        shadowed->clear();
        shadowed->reserve(qsizetype(lines.size()));
    }
    if (owners) {
        owners->clear();
        owners->reserve(qsizetype(lines.size()));
    }
    // Which thing took each line, for the writer that puts back the lines nobody took.
    const auto took = [&](int owner) {
        if (owners)
            owners->append(owner);
    };
    // A thing line is a line that is not indented (or the first of a run that is):
    // room for as many things as those, made once.
    qsizetype unindented = 0;
    for (const QStringView raw : lines)
        unindented += !raw.isEmpty() && !isIndented(raw);
    if (unindented > 0)
        things.reserve(unindented);
    // The indented lines right after line `i`, for room made once in a thing's steps or note.
    const auto indentedAfter = [&](size_t i, auto&& visit) {
        for (size_t k = i + 1; k < lines.size() && isIndented(lines[k]); ++k)
            visit(trimmedView(lines[k]));
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const QStringView raw = lines[i];
        const bool indented = isIndented(raw);
        const QStringView line = trimmedView(raw);
        if (line.isEmpty()) {
            took(-1);
            continue;
        }
        if (!indented || things.isEmpty()) {
            const auto box = checkbox(line);
            QString tail;
            if (box && readThing(things.emplaceBack(), box->text, box->done, shadowed ? &tail : nullptr)) {
                if (shadowed)
                    shadowed->append(tail);
                took(int(things.size() - 1));
            } else {
                if (box)
                    things.removeLast();
                took(-1);
            }
            continue;
        }
        Thing& last = things.last();
        if (line.startsWith(u'>')) {
            const QStringView rest = line.sliced(1);
            if (last.note.isEmpty()) {
                // The note's lines, each with its ">" where its line break will stand.
                qsizetype size = rest.size();
                indentedAfter(i, [&](QStringView next) {
                    if (next.startsWith(u'>'))
                        size += next.size();
                });
                last.note.reserve(size);
            }
            const auto addNoteLine = [&](QStringView piece) {
                if (!last.note.isEmpty())
                    last.note.append(u'\n');
                last.note.append(trimmedView(piece));
            };
            // A line break of another kind inside the line starts a note line of its
            // own, as the writer would write it.
            if (std::none_of(rest.begin(), rest.end(), pemby::isLineBreak)) {
                addNoteLine(rest);
            } else {
                for (const QString& piece : pemby::splitLines(rest))
                    addNoteLine(piece);
            }
            took(int(things.size() - 1));
            continue;
        }
        const auto box = checkbox(line);
        if (!box || box->text.isEmpty()) {
            took(-1);
            continue;
        }
        QString step;
        if (!changesOnOneLine(box->text)) {
            step = box->text.toString();
        } else {
            step = pemby::oneLineText(box->text.toString());
            while (!step.isEmpty() && pemby::isBlank(step.back()))
                step.chop(1);
        }
        if (step.isEmpty()) {
            took(-1);
            continue;
        }
        if (last.steps.isEmpty()) {
            qsizetype count = 1;
            indentedAfter(i, [&](QStringView next) { count += !next.startsWith(u'>'); });
            last.steps.reserve(count);
        }
        last.steps.append(Step{std::move(step), box->done});
        took(int(things.size() - 1));
    }
    return things;
}

QStringList Markdown::encode(const Thing& thing)
{
    // Every save renders the lines of every thing of the file it writes: each line is
    // put together in one string, made once at about its size.
    const auto box = [](bool done) { return done ? QLatin1StringView("- [x] ") : QLatin1StringView("- [ ] "); };
    const QString title = writtenTitle(thing.title);
    QString line;
    line.reserve(6 + title.size() + 24 + (thing.syncID ? thing.syncID->size() + 8 : 0)
                 + (thing.link ? thing.link->size() + 8 : 0));
    line += box(thing.done);
    line += title;
    const auto tag = [&](QStringView text) {
        line += QLatin1StringView(" {");
        line += text;
        line += u'}';
    };
    const auto valueTag = [&](QLatin1StringView key, const QString& value) {
        if (std::any_of(value.begin(), value.end(), needsPercentForm)) {
            tag(tagWithValue(QString(key), value));
            return;
        }
        line += QLatin1StringView(" {");
        line += key;
        line += u':';
        line += value;
        line += u'}';
    };
    if (thing.zs > 0)
        tag(moveCountTag(thing.zs));
    if (thing.mark)
        tag(markRawValue(*thing.mark));
    if (thing.repeatID)
        valueTag(QLatin1StringView("every"), *thing.repeatID);
    if (thing.link)
        valueTag(QLatin1StringView("from"), *thing.link);
    if (thing.remind) {
        const int hour = thing.remind->hour;
        const int minute = thing.remind->minute;
        if (hour >= 0 && hour <= 99 && minute >= 0 && minute <= 99) {
            // "%02d:%02d", without formatting machinery.
            line += QLatin1StringView(" {at:");
            line += QChar(u'0' + hour / 10);
            line += QChar(u'0' + hour % 10);
            line += u':';
            line += QChar(u'0' + minute / 10);
            line += QChar(u'0' + minute % 10);
            line += u'}';
        } else {
            tag(QStringLiteral("at:") + thing.remind->toString());
        }
    }
    if (thing.noteID)
        valueTag(QLatin1StringView("note"), *thing.noteID);
    if (thing.syncID)
        valueTag(QLatin1StringView("sync"), *thing.syncID);

    QStringList lines;
    lines.reserve(1 + thing.steps.size() + (thing.note.isEmpty() ? 0 : 2));
    lines.append(std::move(line));
    for (const Step& step : thing.steps) {
        const QString stepTitle = pemby::oneLineText(step.title);
        QString stepLine;
        stepLine.reserve(indent.size() + 6 + stepTitle.size());
        stepLine += indent;
        stepLine += box(step.done);
        stepLine += stepTitle;
        lines.append(std::move(stepLine));
    }
    // Every line-break class starts a note line: a CR or U+2028 written inside a line
    // would split it on the next read and lose the rest of the note.
    if (!thing.note.isEmpty()) {
        for (const QString& noteLine : pemby::splitLines(thing.note)) {
            QString written;
            written.reserve(indent.size() + 2 + noteLine.size());
            written += indent;
            written += QLatin1StringView("> ");
            written += noteLine;
            lines.append(std::move(written));
        }
    }
    return lines;
}
