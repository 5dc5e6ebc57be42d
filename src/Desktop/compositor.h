#pragma once
// Whether the desktop blends windows with what lies behind them, so a panel can be
// see-through: Wayland always does; on X11 a compositing manager must hold the
// _NET_WM_CM_S<screen> selection; the other window systems Qt runs on do; the
// off-screen and minimal platforms do not.
//
// API
//   if (Compositor::isActive()) ...     asked anew each time: compositors come and go

namespace Compositor {

bool isActive();

} // namespace Compositor
