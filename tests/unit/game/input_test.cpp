#include <SDL.h>
#include <gtest/gtest.h>

#include "engine/frame/frame.h"
#include "game/input.h"
#include "hiscore/high_score_table.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

// Each key press in a frame of its own.
static void press(std::initializer_list<int> syms, int mod = 0) {
    for (int sym : syms) {
        pushTestEvent(SDL_KEYDOWN, sym, mod);
        handleInput();
    }
}

// Play with the given keys held.
static void startSteering(uint32_t frameMillis, float steerAcceleration,
                          std::initializer_list<int> keys) {
    resetGameForTest();
    game.inMenu = false;
    game.frameMillis = frameMillis;
    game.steerAcceleration = steerAcceleration;
    for (int key : keys)
        TSLKeyhandler::SetTestKey(SDLKey(key), true);
}

static void startNameEntry(float score = 0) {
    startSteering(1, 0.25f, {SDLK_UP}); // each frame that steers adds a quarter to the velocity
    game.internetScoresEnabled = game.player.visible = false;
    game.gameOver = game.nameEntryActive = game.namePromptVisible = true;
    game.score = score;
}

TEST(NameEntry, CharactersLimitBackspaceAndCommitKeys) {
    startNameEntry();
    press({'a', 'z'}, KMOD_LSHIFT);
    press({'1'}, KMOD_RSHIFT);
    // The low byte of a key symbol is typed, also at 0x80 and above.
    press({'b', '0', '/', SDLK_LSHIFT, SDLK_RSHIFT, SDLK_LCTRL, SDLK_WORLD_0});
    EXPECT_EQ(std::string(game.playerName), "AZ1b2\xA0");
    EXPECT_EQ(game.playerVelocityY, 6 * 0.25f); // steered in the frames of the six typed
    startNameEntry();
    press({SDLK_BACKSPACE}); // on an empty name
    for (int i = 0; i < 20; ++i)
        press({'z'});
    EXPECT_EQ(game.playerVelocityY, 16 * 0.25f); // and not in those of the five refused
    press({SDLK_BACKSPACE, 'y'});
    EXPECT_EQ(std::string(game.playerName), std::string(14, 'z') + "y");
    press({SDLK_BACKSPACE});
    EXPECT_EQ(std::string(game.playerName), std::string(14, 'z'));
    for (int finish : {SDLK_RETURN, SDLK_KP_MINUS}) {
        ScratchDirectory scratch; // each commit writes a hisc.dat of its own
        startNameEntry(finish == SDLK_KP_MINUS ? 500 : 700);
        if (finish == SDLK_KP_MINUS)
            press({'e'});
        press({finish});
        EXPECT_EQ(std::make_tuple(game.scoreScreenVisible, game.nameEntryActive,
                                  game.namePromptVisible, game.localScores.entries[0].score),
                  std::make_tuple(true, false, false, int(game.score)));
        EXPECT_EQ(game.localScores.entries[0].name, finish == SDLK_KP_MINUS ? "e" : "");
    }
    // A save that fails says so, over whatever the download left on the status line.
    startNameEntry(900);
    localScoreFile = "no folder/hisc.dat";
    press({SDLK_RETURN});
    localScoreFile = "hisc.dat";
    EXPECT_STREQ(game.statusMessage, "Your score could not be saved to hisc.dat.");
}

