#!/usr/bin/env bash
# Installs what is missing, builds and starts the game from the project root.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target orbelle
exec ./build/orbelle "$@"
