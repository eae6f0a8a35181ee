#include <SDL.h>
#include <cstdio>
#include <cstdlib>

#include "game/command_line.h"
#include "game/frame_log.h"
#include "game/frame_loop.h"
#include "game/replay_commands.h"
#include "game/startup.h"
#include "game/ticks.h"
#include "game/user_paths.h"
#include "record/game_state.h"

int main(int argc, char** argv) {
    // Before anything opens a file or a window: --help must work anywhere.
    RunOptions options;
    const int status = handleCommandLine(argc, argv, stdout, stderr, options);
    if (status != playOn)
        return status;
    Replay watched;
    const bool watching = !options.replayFile.empty();
    if (watching && !loadReplayFile(options.replayFile.c_str(), &watched, stderr))
        return 2;
    UserPaths paths;
    if (!findUserPaths(executablePath(), paths))
        return 1;
    openFrameLog();
    setUpUserPaths(paths);
    SDL_Init(SDL_INIT_NOPARACHUTE);
    std::atexit(SDL_Quit);
    // Read before start-up, so the first frame's time includes it.
    game.lastTick = getTickCount();
    if (!initGame(options)) {
        std::fprintf(stderr, "orbelle: cannot open the game window (no display?): %s\n",
                     SDL_GetError());
        return 1;
    }
    {
        TSLBlur blur(overlayRestX, overlayRestY, 0, fieldWidth, fieldHeight, 0, 2048);
        const OverlayTint& tint = calmOverlayTint;
        blur.overlayMaterial.SetDiffuseColor(tint.red, tint.green, tint.blue, tint.alpha);
        game.blurOverlay = &blur;
        if (watching) {
            watchReplay(watched);
        } else {
            game.localScores.load(localScoreFile);
            if (game.running == 1)
                runFrameLoop();
        }
        SDL_Quit();
        game.blurOverlay = nullptr;
    }
    return 0;
}
