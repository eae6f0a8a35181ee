#!/bin/bash
# The score server program: options, the line it prints, uploads over HTTP, its access log,
# a clean stop on SIGTERM and SIGINT, and entries that are still there after a restart.
set -u
# shellcheck source=tests/e2e/lib.sh
. "${ORBELLE_SOURCE_DIR:?}/tests/e2e/lib.sh"
e2e_setup server-restart
work=$e2e_work
db=$(e2e_score_db "$work") || e2e_fail "no database"
get() { curl -s -m 5 -o "$work/body" -w '%{http_code}' "http://127.0.0.1:$e2e_server_port$1"; }
hash=$(printf '%s' 'Ann Lee77kovrenaltu37' | md5sum | cut -d' ' -f1)

e2e_start_server --db="$db"
[ "$(get /)" = 200 ] || e2e_fail "the root does not answer"
[ "$(get "/velmo/orbelle/lisaaennatys.php?name=Ann%20Lee&score=77&hashcheck=$hash")" = 200 ] ||
    e2e_fail "a signed upload was refused"
[ "$(get "/velmo/orbelle/lisaaennatys.php?name=Ann%20Lee&score=78&hashcheck=$hash")" = 403 ] ||
    e2e_fail "an upload with a wrong hashcheck was not refused"
e2e_stop_server TERM
# One line per request, without the signature.
grep -qx "127.0.0.1 GET /velmo/orbelle/lisaaennatys.php?name=Ann%20Lee&score=78 403 [0-9]*" \
    "$e2e_server_err" || e2e_fail "no access log line for the refused upload: $(cat "$e2e_server_err")"
grep -q "$hash" "$e2e_server_err" && e2e_fail "the access log shows a hashcheck"

e2e_start_server --db="$db"
[ "$(get '/velmo/orbelle/haeennatykset.php?sija=1')" = 200 ] || e2e_fail "rank 1 does not answer"
[ "$(cat "$work/body")" = "Ann Lee 77" ] || e2e_fail "rank 1 after a restart is '$(cat "$work/body")'"
[ "$(get '/velmo/orbelle/haeennatykset.php?sija=2')" = 200 ] && [ ! -s "$work/body" ] ||
    e2e_fail "rank 2 should be empty"
e2e_stop_server INT

# A bad command line: status 2, a message naming the option and the value, no database.
cd "$work"
while IFS='|' read -r args words; do
    $e2e_server $args >/dev/null 2>"$work/err"
    status=$?
    [ "$status" -eq 2 ] || e2e_fail "'$args' gave status $status"
    for word in $words; do
        grep -qF -- "$word" "$work/err" || e2e_fail "'$args' gave '$(cat "$work/err")'"
    done
done <<'EOF2'
--port 70000|--port 70000
--port=abc|--port abc
--listen 999.1.1.1|--listen 999.1.1.1
--timeout 0|--timeout 0
--colour blue|--colour
--db|--db
EOF2
[ ! -e "$work/orbelle-scores.db" ] || e2e_fail "a bad command line created the database"
"$e2e_server" --help >"$work/out" || e2e_fail "--help did not exit 0"
for option in listen port db max-connections max-per-address timeout connection-memory \
    max-request-line threads upload-limit quiet version; do
    grep -q -- "--$option " "$work/out" || e2e_fail "--help does not mention --$option"
done
grep -q -- "--port N .*(8765)" "$work/out" || e2e_fail "--help does not give the default port"
[[ "$("$e2e_server" --version)" =~ ^orbelle-score-server\ [0-9]+\.[0-9]+ ]] || e2e_fail "--version"
echo "score server: all checks passed"
