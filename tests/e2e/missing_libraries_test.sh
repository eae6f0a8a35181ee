#!/usr/bin/env bash
# Without the mixer and libcurl (files of their names that are no libraries, found first) the
# game says once for each on stderr what is lost, and plays on: silent, asking no score server,
# never stalling. A build that links them as usual has nothing to open (exit 77, skipped).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
if ldd "$e2e_game" | grep -q 'libcurl\|libSDL_mixer'; then
    echo "SKIP: this game is linked with the mixer and libcurl"
    exit 77
fi
e2e_setup missing-libraries
fake="$e2e_work/libraries"
mkdir "$fake"
strings "$e2e_game" >"$e2e_work/strings" # the names it opens the libraries by
mixer=$(grep -m 1 -x 'libSDL_mixer[-.0-9]*\.so[.0-9]*' "$e2e_work/strings")
curl=$(grep -m 1 -x 'libcurl\.so[.0-9]*' "$e2e_work/strings")
: >"$fake/$mixer"
: >"$fake/$curl"

e2e_start_hostile; e2e_start_display
e2e_start_game LD_LIBRARY_PATH="$fake" ORBELLE_SCORE_SERVER="127.0.0.1:$e2e_hostile_port"
e2e_wait_frames 10 30 # sound is set up once the first frame is shown
e2e_press Down; e2e_wait_frame 10 selection=1
e2e_press Return; e2e_wait_frame 10 scores=1
e2e_press Return; e2e_wait_frames 3 10 # an upload and a download
e2e_exit_from_score_screen
[ "$(e2e_hostile_connections)" = 0 ] || e2e_fail "a score server was asked"
told() { grep -c -x "orbelle: cannot open $1 (.*$1: .*): $2" "$e2e_work/game.err" || true; }
[ "$(told "$mixer" 'no sound or music this run')" = 1 ] &&
    [ "$(told "$curl" 'internet high scores are off this run')" = 1 ] &&
    [ "$(wc -l <"$e2e_work/game.err")" = 2 ] ||
    e2e_fail "not one line for each library: $(cat "$e2e_work/game.err")"
echo "PASS: $(cat "$e2e_work/game.err")"
