#!/usr/bin/env bash
# Load test of orbelle-score-server: wrk mixes rank downloads and signed uploads against a
# server on a free loopback port with a fresh database, then every upload that must have
# been answered is looked up in that database. Usage:
#   bench/server_load.sh [seconds] [connections]     (default 20 s, 32 connections, 2 threads)
# BUILD_DIR chooses the build directory (default build-perf); the server is built if missing.
# Exits 1 when a request failed or an accepted upload is missing from the database.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
connections="${2:-32}"
threads=2
uploadCount=3000
buildDir="${BUILD_DIR:-$root/build-perf}"
server="$buildDir/server/orbelle-score-server"

command -v wrk >/dev/null || { echo "needs wrk (tools/install-deps.sh)" >&2; exit 1; }
if [ ! -f "$buildDir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$buildDir" -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$buildDir" -j2 --target orbelle-score-server >/dev/null

work="$(mktemp -d)"
serverPid=""
cleanup() {
    if [ -n "$serverPid" ]; then
        kill -KILL "$serverPid" 2>/dev/null || true
        wait "$serverPid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

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

port="$(python3 -c 'import socket;s=socket.socket();s.bind(("127.0.0.1",0));print(s.getsockname()[1])')"
"$server" --listen 127.0.0.1 --port "$port" --db "$work/scores.db" >"$work/server.out" 2>&1 &
serverPid=$!
for _ in $(seq 100); do
    grep -q listening "$work/server.out" && break
    kill -0 "$serverPid" 2>/dev/null || { cat "$work/server.out" >&2; exit 1; }
    sleep 0.05
done
grep -q listening "$work/server.out" || { echo "the server did not start" >&2; exit 1; }

loadBefore="$(cut -d' ' -f1-3 /proc/loadavg)"
ORBELLE_LOAD_SENT="$work/sent.txt" timeout $((seconds + 30)) \
    wrk -t"$threads" -c"$connections" -d"${seconds}s" --latency \
    -s "$root/bench/server_load.lua" "http://127.0.0.1:$port" -- "$work/uploads.lua" "$threads" \
    >"$work/wrk.out"
loadAfter="$(cut -d' ' -f1-3 /proc/loadavg)"
cat "$work/wrk.out"

# A clean stop, so that the check reads what the server left behind.
kill -TERM "$serverPid"
for _ in $(seq 50); do
    kill -0 "$serverPid" 2>/dev/null || break
    sleep 0.1
done
wait "$serverPid" || { echo "the server did not stop cleanly" >&2; exit 1; }
serverPid=""

python3 - "$work/wrk.out" "$work/sent.txt" "$work/uploads.txt" "$work/scores.db" "$threads" \
    "$connections" "$seconds" "$loadBefore" "$loadAfter" "$(nproc)" <<'EOF'
import re, sqlite3, sys
wrkOut, sentFile, listFile, dbFile, threads, connections, seconds, before, after, cores = sys.argv[1:]
threads, connections = int(threads), int(connections)
text = open(wrkOut).read()

def unitMs(value, unit):
    return float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]

rps = float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1))
p99 = re.search(r"^\s+99%\s+([\d.]+)(us|ms|s)\s*$", text, re.M)
p99ms = unitMs(*p99.groups())
non2xx = re.search(r"Non-2xx or 3xx responses:\s+(\d+)", text)
non2xx = int(non2xx.group(1)) if non2xx else 0
socket = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", text)
socketErrors = sum(map(int, socket.groups())) if socket else 0

# Each connection has at most one request in flight, so all but a thread's last
# (connections / threads) uploads were answered before the run ended.
uploads = [line.split() for line in open(listFile)]
expected = set()
sentTotal = 0
perThread = connections // threads
for line in open(sentFile):
    thread, sent = map(int, line.split())
    sentTotal += sent
    share = list(range(thread, len(uploads), threads))
    for k in range(min(len(share), max(0, sent - perThread))):
        name, score = uploads[share[k]]
        expected.add((bytes.fromhex(name), int(score)))
db = sqlite3.connect(dbFile)
stored = set((bytes(name), score) for name, score in db.execute("SELECT name, score FROM scores"))
known = set((bytes.fromhex(n), int(s)) for n, s in uploads)
missing = expected - stored
strange = stored - known

print(f"Score server load: wrk {threads} threads, {connections} connections, {seconds} s, "
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
