#!/usr/bin/env bash
# cmake --install into fresh prefixes, in the default layout and in Debian's games layout
# (built once more for it), then each installed game on a virtual X display, started from an
# unrelated folder: it draws its textured scene from the installed data, gives its window the
# icon, keeps config.txt in ~/.config/orbelle and writes nothing where it was started (a folder
# that holds a data/ of its own, which once made it write there).
# The desktop entry, metainfo, icons, manual pages and the server's systemd unit are checked too.
set -euo pipefail

: "${ORBELLE_SOURCE_DIR:?}" "${ORBELLE_BUILD_DIR:?}"
work=$(mktemp -d /tmp/orbelle-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
app_id=io.github.orbelle.Orbelle

# checkLayout PREFIX BINDIR DATADIR: every file where desktops, man and the game look for it.
checkLayout() {
    local prefix=$1 bindir=$2 datadir=$3 file size
    for file in "$bindir/orbelle" bin/orbelle-score-server "share/applications/$app_id.desktop" \
        "share/metainfo/$app_id.metainfo.xml" share/icons/hicolor/scalable/apps/orbelle.svg \
        share/man/man6/orbelle.6 share/man/man8/orbelle-score-server.8 \
        lib/systemd/system/orbelle-score-server.service; do
        [ -f "$prefix/$file" ] || fail "$file was not installed"
    done
    for size in 16 32 48 64 128 256; do
        cmp -s "$ORBELLE_SOURCE_DIR/data/icons/orbelle-$size.png" \
            "$prefix/share/icons/hicolor/${size}x$size/apps/orbelle.png" ||
            fail "the $size px icon was not installed intact"
    done
    for file in "$ORBELLE_SOURCE_DIR"/data/*.*; do
        cmp -s "$file" "$prefix/$datadir/orbelle/data/$(basename "$file")" ||
            fail "data/$(basename "$file") was not installed intact into $datadir"
    done
    for file in applications icons metainfo man; do
        [ "$datadir" = share ] || [ ! -e "$prefix/$datadir/$file" ] || fail "$file went to $datadir"
    done
}

# checkUnit PREFIX: the unit starts the installed server, on loopback, with its database in its
# state folder, with options the server takes (it refuses others with status 2).
checkUnit() {
    local prefix=$1 unit exec_line command server_pid
    unit="$prefix/lib/systemd/system/orbelle-score-server.service"
    exec_line=$(grep '^ExecStart=' "$unit") || fail "the unit has no ExecStart"
    read -r -a command <<<"${exec_line#ExecStart=}"
    [ "${command[0]}" = "$prefix/bin/orbelle-score-server" ] ||
        fail "ExecStart runs ${command[0]}, not the installed server"
    [ -x "${command[0]}" ] || fail "ExecStart names ${command[0]}, which does not exist"
    [[ "$exec_line" == *"--listen 127.0.0.1 "* ]] || fail "the server does not listen on loopback"
    [[ "$exec_line" == *"--db /var/lib/orbelle-score-server/"* ]] ||
        fail "the database is not kept in the state folder"
    grep -qx 'StateDirectory=orbelle-score-server' "$unit" || fail "the unit has no state folder"
    grep -qx 'DynamicUser=yes' "$unit" || fail "the server does not run as a dynamic user"
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
}

# checkDesktopFiles PREFIX: the entry, the metainfo naming it and the scalable icon are valid.
checkDesktopFiles() {
    local prefix=$1 entry="$1/share/applications/$app_id.desktop"
    desktop-file-validate "$entry" >"$work/desktop.out" 2>&1 ||
        fail "desktop entry: $(cat "$work/desktop.out")"
    grep -qx 'Exec=orbelle' "$entry" || fail "the desktop entry does not start orbelle"
    grep -qx 'Icon=orbelle' "$entry" || fail "the desktop entry does not name the installed icon"
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" \
        >"$work/appstream.out" 2>&1 || fail "metainfo: $(cat "$work/appstream.out")"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
        "$prefix/share/metainfo/$app_id.metainfo.xml" ||
        fail "the metainfo does not name the installed desktop entry"
    python3 -c 'import sys, xml.etree.ElementTree as t
sys.exit(t.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' \
        "$prefix/share/icons/hicolor/scalable/apps/orbelle.svg" ||
        fail "the scalable icon is no SVG document"
}

# Runs inside the virtual display: the installed game, HOME a new folder.
cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
work=$1 game=$2
cd "$work/start"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$work/home" "$game" >"$work/game.out" 2>"$work/game.err" &
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
xprop -id "$window" WM_HINTS >"$work/hints.txt" 2>&1
sleep 1 # let the first frames draw
import -window root "$work/shot.png"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
echo "$status" >"$work/game.status"
SESSION

# playInstalled GAME: the installed game draws its scene with its icon and keeps its files at home.
playInstalled() {
    local game=$1 attempt status left config spread
    rm -rf "$work/start" "$work/home"
    mkdir "$work/start" "$work/home"
    ln -s "$ORBELLE_SOURCE_DIR/data" "$work/start/data"
    # A session that never got as far as the game (a lost race for a display number) is retried.
    for attempt in 1 2 3; do
        rm -f "$work/session.err" "$work/game.status" "$work/game.err"
        env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' \
            bash "$work/session.sh" "$work" "$game" 2>"$work/xvfb.err" && break
        [ -s "$work/game.err" ] && break
    done
    [ -f "$work/game.status" ] ||
        fail "session: $(cat "$work/session.err" "$work/xvfb.err" "$work/game.err" 2>/dev/null)"
    status=$(cat "$work/game.status")
    [ "$status" = 0 ] || fail "game exited with status $status after SIGTERM: $(cat "$work/game.err")"
    [ ! -s "$work/game.err" ] || fail "the game complained: $(cat "$work/game.err")"
    grep -q 'bitmap id # to use for icon' "$work/hints.txt" ||
        fail "the window has no icon: $(cat "$work/hints.txt")"

    left=$(ls -A "$work/start")
    [ "$left" = data ] || fail "the game wrote into its working directory: $left"
    config="$work/home/.config/orbelle/config.txt"
    [ -f "$config" ] || fail "no config.txt in ~/.config/orbelle"
    printf '800\n600\n32\n1\n1\n1' | cmp -s - "$config" ||
        fail "config.txt is not the default file: $(od -c "$config" | head -3)"

    # The background picture covers the field; without its pictures the game leaves the strip
    # above the logo flat.
    spread=$(convert "$work/shot.png" -crop 800x150+0+0 +repage -format '%[fx:standard_deviation]' info:)
    [[ "$spread" =~ ^[0-9.e-]+$ ]] || fail "could not measure the scene: $spread"
    awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' ||
        fail "$game drew a flat scene (deviation $spread): data not found?"
    echo "$game drew its scene (deviation $spread)"
}

prefix="$work/prefix"
cmake --install "$ORBELLE_BUILD_DIR" --prefix "$prefix" >"$work/install.out" 2>&1 ||
    fail "cmake --install: $(tail -5 "$work/install.out")"
checkLayout "$prefix" bin share
checkUnit "$prefix"
checkDesktopFiles "$prefix"
playInstalled "$prefix/bin/orbelle"
mkdir -p /tmp/orbelle-install-shots
cp "$work/shot.png" /tmp/orbelle-install-shots/

# Debian's games layout moves only the game and its data. Built without optimisation and
# without tests: only the install rules and the compiled-in data path differ.
games="$work/games"
cmake -S "$ORBELLE_SOURCE_DIR" -B "$work/build-games" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_INSTALL_BINDIR=games -DCMAKE_INSTALL_DATADIR=share/games -DBUILD_TESTING=OFF \
    -DORBELLE_BENCH=OFF >"$work/games-build.out" 2>&1 &&
    cmake --build "$work/build-games" -j2 --target orbelle orbelle-score-server \
        >>"$work/games-build.out" 2>&1 &&
    cmake --install "$work/build-games" --prefix "$games" >>"$work/games-build.out" 2>&1 ||
    fail "games layout build: $(tail -5 "$work/games-build.out")"
checkLayout "$games" games share/games
[ ! -e "$games/games/orbelle-score-server" ] || fail "the server went to games/"
checkUnit "$games"
playInstalled "$games/games/orbelle"

echo "PASS: both layouts installed where desktops and man look; the installed games drew their scene with their icon and kept their settings in the home folder"
