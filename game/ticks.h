// The game's millisecond tick count. It advances like a classic desktop system timer, in
// steps of 15.625 ms (64 per second), and that step is the game's frame rate.
#pragma once

#include <cstdint>

uint32_t getTickCount();
// Sleeps until the tick count has moved on from lastSeen.
void waitForNextTick(uint32_t lastSeen);
