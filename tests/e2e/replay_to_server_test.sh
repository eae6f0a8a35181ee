#!/usr/bin/env bash
# The game and the real score server: a round played with key presses, a name typed on a German
# keyboard ("Jü"), Return on the high-score screen; the server checks the replay the game sends
# after its signed uploads and lists the entry as verified, with its replay, under the name as
# typed. On SQLite only: the stores are tested with replays in server_replays_test.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup replay-server
lows=()
for k in {1..10}; do lows+=("Low$k:-$k"); done
e2e_write_scores "$e2e_run/hisc.dat" "${lows[@]}"
e2e_start_server --db "$e2e_work/scores.db" --quiet && port=$e2e_server_port
e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$port"
e2e_wait_frame 10 menu=1 scores=0 selection=0
e2e_press Return; e2e_wait_frame 10 menu=0 over=0
e2e_play_until_over
e2e_wait_frame 10 over=1 entry=1
score=$(sed -n 's/.* over=1 .*score=\([0-9]*\)$/\1/p' "$e2e_frames" | sort -u)
setxkbmap -display "$DISPLAY" de
for key in J udiaeresis Return; do e2e_press "$key"; done
e2e_wait_frame 30 scores=1 entry=0
e2e_press Return
verified() { [[ "$(e2e_http "$port" /scores.json)" == *'"name":"Jü","score":'*'"verified":true,"replay":"/replays/1"}'* ]]; }
e2e_wait 20 "the entry verified" verified
entry=$(grep -o '{"rank":1,[^}]*}' "$e2e_work/body")
# The frame log rounds the score, the table cuts it.
[[ "$entry" =~ \"score\":($score|$((score - 1))), ]] || e2e_fail "the round ended at $score, the list has $entry"
[ "$(grep -o '"verified":true' "$e2e_work/body" | wc -l)" = 1 ] || e2e_fail "more than the round verified: $(cat "$e2e_work/body")"
e2e_wait_frame 20 scores=1 menu=1
e2e_exit_from_score_screen
e2e_stop_server
echo "PASS: a round at $score played, its replay sent by the game and verified by the server: $entry"
