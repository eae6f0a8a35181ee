// Where an installed game finds its data and keeps the player's config.txt and hisc.dat.
#pragma once

#include <string>

// The installed folder holding data/, relative to the folder of the executable.
extern const char* const dataRootFromExecutable;
// A folder holds the game's data when this file is readable below it.
extern const char* const dataMarkerFile;

// The home folder: $HOME when it is an absolute path, else the account's entry in the user
// database; empty when neither is known.
std::string homeDir();
// The per-user folder: $XDG_DATA_HOME/orbelle when xdgDataHome is an absolute path (a relative
// one is ignored), else <home>/.local/share/orbelle; empty when home is empty too.
std::string userFilesDir(const char* xdgDataHome, const std::string& home);
// Creates path and its missing parents, new ones private to the user. True when path is a
// folder at the end.
bool makeDirectories(const std::string& path);
// The folder holding the game's data/ for the game at executable: beside it by the installed
// layout first (so a moved installation still finds its data), then the folder chosen at build
// time. Canonical; empty when neither holds the data.
std::string findInstalledDataRoot(const std::string& executable);

// Run from a folder holding the game's data/ (the source tree) nothing changes. Otherwise the
// engine reads data/ from the installed folder and the working directory becomes the per-user
// folder, where the game's relative config.txt and hisc.dat then land.
void setUpUserPaths();
