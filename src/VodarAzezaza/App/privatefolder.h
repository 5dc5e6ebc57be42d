#pragma once
// Folders of our own in a shared place such as the temporary folder. Anyone may
// create a name there first, so a folder we did not make ourselves, with our user and
// no link in the way, is never written into.

#include <QString>
#include <QStringList>

namespace pemby {

// The folder at `path`, made with mode 0700 when it is missing. One that exists is
// taken only when it is a real folder (not a link) owned by this user; it is then
// closed to everyone else. Anything else is refused: a fresh folder named `path`
// followed by "-" and six random characters is made in its place, exclusively and
// private. Returns the folder to use; the path of the refused one never comes back.
QString makePrivateFolder(const QString& path);

// The private folders a run makes for itself (a demo plan, a scratch family store) go
// when the run ends: each one given here is removed, contents and all, by
// removeRunFolders(), which the program calls last, however it is quit. Links inside
// are removed, never followed.
void removeWhenRunEnds(const QString& folder);
void removeRunFolders();
// The folders removeRunFolders() would remove, in the order given.
QStringList runFolders();

} // namespace pemby
