#!/usr/bin/env bash
# The score server program against clients that hold connections open, trickle headers, open
# too many connections from one address and flood it with headers or a body: a normal client
# is still answered, the extra connections are closed at once, and the server's peak memory
# stays small.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-abuse
max_peak_kb=65536 # 64 MB; AddressSanitizer's shadow memory and quarantine take a few times more
if ldd "$e2e_server" | grep -q libasan; then max_peak_kb=$((max_peak_kb * 4)); fi
rank=/velmo/orbelle/haeennatykset.php?sija=1
clients() { python3 "$e2e_clients" "$@"; }
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet
port=$e2e_server_port

# 48 connections trickling one header byte every half second and 48 that send nothing, from
# six source addresses; far more than a pool of worker threads would have.
for spec in "slow 127.0.0.2" "idle 127.0.0.5 idle"; do
    read -r kind source mode <<<"$spec"
    python3 "$e2e_clients" hold "$port" 48 "$source" 16 0.5 $mode >"$e2e_work/$kind.out" &
    e2e_track $!
    e2e_wait 20 "48 $kind connections" grep -qx 'holding 48' "$e2e_work/$kind.out"
done
answers=$(for _ in $(seq 20); do e2e_http "$port" "$rank"; echo; done)
[ "$(grep -c '^200 ' <<<"$answers")" = 20 ] ||
    e2e_fail "a normal client was not served beside held connections: $answers"
! grep lost "$e2e_work/slow.out" "$e2e_work/idle.out" ||
    e2e_fail "held connections were closed within their time-out"

# One address may hold 32 connections; the rest are closed without an answer.
read -r answered closed < <(clients burst "$port" 40 127.0.0.9)
[ "$answered" = 32 ] && [ "$closed" = 8 ] ||
    e2e_fail "40 connections from one address: $answered answered, $closed closed"

# 300 MB of header lines and a 200 MB body: refused long before the end.
read -r status taken < <(clients flood "$port" 300 header)
[ "$status" = 431 ] && [ "$taken" -lt 300 ] ||
    e2e_fail "header flood: status $status after $taken MB"
read -r status taken < <(clients flood "$port" 200 body)
[ "$status" = 413 ] && [ "$taken" -lt 200 ] || e2e_fail "large body: status $status after $taken MB"
peak=$(e2e_peak_kb "$e2e_server_pid")
[ "$peak" -lt "$max_peak_kb" ] || e2e_fail "peak memory $peak kB"

[ "$(e2e_http "$port" "$rank")" = "200 " ] || e2e_fail "no answer after the floods"
e2e_stop_server
echo "PASS: served beside 96 held connections, 8 of 40 refused, floods refused," \
    "peak memory $((peak / 1024)) MB"
