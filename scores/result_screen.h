#pragma once

// Inserts the round's result into the local table, saves hisc.dat and shows the score screen.
void commitResult();
// The local and internet columns, while the score screen is on.
void drawHighScoreScreen();
// Truncates toward zero into the 32-bit range; values beyond it are clamped.
int scoreToInt(float score);