// One frame's input after the events queued before it, from each mode. The frame takes one
// event per poll: a quit poll, the name entry's (while it is open), the menu's (on the menu);
// a poll that finds the queue empty sees the event before again.
TEST(Poll, EachPollTakesTheNextEventOrSeesTheLastAgain) {
    enum Mode { menu, screens, entry, entryOnMenu, play };
    // What holds after the frame; a download or an upload tried (the server refuses) leaves its
    // failure on the status line, which is otherwise empty.
    enum { quits = 1, entryOpen = 2, onMenu = 4, credits = 8, scores = 16, saved = 32 };
    enum { fetched = 64, sent = 128 };
    const int down = SDL_KEYDOWN, up = SDL_KEYUP, quit = SDL_QUIT, mouse = SDL_MOUSEMOTION;
    const int menuUp = SDLK_UP, menuDown = SDLK_DOWN, enter = SDLK_RETURN;
    const struct {
        const char* what;
        Mode mode;
        int selection;
        std::vector<std::pair<int, int>> events; // type, key
        int selectionAfter;
        const char* name;
        int after;
    } cases[] = {
        // clang-format off
        {"a key alone", menu, 0, {{down, menuDown}}, 1, "", onMenu},
        {"a key and its release", menu, 0, {{down, menuDown}, {up, menuDown}}, 0, "", onMenu},
        {"a key and a mouse move", menu, 0, {{down, menuDown}, {mouse, 0}}, 0, "", onMenu},
        {"a key after a mouse move", menu, 0, {{mouse, 0}, {down, menuDown}}, 1, "", onMenu},
        {"Up on Start game", menu, 0, {{down, menuUp}}, 0, "", onMenu},
        {"Up from Highscores", menu, 1, {{down, menuUp}}, 0, "", onMenu},
        {"Down on Exit", menu, 3, {{down, menuDown}}, 3, "", onMenu},
        {"another key", menu, 1, {{down, 'a'}}, 1, "", onMenu},
        {"Return on Start game", menu, 0, {{down, enter}}, 0, "", 0},
        {"Return on Highscores", menu, 1, {{down, enter}}, 1, "", onMenu | scores | fetched},
        // Up or Down leaves the credits and the score screen; Return there sends the table.
        {"Up on the screens", screens, 1, {{down, menuUp}}, 0, "", onMenu},
        {"Down on the screens", screens, 1, {{down, menuDown}}, 2, "", onMenu},
        {"Return on the screens", screens, 1, {{down, enter}}, 1, "",
         onMenu | credits | scores | fetched | sent},
        {"Return on Credits", menu, 2, {{down, enter}}, 2, "", onMenu | credits},
        {"Return on Exit", menu, 3, {{down, enter}}, 3, "", onMenu | quits},
        {"a close request", menu, 2, {{quit, 0}}, 2, "", onMenu | quits},
        // Whichever poll takes it: the next frame's would never see it.
        {"a close request second", menu, 2, {{down, menuDown}, {quit, 0}}, 2, "", onMenu | quits},
        {"a character", entry, 0, {{down, 'a'}}, 0, "a", entryOpen},
        {"two characters", entry, 0, {{down, 'a'}, {down, 'b'}}, 0, "b", entryOpen},
        {"a key in play", play, 0, {{down, menuDown}}, 0, "", 0},
        // After Escape during the name entry: a key reaches the name, then the menu.
        {"a character on the menu", entryOnMenu, 1, {{down, 'a'}}, 1, "a", entryOpen | onMenu},
        {"an arrow on the menu", entryOnMenu, 1, {{down, menuDown}}, 1, "", entryOpen | onMenu},
        // The name is committed, then the menu's line chosen with the score screen up.
        {"Return on the menu", entryOnMenu, 2, {{down, enter}}, 2, "\r",
         onMenu | credits | scores | saved | fetched | sent},
        // clang-format on
    };
    setenv("ORBELLE_SCORE_SERVER", "127.0.0.1:1", 1); // nothing listens there
    for (const auto& c : cases) {
        ScratchDirectory scratch; // for the hisc.dat a commit writes
        resetGameWithFieldsForTest();
        game.downloader.lastError = game.uploader.lastError = 0;
        game.inMenu = c.mode != entry && c.mode != play;
        game.creditsVisible = game.scoreScreenVisible = c.mode == screens;
        game.statusMessage = c.mode == screens ? "Could not connect to server." : "";
        game.nameEntryActive = game.gameOver = c.mode == entry || c.mode == entryOnMenu;
        game.menuSelection = c.selection;
        game.score = 50;
        for (const auto& [type, key] : c.events)
            pushTestEvent(type, key);
        handleInput();
        EXPECT_EQ(game.running, c.after & quits ? 0 : 1) << c.what;
        EXPECT_EQ(game.menuSelection, c.selectionAfter) << c.what;
        EXPECT_EQ(std::string(game.playerName), c.name) << c.what;
        EXPECT_EQ(game.nameEntryActive, bool(c.after & entryOpen)) << c.what;
        EXPECT_EQ(game.inMenu, bool(c.after & onMenu)) << c.what;
        EXPECT_EQ(game.creditsVisible, bool(c.after & credits)) << c.what;
        EXPECT_EQ(game.scoreScreenVisible, bool(c.after & scores)) << c.what;
        EXPECT_EQ(game.localScores.entries[0].score, c.after & saved ? 50 : 1) << c.what;
        EXPECT_EQ(game.downloader.lastError, c.after & fetched ? 7u : 0u) << c.what;
        EXPECT_EQ(game.uploader.lastError, c.after & sent ? 7u : 0u) << c.what;
        EXPECT_EQ(*game.statusMessage != '\0', bool(c.after & (fetched | sent))) << c.what;
    }
    unsetenv("ORBELLE_SCORE_SERVER");
}

