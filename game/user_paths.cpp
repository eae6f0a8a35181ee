#include "game/user_paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/data_root.h"

#ifndef ORBELLE_DATA_ROOT_FROM_BIN
#define ORBELLE_DATA_ROOT_FROM_BIN "../share/orbelle"
#endif

const char* const dataRootFromExecutable = ORBELLE_DATA_ROOT_FROM_BIN;
const char* const dataMarkerFile = "data/bg.tga";

namespace {
bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isAbsolute(const char* path) {
    return path && path[0] == '/';
}

std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// A folder of that common name is not enough: the game's own background must be in it.
bool holdsGameData(const std::string& root) {
    return access((root + "/" + dataMarkerFile).c_str(), R_OK) == 0;
}

std::string holdingData(const std::string& root) {
    return !root.empty() && holdsGameData(root) ? canonical(root) : std::string();
}

std::string executablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    path[length] = '\0';
    return path;
}
} // namespace

std::string homeDir() {
    const char* home = std::getenv("HOME");
    if (isAbsolute(home))
        return home;
    const passwd* account = getpwuid(getuid());
    if (account && isAbsolute(account->pw_dir))
        return account->pw_dir;
    return std::string();
}

std::string userFilesDir(const char* xdgDataHome, const std::string& home) {
    if (isAbsolute(xdgDataHome))
        return std::string(xdgDataHome) + "/orbelle";
    if (home.empty())
        return std::string();
    return home + "/.local/share/orbelle";
}

bool makeDirectories(const std::string& path) {
    if (path.empty())
        return false;
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
    return isDirectory(path);
}

std::string findInstalledDataRoot(const std::string& executable) {
    const size_t slash = executable.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside =
            holdingData(executable.substr(0, slash + 1) + dataRootFromExecutable);
        if (!beside.empty())
            return beside;
    }
#ifdef ORBELLE_INSTALL_DATA_ROOT
    return holdingData(ORBELLE_INSTALL_DATA_ROOT);
#else
    return std::string();
#endif
}

void setUpUserPaths() {
    if (holdsGameData("."))
        return;
    const std::string dataRoot = findInstalledDataRoot(executablePath());
    if (dataRoot.empty())
        return;
    TSLSetDataRoot(dataRoot);
    const std::string userDir = userFilesDir(std::getenv("XDG_DATA_HOME"), homeDir());
    if (userDir.empty())
        std::fputs("orbelle: no home folder for settings and scores; using the working "
                   "directory\n",
                   stderr);
    else if (!makeDirectories(userDir) || chdir(userDir.c_str()) != 0)
        std::fprintf(stderr,
                     "orbelle: cannot use %s for settings and scores (%s); using the working "
                     "directory\n",
                     userDir.c_str(), std::strerror(errno));
}
