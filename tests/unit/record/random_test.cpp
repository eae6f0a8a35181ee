#include <gtest/gtest.h>

#include "record/random.h"

// The values of the C library's classic generator from its first state (worked out in python3).
TEST(GameRand, FollowsTheClassicSequenceFromItsFirstState) {
    resetGameRand();
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(gameRand(), value);
}
