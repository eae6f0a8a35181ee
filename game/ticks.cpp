#include "game/ticks.h"

#include <cerrno>
#include <ctime>

namespace {
// A classic desktop system timer ticks 64 times a second; the game's frame rate follows it.
const uint64_t timerStepsPerSecond = 64;
const uint64_t nanosPerSecond = 1000000000;
const uint64_t millisPerSecond = 1000;
const uint64_t nanosPerStep = nanosPerSecond / timerStepsPerSecond; // exactly 15625000

uint64_t monotonicNanos() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * nanosPerSecond + uint64_t(now.tv_nsec);
}

uint64_t timerStepAt(uint64_t nanos) {
    return nanos / nanosPerStep;
}

// Sleeps until the monotonic clock reaches the start of the given timer step.
void sleepUntilStep(uint64_t step) {
    uint64_t wake = step * nanosPerStep;
    timespec until;
    until.tv_sec = time_t(wake / nanosPerSecond);
    until.tv_nsec = long(wake % nanosPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
} // namespace

uint32_t getTickCount() {
    // Whole steps converted back to milliseconds, truncated: 0, 15, 31, 46, 62, 78, ...
    // The 32-bit result wraps like the system's, which frame timing handles.
    return uint32_t(timerStepAt(monotonicNanos()) * millisPerSecond / timerStepsPerSecond);
}

void waitForNextTick(uint32_t lastSeen) {
    while (getTickCount() == lastSeen)
        sleepUntilStep(timerStepAt(monotonicNanos()) + 1);
}
