#pragma once

#include <string>

// Inserts the round's result into the local table as hisc.dat holds it now, saves that (with
// the round's replay, when given) and shows the score screen. False when the save failed: the
// status line then says so.
bool commitResult(const std::string& replay = std::string());
// The status line's word that the round's result could not be saved.
extern const char* const unsavedResultMessage;
// The local and internet columns, while the score screen is on.
void drawHighScoreScreen();
// Truncates toward zero into the 32-bit range; values beyond it are clamped.
int scoreToInt(float score);
