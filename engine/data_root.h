// Where the engine reads the files the game names by relative paths ("data/bg.tga").
#pragma once

#include <string>

// Relative file names are read from below folder from now on; an empty folder (the start)
// means the working directory. An installed game runs in its per-user folder, away from its data.
void TSLSetDataRoot(const std::string& folder);

// The path the engine opens for file: file itself when it is absolute or no root is set.
std::string tslDataPath(const char* file);
