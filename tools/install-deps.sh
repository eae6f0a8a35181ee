#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Orbelle need.
# Does nothing when they are all present already.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev
  libgl-dev libgl1-mesa-dev libgl1-mesa-dri
  libcurl4-openssl-dev libmpg123-dev libsqlite3-dev libmicrohttpd-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick lame sox
  clang libclang-rt-14-dev wrk python3 procps curl
  desktop-file-utils
  libpq-dev postgresql chromium
)

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
