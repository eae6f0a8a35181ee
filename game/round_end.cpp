#include "game/round_end.h"

#include <cstring>

#include "field/collisions.h"
#include "net/score_exchange.h"
#include "record/game_state.h"
#include "scores/result_screen.h"

namespace {
void startNameEntry() {
    std::memset(game.playerName, 0, sizeof game.playerName);
    game.namePromptVisible = true;
    game.nameCursor = 0;
    game.nameEntryActive = true;
}
} // namespace

void endRound() {
    game.blip.Play();
    if (game.localScores.qualifies(scoreToInt(game.score)) > 0) {
        startNameEntry();
    } else {
        game.scoreScreenVisible = true;
        downloadInternetScores();
    }
}

void installRoundEnd() {
    roundEndHandler = endRound;
}
