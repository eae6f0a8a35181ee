#!/usr/bin/env bash
# cmake --install into fresh prefixes, in the default layout and in Debian's games layout
# (built once more for it), then each installed game on a virtual X display, started from an
# unrelated folder: it draws its textured, moving scene from the installed data, gives its
# window the icon, keeps config.txt in ~/.config/orbelle, ends with status 0 on SIGTERM and
# writes nothing where it was started (a folder that holds a data/ of its own, which once made
# it write there).
# The desktop entry, metainfo, icons, manual pages and the server's systemd unit are checked too.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_setup install
work=$e2e_work
app_id=io.github.orbelle.Orbelle

# checkLayout PREFIX BINDIR DATADIR: every file where desktops, man and the game look for it.
checkLayout() {
    local prefix=$1 bindir=$2 datadir=$3 file size
    for file in "$bindir/orbelle" bin/orbelle-score-server "share/applications/$app_id.desktop" \
        "share/metainfo/$app_id.metainfo.xml" share/icons/hicolor/scalable/apps/orbelle.svg \
        share/man/man6/orbelle.6 share/man/man8/orbelle-score-server.8 \
        lib/systemd/system/orbelle-score-server.service; do
        [ -f "$prefix/$file" ] || e2e_fail "$file was not installed"
    done
    for size in 16 32 48 64 128 256; do
        cmp -s "$ORBELLE_SOURCE_DIR/data/icons/orbelle-$size.png" \
            "$prefix/share/icons/hicolor/${size}x$size/apps/orbelle.png" ||
            e2e_fail "the $size px icon was not installed intact"
    done
    for file in "$ORBELLE_SOURCE_DIR"/data/*.*; do
        cmp -s "$file" "$prefix/$datadir/orbelle/data/$(basename "$file")" ||
            e2e_fail "data/$(basename "$file") was not installed intact into $datadir"
    done
    for file in applications icons metainfo man; do
        [ "$datadir" = share ] || [ ! -e "$prefix/$datadir/$file" ] || e2e_fail "$file went to $datadir"
    done
}

# checkUnit PREFIX: the unit starts the installed server, on loopback, with its database in its
# state folder, with options the server takes (it refuses others with status 2).
checkUnit() {
    local prefix=$1 unit exec_line command server_pid
    unit="$prefix/lib/systemd/system/orbelle-score-server.service"
    exec_line=$(grep '^ExecStart=' "$unit") || e2e_fail "the unit has no ExecStart"
    read -r -a command <<<"${exec_line#ExecStart=}"
    [ "${command[0]}" = "$prefix/bin/orbelle-score-server" ] ||
        e2e_fail "ExecStart runs ${command[0]}, not the installed server"
    [ -x "${command[0]}" ] || e2e_fail "ExecStart names ${command[0]}, which does not exist"
    [[ "$exec_line" == *"--listen 127.0.0.1 "* ]] || e2e_fail "the server does not listen on loopback"
    [[ "$exec_line" == *"--db /var/lib/orbelle-score-server/"* ]] ||
        e2e_fail "the database is not kept in the state folder"
    grep -qx 'StateDirectory=orbelle-score-server' "$unit" || e2e_fail "the unit has no state folder"
    grep -qx 'DynamicUser=yes' "$unit" || e2e_fail "the server does not run as a dynamic user"
    "${command[0]}" "${command[@]:1:4}" --port 0 --db "$work/probe.db" >"$work/server.out" 2>&1 &
    server_pid=$!
    for _ in $(seq 1 50); do
        grep -q listening "$work/server.out" && break
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q 'listening on 127.0.0.1:' "$work/server.out" ||
        e2e_fail "the server did not start with the unit's options: $(cat "$work/server.out")"
    kill -TERM "$server_pid"
    wait "$server_pid" || e2e_fail "the server did not stop cleanly"
    command -v systemd-analyze >/dev/null || e2e_fail "systemd-analyze is missing (tools/install-deps.sh --tests)"
    # MANPATH: the unit's Documentation= names the installed manual page.
    MANPATH="$prefix/share/man" systemd-analyze verify "$unit" >"$work/verify.out" 2>&1 ||
        e2e_fail "systemd-analyze: $(cat "$work/verify.out")"
    # A server that strangers reach runs sandboxed: an exposure of 2.0 or lower.
    exposure=$(systemd-analyze security --offline=true "$unit" 2>&1 |
        sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
    awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }' ||
        e2e_fail "systemd-analyze security rates the unit '${exposure:-unknown}'"
}

# checkDesktopFiles PREFIX: the entry, the metainfo naming it and the scalable icon are valid.
checkDesktopFiles() {
    local prefix=$1 entry="$1/share/applications/$app_id.desktop"
    desktop-file-validate "$entry" >"$work/desktop.out" 2>&1 ||
        e2e_fail "desktop entry: $(cat "$work/desktop.out")"
    grep -qx 'Exec=orbelle' "$entry" || e2e_fail "the desktop entry does not start orbelle"
    grep -qx 'Icon=orbelle' "$entry" || e2e_fail "the desktop entry does not name the installed icon"
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" \
        >"$work/appstream.out" 2>&1 || e2e_fail "metainfo: $(cat "$work/appstream.out")"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
        "$prefix/share/metainfo/$app_id.metainfo.xml" ||
        e2e_fail "the metainfo does not name the installed desktop entry"
    python3 -c 'import sys, xml.etree.ElementTree as t
sys.exit(t.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' \
        "$prefix/share/icons/hicolor/scalable/apps/orbelle.svg" ||
        e2e_fail "the scalable icon is no SVG document"
}

# playInstalled GAME: the installed game, started from an unrelated folder with a new HOME,
# draws its scene with its icon and keeps its files at home.
playInstalled() {
    local spread
    e2e_game=$1
    rm -rf "$e2e_run" "$e2e_work/home"
    mkdir "$e2e_run" "$e2e_work/home"
    ln -s "$ORBELLE_SOURCE_DIR/data" "$e2e_run/data"
    e2e_start_game XDG_DATA_HOME= XDG_CONFIG_HOME= HOME="$e2e_work/home"
    xprop -id "$e2e_window" WM_HINTS | grep -q 'bitmap id # to use for icon' ||
        e2e_fail "the window has no icon"
    e2e_wait_frames 20 30
    e2e_shot "$e2e_work/shot.png"
    e2e_wait_frames 10 30
    e2e_shot "$e2e_work/shot2.png"
    kill -TERM "$e2e_game_pid"
    e2e_wait_exit 15
    [ "$e2e_status" = 0 ] || e2e_fail "status $e2e_status after SIGTERM"
    [ ! -s "$e2e_work/game.err" ] || e2e_fail "the game complained"
    [ "$(ls -A "$e2e_run")" = data ] || e2e_fail "the game wrote into its working directory"
    printf '800\n600\n32\n1\n1\n1' | cmp -s - "$e2e_work/home/.config/orbelle/config.txt" ||
        e2e_fail "no default config.txt in ~/.config/orbelle"
    # The background picture covers the field; without its pictures the game leaves the strip
    # above the logo flat.
    spread=$(e2e_spread "$e2e_work/shot.png" 800x150+0+0)
    awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' || e2e_fail "$1 drew a flat scene ($spread)"
    # compare exits 1 when the pictures differ, which is what we hope for.
    changed=$(compare -metric AE "$e2e_work/shot.png" "$e2e_work/shot2.png" null: 2>&1 || true)
    [[ "$changed" =~ ^[0-9]+$ ]] && [ "$changed" -gt 50 ] || e2e_fail "the scene did not move: $changed"
    echo "$1 drew its scene (deviation $spread), moving ($changed pixels changed)"
}

e2e_start_display
prefix="$work/prefix"
cmake --install "$ORBELLE_BUILD_DIR" --prefix "$prefix" >"$work/install.out" 2>&1 ||
    e2e_fail "cmake --install: $(tail -5 "$work/install.out")"
checkLayout "$prefix" bin share
checkUnit "$prefix"
checkDesktopFiles "$prefix"
playInstalled "$prefix/bin/orbelle"

# Debian's games layout moves only the game and its data. Built without optimisation and
# without tests: only the install rules and the compiled-in data path differ.
games="$work/games"
cmake -S "$ORBELLE_SOURCE_DIR" -B "$work/build-games" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_INSTALL_BINDIR=games -DCMAKE_INSTALL_DATADIR=share/games -DBUILD_TESTING=OFF \
    -DORBELLE_BENCH=OFF >"$work/games-build.out" 2>&1 &&
    cmake --build "$work/build-games" -j2 --target orbelle orbelle-score-server \
        >>"$work/games-build.out" 2>&1 &&
    cmake --install "$work/build-games" --prefix "$games" >>"$work/games-build.out" 2>&1 ||
    e2e_fail "games layout build: $(tail -5 "$work/games-build.out")"
checkLayout "$games" games share/games
[ ! -e "$games/games/orbelle-score-server" ] || e2e_fail "the server went to games/"
checkUnit "$games"
playInstalled "$games/games/orbelle"

echo "PASS: both layouts installed where desktops and man look; the installed games drew their scene with their icon and kept their settings in the home folder"
