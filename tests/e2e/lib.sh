# Shared helpers of the end-to-end scripts; source it after `set -euo pipefail`. Progress is
# read from the game's frame log and the servers' output in bounded waits, never fixed sleeps.
# shellcheck disable=SC2034 # the e2e_ variables are read by the scripts that source this file

: "${ORBELLE_SOURCE_DIR:?}" "${ORBELLE_BUILD_DIR:?}"
e2e_game="$ORBELLE_BUILD_DIR/orbelle"
e2e_server="$ORBELLE_BUILD_DIR/server/orbelle-score-server"
e2e_clients="$ORBELLE_SOURCE_DIR/tests/fault/server_clients.py" # the clients that misbehave
e2e_work="" e2e_frames="" e2e_game_pid="" e2e_xvfb_pid="" e2e_tracked=() e2e_server_count=0
# ImageMagick itself: only its own convert is trusted for pixel figures.
e2e_convert=/usr/bin/convert

e2e_cleanup() {
    local pid
    [ -z "$e2e_game_pid" ] || kill -KILL "$e2e_game_pid" 2>/dev/null || true
    for pid in "${e2e_tracked[@]+"${e2e_tracked[@]}"}" $e2e_xvfb_pid; do kill -TERM "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    # E2E_KEEP_WORK=1 keeps the frame log, the programs' output and the shots for a look.
    if [ -n "${E2E_KEEP_WORK:-}" ]; then echo "kept $e2e_work" >&2; elif [ -n "$e2e_work" ]; then rm -rf "$e2e_work"; fi
}
# Prints the reason with what the game said and where it stood, then ends the script.
e2e_fail() {
    echo "FAIL: $*" >&2
    if [ -s "$e2e_work/game.err" ]; then echo "game stderr: $(tail -n 5 "$e2e_work/game.err")" >&2; fi
    if [ -s "$e2e_frames" ]; then echo "last frame: $(tail -n 1 "$e2e_frames")" >&2; fi
    exit 1
}
e2e_setup() {
    e2e_work=$(mktemp -d "/tmp/orbelle-$1-XXXXXX")
    trap e2e_cleanup EXIT
    e2e_run="$e2e_work/run" e2e_frames="$e2e_work/frames.log"
    mkdir "$e2e_run" && ln -s "$ORBELLE_SOURCE_DIR/data" "$e2e_run/data"
}
e2e_track() { e2e_tracked+=("$1"); }

# e2e_wait SECONDS WHAT COMMAND...: runs COMMAND every 50 ms until it succeeds.
e2e_wait() {
    local deadline=$((SECONDS + $1))
    until "${@:3}"; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no $2 within $1 s"
        sleep 0.05
    done
}

# A private Xvfb on a display number it locks itself (-displayfd); without -noreset it would
# reset when a client leaves, and a game connecting then finds none.
e2e_start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$e2e_work/display" \
        2>"$e2e_work/xvfb.err" </dev/null &
    e2e_xvfb_pid=$!
    e2e_wait 30 "display from Xvfb" e2e_display_named
    export DISPLAY=":$(cat "$e2e_work/display")"
    unset XAUTHORITY
}
e2e_display_named() {
    kill -0 "$e2e_xvfb_pid" 2>/dev/null || e2e_fail "Xvfb ended: $(cat "$e2e_work/xvfb.err")"
    grep -qs '^[0-9][0-9]*$' "$e2e_work/display"
}

