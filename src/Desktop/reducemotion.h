#pragma once
// The desktop's Reduce Motion setting. Read, in order: the environment variable
// PEMBY_REDUCE_MOTION ("1" or "0"; tests and users who want it pinned), the settings
// portal's "org.gnome.desktop.interface" "enable-animations" (false means reduce),
// else off. The portal's change signal updates it while the app runs.

class ReduceMotion {
public:
    ReduceMotion() = delete;

    static bool isOn();
    // Pins the answer, as the environment variable does; tests only.
    static void setForTesting(bool on);
};
