#!/bin/bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs the whole suite headless on a private session bus.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
build=build/test
# A warning fails the build in CI only; given either way, so a build folder that CI
# configured does not keep it on.
werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPEMBY_SANITIZE=ON -DPEMBY_WERROR=$werror >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# No session bus in CI and none of the user's in a developer's run: every test gets
# this private one, which starts none of the machine's installed services.
exec dbus-run-session --config-file=tests/dbus-session.conf -- ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)"
