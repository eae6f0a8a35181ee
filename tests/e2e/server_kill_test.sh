#!/usr/bin/env bash
# Killing the score server with SIGKILL in the middle of uploads loses no entry it had
# acknowledged: every upload answered 200 is in the database afterwards, and the server
# starts again on the database the kills left behind.
set -euo pipefail

: "${ORBELLE_SOURCE_DIR:?}" "${ORBELLE_BUILD_DIR:?}"
server="$ORBELLE_BUILD_DIR/server/orbelle-score-server"
uploads="$ORBELLE_SOURCE_DIR/tests/fault/signed_uploads.py"
[ -x "$server" ] || { echo "FAIL: $server is not built"; exit 1; }
# shellcheck source=tests/e2e/lib.sh
. "$ORBELLE_SOURCE_DIR/tests/e2e/lib.sh"

work=$(mktemp -d /tmp/orbelle-server-kill-XXXXXX)
pid=""
clients=()
cleanup() {
    if [ -n "$pid" ]; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    for c in "${clients[@]}"; do kill -KILL "$c" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

db=$(e2e_score_db "$work") || fail "no database"
acks="$work/acks"
: >"$acks"

# Starts the server on the database, on $port (0: any free port), and sets pid and port.
start_server() {
    local wanted=$1
    for _ in 1 2 3 4 5; do
        "$server" --listen 127.0.0.1 --port "$wanted" --db "$db" >"$work/out" 2>"$work/err" &
        pid=$!
        for _ in $(seq 50); do
            port=$(sed -n 's/^orbelle-score-server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out")
            [ -n "$port" ] && return 0
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=""
        sleep 0.5 # the port may still be held by the killed server's connections
    done
    fail "the server did not start: $(cat "$work/err")"
}

start_server 0
rounds=6
for round in $(seq 1 "$rounds"); do
    # Two clients at once, so that kills also land between concurrent transactions.
    clients=()
    for client in a b; do
        python3 "$uploads" "$port" "r$round$client" 400 "$acks" >/dev/null &
        clients+=($!)
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
    pid=""
    # Each client stops at its first unanswered upload; 400 uploads bound the rest.
    for c in "${clients[@]}"; do wait "$c" || fail "an upload client failed"; done
    clients=()
    start_server "$port"
done

acknowledged=$(wc -l <"$acks")
[ "$acknowledged" -ge $((rounds * 10)) ] ||
    fail "only $acknowledged uploads were acknowledged: the kills landed before any work"

# The database as the killed servers left it, read beside the running server.
e2e_dump_scores "$db" >"$work/stored"
python3 -c 'import sys
for line in open(sys.argv[1]):
    name, score = line.rstrip("\n").split("\t")
    print(name.encode("latin-1").hex(), score)' "$acks" | sort -u >"$work/acked"
missing=$(comm -23 "$work/acked" "$work/stored" | wc -l)
[ "$missing" = 0 ] || fail "$missing of $acknowledged acknowledged uploads are not in the database"

# The restarted server still answers from the same database.
top=$(python3 - "$port" <<'PY'
import http.client, sys
conn = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]), timeout=5)
conn.request("GET", "/velmo/orbelle/haeennatykset.php?sija=1")
answer = conn.getresponse()
print(answer.status, answer.read().decode("latin-1"))
PY
)
[[ "$top" =~ ^200\ r[0-9][ab]\ [0-9]+\ [0-9]+$ ]] || fail "rank 1 after the kills: '$top'"
echo "PASS: $acknowledged acknowledged uploads over $rounds kills, none lost"