e2e_game_ended() { [ -z "$e2e_game_pid" ] || ! kill -0 "$e2e_game_pid" 2>/dev/null; }
e2e_still_playing() { ! e2e_game_ended || e2e_fail "the game ended while a test waited on it"; }
e2e_last_frame() { tail -n 1 "$e2e_frames" 2>/dev/null || true; }
e2e_frame_count() { grep -c '^[0-9]' "$e2e_frames" 2>/dev/null || true; }
# e2e_frame_has LINE key=value...: the frame line holds every pair, e.g. menu=1 scores=0.
e2e_frame_has() { local pair; for pair in "${@:2}"; do [[ " $1 " == *" $pair "* ]] || return 1; done; }
e2e_shows() { e2e_still_playing && e2e_frame_has "$(e2e_last_frame)" "$@"; }
e2e_drawn() { e2e_still_playing && [ "$(e2e_frame_count)" -ge "$1" ]; }
# e2e_wait_frame SECONDS key=value...: until the latest frame shows all the pairs;
# e2e_wait_frames COUNT SECONDS: until COUNT more are drawn (a key sent has been handled).
e2e_wait_frame() { e2e_wait "$1" "frame with ${*:2}" e2e_shows "${@:2}"; }
e2e_wait_frames() { e2e_wait "$2" "$1 more frames" e2e_drawn $(($(e2e_frame_count) + $1)); }

# e2e_start_game [NAME=value...]: the game in the run folder with that extra environment, up
# to its first frame, pointer and focus in its window; its score server refuses by default.
e2e_start_game() {
    : >"$e2e_frames"
    (cd "$e2e_run" && exec env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy ORBELLE_SCORE_SERVER=127.0.0.1:1 \
        ORBELLE_FRAME_LOG="$e2e_frames" "$@" "$e2e_game" >"$e2e_work/game.out" 2>"$e2e_work/game.err" </dev/null) &
    e2e_game_pid=$!
    e2e_wait 60 "first frame" e2e_drawn 1
    e2e_window=$(xdotool search --name '^Orbelle$' 2>/dev/null | head -n 1 || true)
    [ -n "$e2e_window" ] || e2e_fail "the game drew a frame but has no window named Orbelle"
    xdotool mousemove 400 300
    xdotool windowfocus "$e2e_window" 2>/dev/null || true
}
# e2e_wait_exit SECONDS WHEN: waits for the game to end by itself, with status 0.
e2e_wait_exit() {
    e2e_wait "$1" "end of the game $2" e2e_game_ended
    wait "$e2e_game_pid" || e2e_fail "the game ended with status $? $2"
    e2e_game_pid=""
}

# Lets a key change reach the game on its own: it reads one event per poll, so a press and
# its release handled in one frame cancel out. A loaded machine can stall a frame longer than
# any fixed pause, hence the wait for frames drawn after the change (unless the game ended).
e2e_settle() { sleep 0.08; e2e_wait 30 "frame after a key" e2e_settled $(($(e2e_frame_count) + 2)); }
e2e_settled() { e2e_game_ended || [ "$(e2e_frame_count)" -ge "$1" ]; }
# e2e_press KEY [MODIFIER]: a press as a person makes it, held over several frames.
e2e_press() {
    local key
    for key in "${@:2}" "$1"; do xdotool keydown "$key" && e2e_settle; done
    for key in "$1" "${@:2}"; do xdotool keyup "$key" && e2e_settle; done
}

