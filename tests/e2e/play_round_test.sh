#!/usr/bin/env bash
# One whole round played with key presses, from a config.txt whose window depth the video
# system refuses (the game falls back to 800x600 and keeps the file); the typed name is saved
# while the download still waits on a server that never answers, and SIGTERM then ends the game
# at once. ORBELLE_SCREENSHOT_DIR keeps the screenshots.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_setup play
shots="${ORBELLE_SCREENSHOT_DIR:-$e2e_work/shots}"
mkdir -p "$shots" && rm -f "$shots/play.png" "$shots/event.png"
e2e_write_lows
printf '1024\n768\n40\n0\n1\n1\n' >"$e2e_run/config.txt"
cp "$e2e_run/config.txt" "$e2e_work/config.before"

e2e_start_hostile hang; e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_hostile_port"
size=$(xdotool getwindowgeometry "$e2e_window" | sed -n 's/^ *Geometry: //p')
[ "$size" = 800x600 ] || e2e_fail "the window is $size, not 800x600"
grep -q 'trying 800x600, depth 32, windowed' "$e2e_work/game.err" ||
    e2e_fail "no word of the refused settings: $(cat "$e2e_work/game.err")"

# A shot of play early in the round, however short it is, and one of an event if one shows.
take_shots() {
    if [ "$2" = 1 ] && [ "$3" = 6 ]; then e2e_shot "$shots/play.png"; fi
    if [ ! -e "$shots/event.png" ] && e2e_frame_has "$1" event=1; then e2e_shot "$shots/event.png"; fi
}
e2e_round_to_entry take_shots
[ -e "$shots/play.png" ] || e2e_fail "the round ended before a screenshot of play could be taken"
e2e_not_flat "$shots/play.png" >/dev/null
e2e_wait_frame 10 menu=0 scores=0
e2e_wait_frames 3 10; e2e_shot "$e2e_work/prompt.png"

for key in e 2 e; do e2e_press $key; done
e2e_press a shift
e2e_wait_frames 3 10; e2e_shot "$shots/nameentry.png"
# The typed name stands under the prompt, from x 390.
before=$(e2e_bright_pixels "$e2e_work/prompt.png" 60x22+388+300)
typed=$(e2e_bright_pixels "$shots/nameentry.png" 60x22+388+300)
[ "$typed" -gt $((before + 40)) ] ||
    e2e_fail "the typed name is not drawn ($typed bright pixels, $before before typing)"
[ "$(e2e_hostile_connections)" = 0 ] || e2e_fail "the server was contacted during the round"
# Return held until the download has reached the server, which then keeps the game waiting.
xdotool keydown Return
e2e_wait_connections 1 10
xdotool keyup Return
# Saved first, as the game meant to: the whole file, the name typed above the old entries,
# the score the frame log showed rounded, so perhaps one more than the table keeps.
saved_with() { e2e_write_scores "$e2e_work/expected" "e2eA:$1" "${e2e_lows[@]:0:9}" && cmp -s "$e2e_work/expected" "$e2e_run/hisc.dat"; }
saved_with "$e2e_end_score" || saved_with $((e2e_end_score - 1)) ||
    e2e_fail "hisc.dat is not e2eA $e2e_end_score above the old entries: $(od -An -c "$e2e_run/hisc.dat" | head -n 4)"
# The server holds the request for a minute; without a word from the game the exchange would
# take its whole 10 s.
start=$(date +%s%N)
kill -TERM "$e2e_game_pid"
e2e_wait_exit 10 "after SIGTERM during the download"
millis=$((($(date +%s%N) - start) / 1000000))
[ "$millis" -lt 5000 ] || e2e_fail "the game took $millis ms to end"
cmp -s "$e2e_run/config.txt" "$e2e_work/config.before" || e2e_fail "config.txt was changed"
echo "PASS: round ended at score $e2e_end_score after $e2e_sweeps sweeps, saved before the download," \
    "ended $millis ms after SIGTERM"
