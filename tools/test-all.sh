#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the whole suite on a plain
# build, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# each fuzzer for a short while. A failing stage does not stop the later ones; the script
# ends with the stage times and ctest's closing lines, and fails if any stage failed.
# Packages are installed only by tools/install-deps.sh; the Debian package test installs and
# purges its own packages only where ORBELLE_TEST_INSTALL_PACKAGES=1 (.ci/run sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

logs=$(mktemp -d /tmp/orbelle-test-all-XXXXXX)
trap 'rm -rf "$logs"' EXIT
times=()
failed=()

# Runs a stage, noting its wall time; a failure is remembered rather than ending the script.
stage() {
    local name=$1 start=$SECONDS status=0
    shift
    echo "==== $name"
    "$@" || status=$?
    times+=("$(printf '%-22s %5d s%s' "$name" $((SECONDS - start)) "$([ $status -eq 0 ] || echo '  FAILED')")")
    [ $status -eq 0 ] || failed+=("$name")
    return 0
}

runTests() { # build dir, log name, extra ctest arguments
    local dir=$1 log=$2 status=0
    shift 2
    ctest --test-dir "$dir" --output-on-failure -j2 "$@" 2>&1 | tee "$logs/$log.log" || status=$?
    skipReasons "$dir" "$log" | tee -a "$logs/$log.log" || status=1
    return $status
}

# ctest lists skipped tests without their reasons: each one's reason comes from its output in
# ctest's log, a script's "SKIP: ..." line or the message after gtest's "Skipped". A test that
# skips without saying why fails the stage.
skipReasons() { # build dir, log name
    local skipped
    skipped=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$logs/$2.log")
    [ -n "$skipped" ] || return 0
    echo "Skipped tests and why:"
    awk -v names="$skipped" '
        BEGIN { n = split(names, list, "\n"); for (i = 1; i <= n; i++) want[list[i]] = 1 }
        /^[0-9]+\/[0-9]+ Testing: / { name = $0; sub(/^[^:]*: /, "", name); reason = ""; after = 0; next }
        !(name in want) { next }
        after { reason = $0; after = 0 }
        /^SKIP/ && reason == "" { reason = $0 }
        /: Skipped$/ { after = 1 }
        /^<end of output>$/ {
            print "  " name ": " (reason == "" ? "NO REASON GIVEN" : reason)
            bad = bad || reason == ""; delete want[name]
        }
        END { exit bad }' "$1/Testing/Temporary/LastTest.log"
}

# With the sanitizers every report goes to a file as well as failing its program: a report
# from a program whose exit status a script does not look at still fails the run.
runSanitizedTests() {
    local reports="$logs/sanitizer-reports" status=0
    mkdir -p "$reports"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
    # In-process tests check for leaks. The end-to-end tests run programs that load Mesa's
    # driver, which leaks a little at exit from frames no suppression can name once it is
    # unloaded; there only the address and undefined-behaviour checks apply.
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:log_path=$reports/asan" \
        runTests build-asan sanitized -LE e2e || status=$?
    ASAN_OPTIONS="detect_leaks=0:abort_on_error=0:log_path=$reports/asan" \
        runTests build-asan sanitized-e2e -L e2e -E e2e_deb_package_test || status=$?
    if compgen -G "$reports/*" >/dev/null; then
        echo "Sanitizer reports:"
        for report in "$reports"/*; do
            echo "--- $(basename "$report")"
            head -n 80 "$report"
        done
        status=1
    fi
    return $status
}

# The last lines of a ctest run: its summary, the failed tests and the total time.
ctestSummary() {
    [ -f "$logs/$1.log" ] || { echo "(not run)"; return 0; }
    sed -n '/tests passed, /,$p' "$logs/$1.log"
}

stage "install deps" tools/install-deps.sh --tests
[ ${#failed[@]} -eq 0 ] || { echo "could not install the packages needed"; exit 1; }

stage "plain build" bash -c 'cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=ON -DORBELLE_BENCH=ON >/dev/null &&
    cmake --build build -j"$(nproc)"'
[[ " ${failed[*]} " == *" plain build "* ]] || stage "plain ctest" runTests build plain

# -O1 keeps the sanitized build and run quick; the benchmarks are not needed here. The mixer
# and libcurl are linked, as in Debian's package, so that way of building is tested too.
stage "sanitized build" bash -c 'cmake -S . -B build-asan -DORBELLE_SANITIZE=ON \
    -DORBELLE_LATE_LIBRARIES=OFF \
    -DBUILD_TESTING=ON -DORBELLE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" >/dev/null &&
    cmake --build build-asan -j"$(nproc)"'
[[ " ${failed[*]} " == *" sanitized build "* ]] || stage "sanitized ctest" runSanitizedTests

stage "fuzz" tools/fuzz.sh

echo
echo "==== Stage times"
printf '%s\n' "${times[@]}"
[ ${#failed[@]} -eq 0 ] || echo "FAILED: ${failed[*]}"
echo
echo "==== ctest, plain build"
ctestSummary plain
echo
echo "==== ctest, sanitized build (in-process tests)"
ctestSummary sanitized
echo
echo "==== ctest, sanitized build (end-to-end tests)"
ctestSummary sanitized-e2e
[ ${#failed[@]} -eq 0 ]
