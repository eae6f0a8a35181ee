#include "game/input.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "field/events.h"
#include "field/fields.h"
#include "game/comforts.h"
#include "game/gamepad.h"
#include "net/score_exchange.h"
#include "record/game_state.h"
#include "scores/result_screen.h"

namespace {
const int menuLineCount = 4;
const char* const menuLines[menuLineCount] = {"Start game", "Highscores", "Credits", "Exit"};
const float menuX = 150;
const float menuTopY = 300;
const float menuLineSpacing = 20;

const int maxNameLength = playerNameSize - 1;
const float maxSteerSpeed = 6.0f;

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
    // kills the game meanwhile keeps his score. Nothing is drawn between the two.
    const bool saved = commitResult();
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
        resetRound();
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

void wrapPlayer() {
    TSLPolygon& player = game.player;
    if (player.x < 0)
        player.x = fieldWidth;
    else if (player.x > fieldWidth)
        player.x = 0;
    if (player.y < 0)
        player.y = fieldHeight;
    else if (player.y > fieldHeight)
        player.y = 0;
}

// Each key clamps only in its own direction, so reversed steering can pass the limit.
void accelerate() {
    float change = float(game.frameMillis) * game.steerAcceleration;
    if (game.keys.IsKeydown(SDLK_UP)) {
        game.playerVelocityY += change;
        if (game.playerVelocityY > maxSteerSpeed)
            game.playerVelocityY = maxSteerSpeed;
    }
    if (game.keys.IsKeydown(SDLK_DOWN)) {
        game.playerVelocityY -= change;
        if (game.playerVelocityY < -maxSteerSpeed)
            game.playerVelocityY = -maxSteerSpeed;
    }
    if (game.keys.IsKeydown(SDLK_LEFT)) {
        game.playerVelocityX -= change;
        if (game.playerVelocityX < -maxSteerSpeed)
            game.playerVelocityX = -maxSteerSpeed;
    }
    if (game.keys.IsKeydown(SDLK_RIGHT)) {
        game.playerVelocityX += change;
        if (game.playerVelocityX > maxSteerSpeed)
            game.playerVelocityX = maxSteerSpeed;
    }
}

void giveUpIfEscapeHeld() {
    if (!game.keys.IsKeydown(SDLK_ESCAPE))
        return;
    leavePause();
    endEvent();
    game.inMenu = true;
}

void steer() {
    game.player.StrafeVertical(game.playerVelocityY);
    game.player.StrafeHorizontal(game.playerVelocityX);
    wrapPlayer();
    giveUpIfEscapeHeld();
    accelerate();
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
    giveUpIfEscapeHeld();
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
