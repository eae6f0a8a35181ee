#!/usr/bin/env bash
# Frame pacing, CPU use, start-up time and memory of the real game under Xvfb, against the
# floor program (bench/floor.cpp: one full-screen textured quad a frame, 64 frames a second)
# and against a spin build (the loop spins while the tick stands still).
#
# One run interleaves the programs round by round on the same virtual display: the game on the
# menu and in play, the floor, the overlay floor (ORBELLE_FLOOR_OVERLAY=1: only the whole
# window under the event overlay, the least an earthquake frame draws), the spin build on the
# menu and in play, the game in play with a calm event and then with an earthquake kept running
# (ORBELLE_BENCH_EVENTS=calm and quake), then start-ups with a warm and a cold shader cache.
# Every ratio is taken from this one run and printed beside its target. Usage:
#   bench/frame_pacing.sh [seconds-per-phase] [rounds]      (defaults 15 and 2)
# STARTS_PER_ROUND (default 3) sets how often each program is started per round for the
# start-up figures. BUILD_DIR and SPIN_BUILD_DIR choose the build directories (default build-perf and
# build-perf-spin under the project root); missing ones are configured and built.
# GAME_NICE (e.g. -10, needs root) runs the programs and their virtual display at that
# niceness, to stand in for a quiet machine while other work shares the cores.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
phaseSeconds="${1:-15}"
rounds="${2:-2}"
buildDir="${BUILD_DIR:-$root/build-perf}"
startsPerRound="${STARTS_PER_ROUND:-3}"
spinDir="${SPIN_BUILD_DIR:-$root/build-perf-spin}"

buildGame() {
    local dir="$1"
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
            -DORBELLE_BENCH=ON "$@" >/dev/null
    fi
    cmake --build "$dir" -j2 --target orbelle orbelle_floor >/dev/null
}

# Prints "<monotonic micros> <utime+stime clock ticks>" of the process, read together.
sampleProcess() {
    python3 - "$1" <<'PY'
import sys, time
with open(f"/proc/{sys.argv[1]}/stat") as f:
    fields = f.read().rsplit(")", 1)[1].split()
# Fields after the command name: state is index 0, utime 11, stime 12.
print(time.monotonic_ns() // 1000, int(fields[11]) + int(fields[12]))
PY
}

pressKey() {
    xdotool keydown "$1"
    sleep 0.08
    xdotool keyup "$1"
}

# Waits up to $2 seconds for a line matching $1 in the frame log.
waitForLog() {
    local pattern="$1" limit="$2" waited=0
    while ! grep -q -- "$pattern" "$frameLog" 2>/dev/null; do
        sleep 0.1
        waited=$((waited + 1))
        [ "$waited" -lt $((limit * 10)) ] || return 1
    done
}

# Starts a program in a fresh folder with its frame log; the launcher notes the clock and then
# becomes the program, so the exec and the loading of the libraries count toward start-up.
# On this shared machine a connection to the virtual display is now and then refused; such a
# start is tried again, any other failure is not.
launch() {
    for attempt in 1 2 3 4 5; do
        startProgram "$@" && return 0
        grep -q "open X11 display" "$runDir/out.txt" && [ "$attempt" -lt 5 ] || break
        rm -rf "$runDir"
        sleep 2
    done
    echo "$1 drew no frame; its output:" >&2
    cat "$runDir/out.txt" >&2
    return 1
}

startProgram() {
    local binary="$1"
    shift
    runDir="$(mktemp -d)"
    ln -s "$root/data" "$runDir/data"
    frameLog="$runDir/frames.log"
    # Internet scores off: a round that ends must not reach out for a score server.
    printf '800\n600\n32\n1\n1\n0\n' >"$runDir/config.txt"
    (
        cd "$runDir"
        exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ORBELLE_FRAME_LOG="$frameLog" "$@" \
            python3 -c 'import os, sys, time
open(sys.argv[1], "w").write("%d\n" % (time.monotonic_ns() // 1000))
os.execv(sys.argv[2], sys.argv[2:])' "$runDir/launch.txt" "$binary"
    ) >"$runDir/out.txt" 2>&1 &
    gamePid=$!
    local deadline=$((SECONDS + 30))
    while ! grep -q ' first' "$frameLog" 2>/dev/null; do
        kill -0 "$gamePid" 2>/dev/null || { wait "$gamePid" || true; gamePid=""; return 1; }
        [ "$SECONDS" -lt "$deadline" ] || { stopProgram; return 1; }
        sleep 0.05
    done
}

stopProgram() {
    kill -TERM "$gamePid"
    for _ in $(seq 50); do
        kill -0 "$gamePid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$gamePid" 2>/dev/null || true
    wait "$gamePid" 2>/dev/null || true
    gamePid=""
}

focusGame() {
    local window
    window="$(timeout 10 xdotool search --sync --name '^Orbelle$' | head -1)"
    # The window sits at 0,0 without a window manager; keys go where the pointer is.
    xdotool mousemove 400 300
    xdotool windowfocus "$window" 2>/dev/null || true
    sleep 1
}

# True when the frame log's last line holds $1.
lastFrameIs() {
    case "$(tail -n 1 "$frameLog")" in *"$1"*) return 0 ;; esac
    return 1
}

# Waits up to two seconds for a frame whose line holds $1.
waitForFrame() {
    for _ in $(seq 40); do
        lastFrameIs "$1" && return 0
        sleep 0.05
    done
    return 1
}

# A spike now and then ends the round of a player steering in circles; the next round is
# started at once, so that a phase measures play (and its event) for nearly all its frames: the
# name is entered if asked for, then on the high-score screen Up (to the top line, which also
# leaves the screen) and Return start the next round.
startRoundAgain() {
    lastFrameIs " over=1 " || return 0
    lastFrameIs " entry=1 " && pressKey Return
    waitForFrame " menu=1 " || return 0
    pressKey Up
    pressKey Up
    pressKey Up
    pressKey Return
    waitForFrame " over=0 " || true
}

# One phase: "<name> <start sample> <end sample>" into the phase list.
measurePhase() {
    local name="$1" start
    case "$name" in
    play | event | quake)
        pressKey Return
        waitForLog 'menu=0' 5 || echo "the round did not start" >&2
        sleep 0.5
        start="$(sampleProcess "$gamePid")"
        local keys=(Left Up Right Down) deadline=$((SECONDS + phaseSeconds)) i=0
        while [ "$SECONDS" -lt "$deadline" ]; do
            xdotool keydown "${keys[i % 4]}"
            for _ in 1 2 3 4 5 6; do
                sleep 0.25
                lastFrameIs " over=0 " || break
            done
            xdotool keyup "${keys[i % 4]}"
            i=$((i + 1))
            startRoundAgain
        done
        ;;
    *)
        sleep 1
        start="$(sampleProcess "$gamePid")"
        sleep "$phaseSeconds"
        ;;
    esac
    echo "$name $start $(sampleProcess "$gamePid")" >>"$runDir/phases.txt"
}

