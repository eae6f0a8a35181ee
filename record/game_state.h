// The one global record of the game: settings, frame timing, mode flags, play values,
// sprites, engine objects and high scores. One thread, so nothing here is guarded.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tessel.h"
#include "hiscore/high_score_table.h"
#include "http/http_retriever.h"
#include "record/playfield.h"

const int maxBubbles = 200;
const int maxSpikes = 150;
const int textBufferSize = 1000;
const int playerNameSize = 16;
const int musicTrackCount = 3;

// The plain values, kept apart from the objects so that tests can put them all back to
// their starting values in one assignment.
struct GameValues {
    // Settings from config.txt
    int screenWidth = 0;
    int screenHeight = 0;
    bool internetScoresEnabled = true;
    // False keeps the earthquake's overlay at its rest; the shake is still drawn at random.
    bool screenShake = true;

    // Frame timing and music
    uint32_t lastTick = 0;
    uint32_t frameMillis = 0;
    int musicLength = 0;

    // Mode flags and menu
    int running = 1;
    bool inMenu = true;
    int menuSelection = 0;
    bool creditsVisible = false;
    bool scoreScreenVisible = false;
    bool nameEntryActive = false;
    bool namePromptVisible = false;
    bool gameOver = false;
    // The round stands still: its passes move nothing, count nothing down and draw nothing
    // from the generator, so a round plays out the same with pauses or without.
    bool paused = false;
    int nameCursor = -1;
    char playerName[playerNameSize] = {};
    const char* statusMessage = "";

    // Play values
    float score = 0;
    char scoreText[textBufferSize] = {};
    float scoreMultiplier = 1;
    float bubbleSpeed = 1;
    float spikeSpeed = 2;
    float savedBubbleSpeed = 1;
    float savedSpikeSpeed = 2;
    float steerAcceleration = 0.007f;
    float playerVelocityX = 0;
    float playerVelocityY = 0;
    bool eventActive = false;
    int eventKind = 0;
    int eventCountdown = 0;
    const char* eventBanner = "";
    bool quakeActive = false;
    bool blurVisible = false;
    // Drawn at the end of every frame; during an earthquake the next frame's overlay is
    // pulled by them.
    int quakeOffsetX = 0;
    int quakeOffsetY = 0;
    char multiplierText[textBufferSize] = {};
    // The music track started last (0 to musicTrackCount - 1), the first one at start-up.
    int musicTrack = 0;

    // Fields: heap sprites created once at start-up and never freed
    TSLPolygon* bubbles[maxBubbles] = {};
    int bubbleCount = 0;
    TSLPolygon* spikes[maxSpikes] = {};
    int spikeCount = 0;
    TSLBlur* blurOverlay = nullptr; // owned by main
};

// The objects, declared in the order in which they must be constructed before main.
struct GameState : GameValues {
    HttpRetriever downloader;
    HttpRetriever uploader;
    std::string internetScores[10];
    HighScoreTable localScores;
    TSLText font;
    TSLMaterialLibrary materials;
    TSLPolygon background{fieldCentreX, fieldCentreY, 0, fieldWidth, fieldHeight, 0};
    TSLPolygon player{fieldCentreX, fieldCentreY, 1, 10, 10, 0};
    TSLPolygon logo{250, 350, 1, 512, 300, 0};
    TSLPolygon flare{fieldCentreX, fieldCentreY, 1, fieldWidth, fieldHeight, 0};
    TSLFog fog{1, 0, 1000, 0.01f, 0.02f, 0.09f, 1};
    TSLKeyhandler keys;
    TSLMusic music;
    TSLSoundSample blip;
};

extern GameState game;

// Material names. The multiplier bubble is recognised by the identity of this very pointer,
// so every user must take the name from here.
extern const char* const backgroundMaterialName;
extern const char* const bubbleMaterialName;
extern const char* const playerBubbleMaterialName;
extern const char* const bonusBubbleMaterialName;
extern const char* const logoMaterialName;
extern const char* const flareMaterialName;
extern const char* const spikeMaterialName;
extern const char* const multiplyBubbleMaterialName;

// Collision radius of bubbles and the player, as a fraction of the width (5/11).
const double bubbleRadiusFactor = 0.45454545454545453;
const double spikeRadiusFactor = 0.4;
