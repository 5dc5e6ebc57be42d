#!/bin/bash
# Installs what is missing, builds, and starts the planner on its demo data.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
build=build/app
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPEMBY_TESTS=OFF >/dev/null
cmake --build "$build" --target VodarAzezaza

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # No display: render the demo board off screen instead of opening a window.
    out=${PLANNER_RENDER:-$PWD/build/demo.png}
    echo "No display: asking for an off-screen render of the demo board to $out"
    PLANNER_RENDER="$out" QT_QPA_PLATFORM=offscreen exec "$build/VodarAzezaza" -demo
fi
exec "$build/VodarAzezaza" -demo
