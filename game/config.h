// config.txt: six whitespace-separated values, read once at start-up.
#pragma once

#include <cstdio>

struct GameConfig {
    int screenWidth = 800;
    int screenHeight = 600;
    int colourDepth = 32;
    int musicEnabled = 1;
    bool initFlag = true;
    bool internetScoresEnabled = true;
};

// Writes the default file when path cannot be opened for reading, then reads it: only the
// first 4 KiB, and only from a regular file (a device or a pipe gives the defaults).
// A value that is missing, not a number or out of range falls back to its default.
GameConfig loadConfig(const char* path);
// The six values from an open file, read up to the sixth; the same fallbacks as loadConfig.
GameConfig readConfig(FILE* file);
// Where config.txt is: in the working directory until start-up says otherwise.
extern const char* configFile;
// The default file's exact bytes.
extern const char* const defaultConfigText;
