#!/usr/bin/env bash
# Two score servers on one PostgreSQL database, as behind a load balancer. Uploads spread over
# both, some entries sent to both at once: every entry is stored once and both servers give
# the same rank lines. Then one server is killed with SIGKILL during uploads: every upload it
# or the other answered 200 is stored, and the survivor serves the whole list.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
. "${ORBELLE_SOURCE_DIR:?}/tests/e2e/lib.sh"
uploads=(python3 "$e2e_clients" acked)
: "${ORBELLE_TEST_PG:?runs on the test cluster only}"

e2e_setup two-servers
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" --quiet --upload-limit 0
pidA=$e2e_server_pid portA=$e2e_server_port
e2e_start_server --db "$db" --quiet --upload-limit 0
portB=$e2e_server_port
acks="$e2e_work/acks"
: >"$acks"

# The expected rank lines: the best ten stored entries (always more than ten), read from the
# table; an upload cut off by the kill may be stored unanswered. Every score is used once, so
# the order does not depend on which server stored an entry first.
expected_ranks() {
    sort -k2,2nr "$e2e_work/stored" | head -n 10 |
        python3 -c 'import sys
for line in sys.stdin:
    name, score = line.split()
    print("200", bytes.fromhex(name).decode("latin-1"), score)'
}

# Each stored entry once, and exactly the acknowledged ones.
check_table() {
    e2e_dump_scores "$db" >"$e2e_work/stored"
    [ -z "$(uniq -d "$e2e_work/stored")" ] || e2e_fail "an entry is stored twice"
    python3 -c 'import sys
for line in open(sys.argv[1]):
    name, score = line.rstrip("\n").split("\t")
    print(name.encode("latin-1").hex(), score)' "$acks" | sort -u >"$e2e_work/acked"
    local lost
    lost=$(comm -23 "$e2e_work/acked" "$e2e_work/stored" | wc -l)
    [ "$lost" = 0 ] || e2e_fail "$lost acknowledged uploads are missing ($1)"
}

# Scores interleave over the three streams: a gets 1, 4, 7...; b 2, 5...; both 3, 6...
clients=()
"${uploads[@]}" "$portA" a 40 "$acks" 1 3 >/dev/null & clients+=($!)
"${uploads[@]}" "$portB" b 40 "$acks" 2 3 >/dev/null & clients+=($!)
"${uploads[@]}" "$portA" both 40 "$acks" 3 3 >/dev/null & clients+=($!)
"${uploads[@]}" "$portB" both 40 "$acks" 3 3 >/dev/null & clients+=($!)
for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
[ "$(wc -l <"$acks")" = 160 ] || e2e_fail "only $(wc -l <"$acks") of 160 uploads were answered 200"
check_table "both servers running"
[ "$(wc -l <"$e2e_work/stored")" = 120 ] || e2e_fail "$(wc -l <"$e2e_work/stored") rows, not 120"
e2e_rank_lines "$portA" >"$e2e_work/ranksA"
e2e_rank_lines "$portB" >"$e2e_work/ranksB"
expected_ranks >"$e2e_work/ranks"
diff "$e2e_work/ranks" "$e2e_work/ranksA" >&2 || e2e_fail "server A's rank lines differ"
diff "$e2e_work/ranks" "$e2e_work/ranksB" >&2 || e2e_fail "server B's rank lines differ"

# Server A dies at a random moment among its uploads; B goes on.
clients=()
"${uploads[@]}" "$portA" killed 3000 "$acks" 1000 2 >/dev/null & clients+=($!)
"${uploads[@]}" "$portB" alive 100 "$acks" 1001 2 >/dev/null & clients+=($!)
for _ in $(seq 200); do
    [ "$(grep -c '^killed ' "$acks" || true)" -ge 5 ] && break
    sleep 0.05
done
sleep "0.$(printf '%03d' $((RANDOM % 300)))"
kill -KILL "$pidA"
wait "$pidA" 2>/dev/null || true
for c in "${clients[@]}"; do wait "$c" || e2e_fail "an upload client failed"; done
killedAcks=$(grep -c '^killed ' "$acks" || true)
[ "$killedAcks" -gt 0 ] && [ "$killedAcks" -lt 3000 ] ||
    e2e_fail "server A was not killed among its uploads ($killedAcks answered)"
check_table "after SIGKILL"
e2e_rank_lines "$portB" >"$e2e_work/ranksB"
expected_ranks >"$e2e_work/ranks"
diff "$e2e_work/ranks" "$e2e_work/ranksB" >&2 || e2e_fail "the survivor's rank lines differ"
echo "PASS: $(wc -l <"$e2e_work/stored") entries stored once from two servers, $killedAcks acknowledged by the killed one"
