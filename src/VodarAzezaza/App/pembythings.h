#pragma once
// Interchange records: how things travel between the planner, its sibling apps and
// other programs — on the clipboard, through the hand-off file in the family folder,
// and inside "vodarazezaza://add" links. The JSON form is shared with the sibling apps.

#include "things.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QMimeData;

struct PembyStep {
    QString title;
    bool done = false;
    bool operator==(const PembyStep&) const = default;
};

struct PembyThing {
    QString title;
    bool done = false;
    qint64 zs = 0;  // how often pushed on
    QList<PembyStep> steps;
    QString note;   // plain text of the note
    std::optional<QString> link;
    std::optional<QByteArray> rtf;  // the note as RTF bytes

    bool operator==(const PembyThing&) const = default;

    // The record of a planner thing; rtf is left for the caller to fill from the note file.
    static PembyThing fromThing(const Thing& thing);
    // A new planner thing with a fresh id and the title trimmed; no mark, repeat rule,
    // reminder, note id or sync id.
    Thing toThing() const;
};

inline size_t qHash(const PembyStep& step, size_t seed = 0)
{
    return qHashMulti(seed, step.title, step.done);
}

inline size_t qHash(const PembyThing& thing, size_t seed = 0)
{
    return qHashMulti(seed, thing.title, thing.done, thing.zs, thing.steps, thing.note,
                      thing.link.value_or(QString()), bool(thing.link), thing.rtf.value_or(QByteArray()),
                      bool(thing.rtf));
}

class PembyThings {
public:
    PembyThings() = delete;

    // The clipboard format that carries the JSON array of records, beside text/plain.
    static constexpr const char* mimeType = "application/x-app.pemby.things";
    // A single thing's note rich text rides along in this format.
    static constexpr const char* rtfMimeType = "text/rtf";
    // The file in the family folder through which a sibling app hands things over.
    static constexpr const char* handoffFileName = "handoff.json";

    // The titles, one a line, without a trailing line break.
    static QString plainText(const QList<PembyThing>& things);
    // The JSON array with sorted keys; "link" and "rtf" (base64) only when present.
    static std::optional<QByteArray> encode(const QList<PembyThing>& things);
    // Only "title" is required; a present key of the wrong type fails the whole decode.
    // Records with a blank title are dropped; nullopt when nothing is left.
    static std::optional<QList<PembyThing>> decode(const QByteArray& json);

    // Replaces the contents of `mime` with the titles as text, the records as JSON and,
    // for a single thing with rich text, that rich text. Nothing for no things.
    static void copy(const QList<PembyThing>& things, QMimeData& mime);
    // The records when the private format decodes, else the plain text parsed.
    static QList<PembyThing> paste(const QMimeData* mime);

    // Claims the hand-off file of `familyFolder` and returns its things (none when it
    // is absent, too large or does not decode). The file is gone afterwards in every case.
    static QList<PembyThing> takeHandoff(const QString& familyFolder);
    static QList<PembyThing> takeHandoff();
    // The steps of a take, in order, so a test can put a sibling's write between them.
    enum class HandoffStep { Looked, Claimed, Read };
    static QList<PembyThing> takeHandoff(const QString& familyFolder,
                                         const std::function<void(HandoffStep)>& between);

    // The things of a base64url link payload (padding optional); nullopt when it does
    // not decode.
    static std::optional<QList<PembyThing>> thingsFromLinkPayload(const QString& payload);

    // Things from pasted or dropped plain text: one per line, list and check-box
    // markers stripped, indented check-box lines as steps of the thing above.
    static QList<PembyThing> parse(const QString& text);
};
