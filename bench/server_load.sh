#!/usr/bin/env bash
# Load test of orbelle-score-server: wrk mixes rank downloads and signed uploads against a
# server on a free loopback port with a fresh database, then every upload that must have
# been answered is looked up in that database. Usage:
#   bench/server_load.sh [--store S] [--servers N] [seconds] [connections]
#     (default: SQLite, one server, 20 s, 32 connections, 2 wrk threads in all)
# --store: sqlite (a fresh file), postgres (a fresh database in a private cluster started for
# the run) or a postgresql:// URI of an empty database to use. --servers N runs N servers on
# one PostgreSQL database, each loaded by its own wrk with its share of the connections;
# requests per second are then summed and the p99 is the worst of the servers'.
# bench/server_stores.sh compares the stores side by side.
# BUILD_DIR chooses the build directory (default build-perf); the server is built if missing.
# Exits 1 when a request failed or an accepted upload is missing from the database.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
store=sqlite
servers=1
while [ $# -gt 0 ]; do
    case "$1" in
    --store) store="$2"; shift 2 ;;
    --servers) servers="$2"; shift 2 ;;
    *) break ;;
    esac
done
seconds="${1:-20}"
connections="${2:-32}"
threads=2
[ "$servers" -ge 1 ] && [ $((threads % servers)) = 0 ] || { echo "--servers: 1 or 2" >&2; exit 2; }
[ "$servers" = 1 ] || [ "$store" != sqlite ] || { echo "SQLite has one server per file" >&2; exit 2; }
uploadCount=3000
buildDir="${BUILD_DIR:-$root/build-perf}"
server="$buildDir/server/orbelle-score-server"

command -v wrk >/dev/null || { echo "needs wrk (tools/install-deps.sh)" >&2; exit 1; }
if [ ! -f "$buildDir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$buildDir" -DORBELLE_TESTS=OFF >/dev/null
fi
cmake --build "$buildDir" -j2 --target orbelle-score-server >/dev/null

work="$(mktemp -d)"
serverPids=()
cluster=""
cleanup() {
    for pid in "${serverPids[@]+"${serverPids[@]}"}"; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    [ -z "$cluster" ] || bash "$root/tests/pg/cluster.sh" stop "$cluster"
    rm -rf "$work"
}
trap cleanup EXIT

# The database helpers of the end-to-end tests: a fresh database and a dump of what it holds.
ORBELLE_SOURCE_DIR="$root" ORBELLE_BUILD_DIR="$buildDir" . "$root/tests/e2e/lib.sh"
case "$store" in
sqlite) db="$work/scores.db" ;;
postgres)
    cluster="$work/cluster.state"
    bash "$root/tests/pg/cluster.sh" start "$cluster" >/dev/null
    db=$(ORBELLE_TEST_PG="$cluster" e2e_score_db "$work")
    ;;
postgres://* | postgresql://*) db="$store" ;;
*) echo "--store: sqlite, postgres or a postgresql:// URI" >&2; exit 2 ;;
esac

# Distinct signed uploads, with the names encoded as the game sends them. The names carry the
# characters that need encoding (blank, &, %, +, #, =, ?, /) and 8-bit letters.
python3 - "$work/uploads.lua" "$work/uploads.txt" "$uploadCount" <<'EOF'
import hashlib, random, sys, urllib.parse
luaFile, listFile, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(37)
decorations = [b"", b" ", b"&x=1", b"50%", b"a+b", b"#1", b"?q", b"/", b"\xe4\xf6", b"O'Neil"]
scores = rng.sample(range(-1000, 100000000), count)
with open(luaFile, "w") as lua, open(listFile, "w") as listing:
    lua.write("return {\n")
    for i, score in enumerate(scores):
        name = (b"p%d" % i + decorations[i % len(decorations)])[:15]
        scoreText = str(score).encode()
        hashcheck = hashlib.md5(name + scoreText + b"kovrenaltu37").hexdigest()
        path = ("/velmo/orbelle/lisaaennatys.php?name=%s&score=%d&hashcheck=%s"
                % (urllib.parse.quote(name, safe=""), score, hashcheck))
        lua.write('"%s",\n' % path)
        listing.write("%s %d\n" % (name.hex(), score))
    lua.write("}\n")
EOF

