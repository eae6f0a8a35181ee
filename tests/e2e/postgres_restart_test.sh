#!/usr/bin/env bash
# The database stopped and started again under a running score server: meanwhile every
# request gets 503 with an empty body and the outage is reported once; afterwards the server
# serves again by itself, and entries sent both before and after are stored once.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
. "${ORBELLE_SOURCE_DIR:?}/tests/e2e/lib.sh"
: "${ORBELLE_TEST_PG:?runs on the test cluster only}"
cluster="$ORBELLE_SOURCE_DIR/tests/pg/cluster.sh"

e2e_setup pg-restart
resumed=1
# The cluster is shared with the tests after this one: it must run again whatever happens.
trap '[ "$resumed" = 1 ] || bash "$cluster" resume "$ORBELLE_TEST_PG"; e2e_cleanup' EXIT
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet --upload-limit 0
port=$e2e_server_port

upload() {
    local hash
    hash=$(printf '%s' "$1$2kovrenaltu37" | md5sum | cut -d' ' -f1)
    e2e_http "$port" "/velmo/orbelle/lisaaennatys.php?name=$1&score=$2&hashcheck=$hash"
}
rank1='/velmo/orbelle/haeennatykset.php?sija=1'

[ "$(upload before 10)" = "200 OK" ] || e2e_fail "upload before the outage: $(upload before 10)"
resumed=0
bash "$cluster" pause "$ORBELLE_TEST_PG"
for attempt in 1 2 3; do
    [ "$(upload during 20)" = "503 " ] || e2e_fail "upload $attempt during the outage: $(upload during 20)"
    [ "$(e2e_http "$port" "$rank1")" = "503 " ] || e2e_fail "rank 1 during the outage"
done
bash "$cluster" resume "$ORBELLE_TEST_PG"
resumed=1

# Reconnecting waits out a back-off of at most 2 s; allow for a loaded machine.
deadline=$((SECONDS + 30))
until [ "$(e2e_http "$port" "$rank1")" = "200 before 10" ]; do
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no answer 30 s after the database came back"
    sleep 0.2
done
for entry in "before 10" "during 20" "after 30" "during 20"; do
    [ "$(upload $entry)" = "200 OK" ] || e2e_fail "upload $entry after the outage"
done
e2e_rank_lines "$port" >"$e2e_work/ranks"
printf '200 after 30\n200 during 20\n200 before 10\n' >"$e2e_work/expected"
for _ in $(seq 7); do echo "200 "; done >>"$e2e_work/expected"
diff "$e2e_work/expected" "$e2e_work/ranks" >&2 ||
    e2e_fail "rank lines after the outage"
[ "$(grep -c 'database unavailable' "$e2e_server_err")" = 1 ] ||
    e2e_fail "the outage was not reported exactly once: $(cat "$e2e_server_err")"
echo "PASS: 503 during the outage, served again after it, nothing stored twice"
