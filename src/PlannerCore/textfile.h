#pragma once
// Reading and writing whole text files. Files in the user's folders are touched by
// editors and sync clients, so reading is strict about encoding (a file we cannot
// decode must never be mistaken for an empty one) and lenient about line ends.

#include "result.h"

#include <QByteArray>
#include <QString>

namespace pemby {

struct TextFile {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    QString text;   // with a leading BOM removed and every CRLF and lone CR turned into LF
    QString error;  // for Unreadable: why, for the log and the user
};

// Reads `path` as strict UTF-8. A missing file is Missing (not an error); a read
// error or a byte sequence that is not UTF-8 is Unreadable.
TextFile readTextFile(const QString& path);

// Decodes bytes as strict UTF-8 with the same clean-up; nullopt when not UTF-8.
std::optional<QString> decodeUtf8Strict(const QByteArray& bytes);

// Turns CRLF and lone CR into LF.
QString normalizeLineEnds(QString text);

// Reads at most `cap` bytes of `path`; an error when it is missing, unreadable or larger.
Result<QByteArray> readBytes(const QString& path, qint64 cap);

// Writes the whole file atomically (a temporary file renamed over the old one), so a
// crash or a full disk never leaves half a file behind.
Status writeFileAtomic(const QString& path, const QByteArray& bytes);
Status writeTextFileAtomic(const QString& path, const QString& text);

} // namespace pemby
