#pragma once
// Columns that come and go fade, on the planner's curve over its pointer duration, and
// not at all under Reduce Motion.
//
// API
//   Fade::in(column);                      a column that just arrived, from clear to solid
//   Fade::out(board, column->geometry(), column->grab());
//                                          what stood there, as a picture that fades away
//                                          above the board while the board moves on
//
// A fading picture takes no clicks and deletes itself when it is clear.

#include <QPixmap>
#include <QRect>

class QWidget;

namespace Fade {

void in(QWidget* widget);
void out(QWidget* parent, const QRect& where, const QPixmap& picture);
// Whether `widget` is fading in now.
bool isFadingIn(const QWidget* widget);

} // namespace Fade
