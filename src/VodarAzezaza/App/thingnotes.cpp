// A thing's note: its plain text in the plan, its rich text in the family notes folder
// where the sibling apps read it too.
#include "thingnotes.h"

#include "addlink.h"
#include "appmodelstate.h"
#include "logcategories.h"
#include "otherapps.h"

Status ThingNotes::writeNote(const QString& noteID, const QByteArray& rtf)
{
    return model_.d_->noteFiles->write(noteID, rtf);
}

ThingNotes::NoteContent ThingNotes::noteContent(const QUuid& id) const
{
    const auto thing = model_.d_->planner.thing(id);
    if (!thing)
        return {};
    return {model_.d_->noteFiles->read(thing->noteID), thing->note};
}

ThingNotes::NoteContent ThingNotes::externalNoteContent(const QString& id) const
{
    const auto thing = model_.otherApps().externalThing(id);
    if (!thing)
        return {};
    return {model_.d_->noteFiles->read(thing->noteID), thing->note};
}

bool ThingNotes::saveNote(const QUuid& id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    const AppModel::Transition transition(model_);
    const auto thing = model_.d_->planner.thing(id);
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
    Planner next = model_.d_->planner;
    next.update(id, saved);
    AppModel::Steps::setPlanner(model_, std::move(next));
    // The folder holds only the note just saved: an earlier plan brought back by undo
    // or redo must not name a file that is gone, nor an older text than the file's.
    AppModel::Steps::patchSnapshots(model_, [&](Planner& snapshot) {
        const auto there = snapshot.thing(id);
        if (there && (there->noteID != noteID || there->note != note))
            snapshot.update(id, saved);
    });
    AppModel::Steps::save(model_, true);
    return true;
}

// A note could not be saved: the save error says why.
void ThingNotes::noteNotSaved(const QString& why)
{
    qCWarning(lcNotes) << "couldn't save a note:" << why;
    model_.assign(model_.d_->saveError, std::optional<QString>(QStringLiteral("Couldn't save the note: ") + why),
                  &AppModel::saveErrorChanged);
}

// The note file stored as `plain` now reads; none, with the save error set, when
// the note must stay as it was.
std::optional<ThingNoteFiles::Stored> ThingNotes::storeNoteFile(const std::optional<QString>& currentID,
                                                                const std::optional<QByteArray>& rtf,
                                                                const QString& plain)
{
    Result<ThingNoteFiles::Stored> stored = model_.d_->noteFiles->store(currentID, rtf, plain);
    if (!stored) {
        noteNotSaved(stored.errorText());
        return std::nullopt;
    }
    return std::move(stored).value();
}
