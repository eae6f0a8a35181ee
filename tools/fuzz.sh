#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one from a scratch copy of its seed
# corpus (what the fuzzer adds is not kept). Fails on the first crash, leak or failed check.
# FUZZ_SECONDS sets each target's run time (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ORBELLE_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-30}
targets=(hisc_file config_file score_answer score_request replay_check)

cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBELLE_FUZZ=ON -DBUILD_TESTING=OFF -DORBELLE_BENCH=OFF \
    >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d /tmp/orbelle-fuzz-XXXXXX)
trap 'rm -rf "$work"' EXIT

# A leak or a sanitizer report is a failure like any crash; no library here needs excusing.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

failed=()
for target in "${targets[@]}"; do
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
    cp fuzz/corpus/"$target"/* "$work/$target/corpus/"
    echo "== fuzz_$target: ${seconds}s"
    # -max_len leaves room for inputs far longer than the part the game reads.
    if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -max_len=16384 -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
        "$work/$target/corpus" >"$work/$target/log" 2>&1; then
        grep -E "^stat::number_of_executed_units|^Done " "$work/$target/log" || true
    else
        failed+=("$target")
        tail -n 60 "$work/$target/log"
        for artifact in "$work/$target/artifacts"/*; do
            [ -e "$artifact" ] || continue
            echo "crashing input ($(basename "$artifact")):"
            od -A d -c "$artifact" | head -n 40
        done
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi
echo "fuzzing passed: ${targets[*]}"
