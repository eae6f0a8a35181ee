#!/usr/bin/env bash
# The game against a real score server on loopback, driven with key presses: the high-score
# screen shows the server's list, Return there uploads the local table (names with blanks,
# "&", "%", "+" and "#", a negative score) so that every entry lands once, also when uploaded
# twice; with the server stopped, or answering nothing at all, the screen still comes back
# within the request time-out.
# ORBELLE_SCREENSHOT_DIR, when set, receives internet.png and noserver.png.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

server="$ORBELLE_BUILD_DIR/server/orbelle-score-server"
[ -x "$server" ] || { echo "FAIL: $server is not built" >&2; exit 1; }

e2e_setup internet
shots="${ORBELLE_SCREENSHOT_DIR:-$e2e_work/shots}"
mkdir -p "$shots"

server_pid=""
"$server" --listen 127.0.0.1 --port 0 --db "$e2e_work/scores.db" \
    >"$e2e_work/server.out" 2>"$e2e_work/server.err" &
server_pid=$!
e2e_track "$server_pid"
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^orbelle-score-server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' \
        "$e2e_work/server.out")
    [ -n "$port" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$port" ] || e2e_fail "the score server did not start: $(cat "$e2e_work/server.err")"
base="http://127.0.0.1:$port/velmo/orbelle"

fetch() { curl -s --noproxy '*' -m 5 -o "$e2e_work/body" -w '%{http_code}' "$1"; }

# The ten lines of the server's list, one per line.
server_list() {
    local k
    for k in $(seq 10); do
        [ "$(fetch "$base/haeennatykset.php?sija=$k")" = 200 ] || e2e_fail "rank $k does not answer"
        printf '%s\n' "$(cat "$e2e_work/body")"
    done
}

# An upload signed the way the game signs it: MD5 of name, score and the salt.
seed() {
    local name=$1 score=$2 query
    query=$(python3 -c 'import hashlib, sys, urllib.parse
name, score = sys.argv[1], sys.argv[2]
hashcheck = hashlib.md5((name + score + "kovrenaltu37").encode("latin-1")).hexdigest()
print("name=%s&score=%s&hashcheck=%s" % (urllib.parse.quote(name, safe=""), score, hashcheck))' \
        "$name" "$score")
    [ "$(fetch "$base/lisaaennatys.php?$query")" = 200 ] ||
        e2e_fail "the server refused the upload of $name $score: $(cat "$e2e_work/body")"
}

# Two of the local entries are on the server already, so after an upload the server holds
# exactly the ten local entries.
local_entries=("Ann Lee:900" "R&D 50%:800" "Mia+Leo:700" "Zoe:650" "Kai:600" "Ona:500"
    "Pax:400" "e2e:300" "#1 fan:200" "Neg:-5")
e2e_write_scores "$e2e_run/hisc.dat" "${local_entries[@]}"
expected=$(printf '%s\n' "${local_entries[@]}" | sed 's/:\([-0-9]*\)$/ \1/')

# The column of internet lines to the right of the rank numbers, ranks 1 to 10.
internet_column=215x210+585+320

e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$port"
e2e_wait_frame 10 menu=1 selection=0

# An empty server first: the column holds rank numbers only.
e2e_press Down
e2e_wait_frame 10 selection=1 scores=0
e2e_press Return
e2e_wait_frame 20 scores=1 selection=1
e2e_wait_frames 3 10
e2e_shot "$e2e_work/empty.png"
empty=$(e2e_bright_pixels "$e2e_work/empty.png" "$internet_column")

e2e_press Up
e2e_wait_frame 10 scores=0 selection=0
seed "Ann Lee" 900
seed Zoe 650
e2e_press Down
e2e_wait_frame 10 selection=1
e2e_press Return
e2e_wait_frame 20 scores=1 selection=1
e2e_wait_frames 3 10
e2e_shot "$e2e_work/seeded.png"
seeded=$(e2e_bright_pixels "$e2e_work/seeded.png" "$internet_column")
[ "$seeded" -gt $((empty + 100)) ] ||
    e2e_fail "the two server entries are not drawn ($seeded bright pixels, $empty when empty)"

# Return on the high-score screen uploads the local table and downloads the list again.
e2e_press Return
e2e_wait_frames 3 30
list=$(server_list)
[ "$list" = "$expected" ] ||
    e2e_fail "after the upload the server lists:"$'\n'"$list"$'\n'"expected:"$'\n'"$expected"
e2e_shot "$shots/internet.png"
uploaded=$(e2e_bright_pixels "$shots/internet.png" "$internet_column")
[ "$uploaded" -gt $((seeded + 300)) ] ||
    e2e_fail "the ten server entries are not drawn ($uploaded bright pixels, $seeded for two)"

e2e_press Return
e2e_wait_frames 3 30
list=$(server_list)
[ "$list" = "$expected" ] || e2e_fail "a second upload changed the server's list:"$'\n'"$list"

e2e_exit_from_score_screen

kill -TERM "$server_pid"
wait "$server_pid" || e2e_fail "the score server did not stop cleanly"

# No server at all: the refused connection must not hold up the frames.
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$port"
e2e_wait_frame 10 menu=1 selection=0
e2e_press Down
e2e_wait_frame 10 selection=1
e2e_press Return
e2e_wait_frame 15 scores=1 selection=1
e2e_wait_frames 3 10
e2e_shot "$shots/noserver.png"
refused_gap=$(e2e_max_frame_gap)
awk -v g="$refused_gap" 'BEGIN { exit !(g < 12) }' ||
    e2e_fail "with the server stopped a frame took $refused_gap s"

e2e_exit_from_score_screen

# A listener that takes connections and never answers: the download must give up on its own.
# It gets a port of its own, since the stopped server's port may still be held by the system.
python3 - "$e2e_work/silent" <<'PY' &
import os, socket, sys, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
listener.settimeout(0.5)
held = []
with open(sys.argv[1] + ".new", "w") as f:
    f.write("%d 0\n" % listener.getsockname()[1])
os.rename(sys.argv[1] + ".new", sys.argv[1])
end = time.time() + 120
while time.time() < end:
    try:
        held.append(listener.accept()[0])
        with open(sys.argv[1] + ".new", "w") as f:
            f.write("%d %d\n" % (listener.getsockname()[1], len(held)))
        os.rename(sys.argv[1] + ".new", sys.argv[1])
    except socket.timeout:
        pass
PY
silent_pid=$!
e2e_track "$silent_pid"
for _ in $(seq 100); do
    [ -e "$e2e_work/silent" ] && break
    sleep 0.05
done
[ -e "$e2e_work/silent" ] || e2e_fail "the silent listener did not start"
read -r silent_port _ <"$e2e_work/silent"

e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$silent_port"
e2e_wait_frame 10 menu=1 selection=0
e2e_press Down
e2e_wait_frame 10 selection=1
e2e_press Return
e2e_wait_frame 30 scores=1 selection=1
e2e_wait_frames 3 10
read -r _ accepted <"$e2e_work/silent"
[ "$accepted" -ge 1 ] || e2e_fail "the game never reached the silent listener"
silent_gap=$(e2e_max_frame_gap)
awk -v g="$silent_gap" 'BEGIN { exit !(g < 12) }' ||
    e2e_fail "with a server that never answers a frame took $silent_gap s"

e2e_exit_from_score_screen

echo "PASS: internet column $empty/$seeded/$uploaded bright pixels (empty/two/ten entries)," \
    "ten entries listed once after two uploads; longest frame $refused_gap s with the server" \
    "stopped, $silent_gap s with a silent one"
