#!/usr/bin/env bash
# Installs the Debian packages that building and running Orbelle and its score server need;
# with --tests also the tools the tests, benchmarks and asset generator use. Does nothing
# when they are all present already.
set -euo pipefail

# Building and running the game and the score server.
packages=(
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev
  libgl-dev libgl1-mesa-dev libgl1-mesa-dri
  libcurl4-openssl-dev libmpg123-dev libsqlite3-dev libmicrohttpd-dev libpq-dev zlib1g-dev
)

# Tests, benchmarks, fuzzers, the asset generator's music encoder and the packaging checks.
# cpp-httplib: the stand-in servers of the net tests, and the older score server the load
# benchmark compares against. iproute2 and util-linux: the score server's tests of many client
# addresses run in a network namespace of their own (ip, unshare, ss).
test_packages=(
  libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-xkb-utils imagemagick lame sox
  clang libclang-rt-14-dev wrk python3 procps curl iproute2 util-linux
  desktop-file-utils man-db
  debhelper dpkg-dev fakeroot lintian appstream x11-utils
  postgresql chromium systemd
)

case "${1:-}" in
  "") ;;
  --tests) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
