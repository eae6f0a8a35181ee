#include <gtest/gtest.h>

#include <SDL.h>

#include <string>

#include "game/game_state.h"
#include "game/input.h"
#include "tests/support/test_game.h"

namespace {
void pushEvent(Uint8 type, int sym = 0, int mod = 0) {
    SDL_Event event = {};
    event.type = type;
    event.key.keysym.sym = SDLKey(sym);
    event.key.keysym.mod = SDLMod(mod);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

// Each key press in a frame of its own.
void press(std::initializer_list<int> syms, int mod = 0) {
    for (int sym : syms) {
        pushEvent(SDL_KEYDOWN, sym, mod);
        handleInput();
    }
}

void startNameEntry(float score = 0) {
    resetGameForTest();
    game.internetScoresEnabled = game.inMenu = game.player.visible = false;
    game.gameOver = game.nameEntryActive = game.namePromptVisible = true;
    game.score = score;
}

// Play with the given keys held.
void startSteering(uint32_t frameMillis, float steerAcceleration, std::initializer_list<int> keys) {
    resetGameForTest();
    game.inMenu = false;
    game.frameMillis = frameMillis;
    game.steerAcceleration = steerAcceleration;
    for (int key : keys)
        TSLKeyhandler::SetTestKey(SDLKey(key), true);
}
} // namespace

TEST(InputPolls, OneEventServesEveryPollSeveralGoToConsecutivePolls) {
    resetGameForTest();
    press({SDLK_DOWN});
    handleInput(); // an empty queue: nothing left over from the last frame
    EXPECT_EQ(game.menuSelection, 1);
    pushEvent(SDL_KEYDOWN, SDLK_DOWN);
    pushEvent(SDL_KEYUP, SDLK_DOWN);
    handleInput();
    EXPECT_EQ(game.menuSelection, 1);
    pushEvent(SDL_KEYDOWN, SDLK_DOWN);
    pushEvent(SDL_QUIT);
    handleInput();
    EXPECT_TRUE(game.running == 1 && game.menuSelection == 1);
    pushEvent(SDL_QUIT);
    handleInput();
    EXPECT_EQ(game.running, 0);
}

TEST(NameEntry, CharactersLimitBackspaceAndCommitKeys) {
    startNameEntry();
    press({'a'}, KMOD_LSHIFT);
    press({'1'}, KMOD_RSHIFT);
    press({'b', '0', '/', SDLK_LSHIFT, SDLK_RSHIFT, SDLK_LCTRL});
    EXPECT_STREQ(game.playerName, "A1b2");

    startNameEntry();
    press({SDLK_BACKSPACE});
    EXPECT_EQ(game.nameCursor, 0);
    for (int i = 0; i < 20; ++i)
        press({'z'});
    EXPECT_EQ(game.nameCursor, 15);
    press({SDLK_BACKSPACE, 'y'});
    EXPECT_EQ(std::string(game.playerName), std::string(14, 'z') + "y");

    for (int finish : {SDLK_RETURN, SDLK_KP_MINUS}) {
        startNameEntry(finish == SDLK_KP_MINUS ? 500 : 700);
        if (finish == SDLK_KP_MINUS)
            press({'e'});
        press({finish});
        EXPECT_TRUE(game.scoreScreenVisible && !game.nameEntryActive && !game.namePromptVisible);
        EXPECT_EQ(game.localScores.entries[0].score, game.score);
        EXPECT_EQ(game.localScores.entries[0].name, finish == SDLK_KP_MINUS ? "e" : "");
    }
}

TEST(NameEntry, EscapeKeepsTheEntryAndReturnThenCommitsAndStartsARound) {
    startNameEntry(50);
    ensureFieldsForTest();
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    handleInput();
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, false);
    EXPECT_TRUE(game.inMenu && game.nameEntryActive);
    press({'q', SDLK_RETURN});
    EXPECT_EQ(game.localScores.entries[0].name, "q");
    EXPECT_FALSE(game.nameEntryActive || game.inMenu || game.gameOver);
}

TEST(Menu, KeysMoveClampAndChoose) {
    resetGameForTest();
    game.internetScoresEnabled = false;
    game.creditsVisible = game.scoreScreenVisible = true;
    game.statusMessage = "Could not connect to server.";
    press({SDLK_UP});
    EXPECT_FALSE(game.menuSelection || game.creditsVisible || game.scoreScreenVisible ||
                 *game.statusMessage);
    press({SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN});
    EXPECT_EQ(game.menuSelection, 3);
    press({SDLK_UP, SDLK_RETURN});
    EXPECT_TRUE(game.creditsVisible);
    press({SDLK_UP, SDLK_RETURN});
    EXPECT_TRUE(game.scoreScreenVisible);
    EXPECT_STREQ(game.statusMessage, "You have disabled internet highscores.");
    press({SDLK_DOWN, SDLK_DOWN, SDLK_RETURN});
    EXPECT_EQ(game.running, 0);

    resetGameForTest();
    ensureFieldsForTest();
    game.gameOver = true;
    press({SDLK_RETURN});
    EXPECT_FALSE(game.inMenu || game.gameOver);
}

TEST(Steering, VelocityMovesFirstThenHeldKeysChangeItWithinClampsAndWraps) {
    startSteering(10, 0.007f, {SDLK_UP});
    game.playerVelocityX = 2;
    game.playerVelocityY = -1;
    handleInput();
    EXPECT_TRUE(game.player.x == 402 && game.player.y == 299);
    EXPECT_FLOAT_EQ(game.playerVelocityY, -0.93f);

    startSteering(1000, 0.007f, {SDLK_UP, SDLK_LEFT});
    handleInput();
    EXPECT_TRUE(game.playerVelocityY == 6 && game.playerVelocityX == -6);
    startSteering(1000, 0.007f, {SDLK_DOWN, SDLK_RIGHT});
    handleInput();
    EXPECT_TRUE(game.playerVelocityY == -6 && game.playerVelocityX == 6);
    // Reversed: each key clamps only its own direction, so Up alone passes -6.
    startSteering(1000, -0.007f, {SDLK_UP, SDLK_RIGHT});
    handleInput();
    EXPECT_FLOAT_EQ(game.playerVelocityY, -7);
    EXPECT_FLOAT_EQ(game.playerVelocityX, -7);

    // Escape ends the event and the frame still steers.
    startSteering(10, -0.007f, {SDLK_ESCAPE, SDLK_RIGHT});
    game.eventKind = 1;
    game.eventActive = true;
    handleInput();
    EXPECT_TRUE(game.inMenu && !game.eventActive);
    EXPECT_FLOAT_EQ(game.playerVelocityX, 0.07f);

    const float starts[][2] = {{-0.5f, 0}, {800.5f, 600}, {0, -1}, {800, 601}};
    const float ends[][2] = {{800, 0}, {0, 600}, {0, 600}, {800, 0}};
    for (int i = 0; i < 4; ++i) {
        startSteering(0, 0.007f, {});
        game.player.x = starts[i][0];
        game.player.y = starts[i][1];
        handleInput();
        EXPECT_TRUE(game.player.x == ends[i][0] && game.player.y == ends[i][1]) << i;
    }
}
