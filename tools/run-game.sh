#!/usr/bin/env bash
# Installs what is missing, builds the game and the score server, and starts the game.
# A first configuration leaves the tests and benchmarks out, so GoogleTest is not needed;
# a build folder configured before keeps its choice.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
options=()
[ -f build/CMakeCache.txt ] || options=(-DBUILD_TESTING=OFF -DORBELLE_BENCH=OFF)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
cmake --build build -j"$(nproc)" --target orbelle orbelle-score-server
exec ./build/orbelle "$@"
