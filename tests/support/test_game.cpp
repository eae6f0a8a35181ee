#include "tests/support/test_game.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "engine/data_root.h"
#include "field/fields.h"
#include "field/materials.h"
#include "game/gamepad.h"
#include "game/round_end.h"
#include "game/startup.h"
#include "record/game_state.h"
#include "record/random.h"

namespace {
bool engineReady = false;
TSLPolygon* savedBubbles[maxBubbles];
TSLPolygon* savedSpikes[maxSpikes];
bool fieldsMade = false;

void restoreFields() {
    game.bubbleCount = maxBubbles;
    game.spikeCount = maxSpikes;
    std::copy_n(savedBubbles, maxBubbles, game.bubbles);
    std::copy_n(savedSpikes, maxSpikes, game.spikes);
}
} // namespace

void resetGameForTest() {
    if (!engineReady) {
        // The on-screen tests (run under Xvfb by tests/e2e) draw the real pictures.
        const bool onScreen = std::getenv("ORBELLE_ENGINE_ON_SCREEN") != nullptr;
        TSLSetHeadless(!onScreen);
        if (onScreen)
            TSLSetDataRoot(std::getenv("ORBELLE_SOURCE_DIR"));
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
            SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE);
        TSLInit(800, 600, 32, true);
        createMaterials();
        installRoundEnd();
        engineReady = true;
    }
    static_cast<GameValues&>(game) = GameValues{};
    if (fieldsMade)
        restoreFields();
    game.player.x = 400;
    game.player.y = 300;
    game.player.width = game.player.height = 10;
    game.player.visible = true;
    game.player.radius = float(10 * bubbleRadiusFactor);
    for (auto& line : game.internetScores)
        line.clear();
    game.localScores = HighScoreTable();
    game.blip.playCount = 0;
    TSLKeyhandler::ClearTestKeys();
    releasePad();
    TSLSetMuted(false);
    game.music.Resume();
    TSLClearPrintedTexts();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    resetGameRand();
}

void resetGameWithFieldsForTest() {
    resetGameForTest();
    if (!fieldsMade) {
        resetGameRand();
        createBubbles(maxBubbles);
        createSpikes(maxSpikes);
        std::copy_n(game.bubbles, maxBubbles, savedBubbles);
        std::copy_n(game.spikes, maxSpikes, savedSpikes);
        fieldsMade = true;
    }
    restoreFields();
    resetGameRand();
}

FieldsOfStartUp::FieldsOfStartUp() {
    std::fill(std::begin(game.bubbles), std::end(game.bubbles), nullptr);
    std::fill(std::begin(game.spikes), std::end(game.spikes), nullptr);
}

FieldsOfStartUp::~FieldsOfStartUp() {
    for (TSLPolygon*& sprite : game.bubbles)
        delete std::exchange(sprite, nullptr);
    for (TSLPolygon*& sprite : game.spikes)
        delete std::exchange(sprite, nullptr);
}

void seedDraws(const std::vector<std::pair<int, int>>& draws) {
    for (uint32_t state = 1;; ++state) {
        resetGameRand(state);
        bool fits = true;
        for (const auto& [divisor, wanted] : draws)
            fits = fits && (gameRand() % divisor == wanted || wanted < 0);
        if (fits)
            return resetGameRand(state);
    }
}

void pushTestEvent(int type, int sym, int mod) {
    SDL_Event event = {};
    event.type = Uint8(type);
    if (sym != 0)
        event.key = {Uint8(type), 0, 0, {0, SDLKey(sym), SDLMod(mod), 0}};
    SDL_PushEvent(&event);
}

std::vector<int> takeQueuedEventTypes() {
    std::vector<int> types;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        types.push_back(event.type);
    return types;
}
