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

// One key press in a frame of its own.
void pressKey(int sym, int mod = 0) {
    pushEvent(SDL_KEYDOWN, sym, mod);
    handleInput();
}

void startNameEntry() {
    resetGameForTest();
    game.internetScoresEnabled = false;
    game.inMenu = false;
    game.gameOver = game.nameEntryActive = game.namePromptVisible = true;
    game.player.visible = false;
    game.nameCursor = 0;
}

void startSteering(uint32_t frameMillis, float steerAcceleration) {
    resetGameForTest();
    game.inMenu = false;
    game.frameMillis = frameMillis;
    game.steerAcceleration = steerAcceleration;
}
} // namespace

TEST(InputPolls, OneEventServesEveryPollSeveralGoToConsecutivePolls) {
    resetGameForTest();
    pressKey(SDLK_DOWN);
    EXPECT_EQ(game.menuSelection, 1);
    handleInput(); // an empty queue: nothing left over from the last frame
    EXPECT_EQ(game.menuSelection, 1);
    pushEvent(SDL_KEYDOWN, SDLK_DOWN);
    pushEvent(SDL_KEYUP, SDLK_DOWN);
    handleInput();
    EXPECT_EQ(game.menuSelection, 1);
    pushEvent(SDL_KEYDOWN, SDLK_DOWN);
    pushEvent(SDL_QUIT);
    handleInput();
    EXPECT_EQ(game.running, 1);
    EXPECT_EQ(game.menuSelection, 1);
    pushEvent(SDL_QUIT);
    handleInput();
    EXPECT_EQ(game.running, 0);
}

TEST(NameEntry, CharactersFollowShiftAndTheLowByteOfTheSymbol) {
    startNameEntry();
    pressKey('a', KMOD_LSHIFT);
    pressKey('1', KMOD_RSHIFT);
    pressKey('b');
    for (int refused : {int('0'), int('/'), int(SDLK_LSHIFT), int(SDLK_RSHIFT)})
        pressKey(refused);
    pressKey(SDLK_LCTRL);
    EXPECT_STREQ(game.playerName, "A1b2");
    pressKey(SDLK_BACKSPACE);
    EXPECT_STREQ(game.playerName, "A1b");

    startNameEntry();
    game.nameCursor = -1;
    pressKey(SDLK_BACKSPACE);
    EXPECT_EQ(game.nameCursor, 0);
    for (int i = 0; i < 20; ++i)
        pressKey('z');
    EXPECT_EQ(std::string(game.playerName), std::string(15, 'z'));
    EXPECT_EQ(game.nameCursor, 15);
    pressKey(SDLK_BACKSPACE);
    pressKey('y');
    EXPECT_EQ(std::string(game.playerName), std::string(14, 'z') + "y");
}

TEST(NameEntry, ReturnOrKeypadMinusCommitsTheName) {
    for (SDLKey finish : {SDLK_RETURN, SDLK_KP_MINUS}) {
        startNameEntry();
        game.score = 500;
        pressKey('e');
        pressKey(finish);
        EXPECT_FALSE(game.nameEntryActive || game.namePromptVisible);
        EXPECT_TRUE(game.scoreScreenVisible);
        EXPECT_EQ(game.localScores.entries[0].score, 500);
        EXPECT_EQ(game.localScores.entries[0].name, "e");
    }
    startNameEntry();
    game.score = 700;
    pressKey(SDLK_RETURN);
    EXPECT_EQ(game.localScores.entries[0].score, 700);
    EXPECT_EQ(game.localScores.entries[0].name, "");
}

TEST(NameEntry, ArrowKeyEndsTheFrameAndEscapeKeepsTheEntry) {
    startNameEntry();
    game.score = 50;
    game.playerVelocityX = 3;
    pressKey(SDLK_UP);
    EXPECT_EQ(game.player.x, 400);
    handleInput();
    EXPECT_EQ(game.player.x, 403);

    ensureFieldsForTest();
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    handleInput();
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, false);
    EXPECT_TRUE(game.inMenu && game.nameEntryActive);
    // With the menu up, Return both commits the name and starts a round from the menu.
    pressKey('q');
    pressKey(SDLK_RETURN);
    EXPECT_EQ(game.localScores.entries[0].name, "q");
    EXPECT_FALSE(game.nameEntryActive || game.inMenu || game.gameOver);
}

