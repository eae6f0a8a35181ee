#!/usr/bin/env bash
# Killing the score server with SIGKILL in the middle of uploads loses no entry it had
# acknowledged: every upload answered 200 is in the database afterwards, and the server
# starts again on the database the kills left behind and answers from it.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-kill
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
acks="$e2e_work/acks"
: >"$acks"
acked_more() { [ "$(wc -l <"$acks")" -gt "$1" ]; }

rounds=6
for round in $(seq "$rounds"); do
    e2e_start_server --db "$db" --quiet
    # Two clients at once, so that kills also land between concurrent transactions.
    clients=()
    for client in a b; do
        e2e_acked "$e2e_server_port" "r$round$client" 400 "$acks" &
        clients+=($!)
        e2e_track $!
    done
    # Killed once uploads go through, at a random moment among them.
    e2e_wait 10 "upload acknowledged in round $round" acked_more "$(wc -l <"$acks")"
    sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
    kill -KILL "$e2e_server_pid"
    wait "$e2e_server_pid" 2>/dev/null || true # no "Killed" notice from the shell
    # Each client stops at its first unanswered upload; 400 uploads bound the rest.
    for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
done

acknowledged=$(wc -l <"$acks")
[ "$acknowledged" -ge $((rounds * 10)) ] ||
    e2e_fail "only $acknowledged uploads were acknowledged: the kills landed before any work"
# The database as the kills left it, read beside a server started on it again.
e2e_start_server --db "$db" --quiet
missing=$(e2e_acked_missing "$acks" "$db")
[ "$missing" = 0 ] || e2e_fail "$missing of $acknowledged acknowledged uploads are not in the database"
[[ "$(e2e_http "$e2e_server_port" '/velmo/orbelle/haeennatykset.php?sija=1')" =~ ^200\ r[0-9][ab]\ [0-9]+\ [0-9]+$ ]] ||
    e2e_fail "rank 1 after the kills: $(cat "$e2e_work/body")"
e2e_stop_server
echo "PASS: $acknowledged acknowledged uploads over $rounds kills, none lost"
