#pragma once
// The board of each mode, as the main window's board area shows it and the off-screen
// renderer draws it. One place says which view each mode has, so the area and the
// renderer never disagree about what exists.
//
// API
//   QWidget* board = Boards::make(Mode::Week, model, parent);   none while that mode
//                                                               has no view yet
//   Boards::available(Mode::Notes)                              whether make() gives one

#include "appmodeltypes.h"

class AppModel;
class QWidget;

namespace Boards {

// The view of `mode` over `model`, or none while that view is not built.
QWidget* make(Mode mode, AppModel& model, QWidget* parent);
bool available(Mode mode);
// What the area shows and the renderer names for a mode: "the week board", ...
QString name(Mode mode);

} // namespace Boards
