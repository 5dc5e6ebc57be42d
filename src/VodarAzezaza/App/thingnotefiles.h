#pragma once
// The rich text of the things' notes: one "<note id>.rtf" per note in the family notes
// folder, where the sibling apps read and write them too. A thing keeps its note's
// plain text in the plan; these files only ever hold what the plan names.

#include "result.h"

#include <QByteArray>
#include <QString>

#include <optional>

class ThingNoteFiles {
public:
    // `writes` off (a run that only looks) writes and removes nothing.
    ThingNoteFiles(QString folder, bool writes);

    const QString& folder() const { return folder_; }

    // The bytes of a note file; none for no id, an id that is no UUID, or no readable
    // file of sane size.
    std::optional<QByteArray> read(const std::optional<QString>& noteID) const;
    // Removes the file of a note id; an id that is no UUID names no file.
    void remove(const std::optional<QString>& noteID) const;
    // Writes the rich text of a note, making the folder when needed.
    Status write(const QString& noteID, const QByteArray& rtf) const;

    // What a thing records of its note once its file is written or removed.
    struct Stored {
        std::optional<QString> noteID;
        QString note;
    };
    // The file of a note that now reads `plain` (with its rich text `rtf`), reusing
    // `currentID` when it names a file, or removed when the text is blank. Text without
    // its rich text is refused, so that the old file is not lost for it; the error says
    // why the note must stay as it was.
    Result<Stored> store(const std::optional<QString>& currentID, const std::optional<QByteArray>& rtf,
                         const QString& plain) const;

private:
    QString folder_;
    bool writes_;
};
