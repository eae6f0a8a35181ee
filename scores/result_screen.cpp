#include "scores/result_screen.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "record/game_state.h"

const char* const unsavedResultMessage = "Your score could not be saved to hisc.dat.";

namespace {
const char* const refusedText = "Sorry, you didn't make it to the high scores.";
const float refusedX = 500;
const float refusedY = 450;

const char* const localHeading = "Local highscores:";
const char* const internetHeading = "Internet highscores:";
const float localColumnX = 300;
const float internetColumnX = 550;
const float headingY = 280;
const float lineSpacing = 20;

float lineY(int rank) {
    return headingY - lineSpacing * rank;
}
} // namespace

int scoreToInt(float score) {
    // A score that is not a number has no place in the table: count it as nothing.
    if (std::isnan(score))
        return 0;
    if (score >= 2147483648.0f)
        return INT32_MAX;
    if (score < -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(score);
}

bool commitResult(const std::string& replay) {
    std::string name(game.playerName, strnlen(game.playerName, sizeof game.playerName));
    HighScoreEntry entry(scoreToInt(game.score), name);
    const CommitOutcome outcome = commitToFile(game.localScores, entry, localScoreFile, replay);
    if (!outcome.placed)
        game.font.PrintText(refusedX, refusedY, refusedText);
    if (!outcome.saved)
        game.statusMessage = unsavedResultMessage;
    game.scoreScreenVisible = true;
    return outcome.saved;
}

void drawHighScoreScreen() {
    if (!game.scoreScreenVisible)
        return;
    game.inMenu = true;
    game.menuSelection = 1; // "Highscores"
    char localLine[textBufferSize];
    char internetLine[textBufferSize];
    std::memset(localLine, 0, sizeof localLine);
    std::memset(internetLine, 0, sizeof internetLine);
    game.font.PrintText(localColumnX, headingY, localHeading);
    game.font.PrintText(internetColumnX, headingY, internetHeading);
    for (int rank = 1; rank <= HighScoreTable::entryCount; ++rank) {
        const HighScoreEntry& entry = game.localScores.entries[rank - 1];
        std::snprintf(localLine, sizeof localLine, "%i: %s %i", rank, entry.name.c_str(),
                      entry.score);
        game.font.PrintText(localColumnX, lineY(rank), localLine);
    }
    // An internet line is whatever the server answered; snprintf cuts it to the buffer.
    for (int rank = 1; rank <= HighScoreTable::entryCount; ++rank) {
        std::snprintf(internetLine, sizeof internetLine, "%i: %s", rank,
                      game.internetScores[rank - 1].c_str());
        game.font.PrintText(internetColumnX, lineY(rank), internetLine);
    }
}