# e2e_play_to_entry: sweeps the field diagonally one way, then the other, with short straight
# stretches, across the falling spikes and rising bubbles until a spike ball ends the round
# (120 s at most) and the name entry opens; e2e_end_score is the score the frame log showed then.
e2e_play_to_entry() {
    local sweeps=("Right Up" "Left" "Left Down" "Up" "Right Down" "Left Up") keys tick sweep=0
    local deadline=$((SECONDS + 120))
    while ! e2e_frame_has "$(e2e_last_frame)" over=1; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no spike ball ended the round within 120 s"
        keys=${sweeps[$((sweep++ % ${#sweeps[@]}))]}
        xdotool keydown $keys # one word per key
        for tick in $(seq 24); do
            sleep 0.05
            ! e2e_shows over=1 || break
        done
        xdotool keyup $keys
    done
    e2e_wait_frame 10 over=1 entry=1
    e2e_end_score=$(sed -n 's/.* over=1 .*score=\([0-9]*\)$/\1/p' "$e2e_frames" | sort -u)
    # Collects stop once the round is over: every later frame shows the same score.
    [[ "$e2e_end_score" =~ ^[0-9]+$ ]] || e2e_fail "scores after the end of the round: ${e2e_end_score:-none}"
}
# e2e_exit_from_score_screen: from the high-score screen, Down twice to "Exit" and Return.
e2e_exit_from_score_screen() {
    e2e_press Down; e2e_wait_frame 10 scores=0 selection=2
    e2e_press Down; e2e_wait_frame 10 selection=3
    e2e_press Return; e2e_wait_exit 15 "after Exit"
}

# e2e_play_installed GAME: with a new home, from a folder with a data/ of its own, the game
# draws its moving scene with its icon, keeps config.txt in ~/.config/orbelle, ends with 0 on
# SIGTERM, and neither complains nor writes where it was started.
e2e_play_installed() {
    local spread changed
    e2e_game=$1
    mkdir "$e2e_work/home"
    e2e_start_game XDG_DATA_HOME= XDG_CONFIG_HOME= HOME="$e2e_work/home"
    xprop -id "$e2e_window" WM_HINTS | grep -q 'bitmap id # to use for icon' || e2e_fail "the window has no icon"
    e2e_wait_frames 20 30; e2e_shot "$e2e_work/shot.png"
    e2e_wait_frames 10 30; e2e_shot "$e2e_work/shot2.png"
    kill -TERM "$e2e_game_pid"; e2e_wait_exit 15 "after SIGTERM"
    [ ! -s "$e2e_work/game.err" ] || e2e_fail "the game complained"
    [ "$(ls -A "$e2e_run")" = data ] || e2e_fail "the game wrote into its working directory"
    printf '800\n600\n32\n1\n1\n1' | cmp -s - "$e2e_work/home/.config/orbelle/config.txt" ||
        e2e_fail "no default config.txt in ~/.config/orbelle"
    # The background covers the field; without its pictures the strip above the logo is flat.
    spread=$(e2e_not_flat "$e2e_work/shot.png" 800x150+0+0)
    # compare exits 1 when the pictures differ, which is what we hope for.
    changed=$(compare -metric AE "$e2e_work/shot.png" "$e2e_work/shot2.png" null: 2>&1 || true)
    [[ "$changed" =~ ^[0-9]+$ ]] && [ "$changed" -gt 50 ] || e2e_fail "the scene did not move: $changed"
    echo "$1 drew its scene (deviation $spread), moving ($changed pixels changed)"
}

# e2e_start_hostile: a score server that never answers (tests/fault/hostile_server.py).
e2e_start_hostile() {
    python3 "$ORBELLE_SOURCE_DIR/tests/fault/hostile_server.py" "$e2e_work/hostile.count" \
        >"$e2e_work/hostile.port" 2>"$e2e_work/hostile.err" &
    e2e_track $!
    e2e_wait 10 "hostile server" test -s "$e2e_work/hostile.port"
    e2e_hostile_port=$(head -n 1 "$e2e_work/hostile.port")
}
e2e_hostile_connections() { cat "$e2e_work/hostile.count" 2>/dev/null || echo 0; }
e2e_connected() { e2e_still_playing && [ "$(e2e_hostile_connections)" -ge "$1" ]; }

# e2e_shot FILE: the game's 800x600 window (at the top-left of the screen) as a PNG.
e2e_shot() {
    import -window root "$e2e_work/screen.png" || e2e_fail "screenshot failed"
    "$e2e_convert" "$e2e_work/screen.png" -crop 800x600+0+0 +repage "$1" || e2e_fail "could not crop the screenshot"
}
# e2e_not_flat FILE [GEOMETRY]: the picture's (region's) standard deviation; fails if blank.
e2e_not_flat() {
    local spread
    spread=$("$e2e_convert" "$1" ${2:+-crop "$2" +repage} -format '%[fx:standard_deviation]' info:)
    awk -v s="$spread" 'BEGIN { exit !(s ~ /^[0-9.e-]+$/ && s > 0.02) }' || e2e_fail "$1 ${2:-} is flat: $spread"
    echo "$spread"
}
# e2e_bright_pixels FILE GEOMETRY: how many pixels of the region are near white, as text is.
e2e_bright_pixels() {
    local count
    count=$("$e2e_convert" "$1" -crop "$2" +repage -colorspace gray -threshold 75% -format '%[fx:round(mean*w*h)]' info:)
    [[ "$count" =~ ^[0-9]+$ ]] || e2e_fail "could not count bright pixels of $1: $count"
    echo "$count"
}
# e2e_write_lows: the run's hisc.dat of ten negative scores (e2e_lows), which any round beats.
e2e_write_lows() {
    local k; e2e_lows=()
    for k in {1..10}; do e2e_lows+=("Low$k:-$k"); done
    e2e_write_scores "$e2e_run/hisc.dat" "${e2e_lows[@]}"
}
# e2e_write_scores FILE NAME:SCORE...: a hisc.dat of ten 32-byte records, best first.
e2e_write_scores() {
    python3 -c 'import struct, sys
with open(sys.argv[1], "wb") as f:
    for name, score in (e.encode("latin-1").rsplit(b":", 1) for e in sys.argv[2:]):
        f.write(struct.pack("<iI16sII", int(score), 0, name, len(name), 15))' "$@"
}

# e2e_score_db DIR: a fresh database for --db: an SQLite file in DIR, or a new database in the
# test cluster when ORBELLE_TEST_PG names its state (tests/pg/cluster.sh).
e2e_score_db() {
    [ -n "${ORBELLE_TEST_PG:-}" ] || { mktemp -u "$1/scores-XXXXXX.db" && return; }
    local base name="orbelle_$$_$RANDOM$RANDOM"
    base=$(sed -n 's/^uri=//p' "$ORBELLE_TEST_PG")
    psql -q -v ON_ERROR_STOP=1 "$base" -c "CREATE DATABASE $name" >/dev/null || return 1
    echo "${base/\/postgres\?//$name?}"
}
# e2e_dump_scores DB: every stored entry as "hex-of-name score", sorted, read straight from DB.
e2e_dump_scores() {
    case "$1" in
    postgres*) psql -At -F' ' -v ON_ERROR_STOP=1 "$1" -c "SELECT encode(name, 'hex'), score FROM scores" ;;
    *) python3 -c 'import sqlite3, sys
for name, score in sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True).execute("SELECT name, score FROM scores"):
    print(bytes(name).hex(), score)' "$1" ;;
    esac | sort
}

# e2e_lock_database DB: another program takes the lock that stalls the server on DB: the write
# lock of an SQLite file, or LOCK TABLE scores in PostgreSQL; e2e_unlock_database ends it.
e2e_lock_database() {
    rm -f "$e2e_work"/locker* && mkfifo "$e2e_work/locker"
    case "$1" in
    postgres*) psql -Atq "$1" ;;
    *) python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1], isolation_level=None)
