#!/usr/bin/env bash
# The score server as its operator meets it: command lines, a second server on its port or
# database, SIGINT, a damaged database, a file-size limit and a standard error that nobody
# reads (the access log, without times for the journal). On SQLite only: one owner per file,
# damaged pages and file sizes are matters of SQLite files, and the rest concerns no store.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-operator
mkdir "$e2e_work/bare" && cd "$e2e_work/bare"

# The messages themselves are pinned by the unit tests; here the real program ends on them.
status=0 && "$e2e_server" --port 70000 >/dev/null 2>err || status=$?
[ "$status" = 2 ] && grep -qF -- "--port '70000'" err || e2e_fail "'--port 70000' gave status $status, '$(cat err)'"
[ "$(ls)" = err ] || e2e_fail "a bad command line created $(ls)"
# A password file that cannot be read ends the start before any database is tried.
status=0 && "$e2e_server" --db postgresql://nobody@/none --db-password-file "$e2e_work/none" 2>err || status=$?
[ "$status" = 1 ] && grep -qF "$e2e_work/none" err || e2e_fail "an unreadable password file: $status $(cat err)"
"$e2e_server" --help >help || e2e_fail "--help did not exit 0"
for option in listen port db db-password-file max-connections max-per-address timeout header-timeout store-timeout \
    connection-memory max-request-line threads upload-limit quiet version verified-only replay-cpu replay-queue list remove ban unban; do
    grep -q -- "--$option " help || e2e_fail "no --$option in --help"
done
grep -q -- "--port N .*(8765)" help || e2e_fail "--help does not give the default port"
[[ "$("$e2e_server" --version)" =~ ^orbelle-score-server\ [0-9]+\.[0-9]+ ]] || e2e_fail "--version"

db="$e2e_work/scores.db"
e2e_start_server --db "$db" && port=$e2e_server_port

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

# An entry for the damage below to meet; SIGINT ends the server as SIGTERM does.
[ "$(e2e_upload "$port" 127.0.0.1 76 52)" = 200 ] || e2e_fail "an upload was refused"
e2e_stop_server INT

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
answers=$(e2e_rank "$e2e_server_port" && echo && e2e_http "$e2e_server_port" /health)
[ "$answers" = $'503 \n503 ' ] || e2e_fail "a damaged database was answered: $answers"
[ "$(e2e_upload "$e2e_server_port" 127.0.0.1 9 45)" = 503 ] || e2e_fail "an upload into a damaged database was not 503"
reports=$(grep -cF "$db" "$e2e_server_err" || true)
[ "$reports" = 1 ] || e2e_fail "$reports reports of the damage: $(cat "$e2e_server_err")"
e2e_stop_server

# A file-size limit (ulimit -f, systemd's LimitFSIZE=) reached by the database: uploads get
# 503 and the server reads on, where the signal of the limit would end it without a word.
rm -f "$db"*
# The server takes the limit along; this shell and what it starts later are without.
ulimit -S -f 200 && e2e_start_server --db "$db" && ulimit -S -f "$(ulimit -H -f)" && port=$e2e_server_port
for score in $(seq 100); do status=$(e2e_upload "$port" 127.0.0.1 "$score" 46) && [ "$status" = 200 ] || break; done
[ "$status" = 503 ] || e2e_fail "upload $score at the file-size limit: $status"
[ "$(e2e_upload "$port" 127.0.0.1 999 46):$(e2e_rank "$port")" = "503:200 F $((score - 1))" ] ||
    e2e_fail "at the file-size limit: $(cat "$e2e_work/body")"
[ "$(grep -c 'disk I/O error (files may hold 204800 bytes at most)' "$e2e_server_err")" = 1 ] || e2e_fail "the limit reported as: $(grep -v GET "$e2e_server_err")"
e2e_stop_server

# Standard error a pipe that nobody reads (4 kB of it, filled by about 60 lines): requests are
# answered all the same, and their lines come once the pipe is read again.
mkfifo log
python3 -c 'import fcntl, os, time
pipe = os.open("log", os.O_RDONLY | os.O_NONBLOCK)
fcntl.fcntl(pipe, 1031, 4096)  # F_SETPIPE_SZ
print("open", flush=True)
while not os.path.exists("read"):
    time.sleep(0.05)
os.set_blocking(pipe, True)
os.dup2(pipe, 0)
os.execvp("cat", ["cat"])' >log.out &
e2e_track $!
e2e_wait 10 "a reader of the pipe" grep -q open log.out
# As systemd's journal, which stamps lines itself, it gets no times of the server's.
JOURNAL_STREAM=$(stat -c %d:%i log) "$e2e_server" --listen 127.0.0.1 --port 0 --db "$db" >server.out 2>log &
e2e_server_pid=$! && e2e_track "$e2e_server_pid" && e2e_server_err=log.out
e2e_wait 10 "listening line" e2e_server_listens server.out
read -r answered _ < <(python3 "$e2e_clients" ask "$e2e_server_port" 300 127.0.0.1)
[ "$answered" = 300 ] || e2e_fail "only $answered of 300 requests answered while stderr was not read"
touch read
logged() { [ "$(grep -c ' GET /velmo/orbelle/haeennatykset.php?sija=1 200 ' log.out)" -ge 300 ]; }
e2e_wait 10 "the 300 access log lines" logged
! grep -q '^20[0-9][0-9]-' log.out || e2e_fail "access-log lines to the journal carry times"
e2e_stop_server
echo "PASS: bad options named, one server per port and database, damage reported," \
    "file-size limit met with 503, served while stderr was not read"
