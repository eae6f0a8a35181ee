#!/usr/bin/env bash
# Replays sent to the real server: checked ones are kept and shown as verified on the page and
# in scores.json, served back byte for byte, and alone listed with --verified-only, which hides
# a score that only a signed upload (curl) put there. Forged replays, bodies too long or without
# a length: ScoreServerTest and HttpDaemonTest (in process).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-replays
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
replays="$ORBELLE_SOURCE_DIR/tests/replays"
e2e_start_server --db "$db" --quiet && port=$e2e_server_port
post() {
    local answer && answer=$(e2e_http "$port" /replays -H 'Content-Type: application/octet-stream' --data-binary "@$1")
    echo "${answer%% *}"
}
[ "$(e2e_upload "$port" 127.0.0.1 99999 4375726c)" = 200 ] || e2e_fail "the signed upload was refused"
answers="$(post "$replays/round-3.orbr") $(post "$replays/round-0.orbr")"
[ "$answers" = "200 200" ] || e2e_fail "replays answered $answers"

json=$(e2e_http "$port" /scores.json)
pattern='^200 \[\{"rank":1,"name":"Curl","score":99999,"verified":false\},\{"rank":2,"name":"script","score":410,"verified":true,"replay":"(/replays/[0-9]+)"\},\{"rank":3,"name":"script","score":226,"verified":true,"replay":"/replays/[0-9]+"\}\]$'
[[ "$json" =~ $pattern ]] || e2e_fail "scores.json: $json"
proof=${BASH_REMATCH[1]}
e2e_http "$port" "$proof" >/dev/null && cmp -s "$e2e_work/body" "$replays/round-3.orbr" ||
    e2e_fail "$proof is not the file sent"
e2e_http "$port" / -H 'Accept: text/html' >/dev/null
grep -q "<tr><td>1</td><td>Curl</td><td>99999</td><td></td></tr>" "$e2e_work/body" &&
    grep -q "<tr><td>2</td><td>script</td><td>410</td><td><a href=\"$proof\"" "$e2e_work/body" ||
    e2e_fail "the page does not mark the verified entry alone: $(grep '<tr>' "$e2e_work/body")"
e2e_stop_server

e2e_start_server --db "$db" --quiet --verified-only && port=$e2e_server_port
[ "$(e2e_rank_lines "$port" | head -n 3)" = $'200 script 410\n200 script 226\n200 ' ] ||
    e2e_fail "--verified-only ranks: $(e2e_rank_lines "$port")"
e2e_http "$port" / -H 'Accept: text/html' >/dev/null
! grep -q Curl "$e2e_work/body" && [[ "$(e2e_http "$port" /scores.json)" != *Curl* ]] ||
    e2e_fail "--verified-only shows the score of a signed upload alone"
e2e_stop_server
echo "PASS: replays kept and marked verified on the page and in JSON, served back;" \
    "--verified-only hides a curl-only score"
