#!/usr/bin/env bash
# The game's high-score screen against score servers that hang, flood, close in mid-body or
# answer garbage: a stall no longer than one exchange, bounded memory, then "Exit". Keys and a
# close during the wait: ScoreExchangeTest; our own server: replay_round_test.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
max_hwm_kb=153600 # 150 MB; AddressSanitizer's shadow memory takes a few times more
if ldd "$e2e_game" | grep -q libasan; then max_hwm_kb=$((max_hwm_kb * 4)); fi
e2e_setup score-servers
e2e_start_display

# The slow mode first, so that a stuck run shows up early.
for mode in hang flood close garbage; do
    e2e_start_hostile "$mode"
    e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_hostile_port"
    e2e_press Down; e2e_wait_frame 10 menu=1 selection=1
    xdotool keydown Return
    e2e_wait_connections 1 10
    xdotool keyup Return
    # The exchange may take 10 s; a game that has not drawn the score screen by 25 s is stuck.
    e2e_wait_frame 25 scores=1; e2e_wait_frames 20 30
    gap=$(awk '/^[0-9]/ { if (n++ && $1 - last > gap) gap = $1 - last; last = $1 }
        END { printf "%.2f\n", gap / 1e6 }' "$e2e_frames")
    awk -v g="$gap" 'BEGIN { exit !(g < 12) }' || e2e_fail "$mode: the game froze for $gap s"
    connections=$(e2e_hostile_connections)
    # Hanging, the stall must be the wait on that server. Otherwise the probe and ten ranks came,
    # unless a starved machine let the exchange's deadline cut them short (a stall of 9 s).
    cut=$(awk -v g="$gap" 'BEGIN { print (g >= 9) }')
    if [ "$mode" = hang ]; then
        [ "$cut" = 1 ] || e2e_fail "hang: no real stall ($gap s)"
    elif [ "$connections" -lt $((cut == 1 ? 2 : 11)) ]; then
        e2e_fail "$mode: only $connections requests reached the server in $gap s"
    fi
    hwm=$(e2e_peak_kb "$e2e_game_pid")
    [ "$hwm" -lt "$max_hwm_kb" ] || e2e_fail "$mode: peak memory $hwm kB"
    echo "$mode: longest pause $gap s, $connections connections, peak memory $((hwm / 1024)) MB"
    e2e_exit_from_score_screen
    kill -TERM "${e2e_tracked[-1]}"
done
echo "PASS: the game outlived every hostile score server"