db.execute("BEGIN IMMEDIATE")
print("locked", flush=True)
sys.stdin.read()' "$1" ;;
    esac <"$e2e_work/locker" >"$e2e_work/locker.out" &
    e2e_locker=$! && e2e_track $e2e_locker
    exec 7>"$e2e_work/locker"
    [[ "$1" != postgres* ]] || echo "BEGIN; LOCK TABLE scores; SELECT 'locked';" >&7
    e2e_wait 10 "the database locked" grep -q locked "$e2e_work/locker.out"
}
e2e_unlock_database() { exec 7>&- && wait "$e2e_locker"; }

# e2e_start_server ARG...: the server on a free loopback port, up to its listening line; sets
# e2e_server_pid, e2e_server_port and e2e_server_err (the Nth server's: server-N.err).
e2e_start_server() {
    local out="$e2e_work/server-$((++e2e_server_count)).out"
    e2e_server_err="${out%.out}.err"
    "$e2e_server" --listen 127.0.0.1 --port 0 "$@" >"$out" 2>"$e2e_server_err" &
    e2e_server_pid=$!
    e2e_track "$e2e_server_pid"
    e2e_wait 10 "listening line from the score server" e2e_server_listens "$out"
}
e2e_server_listens() {
    ! e2e_server_ended || e2e_fail "the score server ended: $(cat "$e2e_server_err")"
    e2e_server_port=$(sed -n 's/^orbelle-score-server listening on .*:\([0-9]*\)$/\1/p' "$1" 2>/dev/null)
    [ -n "$e2e_server_port" ]
}
e2e_server_ended() { ! kill -0 "$e2e_server_pid" 2>/dev/null; }
# e2e_stop_server [SIGNAL]: SIGTERM or SIGNAL; the server must end with status 0 within 10 s.
e2e_stop_server() {
    kill "-${1:-TERM}" "$e2e_server_pid"
    e2e_wait 10 "end of the score server after SIG${1:-TERM}" e2e_server_ended
    wait "$e2e_server_pid" || e2e_fail "the score server ended with status $?"
}
# e2e_requests_read PORT COUNT: COUNT connections to the server on PORT have sent bytes and
# the server has read all of them (from the kernel's figures; ss is in iproute2).
e2e_requests_read() {
    [ "$(ss -Htin state established "( sport = :$1 )" |
        awk '/^[0-9]/ { queued = $1 } /bytes_received:/ { if (queued == 0) n++ } END { print n + 0 }')" -ge "$2" ]
}
# e2e_http PORT PATH [CURL OPTION...]: the status, a blank and the body of a GET (kept in body).
e2e_http() {
    : >"$e2e_work/body"
    curl -s --noproxy '*' -m 10 -o "$e2e_work/body" -w '%{http_code} ' "${@:3}" "http://127.0.0.1:$1$2"
    cat "$e2e_work/body"
}
# e2e_rank PORT [RANK]: the status and line of rank RANK (1) as the game fetches it;
# e2e_rank_lines PORT: all ten, one a line.
e2e_rank() { e2e_http "$1" "/velmo/orbelle/haeennatykset.php?sija=${2:-1}"; }
e2e_rank_lines() { local k; for k in {1..10}; do echo "$(e2e_rank "$1" "$k")"; done; }

