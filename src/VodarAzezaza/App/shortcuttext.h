#pragma once
// Shortcuts named in user-facing texts, written as the desktop writes them
// ("⌘Z" on a Mac, "Ctrl+Z" elsewhere).
#include <QString>

namespace pemby {

QString undoShortcutText();
// "<undo shortcut> if that was a mistake.": the end of every toast of an undoable loss.
QString ifThatWasAMistake();

} // namespace pemby
