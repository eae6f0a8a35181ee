#!/bin/bash
# The score server program: options, the line it prints, uploads over HTTP, its access log,
# a clean stop on SIGTERM and SIGINT, and entries that are still there after a restart.
set -u
# shellcheck source=tests/e2e/lib.sh
. "${ORBELLE_SOURCE_DIR:?}/tests/e2e/lib.sh"
server="${ORBELLE_BUILD_DIR:?}/server/orbelle-score-server"
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[ -x "$server" ] || fail "no server program at $server"
db=$(e2e_score_db "$work") || fail "no database"

# Starts the server on a free port and sets pid and port.
start_server() {
    "$server" --listen 127.0.0.1 --port=0 --db="$db" >"$work/out" 2>"$work/err" &
    pid=$!
    port=""
    for _ in $(seq 50); do
        port=$(sed -n 's/^orbelle-score-server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out")
        [ -n "$port" ] && return 0
        sleep 0.1
    done
    fail "the server printed no listening line: $(cat "$work/out" "$work/err")"
}

# Sends a signal and expects the server to end by itself with status 0 within 10 s.
stop_server() {
    kill "-$1" "$pid"
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the server ignored SIG$1"
    wait "$pid"
    status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "the server ended with status $status after SIG$1"
}

get() {
    curl -s -m 5 -o "$work/body" -w '%{http_code}' "http://127.0.0.1:$port$1"
}

hash=$(printf '%s' 'Ann Lee77kovrenaltu37' | md5sum | cut -d' ' -f1)

start_server
[ "$(get /)" = 200 ] || fail "the root does not answer"
[ "$(get "/velmo/orbelle/lisaaennatys.php?name=Ann%20Lee&score=77&hashcheck=$hash")" = 200 ] ||
    fail "a signed upload was refused"
[ "$(get "/velmo/orbelle/lisaaennatys.php?name=Ann%20Lee&score=78&hashcheck=$hash")" = 403 ] ||
    fail "an upload with a wrong hashcheck was not refused"
stop_server TERM
# One line per request, without the signature.
grep -qx "127.0.0.1 GET /velmo/orbelle/lisaaennatys.php?name=Ann%20Lee&score=78 403 [0-9]*" \
    "$work/err" || fail "no access log line for the refused upload: $(cat "$work/err")"
grep -q "$hash" "$work/err" && fail "the access log shows a hashcheck"

start_server
[ "$(get '/velmo/orbelle/haeennatykset.php?sija=1')" = 200 ] || fail "rank 1 does not answer"
[ "$(cat "$work/body")" = "Ann Lee 77" ] || fail "rank 1 after a restart is '$(cat "$work/body")'"
[ "$(get '/velmo/orbelle/haeennatykset.php?sija=2')" = 200 ] && [ ! -s "$work/body" ] ||
    fail "rank 2 should be empty"
stop_server INT

# A bad command line: status 2, a message naming the option and the value, no database.
cd "$work"
while IFS='|' read -r args words; do
    $server $args >/dev/null 2>"$work/err"
    status=$?
    [ "$status" -eq 2 ] || fail "'$args' gave status $status"
    for word in $words; do
        grep -qF -- "$word" "$work/err" || fail "'$args' gave '$(cat "$work/err")'"
    done
done <<'EOF'
--port 70000|--port 70000
--port=abc|--port abc
--listen 999.1.1.1|--listen 999.1.1.1
--timeout 0|--timeout 0
--colour blue|--colour
--db|--db
EOF
[ ! -e "$work/orbelle-scores.db" ] || fail "a bad command line created the database"
"$server" --help >"$work/out" || fail "--help did not exit 0"
for option in listen port db max-connections max-per-address timeout connection-memory \
    max-request-line threads upload-limit quiet version; do
    grep -q -- "--$option " "$work/out" || fail "--help does not mention --$option"
done
grep -q -- "--port N .*(8765)" "$work/out" || fail "--help does not give the default port"
[[ "$("$server" --version)" =~ ^orbelle-score-server\ [0-9]+\.[0-9]+ ]] || fail "--version"
echo "score server: all checks passed"
