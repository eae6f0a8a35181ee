// The game's few command-line options, handled before anything is opened or read.
#pragma once

#include <cstdio>

// The status the process should end with, or playOn when the game should start: --help and
// --version print to out (0), anything else is named on err (2).
int handleCommandLine(int argc, char** argv, FILE* out, FILE* err);
extern const int playOn;