ports=()
for k in $(seq "$servers"); do
    port="$(python3 -c 'import socket;s=socket.socket();s.bind(("127.0.0.1",0));print(s.getsockname()[1])')"
    "$server" --listen 127.0.0.1 --port "$port" --db "$db" >"$work/server$k.out" 2>&1 &
    serverPids+=($!)
    ports+=("$port")
    for _ in $(seq 100); do
        grep -q listening "$work/server$k.out" && break
        kill -0 "${serverPids[-1]}" 2>/dev/null || { cat "$work/server$k.out" >&2; exit 1; }
        sleep 0.05
    done
    grep -q listening "$work/server$k.out" || { echo "the server did not start" >&2; exit 1; }
done

# One wrk per server, all at once; each numbers its threads on from the ones before, so that
# every thread sends its own share of the uploads.
loadBefore="$(cut -d' ' -f1-3 /proc/loadavg)"
wrkPids=()
for k in $(seq "$servers"); do
    ORBELLE_LOAD_SENT="$work/sent$k.txt" ORBELLE_LOAD_FIRST_ID=$(((k - 1) * threads / servers)) \
        timeout $((seconds + 30)) wrk -t$((threads / servers)) -c$((connections / servers)) \
        -d"${seconds}s" --latency -s "$root/bench/server_load.lua" \
        "http://127.0.0.1:${ports[k - 1]}" -- "$work/uploads.lua" "$threads" >"$work/wrk$k.out" &
    wrkPids+=($!)
done
for pid in "${wrkPids[@]}"; do wait "$pid"; done
loadAfter="$(cut -d' ' -f1-3 /proc/loadavg)"
cat "$work"/wrk*.out
cat "$work"/sent*.txt >"$work/sent.txt"

# A clean stop, so that the check reads what the servers left behind.
for pid in "${serverPids[@]}"; do
    kill -TERM "$pid"
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    wait "$pid" || { echo "the server did not stop cleanly" >&2; exit 1; }
done
serverPids=()
e2e_dump_scores "$db" >"$work/stored.txt"

python3 - "$work" "$servers" "$store" "$threads" \
    "$connections" "$seconds" "$loadBefore" "$loadAfter" "$(nproc)" <<'EOF'
import glob, re, sys
work, servers, store, threads, connections, seconds, before, after, cores = sys.argv[1:]
threads, connections, servers = int(threads), int(connections), int(servers)
outputs = [open(name).read() for name in sorted(glob.glob(work + "/wrk*.out"))]

def unitMs(value, unit):
    return float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]

def count(pattern, text):
    found = re.search(pattern, text)
    return sum(map(int, found.groups())) if found else 0

rps = sum(float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1)) for text in outputs)
p99ms = max(unitMs(*re.search(r"^\s+99%\s+([\d.]+)(us|ms|s)\s*$", text, re.M).groups())
            for text in outputs)
non2xx = sum(count(r"Non-2xx or 3xx responses:\s+(\d+)", text) for text in outputs)
socketErrors = sum(count(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)",
                         text) for text in outputs)

# Each connection has at most one request in flight, so all but a thread's last
# (connections / threads) uploads were answered before the run ended.
uploads = [line.split() for line in open(work + "/uploads.txt")]
expected = set()
sentTotal = 0
perThread = connections // threads
for line in open(work + "/sent.txt"):
    thread, sent = map(int, line.split())
    sentTotal += sent
    share = list(range(thread, len(uploads), threads))
    for k in range(min(len(share), max(0, sent - perThread))):
        name, score = uploads[share[k]]
        expected.add((bytes.fromhex(name), int(score)))
stored = set((bytes.fromhex(n), int(s)) for n, s in (l.split() for l in open(work + "/stored.txt")))
known = set((bytes.fromhex(n), int(s)) for n, s in uploads)
missing = expected - stored
strange = stored - known

print(f"Score server load, {store.split('://')[0]}, {servers} server(s): "
      f"wrk {threads} threads, {connections} connections, {seconds} s, "
      f"{cores} cores, load average {before} before, {after} after")
rows = [
    ("requests per second", f"{rps:.0f}", ">= 2000", rps >= 2000),
    ("p99 latency", f"{p99ms:.2f} ms", "", None),
    ("non-2xx responses", str(non2xx), "0", non2xx == 0),
    ("socket errors", str(socketErrors), "0", socketErrors == 0),
    ("uploads sent / distinct that must be stored", f"{sentTotal} / {len(expected)}", "", None),
    ("of those missing from the database", str(len(missing)), "0", not missing),
    ("stored rows that were never uploaded", str(len(strange)), "0", not strange),
]
for label, value, target, met in rows:
    verdict = "" if met is None else ("met" if met else "MISSED")
    print(f"  {label:<45} {value:>14}  {target:>8}  {verdict}")
sys.exit(0 if non2xx == 0 and socketErrors == 0 and not missing and not strange else 1)
EOF
