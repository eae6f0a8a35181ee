#include "replay/round_state.h"

#include <cstddef>

#include "field/field_rules.h"
#include "record/game_state.h"
#include "record/random.h"

namespace {
// FNV-1a, 32 bits: cheap, and any change to the bytes changes it but by chance.
struct StateDigest {
    uint32_t value = 2166136261u;

    void bytes(const void* data, size_t size) {
        const unsigned char* at = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            value = (value ^ at[i]) * 16777619u;
    }
    template <typename T> void add(T item) { bytes(&item, sizeof item); }
    void flag(bool item) { add(uint8_t(item)); }
    void place(const TSLPolygon& sprite) {
        add(sprite.x);
        add(sprite.y);
    }
};
} // namespace

ReplayStart captureRoundStart() {
    ReplayStart start;
    start.randomState = gameRandState();
    start.eventKind = uint8_t(game.eventKind);
    start.savedBubbleSpeed = game.savedBubbleSpeed;
    start.savedSpikeSpeed = game.savedSpikeSpeed;
    start.musicTrack = uint8_t(game.musicTrack);
    start.nameEntryOpen = game.nameEntryActive;
    for (int i = 0; i < game.bubbleCount; ++i)
        start.collectable.push_back(game.bubbles[i]->visible);
    return start;
}

void applyRoundStart(const ReplayStart& start) {
    resetGameRand(start.randomState);
    game.eventKind = start.eventKind;
    game.savedBubbleSpeed = start.savedBubbleSpeed;
    game.savedSpikeSpeed = start.savedSpikeSpeed;
    game.musicTrack = start.musicTrack;
    for (int i = 0; i < game.bubbleCount; ++i)
        game.bubbles[i]->visible = start.collectable[size_t(i)];
}

// Ending an event puts the saved speeds back, so lower ones would slow the round down. Only a
// Bubbletime saves them, from speeds that never fall below a round's start (higher ones only
// make a round harder: a collect raises the bubbles' past the cap of 30 until the next pop).
const char* impossibleRoundStart(const ReplayStart& start) {
    if (start.collectable.size() != size_t(maxBubbles))
        return "the start has another number of bubbles than the game's 200";
    if (!(start.savedBubbleSpeed >= startBubbleSpeed))
        return "the start's saved bubble speed is below the round's own start speed";
    if (!(start.savedSpikeSpeed >= startSpikeSpeed))
        return "the start's saved spike ball speed is below the round's own start speed";
    return nullptr;
}

uint32_t roundStateCheck() {
    StateDigest digest;
    digest.add(gameRandState());
    for (float value : {game.score, game.scoreMultiplier, game.bubbleSpeed, game.spikeSpeed,
                        game.savedBubbleSpeed, game.savedSpikeSpeed, game.steerAcceleration,
                        game.playerVelocityX, game.playerVelocityY})
        digest.add(value);
    for (int value : {game.eventKind, game.eventCountdown, game.musicTrack})
        digest.add(value);
    for (bool value :
         {game.eventActive, game.quakeActive, game.blurVisible, game.gameOver, game.inMenu})
        digest.flag(value);
    const TSLPolygon& player = game.player;
    digest.place(player);
    digest.add(player.width);
    digest.add(player.height);
    digest.add(player.radius);
    digest.flag(player.visible);
    for (int i = 0; i < game.bubbleCount; ++i) {
        digest.place(*game.bubbles[i]);
        digest.flag(game.bubbles[i]->visible);
    }
    for (int i = 0; i < game.spikeCount; ++i)
        digest.place(*game.spikes[i]);
    return digest.value;
}

bool roundOver() {
    return game.gameOver || game.inMenu;
}
