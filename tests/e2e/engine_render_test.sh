#!/bin/bash
# Draws with the real engine under Xvfb and reads the frame buffer back: sprites, text and
# the blur overlay in a 1024 x 768 window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
tests="$ORBELLE_BUILD_DIR/tests/engine_tests"
[ -x "$tests" ] || e2e_fail "missing $tests"
e2e_setup engine-render
e2e_start_display
log="$e2e_work/tests.log"
status=0
# The test programs default to the dummy driver; this one needs the real X11 one.
env SDL_VIDEODRIVER=x11 ORBELLE_ENGINE_ON_SCREEN=1 "$tests" --gtest_filter='OnScreen.*' \
    >"$log" 2>&1 || status=$?
cat "$log"
[ "$status" -eq 0 ] || exit "$status"
# A skipped test passes in gtest's eyes; here every one of them must have drawn.
if grep -q '\[  SKIPPED \]' "$log" || ! grep -q '\[  PASSED  \] 4 tests' "$log"; then
    e2e_fail "on-screen engine tests did not all run"
fi
