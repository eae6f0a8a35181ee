#!/usr/bin/env bash
# The score server as its operator meets it: command lines, a second server on its port or
# database, names with control characters, the upload limit per address, the access log,
# SIGINT, and a damaged database. On SQLite only: one owner per file and damaged pages are
# matters of SQLite files, and the rest concerns no store.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-operator
mkdir "$e2e_work/bare" && cd "$e2e_work/bare"

# The messages themselves are pinned by the unit tests; here the real program ends on them.
for bad in "--port 70000|--port 70000" "--colour blue|--colour"; do
    status=0
    "$e2e_server" ${bad%|*} >/dev/null 2>err || status=$?
    [ "$status" = 2 ] || e2e_fail "'${bad%|*}' gave status $status"
    for word in ${bad#*|}; do grep -qF -- "$word" err || e2e_fail "'${bad%|*}' gave '$(cat err)'"; done
done
[ "$(ls)" = err ] || e2e_fail "a bad command line created $(ls)"
"$e2e_server" --help >help || e2e_fail "--help did not exit 0"
for option in listen port db max-connections max-per-address timeout connection-memory max-request-line \
    threads upload-limit quiet version; do grep -q -- "--$option " help || e2e_fail "no --$option in --help"; done
grep -q -- "--port N .*(8765)" help || e2e_fail "--help does not give the default port"
[[ "$("$e2e_server" --version)" =~ ^orbelle-score-server\ [0-9]+\.[0-9]+ ]] || e2e_fail "--version"

db="$e2e_work/scores.db"
upload() { e2e_upload "$e2e_server_port" "$@"; }
ranks() { for k in "$@"; do e2e_http "$e2e_server_port" "/velmo/orbelle/haeennatykset.php?sija=$k" && echo; done; }
e2e_start_server --db "$db" --upload-limit 2 && port=$e2e_server_port

# A second server: on the same port it must not get the database; on the same database it
# must not touch it. Each says which it found taken.
before=$(md5sum "$db"*)
for taken in "$port --db other.db|port $port" "0 --db $db|$db"; do
    status=0
    "$e2e_server" --listen 127.0.0.1 --port ${taken%|*} 2>second.err || status=$?
    [ "$status" = 1 ] && grep -qF "${taken#*|}" second.err || e2e_fail "a second server ($taken): status $status, $(cat second.err)"
done
[ ! -e other.db ] || e2e_fail "the second server created its database"
[ "$(md5sum "$db"*)" = "$before" ] || e2e_fail "the second server changed the database"

# Tab ("Tab\tX") and Escape ("\e[31mRed") are stored; NUL, CR and LF are refused, and do
# not count against the limit of 2 uploads a minute.
[ "$(upload 127.0.0.3 77 5461620958)" = 200 ] || e2e_fail "a name with a Tab was refused"
[ "$(upload 127.0.0.4 76 1b5b33316d526564 410042 410d42 410a42)" = "200 400 400 400" ] ||
    e2e_fail "names with Escape, NUL, CR, LF were not answered 200 400 400 400"
[ "$(ranks 1 2)" = $'200 Tab\tX 77\n200 \e[31mRed 76' ] ||
    e2e_fail "the names did not come back byte for byte"

# Two uploads from one address reach the limit (the next token comes 30 s later); the third
# ("C") is refused and not stored, while another address may still upload and downloads go
# on: rank 4 is "B 5", rank 5 "D 4".
[ "$(upload 127.0.0.1 5 41 42 43)" = "200 200 429" ] || e2e_fail "the upload limit did not hold"
[ "$(upload 127.0.0.2 4 44)" = 200 ] || e2e_fail "another address was limited too"
answers=$(ranks 4 5 6)
[ "$answers" = $'200 B 5\n200 D 4\n200 ' ] || e2e_fail "ranks 4 to 6 after the limit: $answers"
e2e_stop_server INT
grep -qx '127.0.0.1 GET /velmo/orbelle/lisaaennatys.php?name=%43&score=5 429 [0-9]*' "$e2e_server_err" ||
    e2e_fail "no access log line for the refused upload: $(cat "$e2e_server_err")"
! grep -q hashcheck "$e2e_server_err" || e2e_fail "the access log shows a hashcheck"

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
answers=$(ranks 1 2)
[ "$answers" = $'503 \n503 ' ] || e2e_fail "a damaged database was answered: $answers"
[ "$(upload 127.0.0.1 9 45)" = 503 ] || e2e_fail "an upload into a damaged database was not 503"
reports=$(grep -cF "$db" "$e2e_server_err" || true)
[ "$reports" = 1 ] || e2e_fail "$reports reports of the damage: $(cat "$e2e_server_err")"
e2e_stop_server
echo "PASS: bad options named, one server per port and database, Tab and Escape kept," \
    "limit held, access log without signatures, damage reported"
