#include "record/random.h"

namespace {
// The C library's classic generator: the same numbers on every run, as the game never seeds it.
const uint32_t randMultiplier = 214013;
const uint32_t randIncrement = 2531011;

uint32_t randState = 1;
} // namespace

int gameRand() {
    randState = randState * randMultiplier + randIncrement;
    return int((randState >> 16) & 0x7FFF);
}

void resetGameRand(uint32_t state) {
    randState = state;
}

uint32_t gameRandState() {
    return randState;
}
