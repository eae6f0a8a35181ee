// Where the game finds its data and keeps the player's config.txt and hisc.dat.
#pragma once

#include <string>
#include <vector>

// The installed folder holding data/, relative to the folder of the executable.
extern const char* const dataRootFromExecutable;
// A folder holds the game's data when this file is readable below it.
extern const char* const dataMarkerFile;

// The folders of one run. Empty settings and score folders mean the working directory: only a
// game started from its build tree works there.
struct UserPaths {
    std::string dataRoot;
    std::string configDir;
    std::string scoreDir;
};

// The home folder: $HOME when it is an absolute path, else the account's entry in the user
// database; empty when neither is known.
std::string homeDir();
// <base>/orbelle when base (an XDG variable) is an absolute path (a relative one is ignored),
// else <home>/<fallback>/orbelle; empty when home is empty too.
std::string xdgUserDir(const char* base, const std::string& home, const char* fallback);
// Creates path and its missing parents, new ones private to the user. True when path is a
// folder at the end.
bool makeDirectories(const std::string& path);
// True for the executable the build tree made, not for an installed copy of it.
bool isBuildTreeExecutable(const std::string& executable);
// The folders an installed game at executable looks in for data/, in order: beside it by the
// installed layout (so a moved installation still finds its data), then the folder chosen at
// build time.
std::vector<std::string> installedDataCandidates(const std::string& executable);
// The first of the candidates that holds the game's data, canonical; empty when none does.
std::string findInstalledDataRoot(const std::string& executable);
// Moves the settings an earlier version kept beside the scores to their own folder, unless
// settings are already there. True when a file was moved.
bool moveOldConfig(const std::string& oldFile, const std::string& newFile);

// Decides the folders for the game at executable from where it lives and the XDG variables,
// touching no file. False, after one line on stderr naming the folders looked in, when there
// is no game data.
bool findUserPaths(const std::string& executable, UserPaths& paths);
// Creates the per-user folders, moves an earlier version's config.txt, points the engine at
// the data and sets where config.txt and hisc.dat are read and written.
void setUpUserPaths(const UserPaths& paths);
// The running program's own file, from /proc; empty when unknown.
std::string executablePath();
