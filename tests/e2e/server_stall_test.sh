#!/usr/bin/env bash
# The score server while another program stalls its database: on SQLite a transaction that
# holds the write lock, on PostgreSQL a session holding LOCK TABLE scores. Requests that need
# no database are answered meanwhile, /health as the database does; those that wait for it get
# 503 with an empty body at their time limit; the server serves again once the lock is gone;
# and SIGTERM ends it while a request still waits.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-stall
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
# One event loop: a database call made on it would hold up every other request.
e2e_start_server --db "$db" --threads 1 --store-timeout 2000 && port=$e2e_server_port

# waiting NAME PATH: a request in the background; its status lands in NAME.status at its end.
waiting() {
    curl -s --noproxy '*' -m 20 -o "$e2e_work/$1.body" -w '%{http_code}' "http://127.0.0.1:$port$2" \
        >"$e2e_work/$1.status" &
    e2e_track $!
}
pending() { [ ! -s "$e2e_work/$1.status" ]; }
answered() { ! pending "$1"; }
hash=$(printf 'A7kovrenaltu37' | md5sum) && stored="/velmo/orbelle/lisaaennatys.php?name=A&score=7&hashcheck=${hash%% *}"

e2e_lock_database "$db"
waiting upload "$stored"
e2e_wait 10 "the upload read" e2e_requests_read "$port" 1
# The probe, and on SQLite a rank (readers pass a writer's lock), while the upload waits.
# (Reads held by PostgreSQL's LOCK TABLE: StoreStallTest; unavailable as 503: ScoreServerTest.)
[ "$(e2e_http "$port" /)" = "200 Orbelle score server" ] || e2e_fail "no probe during the stall"
pending upload || e2e_fail "the upload was answered before the probe: $(cat "$e2e_work/upload.status")"
[[ "$db" == postgres* ]] || [ "$(e2e_rank "$port") $(e2e_http "$port" /health)" = "200  200 OK" ] &&
    pending upload || e2e_fail "no rank during the stall"
e2e_wait 15 "an answer to the stalled upload" answered upload
[ "$(cat "$e2e_work/upload.status")" = 503 ] && [ ! -s "$e2e_work/upload.body" ] ||
    e2e_fail "the stalled upload: $(cat "$e2e_work/upload.status") '$(cat "$e2e_work/upload.body")'"
e2e_unlock_database
[ "$(e2e_upload "$port" 127.0.0.1 8 41)" = 200 ] && [ "$(e2e_rank "$port")" = "200 A 8" ] || e2e_fail "no upload after the stall"

# SIGTERM while a request waits for the locked database.
e2e_lock_database "$db"
waiting last "$stored"
e2e_wait 10 "the last upload read" e2e_requests_read "$port" 1
[ "$(e2e_http "$port" /)" = "200 Orbelle score server" ] && pending last || e2e_fail "no probe in the second stall"
e2e_stop_server
[ "$(cat "$e2e_work/last.status")" = 503 ] || e2e_fail "the request cut short by SIGTERM got $(cat "$e2e_work/last.status")"
e2e_unlock_database
echo "PASS: probe answered while the database was locked, 503 at the time limit, served again" \
    "after, stopped by SIGTERM during a stall"
