#!/bin/bash
# Draws with the real engine under Xvfb and reads the frame buffer back: sprites, text and
# the blur overlay in a 1024 x 768 window.
set -euo pipefail
build="${ORBELLE_BUILD_DIR:?ORBELLE_BUILD_DIR must point at the build directory}"
tests="$build/tests/engine_tests"
[ -x "$tests" ] || { echo "missing $tests"; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# The test programs default to the dummy driver; this one needs the real X11 one.
env SDL_VIDEODRIVER=x11 ORBELLE_ENGINE_ON_SCREEN=1 \
    xvfb-run -a -s '-screen 0 1024x768x24' "$tests" --gtest_filter='OnScreen.*' >"$log" 2>&1 ||
    status=$?
cat "$log"
[ "$status" -eq 0 ] || exit "$status"
# A skipped test passes in gtest's eyes; here every one of them must have drawn.
if grep -q '\[  SKIPPED \]' "$log" || ! grep -q '\[  PASSED  \] 4 tests' "$log"; then
    echo "on-screen engine tests did not all run"
    exit 1
fi