TEST(Menu, KeysMoveClampAndChoose) {
    resetGameForTest();
    game.internetScoresEnabled = false;
    game.creditsVisible = game.scoreScreenVisible = true;
    game.statusMessage = "Could not connect to server.";
    pressKey(SDLK_UP);
    EXPECT_EQ(game.menuSelection, 0);
    EXPECT_FALSE(game.creditsVisible || game.scoreScreenVisible);
    EXPECT_STREQ(game.statusMessage, "");
    for (int i = 0; i < 5; ++i)
        pressKey(SDLK_DOWN);
    EXPECT_EQ(game.menuSelection, 3);
    pressKey(SDLK_UP);
    pressKey(SDLK_RETURN);
    EXPECT_TRUE(game.creditsVisible);
    pressKey(SDLK_UP);
    pressKey(SDLK_RETURN);
    EXPECT_TRUE(game.scoreScreenVisible);
    EXPECT_STREQ(game.statusMessage, "You have disabled internet highscores.");
    pressKey('x');
    EXPECT_TRUE(game.scoreScreenVisible);
    pressKey(SDLK_DOWN);
    pressKey(SDLK_DOWN);
    pressKey(SDLK_RETURN);
    EXPECT_EQ(game.running, 0);

    resetGameForTest();
    ensureFieldsForTest();
    game.gameOver = true;
    pressKey(SDLK_RETURN);
    EXPECT_FALSE(game.inMenu || game.gameOver);
}

TEST(Steering, VelocityMovesFirstThenHeldKeysChangeItWithinClamps) {
    startSteering(10, 0.007f);
    game.playerVelocityX = 2;
    game.playerVelocityY = -1;
    TSLKeyhandler::SetTestKey(SDLK_UP, true);
    handleInput();
    EXPECT_EQ(game.player.x, 402);
    EXPECT_EQ(game.player.y, 299);
    EXPECT_FLOAT_EQ(game.playerVelocityY, -0.93f);
    TSLKeyhandler::SetTestKey(SDLK_DOWN, true);
    handleInput();
    EXPECT_FLOAT_EQ(game.playerVelocityY, -0.93f);

    startSteering(1000, 0.007f);
    TSLKeyhandler::SetTestKey(SDLK_UP, true);
    TSLKeyhandler::SetTestKey(SDLK_LEFT, true);
    handleInput();
    EXPECT_EQ(game.playerVelocityY, 6);
    EXPECT_EQ(game.playerVelocityX, -6);
    TSLKeyhandler::ClearTestKeys();
    TSLKeyhandler::SetTestKey(SDLK_DOWN, true);
    TSLKeyhandler::SetTestKey(SDLK_RIGHT, true);
    handleInput();
    handleInput();
    EXPECT_EQ(game.playerVelocityY, -6);
    EXPECT_EQ(game.playerVelocityX, 6);

    // Reversed: each key clamps only its own direction, so Up alone passes -6.
    startSteering(1000, -0.007f);
    TSLKeyhandler::SetTestKey(SDLK_UP, true);
    TSLKeyhandler::SetTestKey(SDLK_RIGHT, true);
    handleInput();
    EXPECT_FLOAT_EQ(game.playerVelocityY, -7);
    EXPECT_FLOAT_EQ(game.playerVelocityX, -7);
}

TEST(Steering, EscapeEndsTheEventAndTheFrameStillSteers) {
    startSteering(10, -0.007f);
    game.eventKind = 1;
    game.eventActive = true;
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    TSLKeyhandler::SetTestKey(SDLK_RIGHT, true);
    handleInput();
    EXPECT_TRUE(game.inMenu);
    EXPECT_FALSE(game.eventActive);
    EXPECT_FLOAT_EQ(game.playerVelocityX, 0.07f);
}

TEST(Steering, PlayerWrapsRoundTheField) {
    const float starts[][2] = {{-0.5f, 0}, {800.5f, 600}, {0, -1}, {800, 601}};
    const float ends[][2] = {{800, 0}, {0, 600}, {0, 600}, {800, 0}};
    for (int i = 0; i < 4; ++i) {
        startSteering(0, 0.007f);
        game.player.x = starts[i][0];
        game.player.y = starts[i][1];
        handleInput();
        EXPECT_EQ(game.player.x, ends[i][0]) << i;
        EXPECT_EQ(game.player.y, ends[i][1]) << i;
    }
}

TEST(Menu, DrawsFourLinesWithOneSelected) {
    resetGameForTest();
    game.menuSelection = 2;
    drawMenu();
    const auto& lines = TSLPrintedTexts();
    ASSERT_EQ(lines.size(), 4u);
    const char* expected[] = {"Start game", "Highscores", ">>Credits<<", "Exit"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].x, 150);
        EXPECT_EQ(lines[i].y, 300 - 20 * i);
        EXPECT_EQ(lines[i].text, expected[i]);
    }
}