# e2e_upload PORT SOURCE SCORE NAME_HEX...: uploads each name (given in hex) from the loopback
# address SOURCE, signed as the game signs, every byte %-encoded; prints the statuses.
e2e_upload() {
    local name hash statuses=()
    for name in "${@:4}"; do
        hash=$({ xxd -r -p <<<"$name" && printf '%skovrenaltu37' "$3"; } | md5sum)
        statuses+=("$(curl -s --noproxy '*' -m 10 -o /dev/null -w '%{http_code}' --interface "$2" \
            "http://127.0.0.1:$1/velmo/orbelle/lisaaennatys.php?name=$(sed 's/../%&/g' <<<"$name")&score=$3&hashcheck=${hash%% *}")")
    done
    echo "${statuses[*]}"
}
# e2e_acked PORT PREFIX COUNT ACKS [FIRST STEP]: uploads "PREFIX i" with score FIRST + i * STEP
# (1 + i), appending each answered 200 to ACKS as "name-in-hex score"; stops at no answer.
e2e_acked() {
    local i hex score status
    for ((i = 0; i < $3; i++)); do
        hex=$(printf '%s %d' "$2" "$i" | xxd -p) score=$((${5:-1} + i * ${6:-1}))
        status=$(e2e_upload "$1" 127.0.0.1 "$score" "$hex")
        [ "$status" != 000 ] || break
        [ "$status" != 200 ] || echo "$hex $score" >>"$4"
    done
}
# e2e_acked_missing ACKS DB: how many acknowledged uploads the database lacks.
e2e_acked_missing() { sort -u "$1" | comm -23 - <(e2e_dump_scores "$2") | wc -l; }
