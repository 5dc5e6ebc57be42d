#pragma once
// The row motion: a change that a pointer asked for (a drop, a tick or a delete from a
// menu) runs at once, and the columns slide the lines that stay to their new places
// over Motion::pointerMs on the planner's curve. Nothing slides under Reduce Motion, and
// nothing a key or the model itself changed.
//
// API
//   RowMotion::run([&] { taken = model.drag().drop(texts, place, before, true); });
//   if (RowMotion::isRunning() && Motion::animates()) ... slide ...

#include <functional>

namespace RowMotion {

void run(const std::function<void()>& action);
// A pointer-driven change is being carried out now.
bool isRunning();

} // namespace RowMotion
