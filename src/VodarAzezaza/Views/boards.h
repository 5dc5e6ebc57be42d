#pragma once
// The board of each mode, as the main window's board area shows it and the off-screen
// renderer draws it. One place says which view each mode has, so the area and the
// renderer never disagree about what exists.
//
// API
//   QWidget* board = Boards::make(Mode::Week, model, parent);

#include "appmodeltypes.h"

class AppModel;
class QWidget;

namespace Boards {

// The view of `mode` over `model`: the week board, the month board or the notes screen.
QWidget* make(Mode mode, AppModel& model, QWidget* parent);

} // namespace Boards
