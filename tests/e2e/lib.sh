# Shared helpers for the end-to-end scripts that play the built game on a virtual X display.
# Source it after `set -euo pipefail`, then call e2e_setup NAME. It owns a work folder, a
# private Xvfb, the game process and any helper processes registered with e2e_track, and
# ends them all when the script exits.
#
# The game is driven the way a person plays: real key presses through xdotool, with the
# pointer inside the window. Progress is read from the game's frame log, never from sleeps.
# shellcheck disable=SC2034 # the e2e_ variables are read by the scripts that source this file

: "${ORBELLE_SOURCE_DIR:?}" "${ORBELLE_BUILD_DIR:?}"

e2e_game="$ORBELLE_BUILD_DIR/orbelle"
e2e_work=""
e2e_run=""
e2e_frames=""
e2e_game_pid=""
e2e_xvfb_pid=""
e2e_window=""
e2e_tracked=()
# ImageMagick itself: only its own convert is trusted for pixel figures.
e2e_convert=/usr/bin/convert

e2e_cleanup() {
    local pid
    if [ -n "$e2e_game_pid" ]; then kill -KILL "$e2e_game_pid" 2>/dev/null || true; fi
    for pid in "${e2e_tracked[@]+"${e2e_tracked[@]}"}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    if [ -n "$e2e_xvfb_pid" ]; then kill -TERM "$e2e_xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    # E2E_KEEP_WORK=1 keeps the frame log, the game's output and the shots for a look.
    if [ -n "${E2E_KEEP_WORK:-}" ]; then
        [ -n "$e2e_work" ] && echo "kept $e2e_work" >&2
    else
        [ -n "$e2e_work" ] && rm -rf "$e2e_work"
    fi
    return 0
}

# Prints the reason with what the game said and where it stood, then ends the script.
e2e_fail() {
    echo "FAIL: $*" >&2
    if [ -n "$e2e_work" ]; then
        [ -s "$e2e_work/game.err" ] && { echo "game stderr:" >&2; tail -n 5 "$e2e_work/game.err" >&2; }
        [ -s "$e2e_frames" ] && { echo "last frame: $(tail -n 1 "$e2e_frames")" >&2; }
    fi
    exit 1
}

e2e_setup() {
    e2e_work=$(mktemp -d "/tmp/orbelle-$1-XXXXXX")
    trap e2e_cleanup EXIT
    e2e_run="$e2e_work/run"
    e2e_frames="$e2e_work/frames.log"
    mkdir "$e2e_run"
    ln -s "$ORBELLE_SOURCE_DIR/data" "$e2e_run/data"
}

# Registers a background process of the script to be ended at exit.
e2e_track() { e2e_tracked+=("$1"); }

