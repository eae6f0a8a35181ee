#!/usr/bin/env bash
# The Debian packages: built from a copy of the source, without one lintian tag (pedantic and
# informational ones too), each file in its package and place, and the game played and the
# server asked from the packages unpacked into a folder. Only with ORBELLE_TEST_INSTALL_PACKAGES=1
# (CI) are they also installed with apt, played and purged: elsewhere the machine's packages,
# Orbelle's among them, are left alone.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

packages=(orbelle orbelle-data orbelle-score-server)
# Where each file belongs: a package and a path.
layout="orbelle usr/games/orbelle
orbelle usr/share/applications/io.github.orbelle.Orbelle.desktop
orbelle usr/share/metainfo/io.github.orbelle.Orbelle.metainfo.xml
orbelle usr/share/icons/hicolor/256x256/apps/orbelle.png
orbelle usr/share/man/man6/orbelle.6.gz
orbelle-data usr/share/games/orbelle/data/bg.tga
orbelle-data usr/share/games/orbelle/data/icons/orbelle-64.png
orbelle-score-server usr/bin/orbelle-score-server
orbelle-score-server usr/share/man/man8/orbelle-score-server.8.gz
orbelle-score-server lib/systemd/system/orbelle-score-server.service"

for tool in dpkg-buildpackage lintian fakeroot dh; do command -v "$tool" >/dev/null ||
    e2e_fail "$tool is missing (tools/install-deps.sh --tests)"; done
# Those of ours on the machine, in any state but purged.
present() { dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null | awk '$2 != "not-installed"'; }
install=${ORBELLE_TEST_INSTALL_PACKAGES:-0} sudo=()
if [ "$install" = 1 ]; then
    if [ "$(id -u)" != 0 ]; then
        sudo -n true 2>/dev/null || e2e_fail "ORBELLE_TEST_INSTALL_PACKAGES=1 needs root or password-less sudo"
        sudo=(sudo -n)
    fi
    [ -z "$(present)" ] || e2e_fail "this test purges what it installs, and the machine has: $(present | paste -sd ,)"
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
        "${packages[@]/#/--exclude=./debian/}" -cf - . | tar -x -C "$src"
fi
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 nocheck" dpkg-buildpackage -us -uc -b) \
    >"$e2e_work/build.log" 2>&1 || e2e_fail "dpkg-buildpackage: $(tail -n 20 "$e2e_work/build.log")"
changes=$(ls "$e2e_work"/src/orbelle_*.changes)
lintian -I --pedantic --fail-on info,pedantic,warning,error "$changes" >"$e2e_work/lintian.log" 2>&1 ||
    e2e_fail "lintian: $(grep -v 'root privileges' "$e2e_work/lintian.log" | head -n 20)"

# What each package holds: files and links, one path a line.
declare -A deb
for package in "${packages[@]}"; do
    deb[$package]=$(ls "$e2e_work/src/${package}"_*.deb) || e2e_fail "no $package package was built"
    dpkg-deb -c "${deb[$package]}" | awk '$1 !~ /^d/ { print substr($6, 3) }' >"$e2e_work/$package.list"
done
duplicates=$(cd "$e2e_work" && sort "${packages[@]/%/.list}" | uniq -d)
[ -z "$duplicates" ] || e2e_fail "files in two packages: $duplicates"
while read -r package path; do
    grep -qx "$path" "$e2e_work/$package.list" || e2e_fail "$package does not hold $path"
done <<<"$layout"
! grep -q '^usr/share/games/' "$e2e_work/orbelle.list" || e2e_fail "the game's own package holds data"
[ "$(dpkg-deb -f "${deb[orbelle-data]}" Architecture)" = all ] || e2e_fail "orbelle-data is not for all architectures"
depends=$(dpkg-deb -f "${deb[orbelle]}" Depends | tr , '\n' | sed 's/^ *//')
# The data of its own version; linked, the mixer and libcurl with the versions their symbols need.
for dependency in "orbelle-data (= $(dpkg-deb -f "${deb[orbelle]}" Version))" \
    'libsdl-mixer1\.2 (>= [0-9.]*)' 'libcurl4 (>= [0-9.]*)'; do
    grep -qx "$dependency" <<<"$depends" || e2e_fail "orbelle does not depend on $dependency: $depends"
done

# The packages unpacked into a folder: the tree an installation makes, without installing.
root="$e2e_work/root"
for package in "${packages[@]}"; do dpkg-deb -x "${deb[$package]}" "$root"; done
for file in "$ORBELLE_SOURCE_DIR"/data/*.* "$ORBELLE_SOURCE_DIR"/data/icons/orbelle-64.png; do
    name=${file#"$ORBELLE_SOURCE_DIR"/data/}
    cmp -s "$file" "$root/usr/share/games/orbelle/data/$name" || e2e_fail "data/$name was not packaged intact"
done
# The packaged build plays the reference rounds to their claims, as every other build does.
for replay in "$ORBELLE_SOURCE_DIR"/tests/replays/*.orbr; do
    "$root/usr/games/orbelle" --verify "$replay" >/dev/null ||
        e2e_fail "the packaged game does not play ${replay##*/} to its claim"
done

# playAndAsk ROOT: the game under ROOT played and the server under ROOT answering ranks.
playAndAsk() {
    rm -rf "${e2e_work:?}/home"
    e2e_play_installed "$1/usr/games/orbelle"
    e2e_server="$1/usr/bin/orbelle-score-server"
    e2e_start_server --db "$(mktemp -u "$e2e_work/scores-XXXXXX.db")"
    [ "$(e2e_rank "$e2e_server_port")" = "200 " ] ||
        e2e_fail "the server under ${1:-/} did not answer a rank request: $(cat "$e2e_work/body")"
    e2e_stop_server
}
e2e_start_display
playAndAsk "$root"
checked="packages built, no lintian tag, files where they belong, the reference replays verified, the unpacked game played and server answered"
if [ "$install" != 1 ]; then
    echo "PASS: $checked; nothing installed (ORBELLE_TEST_INSTALL_PACKAGES=1 installs, plays and purges them)"
    exit 0
fi

# apt reads the packages as its own unprivileged user.
chmod 755 "$e2e_work" "$e2e_work/src"
installed=1
apt_get install --no-install-recommends "${deb[@]}" >"$e2e_work/install.log" 2>&1 ||
    e2e_fail "apt-get install: $(tail -n 10 "$e2e_work/install.log")"
while read -r package path; do
    [ -f "/$path" ] || e2e_fail "apt-get did not install /$path of $package"
done <<<"$layout"
playAndAsk ""
removePackages
[ -z "$(present)" ] || e2e_fail "apt-get purge left: $(present | paste -sd ,)"
echo "PASS: $checked; installed with apt, played, asked and purged"
