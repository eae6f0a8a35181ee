#!/usr/bin/env bash
# cmake --install into a fresh prefix: files where desktops, man and systemd look, valid and
# intact (Debian's games layout: deb_package_test.sh). Without a display the installed game ends
# with the statuses of --help, --version, a stray argument, a copy without its data and a
# missing display (nothing on stdout: no text-mode picture), creating no files; with one, it is
# played. (The man pages' groff warnings are lintian tags: deb_package_test.sh.)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup install
prefix="$e2e_work/prefix" app_id=io.github.orbelle.Orbelle
cmake --install "$ORBELLE_BUILD_DIR" --prefix "$prefix" >"$e2e_work/install.out" 2>&1 ||
    e2e_fail "cmake --install: $(tail -5 "$e2e_work/install.out")"
# In a fresh prefix a file that two rules install shows up twice, the second time "Up-to-date".
twice=$(sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$e2e_work/install.out" | sort | uniq -d)
[ -z "$twice" ] || e2e_fail "installed twice: $twice"
cd "$prefix"
# The programs are proved by playing and starting them below.
[ -f share/man/man6/orbelle.6 ] && [ -f share/man/man8/orbelle-score-server.8 ] || e2e_fail "a manual page is missing"
for size in 16 32 48 64 128 256; do
    cmp -s "$ORBELLE_SOURCE_DIR/data/icons/orbelle-$size.png" "share/icons/hicolor/${size}x$size/apps/orbelle.png" ||
        e2e_fail "the $size px icon was not installed intact"
done
for file in "$ORBELLE_SOURCE_DIR"/data/*.*; do
    cmp -s "$file" "share/orbelle/data/${file##*/}" || e2e_fail "data/${file##*/} was not installed intact"
done

entry="share/applications/$app_id.desktop" metainfo="share/metainfo/$app_id.metainfo.xml"
desktop-file-validate "$entry" >"$e2e_work/check.out" 2>&1 || e2e_fail "desktop entry: $(cat "$e2e_work/check.out")"
grep -qx 'Exec=orbelle' "$entry" || e2e_fail "the desktop entry does not start orbelle"
grep -qx 'Icon=orbelle' "$entry" || e2e_fail "the desktop entry does not name the installed icon"
appstreamcli validate --no-net "$metainfo" >"$e2e_work/check.out" 2>&1 || e2e_fail "metainfo: $(cat "$e2e_work/check.out")"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    e2e_fail "the metainfo does not name the installed desktop entry"
python3 -c 'import sys, xml.etree.ElementTree as t
sys.exit(t.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' \
    share/icons/hicolor/scalable/apps/orbelle.svg || e2e_fail "the scalable icon is no SVG document"

# The unit starts the installed server on loopback with its database in its state folder, as
# a dynamic user, with options the server takes (it refuses others with status 2).
unit="$prefix/lib/systemd/system/orbelle-score-server.service"
exec_line=$(grep '^ExecStart=' "$unit") || e2e_fail "the unit has no ExecStart"
read -r -a command <<<"${exec_line#ExecStart=}"
[ "${command[0]}" = "$prefix/bin/orbelle-score-server" ] || e2e_fail "ExecStart runs ${command[0]}"
[[ "$exec_line" == *"--listen 127.0.0.1 "* ]] || e2e_fail "the server does not listen on loopback"
[[ "$exec_line" == *"--db /var/lib/orbelle-score-server/"* ]] || e2e_fail "the database is not in the state folder"
grep -qx 'StateDirectory=orbelle-score-server' "$unit" || e2e_fail "the unit has no state folder"
grep -qx 'DynamicUser=yes' "$unit" || e2e_fail "the server does not run as a dynamic user"
e2e_server=${command[0]}
e2e_start_server "${command[@]:1}" --port 0 --db "$e2e_work/probe.db"
e2e_stop_server
command -v systemd-analyze >/dev/null || e2e_fail "systemd-analyze is missing (tools/install-deps.sh --tests)"
# MANPATH: the unit's Documentation= names the installed manual page.
MANPATH="$prefix/share/man" systemd-analyze verify "$unit" >"$e2e_work/check.out" 2>&1 ||
    e2e_fail "systemd-analyze: $(cat "$e2e_work/check.out")"
# A server that strangers reach runs sandboxed: an exposure of 2.0 or lower.
exposure=$(systemd-analyze security --offline=true "$unit" 2>&1 |
    sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }' ||
    e2e_fail "systemd-analyze security rates the unit '${exposure:-unknown}'"

home="$e2e_work/bare-home" empty="$e2e_work/empty"
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
    run "$empty" "$prefix/bin/orbelle" "${call%:*}"
    [ "$status" = "${call#*:}" ] || e2e_fail "${call%:*} ended with status $status: $err"
    [ -n "$out$err" ] || e2e_fail "${call%:*} printed nothing"
    nothing_created "${call%:*}"
done

# A copy of it elsewhere is an installation without its data, even started beside the source
# tree's data/.
mkdir -p "$e2e_work/copy/bin"
cp "$prefix/bin/orbelle" "$e2e_work/copy/bin/orbelle"
run "$e2e_run" "$e2e_work/copy/bin/orbelle"
[ "$status" = 1 ] || e2e_fail "a game without data ended with status $status: $err"
[ "$(printf '%s\n' "$err" | wc -l)" = 1 ] || e2e_fail "a game without data said more than one line: $err"
[[ "$err" == *"$e2e_work/copy/share/orbelle"* ]] ||
    e2e_fail "a game without data did not name where it looked: $err"
[ "$(ls -A "$e2e_run")" = data ] || e2e_fail "a game without data wrote: $(ls -A "$e2e_run")"
nothing_created "a game without data"

run "$e2e_run" env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
    timeout -s KILL 60 "$prefix/bin/orbelle"
[ "$status" = 1 ] || e2e_fail "without a display the game ended with status $status, not 1"
[ -z "$out" ] || e2e_fail "without a display the game wrote: $(head -c 120 <<<"$out" | od -An -c)"
[[ "$err" == *"cannot open the game window"* ]] || e2e_fail "no word of the missing window: $err"

e2e_start_display
e2e_play_installed "$prefix/bin/orbelle"
echo "PASS: installed where desktops, man and systemd look; --help, --version, a stray argument," \
    "missing data and a missing display end without a window; the installed game played"
