#include "game/frame_texts.h"

#include <cstring>

#include "engine/raster_font.h"
#include "game/frame_loop.h"
#include "game/input.h"
#include "record/game_state.h"
#include "scores/result_screen.h"

const char* const webAddressText = "www.orbelle.example.org";
const char* const bonusLabel = "Bonus:";
const char* const uploadHintText = "Press enter to upload your local scores.";
const char* const namePromptText = "You made it to the high scores. Please enter your name:";
const char* const gameOverText = "You're supposed to AVOID the spikeballs!";
const char* const creditLines[3] = {"Code: Velmo", "Gfx: Velmo", "Sound: Velmo"};
const char* const pausedText = "Paused";

namespace {
void drawCredits() {
    float y = 260;
    for (const char* line : creditLines) {
        game.font.PrintText(270, y, line);
        y -= 20;
    }
}

// The bottom line: the running score during play, the web address on the menu.
void drawStatusLines() {
    if (!game.inMenu) {
        game.font.PrintText(5, 2, game.scoreText);
        game.font.PrintText(200, 2, bonusLabel);
        game.font.PrintText(200, 20, game.multiplierText);
    } else {
        drawMenu();
        game.font.PrintText(5, 2, webAddressText);
    }
}

// Centred across the field, over the round that stands still behind it, and a line above the
// middle, where each round starts the player.
void drawPausedLine() {
    const float width = float(std::strlen(pausedText) * fontAdvance);
    game.font.PrintText(fieldCentreX - width / 2, fieldCentreY + fontCellHeight, pausedText);
}

void drawScoreScreen() {
    drawHighScoreScreen();
    game.font.PrintText(300, 20, uploadHintText);
    game.font.PrintText(300, 40, game.statusMessage);
}
} // namespace

void drawFrameTexts() {
    if (game.nameEntryActive)
        game.font.PrintText(390, 280, game.playerName);
    game.font.PrintText(270, 2, game.eventBanner);
    if (game.creditsVisible)
        drawCredits();
    drawStatusLines();
    if (game.scoreScreenVisible)
        drawScoreScreen();
    // The score screen may just have put us back on the menu; these read the flag afresh.
    if (game.namePromptVisible && !game.inMenu)
        game.font.PrintText(160, 300, namePromptText);
    if (game.gameOver && !game.inMenu)
        game.font.PrintText(230, 320, gameOverText);
    if (game.paused)
        drawPausedLine();
}
