#include "game/command_line.h"

#include <cstring>

#ifndef ORBELLE_VERSION
#define ORBELLE_VERSION "unknown"
#endif

const int playOn = -1;

namespace {
const int usageError = 2;

const char* const helpText =
    "Usage: orbelle [--help | --version]\n"
    "\n"
    "Orbelle, an arcade game: steer your bubble with the arrow keys, collect the rising\n"
    "bubbles and keep clear of the falling spike balls. Without options the game starts.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Files of an installed game:\n"
    "  $XDG_CONFIG_HOME/orbelle/config.txt  settings (default ~/.config/orbelle)\n"
    "  $XDG_DATA_HOME/orbelle/hisc.dat      local top ten (default ~/.local/share/orbelle)\n"
    "\n"
    "Environment:\n"
    "  ORBELLE_SCORE_SERVER=HOST[:PORT]     the score server instead of the built-in one\n"
    "\n"
    "See orbelle(6) for the controls, the rules and the settings.\n";
} // namespace

int handleCommandLine(int argc, char** argv, FILE* out, FILE* err) {
    if (argc < 2)
        return playOn;
    const char* option = argv[1];
    if (argc == 2 && std::strcmp(option, "--help") == 0) {
        std::fputs(helpText, out);
        return 0;
    }
    if (argc == 2 && std::strcmp(option, "--version") == 0) {
        std::fputs("orbelle " ORBELLE_VERSION "\n", out);
        return 0;
    }
    // With --help or --version first, what follows is the stray argument.
    const bool known = std::strcmp(option, "--help") == 0 || std::strcmp(option, "--version") == 0;
    std::fprintf(err, "orbelle: unknown argument '%s' (try 'orbelle --help')\n",
                 known ? argv[2] : option);
    return usageError;
}
