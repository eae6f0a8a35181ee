#!/usr/bin/env bash
# Two score servers on one PostgreSQL database: uploads to both are stored once and both list
# the same ten; a database outage gives 503, one report per server, and they recover alone;
# the database's warnings reach the log as the server's own lines.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
: "${ORBELLE_TEST_PG:?runs on the test cluster only}"
cluster="$ORBELLE_SOURCE_DIR/tests/pg/cluster.sh"
e2e_setup two-servers
resumed=1
# The cluster is shared with the tests after this one: it must run again whatever happens.
trap '[ "$resumed" = 1 ] || bash "$cluster" resume "$ORBELLE_TEST_PG"; e2e_cleanup' EXIT
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet --upload-limit 0
portA=$e2e_server_port
e2e_start_server --db "$db" --quiet --upload-limit 0
portB=$e2e_server_port
acks="$e2e_work/acks"

# Scores interleave over the three streams: a gets 1, 4, 7...; b 2, 5...; both 3, 6...
clients=()
for stream in "$portA a 1" "$portB b 2" "$portA both 3" "$portB both 3"; do
    read -r port prefix first <<<"$stream"
    e2e_acked "$port" "$prefix" 40 "$acks" "$first" 3 & clients+=($!)
done
for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
[ "$(wc -l <"$acks")" = 160 ] || e2e_fail "only $(wc -l <"$acks") of 160 uploads were answered 200"
[ "$(e2e_dump_scores "$db" | wc -l)" = 120 ] || e2e_fail "$(e2e_dump_scores "$db" | wc -l) rows, not 120"
[ "$(e2e_acked_missing "$acks" "$db")" = 0 ] || e2e_fail "acknowledged uploads are missing"
# Worked out by hand: the ten best are "both 39" (score 120) down to "b 37" (111).
expected=$(for score in $(seq 120 -1 111); do
    echo "200 $(case $((score % 3)) in 0) echo both $((score / 3 - 1)) ;; 1) echo a $((score / 3)) ;; 2) echo b $((score / 3)) ;; esac) $score"
done)
[ "$(e2e_rank_lines "$portA")" = "$expected" ] || e2e_fail "server A's rank lines differ"
[ "$(e2e_rank_lines "$portB")" = "$expected" ] || e2e_fail "server B's rank lines differ"

upload() { e2e_upload "$portA" 127.0.0.1 "$2" "$(printf '%s' "$1" | xxd -p)"; }
resumed=0; bash "$cluster" pause "$ORBELLE_TEST_PG"
for attempt in 1 2 3; do
    [ "$(upload during 20)" = 503 ] || e2e_fail "upload $attempt during the outage was not 503"
    [ "$(e2e_rank "$portB")" = "503 " ] || e2e_fail "rank 1 during the outage: $(e2e_rank "$portB")"
done
bash "$cluster" resume "$ORBELLE_TEST_PG"; resumed=1
# Reconnecting waits out a back-off of at most 2 s; allow for a loaded machine.
served_again() { [ "$(e2e_rank "$portA") $(e2e_rank "$portB")" = "${expected%%$'\n'*} ${expected%%$'\n'*}" ]; }
e2e_wait 30 "answer after the database came back" served_again
for entry in "both 39 120" "during 200" "after 300" "during 200"; do
    [ "$(upload "${entry% *}" "${entry##* }")" = 200 ] || e2e_fail "upload $entry after the outage"
done
[ "$(e2e_rank_lines "$portB" | head -n 3)" = $'200 after 300\n200 during 200\n200 both 39 120' ] ||
    e2e_fail "rank lines after the outage: $(e2e_rank_lines "$portB")"
[ "$(e2e_dump_scores "$db" | wc -l)" = 122 ] || e2e_fail "$(e2e_dump_scores "$db" | wc -l) rows, not 122"
for err in "$e2e_work"/server-[12].err; do
    [ "$(grep -c 'database unavailable' "$err")" = 1 ] || e2e_fail "the outage was not reported once: $(cat "$err")"
done
# A warning of the database's reaches the log with the program's name, as every line does.
psql -q -v ON_ERROR_STOP=1 "$db" -c "CREATE FUNCTION warn() RETURNS trigger LANGUAGE plpgsql AS
    \$\$ BEGIN RAISE WARNING 'score %', NEW.score; RETURN NEW; END \$\$;
    CREATE TRIGGER warn BEFORE INSERT ON scores FOR EACH ROW EXECUTE FUNCTION warn()" >/dev/null
[ "$(upload warned 400)" = 200 ] || e2e_fail "no upload beside the trigger"
e2e_wait 10 "the warning in the log" grep -qx 'orbelle-score-server: database: WARNING:  score 400' \
    "$e2e_work/server-1.err"
echo "PASS: 120 entries stored once from two servers, both list the same ten; 503 during an" \
    "outage, served after it; the database's warnings in the log"
