// What players expect beside the game's own rules: pause, full screen, mute, and a pause when
// the window loses the keyboard. Nothing here acts during the name entry, where P, M and F11
// type as any other key.
#pragma once

#include <SDL.h>

// A round is being played: not the menu, not the end of a round.
bool roundRunning();
// Holds the round and its music until P; nothing when no round runs.
void pauseRound();
// The round (and its music) goes on; nothing when it was not paused.
void leavePause();
// P: pauses a running round, resumes a paused one.
void togglePause();
// Once for every event a poll takes from the queue (not again for a poll that found none).
void handleComfortEvent(const SDL_Event& event);
