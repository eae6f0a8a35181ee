#!/usr/bin/env bash
# The score server's stores side by side in one run: SQLite, PostgreSQL, and two servers on
# one PostgreSQL database, each loaded by bench/server_load.sh in turn, round after round, so
# that a change in the machine's load touches all three alike. Usage:
#   bench/server_stores.sh [rounds] [seconds] [connections]    (default 3 rounds, 10 s, 32)
# Prints each case's requests per second and p99 (median over the rounds) with the load
# average. Exits 1 when any run found an error or a lost upload.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-3}"
seconds="${2:-10}"
connections="${3:-32}"
work="$(mktemp -d)"
state="$work/cluster.state"
cleanup() {
    bash "$root/tests/pg/cluster.sh" stop "$state"
    rm -rf "$work"
}
trap cleanup EXIT
bash "$root/tests/pg/cluster.sh" start "$state" >/dev/null
ORBELLE_SOURCE_DIR="$root" ORBELLE_BUILD_DIR="${BUILD_DIR:-$root/build-perf}" \
    . "$root/tests/e2e/lib.sh"

cases=("sqlite 1" "postgres 1" "postgres 2")
for round in $(seq "$rounds"); do
    for k in "${!cases[@]}"; do
        read -r store servers <<<"${cases[k]}"
        [ "$store" = sqlite ] || store=$(ORBELLE_TEST_PG="$state" e2e_score_db "$work")
        bash "$root/bench/server_load.sh" --store "$store" --servers "$servers" \
            "$seconds" "$connections" >"$work/run-$round-$k.out" ||
            { cat "$work/run-$round-$k.out" >&2; echo "run failed: ${cases[k]}" >&2; exit 1; }
    done
done

python3 - "$work" "$rounds" "${cases[@]}" <<'PY'
import re, statistics, sys
work, rounds, cases = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
labels = {"sqlite 1": "SQLite, 1 server", "postgres 1": "PostgreSQL, 1 server",
          "postgres 2": "PostgreSQL, 2 servers"}
print(f"{'store':<24}{'requests/s':>12}{'p99 ms':>10}   load average before each run")
for k, case in enumerate(cases):
    rps, p99, loads = [], [], []
    for r in range(1, rounds + 1):
        text = open(f"{work}/run-{r}-{k}.out").read()
        rps.append(float(re.search(r"requests per second\s+(\d+)", text).group(1)))
        p99.append(float(re.search(r"p99 latency\s+([\d.]+) ms", text).group(1)))
        loads.append(re.search(r"load average (\S+) \S+ \S+ before", text).group(1))
    print(f"{labels[case]:<24}{statistics.median(rps):>12.0f}{statistics.median(p99):>10.1f}"
          f"   {' '.join(loads)}")
PY
