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
};

struct RtfReader {
    // More paragraphs than a note of a person's holds; a text with more is not read.
    static constexpr qsizetype maxParagraphs = 50000;
    // nullopt when the data is not RTF at all (it must start with "{\rtf"), or holds
    // more than maxParagraphs paragraphs; a file that is RTF but holds no text gives an
    // empty document.
    static std::optional<RtfDocument> read(const QByteArray& data);
};
