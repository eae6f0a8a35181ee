// The texts drawn over the scene each frame, chosen by the mode flags.
#pragma once

extern const char* const webAddressText;
extern const char* const bonusLabel;
extern const char* const uploadHintText;
extern const char* const namePromptText;
extern const char* const gameOverText;
extern const char* const creditLines[3];
extern const char* const pausedText;

// Every text of the current mode, the menu and the score screen, in drawing order.
void drawFrameTexts();
