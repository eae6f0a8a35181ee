#include "game/comforts.h"

#include <cstdio>

#include "game/gamepad.h"
#include "record/game_state.h"

namespace {
const int pauseKey = SDLK_p;
const int muteKey = SDLK_m;
const int fullScreenKey = SDLK_F11;

void toggleFullScreen() {
    // Refused, the window stays as it is, as at start-up.
    if (!TSLToggleFullScreen())
        std::fprintf(stderr, "orbelle: the video system refused to switch full screen (%s)\n",
                     SDL_GetError());
}

void handleComfortKey(int sym) {
    if (sym == pauseKey)
        togglePause();
    else if (sym == muteKey)
        TSLSetMuted(!TSLIsMuted());
    else if (sym == fullScreenKey)
        toggleFullScreen();
}

// The keyboard went to another window, or the window was minimised. The mouse leaving the
// window takes no keys away.
bool focusLost(const SDL_ActiveEvent& active) {
    return active.gain == 0 && (active.state & (SDL_APPINPUTFOCUS | SDL_APPACTIVE)) != 0;
}
} // namespace

bool roundRunning() {
    return !game.inMenu && !game.gameOver;
}

void pauseRound() {
    if (game.paused || !roundRunning())
        return;
    game.paused = true;
    game.music.Pause();
}

void leavePause() {
    if (!game.paused)
        return;
    game.paused = false;
    game.music.Resume();
}

void togglePause() {
    if (game.paused)
        leavePause();
    else
        pauseRound();
}

void handleComfortEvent(const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN && !game.nameEntryActive)
        handleComfortKey(event.key.keysym.sym);
    else if (event.type == SDL_ACTIVEEVENT && focusLost(event.active))
        pauseRound();
    else
        takePadEvent(event);
}
