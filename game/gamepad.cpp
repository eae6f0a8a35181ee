#include "game/gamepad.h"

#include "game/comforts.h"
#include "record/game_state.h"

namespace {
// Of the axes' -32768 to 32767: a stick must leave its middle by this much to count as a
// direction, so that a worn one resting off centre steers nothing.
const int deadZone = 12000;
const int returnButton = 0;
const int escapeButton = 1;
const int pauseButtons[] = {7, 9};
const int arrowKeys[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT};

SDL_Joystick* joystick = nullptr;
struct PadState {
    Uint8 hat = SDL_HAT_CENTERED;
    int axisX = 0;
    int axisY = 0; // up is negative
};
PadState pad;

bool arrowHeld(const PadState& state, int sym) {
    switch (sym) {
    case SDLK_UP:
        return (state.hat & SDL_HAT_UP) || state.axisY < -deadZone;
    case SDLK_DOWN:
        return (state.hat & SDL_HAT_DOWN) || state.axisY > deadZone;
    case SDLK_LEFT:
        return (state.hat & SDL_HAT_LEFT) || state.axisX < -deadZone;
    default:
        return (state.hat & SDL_HAT_RIGHT) || state.axisX > deadZone;
    }
}

// A press reaches the game as the key's own press would: queued, for the menu and the name
// entry to take in turn.
void pressKey(int sym) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = SDLKey(sym);
    SDL_PushEvent(&event);
}

void takeButton(int button, bool down) {
    if (button == escapeButton)
        TSLKeyhandler::SetDeviceKey(SDLK_ESCAPE, down);
    if (!down)
        return;
    if (button == returnButton)
        pressKey(SDLK_RETURN);
    for (int pause : pauseButtons)
        if (button == pause)
            togglePause();
}

void movePad(const PadState& moved) {
    for (int sym : arrowKeys) {
        const bool now = arrowHeld(moved, sym);
        if (now && !arrowHeld(pad, sym))
            pressKey(sym);
        TSLKeyhandler::SetDeviceKey(sym, now);
    }
    pad = moved;
}
} // namespace

void openGamepad() {
    if (TSLIsHeadless() || SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return;
    if (SDL_NumJoysticks() > 0)
        joystick = SDL_JoystickOpen(0);
    if (joystick)
        SDL_JoystickEventState(SDL_ENABLE);
    else
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void takePadEvents() {
    // New pad events first, so that the frame's polls find none to take.
    if (joystick)
        SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_JOYEVENTMASK) > 0)
        takePadEvent(event);
}

void takePadEvent(const SDL_Event& event) {
    PadState moved = pad;
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        if (event.jaxis.which != 0 || event.jaxis.axis > 1)
            return;
        (event.jaxis.axis == 0 ? moved.axisX : moved.axisY) = event.jaxis.value;
        movePad(moved);
        break;
    case SDL_JOYHATMOTION:
        if (event.jhat.which != 0 || event.jhat.hat != 0)
            return;
        moved.hat = event.jhat.value;
        movePad(moved);
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        if (event.jbutton.which == 0)
            takeButton(event.jbutton.button, event.type == SDL_JOYBUTTONDOWN);
        break;
    }
}

void releasePad() {
    movePad(PadState());
    TSLKeyhandler::SetDeviceKey(SDLK_ESCAPE, false);
}
