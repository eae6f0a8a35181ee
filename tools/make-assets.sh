#!/usr/bin/env bash
# Rebuilds every file under data/ from the generator: pictures, the blip, and the three
# music tracks (rendered to WAV, then encoded to MP3 with lame). Deterministic: running it
# again gives the same pictures and sounds.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${ORBELLE_ASSETS_BUILD_DIR:-build-assets}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target orbelle-assets

wav_dir="$(mktemp -d)"
trap 'rm -rf "$wav_dir"' EXIT

mkdir -p data
"$build_dir/tools/orbelle-assets" data "$wav_dir"

# 96 kbit/s keeps each track near a megabyte; the music is soft and this rate is plenty.
for track in surr seagull organ; do
  lame --quiet --noreplaygain -b 96 -q 2 "$wav_dir/$track.wav" "data/$track.mp3"
done
ls -l data
