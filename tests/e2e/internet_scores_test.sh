#!/usr/bin/env bash
# The game against the real score server on loopback, driven with key presses: the high-score
# screen draws the server's list, and Return there uploads the local table (names with blanks,
# "&", "%", "+" and "#", a negative score) so that the server then lists exactly the ten local
# entries. ORBELLE_SCREENSHOT_DIR, when set, receives internet.png.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup internet
shots="${ORBELLE_SCREENSHOT_DIR:-$e2e_work}"
e2e_start_server --db "$e2e_work/scores.db" --quiet
upload() { e2e_upload "$e2e_server_port" 127.0.0.1 "$2" "$(printf '%s' "$1" | xxd -p)"; }

# Two of the local entries are on the server already: after the upload it holds the ten.
local_entries=("Ann Lee:900" "R&D 50%:800" "Mia+Leo:700" "Zoe:650" "Kai:600" "Ona:500"
    "Pax:400" "e2e:300" "#1 fan:200" "Neg:-5")
e2e_write_scores "$e2e_run/hisc.dat" "${local_entries[@]}"
expected=$(printf '200 %s\n' "${local_entries[@]}" | sed 's/:\([-0-9]*\)$/ \1/')
[ "$(upload 'Ann Lee' 900) $(upload Zoe 650)" = "200 200" ] || e2e_fail "seeding failed"

# The column of internet lines to the right of the rank numbers, ranks 1 to 10.
internet_column=215x210+585+320
e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_server_port"
e2e_press Down
e2e_wait_frame 10 selection=1 scores=0
e2e_press Return
e2e_wait_frame 20 scores=1 selection=1
e2e_wait_frames 3 10
e2e_shot "$e2e_work/seeded.png"
seeded=$(e2e_bright_pixels "$e2e_work/seeded.png" "$internet_column")

e2e_press Return
e2e_wait_frames 3 30
list=$(e2e_rank_lines "$e2e_server_port")
[ "$list" = "$expected" ] || e2e_fail "after the upload the server lists:"$'\n'"$list"
e2e_shot "$shots/internet.png"
uploaded=$(e2e_bright_pixels "$shots/internet.png" "$internet_column")
[ "$uploaded" -gt $((seeded + 300)) ] ||
    e2e_fail "the ten server entries are not drawn ($uploaded bright pixels, $seeded for two)"
e2e_exit_from_score_screen
e2e_stop_server
echo "PASS: internet column $seeded/$uploaded bright pixels (two/ten entries), ten entries listed"
