#pragma once

// Quit requests, name entry, menu keys and steering; once per frame.
void handleInput();
// The four menu lines.
void drawMenu();
