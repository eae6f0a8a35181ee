#!/bin/bash
# Draws menu and play frames of the real game under Xvfb both ways, with the drawing shortcuts
# and layer by layer, and compares the pictures read back pixel for pixel.
set -euo pipefail
build="${ORBELLE_BUILD_DIR:?ORBELLE_BUILD_DIR must point at the build directory}"
tests="$build/tests/game_tests"
[ -x "$tests" ] || { echo "missing $tests"; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
env SDL_VIDEODRIVER=x11 ORBELLE_ENGINE_ON_SCREEN=1 \
    xvfb-run -a -n $((200 + RANDOM % 700)) -s '-screen 0 1024x768x24' "$tests" \
    --gtest_filter='LayersOnScreen.*' >"$log" 2>&1 ||
    status=$?
cat "$log"
[ "$status" -eq 0 ] || exit "$status"
# A skipped test passes in gtest's eyes; this one must have drawn.
if grep -q '\[  SKIPPED \]' "$log" || ! grep -q '\[  PASSED  \] 1 test' "$log"; then
    echo "the layer comparison did not run"
    exit 1
fi
