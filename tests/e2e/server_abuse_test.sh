#!/usr/bin/env bash
# The score server abused, in a network namespace of its own: header and body floods (bounded
# memory); a drip of connections from many IPv4 addresses and then from many addresses of one
# IPv6 /64 fills every slot, and a normal client is still answered; IPv4 clients of a server on
# :: keep upload limits of their own; then SIGKILL among uploads loses no acknowledged entry.
# (Connections past a client's share, headers trickling past their deadline: ScoreServerTest.)
set -euo pipefail
# A network namespace needs root (or a user namespace) and util-linux's unshare.
[ -n "${E2E_OWN_NETWORK:-}" ] || E2E_OWN_NETWORK=1 exec unshare --net bash "$0"
source "$(dirname "$0")/lib.sh"
e2e_setup server-abuse
# The addresses of one /64 are routed to lo, so that clients may use any of them.
ip link set lo up && ip -6 route add local fd00:24::/64 dev lo || e2e_fail "no loopback in the namespace"
max_peak_kb=65536 # 64 MB; AddressSanitizer's shadow memory and quarantine take a few times more
if ldd "$e2e_server" | grep -q libasan; then max_peak_kb=$((max_peak_kb * 4)); fi
clients() { python3 "$e2e_clients" "$@"; }
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet && port=$e2e_server_port

# 300 MB of header lines and a 200 MB body: refused long before the end.
read -r status taken < <(clients flood "$port" 300 header)
[ "$status" = 431 ] && [ "$taken" -lt 300 ] || e2e_fail "header flood: status $status after $taken MB"
read -r status taken < <(clients flood "$port" 200 body)
[ "$status" = 413 ] && [ "$taken" -lt 200 ] || e2e_fail "large body: status $status after $taken MB"
peak=$(grep '^VmHWM' "/proc/$e2e_server_pid/status" | tr -dc '0-9')
[ "$peak" -lt "$max_peak_kb" ] || e2e_fail "peak memory $peak kB"
[ "$(e2e_rank "$port")" = "200 " ] || e2e_fail "no answer after the floods"
e2e_stop_server

# hold KIND ARG...: a drip in the background until its first connections are all open.
hold() {
    python3 "$e2e_clients" hold "$port" "${@:2}" >"$e2e_work/$1.out" &
    e2e_track $! && held=$!
    e2e_wait 30 "$1 connections" grep -q '^holding' "$e2e_work/$1.out"
}
lost_at_least() { [ "$(sed -n 's/^lost //p' "$e2e_work/$1.out" | tail -n 1)" -ge "$2" ] 2>/dev/null; }

# 120 slots, 8 per client; trickled headers may take 30 s, so only room-making closes them.
# Connections only: an SQLite file whatever the store of the rest.
e2e_start_server --listen :: --db "$e2e_work/drip.db" --max-connections 120 \
    --max-per-address 8 --header-timeout 30 --timeout 60 --upload-limit 2 --quiet
port=$e2e_server_port
# 240 dripping connections from 30 addresses take every slot; each newcomer makes room.
hold ipv4 240 127.0.0.2 8 0.5
read -r answered _ < <(clients ask "$port" 20 127.0.0.1)
[ "$answered" = 20 ] || e2e_fail "beside 240 dripping IPv4 connections $answered of 20 were answered"
kill "$held"
# 240 from 120 addresses of one /64, which may hold 8 slots as one client.
hold ipv6 240 fd00:24::1 2 0.5
e2e_wait 20 "the /64 refused past its 8 slots" lost_at_least ipv6 232
read -r answered _ < <(clients ask "$port" 20 ::1)
[ "$answered" = 20 ] || e2e_fail "beside 240 dripping connections of one /64 $answered of 20 were answered"
kill "$held"
# On :: an IPv4 client arrives as ::ffff:a.b.c.d: each still has its own upload limit.
statuses="$(e2e_upload "$port" 127.0.0.2 5 41 42 43) $(e2e_upload "$port" 127.0.0.3 5 44)"
[ "$statuses" = "200 200 429 200" ] || e2e_fail "uploads of two IPv4 clients of a server on ::: $statuses"
e2e_stop_server

acks="$e2e_work/acks"
acked_more() { [ "$(wc -l <"$acks" 2>/dev/null || echo 0)" -gt "$1" ]; }
for round in 1 2 3 4 5 6; do
    e2e_start_server --db "$db" --quiet
    # Two clients at once, so that kills also land between concurrent transactions. Each
    # stops at its first unanswered upload; 400 uploads bound the rest.
    e2e_acked "$e2e_server_port" "r${round}a" 400 "$acks" & clients=($!)
    e2e_acked "$e2e_server_port" "r${round}b" 400 "$acks" & clients+=($!)
    e2e_wait 10 "upload acknowledged in round $round" acked_more "$(wc -l <"$acks" 2>/dev/null || echo 0)"
    sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
    kill -KILL "$e2e_server_pid"
    wait "$e2e_server_pid" 2>/dev/null || true # no "Killed" notice from the shell
    for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
done
acknowledged=$(wc -l <"$acks")
[ "$acknowledged" -ge 60 ] || e2e_fail "only $acknowledged uploads were acknowledged: the kills landed before any work"
# The database as the kills left it, read beside a server started on it again.
e2e_start_server --db "$db" --quiet
missing=$(e2e_acked_missing "$acks" "$db")
[ "$missing" = 0 ] || e2e_fail "$missing of $acknowledged acknowledged uploads are not in the database"
[[ "$(e2e_rank "$e2e_server_port")" =~ ^200\ r[0-9][ab]\ [0-9]+\ [0-9]+$ ]] ||
    e2e_fail "rank 1 after the kills: $(cat "$e2e_work/body")"
e2e_stop_server
echo "PASS: floods refused, peak memory $((peak / 1024)) MB; answered beside dripping IPv4 and" \
    "IPv6 /64 connections, IPv4 on :: limited per client; $acknowledged acknowledged uploads" \
    "over 6 kills, none lost"
