// The game's few command-line options, handled before anything is opened or read.
#pragma once

#include <cstdio>
#include <string>

// Choices for one run that config.txt is not asked about and keeps no record of.
struct RunOptions {
    enum class Window { asConfigured, fullScreen, window };
    Window window = Window::asConfigured;
    bool noMusic = false;
    bool noSound = false; // no audio device at all: neither music nor sounds
    // --replay FILE: the recorded round is watched instead of played.
    std::string replayFile;
};

// The status the process should end with, or playOn when the game should start with the
// options given: --help and --version print to out (0), --verify FILE checks the replay and
// says so (0 when it reaches what it claims, 1 when not, 2 when it is no replay), anything else
// is named on err (2).
int handleCommandLine(int argc, char** argv, FILE* out, FILE* err, RunOptions& options);
extern const int playOn;
