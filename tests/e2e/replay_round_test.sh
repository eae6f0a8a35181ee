#!/usr/bin/env bash
# A round played with key presses is recorded: its replay lies in replays/ beside hisc.dat once
# the name is entered, `orbelle --verify` finds it reaches the score the round ended with,
# Return on the high-score screen sends it to the server (POST /replays) after the signed
# uploads, and `orbelle --replay` shows the same round to its end, until Escape.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_setup replay
e2e_write_lows
# A score server that takes everything and keeps each replay sent to it.
mkdir "$e2e_work/received"
python3 -c 'import http.server, sys, itertools
count = itertools.count(1)
class Taker(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200); self.send_header("Content-Length", "2"); self.end_headers(); self.wfile.write(b"ok")
    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        if self.path == "/replays" and self.headers["Content-Type"] == "application/octet-stream":
            open(f"{sys.argv[1]}/{next(count)}.orbr", "wb").write(body)
        self.send_response(200); self.send_header("Content-Length", "0"); self.end_headers()
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Taker)
print(server.server_port, flush=True)
server.serve_forever()' "$e2e_work/received" >"$e2e_work/taker.port" 2>"$e2e_work/taker.err" &
e2e_track $!
e2e_wait 10 "score server" test -s "$e2e_work/taker.port"
port=$(cat "$e2e_work/taker.port")

e2e_start_display
e2e_start_game ORBELLE_SCORE_SERVER="127.0.0.1:$port"
e2e_round_to_entry
end_score=$e2e_end_score
for key in r p Return; do e2e_press $key; done
e2e_wait_frame 30 scores=1 entry=0

replays=("$e2e_run"/replays/*.orbr)
[ ${#replays[@]} = 1 ] && [ -f "${replays[0]}" ] || e2e_fail "not one replay beside hisc.dat: $(ls -A "$e2e_run/replays" 2>&1)"
replay=${replays[0]}
verdict=$("$ORBELLE_BUILD_DIR/orbelle" --verify "$replay" 2>&1) || e2e_fail "--verify refused the replay: $verdict"
# The frame log rounds the score, the table cuts it.
[[ "$verdict" =~ ^score\ ($end_score|$((end_score - 1)))\ frames\ [0-9]+$ ]] ||
    e2e_fail "--verify says '$verdict' of a round that ended at $end_score"
frames=${verdict##* }

e2e_press Return
e2e_wait 20 "replay sent to the server" test -s "$e2e_work/received/1.orbr"
cmp -s "$e2e_work/received/1.orbr" "$replay" || e2e_fail "the server got other bytes than the replay file"
e2e_wait_frame 20 scores=1 menu=1
e2e_exit_from_score_screen

# Watched, the round runs its frames again, the spike ball hits as it did, and Escape ends it.
printf '#!/bin/sh\nexec "%s" --replay "%s"\n' "$ORBELLE_BUILD_DIR/orbelle" "$replay" >"$e2e_work/watch"
chmod +x "$e2e_work/watch"
e2e_game="$e2e_work/watch"
e2e_start_game
e2e_wait_frame 60 over=1 menu=0
watched=$(e2e_frame_count)
[ "$watched" -ge "$frames" ] || e2e_fail "the round was over after $watched frames, not $frames"
grep -q " over=1 .*score=$end_score$" "$e2e_frames" || e2e_fail "the watched round did not end at $end_score"
e2e_press Escape; e2e_wait_exit 15 "after Escape"
echo "PASS: a round of $frames frames at $end_score recorded, verified, sent and watched"
