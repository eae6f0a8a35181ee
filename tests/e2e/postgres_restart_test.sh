#!/usr/bin/env bash
# The database stopped and started again under a running score server: meanwhile every
# request gets 503 with an empty body and the outage is reported once; afterwards the server
# serves again by itself, and entries sent both before and after are stored once.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
: "${ORBELLE_TEST_PG:?runs on the test cluster only}"
cluster="$ORBELLE_SOURCE_DIR/tests/pg/cluster.sh"
e2e_setup pg-restart
resumed=1
# The cluster is shared with the tests after this one: it must run again whatever happens.
trap '[ "$resumed" = 1 ] || bash "$cluster" resume "$ORBELLE_TEST_PG"; e2e_cleanup' EXIT
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet --upload-limit 0
upload() { python3 "$e2e_clients" upload "$e2e_server_port" 127.0.0.1 "$2" "$(printf '%s' "$1" | xxd -p)"; }
rank1() { e2e_http "$e2e_server_port" '/velmo/orbelle/haeennatykset.php?sija=1'; }

[ "$(upload before 10)" = 200 ] || e2e_fail "upload before the outage"
resumed=0
bash "$cluster" pause "$ORBELLE_TEST_PG"
for attempt in 1 2 3; do
    [ "$(upload during 20)" = 503 ] || e2e_fail "upload $attempt during the outage was not 503"
    [ "$(rank1)" = "503 " ] || e2e_fail "rank 1 during the outage: $(rank1)"
done
bash "$cluster" resume "$ORBELLE_TEST_PG"
resumed=1

# Reconnecting waits out a back-off of at most 2 s; allow for a loaded machine.
served_again() { [ "$(rank1)" = "200 before 10" ]; }
e2e_wait 30 "answer after the database came back" served_again
for entry in "before 10" "during 20" "after 30" "during 20"; do
    [ "$(upload $entry)" = 200 ] || e2e_fail "upload $entry after the outage"
done
expected=$'200 after 30\n200 during 20\n200 before 10'$(printf '\n200 %.0s' $(seq 7))
[ "$(e2e_rank_lines "$e2e_server_port")" = "$expected" ] ||
    e2e_fail "rank lines after the outage: $(e2e_rank_lines "$e2e_server_port")"
[ "$(grep -c 'database unavailable' "$e2e_server_err")" = 1 ] ||
    e2e_fail "the outage was not reported exactly once: $(cat "$e2e_server_err")"
echo "PASS: 503 during the outage, served again after it, nothing stored twice"
