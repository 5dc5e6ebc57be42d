#pragma once
// What every fuzz target checks with: a failed check names itself on standard error
// and aborts, which libFuzzer keeps as a crash and the corpus replay reports.

#include "markdown.h"
#include "textutil.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What is being checked, for the message of a failed check.
inline const char* checking = "";

inline void check(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz check failed: %s%s%s\n", checking, *checking ? ": " : "", what);
    std::abort();
}

inline QString fuzzText(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline Thing withoutId(Thing thing)
{
    thing.id = QUuid();
    return thing;
}

inline QList<Thing> withoutIds(QList<Thing> things)
{
    for (Thing& thing : things)
        thing.id = QUuid();
    return things;
}

// A thing that comes into the plan from outside survives the file it is saved in: its
// fields come back exactly, its title as one line (the grammar keeps no line break
// and no blanks around a title), and what came back once comes back for ever.
inline void checkSurvivesTheFile(const Thing& thing)
{
    const QList<Thing> back = Markdown::decodeThings(Markdown::encode(thing));
    check(back.size() == 1, "a thing written to a plan file reads back as one thing");
    Thing fields = withoutId(back.first());
    check(fields.title == pemby::trimBlanks(pemby::flattenLineBreaks(thing.title)), "a title reads back as one line");
    check(fields.done == thing.done && fields.zs == thing.zs && fields.mark == thing.mark && fields.repeatID == thing.repeatID
              && fields.link == thing.link && fields.remind == thing.remind && fields.noteID == thing.noteID
              && fields.syncID == thing.syncID,
          "a thing's fields read back exactly");
    const QList<Thing> again = Markdown::decodeThings(Markdown::encode(back.first()));
    check(again.size() == 1 && withoutId(again.first()) == fields, "what a plan file gave back, it gives back again");
}
