#include "game/startup.h"

#include <SDL.h>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include "engine/sound_library.h"
#include "field/field_rules.h"
#include "field/fields.h"
#include "field/materials.h"
#include "game/config.h"
#include "game/frame_loop.h"
#include "game/gamepad.h"
#include "game/round_end.h"
#include "net/score_exchange.h"
#include "record/game_state.h"

namespace {
const char* const windowCaption = "Orbelle";
const char* const windowIconTitle = "Orbelle.ico";
const char* const windowIconFile = "data/icons/orbelle-64.png";
const char* const blipFile = "data/blip.wav";
const char* const videoDriverVariable = "SDL_VIDEODRIVER";
const char* const desktopVideoDriver = "x11";

// Left to itself without a display, SDL picks a text-mode driver that writes escape codes to
// the terminal before it fails; the player's own choice of driver stands.
void askForDesktopVideo() {
    const char* chosen = std::getenv(videoDriverVariable);
    if (chosen == nullptr || *chosen == '\0')
        setenv(videoDriverVariable, desktopVideoDriver, 1);
}

// A window the video system refuses (a colour depth it has no format for, a line too wide for
// it) gets one more try with the default settings before the game gives up.
bool openWindow(const GameConfig& config) {
    if (TSLInit(config.screenWidth, config.screenHeight, config.colourDepth, config.initFlag))
        return true;
    const GameConfig defaults;
    const bool asDefaults = config.screenWidth == defaults.screenWidth &&
                            config.screenHeight == defaults.screenHeight &&
                            config.colourDepth == defaults.colourDepth &&
                            config.initFlag == defaults.initFlag;
    // Without a video system at all the defaults fare no better.
    if (asDefaults || SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    std::fprintf(stderr,
                 "orbelle: no %dx%d window of depth %d as config.txt asks (%s); trying %dx%d, "
                 "depth %d, windowed\n",
                 config.screenWidth, config.screenHeight, config.colourDepth, SDL_GetError(),
                 defaults.screenWidth, defaults.screenHeight, defaults.colourDepth);
    if (!TSLInit(defaults.screenWidth, defaults.screenHeight, defaults.colourDepth,
                 defaults.initFlag))
        return false;
    game.screenWidth = defaults.screenWidth;
    game.screenHeight = defaults.screenHeight;
    return true;
}

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

// The decoded pictures and sounds were freed once uploaded or converted, but the allocator keeps
// such pages for later unless asked; the game allocates little after start-up.
void giveBackFreedMemory() {
    malloc_trim(0);
}

void setUpSound(int musicEnabled, bool noSound) {
    if (!noSound)
        TSLSoundInit();
    game.blip.LoadFromFile(blipFile);
    // Only exactly 1 means music; any other number is kept but starts nothing.
    if (musicEnabled == 1)
        game.music.PlayFile(musicTracks[0]);
    game.musicLength = game.music.GetLength();
    giveBackFreedMemory();
}

// Sound is set up once the first frame is on screen: the mixer library and what it pulls in take
// longer to load than that frame takes to draw, so the menu shows first and one early frame
// carries the cost instead, with the engine's first drawing of its later states.
struct SoundStart {
    bool pending = false;
    int musicEnabled = 0;
    bool noSound = false;
};
SoundStart soundStart;
} // namespace

bool finishStartUp() {
    SoundStart& start = soundStart;
    if (!start.pending)
        return true;
    start.pending = false;
    if (!start.noSound)
        TSLLoadSoundLibraries();
    setUpSound(start.musicEnabled, start.noSound);
    openGamepad();
    giveBackFreedMemory();
    return true;
}

namespace {
// The command line's choices for this run over what config.txt says.
void applyRunOptions(const RunOptions& options, GameConfig& config) {
    if (options.window != RunOptions::Window::asConfigured)
        config.initFlag = options.window == RunOptions::Window::window;
    if (options.noMusic || options.noSound)
        config.musicEnabled = 0;
}
} // namespace

bool initGame(const RunOptions& options) {
    installRoundEnd();
    GameConfig config = loadConfig(configFile);
    applyRunOptions(options, config);
    game.screenWidth = config.screenWidth;
    game.screenHeight = config.screenHeight;
    game.internetScoresEnabled = config.internetScoresEnabled;
    game.screenShake = config.screenShake;
    chooseScoreServer(config.scoreServer);
    reportIgnoredSettings(config);
    askForDesktopVideo();
    TSLSetWindowIcon(windowIconFile);
    if (!openWindow(config))
        return false;
    setUpWindow();
    game.player.radius = float(game.player.width * bubbleRadiusFactor);
    createMaterials();
    createBubbles(maxBubbles);
    createSpikes(maxSpikes);
    setUpFont();
    giveBackFreedMemory();
    soundStart.pending = true;
    soundStart.musicEnabled = config.musicEnabled;
    soundStart.noSound = options.noSound;
    return true;
}
