#pragma once
// Reads RTF as the sibling notes app writes it (the macOS text system's writer),
// and as other word processors write it, into note text: the characters, each
// run's size, weight, italic, underline, colour and letter spacing, the paragraph
// attributes, and the document comment. Everything else (pictures, attachments,
// style sheets, list tables, headers, fields' instructions, hidden text) is skipped.
//
// Text outside ASCII may come as bytes of the document's code page (\ansicpg,
// \mac, \pc, \pca) or of its font's (\fcharset, \cpg), one or two bytes a
// character; the Symbol font's characters read as what they show.
//
// The reader is a single pass over the bytes with an explicit group stack, so
// malformed or truncated input, however deeply nested, costs linear time and
// bounded stack: it yields what could be read.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextDocument>

#include <memory>
#include <optional>

struct RtfDocument {
    std::unique_ptr<QTextDocument> text;
    std::optional<QString> comment;  // the document comment, when the file has one
    // Code pages of text this computer could not convert; their characters read as U+FFFD.
    QList<int> unconvertedCodePages;
    // False when the reader stopped at the paragraph bound it was given: the text is
    // the start of the document only.
    bool complete = true;
};

struct RtfReader {
    // More paragraphs than a document of ours can afford; read() refuses a text with
    // more, readStart() takes its beginning.
    static constexpr qsizetype maxParagraphs = 50000;
    // nullopt when the data is not RTF at all (it must start with "{\rtf"), or holds
    // more than maxParagraphs paragraphs; a file that is RTF but holds no text gives an
    // empty document.
    static std::optional<RtfDocument> read(const QByteArray& data);
    // The document's first `paragraphs` paragraphs (at least one) and its comment, for a
    // look at a text too long to read whole; `complete` says whether that was all of it.
    static std::optional<RtfDocument> readStart(const QByteArray& data, qsizetype paragraphs);
    // About how many paragraphs the text holds, counted in one pass over the bytes
    // without making a document of them. Paragraph ends inside skipped groups count as
    // well; the rare ones spelt as characters (\'0d, \u8233) do not.
    static qsizetype paragraphEstimate(const QByteArray& data);
};
