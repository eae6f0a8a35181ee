#!/usr/bin/env bash
# The real program without a display: the exit statuses of --help, --version, a stray argument,
# a copy without its data and a missing display (nothing on stdout: no text-mode picture),
# creating no files. (The man pages' groff warnings are lintian tags: deb_package_test.sh.)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup command-line
home="$e2e_work/home" empty="$e2e_work/empty"
mkdir "$home" "$empty"

# run DIR GAME ARGS...: the game from DIR with no display and a fresh home; sets status, out, err.
run() {
    status=0
    (cd "$1" && env -u DISPLAY -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u ORBELLE_FRAME_LOG \
        HOME="$home" "${@:2}" >"$e2e_work/out" 2>"$e2e_work/err") || status=$?
    out=$(cat "$e2e_work/out") err=$(cat "$e2e_work/err")
}
nothing_created() { [ -z "$(find "$empty" "$home" -mindepth 1)" ] || e2e_fail "$1 created files"; }

# The texts themselves are pinned by the unit test; here the real program ends on them.
for call in --help:0 --version:0 --bogus:2; do
    run "$empty" "$e2e_game" "${call%:*}"
    [ "$status" = "${call#*:}" ] || e2e_fail "${call%:*} ended with status $status: $err"
    [ -n "$out$err" ] || e2e_fail "${call%:*} printed nothing"
    nothing_created "${call%:*}"
done

# A copy outside the build tree is an installation without its data, even started beside the
# source tree's data/.
mkdir -p "$e2e_work/copy/bin"
cp "$e2e_game" "$e2e_work/copy/bin/orbelle"
run "$e2e_run" "$e2e_work/copy/bin/orbelle"
[ "$status" = 1 ] || e2e_fail "a game without data ended with status $status: $err"
[ "$(printf '%s\n' "$err" | wc -l)" = 1 ] || e2e_fail "a game without data said more than one line: $err"
[[ "$err" == *"$e2e_work/copy/share/orbelle"* ]] ||
    e2e_fail "a game without data did not name where it looked: $err"
[ "$(ls -A "$e2e_run")" = data ] || e2e_fail "a game without data wrote: $(ls -A "$e2e_run")"
nothing_created "a game without data"

run "$e2e_run" env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
    timeout -s KILL 60 "$e2e_game"
[ "$status" = 1 ] || e2e_fail "without a display the game ended with status $status, not 1"
[ -z "$out" ] || e2e_fail "without a display the game wrote: $(head -c 120 <<<"$out" | od -An -c)"
[[ "$err" == *"cannot open the game window"* ]] || e2e_fail "no word of the missing window: $err"
echo "PASS: --help, --version, a stray argument, missing data and a missing display end without a window"
