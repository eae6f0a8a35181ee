#pragma once

// Quit requests, name entry, menu keys and steering; once per frame.
void handleInput();
// Once per frame instead of handleInput while the round is paused.
void handlePausedInput();
// The four menu lines.
void drawMenu();
