#include <SDL.h>
#include <gtest/gtest.h>

#include "field/events.h"
#include "field/fields.h"
#include "game/frame_loop.h"
#include "game/frame_texts.h"
#include "game/input.h"
#include "record/game_state.h"
#include "record/random.h"
#include "tests/support/test_game.h"

namespace {
// Everything of a round that moves, counts or is drawn at random.
std::vector<double> roundValues() {
    std::vector<double> v = {game.player.x, game.player.y, game.playerVelocityX, game.score};
    v.insert(v.end(),
             {game.playerVelocityY, game.bubbleSpeed, game.spikeSpeed, 0.0 + game.gameOver});
    v.insert(v.end(), {0.0 + game.eventCountdown, 0.0 + game.eventActive, 0.0 + game.frameMillis});
    v.insert(v.end(), {0.0 + game.quakeOffsetX, 0.0 + game.quakeOffsetY});
    for (int i = 0; i < game.bubbleCount; ++i)
        v.insert(v.end(),
                 {game.bubbles[i]->x, game.bubbles[i]->y, double(game.bubbles[i]->visible)});
    for (int i = 0; i < game.spikeCount; ++i)
        v.insert(v.end(), {game.spikes[i]->x, game.spikes[i]->y});
    return v;
}

// A round with an event running and Right held, from the start of the fields.
void startRound() {
    resetGameForTest();
    ensureFieldsForTest();
    resetRound();
    startEvent();
    game.lastTick = 0;
    TSLKeyhandler::SetTestKey(SDLK_RIGHT, true);
}

void joystick(int type, int index, int value) {
    SDL_Event event = {};
    event.type = Uint8(type);
    if (type == SDL_JOYAXISMOTION)
        event.jaxis = {Uint8(type), 0, Uint8(index), Sint16(value)};
    else if (type == SDL_JOYHATMOTION)
        event.jhat = {Uint8(type), 0, Uint8(index), Uint8(value)};
    else
        event.jbutton = {Uint8(type), Uint8(value), Uint8(index), 0};
    SDL_PushEvent(&event);
}
} // namespace

// The frames of a round played with a pause come out as those of the same round without one:
// a paused pass moves nothing, counts nothing down, draws nothing at random and adds its time
// to no frame.
TEST(Pause, FreezesTheRoundWhichThenPlaysOnAsIfNeverPaused) {
    const int frames = 120, pauseAt = 40;
    startRound();
    for (uint32_t tick = 16; tick <= frames * 16; tick += 16)
        runFramePass(tick);
    const std::vector<double> unpaused = roundValues();
    const int nextDraw = gameRand();

    startRound();
    uint32_t tick = 0;
    for (int frame = 0; frame < frames; ++frame) {
        if (frame == pauseAt)
            pushTestEvent(SDL_KEYDOWN, SDLK_p);
        runFramePass(tick += 16);
        if (frame != pauseAt)
            continue;
        ASSERT_TRUE(game.paused);
        ASSERT_TRUE(game.eventActive);
        const std::vector<double> held = roundValues();
        for (uint32_t pausedFor : {16u, 900u, 50000u, 16u}) {
            runFramePass(tick += pausedFor);
            EXPECT_EQ(roundValues(), held);
            EXPECT_EQ(textAt(379, 316), pausedText);
        }
        pushTestEvent(SDL_KEYDOWN, SDLK_p);
        runFramePass(tick += 16);
        EXPECT_EQ(std::make_pair(game.paused, roundValues() == held), std::make_pair(false, true));
    }
    EXPECT_EQ(roundValues(), unpaused);
    EXPECT_EQ(gameRand(), nextDraw);
}

// Only a round pauses, and only losing the keyboard or the window pauses it; only P resumes.
TEST(Pause, FocusLossPausesARunningRoundOnly) {
    enum Mode { play, menu, nameEntry, paused };
    const struct {
        Mode mode;
        int state, gain;
        bool pausedAfter;
    } cases[] = {{play, SDL_APPINPUTFOCUS, 0, true},
                 {play, SDL_APPACTIVE, 0, true},
                 {play, SDL_APPMOUSEFOCUS, 0, false},
                 {play, SDL_APPINPUTFOCUS, 1, false},
                 {menu, SDL_APPINPUTFOCUS, 0, false},
                 {nameEntry, SDL_APPINPUTFOCUS, 0, false},
                 {paused, SDL_APPINPUTFOCUS | SDL_APPACTIVE, 1, true}};
    for (const auto& c : cases) {
        resetGameForTest();
        game.inMenu = c.mode == menu;
        game.gameOver = game.nameEntryActive = c.mode == nameEntry;
        game.paused = c.mode == paused;
        SDL_Event event = {};
        event.active = {SDL_ACTIVEEVENT, Uint8(c.gain), Uint8(c.state)};
        SDL_PushEvent(&event);
        c.mode == paused ? handlePausedInput() : handleInput();
        EXPECT_EQ(game.paused, c.pausedAfter) << c.mode << " " << c.state << " " << c.gain;
    }
}

