#!/usr/bin/env bash
# The Debian packages: built, lintian-clean, installed in the games layout, the game played and
# the server asked, then purged (also on failure). Needs root or password-less sudo.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

packages=(orbelle orbelle-score-server) sudo=()
if [ "$(id -u)" != 0 ]; then
    sudo -n true 2>/dev/null || { echo "SKIP: installing packages needs root or password-less sudo"; exit 77; }
    sudo=(sudo -n)
fi
if dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -q 'ok installed'; then
    echo "FAIL: ${packages[*]} installed already, and this test removes what it installed" >&2
    exit 1
fi
e2e_setup deb
installed=""
apt_get() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600 "$@"; }
removePackages() {
    [ -z "$installed" ] || apt_get purge "${packages[@]}" >"$e2e_work/purge.log" 2>&1 ||
        echo "could not remove ${packages[*]}: $(tail -n 3 "$e2e_work/purge.log")" >&2
    installed=""
}
trap 'removePackages; e2e_cleanup' EXIT

# The source as a checkout holds it: tracked and new files, no build folders.
src="$e2e_work/src/orbelle"
mkdir -p "$src"
if git -C "$ORBELLE_SOURCE_DIR" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$ORBELLE_SOURCE_DIR" && git ls-files -z --cached --others --exclude-standard |
        tar --null -T - --ignore-failed-read -cf -) | tar -x -C "$src"
else
    # Only the packaging's build folders: debian/orbelle.install is source.
    tar -C "$ORBELLE_SOURCE_DIR" --exclude='./build*' --exclude='./obj-*' --exclude='./debian/tmp' \
        --exclude='./debian/orbelle' --exclude='./debian/orbelle-score-server' -cf - . | tar -x -C "$src"
fi
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 nocheck" dpkg-buildpackage -us -uc -b) \
    >"$e2e_work/build.log" 2>&1 || e2e_fail "dpkg-buildpackage: $(tail -n 20 "$e2e_work/build.log")"
changes=$(ls "$e2e_work"/src/orbelle_*.changes)
lintian --fail-on error "$changes" >"$e2e_work/lintian.log" 2>&1 ||
    e2e_fail "lintian: $(grep -v '^[WIP]:' "$e2e_work/lintian.log" | head -n 20)"
echo "lintian: $(grep -c '^W:' "$e2e_work/lintian.log" || true) warnings, no errors"

# apt reads the packages as its own unprivileged user.
chmod 755 "$e2e_work" "$e2e_work/src"
installed=1
apt_get install --no-install-recommends "$e2e_work"/src/orbelle_*.deb "$e2e_work"/src/orbelle-score-server_*.deb \
    >"$e2e_work/install.log" 2>&1 || e2e_fail "apt-get install: $(tail -n 10 "$e2e_work/install.log")"
# The game, its data and the server are proved by playing and asking below.
for file in /usr/share/{applications/io.github.orbelle.Orbelle.desktop,metainfo/io.github.orbelle.Orbelle.metainfo.xml} \
    /usr/share/icons/hicolor/256x256/apps/orbelle.png /usr/share/man/man6/orbelle.6.gz \
    /usr/share/man/man8/orbelle-score-server.8.gz /lib/systemd/system/orbelle-score-server.service; do
    [ -f "$file" ] || e2e_fail "the packages did not install $file"
done
for file in /usr/games/orbelle-score-server /usr/share/games/{applications,icons,metainfo,man}; do
    [ ! -e "$file" ] || e2e_fail "$file is in the games layout"
done
e2e_start_display
e2e_play_installed /usr/games/orbelle
e2e_server=/usr/bin/orbelle-score-server
e2e_start_server --db "$e2e_work/scores.db"
[ "$(e2e_http "$e2e_server_port" '/velmo/orbelle/haeennatykset.php?sija=1')" = "200 " ] ||
    e2e_fail "the installed server did not answer a rank request: $(cat "$e2e_work/body")"
e2e_stop_server
removePackages
[ ! -e /usr/games/orbelle ] && [ ! -e /usr/bin/orbelle-score-server ] || e2e_fail "apt-get purge left the programs"
echo "PASS: packages built, lintian clean of errors, installed game played, installed server answered, packages removed"
