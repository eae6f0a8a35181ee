#include "game/startup.h"

#include <SDL.h>

#include "field/field_rules.h"
#include "field/fields.h"
#include "game/config.h"
#include "game/frame_loop.h"
#include "game/game_state.h"

namespace {
const char* const configFile = "config.txt";
const char* const windowCaption = "Orbelle";
const char* const windowIconTitle = "Orbelle.ico";
const char* const windowIconFile = "data/icons/orbelle-64.png";
const char* const blipFile = "data/blip.wav";

// The logical field, whatever size the window is.
const double fieldWidth = 800;
const double fieldHeight = 600;

void setUpWindow() {
    SDL_WM_SetCaption(windowCaption, windowIconTitle);
    SDL_ShowCursor(0);
    TSLOrtho2d(0, fieldWidth, 0, fieldHeight);
}

void setUpFont() {
    game.font.MakeRasterFont();
    game.font.SetDiffuseColor(11, 1.2f, 1.2f, 1);
    formatScoreText();
}

void setUpSound(int musicEnabled) {
    TSLSoundInit();
    game.blip.LoadFromFile(blipFile);
    // Only exactly 1 means music; any other number is kept but starts nothing.
    if (musicEnabled == 1)
        game.music.PlayFile(musicTracks[0]);
    game.musicLength = game.music.GetLength();
}
} // namespace

void createMaterials() {
    TSLMaterialLibrary& library = game.materials;
    game.background.material =
        library.NewMaterial(backgroundMaterialName, 0.7f, 0.7f, 0.7f, 1, "data/bg.tga");
    library.NewMaterial(bubbleMaterialName, 0.8f, 0.8f, 0.8f, 1, "data/bubble2.tga");
    game.player.material = library.NewMaterial(playerBubbleMaterialName, 0.8f, 0.8f, 0.8f, 1,
                                               "data/bubble_player.tga");
    // Red far above 1 is how a bonus bubble is told apart; it must stay exactly 100.
    library.NewMaterial(bonusBubbleMaterialName, 100, 0, 0, 1, "data/bubble1.tga");
    game.logo.material =
        library.NewMaterial(logoMaterialName, 0.3f, 0.4f, 0.5f, 1, "data/orbelle.tga");
    game.flare.material =
        library.NewMaterial(flareMaterialName, 0.3f, 0.3f, 0.3f, 1, "data/light.tga");
    library.NewMaterial(spikeMaterialName, 1, 1, 1, 1, "data/spike.tga");
    library.NewMaterial(multiplyBubbleMaterialName, 0.09f, 0.9f, 0.09f, 1, "data/bubble1.tga");
}

bool initGame() {
    GameConfig config = loadConfig(configFile);
    game.screenWidth = config.screenWidth;
    game.screenHeight = config.screenHeight;
    game.internetScoresEnabled = config.internetScoresEnabled;
    TSLSetWindowIcon(windowIconFile);
    if (!TSLInit(config.screenWidth, config.screenHeight, config.colourDepth, config.initFlag))
        return false;
    setUpWindow();
    game.player.radius = float(game.player.width * bubbleRadiusFactor);
    createMaterials();
    createBubbles(maxBubbles);
    createSpikes(maxSpikes);
    setUpFont();
    setUpSound(config.musicEnabled);
    return true;
}
