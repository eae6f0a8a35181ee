#include "game/input.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "field/steering.h"
#include "game/comforts.h"
#include "game/gamepad.h"
#include "net/score_exchange.h"
#include "record/game_state.h"
#include "replay/recorder.h"
#include "scores/result_screen.h"

namespace {
const int menuLineCount = 4;
const char* const menuLines[menuLineCount] = {"Start game", "Highscores", "Credits", "Exit"};
const float menuX = 150;
const float menuTopY = 300;
const float menuLineSpacing = 20;

const int maxNameLength = playerNameSize - 1;

bool isArrowKey(int sym) {
    return sym == SDLK_UP || sym == SDLK_DOWN || sym == SDLK_RIGHT || sym == SDLK_LEFT;
}

// Letters follow Shift only; Caps Lock is not looked at. The typed character is the low byte
// of the key symbol, so some non-character keys type characters too.
char typedCharacter(const SDL_keysym& key) {
    int sym = key.sym;
    bool shifted = (key.mod & (KMOD_LSHIFT | KMOD_RSHIFT)) != 0;
    if (shifted && sym >= 'a' && sym <= 'z')
        sym -= 'a' - 'A';
    return char(sym & 0xFF);
}

void finishNameEntry() {
    game.nameEntryActive = false;
    game.namePromptVisible = false;
    // Saved before the download, which can stall for seconds: a player who gives up and
    // kills the game meanwhile keeps his score. Nothing is drawn between the two. The result is
    // that of the last round as far as it has been played, with its replay.
    const std::string name(game.playerName, strnlen(game.playerName, sizeof game.playerName));
    const bool saved = commitResult(replayOfLastRound(name, scoreToInt(game.score)));
    downloadInternetScores();
    // A lost score matters more to the player than how the download went.
    if (!saved)
        game.statusMessage = unsavedResultMessage;
}

// Returns false when the key ends this frame's input handling.
bool handleNameKey(const SDL_keysym& key) {
    if (game.nameCursor < 0)
        game.nameCursor = 0;
    if (key.sym == SDLK_BACKSPACE) {
        if (game.nameCursor > 0)
            game.playerName[--game.nameCursor] = 0;
        return true;
    }
    if (isArrowKey(key.sym))
        return false;
    char typed = typedCharacter(key);
    if (typed == '\r')
        finishNameEntry();
    if (game.nameCursor > maxNameLength - 1) {
        game.nameCursor = maxNameLength;
        return false;
    }
    // The low bytes of the two shift keys are these characters, so they are kept out.
    if (typed == '0' || typed == '/')
        return false;
    game.playerName[game.nameCursor++] = typed;
    return true;
}

void leaveMenuScreens() {
    game.statusMessage = "";
    game.creditsVisible = false;
    game.scoreScreenVisible = false;
}

void chooseMenuLine() {
    const char* uploadOutcome = "";
    if (game.scoreScreenVisible) {
        uploadLocalScores();
        uploadOutcome = game.statusMessage;
    }
    switch (game.menuSelection) {
    case 0:
        startRecordedRound();
        break;
    case 1:
        downloadInternetScores();
        // Scores that did not get through must not vanish behind a download that went well.
        if (game.statusMessage[0] == '\0')
            game.statusMessage = uploadOutcome;
        game.scoreScreenVisible = true;
        break;
    case 2:
        game.creditsVisible = true;
        break;
    case 3:
        game.running = 0;
        break;
    }
}

void handleMenuKey(int sym) {
    if (sym == SDLK_UP) {
        if (game.menuSelection > 0)
            --game.menuSelection;
        leaveMenuScreens();
    } else if (sym == SDLK_DOWN) {
        if (game.menuSelection < menuLineCount - 1)
            ++game.menuSelection;
        leaveMenuScreens();
    } else if (sym == SDLK_RETURN) {
        chooseMenuLine();
    }
}

// What steering sees held: the keyboard's keys, and the gamepad's through them.
uint8_t heldSteeringKeys() {
    static const struct {
        int sym;
        SteeringKey key;
    } steeringSyms[] = {{SDLK_UP, steerUp},
                        {SDLK_DOWN, steerDown},
                        {SDLK_LEFT, steerLeft},
                        {SDLK_RIGHT, steerRight},
                        {SDLK_ESCAPE, steerEscape}};
    uint8_t held = 0;
    for (const auto& each : steeringSyms)
        if (game.keys.IsKeydown(each.sym))
            held |= each.key;
    return held;
}

void steer() {
    // Escape in the frame in which P was pressed: the pause has nothing left to hold.
    if (steerPlayer(heldSteeringKeys()))
        leavePause();
}

// Whichever poll takes a close request acts on it: the frame's next poll would overwrite it.
// The engine sees every event taken, for those that cost the window its picture.
void pollEvent(SDL_Event& event) {
    if (!SDL_PollEvent(&event))
        return;
    TSLWindowEvent(event);
    if (event.type == SDL_QUIT)
        game.running = 0;
    else
        handleComfortEvent(event);
}
} // namespace

// A paused round polls once a frame, as play does, for the close request and the keys that
// act while it stands still; Escape gives it up at once.
void handlePausedInput() {
    takePadEvents();
    SDL_Event event;
    pollEvent(event);
    if (game.keys.IsKeydown(SDLK_ESCAPE)) {
        leavePause();
        giveUpRound();
    }
}

// One event record serves every poll of the frame: a poll that finds the queue empty leaves
// the previous event in place, so a single key press is seen by each step in turn.
void handleInput() {
    takePadEvents();
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    pollEvent(event);
    if (game.nameEntryActive) {
        pollEvent(event);
        if (event.type == SDL_KEYDOWN && !handleNameKey(event.key.keysym))
            return;
    }
    if (game.inMenu) {
        pollEvent(event);
        if (event.type == SDL_KEYDOWN)
            handleMenuKey(event.key.keysym.sym);
        return;
    }
    steer();
}

void drawMenu() {
    char line[64];
    for (int i = 0; i < menuLineCount; ++i) {
        const char* format = i == game.menuSelection ? ">>%s<<" : "%s";
        std::snprintf(line, sizeof line, format, menuLines[i]);
        game.font.PrintText(menuX, menuTopY - menuLineSpacing * i, line);
    }
}
