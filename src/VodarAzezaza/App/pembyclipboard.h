#pragma once
// The system clipboard side of copy and paste: a thin layer over QClipboard, so the
// formats themselves are built and read (and tested) on plain QMimeData.

#include "pembythings.h"

#include <memory>

class QMimeData;

// The clipboard as the application model reaches it: the desktop's in the app, one of
// their own in tests.
class PembyClipboard {
public:
    virtual ~PembyClipboard() = default;
    // What the clipboard holds now; null when it holds nothing.
    virtual const QMimeData* mimeData() const = 0;
    // Replaces what it holds.
    virtual void setMimeData(std::unique_ptr<QMimeData> data) = 0;
};

namespace pemby {

// The desktop's clipboard.
std::unique_ptr<PembyClipboard> systemClipboard();

} // namespace pemby
