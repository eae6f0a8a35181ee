#!/usr/bin/env bash
# Load test of orbelle-score-server, on loopback:
#  1. Mixed traffic: wrk sends two rank downloads for every signed upload to a server with a
#     fresh database; afterwards every upload that must have been answered is looked up in
#     that database. With BASELINE_SERVER set to other builds of the server (paths separated
#     by blanks; for instance the cpp-httplib one), all are run in turn, ROUNDS times each
#     (default 2), so that their ratios come from one run on one machine.
#  2. Held connections: 1000 connections trickle one header byte every 2 s from 127.0.0.2
#     and up while a normal client on 127.0.0.1 asks for ranks (the header deadline set to
#     an hour, so that they stay); then 40 connections from one address, past the
#     per-address limit of 32. bench/server_attack.sh has the attacks that fill every slot.
#  3. Floods: peak resident memory while one connection sends 300 MB of header lines and
#     another a 200 MB body.
# Usage:
#   [BASELINE_SERVER=path] bench/server_load.sh [--store S] [--mixed-only] [seconds] [connections]
#     (20 s, 32 connections)
# --store chooses the database of the mixed traffic: sqlite (the default, a fresh file),
# postgres (a fresh database in a private cluster started for the run), or all: SQLite,
# PostgreSQL and two servers on one PostgreSQL database in turn, each round, so that they are
# compared in one run. Two servers are loaded by one wrk each with half the connections;
# their requests per second are summed and the worse p99 is shown. --mixed-only leaves out
# the held connections and the floods.
# BUILD_DIR chooses the build directory (default build-perf); the server is built if missing.
# A baseline at an older commit is built best in a temporary worktree, for example:
#   git worktree add /tmp/orbelle-baseline d71ddf3
#   cmake -S /tmp/orbelle-baseline -B /tmp/orbelle-baseline/build -DORBELLE_TESTS=OFF
#   cmake --build /tmp/orbelle-baseline/build --target orbelle-score-server
# (that commit's server needs libcpp-httplib-dev). Servers other than this tree's own get
# only --listen, --port and --db and take part in the mixed traffic only.
# Exits 1 when a request of the mixed traffic failed or an accepted upload is missing.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
stores=sqlite
mixedOnly=""
while [ $# -gt 0 ]; do
    case "$1" in
    --store) stores="$2"; shift 2 ;;
    --mixed-only) mixedOnly=1; shift ;;
    *) break ;;
    esac
done
case "$stores" in
sqlite | postgres) ;;
all) stores="sqlite postgres postgres2" ;;
*) echo "--store: sqlite, postgres or all" >&2; exit 2 ;;
esac
seconds="${1:-20}"
connections="${2:-32}"
rounds="${ROUNDS:-2}"
threads=2
uploadCount=3000
slowCount=1000
slowPerAddress=25
buildDir="${BUILD_DIR:-$root/build-perf}"
server="$buildDir/server/orbelle-score-server"
baseline="${BASELINE_SERVER:-}"
clients="$root/tests/fault/server_clients.py"

command -v wrk >/dev/null || { echo "needs wrk (tools/install-deps.sh)" >&2; exit 1; }
. "$root/bench/build_server.sh"
bench_build_server "$buildDir"
for binary in $baseline; do
    [ -x "$binary" ] || { echo "no server at $binary" >&2; exit 1; }
done

work="$(mktemp -d)"
serverPid=""
serverPids=()
helperPid=""
cluster=""
cleanup() {
    for pid in "${serverPids[@]+"${serverPids[@]}"}" $helperPid; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    [ -z "$cluster" ] || bash "$root/tests/pg/cluster.sh" stop "$cluster"
    rm -rf "$work"
}
trap cleanup EXIT
load() { cut -d' ' -f1-3 /proc/loadavg; }

