// The first joystick or gamepad found at start-up stands in for the keyboard: its hat or its
// first two axes are the arrow keys, held for steering and pressed for the menu; button 0 is
// Return, button 1 Escape, buttons 7 and 9 (Start on most pads) pause and resume a round.
#pragma once

#include <SDL.h>

// Opens the first joystick, if there is one.
void openGamepad();
// Takes every pad event from the queue, at the start of a frame's input handling, so that a
// pad never takes a poll of the frame from the keyboard.
void takePadEvents();
// One event: nothing unless it comes from the pad.
void takePadEvent(const SDL_Event& event);
// Lets go of everything the pad held, as a pad at rest would (tests start from one).
void releasePad();