// P, M and F11 type in the name entry; elsewhere they pause, mute and switch full screen, and
// never act on the menu. Escape gives a paused round up.
TEST(ComfortKeys, TypeInTheNameEntryAndActElsewhere) {
    const struct {
        bool nameEntry;
        std::vector<int> keys;
        const char* name;
        bool muted, switched;
    } cases[] = {{true, {SDLK_p, SDLK_m, SDLK_F11}, "pm$", false, false},
                 {false, {SDLK_p, SDLK_m, SDLK_F11}, "", true, true},
                 {false, {SDLK_m, SDLK_F11, SDLK_m, SDLK_F11}, "", false, false}};
    for (const auto& c : cases) {
        resetGameForTest();
        game.menuSelection = 2;
        game.gameOver = game.nameEntryActive = c.nameEntry;
        game.inMenu = !c.nameEntry;
        const bool fullScreen = TSLIsFullScreen();
        for (int sym : c.keys) {
            pushTestEvent(SDL_KEYDOWN, sym);
            handleInput();
        }
        EXPECT_EQ(std::make_tuple(std::string(game.playerName), game.paused, TSLIsMuted(),
                                  TSLIsFullScreen() != fullScreen, game.menuSelection,
                                  game.creditsVisible),
                  std::make_tuple(std::string(c.name), false, c.muted, c.switched, 2, false));
    }
    startRound();
    game.paused = true;
    TSLKeyhandler::SetTestKey(SDLK_ESCAPE, true);
    runFramePass(16);
    EXPECT_EQ(std::make_tuple(game.inMenu, game.paused, game.eventActive),
              std::make_tuple(true, false, false));
}

// The hat or the stick steers while held and presses a menu key once per push; button 0 is
// Return, button 1 Escape, 7 and 9 pause. Within the dead zone the stick does nothing.
TEST(Gamepad, SteersWhileHeldAndPressesMenuKeys) {
    resetGameForTest();
    const int menuSteps[][3] = {{SDL_JOYHATMOTION, 0, SDL_HAT_DOWN}, // Start game -> Highscores
                                {SDL_JOYHATMOTION, 0, SDL_HAT_RIGHTDOWN}, // still held: no press
                                {SDL_JOYHATMOTION, 0, SDL_HAT_CENTERED},
                                {SDL_JOYAXISMOTION, 1, 20000}, // -> Credits
                                {SDL_JOYAXISMOTION, 1, 0},
                                {SDL_JOYAXISMOTION, 1, -12000}, // dead zone
                                {SDL_JOYAXISMOTION, 2, -30000}, // third axis
                                {SDL_JOYBUTTONDOWN, 9, 0},      // no pause in the menu
                                {SDL_JOYBUTTONDOWN, 0, 0}};     // Return: credits
    for (const auto& s : menuSteps) {
        joystick(s[0], s[1], s[2]);
        handleInput();
    }
    EXPECT_EQ(std::make_tuple(game.menuSelection, game.creditsVisible, game.paused),
              std::make_tuple(2, true, false));

    startRound();
    TSLKeyhandler::ClearTestKeys();
    game.frameMillis = 100;
    game.steerAcceleration = 0.007f;
    const float steer = 100 * 0.007f;
    const struct {
        int type, index, value;
        float velocityX, velocityY;
    } playSteps[] = {{SDL_JOYAXISMOTION, 0, 32767, steer, 0},
                     {SDL_JOYAXISMOTION, 1, 100, 2 * steer, 0}, // X still held
                     {SDL_JOYAXISMOTION, 0, 12001, 3 * steer, 0},
                     {SDL_JOYAXISMOTION, 0, 12000, 3 * steer, 0},
                     {SDL_JOYHATMOTION, 0, SDL_HAT_LEFTUP, 2 * steer, steer},
                     {SDL_JOYHATMOTION, 1, SDL_HAT_CENTERED, steer, 2 * steer}}; // second hat
    for (const auto& s : playSteps) {
        joystick(s.type, s.index, s.value);
        handleInput();
        EXPECT_FLOAT_EQ(game.playerVelocityX, s.velocityX) << s.type << " " << s.value;
        EXPECT_FLOAT_EQ(game.playerVelocityY, s.velocityY) << s.type << " " << s.value;
    }
    for (int button : {7, 9}) {
        joystick(SDL_JOYBUTTONDOWN, button, 0);
        handleInput();
        EXPECT_TRUE(game.paused);
        joystick(SDL_JOYBUTTONDOWN, button, 0);
        handlePausedInput();
        EXPECT_FALSE(game.paused);
    }
    joystick(SDL_JOYBUTTONDOWN, 1, 0);
    handleInput();
    EXPECT_TRUE(game.inMenu);
}

// "shake 0" keeps the earthquake's overlay at rest; the shake is drawn all the same, so the
// generator's sequence (41, 18467, ...) goes on as with shaking.
TEST(StillScreen, QuakeOverlayStaysAtRestAndTheShakeIsStillDrawn) {
    TSLBlur overlay(0, 0, 0, 800, 600, 0, 2048);
    for (bool shake : {true, false}) {
        resetGameForTest();
        game.blurOverlay = &overlay;
        game.screenShake = shake;
        game.quakeActive = game.blurVisible = true;
        game.quakeOffsetX = 3;
        game.quakeOffsetY = 1;
        runFramePass(16);
        EXPECT_EQ(std::make_pair(overlay.x, overlay.y),
                  shake ? std::make_pair(397.0f, 299.0f) : std::make_pair(400.0f, 300.0f));
        EXPECT_EQ(std::make_pair(game.quakeOffsetX, game.quakeOffsetY), std::make_pair(1, 2));
    }
    game.blurOverlay = nullptr;
}
