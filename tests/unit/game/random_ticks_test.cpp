#include <gtest/gtest.h>

#include "game/random.h"
#include "game/ticks.h"

TEST(GameRand, FollowsTheClassicSequenceFromItsFirstState) {
    resetGameRand();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected)
        EXPECT_EQ(gameRand(), value);
    resetGameRand();
    EXPECT_EQ(gameRand(), 41);
}

// Every value is a whole number of 1/64 s steps in milliseconds, truncated.
bool onTimerStep(uint32_t ticks) {
    uint64_t step = (uint64_t(ticks) * 64 + 999) / 1000;
    return uint32_t(step * 1000 / 64) == ticks;
}

TEST(Ticks, AdvanceInSystemTimerSteps) {
    uint32_t first = getTickCount();
    EXPECT_TRUE(onTimerStep(first)) << first;
    uint32_t previous = first;
    for (int i = 0; i < 5; ++i) {
        waitForNextTick(previous);
        uint32_t now = getTickCount();
        EXPECT_TRUE(onTimerStep(now)) << now;
        EXPECT_GE(now - previous, 15u);
        EXPECT_LT(now - previous, 0x80000000u);
        previous = now;
    }
}

uint32_t frozenClock() {
    return 1234;
}

TEST(Ticks, TestSourceReplacesTheClockAndNeverBlocks) {
    setTickSourceForTest(frozenClock);
    EXPECT_EQ(getTickCount(), 1234u);
    waitForNextTick(1234); // must return although this clock never moves
    setTickSourceForTest(nullptr);
    EXPECT_TRUE(onTimerStep(getTickCount()));
}
