// Small scenes for the field tests: a few sprites of our own in place of the real fields.
#pragma once

#include <initializer_list>

#include "game/game_state.h"
#include "game/random.h"
#include "tests/support/test_game.h"

inline TSLPolygon sprite(float x, float y, float size, float radius) {
    TSLPolygon made(x, y, 1, size, size, 0);
    made.radius = radius;
    return made;
}

inline void useBubbles(std::initializer_list<TSLPolygon*> bubbles) {
    game.bubbleCount = 0;
    for (TSLPolygon* bubble : bubbles)
        game.bubbles[game.bubbleCount++] = bubble;
}

inline void useSpikes(std::initializer_list<TSLPolygon*> spikes) {
    game.spikeCount = 0;
    for (TSLPolygon* spike : spikes)
        game.spikes[game.spikeCount++] = spike;
}

// Play with empty fields, no network, and the player at (100, 100) with radius 2.
inline void startPlayScene() {
    resetGameForTest();
    game.inMenu = false;
    game.internetScoresEnabled = false;
    useBubbles({});
    useSpikes({});
    game.player.x = 100;
    game.player.y = 100;
    game.player.radius = 2;
}

// A generator state whose next draws modulo `modulus` are the given values.
inline uint32_t stateDrawing(std::initializer_list<int> values, int modulus) {
    for (uint32_t state = 1;; ++state) {
        resetGameRand(state);
        bool match = true;
        for (int value : values)
            match = match && gameRand() % modulus == value;
        if (match)
            return state;
    }
}

inline TSLMaterial* material(const char* name) {
    return game.materials.GetMaterial(name);
}