# The database helpers of the end-to-end tests: a fresh database and a dump of what it holds.
ORBELLE_SOURCE_DIR="$root" ORBELLE_BUILD_DIR="$buildDir" . "$root/tests/e2e/lib.sh"
if [[ "$stores" == *postgres* ]]; then
    cluster="$work/cluster.state"
    bash "$root/tests/pg/cluster.sh" start "$cluster" >/dev/null
fi

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
cat >"$work/ranks.lua" <<'EOF'
request = function()
   return wrk.format("GET", "/velmo/orbelle/haeennatykset.php?sija=" .. math.random(10))
end
EOF

# start_server BINARY DB [ARG...]: sets serverPid and port and adds the server to
# serverPids; the server's stderr (its access log) goes to a file, as it would to a journal.
start_server() {
    local binary=$1 db=$2
    shift 2
    # Port 0: the server takes a free port and names it, so no other program can take it first.
    "$binary" --listen 127.0.0.1 --port 0 --db "$db" "$@" >"$work/server.out" 2>>"$work/server.err" &
    serverPid=$!
    serverPids+=("$serverPid")
    for _ in $(seq 100); do
        port=$(sed -n 's/^orbelle-score-server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out")
        [ -n "$port" ] && return 0
        kill -0 "$serverPid" 2>/dev/null || break
        sleep 0.05
    done
    echo "the server did not start: $(cat "$work/server.err")" >&2
    exit 1
}

# A clean stop of every server, so that the check reads what they left behind.
stop_server() {
    local pid
    for pid in "${serverPids[@]}"; do
        kill -TERM "$pid"
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        wait "$pid" || { echo "the server did not stop cleanly" >&2; exit 1; }
    done
    serverPids=()
    serverPid=""
}

# wrk's requests per second, p99 in ms and failed requests (non-2xx and socket errors), of one
# or more wrk outputs that ran at once: rates and failures summed, the worst p99.
wrk_figures() {
    python3 - "$@" <<'EOF'
import re, sys
rps = p99 = failed = 0
for name in sys.argv[1:]:
    text = open(name).read()
    rps += float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1))
    value, unit = re.search(r"^\s+99%\s+([\d.]+)(us|ms|s)\s*$", text, re.M).groups()
    p99 = max(p99, float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit])
    non2xx = re.search(r"Non-2xx or 3xx responses:\s+(\d+)", text)
    socket = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", text)
    failed += (int(non2xx.group(1)) if non2xx else 0) + (sum(map(int, socket.groups())) if socket else 0)
print(f"{rps:.0f} {p99:.2f} {failed}")
EOF
}

