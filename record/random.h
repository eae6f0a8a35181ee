// The game's own rand(): the classic 15-bit linear congruential generator, never seeded by
// the game, so every run starts from the same fields.
#pragma once

#include <cstdint>

// 0 to 32767.
int gameRand();
// Puts the generator in the given state: its first (1) by default, or one a replay recorded.
void resetGameRand(uint32_t state = 1);
// The state the next draw starts from.
uint32_t gameRandState();
