// A thing's note: its plain text in the plan, its rich text in the family notes folder
// where the sibling apps read it too; and the clipboard, which carries things with
// their notes.
#include "appmodel.h"

#include "logcategories.h"
#include "textfile.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>

#include <algorithm>

namespace {

// Far beyond any note with pictures; a larger file is not one of ours.
constexpr qint64 maxNoteBytes = 64 * 1024 * 1024;

QString notePath(const QString& folder, const QString& noteID)
{
    return folder + u'/' + noteID + QStringLiteral(".rtf");
}

// Note ids end up in paths; only a UUID names a file, and only inside the folder.
bool namesAFile(const std::optional<QString>& noteID)
{
    return noteID && pemby::isUuidText(*noteID);
}

bool anyTitled(const QList<PembyThing>& things)
{
    return std::any_of(things.cbegin(), things.cend(),
                       [](const PembyThing& thing) { return !pemby::trimWhitespace(thing.title).isEmpty(); });
}

} // namespace

std::optional<QByteArray> AppModel::readNote(const std::optional<QString>& noteID) const
{
    if (!namesAFile(noteID))
        return std::nullopt;
    const QString path = notePath(notesFolder_, *noteID);
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    Result<QByteArray> bytes = pemby::readBytes(path, maxNoteBytes);
    if (!bytes) {
        qCWarning(lcNotes) << "couldn't read the note" << path << bytes.errorText();
        return std::nullopt;
    }
    return std::move(bytes).value();
}

void AppModel::removeNote(const std::optional<QString>& noteID)
{
    if (!namesAFile(noteID) || !writesFiles_)
        return;
    const QString path = notePath(notesFolder_, *noteID);
    if (pemby::entryExists(path) && !QFile::remove(path))
        qCWarning(lcNotes) << "couldn't remove the note" << path;
}

Status AppModel::writeNote(const QString& noteID, const QByteArray& rtf)
{
    if (!pemby::isUuidText(noteID))
        return Error{QStringLiteral("the note id is not valid")};
    if (!writesFiles_)
        return Error{QStringLiteral("this run writes no files")};
    if (const Status made = pemby::makeFolder(notesFolder_); !made)
        return made;
    const QString path = notePath(notesFolder_, noteID);
    if (const Status written = pemby::writeFileAtomic(path, rtf); !written)
        return Error{QStringLiteral("couldn't write %1 (%2)").arg(QFileInfo(path).fileName(), written.errorText())};
    return {};
}

void AppModel::noteNotSaved(const QString& why)
{
    qCWarning(lcNotes) << "couldn't save a note:" << why;
    assign(saveError_, std::optional<QString>(QStringLiteral("Couldn't save the note: ") + why),
           &AppModel::saveErrorChanged);
}

std::optional<AppModel::StoredNote> AppModel::storeNoteFile(const std::optional<QString>& currentID,
                                                           const std::optional<QByteArray>& rtf,
                                                           const QString& plain)
{
    const QString text = pemby::trimWhitespace(plain);
    if (text.isEmpty()) {
        removeNote(currentID);
        return StoredNote{};
    }
    // Text that came without its rich text is a note the editor failed to write out;
    // dropping the old file for it would lose the note.
    if (!rtf) {
        noteNotSaved(QStringLiteral("its rich text could not be made"));
        return std::nullopt;
    }
    const QString noteID = namesAFile(currentID) ? *currentID : pemby::newUuidLower();
    if (const Status written = writeNote(noteID, *rtf); !written) {
        noteNotSaved(written.errorText());
        return std::nullopt;
    }
    return StoredNote{noteID, text};
}

AppModel::NoteContent AppModel::noteContent(const QUuid& id) const
{
    const auto thing = planner_.thing(id);
    if (!thing)
        return {};
    return {readNote(thing->noteID), thing->note};
}

AppModel::NoteContent AppModel::externalNoteContent(const QString& id) const
{
    const auto thing = externalThing(id);
    if (!thing)
        return {};
    return {readNote(thing->noteID), thing->note};
}

bool AppModel::saveNote(const QUuid& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    const Transition transition(*this);
    const auto thing = planner_.thing(id);
    if (!thing)
        return true;
    // The note's text lives in its week's file too, which has to stay small enough to
    // be read back: a typed note is held to what the add link takes.
    if (plain.size() > maxLinkNote) {
        noteNotSaved(QStringLiteral("it has %1 characters, more than %2").arg(plain.size()).arg(maxLinkNote));
        return false;
    }
    const auto stored = storeNoteFile(thing->noteID, rtf, plain);
    if (!stored)
        return false;
    const std::optional<QString>& noteID = stored->noteID;
    const QString& note = stored->note;

    const auto saved = [&](Thing& t) {
        t.noteID = noteID;
        t.note = note;
    };
    Planner next = planner_;
    next.update(id, saved);
    setPlanner(std::move(next));
    // The folder holds only the note just saved: an earlier plan brought back by undo
    // or redo must not name a file that is gone, nor an older text than the file's.
    patchSnapshots([&](Planner& snapshot) {
        const auto there = snapshot.thing(id);
        if (there && (there->noteID != noteID || there->note != note))
            snapshot.update(id, saved);
    });
    save(true);
    return true;
}

void AppModel::copySelection()
{
    const QList<Thing> things = orderedSelection();
    if (things.isEmpty())
        return;
    QList<PembyThing> records;
    records.reserve(things.size());
    for (const Thing& thing : things) {
        PembyThing record = PembyThing::fromThing(thing);
        record.rtf = readNote(thing.noteID);
        records.append(record);
    }
    auto mime = std::make_unique<QMimeData>();
    PembyThings::copy(records, *mime);
    clipboard_->setMimeData(std::move(mime));
}

QList<PembyThing> AppModel::clipboardThings() const
{
    return PembyThings::paste(clipboard_->mimeData());
}

bool AppModel::pasteAsThingsWhileTyping(const std::optional<QList<PembyThing>>& given, std::optional<bool> isRich)
{
    const Transition transition(*this);
    std::optional<Place> place;
    if (editing_ && editing_->isNew()) {
        place = editing_->place();
    } else if (opened_) {
        if (const auto at = planner_.locate(*opened_))
            place = at->place;
    }
    if (!place)
        return false;

    const QMimeData* mime = clipboard_->mimeData();
    const QList<PembyThing> things = given ? *given : PembyThings::paste(mime);
    const bool holdsRecords = mime && mime->hasFormat(QString::fromLatin1(PembyThings::mimeType));
    const bool takeOver = (!isRich && holdsRecords) || isRich.value_or(false) || things.size() > 1;
    // A paste that would add nothing stays with the field, so what it holds is not lost
    // with the edit.
    if (!takeOver || !anyTitled(things) || !takesThings(*place))
        return false;
    setEditing(std::nullopt);
    setOpened(std::nullopt);
    return addThings(things, *place);
}
