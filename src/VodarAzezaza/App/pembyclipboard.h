#pragma once
// The system clipboard side of copy and paste: a thin layer over QClipboard, so the
// formats themselves are built and read (and tested) on plain QMimeData.

#include "pembythings.h"

namespace pemby {

// Puts the things on the clipboard; leaves it alone for no things.
void copyToClipboard(const QList<PembyThing>& things);
// The things on the clipboard: the family's records, else its plain text parsed.
QList<PembyThing> pasteFromClipboard();

} // namespace pemby
