#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "field/events.h"
#include "game/frame_loop.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

namespace {
const int lastFrame = 6000;
const int framesAfterRoundEnd = 40;
const int goldenEvery = 100;

void pushKey(int sym) {
    SDL_Event event = {};
    event.key = {SDL_KEYDOWN, 0, 0, {0, SDLKey(sym), KMOD_NONE, 0}};
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

// Held arrows in a fixed pattern: a slow loop round the field, so that the player meets
// bubbles, bonus bubbles and in the end a spike.
void holdKeysFor(int frame) {
    int phase = (frame / 90) % 4;
    TSLKeyhandler::SetTestKey(SDLK_RIGHT, phase == 0);
    TSLKeyhandler::SetTestKey(SDLK_UP, phase == 1);
    TSLKeyhandler::SetTestKey(SDLK_LEFT, phase == 2);
    TSLKeyhandler::SetTestKey(SDLK_DOWN, phase == 3);
}

unsigned long printedTextsDigest() {
    unsigned long digest = 14695981039346656037ul;
    for (const TSLPrintedText& t : TSLPrintedTexts())
        for (char c : std::to_string(t.x) + "," + std::to_string(t.y) + t.text + "|")
            digest = (digest ^ (unsigned char)c) * 1099511628211ul;
    return digest;
}

std::string stateLine(int frame) {
    int visibleBubbles = 0;
    double bubbleYs = 0, spikeYs = 0;
    for (int i = 0; i < game.bubbleCount; ++i) {
        visibleBubbles += game.bubbles[i]->visible;
        bubbleYs += game.bubbles[i]->y;
    }
    for (int i = 0; i < game.spikeCount; ++i)
        spikeYs += game.spikes[i]->y;
    char line[600];
    std::snprintf(line, sizeof line,
                  "%d score=%.3f x%.2f speeds=%.4f,%.4f player=%.3f,%.3f,%.3f,%d v=%.4f,%.4f "
                  "menu=%d over=%d name=%d,%d,'%s' screen=%d event=%d,%d,%d quake=%d blur=%d "
                  "overlay=%.1f,%.1f blips=%d status='%s' bubbles=%d ys=%.2f,%.2f texts=%lx",
                  frame, game.score, game.scoreMultiplier, game.bubbleSpeed, game.spikeSpeed,
                  game.player.x, game.player.y, game.player.width, game.player.visible,
                  game.playerVelocityX, game.playerVelocityY, game.inMenu, game.gameOver,
                  game.nameEntryActive, game.nameCursor, game.playerName, game.scoreScreenVisible,
                  game.eventActive, game.eventKind, game.eventCountdown, game.quakeActive,
                  game.blurVisible, game.blurOverlay->x, game.blurOverlay->y, game.blip.playCount,
                  game.statusMessage, visibleBubbles, bubbleYs, spikeYs, printedTextsDigest());
    return line;
}

// The whole round: menu, start, steering until a spike ends it, a name typed and entered,
// then the score screen for a while. One line of state per frame.
std::vector<std::string> playScriptedRound() {
    resetGameForTest();
    ensureFieldsForTest();
    game.internetScoresEnabled = false;
    TSLBlur blur(399, 299, 0, 800, 600, 0, 2048);
    game.blurOverlay = &blur;
    std::vector<std::string> trace;
    int endFrame = lastFrame, nameKeys = 0;
    for (int frame = 0; frame <= endFrame; ++frame) {
        if (frame == 5)
            pushKey(SDLK_RETURN);
        // Events as a bonus bubble starts them, on fixed frames, so that every kind is seen.
        if (frame % 150 == 100 && !game.gameOver)
            startEvent();
        if (!game.gameOver && !game.inMenu)
            holdKeysFor(frame);
        if (game.gameOver && endFrame == lastFrame) {
            TSLKeyhandler::ClearTestKeys();
            endFrame = frame + framesAfterRoundEnd;
        }
        if (game.nameEntryActive && frame % 3 == 0)
            pushKey(nameKeys < 2 ? int("Ab"[nameKeys++]) : int(SDLK_RETURN));
        TSLClearPrintedTexts();
        runFramePass(1000 + 16 * uint32_t(frame + 1));
        trace.push_back(stateLine(frame));
    }
    game.blurOverlay = nullptr;
    return trace;
}
} // namespace

// The round below was recorded once, in a process of its own so that the fields are made
// fresh; any change in what a frame does, or in the order of its steps, shows as the first
// frame whose state differs. ORBELLE_ROUND_TRACE=file writes every frame, for comparing builds.
TEST(ScriptedRound, EveryFrameAsRecorded) {
    ScratchDirectory dir;
    std::vector<std::string> trace = playScriptedRound();
    if (const char* out = std::getenv("ORBELLE_ROUND_TRACE")) {
        std::ofstream file(out);
        for (const std::string& line : trace)
            file << line << "\n";
    }
    std::ifstream golden(ScratchDirectory::sourceDirectory() +
                         "/tests/unit/round/scripted_round.golden");
    ASSERT_TRUE(golden.good());
    std::string expected;
    size_t checked = 0;
    for (size_t frame = 0; frame < trace.size(); ++frame) {
        if (frame % goldenEvery != 0 && frame + 1 != trace.size())
            continue;
        ASSERT_TRUE(std::getline(golden, expected)) << "golden ends before frame " << frame;
        EXPECT_EQ(trace[frame], expected);
        ++checked;
    }
    EXPECT_FALSE(std::getline(golden, expected)) << "round ended early: " << checked;
}
