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

// What a text file of the user's may hold. Plan files stay far below this; a larger
// file is not one of ours and would cost seconds and hundreds of megabytes to read.
inline constexpr qint64 maxTextFileBytes = 8 * 1024 * 1024;

// A size over a limit, as "9.0 MB, more than 8.0 MB", in figures that differ.
QString sizeOverLimit(qint64 bytes, qint64 cap);

// Reads `path` as strict UTF-8. A missing file is Missing (not an error); anything
// else that is not a regular file of at most `cap` bytes (a folder, a FIFO, a device or
// a link to one, a larger file), a read error or bytes that are not UTF-8 is
// Unreadable, with the reason. The read never waits for a writer.
TextFile readTextFile(const QString& path, qint64 cap = maxTextFileBytes);

// Decodes bytes as strict UTF-8 with the same clean-up; nullopt when not UTF-8.
std::optional<QString> decodeUtf8Strict(const QByteArray& bytes);

// Turns CRLF and lone CR into LF.
QString normalizeLineEnds(QString text);

// The bytes of the regular file `path`, read as readTextFile reads; an error when it is
// missing, not a regular file, unreadable or larger than `cap`.
Result<QByteArray> readBytes(const QString& path, qint64 cap);

// Creates the folder and every missing folder above it; the error names the folder
// and says why.
Status makeFolder(const QString& path);

// Writes the whole file atomically (a temporary file renamed over the old one), so a
// crash or a full disk never leaves half a file behind.
Status writeFileAtomic(const QString& path, const QByteArray& bytes);
Status writeTextFileAtomic(const QString& path, const QString& text);

} // namespace pemby
