#pragma once
// Note text in the editor's canonical form, and the note file.
//
// A note file is RTF (see RtfWriter) whose document comment holds the metadata as
// ";"-separated key=value entries, each written only when it has something to say:
//   created=<whole seconds since 1970-01-01 00:00 UTC>
//   collapsible=<heading ordinals, ","-separated>
//   collapsed=<heading ordinals, ","-separated>
// for instance created=1700000000;collapsible=0,2;collapsed=2. Heading ordinals
// are indexes into Sections::headings().

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTextDocument>

#include <memory>
#include <optional>

struct RichText {
    struct Decoded {
        std::unique_ptr<QTextDocument> text;  // normalized
        QList<int> collapsible;
        QList<int> collapsed;
        std::optional<QDateTime> created;
        // Code pages whose text could not be converted (it reads as U+FFFD): saving
        // this text unedited would make the loss permanent.
        QList<int> unconvertedCodePages;
        // False for decodeStart() of a text that goes on past what was read.
        bool complete = true;
    };

    // Note text from plain text, in body style and normalized.
    static std::unique_ptr<QTextDocument> plain(const QString& text);
    // Brings any text to the editor's styles: each run's font rebuilt from its
    // paragraph's role keeping only bold and italic, letter spacing and colour by
    // role, dividers in the divider look, paragraph styles by role, kind and direction.
    static void normalize(QTextDocument& text);
    // The note file. Ordinals are written in the order given.
    static QByteArray encode(const QTextDocument& text, const QList<int>& collapsible,
                             const QList<int>& collapsed, const std::optional<QDateTime>& created);
    // nullopt only when the data is not RTF; a note file whose text is empty is an
    // empty note. A malformed comment gives empty lists and no date, entry by entry.
    static std::optional<Decoded> decode(const QByteArray& data);
    // The note file's first `paragraphs` paragraphs and its metadata, for a note too
    // long to read whole.
    static std::optional<Decoded> decodeStart(const QByteArray& data, qsizetype paragraphs);
};
