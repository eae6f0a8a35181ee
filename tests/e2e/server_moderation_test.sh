#!/usr/bin/env bash
# An operator cleans the list while the server runs on the database: --list names each entry
# as a word to paste, --ban makes a name's uploads 403, --remove takes an entry out (a Latin-1
# name given by its bytes), --unban lets the name upload again. The running server answers
# from the database as changed.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_setup server-moderation
db=$(e2e_score_db "$e2e_work") || e2e_fail "no database"
e2e_start_server --db "$db" && port=$e2e_server_port
upload() { e2e_upload "$port" 127.0.0.1 "$@"; }
admin() { "$e2e_server" --db "$db" "$@" 2>&1; }
cheater=43686561746572 # "Cheater"; then "Jürgen" in Latin-1 and "Tab\tX"
[ "$(upload 999999999 $cheater) $(upload 500 4afc7267656e) $(upload 300 5461620958)" = "200 200 200" ] ||
    e2e_fail "the uploads were refused"

listed=$(admin --list 5) || e2e_fail "--list failed: $listed"
expected="   1   999999999 -              Cheater
   2         500 -              \$'J\\xfcrgen'
   3         300 -              \$'Tab\\x09X'"
[ "$listed" = "$expected" ] || e2e_fail "--list gave:"$'\n'"$listed"
# Each command with its status and first word of output, then what the server answers.
steps=(
    "--ban Cheater|0 banned|upload 5 $cheater|403"
    "--ban Cheater|0 Cheater|upload 6 $cheater|403"
    "--remove Cheater 999999999|0 removed|e2e_rank $port|200 J\xfcrgen 500"
    "--remove Cheater 999999999|1 orbelle-score-server:|upload 999999999 $cheater|403"
    "--remove J\xfcrgen 500|0 removed|e2e_rank $port|200 Tab\tX 300"
    "--unban Cheater|0 unbanned|upload 7 $cheater|200"
    "--unban Cheater|0 Cheater|e2e_rank $port 2|200 Cheater 7"
)
for step in "${steps[@]}"; do
    IFS='|' read -r command outcome request answer <<<"$step"
    read -ra words <<<"$command"
    status=0 && said=$(admin "${words[0]}" "$(printf "${words[1]}")" ${words[2]:+"${words[2]}"}) || status=$?
    [ "$status ${said%% *}" = "$outcome" ] || e2e_fail "$command: status $status, '$said'"
    got=$($request) && [ "$got" = "$(printf "$answer")" ] || e2e_fail "after $command, $request: $got"
done
e2e_stop_server
echo "PASS: listed, banned, removed and unbanned beside the running server"
