#!/usr/bin/env bash
# The score server while it checks replays, on loopback with a fresh SQLite database:
#  1. Rank requests per second (wrk, one thread, 8 connections) with no replay being checked
#     and, in turn, while two clients keep sending the reference replays (tests/replays/), so
#     that the check is never idle. The phases alternate, ROUNDS times each (default 2), so
#     that both come from one run on one machine; medians are shown.
#  2. The server's CPU time per minute of play checked: the replays alone for the same time,
#     the server's user and system time (from /proc) over the play that the 200s stand for.
# Usage: [ROUNDS=n] [BUILD_DIR=dir] bench/server_replays.sh [seconds] (10 s a phase)
# BUILD_DIR chooses the build directory (default build-perf); the server is built if missing.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
rounds="${ROUNDS:-2}"
buildDir="${BUILD_DIR:-$root/build-perf}"
server="$buildDir/server/orbelle-score-server"
command -v wrk >/dev/null || { echo "needs wrk (tools/install-deps.sh)" >&2; exit 1; }
. "$root/bench/build_server.sh"
bench_build_server "$buildDir"

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]+"${pids[@]}"}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
load() { cut -d' ' -f1-3 /proc/loadavg; }

"$server" --listen 127.0.0.1 --port 0 --db "$work/scores.db" --quiet --upload-limit 0 \
    >"$work/server.out" 2>"$work/server.err" &
serverPid=$!
pids+=("$serverPid")
for _ in $(seq 100); do
    port=$(sed -n 's/^orbelle-score-server listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { echo "the server did not start: $(cat "$work/server.err")" >&2; exit 1; }
cat >"$work/ranks.lua" <<'LUA'
request = function()
   return wrk.format("GET", "/velmo/orbelle/haeennatykset.php?sija=" .. math.random(10))
end
LUA

# The replay senders: CLIENTS connections, each sending the reference replays in turn until
# the file STOP appears; then "sent ok busy other play_ms" (play_ms: the play of the 200s).
cat >"$work/send.py" <<'PY'
import http.client, os, struct, sys, threading, zlib
port, clients, stop, files = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4:]

def play_ms(data):
    at = 6 + data[5]
    frames = struct.unpack_from("<I", data, at + 4)[0]
    at += 8 + 4 + 1 + 8 + 1 + 1  # score, frames, generator, event, speeds, track, name entry
    flags = struct.unpack_from("<H", data, at)[0]
    at += 2 + (flags + 7) // 8
    size = struct.unpack_from("<I", data, at)[0]
    packed = zlib.decompress(data[at + 4:at + 4 + size])[frames:]
    total = shift = value = 0
    for byte in packed:
        value |= (byte & 0x7F) << shift
        shift += 7
        if not byte & 0x80:
            total, shift, value = total + value, 0, 0
    return total

replays = [(open(f, "rb").read(),) for f in files]
replays = [(data, play_ms(data)) for (data,) in replays]
counts = {"sent": 0, "ok": 0, "busy": 0, "other": 0, "play": 0}
guard = threading.Lock()

def send(first):
    conn, k = http.client.HTTPConnection("127.0.0.1", port), first
    while not os.path.exists(stop):
        data, ms = replays[k % len(replays)]
        k += 1
        conn.request("POST", "/replays", data, {"Content-Type": "application/octet-stream"})
        status = conn.getresponse()
        status.read()
        with guard:
            counts["sent"] += 1
            kind = {200: "ok", 503: "busy"}.get(status.status, "other")
            counts[kind] += 1
            counts["play"] += ms if kind == "ok" else 0

threads = [threading.Thread(target=send, args=(i,)) for i in range(clients)]
for t in threads: t.start()
for t in threads: t.join()
print(counts["sent"], counts["ok"], counts["busy"], counts["other"], counts["play"])
PY

# senders_start / senders_stop: the replay senders in the background; their counts then lie in
# sent.txt.
senders_start() {
    rm -f "$work/stop"
    python3 "$work/send.py" "$port" 2 "$work/stop" "$root"/tests/replays/*.orbr >"$work/sent.txt" &
    sender=$!
    pids+=("$sender")
}
senders_stop() { touch "$work/stop" && wait "$sender"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$serverPid/stat"; }
ranks() {
    wrk -t1 -c8 -d"${seconds}s" --latency -s "$work/ranks.lua" "http://127.0.0.1:$port" >"$work/wrk.out"
    python3 - "$work/wrk.out" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
rps = float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1))
value, unit = re.search(r"^\s+99%\s+([\d.]+)(us|ms|s)\s*$", text, re.M).groups()
bad = re.search(r"Non-2xx or 3xx responses:\s+(\d+)", text)
print(f"{rps:.0f} {float(value) * {'us': 0.001, 'ms': 1.0, 's': 1000.0}[unit]:.2f} {bad.group(1) if bad else 0}")
PY
}

: >"$work/rows.txt"
for round in $(seq "$rounds"); do
    echo "idle $(ranks) - $(load)" >>"$work/rows.txt"
    senders_start
    ranks >"$work/ranks.txt"
    senders_stop
    echo "checking $(cat "$work/ranks.txt") $(tr ' ' , <"$work/sent.txt") $(load)" >>"$work/rows.txt"
done
before=$(cpu_ticks)
senders_start
sleep "$seconds"
senders_stop
read -r sent ok busy other play <"$work/sent.txt"
ticks=$(($(cpu_ticks) - before))

python3 - "$work/rows.txt" "$ticks" "$(getconf CLK_TCK)" "$sent" "$ok" "$busy" "$other" "$play" \
    "$seconds" "$(nproc)" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
ticks, hz, sent, ok, busy, other, play = map(int, sys.argv[2:9])
seconds, cores = sys.argv[9:11]
print(f"Score server checking replays: {seconds} s a phase, {cores} cores")
print(f"  {'phase':<10} {'rank req/s':>10} {'p99 ms':>8} {'non-2xx':>8}  replays sent,200,503,other,play ms  load")
for kind, rps, p99, bad, replays, *load in rows:
    print(f"  {kind:<10} {rps:>10} {p99:>8} {bad:>8}  {replays:<34} {' '.join(load)}")
def median(kind, column):
    return statistics.median(float(r[column]) for r in rows if r[0] == kind)
idle, checking = median("idle", 1), median("checking", 1)
print(f"\n  rank requests/s, none checked / replays checked (medians)   {idle:.0f} / {checking:.0f}"
      f"  ({checking / idle:.2f})")
print(f"  rank p99 ms, none checked / replays checked (medians)        "
      f"{median('idle', 2):.2f} / {median('checking', 2):.2f}")
minutes = play / 60000
print(f"  replays alone: {ok} of {sent} kept ({busy} 503, {other} other), {minutes:.1f} minutes of play")
if minutes > 0:
    print(f"  server CPU per minute of play checked                        "
          f"{ticks / hz * 1000 / minutes:.1f} ms")
failed = any(r[3] != "0" for r in rows) or other > 0
sys.exit(1 if failed else 0)
PY