TEST(Steering, HeldKeysChangeTheVelocityWithinClampsAndThePlayerWraps) {
    // Reversed, each key clamps only its own direction, so Up alone passes -6.
    const float clamps[][5] = {{0.007f, SDLK_UP, SDLK_LEFT, -6, 6},
                               {0.007f, SDLK_DOWN, SDLK_RIGHT, 6, -6},
                               {-0.007f, SDLK_UP, SDLK_RIGHT, -7, -7}};
    for (const auto& c : clamps) {
        startSteering(1000, c[0], {int(c[1]), int(c[2])});
        handleInput();
        EXPECT_EQ(std::make_pair(game.playerVelocityX, game.playerVelocityY),
                  std::make_pair(c[3], c[4]));
    }
    // The old velocity moves the player first; Escape ends the event and the frame still steers.
    startSteering(10, -0.007f, {SDLK_ESCAPE, SDLK_RIGHT, SDLK_UP});
    game.eventKind = 1;
    game.eventActive = true;
    game.playerVelocityX = 2;
    game.playerVelocityY = -1;
    handleInput();
    EXPECT_EQ(std::make_tuple(game.inMenu, game.eventActive, game.player.x, game.player.y),
              std::make_tuple(true, false, 402.0f, 299.0f));
    EXPECT_FLOAT_EQ(game.playerVelocityX, 2.07f);
    EXPECT_FLOAT_EQ(game.playerVelocityY, -0.93f);
    // Past an edge the player comes back at the other.
    const float wraps[][4] = {
        {-0.5f, 0, 800, 0}, {800.5f, 600, 0, 600}, {0, -1, 0, 600}, {800, 601, 800, 0}};
    for (const auto& w : wraps) {
        startSteering(0, 0.007f, {});
        game.player.x = w[0];
        game.player.y = w[1];
        handleInput();
        EXPECT_EQ(std::make_pair(game.player.x, game.player.y), std::make_pair(w[2], w[3]));
    }
}

// The poll hands each event it takes to the engine, whose next frame is drawn whole after one
// that may have cost the window its picture. A window event still fills its poll: queued before
// Down and Up on the menu, it is the quit poll's, Down the menu poll's, and Up waits.
TEST(Poll, WindowEventsMakeTheNextFrameWhole) {
    const struct {
        const char* name;
        Uint8 type, gain, state;
        bool whole;
    } cases[] = {
        {"expose", SDL_VIDEOEXPOSE, 0, 0, true},
        {"focus regained", SDL_ACTIVEEVENT, 1, SDL_APPINPUTFOCUS, true},
        {"restored", SDL_ACTIVEEVENT, 1, SDL_APPACTIVE, true},
        {"focus lost", SDL_ACTIVEEVENT, 0, SDL_APPINPUTFOCUS, false},
        {"minimised", SDL_ACTIVEEVENT, 0, SDL_APPACTIVE, false},
        {"new size", SDL_VIDEORESIZE, 0, 0, true},
        {"mouse moved", SDL_MOUSEMOTION, 0, 0, false},
    };
    for (const auto& c : cases) {
        resetGameForTest();
        tslTakeWholeFrameRequest();
        SDL_Event event = {};
        event.active = {c.type, c.gain, c.state};
        SDL_PushEvent(&event);
        pushTestEvent(SDL_KEYDOWN, SDLK_DOWN);
        pushTestEvent(SDL_KEYDOWN, SDLK_UP);
        handleInput();
        EXPECT_EQ(std::make_pair(tslTakeWholeFrameRequest(), game.menuSelection),
                  std::make_pair(c.whole, 1))
            << c.name;
    }
}
