// config.txt: six whitespace-separated values, then settings as `key value` lines (which
// games before them never read), read once at start-up.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct GameConfig {
    int screenWidth = 800;
    int screenHeight = 600;
    int colourDepth = 32;
    int musicEnabled = 1;
    bool initFlag = true;
    bool internetScoresEnabled = true;
    // The lines after the six values.
    std::string scoreServer; // "server HOST[:PORT]"; empty: the built-in one
    bool screenShake = true; // "shake 0" keeps the earthquake's overlay still
    // Lines that name no setting or give one a value it cannot take, as written: each changed
    // nothing, and the player is told.
    std::vector<std::string> ignoredLines;
};

// Writes the default file when path cannot be opened for reading, then reads it: only the
// first 4 KiB, and only from a regular file (a device or a pipe gives the defaults).
// A value that is missing, not a number or out of range falls back to its default.
GameConfig loadConfig(const char* path);
// The six values from an open file, then the setting lines; the same fallbacks as loadConfig.
GameConfig readConfig(FILE* file);
// One line on stderr for each line of config.txt that was ignored.
void reportIgnoredSettings(const GameConfig& config);
// Where config.txt is: in the working directory until start-up says otherwise.
extern const char* configFile;
// The default file's exact bytes.
extern const char* const defaultConfigText;