# session PROGRAM-NAME BINARY "PHASES" [VAR=VALUE...]: writes "<program>_<figure> value" lines.
session() {
    local program="$1" binary="$2" phases="$3"
    shift 3
    launch "$binary" MESA_SHADER_CACHE_DIR="$outDir/shader-cache" "$@"
    # The floor programs take no keys.
    [ "$program" = floor ] || [ "$program" = overlay ] || focusGame
    : >"$runDir/phases.txt"
    for phase in $phases; do
        measurePhase "$phase"
    done
    local anon peak own
    anon="$(awk '/^RssAnon:/ {print $2}' "/proc/$gamePid/status")"
    peak="$(awk '/^VmHWM:/ {print $2}' "/proc/$gamePid/status")"
    # The program's own memory: the heap and the mappings of no file. RssAnon also counts the
    # pages of the libraries' data that the loader wrote to (relocations), the libraries' own.
    own="$(awk '/^[0-9a-f]+-[0-9a-f]+ / {mine = NF == 5 || $6 == "[heap]"}
        /^Rss:/ && mine {kb += $2} END {print kb}' "/proc/$gamePid/smaps")"
    stopProgram
    python3 - "$program" "$frameLog" "$runDir/phases.txt" "$anon" "$peak" "$own" \
        "$(getconf CLK_TCK)" >>"$outDir/round$round.txt" <<'PY'
import statistics, sys
program, log, phaseFile, anonKb, peakKb, ownKb, clk = sys.argv[1:]
frames = []  # (micros, flags)
for line in open(log):
    parts = line.split()
    if parts[0] != "start":
        frames.append((int(parts[0]), dict(p.split("=") for p in parts if "=" in p)))
print(f"{program}_anon_mb", int(anonKb) / 1024)
print(f"{program}_peak_mb", int(peakKb) / 1024)
print(f"{program}_own_mb", int(ownKb) / 1024)
for line in open(phaseFile):
    name, t0, cpu0, t1, cpu1 = line.split()
    t0, cpu0, t1, cpu1 = map(int, (t0, cpu0, t1, cpu1))
    window = [f for f in frames if t0 <= f[0] <= t1]
    times = [f[0] for f in window]
    gaps = [(y - x) / 1000 for x, y in zip(times, times[1:])]
    key = f"{program}_{name}"
    print(key + "_fps", (len(times) - 1) / ((times[-1] - times[0]) / 1e6))
    print(key + "_sd_ms", statistics.stdev(gaps))
    print(key + "_max_ms", max(gaps))
    print(key + "_cpu", (cpu1 - cpu0) / int(clk) / ((t1 - t0) / 1e6))
    print(key + "_round_over", int(any(f[1].get("over") == "1" for f in window)))
    print(key + "_event_share", sum(f[1].get("event") == "1" for f in window) / len(window))
PY
    rm -rf "$runDir"
}

