#include <SDL.h>
#include <gtest/gtest.h>

#include "field/events.h"
#include "field/fields.h"
#include "game/frame_loop.h"
#include "game/input.h"
#include "record/game_state.h"
#include "tests/support/test_game.h"

// A round with an event running and Right held, from the start of the fields.
static void startRound() {
    resetGameWithFieldsForTest();
    resetRound();
    startEvent();
    game.lastTick = 0;
    TSLKeyhandler::SetTestKey(SDLK_RIGHT, true);
}

static void joystick(int type, int index, int value) {
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

// One event in each mode: only a round pauses, on P or when the keyboard or the window is lost,
// and only P resumes; M and F11 act anywhere but the name entry, where all three type; none of
// them touches the menu. Escape gives a paused round up.
TEST(ComfortEvents, EachInEachMode) {
    enum Mode { play, menu, entry, paused };
    const int active = SDL_ACTIVEEVENT, key = SDL_KEYDOWN, keyboard = SDL_APPINPUTFOCUS;
    const int window = SDL_APPACTIVE, mouse = SDL_APPMOUSEFOCUS, back = 1 << 8 | keyboard;
    // Each: the mode, the event (the lost or regained focus, the key), then whether paused, muted
    // and switched to or from full screen afterwards as three digits, and the character typed.
    const int cases[][5] = {{play, active, keyboard, 100, 0}, {play, active, window, 100, 0},
                            {play, active, mouse, 0, 0},      {play, active, back, 0, 0},
                            {menu, active, keyboard, 0, 0},   {entry, active, window, 0, 0},
                            {paused, active, back, 100, 0},   {play, key, SDLK_p, 100, 0},
                            {paused, key, SDLK_p, 0, 0},      {paused, key, SDLK_m, 110, 0},
                            {menu, key, SDLK_p, 0, 0},        {menu, key, SDLK_m, 10, 0},
                            {play, key, SDLK_F11, 1, 0},      {entry, key, SDLK_p, 0, 'p'},
                            {entry, key, SDLK_m, 0, 'm'},     {entry, key, SDLK_F11, 0, '$'}};
    for (const auto& [mode, type, value, flags, typed] : cases) {
        resetGameForTest();
        game.menuSelection = 2;
        game.inMenu = mode == menu;
        game.gameOver = game.nameEntryActive = mode == entry;
        game.paused = mode == paused;
        const bool fullScreen = TSLIsFullScreen();
        SDL_Event event = {};
        event.active = {Uint8(type), Uint8(value >> 8), Uint8(value)};
        if (type == SDL_KEYDOWN)
            event.key.keysym.sym = SDLKey(value);
        SDL_PushEvent(&event);
        mode == paused ? handlePausedInput() : handleInput();
        const int after = 100 * game.paused + 10 * TSLIsMuted() + (TSLIsFullScreen() != fullScreen);
        EXPECT_EQ(std::make_tuple(after, int(game.playerName[0]), game.menuSelection,
                                  game.creditsVisible),
                  std::make_tuple(flags, typed, 2, false))
            << mode << " " << type << " " << value;
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
    const int hat = SDL_JOYHATMOTION, axis = SDL_JOYAXISMOTION, button = SDL_JOYBUTTONDOWN;
    // Down twice, once on the hat and once on the stick, then button 0, on the menu: held
    // directions, a third axis, the dead zone and the pause button choose nothing.
    // clang-format off
    const int menuSteps[][3] = {{hat, 0, SDL_HAT_DOWN}, {hat, 0, SDL_HAT_RIGHTDOWN},
                                {hat, 0, SDL_HAT_CENTERED}, {axis, 1, 20000}, {axis, 1, 0},
                                {axis, 1, -12000}, {axis, 2, -30000}, {button, 9, 0},
                                {button, 0, 0}};
    // clang-format on
    resetGameForTest();
    for (const auto& [type, index, value] : menuSteps) {
        joystick(type, index, value);
        if (index != 9) // the pause button waits for the next: two pad events in one frame
            handleInput();
    }
    EXPECT_EQ(std::make_tuple(game.menuSelection, game.creditsVisible, game.paused),
              std::make_tuple(2, true, false));
    startRound();
    TSLKeyhandler::ClearTestKeys();
    game.frameMillis = 100;
    game.steerAcceleration = 0.01f;
    // Each step: the event, then the velocity after the frame (x, y); x stays held when the
    // other axis moves, and a second hat steers nothing.
    const int playSteps[][5] = {{axis, 0, 32767, 1, 0},         {axis, 1, 100, 2, 0},
                                {axis, 0, 12001, 3, 0},         {axis, 0, 12000, 3, 0},
                                {hat, 0, SDL_HAT_LEFTUP, 2, 1}, {hat, 1, SDL_HAT_CENTERED, 1, 2}};
    for (const auto& [type, index, value, x, y] : playSteps) {
        joystick(type, index, value);
        handleInput();
        EXPECT_EQ(std::make_pair(game.playerVelocityX, game.playerVelocityY),
                  std::make_pair(float(x), float(y)))
            << type << " " << value;
    }
    std::string pausedAfter;
    for (int pressed : {7, 7, 9, 9, 1}) {
        joystick(button, pressed, 0);
        game.paused ? handlePausedInput() : handleInput();
        pausedAfter += game.paused ? '1' : '0';
    }
    EXPECT_EQ(std::make_pair(pausedAfter, game.inMenu), std::make_pair(std::string("10100"), true));
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
