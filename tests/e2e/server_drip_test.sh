#!/usr/bin/env bash
# The score server's connections under attack, in a network namespace of its own: a drip of
# connections from many IPv4 addresses and then from many addresses of one IPv6 /64 fills
# every slot, and a normal client is still answered; IPv4 clients of a server on :: keep
# upload limits of their own. (Headers trickling past their deadline: ScoreServerTest.)
set -euo pipefail
# A network namespace needs root (or a user namespace) and util-linux's unshare.
[ -n "${E2E_OWN_NETWORK:-}" ] || E2E_OWN_NETWORK=1 exec unshare --net bash "$0"
source "$(dirname "$0")/lib.sh"
e2e_setup server-drip
# The addresses of one /64 are routed to lo, so that clients may use any of them.
ip link set lo up && ip -6 route add local fd00:24::/64 dev lo || e2e_fail "no loopback in the namespace"
clients() { python3 "$e2e_clients" "$@"; }
# hold KIND ARG...: a drip in the background until its first connections are all open.
hold() {
    python3 "$e2e_clients" hold "$port" "${@:2}" >"$e2e_work/$1.out" &
    e2e_track $! && held=$!
    e2e_wait 30 "$1 connections" grep -q '^holding' "$e2e_work/$1.out"
}
lost_at_least() { [ "$(sed -n 's/^lost //p' "$e2e_work/$1.out" | tail -n 1)" -ge "$2" ] 2>/dev/null; }

# 120 slots, 8 per client; trickled headers may take 30 s, so only room-making closes them.
# Connections only: an SQLite file whatever the store of the other tests.
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
echo "PASS: answered beside dripping IPv4 and IPv6 /64 connections, IPv4 on :: limited per client"