# startUp PROGRAM-NAME BINARY CACHE-NAME [VAR=VALUE...]: exec to the first swapped frame.
startUp() {
    local program="$1" binary="$2" cache="$3"
    shift 3
    launch "$binary" "$@"
    stopProgram
    python3 - "$frameLog" "$runDir/launch.txt" >>"$outDir/round$round.txt" \
        "${program}_${cache}_start_ms" <<'PY'
import sys
log, launchFile, key = sys.argv[1:]
first = next(int(l.split()[0]) for l in open(log) if " first" in l)
print(key, (first - int(open(launchFile).read())) / 1000)
PY
    rm -rf "$runDir"
}

# Each program once with a warm and once with a cold shader cache.
startUps() {
    for program in game floor; do
        local binary="$buildDir/orbelle"
        [ "$program" = game ] || binary="$buildDir/bench/orbelle_floor"
        startUp "$program" "$binary" warm MESA_SHADER_CACHE_DIR="$outDir/shader-cache"
        # Cold: a cache folder of its own, empty, as on a first start (disabling the cache
        # instead would also skip writing it, which a first start pays for).
        local cold
        cold="$(mktemp -d)"
        startUp "$program" "$binary" cold MESA_SHADER_CACHE_DIR="$cold"
        rm -rf "$cold"
    done
}

# Runs inside xvfb-run: every program in turn, round after round, on the same display.
inner() {
    gamePid=""
    trap '[ -n "$gamePid" ] && kill -KILL "$gamePid" 2>/dev/null; true' EXIT
    for round in $(seq "$rounds"); do
        session game "$buildDir/orbelle" "menu play"
        session floor "$buildDir/bench/orbelle_floor" "floor"
        session overlay "$buildDir/bench/orbelle_floor" "floor" ORBELLE_FLOOR_OVERLAY=1
        session spin "$spinDir/orbelle" "menu play"
        session game "$buildDir/orbelle" "event" ORBELLE_BENCH_EVENTS=calm
        session game "$buildDir/orbelle" "quake" ORBELLE_BENCH_EVENTS=quake
        # Start-ups are short and vary much with the load: several each round, game and floor
        # alternating, and their median below.
        for _ in $(seq "$startsPerRound"); do
            startUps
        done
    done
}

if [ "${1:-}" = "--inner" ]; then
    outDir="$2"
    phaseSeconds="$3"
    rounds="$4"
    startsPerRound="$5"
    inner
    exit 0
fi

command -v xvfb-run >/dev/null && command -v xdotool >/dev/null ||
    { echo "needs xvfb-run and xdotool (tools/install-deps.sh)" >&2; exit 1; }
buildGame "$buildDir"
buildGame "$spinDir" -DORBELLE_SPIN_LOOP=ON

outDir="$(mktemp -d)"
trap 'rm -rf "$outDir"' EXIT
loadBefore="$(cut -d' ' -f1-3 /proc/loadavg)"
# Another xvfb-run starting at the same moment can take the same display number; try again.
for attempt in 1 2 3; do
    rm -f "$outDir"/round*.txt
    # A display number away from the usual :99, where other sessions start theirs. -noreset: by
# default the server resets when its last client leaves, between two starts, and refuses the
# next connection while it does.
    BUILD_DIR="$buildDir" SPIN_BUILD_DIR="$spinDir" nice -n "${GAME_NICE:-0}" \
        xvfb-run -a -n $((200 + RANDOM % 700)) -s '-screen 0 1024x768x24 -noreset' "$0" --inner \
        "$outDir" "$phaseSeconds" "$rounds" "$startsPerRound" && break
    [ "$attempt" -lt 3 ] || { echo "no measurement after three attempts" >&2; exit 1; }
    echo "retrying on a fresh virtual display" >&2
done
loadAfter="$(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$phaseSeconds" "$rounds" "$loadBefore" "$loadAfter" "$(nproc)" "${GAME_NICE:-0}" \
    "$outDir"/round*.txt <<'PY'
