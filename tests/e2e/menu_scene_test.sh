#!/usr/bin/env bash
# The built game on a virtual X display: it opens its window, draws a moving menu scene, writes
# config.txt with the defaults and leaves with status 0 on SIGTERM. Without any display it
# says so in one line and leaves with status 1.
set -euo pipefail

: "${ORBELLE_SOURCE_DIR:?}" "${ORBELLE_BUILD_DIR:?}"
game_binary="$ORBELLE_BUILD_DIR/orbelle"
[ -x "$game_binary" ] || { echo "FAIL: $game_binary is not built"; exit 1; }

work=$(mktemp -d /tmp/orbelle-menu-XXXXXX)
game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$work/run"
ln -s "$ORBELLE_SOURCE_DIR/data" "$work/run/data"

# Runs inside the virtual display: start the game, wait for its window, take two shots.
cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
cd "$1/run"
"$2" >"$1/game.out" 2>"$1/game.err" &
pid=$!
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Orbelle$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "no game window appeared" >"$1/session.err"
    kill -KILL "$pid" 2>/dev/null
    exit 1
fi
sleep 1 # let the first frames draw
import -window root "$1/shot1.png"
sleep 0.5
import -window root "$1/shot2.png"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
echo "$status" >"$1/game.status"
SESSION

# The unit-test environment asks for SDL's dummy video driver, which has no OpenGL.
# xvfb-run -a can lose a race for a display number with another X server starting at the same
# moment, so a session that never got as far as the game gets two more tries.
for attempt in 1 2 3; do
    rm -f "$work/session.err" "$work/game.status" "$work/game.err"
    env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' \
        bash "$work/session.sh" "$work" "$game_binary" 2>"$work/xvfb.err" && break
    [ -s "$work/game.err" ] && break # the game itself ran and complained: no retry
done
[ -f "$work/game.status" ] ||
    fail "session: $(cat "$work/session.err" "$work/xvfb.err" "$work/game.err" 2>/dev/null)"

status=$(cat "$work/game.status")
[ "$status" = 0 ] || fail "game exited with status $status after SIGTERM: $(cat "$work/game.err")"

mkdir -p /tmp/orbelle-menu-shots
cp "$work/shot1.png" "$work/shot2.png" /tmp/orbelle-menu-shots/

# The game draws into the 800x600 window at the top-left of the screen.
crop='800x600+0+0'
spread=$(convert "$work/shot1.png" -crop "$crop" +repage -format '%[fx:standard_deviation]' info:)
[[ "$spread" =~ ^[0-9.e-]+$ ]] || fail "could not measure the scene: $spread"
awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' || fail "the scene looks blank (deviation $spread)"

convert "$work/shot1.png" -crop "$crop" +repage "$work/scene1.png"
convert "$work/shot2.png" -crop "$crop" +repage "$work/scene2.png"
# compare exits 1 when the images differ, which is what we hope for.
changed=$(compare -metric AE "$work/scene1.png" "$work/scene2.png" null: 2>&1 || true)
[[ "$changed" =~ ^[0-9]+$ ]] || fail "could not compare the shots: $changed"
[ "$changed" -gt 50 ] || fail "the scene did not move ($changed pixels changed)"

printf '800\n600\n32\n1\n1\n1' | cmp -s - "$work/run/config.txt" ||
    fail "config.txt is not the default file: $(od -c "$work/run/config.txt" | head -3)"


# No display at all: one clear line on stderr and status 1, not a text-mode window.
mkdir "$work/nodisplay"
ln -s "$ORBELLE_SOURCE_DIR/data" "$work/nodisplay/data"
set +e
(cd "$work/nodisplay" && env -u DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
    timeout 20 "$game_binary" >"$work/nodisplay.out" 2>"$work/nodisplay.err" </dev/null)
status=$?
set -e
[ "$status" = 1 ] || fail "without a display the game exited with status $status"
lines=$(grep -c . "$work/nodisplay.err" || true)
[ "$lines" = 1 ] || fail "expected one line on stderr, got: $(cat "$work/nodisplay.err")"
grep -q '^orbelle: cannot open the game window' "$work/nodisplay.err" ||
    fail "unexpected message: $(cat "$work/nodisplay.err")"

echo "PASS: menu scene drawn and moving ($changed pixels changed, deviation $spread)"
