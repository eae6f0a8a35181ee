#!/usr/bin/env bash
# A typed name is saved before the internet list is fetched: with a score server that never
# answers, the game killed while it waits for the download has already written hisc.dat.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_setup savefirst
# Negative scores throughout, so that any finished round beats the tenth entry.
lows=()
for k in $(seq 10); do lows+=("Low$k:-$k"); done
e2e_write_scores "$e2e_run/hisc.dat" "${lows[@]}"

e2e_start_hostile hang
e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_hostile_port"
e2e_wait_frame 10 menu=1 selection=0
e2e_press Return
e2e_wait_frame 10 menu=0 over=0
e2e_play_until_over
e2e_wait_frame 10 over=1 entry=1
[ "$(e2e_hostile_connections)" = 0 ] || e2e_fail "the server was contacted during the round"
e2e_press k
# Return held until the download has reached the server, which then keeps the game waiting.
e2e_keydown Return
e2e_wait_connections 1 10
kill -KILL "$e2e_game_pid"
wait "$e2e_game_pid" 2>/dev/null || true
e2e_game_pid=""
e2e_keyup Return

e2e_read_scores "$e2e_run/hisc.dat" >"$e2e_work/table" || e2e_fail "hisc.dat is not a valid table"
[ "$(head -n 1 "$e2e_work/table" | cut -f 1)" = k ] ||
    e2e_fail "the name typed before the download is not in hisc.dat: $(tr '\n' ' ' <"$e2e_work/table")"
echo "PASS: the game killed during a hanging download had saved: $(head -n 1 "$e2e_work/table")"
