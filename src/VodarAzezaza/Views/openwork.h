#pragma once
// What is being typed and not yet in the model: the inline fields (a rename, a new
// thing, a list's name) and the detail popovers' titles and steps. Before the app quits,
// the session saves or a window closes, all of it goes into the model at once, so the
// saves that follow write it.
//
// API
//   OpenWork::keep();                  every window of the app
//   OpenWork::keep({focusPanel});      only what is inside these windows

#include <QList>

class QWidget;

namespace OpenWork {

// Inline fields hand what they hold to the model as if taken away (blank text is
// dropped, never a delete); details save their title and steps.
void keep(const QList<QWidget*>& windows = {});

} // namespace OpenWork
