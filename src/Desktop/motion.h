#pragma once
// The planner's one motion: the timing curve (0.23, 1, 0.32, 1), and the rule that
// nothing animates while Reduce Motion is on.

#include <QEasingCurve>

#include <functional>

class QVariantAnimation;

namespace Motion {

// The curve every animation of the planner and the note editor runs on.
const QEasingCurve& curve();

// How long a pointer-driven change animates.
constexpr int pointerMs = 200;

// Whether animations run now: false while Reduce Motion is on.
bool animates();

// Runs a model operation that a pointer asked for. The views animate what follows
// from it themselves (see `animates()`); the operation itself always runs at once.
inline void pointer(const std::function<void()>& action) { action(); }

// Sets the curve and duration on an animation, or makes it instant (duration 0)
// under Reduce Motion, so callers start it either way.
void configure(QVariantAnimation& animation, int durationMs);

} // namespace Motion
