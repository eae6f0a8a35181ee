// The game's own rand(): the classic 15-bit linear congruential generator, never seeded by
// the game, so every run starts from the same fields.
#pragma once

#include <cstdint>

// 0 to 32767.
int gameRand();
// Puts the generator back to its first state (1); for tests.
void resetGameRand(uint32_t state = 1);
