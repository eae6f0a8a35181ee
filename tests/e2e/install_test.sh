#!/usr/bin/env bash
# cmake --install into a fresh prefix: every file where desktops, man, systemd and the game
# look for it, the desktop entry, metainfo, icons and the server's systemd unit valid, and the
# installed game played on a virtual X display (e2e_play_installed). Debian's games layout is
# installed and played by deb_package_test.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_setup install
work=$e2e_work
app_id=io.github.orbelle.Orbelle

# checkLayout PREFIX: every file where desktops, man and the game look for it, intact.
checkLayout() {
    local prefix=$1 file size
    for file in bin/orbelle bin/orbelle-score-server "share/applications/$app_id.desktop" \
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
        cmp -s "$file" "$prefix/share/orbelle/data/$(basename "$file")" ||
            e2e_fail "data/$(basename "$file") was not installed intact"
    done
}

# checkUnit PREFIX: the unit starts the installed server, on loopback, with its database in its
# state folder, with options the server takes (it refuses others with status 2).
checkUnit() {
    local prefix=$1 unit exec_line command
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
    e2e_server=${command[0]}
    e2e_start_server "${command[@]:1}" --port 0 --db "$work/probe.db"
    e2e_stop_server
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

e2e_start_display
prefix="$work/prefix"
cmake --install "$ORBELLE_BUILD_DIR" --prefix "$prefix" >"$work/install.out" 2>&1 ||
    e2e_fail "cmake --install: $(tail -5 "$work/install.out")"
checkLayout "$prefix"
checkUnit "$prefix"
checkDesktopFiles "$prefix"
e2e_play_installed "$prefix/bin/orbelle"
echo "PASS: installed where desktops, man and systemd look; the installed game played"
