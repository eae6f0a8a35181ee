#!/usr/bin/env bash
# A player who presses keys while the game waits on a silent score server: the presses start
# no second wait after the first, and a window close made during a wait ends the game once
# the wait is over, with status 0.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_setup impatient
e2e_start_hostile hang
e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_hostile_port"
e2e_wait_frame 10 menu=1 selection=0
e2e_press Down
e2e_wait_frame 10 selection=1 scores=0

# Return on "Highscores": the download waits on the server, the picture stands still, and the
# player presses Return twice more.
e2e_keydown Return
e2e_wait_connections 1 10
e2e_keyup Return
for _ in 1 2; do
    e2e_keydown Return
    sleep 0.08
    e2e_keyup Return
    sleep 0.08
done
e2e_wait_frame 30 scores=1
target=$(($(e2e_frame_count) + 10))
deadline=$((SECONDS + 30))
while [ "$(e2e_frame_count)" -lt "$target" ]; do
    [ "$(e2e_hostile_connections)" = 1 ] ||
        e2e_fail "a Return pressed during the wait started another exchange"
    e2e_game_alive || e2e_fail "the game ended after the wait"
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "fewer than 10 frames within 30 s after the wait"
    sleep 0.05
done
[ "$(e2e_hostile_connections)" = 1 ] || e2e_fail "a Return pressed during the wait started another exchange"

# Return on the high-score screen uploads: the probe waits on the server. The pointer moves and
# the window is closed meanwhile.
e2e_keydown Return
e2e_wait_connections 2 10
e2e_keyup Return
xdotool mousemove 420 320
e2e_close_window
e2e_wait_exit 45
[ "$e2e_status" = 0 ] || e2e_fail "the game ended with status $e2e_status after the close"
echo "PASS: two presses during a wait started nothing; a close during a wait ended the game" \
    "($(e2e_hostile_connections) connections, longest pause $(e2e_max_frame_gap) s)"
