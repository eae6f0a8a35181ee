#!/usr/bin/env bash
# The score server program as its owner meets it: a second server on the same port or the
# same database refuses to start and changes nothing; names with Tab and Escape come back as
# they went in; one address is held to its upload limit while others and downloads are not;
# a damaged database is reported once and answered with 503 and no body.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
# One owner per file and damaged pages are matters of SQLite files; PostgreSQL is shared.
[ -z "${ORBELLE_TEST_PG:-}" ] || { echo "SKIP: SQLite files only"; exit 77; }
e2e_setup server-ownership

db="$e2e_work/scores.db"
rank() { echo "/velmo/orbelle/haeennatykset.php?sija=$1"; }
clients() { python3 "$e2e_clients" "$@"; }
# upload SOURCE SCORE NAME_HEX...: the statuses, one per name.
upload() { clients upload "$e2e_server_port" "$@"; }

e2e_start_server --db "$db" --upload-limit 2
port=$e2e_server_port

# A second server: on the same port it must not get the database; on the same database it
# must not touch it.
status=0
"$e2e_server" --listen 127.0.0.1 --port "$port" --db "$e2e_work/other.db" 2>"$e2e_work/second.err" ||
    status=$?
[ "$status" = 1 ] && grep -q "port $port" "$e2e_work/second.err" ||
    e2e_fail "second server on port $port: status $status, '$(cat "$e2e_work/second.err")'"
[ ! -e "$e2e_work/other.db" ] || e2e_fail "the second server created its database"
before=$(md5sum "$db"*)
status=0
"$e2e_server" --listen 127.0.0.1 --port 0 --db "$db" 2>"$e2e_work/second.err" || status=$?
[ "$status" = 1 ] && grep -qF "$db" "$e2e_work/second.err" ||
    e2e_fail "second server on the database: status $status, '$(cat "$e2e_work/second.err")'"
[ "$(md5sum "$db"*)" = "$before" ] || e2e_fail "the second server changed the database"

# Tab ("Tab\tX") and Escape ("\e[31mRed") are stored; NUL, CR and LF are refused, and do
# not count against the limit of 2 uploads a minute.
[ "$(upload 127.0.0.3 77 5461620958)" = 200 ] || e2e_fail "a name with a Tab was refused"
[ "$(upload 127.0.0.4 76 1b5b33316d526564 410042 410d42 410a42)" = "200 400 400 400" ] ||
    e2e_fail "names with Escape, NUL, CR, LF were not answered 200 400 400 400"
expected="200 5461620958203737
200 1b5b33316d526564203736"
[ "$(clients get "$port" 127.0.0.1 "$(rank 1)" "$(rank 2)")" = "$expected" ] ||
    e2e_fail "the names did not come back byte for byte"

# Two uploads from one address reach the limit (the next token comes 30 s later); the third
# ("C") is refused and not stored, while another address may still upload and downloads go
# on: rank 4 is "B 5", rank 5 "D 4".
[ "$(upload 127.0.0.1 5 41 42 43)" = "200 200 429" ] || e2e_fail "the upload limit did not hold"
[ "$(upload 127.0.0.2 4 44)" = 200 ] || e2e_fail "another address was limited too"
expected="200 422035
200 442034
200 "
[ "$(clients get "$port" 127.0.0.1 "$(rank 4)" "$(rank 5)" "$(rank 6)")" = "$expected" ] ||
    e2e_fail "ranks 4 to 6 after the limit: $(clients get "$port" 127.0.0.1 "$(rank 4)" "$(rank 5)" "$(rank 6)")"
e2e_stop_server

# The page of the scores table damaged (its first bytes give the page's kind).
python3 - "$db" <<'PY'
import sqlite3, sys
page = sqlite3.connect(sys.argv[1]).execute(
    "SELECT rootpage FROM sqlite_master WHERE name = 'scores'").fetchone()[0]
with open(sys.argv[1], "r+b") as f:
    f.seek((page - 1) * 4096)
    f.write(b"\xff" * 16)
PY
e2e_start_server --db "$db"
answers=$(clients get "$e2e_server_port" 127.0.0.1 "$(rank 1)" "$(rank 2)")
[ "$answers" = "503 
503 " ] || e2e_fail "a damaged database was answered: $answers"
[ "$(upload 127.0.0.1 9 45)" = 503 ] || e2e_fail "an upload into a damaged database was not 503"
reports=$(grep -cF "$db" "$e2e_server_err" || true)
[ "$reports" = 1 ] || e2e_fail "$reports reports of the damage: $(cat "$e2e_server_err")"
e2e_stop_server
echo "PASS: one server per port and database, Tab and Escape kept, limit held, damage reported"
