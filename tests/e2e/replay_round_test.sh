#!/usr/bin/env bash
# A round played with key presses against the real score server: its replay lies in replays/
# beside hisc.dat once a name typed on a German keyboard ("Jü") is entered, `orbelle --verify`
# finds it reaches the score the round ended with, Return on the high-score screen sends it
# after the signed uploads of the table, and the server checks it, lists the entry as verified
# under the name as typed and serves the replay back byte for byte; the game draws the list it
# then fetches; `orbelle --replay` shows the same round to its end, until Escape. On SQLite only:
# the stores meet replays in server_page_test.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup replay
e2e_write_lows
e2e_start_server --db "$e2e_work/scores.db" --quiet && port=$e2e_server_port
e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$port"
e2e_wait_frame 10 menu=1 scores=0 selection=0
e2e_press Return; e2e_wait_frame 10 menu=0 over=0
e2e_play_to_entry
end_score=$e2e_end_score
setxkbmap -display "$DISPLAY" de
for key in J udiaeresis Return; do e2e_press "$key"; done
e2e_wait_frame 30 scores=1 entry=0
e2e_wait_frames 3 10; e2e_shot "$e2e_work/highscores.png"; e2e_not_flat "$e2e_work/highscores.png" >/dev/null
# The column of internet lines to the right of the rank numbers, ranks 1 to 10.
internet=215x210+585+320 && listed=$(e2e_bright_pixels "$e2e_work/highscores.png" $internet)

replays=("$e2e_run"/replays/*.orbr)
[ ${#replays[@]} = 1 ] && [ -f "${replays[0]}" ] || e2e_fail "not one replay beside hisc.dat: $(ls -A "$e2e_run/replays" 2>&1)"
replay=${replays[0]}
verdict=$("$ORBELLE_BUILD_DIR/orbelle" --verify "$replay" 2>&1) || e2e_fail "--verify refused the replay: $verdict"
# The frame log rounds the score, the table cuts it.
[[ "$verdict" =~ ^score\ ($end_score|$((end_score - 1)))\ frames\ ([0-9]+)$ ]] ||
    e2e_fail "--verify says '$verdict' of a round that ended at $end_score"
score=${BASH_REMATCH[1]} frames=${BASH_REMATCH[2]}

e2e_press Return
# The lows uploaded beside it are signed only.
entry="{\"rank\":1,\"name\":\"Jü\",\"score\":$score,\"verified\":true,\"replay\":\"/replays/1\"}"
verified() { [[ "$(e2e_http "$port" /scores.json)" == *"$entry"* ]]; }
e2e_wait 20 "$entry in scores.json" verified
[ "$(grep -o '"verified":true' "$e2e_work/body" | wc -l)" = 1 ] || e2e_fail "more than the round verified: $(cat "$e2e_work/body")"
e2e_http "$port" /replays/1 >/dev/null && cmp -s "$e2e_work/body" "$replay" ||
    e2e_fail "the server keeps other bytes than the replay file"
expected=$(printf '200 J\xfc %s\n' "$score" && printf '200 %s\n' "${e2e_lows[@]:0:9}" | tr : ' ')
[ "$(e2e_rank_lines "$port")" = "$expected" ] || e2e_fail "the server lists: $(e2e_rank_lines "$port")"
e2e_wait_frame 20 scores=1 menu=1
e2e_wait_frames 3 10; e2e_shot "$e2e_work/internet.png"
drawn=$(e2e_bright_pixels "$e2e_work/internet.png" $internet)
[ "$drawn" -gt $((listed + 300)) ] || e2e_fail "the ten entries are not drawn ($drawn bright pixels, $listed before)"
e2e_exit_from_score_screen
e2e_stop_server

# Watched, the round runs its frames again, the spike ball hits as it did, and Escape ends it.
printf '#!/bin/sh\nexec "%s" --replay "%s"\n' "$ORBELLE_BUILD_DIR/orbelle" "$replay" >"$e2e_work/watch"
chmod +x "$e2e_work/watch"
e2e_game="$e2e_work/watch"
e2e_start_game
e2e_wait_frame 60 over=1 menu=0
watched=$(e2e_frame_count)
[ "$watched" -ge "$frames" ] || e2e_fail "the round was over after $watched frames, not $frames"
grep -q " over=1 .*score=$end_score$" "$e2e_frames" || e2e_fail "the watched round did not end at $end_score"
e2e_press Escape; e2e_wait_exit 15 "after Escape"
echo "PASS: a round of $frames frames at $score recorded, verified by the game and the server, sent and watched"
