#!/usr/bin/env bash
# cmake --install into a fresh prefix, then the installed game on a virtual X display, started
# from an unrelated folder: it draws its textured scene from the installed data, keeps config.txt
# in ~/.local/share/orbelle and writes nothing where it was started. The desktop entry and the
# server's systemd unit are checked too.
set -euo pipefail

: "${ORBELLE_SOURCE_DIR:?}" "${ORBELLE_BUILD_DIR:?}"
work=$(mktemp -d /tmp/orbelle-install-XXXXXX)
game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix="$work/prefix"
cmake --install "$ORBELLE_BUILD_DIR" --prefix "$prefix" >"$work/install.out" 2>&1 ||
    fail "cmake --install: $(tail -5 "$work/install.out")"
for file in bin/orbelle bin/orbelle-score-server share/applications/orbelle.desktop \
    share/icons/hicolor/64x64/apps/orbelle.png lib/systemd/system/orbelle-score-server.service \
    share/man/man8/orbelle-score-server.8; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
for file in "$ORBELLE_SOURCE_DIR"/data/*; do
    cmp -s "$file" "$prefix/share/orbelle/data/$(basename "$file")" ||
        fail "data/$(basename "$file") was not installed intact"
done

# The unit starts the installed server, on loopback, with its database in its state folder.
unit="$prefix/lib/systemd/system/orbelle-score-server.service"
exec_line=$(grep '^ExecStart=' "$unit") || fail "the unit has no ExecStart"
read -r -a command <<<"${exec_line#ExecStart=}"
[ "${command[0]}" = "$prefix/bin/orbelle-score-server" ] ||
    fail "ExecStart runs ${command[0]}, not the installed server"
[ -x "${command[0]}" ] || fail "ExecStart names ${command[0]}, which does not exist"
[[ "$exec_line" == *"--listen 127.0.0.1 "* ]] || fail "the server does not listen on loopback"
[[ "$exec_line" == *"--db /var/lib/orbelle-score-server/"* ]] || fail "the database is not kept in the state folder"
grep -qx 'StateDirectory=orbelle-score-server' "$unit" || fail "the unit has no state folder"
grep -qx 'DynamicUser=yes' "$unit" || fail "the server does not run as a dynamic user"
# The options of ExecStart must be ones the server takes: it refuses others with status 2.
"${command[0]}" "${command[@]:1:4}" --port 0 --db "$work/probe.db" >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 1 50); do
    grep -q listening "$work/server.out" && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
grep -q 'listening on 127.0.0.1:' "$work/server.out" ||
    fail "the server did not start with the unit's options: $(cat "$work/server.out")"
kill -TERM "$server_pid"
wait "$server_pid" || fail "the server did not stop cleanly"
if command -v systemd-analyze >/dev/null; then
    # MANPATH: the unit's Documentation= names the installed manual page.
    MANPATH="$prefix/share/man" systemd-analyze verify "$unit" >"$work/verify.out" 2>&1 ||
        fail "systemd-analyze: $(cat "$work/verify.out")"
    # A server that strangers reach runs sandboxed: an exposure of 2.0 or lower.
    exposure=$(systemd-analyze security --offline=true "$unit" 2>&1 |
        sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
    awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }' ||
        fail "systemd-analyze security rates the unit '${exposure:-unknown}'"
fi

desktop-file-validate "$prefix/share/applications/orbelle.desktop" >"$work/desktop.out" 2>&1 ||
    fail "desktop entry: $(cat "$work/desktop.out")"
grep -qx 'Exec=orbelle' "$prefix/share/applications/orbelle.desktop" ||
    fail "the desktop entry does not start orbelle"

# Runs inside the virtual display: the installed game from an empty folder, HOME a new folder.
mkdir "$work/start" "$work/home"
cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
work=$1
cd "$work/start"
env -u XDG_DATA_HOME HOME="$work/home" "$work/prefix/bin/orbelle" >"$work/game.out" \
    2>"$work/game.err" &
pid=$!
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Orbelle$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "no game window appeared" >"$work/session.err"
    kill -KILL "$pid" 2>/dev/null
    exit 1
fi
sleep 1 # let the first frames draw
import -window root "$work/shot.png"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
echo "$status" >"$work/game.status"
SESSION

# A session that never got as far as the game (a lost race for a display number) is retried.
for attempt in 1 2 3; do
    rm -f "$work/session.err" "$work/game.status" "$work/game.err"
    env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' \
        bash "$work/session.sh" "$work" 2>"$work/xvfb.err" && break
    [ -s "$work/game.err" ] && break
done
[ -f "$work/game.status" ] ||
    fail "session: $(cat "$work/session.err" "$work/xvfb.err" "$work/game.err" 2>/dev/null)"
status=$(cat "$work/game.status")
[ "$status" = 0 ] || fail "game exited with status $status after SIGTERM: $(cat "$work/game.err")"
[ ! -s "$work/game.err" ] || fail "the game complained: $(cat "$work/game.err")"

mkdir -p /tmp/orbelle-install-shots
cp "$work/shot.png" /tmp/orbelle-install-shots/

left=$(ls -A "$work/start")
[ -z "$left" ] || fail "the game wrote into its working directory: $left"
config="$work/home/.local/share/orbelle/config.txt"
[ -f "$config" ] || fail "no config.txt in ~/.local/share/orbelle"
printf '800\n600\n32\n1\n1\n1' | cmp -s - "$config" ||
    fail "config.txt is not the default file: $(od -c "$config" | head -3)"

# The background picture covers the field; without its pictures the game leaves the strip above
# the logo flat.
spread=$(convert "$work/shot.png" -crop 800x150+0+0 +repage -format '%[fx:standard_deviation]' info:)
[[ "$spread" =~ ^[0-9.e-]+$ ]] || fail "could not measure the scene: $spread"
awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' ||
    fail "the installed game drew a flat scene (deviation $spread): data not found?"

echo "PASS: installed game drew its scene (deviation $spread) and kept its settings in the home folder"
