#!/usr/bin/env bash
# Frame pacing, CPU use, start-up time and peak memory of the real game under Xvfb.
#
# Runs the normal build and a spin build (the loop spins while the tick stands still) for a
# stretch on the menu and a stretch in play, steering with held arrow keys, and prints each
# figure beside its target. Usage:
#   bench/frame_pacing.sh [seconds-per-phase]      (default 20)
# BUILD_DIR and SPIN_BUILD_DIR choose the build directories (default build-perf and
# build-perf-spin under the project root); missing ones are configured and built.
# GAME_NICE (e.g. -10, needs root) runs the game and its virtual display at that niceness,
# to stand in for a quiet machine while other work shares the cores.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
phaseSeconds="${1:-20}"
buildDir="${BUILD_DIR:-$root/build-perf}"
spinDir="${SPIN_BUILD_DIR:-$root/build-perf-spin}"

buildGame() {
    local dir="$1"
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
            -DORBELLE_BENCH=OFF "$@" >/dev/null
    fi
    cmake --build "$dir" -j2 --target orbelle >/dev/null
}

# Prints "<monotonic micros> <utime+stime clock ticks>" of the process, read together.
sampleProcess() {
    python3 - "$1" <<'EOF'
import sys, time
with open(f"/proc/{sys.argv[1]}/stat") as f:
    fields = f.read().rsplit(")", 1)[1].split()
# Fields after the command name: state is index 0, utime 11, stime 12.
print(time.monotonic_ns() // 1000, int(fields[11]) + int(fields[12]))
EOF
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

# One session of one build, inside the virtual display: writes "name value" lines to $2.
measureBuild() {
    local binary="$1" results="$2"
    local dir
    dir="$(mktemp -d)"
    ln -s "$root/data" "$dir/data"
    frameLog="$dir/frames.log"
    # Internet scores off: a round that ends must not reach out for a score server.
    printf '800\n600\n32\n1\n1\n0\n' >"$dir/config.txt"
    (
        cd "$dir"
        # The launcher notes the clock and then becomes the game, so the exec and the
        # loading of the libraries count toward the start-up time.
        exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ORBELLE_FRAME_LOG="$frameLog" \
            python3 -c 'import os, sys, time
open(sys.argv[1], "w").write("%d\n" % (time.monotonic_ns() // 1000))
os.execv(sys.argv[2], sys.argv[2:])' "$dir/launch.txt" "$binary"
    ) >"$dir/game.out" 2>&1 &
    gamePid=$!
    if ! waitForLog ' first ' 20; then
        echo "the game drew no frame; its output:" >&2
        cat "$dir/game.out" >&2
        return 1
    fi
    local window
    window="$(timeout 10 xdotool search --sync --name '^Orbelle$' | head -1)"
    # The window sits at 0,0 without a window manager; keys go where the pointer is.
    xdotool mousemove 400 300
    xdotool windowfocus "$window" 2>/dev/null || true
    sleep 1

    local menuStart menuEnd playStart playEnd
    menuStart="$(sampleProcess "$gamePid")"
    sleep "$phaseSeconds"
    menuEnd="$(sampleProcess "$gamePid")"

    pressKey Return
    waitForLog 'menu=0' 5 || echo "the round did not start" >&2
    sleep 0.5
    playStart="$(sampleProcess "$gamePid")"
    local keys=(Left Up Right Down) deadline=$((SECONDS + phaseSeconds)) i=0
    while [ "$SECONDS" -lt "$deadline" ]; do
        xdotool keydown "${keys[i % 4]}"
        sleep 1.5
        xdotool keyup "${keys[i % 4]}"
        i=$((i + 1))
    done
    playEnd="$(sampleProcess "$gamePid")"
    local peak
    peak="$(awk '/^VmHWM:/ {print $2}' "/proc/$gamePid/status")"
    # What the peak is made of: the game's own memory, and the software renderer's code pages.
    local anon llvm
    anon="$(awk '/^RssAnon:/ {print $2}' "/proc/$gamePid/status")"
    llvm="$(awk '/^[0-9a-f]+-/ {name = $6} /^Rss:/ && name ~ /libLLVM/ {sum += $2}
                 END {print sum + 0}' "/proc/$gamePid/smaps")"
    kill -TERM "$gamePid"
    for _ in $(seq 50); do
        kill -0 "$gamePid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$gamePid" 2>/dev/null || true
    wait "$gamePid" 2>/dev/null || true
    gamePid=""

    python3 - "$frameLog" "$dir/launch.txt" "$menuStart" "$menuEnd" "$playStart" "$playEnd" \
        "$peak" "$anon" "$llvm" "$(getconf CLK_TCK)" >"$results" <<'EOF'
import statistics, sys
log, launchFile, menuStart, menuEnd, playStart, playEnd, peakKb, anonKb, llvmKb, clk = sys.argv[1:]
start = first = None
frames = []  # (micros, over flag)
for line in open(log):
    parts = line.split()
    if parts[0] == "start":
        start = int(parts[1])
        continue
    t = int(parts[0])
    if "first" in parts:
        first = t
    flags = dict(p.split("=") for p in parts if "=" in p)
    frames.append((t, flags.get("over") == "1"))
launch = int(open(launchFile).read())
print("exec_ms", (start - launch) / 1000)
print("first_frame_ms", (first - start) / 1000)
print("start_to_frame_ms", (first - launch) / 1000)
print("peak_rss_mb", int(peakKb) / 1024)
print("anon_rss_mb", int(anonKb) / 1024)
print("llvm_rss_mb", int(llvmKb) / 1024)
for name, a, b in (("menu", menuStart, menuEnd), ("play", playStart, playEnd)):
    t0, cpu0 = map(int, a.split())
    t1, cpu1 = map(int, b.split())
    window = [f for f in frames if t0 <= f[0] <= t1]
    times = [f[0] for f in window]
    gaps = [(y - x) / 1000 for x, y in zip(times, times[1:])]
    print(name + "_fps", (len(times) - 1) / ((times[-1] - times[0]) / 1e6))
    print(name + "_interval_mean_ms", statistics.mean(gaps))
    print(name + "_interval_sd_ms", statistics.stdev(gaps))
    print(name + "_interval_max_ms", max(gaps))
    print(name + "_cpu", (cpu1 - cpu0) / int(clk) / ((t1 - t0) / 1e6))
    print(name + "_round_over", int(any(f[1] for f in window)))
EOF
    rm -rf "$dir"
}

# Runs inside xvfb-run: measures both builds one after the other on the same display.
inner() {
    gamePid=""
    trap '[ -n "$gamePid" ] && kill -KILL "$gamePid" 2>/dev/null; true' EXIT
    measureBuild "$buildDir/orbelle" "$outDir/normal.txt"
    measureBuild "$spinDir/orbelle" "$outDir/spin.txt"
}

if [ "${1:-}" = "--inner" ]; then
    outDir="$2"
    phaseSeconds="$3"
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
    BUILD_DIR="$buildDir" SPIN_BUILD_DIR="$spinDir" nice -n "${GAME_NICE:-0}" \
        xvfb-run -a -s '-screen 0 1024x768x24' "$0" --inner "$outDir" "$phaseSeconds" && break
    [ "$attempt" -lt 3 ] || { echo "no measurement after three attempts" >&2; exit 1; }
    echo "retrying on a fresh virtual display" >&2
done
loadAfter="$(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$outDir/normal.txt" "$outDir/spin.txt" "$phaseSeconds" "$loadBefore" "$loadAfter" \
    "$(nproc)" "${GAME_NICE:-0}" <<'EOF'
import sys
normalFile, spinFile, seconds, loadBefore, loadAfter, cores, nice = sys.argv[1:]
def read(path):
    return {k: float(v) for k, v in (line.split() for line in open(path))}
n, s = read(normalFile), read(spinFile)
print(f"Orbelle frame pacing: {seconds} s on the menu and {seconds} s in play per build, "
      f"{cores} cores, load average {loadBefore} before, {loadAfter} after, "
      f"game niceness {nice}")
rows = []
def row(label, value, target, met):
    rows.append((label, value, target, "met" if met else "MISSED"))
for build, d in (("normal", n), ("spin", s)):
    for phase in ("menu", "play"):
        fps = d[phase + "_fps"]
        sd = d[phase + "_interval_sd_ms"]
        over = " (round ended)" if d[phase + "_round_over"] else ""
        row(f"{build} {phase} frames per second{over}", f"{fps:.2f}", "64 +- 0.5",
            abs(fps - 64) <= 0.5)
        row(f"{build} {phase} frame interval SD", f"{sd:.3f} ms", "< 1 ms", sd < 1)
        rows.append((f"{build} {phase} frame interval mean / max",
                     f"{d[phase + '_interval_mean_ms']:.2f} / {d[phase + '_interval_max_ms']:.2f} ms",
                     "", ""))
        rows.append((f"{build} {phase} CPU seconds per second", f"{d[phase + '_cpu']:.3f}", "", ""))
for phase in ("menu", "play"):
    ratio = n[phase + "_cpu"] / s[phase + "_cpu"]
    row(f"{phase} CPU normal / spin", f"{ratio:.3f}", "<= 0.333", ratio <= 1 / 3)
for build, d in (("normal", n), ("spin", s)):
    row(f"{build} start line to first frame", f"{d['first_frame_ms']:.1f} ms", "<= 300 ms",
        d["first_frame_ms"] <= 300)
    row(f"{build} exec to first frame", f"{d['start_to_frame_ms']:.1f} ms "
        f"(exec {d['exec_ms']:.1f})", "<= 300 ms", d["start_to_frame_ms"] <= 300)
    row(f"{build} peak resident memory", f"{d['peak_rss_mb']:.1f} MB", "< 100 MB",
        d["peak_rss_mb"] < 100)
    rows.append((f"{build} resident at close: anonymous / libLLVM code",
                 f"{d['anon_rss_mb']:.1f} / {d['llvm_rss_mb']:.1f} MB", "", ""))
width = max(len(r[0]) for r in rows)
for label, value, target, verdict in rows:
    print(f"  {label:<{width}}  {value:>22}  {target:>10}  {verdict}")
EOF
