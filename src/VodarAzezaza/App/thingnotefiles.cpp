#include "thingnotefiles.h"

#include "logcategories.h"
#include "textfile.h"
#include "textutil.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Far beyond any note with pictures; a larger file is not one of ours.
constexpr qint64 maxNoteBytes = 64 * 1024 * 1024;

// Note ids end up in paths; only a UUID names a file, and only inside the folder.
bool namesAFile(const std::optional<QString>& noteID)
{
    return noteID && pemby::isUuidText(*noteID);
}

} // namespace

ThingNoteFiles::ThingNoteFiles(QString folder, bool writes) : folder_(std::move(folder)), writes_(writes) {}

std::optional<QByteArray> ThingNoteFiles::read(const std::optional<QString>& noteID) const
{
    if (!namesAFile(noteID))
        return std::nullopt;
    const QString path = folder_ + u'/' + *noteID + QStringLiteral(".rtf");
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    Result<QByteArray> bytes = pemby::readBytes(path, maxNoteBytes);
    if (!bytes) {
        qCWarning(lcNotes) << "couldn't read the note" << path << bytes.errorText();
        return std::nullopt;
    }
    return std::move(bytes).value();
}

void ThingNoteFiles::remove(const std::optional<QString>& noteID) const
{
    if (!namesAFile(noteID) || !writes_)
        return;
    const QString path = folder_ + u'/' + *noteID + QStringLiteral(".rtf");
    if (pemby::entryExists(path) && !QFile::remove(path))
        qCWarning(lcNotes) << "couldn't remove the note" << path;
}

Status ThingNoteFiles::write(const QString& noteID, const QByteArray& rtf) const
{
    if (!pemby::isUuidText(noteID))
        return Error{QStringLiteral("the note id is not valid")};
    if (!writes_)
        return Error{QStringLiteral("this run writes no files")};
    if (const Status made = pemby::makeFolder(folder_); !made)
        return made;
    const QString path = folder_ + u'/' + noteID + QStringLiteral(".rtf");
    if (const Status written = pemby::writeFileAtomic(path, rtf); !written)
        return Error{QStringLiteral("couldn't write %1 (%2)").arg(QFileInfo(path).fileName(), written.errorText())};
    return {};
}

Result<ThingNoteFiles::Stored> ThingNoteFiles::store(const std::optional<QString>& currentID,
                                                     const std::optional<QByteArray>& rtf, const QString& plain) const
{
    const QString text = pemby::trimWhitespace(plain);
    if (text.isEmpty()) {
        remove(currentID);
        return Stored{};
    }
    // Text that came without its rich text is a note the editor failed to write out;
    // dropping the old file for it would lose the note.
    if (!rtf)
        return Error{QStringLiteral("its rich text could not be made")};
    const QString noteID = namesAFile(currentID) ? *currentID : pemby::newUuidLower();
    if (const Status written = write(noteID, *rtf); !written)
        return Error{written.errorText()};
    return Stored{noteID, text};
}
