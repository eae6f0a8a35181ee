#!/usr/bin/env bash
# SIGKILL during saves: hisc.dat is always a table some commit meant to write, temp files do
# not pile up, and the player's own look-alike files stay.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
committer="$ORBELLE_BUILD_DIR/tests/orbelle-commit-loop"
e2e_setup kill-commit
run="$e2e_work/commits" log="$e2e_work/intended.log"
mkdir "$run"
# Files of the player's own with names like the game's temp files: these must stay.
echo mine >"$run/hisc.dat.backup"
echo mine >"$run/hisc.dat.saving-notes"
logged_more() { [ "$(wc -l <"$log")" -gt "$1" ] || ! kill -0 "$2" 2>/dev/null; }

check_file() {
    [ "$(stat -c %s "$run/hisc.dat")" = 320 ] || e2e_fail "$1: hisc.dat is not 320 bytes"
    grep -qxF "$(od -An -tx1 -v "$run/hisc.dat" | tr -d ' \n')" "$log" ||
        e2e_fail "$1: hisc.dat is no table a commit wrote"
    local temps
    temps=$(find "$run" -name 'hisc.dat?*' ! -name hisc.dat.backup ! -name hisc.dat.saving-notes | wc -l)
    [ "$temps" -le 1 ] || e2e_fail "$1: $temps temp files beside hisc.dat"
    [ "$(cat "$run/hisc.dat.backup" "$run/hisc.dat.saving-notes")" = $'mine\nmine' ] ||
        e2e_fail "$1: a file of the player's beside hisc.dat was touched"
}

# A first complete commit, so that there is a file to protect from the start.
"$committer" "$run" "$log" 1 || e2e_fail "the first commit failed"
check_file "first commit"
kills=0
commits_before=$(wc -l <"$log")
for round in $(seq 30); do
    "$committer" "$run" "$log" 1000000 2>"$e2e_work/err" & pid=$!
    e2e_track "$pid"
    # Start-up takes longer than a save, so wait for the first commit of the round, then kill
    # at a random moment of the saves that follow (each takes a few milliseconds).
    e2e_wait 10 "commit in round $round" logged_more "$(wc -l <"$log")" "$pid"
    sleep "0.0$(printf '%02d' $((RANDOM % 60)))"
    ! kill -KILL "$pid" 2>/dev/null || kills=$((kills + 1))
    status=0
    wait "$pid" 2>/dev/null || status=$? # no "Killed" notice from the shell
    [ "$status" = 137 ] || [ "$status" = 0 ] || e2e_fail "round $round: status $status: $(cat "$e2e_work/err")"
    check_file "round $round"
done
commits=$(($(wc -l <"$log") - commits_before))
[ "$kills" -ge 20 ] || e2e_fail "only $kills of 30 rounds were killed mid-run"
# Each round must have got well into its saves, or the kills proved nothing.
[ "$commits" -ge $((kills * 3)) ] || e2e_fail "only $commits commits in $kills killed rounds"
"$committer" "$run" "$log" 3 || e2e_fail "commits after the kills failed"
check_file "after the kills"
echo "PASS: $kills kills during $commits commits; hisc.dat was always a complete table"
