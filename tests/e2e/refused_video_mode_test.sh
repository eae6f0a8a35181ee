#!/usr/bin/env bash
# A config.txt whose window the video system refuses (a colour depth it has no pixel format
# for) still gives a game: an 800x600 window that plays, a line on stderr saying why, and the
# player's file left as it was.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_setup videomode
printf '1024\n768\n40\n0\n1\n1\n' >"$e2e_run/config.txt"
cp "$e2e_run/config.txt" "$e2e_work/config.before"
e2e_start_display
e2e_start_game
e2e_wait_frame 10 menu=1 selection=0
e2e_press Return
e2e_wait_frame 10 menu=0 over=0
e2e_wait_frames 5 10
size=$(xdotool getwindowgeometry "$e2e_window" | sed -n 's/^ *Geometry: //p')
[ "$size" = 800x600 ] || e2e_fail "the window is $size, not 800x600"
e2e_shot "$e2e_work/play.png"
spread=$(e2e_spread "$e2e_work/play.png")
awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' || e2e_fail "the picture looks blank ($spread)"
grep -q 'trying 800x600, depth 32, windowed' "$e2e_work/game.err" ||
    e2e_fail "no word of the refused settings: $(cat "$e2e_work/game.err")"
cmp -s "$e2e_run/config.txt" "$e2e_work/config.before" || e2e_fail "config.txt was changed"
echo "PASS: depth 40 refused, played in an 800x600 window: $(head -n 1 "$e2e_work/game.err")"
