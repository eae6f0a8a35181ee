// Cost of one frame of play without drawing: both fields moved and the full collision pass
// over 200 bubbles and 150 spike balls. Every iteration starts from the same mid-round state,
// restored outside the timed part, so speed-ups and events cannot drift the measurement.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "field/collisions.h"
#include "field/fields.h"
#include "field/materials.h"
#include "game/frame_loop.h"
#include "game/startup.h"
#include "protocol/replay_format.h"
#include "record/game_state.h"
#include "record/random.h"
#include "replay/recorder.h"
#include "replay/verify_replay.h"

namespace {
const int warmUpFrames = 300;
const uint32_t benchSeed = 12345;

struct SpriteState {
    float x, y, width, height, radius;
    bool visible;
    TSLMaterial* material;
};

struct Snapshot {
    GameValues values;
    SpriteState bubbles[maxBubbles];
    SpriteState spikes[maxSpikes];
    SpriteState player;
};

SpriteState saveSprite(const TSLPolygon& s) {
    return {s.x, s.y, s.width, s.height, s.radius, s.visible, s.material};
}

void restoreSprite(TSLPolygon& s, const SpriteState& saved) {
    s.x = saved.x;
    s.y = saved.y;
    s.width = saved.width;
    s.height = saved.height;
    s.radius = saved.radius;
    s.visible = saved.visible;
    s.material = saved.material;
}

void simulateFrame() {
    moveBubbles(game.bubbleSpeed);
    moveSpikes(-game.spikeSpeed);
    checkCollisions();
}

// A round in progress with both fields spread over the screen; the player is parked off the
// field so that the round never ends.
const Snapshot& midRound() {
    static Snapshot snapshot;
    static bool made = false;
    if (made)
        return snapshot;
    TSLSetHeadless(true);
    TSLInit(800, 600, 32, true);
    createMaterials();
    createBubbles(maxBubbles);
    createSpikes(maxSpikes);
    game.inMenu = false;
    game.player.x = -1000;
    game.player.y = -1000;
    for (int i = 0; i < warmUpFrames; ++i)
        simulateFrame();
    snapshot.values = game;
    for (int i = 0; i < maxBubbles; ++i)
        snapshot.bubbles[i] = saveSprite(*game.bubbles[i]);
    for (int i = 0; i < maxSpikes; ++i)
        snapshot.spikes[i] = saveSprite(*game.spikes[i]);
    snapshot.player = saveSprite(game.player);
    made = true;
    return snapshot;
}

void restore(const Snapshot& snapshot) {
    static_cast<GameValues&>(game) = snapshot.values;
    for (int i = 0; i < maxBubbles; ++i)
        restoreSprite(*game.bubbles[i], snapshot.bubbles[i]);
    for (int i = 0; i < maxSpikes; ++i)
        restoreSprite(*game.spikes[i], snapshot.spikes[i]);
    restoreSprite(game.player, snapshot.player);
    resetGameRand(benchSeed);
}

void BM_SimulationFrame(benchmark::State& state) {
    const Snapshot& start = midRound();
    for (auto _ : state) {
        state.PauseTiming();
        restore(start);
        state.ResumeTiming();
        simulateFrame();
        benchmark::DoNotOptimize(game.score);
    }
    // How much of the field the collision pass really has to look at in this state.
    int bubblesOnScreen = 0;
    for (const SpriteState& b : start.bubbles)
        bubblesOnScreen += b.visible && b.y >= 0 && b.y <= 600;
    state.counters["bubblesOnScreen"] = bubblesOnScreen;
}
BENCHMARK(BM_SimulationFrame);

// One frame pass from start, again and again.
void timeFramePasses(benchmark::State& state, const Snapshot& start) {
    for (auto _ : state) {
        state.PauseTiming();
        restore(start);
        const uint32_t now = game.lastTick + 16;
        state.ResumeTiming();
        benchmark::DoNotOptimize(runFramePass(now));
    }
}

// The same frame through the whole pass, with input, texts and the (headless) draw calls.
void BM_HeadlessFramePass(benchmark::State& state) {
    timeFramePasses(state, midRound());
}
BENCHMARK(BM_HeadlessFramePass);

// The same pass while the round is recorded: what recording adds to a frame.
void BM_RecordedFramePass(benchmark::State& state) {
    const Snapshot& start = midRound();
    startRecordedRound();
    timeFramePasses(state, start);
}
BENCHMARK(BM_RecordedFramePass);

// Recording alone, as it follows each frame: a frame's few bytes, and every 64 frames the check
// value over the whole state.
void BM_RecordFrame(benchmark::State& state) {
    restore(midRound());
    const uint32_t framesPerRound = 100000;
    uint32_t recorded = 0;
    for (auto _ : state) {
        if (recorded++ % framesPerRound == 0) {
            state.PauseTiming();
            startRecordedRound();
            game.player.x = -1000; // off the field: the round never ends
            state.ResumeTiming();
        }
        recordFrame(FrameInput());
    }
}
BENCHMARK(BM_RecordFrame);

// The reference replays (tests/replays), checked one after another: the CPU time a check takes
// per minute of play (64 frames a second), and the bytes a minute of play takes in a file.
void BM_VerifyReferenceReplays(benchmark::State& state) {
    std::vector<std::string> files;
    for (const char* round : {"0", "1", "2", "3", "4", "5", "6"}) {
        std::ifstream in(std::string(ORBELLE_SOURCE_DIR) + "/tests/replays/round-" + round +
                             ".orbr",
                         std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    double frames = 0, bytes = 0;
    for (auto _ : state) {
        frames = bytes = 0;
        for (const std::string& file : files) {
            const ReplayVerdict verdict = verifyReplay(file);
            if (verdict.kind != ReplayVerdictKind::ok)
                state.SkipWithError(
                    ("a reference replay does not verify: " + verdict.reason).c_str());
            frames += verdict.frames;
            bytes += double(file.size());
        }
    }
    const double minutes = frames / (64 * 60);
    state.counters["playMinutes"] = minutes;
    state.counters["secondsPerPlayMinute"] = benchmark::Counter(
        minutes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytesPerPlayMinute"] = bytes / minutes;
}
BENCHMARK(BM_VerifyReferenceReplays)->Unit(benchmark::kMillisecond);
} // namespace
