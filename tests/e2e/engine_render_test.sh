#!/bin/bash
# Draws with the real engine under Xvfb and reads the frame buffer back: sprites, text and the
# blur overlay in a 1024 x 768 window, and menu and play frames of the game drawn both with the
# drawing shortcuts and layer by layer, compared pixel for pixel.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup engine-render
e2e_start_display
tests="$ORBELLE_BUILD_DIR/tests/on_screen_tests"
[ -x "$tests" ] || e2e_fail "missing $tests"
# One process per suite: each opens the window of its own size once.
for run in OnScreen:6 LayersOnScreen:1; do
    suite=${run%:*} count=${run#*:}
    log="$e2e_work/$suite.log"
    status=0
    # The test programs default to the dummy driver; these need the real X11 one.
    env SDL_VIDEODRIVER=x11 ORBELLE_ENGINE_ON_SCREEN=1 "$tests" --gtest_filter="$suite.*" \
        >"$log" 2>&1 </dev/null || status=$?
    cat "$log"
    [ "$status" -eq 0 ] || e2e_fail "$suite failed"
    # A skipped test passes in gtest's eyes; here every one of them must have drawn.
    ! grep -q '\[  SKIPPED \]' "$log" && grep -q "\[  PASSED  \] $count test" "$log" ||
        e2e_fail "$suite did not all run"
done
