#pragma once
// A notes folder for the benchmarks: `count` notes "note-0" ... written by the store,
// each a minute newer than the one before, with the text `text(i)`.
#include "notestore.h"

#include <QDateTime>
#include <QString>

#include <cstdio>
#include <functional>

// False, with a line on stderr, when the folder could not be written.
inline bool writeNotesFolder(const QString& folder, int count, const std::function<QString(int)>& text)
{
    NoteStore writer(folder);
    for (int i = 0; i < count; ++i) {
        const Note note(QStringLiteral("note-%1").arg(i), text(i),
                        QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + i * 60'000LL, Qt::UTC));
        if (!writer.save(note)) {
            std::fprintf(stderr, "can't write the notes folder\n");
            return false;
        }
    }
    return true;
}
