#!/usr/bin/env bash
# Started where there is no display and no video driver chosen, the game says on stderr that it
# cannot open its window and ends with status 1, writing nothing to its standard output (no
# text-mode picture, no terminal escape codes).
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_setup nodisplay
status=0
(cd "$e2e_run" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
    timeout -s KILL 60 "$e2e_game" >"$e2e_work/game.out" 2>"$e2e_work/game.err" </dev/null) ||
    status=$?
[ "$status" = 1 ] || e2e_fail "the game ended with status $status, not 1"
[ ! -s "$e2e_work/game.out" ] ||
    e2e_fail "the game wrote to its output: $(head -c 120 "$e2e_work/game.out" | od -An -c | head -n 3)"
grep -q 'cannot open the game window' "$e2e_work/game.err" ||
    e2e_fail "no word of the missing window: $(head -c 300 "$e2e_work/game.err")"
echo "PASS: without a display: status 1, nothing on stdout, \"$(head -n 1 "$e2e_work/game.err")\""
