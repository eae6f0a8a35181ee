// Files written so that a crash, a full disk or a failed write never loses what was there.
#include "hiscore/file_safety.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// A name no one gives a file of their own, so that leftovers can be recognised and removed.
const char* const tempMarker = ".saving-";
const char* const tempSuffix = "XXXXXX";
// As many links as the system itself follows before it gives up.
const int maxLinkHops = 40;
// A temp file can vanish between its creation and its lock (another save took it for a
// leftover); a new one is made this many times at most.
const int maxTempTries = 3;

bool writeAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    std::string folder = folderOf(path);
    return folder.empty() ? "." : folder;
}

// The replacement keeps the mode of the file it replaces; a new file gets the mode a plain
// fopen would have given (mkstemp makes it private).
void setModeFor(int fd, const std::string& target) {
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        fchmod(fd, info.st_mode & 07777);
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

// A locked temp file beside target that is still in the folder; -1 when none can be made.
int makeLockedTemp(const std::string& target, std::string& tempPath) {
    for (int attempt = 0; attempt < maxTempTries; ++attempt) {
        tempPath = target + tempMarker + tempSuffix;
        int fd = mkstemp(&tempPath[0]);
        if (fd < 0)
            return -1;
        // Where the file system has no locks the save goes on unguarded, as before.
        flock(fd, LOCK_EX);
        struct stat info;
        if (fstat(fd, &info) != 0 || info.st_nlink > 0)
            return fd;
        close(fd);
    }
    return -1;
}

// No temp file can be made beside a writable file in a folder that is not: then the file
// itself is rewritten, which a crash in mid-write could damage, but which still saves.
bool rewriteInPlace(const std::string& target, const unsigned char* bytes, size_t size) {
    int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written =
        writeAll(fd, bytes, size) && ftruncate(fd, off_t(size)) == 0 && fsync(fd) == 0;
    close(fd);
    return written;
}

// After the rename the directory entry itself must reach the disk too.
void syncDirectoryOf(const std::string& path) {
    int fd = open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

} // namespace

// The name the folder gives, with its trailing slash; empty for a bare file name.
std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file a link points to, through every link on the way, so that saving keeps the player's
// link and writes where it leads. A path that is no link is its own target.
std::string saveTarget(const char* path) {
    std::string target = path;
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        char link[4096];
        ssize_t length = readlink(target.c_str(), link, sizeof link - 1);
        if (length <= 0)
            break;
        link[length] = '\0';
        target = link[0] == '/' ? std::string(link) : folderOf(target) + link;
    }
    return target;
}

// Something at path that is not a regular file: a folder, a FIFO, a device. A save never
// replaces it (a link to /dev/null would otherwise cost the system its /dev/null).
bool isSomethingElse(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Opened only when it is a regular file, and without waiting: a FIFO or a device at that name
// would hold up start-up or never end. -1 otherwise, as for a missing file.
int openRegularFile(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        return -1;
    }
    return fd;
}

size_t readUpTo(int fd, unsigned char* bytes, size_t size) {
    size_t total = 0;
    while (total < size) {
        ssize_t got = read(fd, bytes + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += size_t(got);
    }
    return total;
}

// Saves in one folder wait for each other while this is held; -1 where there is no lock to
// be had, and the save goes on unguarded.
int lockFolderOf(const std::string& path) {
    int fd = open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool writeFileSafely(const std::string& target, const unsigned char* bytes, size_t size,
                     bool rewriteWithoutTemp) {
    removeLeftoverTemps(target);
    std::string tempPath;
    int fd = makeLockedTemp(target, tempPath);
    if (fd < 0)
        return rewriteWithoutTemp && rewriteInPlace(target, bytes, size);
    setModeFor(fd, target);
    bool written = writeAll(fd, bytes, size) && fsync(fd) == 0;
    // The lock goes with the close, after the rename: until then no other save takes the
    // file for a leftover.
    if (!written || std::rename(tempPath.c_str(), target.c_str()) != 0) {
        std::remove(tempPath.c_str());
        close(fd);
        return false;
    }
    close(fd);
    syncDirectoryOf(target);
    return true;
}

// A save holds a lock on its temp file from creation to rename, so a leftover is a temp file
// that nobody holds: its save was killed. Without this every such crash would add one more
// beside hisc.dat; with it, a game saving at the same moment in the same folder keeps its own.
void removeLeftoverTemps(const std::string& path) {
    std::string folder = folderOf(path);
    std::string prefix = path.substr(folder.size()) + tempMarker;
    DIR* listing = opendir(directoryOf(path).c_str());
    if (listing == nullptr)
        return;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.size() != prefix.size() + std::strlen(tempSuffix) ||
            name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string leftover = folder + name;
        int fd = open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info;
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(leftover.c_str());
        close(fd);
    }
    closedir(listing);
}

std::string targetOfTemp(const std::string& name) {
    const size_t marker = name.rfind(tempMarker);
    const bool isTemp = marker != std::string::npos &&
                        name.size() == marker + std::strlen(tempMarker) + std::strlen(tempSuffix);
    return isTemp ? name.substr(0, marker) : std::string();
}