import statistics, sys
seconds, rounds, loadBefore, loadAfter, cores, nice, *files = sys.argv[1:]
values = {}
for path in files:
    for line in open(path):
        key, value = line.split()
        values.setdefault(key, []).append(float(value))
# Start-up times: the median, as one start slowed by another session's burst would pull a mean.
v = {key: (statistics.median if key.endswith("_start_ms") else statistics.mean)(found)
     for key, found in values.items()}
print(f"Orbelle frame pacing: {rounds} interleaved rounds of {seconds} s phases, {cores} cores, "
      f"load average {loadBefore} before, {loadAfter} after, niceness {nice}")
rows = []
def row(label, value, target="", met=None):
    rows.append((label, value, target, "" if met is None else "met" if met else "MISSED"))
for program, phases in (("game", ("menu", "play", "event", "quake")), ("floor", ("floor",)),
                        ("overlay", ("floor",)), ("spin", ("menu", "play"))):
    for phase in phases:
        k = f"{program}_{phase}"
        label = program if program == phase else f"{program} {phase}"
        label = "overlay floor" if program == "overlay" else label
        over = " (a round ended)" if v[k + "_round_over"] else ""
        fps, sd = v[k + "_fps"], v[k + "_sd_ms"]
        row(f"{label} frames per second{over}", f"{fps:.2f}", "64 +- 0.5", abs(fps - 64) <= 0.5)
        row(f"{label} frame interval SD / max", f"{sd:.3f} / {v[k + '_max_ms']:.1f} ms",
            "SD < 1 ms", sd < 1)
        row(f"{label} CPU seconds per second", f"{v[k + '_cpu']:.3f}")
for phase in ("event", "quake"):
    row(f"game {phase}: share of frames with an event", f"{v[f'game_{phase}_event_share']:.2f}")
for phase in ("menu", "play"):
    ratio = v[f"game_{phase}_cpu"] / v["floor_floor_cpu"]
    row(f"{phase} CPU game / floor", f"{ratio:.3f}", "<= 1", ratio <= 1)
    ratio = v[f"game_{phase}_cpu"] / v[f"spin_{phase}_cpu"]
    row(f"{phase} CPU game / spin", f"{ratio:.3f}", "<= 0.333", ratio <= 1 / 3)
for phase, label in (("event", "calm event"), ("quake", "earthquake")):
    ratio = v[f"game_{phase}_cpu"] / v["game_play_cpu"]
    row(f"CPU {label} / play without event", f"{ratio:.3f}", "<= 2", ratio <= 2)
ratio = v["game_quake_cpu"] / v["floor_floor_cpu"]
row("CPU earthquake / floor", f"{ratio:.3f}")
# An earthquake changes every pixel every frame: no frame of it can cost less than the overlay
# floor (the whole window under the blended overlay, nothing else). When that alone is over
# twice play, the earthquake's target cannot be met by any way of drawing on this renderer.
ratio = v["overlay_floor_cpu"] / v["game_play_cpu"]
row("CPU overlay floor (least an earthquake frame draws) / play", f"{ratio:.3f}")
ratio = v["game_quake_cpu"] / v["overlay_floor_cpu"]
row("CPU earthquake / overlay floor", f"{ratio:.3f}")
for program in ("game", "floor"):
    for cache, limit in (("warm", 150), ("cold", 250)):
        ms = v[f"{program}_{cache}_start_ms"]
        target = f"<= {limit} ms" if program == "game" else ""
        starts = len(values[f"{program}_{cache}_start_ms"])
        row(f"{program} exec to first swapped frame, {cache} cache, median of {starts}",
            f"{ms:.1f} ms", target, ms <= limit if program == "game" else None)
for program in ("game", "floor", "overlay", "spin"):
    row(f"{program} heap + anonymous mappings / RssAnon at close / peak resident",
        f"{v[program + '_own_mb']:.1f} / {v[program + '_anon_mb']:.1f} / "
        f"{v[program + '_peak_mb']:.1f} MB")
anon = max(values["game_anon_mb"]) - v["floor_anon_mb"]
row("game RssAnon above the floor's (with library data)", f"{anon:.1f} MB")
own = max(values["game_own_mb"]) - v["floor_own_mb"]
row("game heap + anonymous mappings above the floor's (events included)", f"{own:.1f} MB",
    "<= 6 MB", own <= 6)
width = max(len(r[0]) for r in rows)
for label, value, target, verdict in rows:
    print(f"  {label:<{width}}  {value:>20}  {target:>10}  {verdict}")
PY
