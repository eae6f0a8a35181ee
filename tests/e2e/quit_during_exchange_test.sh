#!/usr/bin/env bash
# SIGTERM while the download after a round waits on a score server that never answers: the
# game ends at once, with status 0, and the result typed before the download is in hisc.dat.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup quit-exchange
# Negative scores throughout, so that any finished round beats the tenth entry.
e2e_write_scores "$e2e_run/hisc.dat" Low:-1 Low:-2 Low:-3 Low:-4 Low:-5 Low:-6 Low:-7 Low:-8 \
    Low:-9 Low:-10
e2e_start_hostile hang; e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_hostile_port"
e2e_wait_frame 10 menu=1 selection=0
e2e_press Return; e2e_wait_frame 10 menu=0 over=0
e2e_play_until_over
e2e_wait_frame 10 over=1 entry=1
e2e_press q
xdotool keydown Return
e2e_wait_connections 1 10
xdotool keyup Return
# The server holds the request for a minute; without a word from the game the exchange would
# take its whole 10 s.
start=$(date +%s%N)
kill -TERM "$e2e_game_pid"
e2e_wait_exit 10 "after SIGTERM during the download"
millis=$((($(date +%s%N) - start) / 1000000))
[ "$millis" -lt 5000 ] || e2e_fail "the game took $millis ms to end"
head -c 32 "$e2e_run/hisc.dat" | od -An -c | grep -q ' q  \\0' || e2e_fail "q is not first in hisc.dat"
echo "PASS: ended $millis ms after SIGTERM, the result saved"
