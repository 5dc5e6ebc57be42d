#pragma once
// The things' notes as the note sheet reads and saves them: a thing's note is its plain
// text in the plan and its rich text in the family notes folder, in "<note id>.rtf",
// where the sibling apps read it too. A part of the model: a save is one of its
// operations.

#include "result.h"
#include "thingnotefiles.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <optional>

class AppModel;

class ThingNotes {
public:
    struct NoteContent {
        std::optional<QByteArray> rtf;  // none without a note file that can be read
        QString plain;
        bool operator==(const NoteContent&) const = default;
    };
    NoteContent noteContent(const QUuid& id) const;
    // The note of another app's thing, read as a thing's note is: the row's note id
    // names a file only when it is a UUID, and only one of sane size is read.
    NoteContent externalNoteContent(const QString& id) const;
    // The note sheet's save: text and rich text become the note (a first note gets its
    // id), blank text removes it, file and all. Text without rich text could not be
    // written and keeps the old note, with the save error. No undo step: undo and redo
    // keep the note as saved. False when the note could not be written or is longer
    // than the add link takes (the save error says why), so the caller keeps it due.
    bool saveNote(const QUuid& id, const std::optional<QByteArray>& rtf, const QString& plain);
    // Writes the rich text of a note, creating the notes folder when needed.
    Status writeNote(const QString& noteID, const QByteArray& rtf);

private:
    friend class AppModel;
    friend class OtherApps;
    friend class BoardDrag;
    explicit ThingNotes(AppModel& model) : model_(model) {}
    // A note could not be saved: the save error says why.
    void noteNotSaved(const QString& why);
    std::optional<ThingNoteFiles::Stored> storeNoteFile(const std::optional<QString>& currentID,
                                                        const std::optional<QByteArray>& rtf, const QString& plain);
    AppModel& model_;
};
