#pragma once
// Reading and writing whole text files. Files in the user's folders are touched by
// editors and sync clients, so reading is strict about encoding (a file we cannot
// decode must never be mistaken for an empty one) and lenient about line ends.

#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace pemby {

struct TextFile {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    QString text;   // with a leading BOM removed and every CRLF and lone CR turned into LF
    QString error;  // for Unreadable: why, for the log and the user
    // For Unreadable: the entry is there but is no regular file (a link, a folder, a
    // FIFO); whoever lists what was skipped names it.
    bool notAFile = false;
};

// The user's folders sync: a link planted there could make us read a private file
// into a synced one, or write through it to anywhere. Entries are taken as they are,
// never followed, except where a folder of links is what the user keeps (calendars).
enum class Links { Refuse, Follow };

// What a text file of the user's may hold. Plan files stay far below this; a larger
// file is not one of ours and would cost seconds and hundreds of megabytes to read.
inline constexpr qint64 maxTextFileBytes = 8 * 1024 * 1024;

// A size over a limit, as "9.0 MB, more than 8.0 MB", in figures that differ.
QString sizeOverLimit(qint64 bytes, qint64 cap);

// Reads `path` as strict UTF-8. A missing file is Missing (not an error); anything
// else that is not a regular file of at most `cap` bytes (a link, a folder, a FIFO, a
// device, a larger file), a read error or bytes that are not UTF-8 is Unreadable, with
// the reason. The read never waits for a writer.
TextFile readTextFile(const QString& path, qint64 cap = maxTextFileBytes, Links links = Links::Refuse);

// Decodes bytes as strict UTF-8 with the same clean-up; nullopt when not UTF-8.
std::optional<QString> decodeUtf8Strict(const QByteArray& bytes);

// Turns CRLF and lone CR into LF.
QString normalizeLineEnds(QString text);

// The bytes of the regular file `path`, read as readTextFile reads; an error when it is
// missing, not a regular file, unreadable or larger than `cap`.
Result<QByteArray> readBytes(const QString& path, qint64 cap, Links links = Links::Refuse);

// The footnote's word on entries left alone because they are not regular files:
// "skipped a.md: not a regular file.", "skipped a.md, b.md and 2 more: not regular files."
QString skippedEntriesText(const QStringList& names);

// Whether anything has the name `path`: a dangling link counts, as does a folder.
bool entryExists(const QString& path);
// Whether `path` is a real folder, not a link to one.
bool isRealFolder(const QString& path);

// What the file system tells of an entry without reading it. The change time moves with
// every write, even one that puts the old modification time back.
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    // How many names the file has: one changed through a name in another folder changes
    // unheard by a watch on this one.
    quint64 links = 0;
    bool operator==(const FileStamp&) const = default;
};
// The entry's stamp, not following a link; nullopt when there is none.
std::optional<FileStamp> fileStamp(const QString& path);
// The stamp to trust for text read between taking `before` and now: only when the entry
// did not change meanwhile, and its last write is a few seconds old, so that another
// write within the same tick of the file system's clock cannot hide behind it.
std::optional<FileStamp> settledStamp(const std::optional<FileStamp>& before, const QString& path);

// readTextFile, giving as well the stamp of what it opened, taken from the open file
// itself (of the name where nothing regular could be opened; none when there is none).
TextFile readTextFile(const QString& path, std::optional<FileStamp>& stamp, qint64 cap = maxTextFileBytes,
                      Links links = Links::Refuse);
// The same as settledStamp for a stamp of the open file that was read: a write since it
// was taken moves its times, so a later look at the name tells it apart; no second
// look is needed now.
std::optional<FileStamp> settledStamp(const std::optional<FileStamp>& read);

// Creates the folder and every missing folder above it; the error names the folder
// and says why.
Status makeFolder(const QString& path);

// Writes the whole file atomically: a temporary file in the same folder, renamed onto
// the name. A crash or a full disk never leaves half a file behind, and the rename
// replaces a link at the name instead of writing where it points (another hard link
// of the old file keeps the old text). An existing file keeps its permissions. The
// error is the system's reason ("No space left on device"); callers name the file.
Status writeFileAtomic(const QString& path, const QByteArray& bytes);
Status writeTextFileAtomic(const QString& path, const QString& text);

// Whether `name` is one of the temporary files writeFileAtomic makes.
bool isAtomicWriteTemporary(const QString& name);
// Removes the temporary files that writes killed midway left in `folder` (not below
// it), when they are older than `age` seconds, so a write under way is left alone.
// Returns the names removed.
QStringList removeStaleTemporaryFiles(const QString& folder, qint64 age = 120);

} // namespace pemby
