#!/usr/bin/env bash
# The score server attacked, in a network namespace of its own (run as root), with the
# server's default limits (4096 connections, 32 per client, headers due within 5 s):
#  1. Drip: 6000 connections from 249 IPv4 addresses trickle a header byte every 3 s, each
#     one the server closes opened again at once, while a normal client on 127.0.0.1 asks
#     for ranks on new connections; then the same from 200 addresses of one IPv6 /64, the
#     normal client on ::1. Target: every answer, p99 under 200 ms.
#  2. Stalled store: another program holds SQLite's write lock (uploads wait) or a
#     PostgreSQL session holds LOCK TABLE scores (everything waits) while uploads and ranks
#     keep coming; the latency of GET / and of ranks, and how long SIGTERM takes.
# Usage: bench/server_attack.sh [REQUESTS] (20000 normal requests a drip phase, about 10 s)
# BUILD_DIR chooses the build directory (default build-perf); the server is built if missing.
# SERVER names another build of the server to attack instead, for instance an older one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${ORBELLE_OWN_NETWORK:-}" ]; then
    ORBELLE_OWN_NETWORK=1 exec unshare --net bash "$0" "$@"
fi
requests="${1:-20000}"
buildDir="${BUILD_DIR:-$root/build-perf}"
clients="$root/tests/fault/server_clients.py"
. "$root/bench/build_server.sh"
[ -n "${SERVER:-}" ] || bench_build_server "$buildDir"
export ORBELLE_SOURCE_DIR="$root" ORBELLE_BUILD_DIR="$buildDir"
. "$root/tests/e2e/lib.sh"
e2e_server=${SERVER:-$e2e_server}
e2e_setup bench-attack
ip link set lo up
ip -6 route add local fd00:24::/64 dev lo
cluster="$e2e_work/cluster.state"
bash "$root/tests/pg/cluster.sh" start "$cluster" >/dev/null
trap 'bash "$root/tests/pg/cluster.sh" stop "$cluster"; e2e_cleanup' EXIT
results="$e2e_work/results"
row() { printf '  %-62s %18s  %s\n' "$@" >>"$results"; }
load() { cut -d' ' -f1-3 /proc/loadavg; }

closed_so_far() { for out in "$@"; do sed -n 's/^lost //p' "$out" | tail -n 1; done | awk '{ n += $1 } END { print n + 0 }'; }
closed_at_least() { [ "$(closed_so_far "${@:2}")" -ge "$1" ]; }
# drip NAME NORMAL SLOTS "COUNT PER_ADDRESS FIRST"...: the holders of the drip connections,
# until the server has closed all but the SLOTS it keeps for them; then the normal client
# from the address NORMAL.
drip() {
    local name=$1 normal=$2 slots=$3 holders=() outs=() drip count per first out total=0
    shift 3
    e2e_start_server --listen :: --db "$e2e_work/drip-$normal.db" --quiet
    for drip in "$@"; do
        read -r count per first <<<"$drip"
        total=$((total + count))
        out="$e2e_work/drip-${#outs[@]}-$first.out" && outs+=("$out") && : >"$out"
        python3 "$clients" hold "$e2e_server_port" "$count" "$first" "$per" 3 renew >"$out" &
        holders+=($!) && e2e_track $!
    done
    for out in "${outs[@]}"; do e2e_wait 120 "the drip" grep -q holding "$out"; done
    # A server without room-making never closes them; it gets a minute.
    local until=$((SECONDS + 60))
    until closed_at_least $((total - slots)) "${outs[@]}" || [ $SECONDS -ge $until ]; do sleep 0.2; done
    local before
    before=$(load)
    read -r answered p50 p99 longest < <(python3 "$clients" ask "$e2e_server_port" "$requests" "$normal")
    lost=$(closed_so_far "${outs[@]}")
    kill "${holders[@]}"
    e2e_stop_server
    row "drip $name: normal client answered of $requests (p50, p99, longest ms)" "$answered ($p50, $p99, $longest)" \
        "target all, p99 < 200 ms: $([ "$answered" = "$requests" ] && awk -v p="$p99" 'BEGIN { exit !(p < 200) }' && echo met || echo MISSED)"
    row "drip $name: attacker connections closed by the server by then" "$lost" "load before $before"
}
echo "Score server under attack: $(nproc) cores" >"$results"
# 249 addresses: 24 with 25 connections, 225 with 24.
drip "249 IPv4 addresses" 127.0.0.1 4096 "600 25 127.0.0.2" "5400 24 127.0.0.26"
drip "one IPv6 /64" ::1 32 "6000 30 fd00:24::1"

hash=$(printf 'A7kovrenaltu37' | md5sum)
uploadPath="/velmo/orbelle/lisaaennatys.php?name=A&score=7&hashcheck=${hash%% *}"
rankPath="/velmo/orbelle/haeennatykset.php?sija=1"
# stall NAME DB STALLED_PATH RANK_STATUS: the database locked by another program while two
# clients keep requests for STALLED_PATH waiting; ranks are expected with RANK_STATUS.
stall() {
    local name=$1 db=$2 stalledPath=$3 rankStatus=$4
    e2e_start_server --db "$db" --quiet
    e2e_lock_database "$db"
    # Two clients keep a stalled request waiting all the time.
    for source in 127.0.0.2 127.0.0.3; do
        python3 "$clients" ask "$e2e_server_port" 100000 "$source" "$stalledPath" 503 >/dev/null &
        e2e_track $!
    done
    e2e_wait 10 "stalled requests" e2e_requests_read "$e2e_server_port" 2
    read -r _ _ probeP99 probeLongest < <(python3 "$clients" ask "$e2e_server_port" 300 127.0.0.1 /)
    read -r ranks rankP50 rankP99 _ < <(python3 "$clients" ask "$e2e_server_port" 20 127.0.0.1 "$rankPath" "$rankStatus")
    local startNs
    startNs=$(date +%s%N)
    kill -TERM "$e2e_server_pid"
    local until=$((SECONDS + 60)) stopMs
    until e2e_server_ended || [ $SECONDS -ge $until ]; do sleep 0.05; done
    stopMs=$((($(date +%s%N) - startNs) / 1000000))
    e2e_server_ended || { kill -KILL "$e2e_server_pid" && stopMs="over $stopMs"; }
    e2e_unlock_database
    row "stall $name: GET / p99, longest ms (300 requests)" "$probeP99, $probeLongest" ""
    row "stall $name: rank $rankStatus p50, p99 ms ($ranks of 20)" "$rankP50, $rankP99" ""
    row "stall $name: SIGTERM to exit, ms" "$stopMs" "target: a few seconds"
}
stall SQLite "$e2e_work/stall.db" "$uploadPath" 200
stall PostgreSQL "$(ORBELLE_TEST_PG=$cluster e2e_score_db "$e2e_work")" "$rankPath" 503
cat "$results"
