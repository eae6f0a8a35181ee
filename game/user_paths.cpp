#include "game/user_paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/data_root.h"
#include "game/config.h"
#include "hiscore/high_score_table.h"

#ifndef ORBELLE_DATA_ROOT_FROM_BIN
#define ORBELLE_DATA_ROOT_FROM_BIN "../share/orbelle"
#endif

const char* const dataRootFromExecutable = ORBELLE_DATA_ROOT_FROM_BIN;
const char* const dataMarkerFile = "data/bg.tga";

namespace {
const char* const configFileName = "config.txt";
const char* const scoreFileName = "hisc.dat";

// The full paths handed to the readers and writers; they live as long as the process.
std::string configFileStore;
std::string scoreFileStore;

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool isAbsolute(const char* path) {
    return path && path[0] == '/';
}

std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string folderOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

// A folder of that common name is not enough: the game's own background must be in it.
bool holdsGameData(const std::string& root) {
    return access((root + "/" + dataMarkerFile).c_str(), R_OK) == 0;
}

// Across file systems rename cannot move; the copy is made where no file may be yet.
bool copyThenRemove(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = in ? std::fopen(to.c_str(), "wbx") : nullptr;
    bool ok = in && out;
    char buffer[4096];
    size_t count = 0;
    while (ok && (count = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, count, out) == count;
    ok = ok && !std::ferror(in);
    if (out)
        ok = std::fclose(out) == 0 && ok;
    if (in)
        std::fclose(in);
    if (!ok) {
        if (out)
            std::remove(to.c_str());
        return false;
    }
    return std::remove(from.c_str()) == 0;
}

void reportMissingData(const std::vector<std::string>& looked) {
    std::string folders;
    for (const std::string& folder : looked)
        folders += (folders.empty() ? "" : ", ") + folder;
    std::fprintf(stderr, "orbelle: no game data (%s) found in %s\n", dataMarkerFile,
                 folders.c_str());
}

// A settings or score folder that cannot be made leaves the game playing on defaults, saving
// nothing, rather than writing wherever it was started.
void prepareFolder(const std::string& folder, const char* what) {
    if (!folder.empty() && !makeDirectories(folder))
        std::fprintf(stderr, "orbelle: cannot create %s for %s (%s); it will not be saved\n",
                     folder.c_str(), what, std::strerror(errno));
}

const char* inFolder(std::string& store, const std::string& folder, const char* name) {
    store = folder.empty() ? std::string(name) : folder + "/" + name;
    return store.c_str();
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

std::string xdgUserDir(const char* base, const std::string& home, const char* fallback) {
    if (isAbsolute(base))
        return std::string(base) + "/orbelle";
    if (home.empty())
        return std::string();
    return home + "/" + fallback + "/orbelle";
}

bool makeDirectories(const std::string& path) {
    if (path.empty())
        return false;
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
    if (isDirectory(path))
        return true;
    if (errno == 0 || errno == EEXIST)
        errno = ENOTDIR;
    return false;
}

bool isBuildTreeExecutable(const std::string& executable) {
#ifdef ORBELLE_BUILD_TREE
    const std::string folder = canonical(folderOf(executable));
    return !folder.empty() && folder == canonical(ORBELLE_BUILD_TREE);
#else
    (void)executable;
    return false;
#endif
}

std::vector<std::string> installedDataCandidates(const std::string& executable) {
    std::vector<std::string> candidates;
    if (executable.find('/') != std::string::npos)
        candidates.push_back(
            std::filesystem::path(folderOf(executable) + "/" + dataRootFromExecutable)
                .lexically_normal()
                .string());
#ifdef ORBELLE_INSTALL_DATA_ROOT
    if (candidates.empty() || candidates[0] != ORBELLE_INSTALL_DATA_ROOT)
        candidates.push_back(ORBELLE_INSTALL_DATA_ROOT);
#endif
    return candidates;
}

std::string findInstalledDataRoot(const std::string& executable) {
    for (const std::string& candidate : installedDataCandidates(executable))
        if (holdsGameData(candidate))
            return canonical(candidate);
    return std::string();
}

bool moveOldConfig(const std::string& oldFile, const std::string& newFile) {
    if (!exists(oldFile) || exists(newFile))
        return false;
    if (std::rename(oldFile.c_str(), newFile.c_str()) == 0)
        return true;
    return errno == EXDEV && copyThenRemove(oldFile, newFile);
}

bool findUserPaths(const std::string& executable, UserPaths& paths) {
    paths = UserPaths();
    if (isBuildTreeExecutable(executable)) {
#ifdef ORBELLE_SOURCE_TREE
        paths.dataRoot = ORBELLE_SOURCE_TREE;
#endif
        if (holdsGameData(paths.dataRoot))
            return true;
        reportMissingData({paths.dataRoot});
        return false;
    }
    paths.dataRoot = findInstalledDataRoot(executable);
    if (paths.dataRoot.empty()) {
        reportMissingData(installedDataCandidates(executable));
        return false;
    }
    const std::string home = homeDir();
    paths.configDir = xdgUserDir(std::getenv("XDG_CONFIG_HOME"), home, ".config");
    paths.scoreDir = xdgUserDir(std::getenv("XDG_DATA_HOME"), home, ".local/share");
    if (paths.configDir.empty() || paths.scoreDir.empty())
        std::fputs("orbelle: no home folder for settings and scores; using the working "
                   "directory\n",
                   stderr);
    return true;
}

void setUpUserPaths(const UserPaths& paths) {
    TSLSetDataRoot(paths.dataRoot);
    prepareFolder(paths.configDir, "settings");
    prepareFolder(paths.scoreDir, "scores");
    configFile = inFolder(configFileStore, paths.configDir, configFileName);
    localScoreFile = inFolder(scoreFileStore, paths.scoreDir, scoreFileName);
    if (!paths.configDir.empty() && !paths.scoreDir.empty() &&
        moveOldConfig(paths.scoreDir + "/" + configFileName, configFileStore))
        std::fprintf(stderr, "orbelle: moved the settings to %s\n", configFile);
}

std::string executablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    path[length] = '\0';
    return path;
}
