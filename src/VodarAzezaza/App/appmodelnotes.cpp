// A thing's note: its plain text in the plan, its rich text in the family notes folder
// where the sibling apps read it too; and the clipboard, which carries things with
// their notes.
#include "appmodel.h"

#include "addlink.h"
#include "appmodelstate.h"
#include "logcategories.h"
#include "pembyclipboard.h"
#include "pembythings.h"
#include "textfile.h"
#include "textutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>

#include <algorithm>

namespace {

bool anyTitled(const QList<PembyThing>& things)
{
    return std::any_of(things.cbegin(), things.cend(),
                       [](const PembyThing& thing) { return !pemby::trimWhitespace(thing.title).isEmpty(); });
}

} // namespace

Status AppModel::writeNote(const QString& noteID, const QByteArray& rtf)
{
    return noteFiles_.write(noteID, rtf);
}

// A note could not be saved: the save error says why.
void AppModel::noteNotSaved(const QString& why)
{
    qCWarning(lcNotes) << "couldn't save a note:" << why;
    assign(d_->saveError, std::optional<QString>(QStringLiteral("Couldn't save the note: ") + why),
           &AppModel::saveErrorChanged);
}

// The note file stored as `plain` now reads; none, with the save error set, when
// the note must stay as it was.
std::optional<ThingNoteFiles::Stored> AppModel::storeNoteFile(const std::optional<QString>& currentID,
                                                               const std::optional<QByteArray>& rtf,
                                                               const QString& plain)
{
    Result<ThingNoteFiles::Stored> stored = noteFiles_.store(currentID, rtf, plain);
    if (!stored) {
        noteNotSaved(stored.errorText());
        return std::nullopt;
    }
    return std::move(stored).value();
}

AppModel::NoteContent AppModel::noteContent(const QUuid& id) const
{
    const auto thing = d_->planner.thing(id);
    if (!thing)
        return {};
    return {noteFiles_.read(thing->noteID), thing->note};
}

AppModel::NoteContent AppModel::externalNoteContent(const QString& id) const
{
    const auto thing = otherApps().externalThing(id);
    if (!thing)
        return {};
    return {noteFiles_.read(thing->noteID), thing->note};
}

bool AppModel::saveNote(const QUuid& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    const Transition transition(*this);
    const auto thing = d_->planner.thing(id);
    if (!thing)
        return true;
    // The note's text lives in its week's file too, which has to stay small enough to
    // be read back: a typed note is held to what the add link takes.
    if (plain.size() > AddLink::maxNote) {
        noteNotSaved(QStringLiteral("it has %1 characters, more than %2").arg(plain.size()).arg(AddLink::maxNote));
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
    Planner next = d_->planner;
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
        record.rtf = noteFiles_.read(thing.noteID);
        records.append(record);
    }
    auto mime = std::make_unique<QMimeData>();
    PembyThings::copy(records, *mime);
    d_->clipboard->setMimeData(std::move(mime));
}

QList<PembyThing> AppModel::clipboardThings() const
{
    return PembyThings::paste(d_->clipboard->mimeData());
}

bool AppModel::pasteAsThingsWhileTyping(const std::optional<QList<PembyThing>>& given, std::optional<bool> isRich)
{
    const Transition transition(*this);
    std::optional<Place> place;
    if (d_->editing && d_->editing->isNew()) {
        place = d_->editing->place();
    } else if (d_->opened) {
        if (const auto at = d_->planner.locate(*d_->opened))
            place = at->place;
    }
    if (!place)
        return false;

    const QMimeData* mime = d_->clipboard->mimeData();
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
