#include "game/frame_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
FILE* frameLog = nullptr;
bool firstFrame = true;
} // namespace

void openFrameLog() {
    const char* path = std::getenv("ORBELLE_FRAME_LOG");
    if (!path || !*path)
        return;
    frameLog = std::fopen(path, "a");
    // Line-buffered, so a reader sees every frame even if the game is killed.
    if (frameLog)
        std::setvbuf(frameLog, nullptr, _IOLBF, 0);
}

void logFrame() {
    if (!frameLog)
        return;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long micros = (long long)now.tv_sec * 1000000 + now.tv_nsec / 1000;
    std::fprintf(frameLog, "%lld%s\n", micros, firstFrame ? " first" : "");
    firstFrame = false;
}
