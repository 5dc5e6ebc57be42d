#pragma once
// Writes note text as RTF in the conventions of the macOS text system's writer, so
// the sibling notes app and other word processors read it: sizes in half points,
// \b for every weight from semibold up, every non-ASCII character as \uN, the size
// of each empty paragraph, and the paragraph attributes.

#include <QByteArray>
#include <QString>

#include <optional>

class QTextDocument;

struct RtfWriter {
    // `comment` becomes the document comment; none is written for nullopt.
    static QByteArray write(const QTextDocument& text, const std::optional<QString>& comment);
};
