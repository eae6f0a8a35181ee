#!/usr/bin/env bash
# Killing the score server with SIGKILL in the middle of uploads loses no entry it had
# acknowledged: every upload answered 200 is in the database afterwards, and the server
# starts again on the database the kills left behind.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
. "${ORBELLE_SOURCE_DIR:?}/tests/e2e/lib.sh"
e2e_setup server-kill
work=$e2e_work
db=$(e2e_score_db "$work") || e2e_fail "no database"
acks="$work/acks"
: >"$acks"

# Starts the server on the database, on $port (0: any free port), and sets pid and port.
start_server() {
    for _ in 1 2 3 4 5; do
        "$e2e_server" --listen 127.0.0.1 --port "$1" --db "$db" >"$work/out" 2>"$work/err" &
        pid=$!
        e2e_track "$pid"
        for _ in $(seq 50); do
            port=$(sed -n 's/^orbelle-score-server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out")
            [ -n "$port" ] && return 0
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        sleep 0.5 # the port may still be held by the killed server's connections
    done
    e2e_fail "the server did not start: $(cat "$work/err")"
}

start_server 0
rounds=6
for round in $(seq 1 "$rounds"); do
    # Two clients at once, so that kills also land between concurrent transactions.
    clients=()
    for client in a b; do
        python3 "$e2e_clients" acked "$port" "r$round$client" 400 "$acks" &
        clients+=($!)
        e2e_track $!
    done
    # Kill once uploads are going through, at a random moment among them.
    lines=$(wc -l <"$acks")
    for _ in $(seq 100); do
        [ "$(wc -l <"$acks")" -gt "$lines" ] && break
        sleep 0.05
    done
    sleep "0.$(printf '%03d' $((RANDOM % 400)))"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    # Each client stops at its first unanswered upload; 400 uploads bound the rest.
    for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
    start_server "$port"
done

acknowledged=$(wc -l <"$acks")
[ "$acknowledged" -ge $((rounds * 10)) ] ||
    e2e_fail "only $acknowledged uploads were acknowledged: the kills landed before any work"

# The database as the killed servers left it, read beside the running server.
e2e_dump_scores "$db" >"$work/stored"
python3 -c 'import sys
for line in open(sys.argv[1]):
    name, score = line.rstrip("\n").split("\t")
    print(name.encode("latin-1").hex(), score)' "$acks" | sort -u >"$work/acked"
missing=$(comm -23 "$work/acked" "$work/stored" | wc -l)
[ "$missing" = 0 ] || e2e_fail "$missing of $acknowledged acknowledged uploads are not in the database"

# The restarted server still answers from the same database.
top=$(e2e_http "$port" /velmo/orbelle/haeennatykset.php?sija=1)
[[ "$top" =~ ^200\ r[0-9][ab]\ [0-9]+\ [0-9]+$ ]] || e2e_fail "rank 1 after the kills: '$top'"
echo "PASS: $acknowledged acknowledged uploads over $rounds kills, none lost"
