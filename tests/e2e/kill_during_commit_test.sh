#!/usr/bin/env bash
# Killing the game with SIGKILL while it commits results never leaves a hisc.dat that differs
# from a complete save: the file is always exactly one of the tables a commit meant to write,
# and killed saves do not pile up temp files beside it.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

committer="$ORBELLE_BUILD_DIR/tests/fault/orbelle-commit-loop"
e2e_setup kill-commit
work=$e2e_work
run="$work/commits"
log="$work/intended.log"
mkdir "$run"
# Files of the player's own with names like the game's temp files: these must stay.
keep1=hisc.dat.backup
keep2=hisc.dat.saving-notes
echo mine >"$run/$keep1"
echo mine >"$run/$keep2"

hexOf() { od -An -tx1 -v "$1" | tr -d ' \n'; }

# Every image a commit announced before saving, plus the file as it stands now.
check_file() {
    local file="$run/hisc.dat"
    [ -f "$file" ] || e2e_fail "$1: hisc.dat is gone"
    local size
    size=$(stat -c %s "$file")
    [ "$size" = 320 ] || e2e_fail "$1: hisc.dat is $size bytes"
    grep -qxF "$(hexOf "$file")" "$log" || e2e_fail "$1: hisc.dat is no table a commit wrote"
    local temps
    temps=$(find "$run" -maxdepth 1 -name 'hisc.dat?*' ! -name "$keep1" ! -name "$keep2" | wc -l)
    [ "$temps" -le 1 ] || e2e_fail "$1: $temps temp files beside hisc.dat"
    [ "$(cat "$run/$keep1" "$run/$keep2")" = $'mine\nmine' ] ||
        e2e_fail "$1: a file of the player's beside hisc.dat was touched"
}

# A first complete commit, so that there is a file to protect from the start.
"$committer" "$run" "$log" 1 || e2e_fail "the first commit failed"
check_file "first commit"

kills=0
finished=0
commits_before=$(wc -l <"$log")
for round in $(seq 1 30); do
    lines=$(wc -l <"$log")
    "$committer" "$run" "$log" 1000000 2>"$work/err" &
    pid=$!
    e2e_track "$pid"
    # Start-up takes longer than a save, so wait for the first commit of the round, then kill
    # at a random moment of the saves that follow (each takes a few milliseconds).
    for _ in $(seq 200); do
        [ "$(wc -l <"$log")" -gt "$lines" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.02
    done
    sleep "0.0$(printf '%02d' $((RANDOM % 60)))"
    if kill -KILL "$pid" 2>/dev/null; then
        kills=$((kills + 1))
    fi
    status=0
    wait "$pid" 2>/dev/null || status=$? # no "Killed" notice from the shell
    if [ "$status" != 137 ]; then
        [ "$status" = 0 ] || e2e_fail "round $round: the committer stopped with $status: $(cat "$work/err")"
        finished=$((finished + 1))
    fi
    check_file "round $round"
done

commits=$(($(wc -l <"$log") - commits_before))
[ "$kills" -ge 20 ] || e2e_fail "only $kills of 30 rounds were killed mid-run"
# Each round must have got well into its saves, or the kills proved nothing.
[ "$commits" -ge $((kills * 3)) ] || e2e_fail "only $commits commits in $kills killed rounds"

# The survivor still loads and takes further commits.
"$committer" "$run" "$log" 3 || e2e_fail "commits after the kills failed"
check_file "after the kills"
echo "PASS: $kills kills during $commits commits ($finished rounds ran out first);" \
    "hisc.dat was always a complete table"
