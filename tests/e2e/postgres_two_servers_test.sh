#!/usr/bin/env bash
# Two score servers on one PostgreSQL database, as behind a load balancer: uploads spread over
# both, some entries sent to both at once. Every entry is stored once, every acknowledged one
# is stored, and both servers give the same rank lines, the best ten of the table.
# (A server killed among uploads on PostgreSQL: server_kill_test.sh in its PostgreSQL run.)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
: "${ORBELLE_TEST_PG:?runs on the test cluster only}"
e2e_setup two-servers
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
    python3 "$e2e_clients" acked "$port" "$prefix" 40 "$acks" "$first" 3 & clients+=($!)
done
for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
[ "$(wc -l <"$acks")" = 160 ] || e2e_fail "only $(wc -l <"$acks") of 160 uploads were answered 200"
e2e_dump_scores "$db" >"$e2e_work/stored"
[ "$(wc -l <"$e2e_work/stored")" = 120 ] || e2e_fail "$(wc -l <"$e2e_work/stored") rows, not 120"
[ "$(e2e_acked_missing "$acks" "$db")" = 0 ] || e2e_fail "acknowledged uploads are missing"

# Worked out by hand: the ten best are "both 39" (score 120) down to "b 37" (111).
expected=""
for score in $(seq 120 -1 111); do
    case $((score % 3)) in 0) name="both $((score / 3 - 1))" ;; 1) name="a $((score / 3))" ;;
    2) name="b $((score / 3))" ;; esac
    expected+="200 $name $score"$'\n'
done
[ "$(e2e_rank_lines "$portA")"$'\n' = "$expected" ] || e2e_fail "server A's rank lines differ"
[ "$(e2e_rank_lines "$portB")"$'\n' = "$expected" ] || e2e_fail "server B's rank lines differ"
echo "PASS: 120 entries stored once from two servers, both list the same ten"
