# Sourced by the server benchmarks: bench_build_server DIR configures DIR when it has no build
# yet (tests off) and builds the score server there.
bench_build_server() {
    [ -f "$1/CMakeCache.txt" ] || cmake -S "$root" -B "$1" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$1" -j2 --target orbelle-score-server >/dev/null
}
