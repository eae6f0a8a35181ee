// Shared set-up for in-process tests: a headless engine and a game in its starting state.
#pragma once

// Headless engine, every plain game value at its starting value, the materials made once,
// the fixed sprites back at their starting places, the generator at its first state,
// no held test keys, no printed texts and no queued SDL events.
void resetGameForTest();

// Creates both fields (200 bubbles, 150 spikes) the first time; later calls reuse them.
void ensureFieldsForTest();
