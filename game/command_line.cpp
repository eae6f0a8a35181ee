#include "game/command_line.h"

#include <cstring>

#include "game/replay_commands.h"

#ifndef ORBELLE_VERSION
#define ORBELLE_VERSION "unknown"
#endif

const int playOn = -1;

namespace {
const int usageError = 2;

const char* const helpText =
    "Usage: orbelle [--fullscreen | --window] [--no-music] [--no-sound] [--replay FILE]\n"
    "       orbelle --verify FILE | --help | --version\n"
    "\n"
    "Orbelle, an arcade game: steer your bubble with the arrow keys, collect the rising\n"
    "bubbles and keep clear of the falling spike balls. P pauses a round, M mutes, F11\n"
    "switches between full screen and a window.\n"
    "\n"
    "  --fullscreen  play full screen this time, whatever config.txt says\n"
    "  --window      play in a window this time\n"
    "  --no-music    no music this time\n"
    "  --no-sound    no sound at all this time (no audio device is opened)\n"
    "  --replay FILE watch a recorded round (Escape ends it)\n"
    "  --verify FILE play a recorded round again without a window and say whether it\n"
    "                reaches the score it claims (exit 0) or not (1); 2 for no replay\n"
    "  --help        print this help and exit\n"
    "  --version     print the version and exit\n"
    "\n"
    "Files of an installed game:\n"
    "  $XDG_CONFIG_HOME/orbelle/config.txt  settings (default ~/.config/orbelle): six\n"
    "      numbers, then lines such as \"server HOST[:PORT]\" and \"shake 0\"\n"
    "  $XDG_DATA_HOME/orbelle/hisc.dat      local top ten (default ~/.local/share/orbelle)\n"
    "  $XDG_DATA_HOME/orbelle/replays/      the recorded rounds of its entries\n"
    "\n"
    "Environment:\n"
    "  ORBELLE_SCORE_SERVER=HOST[:PORT]     the score server, before config.txt's choice\n"
    "\n"
    "See orbelle(6) for the controls, the rules and the settings.\n";

// False when the argument is none of the options for playing. One that names a file takes
// the next argument too.
bool takePlayOption(int argc, char** argv, int& i, RunOptions& options) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--replay") == 0 && i + 1 < argc)
        options.replayFile = argv[++i];
    else if (std::strcmp(argument, "--fullscreen") == 0)
        options.window = RunOptions::Window::fullScreen;
    else if (std::strcmp(argument, "--window") == 0)
        options.window = RunOptions::Window::window;
    else if (std::strcmp(argument, "--no-music") == 0)
        options.noMusic = true;
    else if (std::strcmp(argument, "--no-sound") == 0)
        options.noSound = true;
    else
        return false;
    return true;
}

bool isHelpOrVersion(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "--version") == 0;
}
} // namespace

int handleCommandLine(int argc, char** argv, FILE* out, FILE* err, RunOptions& options) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(helpText, out);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("orbelle " ORBELLE_VERSION "\n", out);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--verify") == 0)
        return verifyReplayFile(argv[2], out, err);
    for (int i = 1; i < argc; ++i) {
        if (takePlayOption(argc, argv, i, options))
            continue;
        // With --help or --version first, what follows is the stray argument; either of them
        // later on is one itself, as it comes alone.
        const char* stray = i == 1 && isHelpOrVersion(argv[1]) ? argv[2] : argv[i];
        std::fprintf(err, "orbelle: unknown argument '%s' (try 'orbelle --help')\n", stray);
        return usageError;
    }
    return playOn;
}