# Starts Xvfb on a free display number. The number comes with a lock file, which Xvfb takes
# atomically, so a server started by someone else at the same moment makes this one fail and
# try another number instead of sharing a socket. Without -noreset the server resets when the
# probing client leaves, and a game connecting during the reset finds no display.
e2e_start_display() {
    local number=""
    for _ in 1 2 3 4 5; do
        number=$((200 + RANDOM % 700))
        [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -noreset 2>"$e2e_work/xvfb.err" </dev/null &
        e2e_xvfb_pid=$!
        for _ in $(seq 200); do
            kill -0 "$e2e_xvfb_pid" 2>/dev/null || break
            if DISPLAY=":$number" xdotool getmouselocation >/dev/null 2>&1; then
                export DISPLAY=":$number"
                unset XAUTHORITY
                return 0
            fi
            sleep 0.05
        done
        kill -TERM "$e2e_xvfb_pid" 2>/dev/null || true
        wait "$e2e_xvfb_pid" 2>/dev/null || true
        e2e_xvfb_pid=""
    done
    e2e_fail "Xvfb did not start (display :$number): $(cat "$e2e_work/xvfb.err")"
}

# The last frame line of the log (the start line until the first frame is drawn).
e2e_last_frame() { tail -n 1 "$e2e_frames" 2>/dev/null || true; }

e2e_frame_count() { grep -c '^[0-9]' "$e2e_frames" 2>/dev/null || true; }

# True when the line holds every given key=value pair, e.g. menu=1 scores=0.
e2e_frame_has() {
    local line=" $1 " pair
    shift
    for pair in "$@"; do
        [[ "$line" == *" $pair "* ]] || return 1
    done
}

e2e_game_alive() { [ -n "$e2e_game_pid" ] && kill -0 "$e2e_game_pid" 2>/dev/null; }

# e2e_wait_frame SECONDS key=value...: waits until the latest frame shows all the pairs.
e2e_wait_frame() {
    local seconds=$1 deadline
    shift
    deadline=$((SECONDS + seconds))
    while ! e2e_frame_has "$(e2e_last_frame)" "$@"; do
        e2e_game_alive || e2e_fail "the game ended while waiting for $*"
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no frame with $* within $seconds s"
        sleep 0.05
    done
}

# e2e_wait_frames COUNT SECONDS: waits until COUNT more frames have been drawn, so that a key
# press already sent has been handled and drawn.
e2e_wait_frames() {
    local target=$(($(e2e_frame_count) + $1)) deadline=$((SECONDS + $2))
    while [ "$(e2e_frame_count)" -lt "$target" ]; do
        e2e_game_alive || e2e_fail "the game ended while waiting for frames"
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "fewer than $1 frames within $2 s"
        sleep 0.05
    done
}

# e2e_start_hostile MODE: a score server of tests/fault/hostile_server.py that misbehaves in
# that way (hang, flood, close, garbage); its port goes to e2e_hostile_port.
e2e_hostile_port=""
e2e_start_hostile() {
    python3 "$ORBELLE_SOURCE_DIR/tests/fault/hostile_server.py" "$1" "$e2e_work/hostile.count" \
        >"$e2e_work/hostile.port" 2>"$e2e_work/hostile.err" &
    e2e_track $!
    local deadline=$((SECONDS + 10))
    until e2e_hostile_port=$(head -n 1 "$e2e_work/hostile.port") && [ -n "$e2e_hostile_port" ]; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no hostile server: $(cat "$e2e_work/hostile.err")"
        sleep 0.05
    done
}

# How many connections the hostile server has taken so far.
e2e_hostile_connections() { cat "$e2e_work/hostile.count" 2>/dev/null || echo 0; }

# e2e_wait_connections COUNT SECONDS: waits until the hostile server has taken COUNT connections.
e2e_wait_connections() {
    local deadline=$((SECONDS + $2))
    until [ "$(e2e_hostile_connections)" -ge "$1" ]; do
        e2e_game_alive || e2e_fail "the game ended while waiting for connection $1"
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no connection $1 to the server within $2 s"
        sleep 0.05
    done
}

# e2e_start_game [NAME=value...]: starts the game in the run folder with the given extra
# environment, waits for its first frame and puts the pointer and focus into its window.
# Unless told otherwise, the score server is a loopback port that nobody listens on.
e2e_start_game() {
    local dead_port
    [ -x "$e2e_game" ] || e2e_fail "$e2e_game is not built"
    dead_port=$(python3 -c 'import socket;s=socket.socket();s.bind(("127.0.0.1",0));print(s.getsockname()[1])')
    : >"$e2e_frames"
    # No proxy may carry the game's requests away from the loopback servers of the test.
    (cd "$e2e_run" && exec env -u SDL_VIDEODRIVER -u http_proxy -u HTTP_PROXY -u all_proxy \
        -u ALL_PROXY SDL_AUDIODRIVER=dummy \
        ORBELLE_SCORE_SERVER="127.0.0.1:$dead_port" ORBELLE_FRAME_LOG="$e2e_frames" "$@" \
        "$e2e_game" >"$e2e_work/game.out" 2>"$e2e_work/game.err" </dev/null) &
    e2e_game_pid=$!
    local deadline=$((SECONDS + 60))
    until grep -q ' first ' "$e2e_frames" 2>/dev/null; do
        e2e_game_alive || e2e_fail "the game ended before its first frame"
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no first frame within 60 s"
        sleep 0.05
    done
    e2e_window=$(xdotool search --name '^Orbelle$' 2>/dev/null | head -n 1 || true)
    [ -n "$e2e_window" ] || e2e_fail "the game drew a frame but has no window named Orbelle"
    xdotool mousemove 400 300
    xdotool windowfocus "$e2e_window" 2>/dev/null || true
}

# e2e_close_window: asks the game's window to close, as a window manager's close button does
# (WM_DELETE_WINDOW); there is no window manager under Xvfb to do it.
e2e_close_window() {
    python3 - "$e2e_window" <<'PY' || e2e_fail "could not send the close request"
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

display = x.XOpenDisplay(None)
if not display:
    sys.exit("no display")
event = ClientMessage(type=33, window=int(sys.argv[1]), format=32)  # 33: ClientMessage
event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
if not x.XSendEvent(display, event.window, 0, 0, ctypes.byref(event)):
    sys.exit("XSendEvent failed")
x.XFlush(display)
x.XCloseDisplay(display)
PY
}

# Lets a key change reach the game on its own: the game reads one event per poll, so a press
# and its release handled in the same frame cancel each other. A loaded machine can stall a
# frame for longer than any fixed pause, hence the wait for frames drawn after the change.
# A game that has ended, as after "Exit", needs no more waiting.
e2e_settle() {
    local target deadline=$((SECONDS + 30))
    sleep 0.08
    target=$(($(e2e_frame_count) + 2))
    while [ "$(e2e_frame_count)" -lt "$target" ] && e2e_game_alive; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the game drew no frame for 30 s after a key"
        sleep 0.02
    done
}

# e2e_press KEY [MODIFIER]: a press as a person makes it, held over several frames.
e2e_press() {
    if [ $# -gt 1 ]; then
        xdotool keydown "$2"
        e2e_settle
    fi
    xdotool keydown "$1"
    e2e_settle
    xdotool keyup "$1"
    e2e_settle
    if [ $# -gt 1 ]; then
        xdotool keyup "$2"
        e2e_settle
    fi
}

# e2e_play_until_over [HOOK]: from the start of a round, sweeps the field diagonally one way
# and then the other, with a short straight stretch in between, so that the player crosses the
# falling spikes and the rising bubbles, until a spike ball ends the round (120 s at most).
# HOOK, when given, is called every 50 ms with the latest frame, the sweep and the tick in it.
# The number of sweeps goes to e2e_sweeps.
e2e_sweeps=0
e2e_play_until_over() {
    local sweeps=("Right Up" "Left" "Left Down" "Up" "Right Down" "Left Up")
    local deadline=$((SECONDS + 120)) keys frame tick over=""
    e2e_sweeps=0
    while [ -z "$over" ]; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no spike ball ended the round within 120 s"
        keys=${sweeps[$((e2e_sweeps % ${#sweeps[@]}))]}
        e2e_sweeps=$((e2e_sweeps + 1))
        # shellcheck disable=SC2086 # one word per key
        xdotool keydown $keys
        for tick in $(seq 24); do
            sleep 0.05
            frame=$(e2e_last_frame)
            if e2e_frame_has "$frame" over=1; then
                over=yes
                break
            fi
            e2e_game_alive || e2e_fail "the game ended during play"
            if [ $# -gt 0 ]; then "$1" "$frame" "$e2e_sweeps" "$tick"; fi
        done
        # shellcheck disable=SC2086
        xdotool keyup $keys
    done
}

# e2e_wait_exit SECONDS: waits for the game to end by itself; its status goes to e2e_status.
e2e_status=""
e2e_wait_exit() {
    local deadline=$((SECONDS + $1))
    while e2e_game_alive; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the game did not end within $1 s"
        sleep 0.05
    done
    local status=0
    wait "$e2e_game_pid" || status=$?
    e2e_status=$status
    e2e_game_pid=""
}

# e2e_exit_from_score_screen: from the high-score screen (selection held at "Highscores"),
# Down twice to "Exit" and Return; the game must end with status 0.
e2e_exit_from_score_screen() {
    e2e_press Down
    e2e_wait_frame 10 scores=0 selection=2
    e2e_press Down
    e2e_wait_frame 10 selection=3
    e2e_press Return
    e2e_wait_exit 15
    [ "$e2e_status" = 0 ] || e2e_fail "the game ended with status $e2e_status after Exit"
}

# e2e_shot FILE: the game's 800x600 window (at the top-left of the screen) as a PNG.
e2e_shot() {
    import -window root "$e2e_work/screen.png" || e2e_fail "screenshot failed"
    "$e2e_convert" "$e2e_work/screen.png" -crop 800x600+0+0 +repage "$1" ||
        e2e_fail "could not crop the screenshot"
}

# e2e_spread FILE [GEOMETRY]: the standard deviation of the picture's pixels (0 = uniform).
e2e_spread() {
    local spread
    spread=$("$e2e_convert" "$1" ${2:+-crop "$2" +repage} -format '%[fx:standard_deviation]' info:)
    [[ "$spread" =~ ^[0-9.e-]+$ ]] || e2e_fail "could not measure $1: $spread"
    echo "$spread"
}

# e2e_bright_pixels FILE GEOMETRY: how many pixels of the region are near white, as the
# game's text is; the sea behind it stays well below.
e2e_bright_pixels() {
    local count
    count=$("$e2e_convert" "$1" -crop "$2" +repage -colorspace gray -threshold 75% \
        -format '%[fx:round(mean*w*h)]' info:)
    [[ "$count" =~ ^[0-9]+$ ]] || e2e_fail "could not count bright pixels of $1: $count"
    echo "$count"
}

# e2e_max_frame_gap: the longest time in seconds between two consecutive frames of the log.
e2e_max_frame_gap() {
    awk '/^[0-9]/ { if (seen && $1 - last > gap) gap = $1 - last; last = $1; seen = 1 }
         END { printf "%.2f\n", gap / 1e6 }' "$e2e_frames"
}

# e2e_write_scores FILE NAME:SCORE...: a hisc.dat of ten 32-byte records, best first.
e2e_write_scores() {
    python3 - "$@" <<'PY'
import struct, sys
path, entries = sys.argv[1], sys.argv[2:]
assert len(entries) == 10, "ten entries needed"
with open(path, "wb") as f:
    for entry in entries:
        name, score = entry.rsplit(":", 1)
        raw = name.encode("latin-1")
        f.write(struct.pack("<iI16sII", int(score), 0, raw, len(raw), 15))
PY
}

# e2e_read_scores FILE: prints "name<TAB>score" per record, failing on a malformed file.
e2e_read_scores() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
if len(data) != 320:
    sys.exit("hisc.dat holds %d bytes, not 320" % len(data))
for k in range(10):
    score, slot, raw, length, capacity = struct.unpack_from("<iI16sII", data, 32 * k)
    name = raw.split(b"\0", 1)[0]
    if slot != 0 or capacity != 15 or length != len(name) or raw[len(name):] != bytes(16 - len(name)):
        sys.exit("record %d is malformed: %s" % (k, data[32 * k:32 * k + 32].hex()))
    print("%s\t%d" % (name.decode("latin-1"), score))
PY
}

# The server tests run once per store: ORBELLE_TEST_PG names the state file of the private
# PostgreSQL cluster (tests/pg/cluster.sh) for the PostgreSQL run; unset means SQLite.
# e2e_score_db DIR: a fresh, empty database for the server's --db (an SQLite file in DIR, or
# a new database in the cluster); the cluster is removed whole after the run.
e2e_score_db() {
    if [ -z "${ORBELLE_TEST_PG:-}" ]; then
        mktemp -u "$1/scores-XXXXXX.db"
        return
    fi
    local base name
    base=$(sed -n 's/^uri=//p' "$ORBELLE_TEST_PG")
    [ -n "$base" ] || { echo "no cluster in $ORBELLE_TEST_PG" >&2; return 1; }
    name="orbelle_$$_$RANDOM$RANDOM"
    psql -q -v ON_ERROR_STOP=1 "$base" -c "CREATE DATABASE $name" >/dev/null || return 1
    echo "${base/\/postgres\?//$name?}"
}

# e2e_dump_scores DB: every stored entry as "hex-of-name score", sorted; read beside the
# server, straight from the database.
e2e_dump_scores() {
    case "$1" in
    postgres://* | postgresql://*)
        psql -At -F' ' -v ON_ERROR_STOP=1 "$1" -c "SELECT encode(name, 'hex'), score FROM scores"
        ;;
    *)
        python3 - "$1" <<'PY'
import sqlite3, sys
db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
for name, score in db.execute("SELECT name, score FROM scores"):
    print(bytes(name).hex(), score)
PY
        ;;
    esac | sort
}

# The score server program and the clients that test it (tests/fault/server_clients.py).
e2e_server="$ORBELLE_BUILD_DIR/server/orbelle-score-server"
e2e_clients="$ORBELLE_SOURCE_DIR/tests/fault/server_clients.py"
e2e_server_pid=""
e2e_server_port=""
e2e_server_err=""
e2e_server_count=0

# e2e_start_server ARG...: starts the server on a free loopback port with the given
# arguments and waits for its listening line; sets e2e_server_pid, e2e_server_port and
# e2e_server_err. The first server's output goes to server.out and server.err in the work
# folder, that of later ones to server-2.out, server-2.err and so on.
e2e_start_server() {
    [ -x "$e2e_server" ] || e2e_fail "$e2e_server is not built"
    e2e_server_count=$((e2e_server_count + 1))
    local out="$e2e_work/server.out"
    [ "$e2e_server_count" = 1 ] || out="$e2e_work/server-$e2e_server_count.out"
    e2e_server_err="${out%.out}.err"
    "$e2e_server" --listen 127.0.0.1 --port 0 "$@" >"$out" 2>"$e2e_server_err" &
    e2e_server_pid=$!
    e2e_track "$e2e_server_pid"
    for _ in $(seq 100); do
        e2e_server_port=$(sed -n 's/^orbelle-score-server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' \
            "$out")
        [ -n "$e2e_server_port" ] && return 0
        kill -0 "$e2e_server_pid" 2>/dev/null || break
        sleep 0.1
    done
    e2e_fail "the score server did not start: $(cat "$e2e_server_err")"
}

# e2e_stop_server [SIGNAL]: stops the server with SIGTERM or the signal given; fails unless it
# ends by itself with status 0 within 10 s.
e2e_stop_server() {
    kill "-${1:-TERM}" "$e2e_server_pid"
    for _ in $(seq 100); do
        kill -0 "$e2e_server_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$e2e_server_pid" 2>/dev/null && e2e_fail "the score server ignored SIG${1:-TERM}"
    local status=0
    wait "$e2e_server_pid" || status=$?
    [ "$status" -eq 0 ] || e2e_fail "the score server ended with status $status"
}

# The server's peak resident memory so far, in kB.
e2e_server_peak_kb() { grep '^VmHWM' "/proc/$e2e_server_pid/status" | tr -dc '0-9'; }

# e2e_wait_line FILE PATTERN: waits up to 20 s for a line matching PATTERN in FILE.
e2e_wait_line() {
    for _ in $(seq 200); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    e2e_fail "no line '$2' in $1: $(cat "$1" 2>/dev/null)"
}

# e2e_http PORT PATH [CURL OPTION...]: prints the status, a blank and the body of a GET.
e2e_http() {
    local port=$1 path=$2 body
    shift 2
    body=$(mktemp "$e2e_work/body-XXXXXX")
    printf '%s ' "$(curl -s -m 10 -o "$body" -w '%{http_code}' "$@" "http://127.0.0.1:$port$path")"
    cat "$body"
    rm -f "$body"
}

# e2e_rank_lines PORT: the ten rank lines of the server, one per line, as the game fetches them.
e2e_rank_lines() {
    local k
    for k in $(seq 10); do
        e2e_http "$1" "/velmo/orbelle/haeennatykset.php?sija=$k"
        echo
    done
}
