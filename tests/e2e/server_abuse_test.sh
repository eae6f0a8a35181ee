#!/usr/bin/env bash
# The score server abused: header and body floods (bounded memory); then SIGKILL among uploads
# loses no acknowledged entry. (Connections past a client's share: ScoreServerTest; held and
# trickling connections beside normal clients: server_drip_test.sh.)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-abuse
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
echo "PASS: floods refused, peak memory" \
    "$((peak / 1024)) MB; $acknowledged acknowledged uploads over 6 kills, none lost"
