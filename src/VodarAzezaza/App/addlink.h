#pragma once
// The links the planner opens, and the add link through which other programs hand it
// things: "vodarazezaza://add?title=...", "?things=..." or "?handoff=1", with "day",
// "list", "note" and "from" beside them. Reading a link changes nothing.

#include "pembythings.h"
#include "things.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Whether a link is of a kind the planner opens, and so keeps from outside: the web,
// mail and its own.
bool isOpenableLink(const QString& link);
// Whether it is one of the planner's own links, which need no trip through the desktop.
bool isOwnLink(const QUrl& url);
// Where an openable link goes, to show before it is opened: a web link's host, a mail
// link's addresses; none for our own links and for links not opened.
std::optional<QString> linkDestination(const QString& link);
// The link as it is handed to the desktop: a mail link loses the parameters that ask
// the mail program to attach files.
QUrl outgoingLink(const QUrl& url);

// What an add link asks for.
struct AddLink {
    // What the link accepts at most, in characters: a longer title or note, a larger
    // "things" payload or a longer link adds nothing; a longer "from" is dropped.
    static constexpr qsizetype maxTitle = 1000;
    static constexpr qsizetype maxNote = 100'000;
    static constexpr qsizetype maxFrom = 2048;
    static constexpr qsizetype maxPayload = 1024 * 1024;
    static constexpr qsizetype maxText = 2 * 1024 * 1024;

    // Read from the raw text: the scheme and host must be exactly lower case. None for
    // every other link and for one without a query; an add link that carries nothing
    // usable reads as one without things.
    static std::optional<AddLink> read(const QString& link);
    // Drops the links of the things that the planner would not open, and the overlong.
    static void keepOpenableLinks(QList<PembyThing>& things);

    // The things wait in the sibling's hand-off file, and `things` is empty.
    bool handoff = false;
    QList<PembyThing> things;
    // Where they go: the day, else the first list, else today.
    std::optional<Day> day;
    bool toList = false;
};
