#!/usr/bin/env bash
# The comforts with real keys: a window laid over the game and closed leaves no hole; F11 to full
# screen and back with the same picture; P holds a round still (not a pixel moves) and resumes
# it; a name typed on a German keyboard shows its "ü" as the letter, not as the box, and the
# high-score screen shows. ORBELLE_SCREENSHOT_DIR keeps the screenshots.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup comforts
shots="${ORBELLE_SCREENSHOT_DIR:-$e2e_work/shots}"
mkdir -p "$shots"
e2e_write_lows
e2e_start_display
e2e_start_game

# The screen-sized window SDL maps for full screen is viewable while it is shown.
full_screen() {
    local id
    id=$(xwininfo -root -children | awk '/ 1024x768\+0\+0 / { print $1; exit }')
    [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable'
}
windowed() { ! full_screen; }
differing() { compare -metric AE "$@" null: 2>&1 || true; } # compare exits 1 when they differ
e2e_wait_frame 10 menu=1

# Another window laid over the menu and closed again: the part it covered shows the game again
# (the frame after an expose is drawn whole), but for the few moving sprites that cross it.
cover=300x200+60+60
e2e_wait_frames 10 30; e2e_shot "$e2e_work/before.png"
xmessage -geometry "$cover" cover 2>/dev/null & cover_pid=$!
e2e_track "$cover_pid"
e2e_wait 10 "the cover window" eval 'xwininfo -name xmessage 2>/dev/null | grep -q IsViewable'
e2e_wait_frames 5 30; kill "$cover_pid"
e2e_wait 10 "the cover gone" eval '! xwininfo -name xmessage >/dev/null 2>&1'
e2e_wait_frames 5 30; e2e_shot "$e2e_work/after.png"
for shot in before after; do "$e2e_convert" "$e2e_work/$shot.png" -crop "$cover" +repage "$e2e_work/$shot-part.png"; done
changed=$(differing -fuzz 5% "$e2e_work/before-part.png" "$e2e_work/after-part.png")
[[ "$changed" =~ ^[0-9]+$ ]] && [ "$changed" -le 3000 ] || e2e_fail "$changed of 60000 pixels the cover lay over show no game"

windowed || e2e_fail "full screen before F11"
e2e_press F11; e2e_wait 10 "full screen" full_screen
e2e_wait_frames 3 10; import -window root "$shots/fullscreen-menu.png"
e2e_press F11; e2e_wait 10 "a window again" windowed

e2e_press Return; e2e_wait_frame 10 menu=0 over=0
e2e_press p; e2e_wait_frame 10 paused=1
e2e_wait_frames 2 10; e2e_shot "$shots/paused.png"
e2e_wait_frames 64 10; e2e_shot "$e2e_work/later.png"
e2e_press F11; e2e_wait 10 "full screen" full_screen; e2e_wait_frames 3 10
import -window root "$e2e_work/screen.png"
"$e2e_convert" "$e2e_work/screen.png" -crop 800x600+112+84 +repage "$e2e_work/full.png"
e2e_press F11; e2e_wait 10 "a window again" windowed; e2e_wait_frames 3 10
e2e_shot "$e2e_work/back.png"
for shot in later full back; do
    moved=$(differing "$shots/paused.png" "$e2e_work/$shot.png")
    [ "$moved" = 0 ] || e2e_fail "the $shot picture differs from the paused one by $moved pixels"
done
e2e_shows paused=1 || e2e_fail "F11 ended the pause"
xdotool windowfocus "$e2e_window"
e2e_press p; e2e_wait_frame 10 paused=0; e2e_wait_frames 10 10; e2e_shot "$e2e_work/resumed.png"
moved=$(differing "$shots/paused.png" "$e2e_work/resumed.png")
[ "$moved" -gt 50 ] || e2e_fail "the round did not go on after P: $moved pixels changed"

e2e_play_until_over
e2e_wait_frame 10 entry=1
setxkbmap -display "$DISPLAY" de
e2e_press j shift; e2e_press udiaeresis; e2e_press p; e2e_press m
e2e_shows paused=0 || e2e_fail "P paused the name entry"
e2e_wait_frames 3 10; e2e_shot "$shots/name-umlaut.png"
# The second letter's cell, from x 398 and y 304 (the name stands at 390, 280): its dots are
# exactly white, each two pixels tall, and nothing else in the cell is.
umlaut=$(for row in .X.X. ..... X...X X...X X...X X..XX .XX.X .....; do echo "$row $row"; done)
drawn=$("$e2e_convert" "$shots/name-umlaut.png" -crop 5x16+398+304 +repage txt: |
    awk -F'[ ,:]+' 'NR > 1 { row[$2] = row[$2] ($0 ~ /#FFFFFF/ ? "X" : ".") }
        END { for (y = 0; y < 16; y += 2) print row[y], row[y + 1] }')
[ "$drawn" = "$umlaut" ] || e2e_fail "the name shows '$drawn' for ü, not '$umlaut'"
e2e_press Return; e2e_wait_frame 30 scores=1 entry=0
e2e_wait_frames 3 10; e2e_shot "$shots/highscores.png"; e2e_not_flat "$shots/highscores.png" >/dev/null
grep -q "J$(printf '\xfc')pm" "$e2e_run/hisc.dat" || e2e_fail "hisc.dat holds no Jüpm"
e2e_exit_from_score_screen
echo "PASS: full screen and back, a still pause, ü typed and drawn"
