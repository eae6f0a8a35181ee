#include "game/frame_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "record/game_state.h"

namespace {
FILE* frameLog = nullptr;
bool firstFrame = true;
long long monotonicMicros() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000 + now.tv_nsec / 1000;
}
} // namespace

void openFrameLog() {
    const char* path = std::getenv("ORBELLE_FRAME_LOG");
    if (!path || !*path)
        return;
    frameLog = std::fopen(path, "a");
    // Line-buffered, so a reader sees every frame even if the game is killed.
    if (!frameLog)
        return;
    std::setvbuf(frameLog, nullptr, _IOLBF, 0);
    std::fprintf(frameLog, "start %lld\n", monotonicMicros());
}

namespace {
void writeFrameLine() {
    std::fprintf(frameLog,
                 "%lld%s menu=%d scores=%d entry=%d over=%d event=%d selection=%d paused=%d "
                 "score=%.0f\n",
                 monotonicMicros(), firstFrame ? " first" : "", game.inMenu,
                 game.scoreScreenVisible, game.nameEntryActive, game.gameOver, game.eventActive,
                 game.menuSelection, game.paused, game.score);
    firstFrame = false;
}
} // namespace

void logFrame() {
    if (frameLog && !firstFrame)
        writeFrameLine();
}

// The first frame counts as there once the player can see it: after its buffer swap.
void logFrameShown() {
    if (frameLog && firstFrame)
        writeFrameLine();
}