# mixed_run LABEL BINARY STORE [ARG...]: one run of mixed traffic on a fresh database of the
# store (sqlite, postgres, or postgres2 for two servers on one database); appends "label rps
# p99 failed missing strange load" to the results.
mixed_run() {
    local label=$1 binary=$2 store=$3 db="$work/scores.db" count=1 k
    shift 3
    rm -f "$work/scores.db"* "$work"/wrk*.out "$work"/sent*.txt
    [ "$store" = sqlite ] || db=$(ORBELLE_TEST_PG="$cluster" e2e_score_db "$work")
    [ "$store" = postgres2 ] && count=2
    local ports=()
    for k in $(seq "$count"); do
        start_server "$binary" "$db" "$@"
        ports+=("$port")
    done
    local before pids=()
    before="$(load)"
    # Each wrk numbers its threads on from the ones before, so that every thread sends its own
    # share of the uploads.
    for k in $(seq "$count"); do
        ORBELLE_LOAD_SENT="$work/sent$k.txt" ORBELLE_LOAD_FIRST_ID=$(((k - 1) * threads / count)) \
            timeout $((seconds + 30)) wrk -t$((threads / count)) -c$((connections / count)) \
            -d"${seconds}s" --latency -s "$root/bench/server_load.lua" \
            "http://127.0.0.1:${ports[k - 1]}" -- "$work/uploads.lua" "$threads" \
            >"$work/wrk$k.out" &
        pids+=($!)
    done
    for k in "${pids[@]}"; do wait "$k"; done
    stop_server
    echo "== $label, load average $before before, $(load) after" >>"$work/raw.txt"
    cat "$work"/wrk*.out >>"$work/raw.txt"
    cat "$work"/sent*.txt >"$work/sent.txt"
    e2e_dump_scores "$db" >"$work/stored.txt"
    # Each connection has at most one request in flight, so all but a thread's last
    # (connections / threads) uploads were answered before the run ended.
    read -r missing strange < <(python3 - "$work/sent.txt" "$work/uploads.txt" "$work/stored.txt" \
        "$threads" "$connections" <<'EOF'
import sys
sentFile, listFile, storedFile, threads, connections = sys.argv[1:]
threads, connections = int(threads), int(connections)
uploads = [line.split() for line in open(listFile)]
expected = set()
for line in open(sentFile):
    thread, sent = map(int, line.split())
    share = list(range(thread, len(uploads), threads))
    for k in range(min(len(share), max(0, sent - connections // threads))):
        name, score = uploads[share[k]]
        expected.add((bytes.fromhex(name), int(score)))
stored = set((bytes.fromhex(n), int(s)) for n, s in (line.split() for line in open(storedFile)))
known = set((bytes.fromhex(n), int(s)) for n, s in uploads)
print(len(expected - stored), len(stored - known))
EOF
    )
    echo "$label $(wrk_figures "$work"/wrk*.out) $missing $strange $before" >>"$work/mixed.txt"
}

# The mixed traffic, old and new in turn. The upload limit is off: wrk sends thousands of
# uploads a second from one address, which is what the limit is there to stop.
: >"$work/mixed.txt"
for round in $(seq "$rounds"); do
    number=0
    for binary in $baseline; do
        number=$((number + 1))
        mixed_run "base$number-$round" "$binary" sqlite
    done
    for store in $stores; do
        label=new
        [ "$store" = sqlite ] || label=$store
        mixed_run "$label-$round" "$server" "$store" --upload-limit 0
    done
done

held="" lost="" heldRps="" heldP99="" heldFailed="" heldPeak=0 burstAnswered="" burstClosed=""
burstMillis="" headerStatus="" headerTaken="" bodyStatus="" bodyTaken="" floodPeak=0
if [ -z "$mixedOnly" ]; then
# Held connections from 40 addresses, and a normal client beside them.
rm -f "$work/scores.db"*
# Their headers may take an hour: what is measured is what held connections cost.
start_server "$server" "$work/scores.db" --quiet --header-timeout 3600
heldBefore="$(load)"
python3 "$clients" hold "$port" "$slowCount" 127.0.0.2 "$slowPerAddress" 2 >"$work/hold.out" &
helperPid=$!
for _ in $(seq 300); do
    grep -q '^holding' "$work/hold.out" 2>/dev/null && break
    sleep 0.1
done
held=$(sed -n 's/^holding //p' "$work/hold.out")
timeout $((seconds + 30)) wrk -t1 -c4 -d"${seconds}s" --latency -s "$work/ranks.lua" \
    "http://127.0.0.1:$port" >"$work/held-wrk.out"
read -r heldRps heldP99 heldFailed < <(wrk_figures "$work/held-wrk.out")
lost=$(sed -n 's/^lost //p' "$work/hold.out" | awk '{ n += $1 } END { print n + 0 }')
heldPeak=$(grep '^VmHWM' "/proc/$serverPid/status" | tr -dc '0-9')
burstStart=$(date +%s%N)
read -r burstAnswered burstClosed < <(python3 "$clients" burst "$port" 40 127.0.0.200)
burstMillis=$((($(date +%s%N) - burstStart) / 1000000))
kill -KILL "$helperPid"
wait "$helperPid" 2>/dev/null || true
helperPid=""
{
    echo "== ranks beside $held held connections, load average $heldBefore before, $(load) after"
    cat "$work/held-wrk.out"
} >>"$work/raw.txt"

# Floods; the peak is read from the kernel's record of the server's high-water mark.
read -r headerStatus headerTaken < <(python3 "$clients" flood "$port" 300 header)
read -r bodyStatus bodyTaken < <(python3 "$clients" flood "$port" 200 body)
floodPeak=$(grep '^VmHWM' "/proc/$serverPid/status" | tr -dc '0-9')
stop_server
fi

cat "$work/raw.txt"
python3 - "$work/mixed.txt" "$seconds" "$connections" "$(nproc)" "$mixedOnly" <<EOF
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
seconds, connections, cores, mixedOnly = sys.argv[2:]
print(f"\nScore server load: wrk $threads threads, {connections} connections, {seconds} s a run, "
      f"{cores} cores")
for number, binary in enumerate("$baseline".split(), 1):
    print(f"  base{number}: {binary}")
print(f"  {'run':<12} {'req/s':>8} {'p99 ms':>8} {'failed':>7} {'missing':>8} {'strange':>8}  load before")
for label, rps, p99, failed, missing, strange, *before in rows:
    print(f"  {label:<12} {rps:>8} {p99:>8} {failed:>7} {missing:>8} {strange:>8}  {' '.join(before)}")
def median(prefix, column):
    values = [float(r[column]) for r in rows if r[0].startswith(prefix)]
    return statistics.median(values) if values else None
newRps, newP99 = median("new-", 1), median("new-", 2)
def row(label, value, target, met):
    verdict = "" if met is None else ("met" if met else "MISSED")
    print(f"  {label:<58} {value:>16}  {target:>10}  {verdict}")
print()
stores = [("new-", "SQLite"), ("postgres-", "PostgreSQL"), ("postgres2-", "PostgreSQL, two servers")]
for prefix, name in stores:
    if median(prefix, 1) is not None:
        row(f"mixed, {name}: requests/s, p99 (median)",
            f"{median(prefix, 1):.0f}, {median(prefix, 2):.1f} ms", "", None)
if newRps:
    row("mixed: requests per second (median)", f"{newRps:.0f}", ">= 2000", newRps >= 2000)
    for number, binary in enumerate("$baseline".split(), 1):
        oldRps, oldP99 = median(f"base{number}-", 1), median(f"base{number}-", 2)
        row(f"mixed: base{number} requests per second, p99 (medians)",
            f"{oldRps:.0f}, {oldP99:.1f} ms", "", None)
        row(f"mixed: this server against base{number}", f"{newRps / oldRps:.2f}", ">= 1 (1.5)",
            newRps >= oldRps)
    row("mixed: p99 latency (median)", f"{newP99:.2f} ms", "< 20 ms", newP99 < 20)
failed = sum(int(r[3]) + int(r[4]) + int(r[5]) for r in rows)
row("mixed: failed requests + lost or strange uploads, all runs", str(failed), "0", failed == 0)
if mixedOnly:
    sys.exit(0 if failed == 0 else 1)
row("held: connections held open / closed by the server", "$held / $lost", "$slowCount / 0",
    "$held" == "$slowCount" and "$lost" == "0")
row("held: rank requests per second beside them", "$heldRps", "", None)
row("held: rank p99 latency", "$heldP99 ms", "< 50 ms", float("$heldP99") < 50)
row("held: failed rank requests", "$heldFailed", "0", "$heldFailed" == "0")
row("held: server peak resident memory", f"{$heldPeak / 1024:.1f} MB", "", None)
row("one address, 40 connections: answered / closed (ms)", "$burstAnswered / $burstClosed ($burstMillis)",
    "32 / 8", "$burstAnswered" == "32" and "$burstClosed" == "8")
row("header flood: status, MB taken of 300", "$headerStatus, $headerTaken", "431", "$headerStatus" == "431")
row("body: status, MB taken of 200", "$bodyStatus, $bodyTaken", "413", "$bodyStatus" == "413")
row("floods: server peak resident memory", f"{$floodPeak / 1024:.1f} MB", "< 64 MB",
    $floodPeak < 65536)
sys.exit(0 if failed == 0 else 1)
EOF
