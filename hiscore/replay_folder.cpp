// The replays of the local entries: replays/ beside the score file, one file per entry that has
// one, named by its score and name (the names in hex) and the moment it was kept, so that equal
// entries keep the newest replays. The table decides which replays stay; other files in the
// folder are left alone.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "hiscore/file_safety.h"
#include "hiscore/high_score_table.h"

namespace {
const char* const replayFolderName = "replays";
const char* const replaySuffix = ".orbr";
const char* const hexDigits = "0123456789abcdef";

struct ReplayFile {
    HighScoreEntry entry;
    uint64_t keptAt = 0;
    std::string path;
};

std::string replayFolderOf(const char* scorePath) {
    return folderOf(saveTarget(scorePath)) + replayFolderName;
}

std::string hexOf(const std::string& text) {
    std::string hex;
    for (unsigned char c : text) {
        hex += hexDigits[c >> 4];
        hex += hexDigits[c & 0xF];
    }
    return hex;
}

int hexValue(char digit) {
    const char* at = std::strchr(hexDigits, digit);
    return digit && at ? int(at - hexDigits) : -1;
}

bool textOfHex(const std::string& hex, std::string* text) {
    if (hex.size() % 2 || hex.size() > 2 * size_t(HighScoreTable::maxNameLength))
        return false;
    text->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexValue(hex[i]), low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        *text += char(high << 4 | low);
    }
    return true;
}

std::string fileNameOf(const HighScoreEntry& entry, uint64_t keptAt) {
    char name[128];
    std::snprintf(name, sizeof name, "%" PRId32 "_%s_%016" PRIx64 "%s", entry.score,
                  hexOf(entry.name).c_str(), keptAt, replaySuffix);
    return name;
}

// Only names this folder gives; anything else is someone else's. A score beyond 32 bits fails
// the round trip at the end, as does any other spelling of a name we would write.
bool readFileName(const std::string& name, ReplayFile* file) {
    const size_t first = name.find('_'), second = name.find('_', first + 1);
    if (second == std::string::npos)
        return false;
    long long score = 0;
    char tail[64];
    unsigned long long keptAt = 0;
    const std::string rest = name.substr(second + 1);
    if (std::sscanf(name.c_str(), "%lld", &score) != 1 ||
        std::sscanf(rest.c_str(), "%16llx%63s", &keptAt, tail) != 2 ||
        std::string(tail) != replaySuffix ||
        !textOfHex(name.substr(first + 1, second - first - 1), &file->entry.name))
        return false;
    file->entry.score = int32_t(score);
    file->keptAt = keptAt;
    return fileNameOf(file->entry, file->keptAt) == name;
}

// Newest first. Notes in leftovers the replays whose saves were killed left beside them.
std::vector<ReplayFile> replayFilesIn(const std::string& folder,
                                      std::vector<std::string>* leftovers = nullptr) {
    std::vector<ReplayFile> files;
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return files;
    while (dirent* item = readdir(listing)) {
        ReplayFile file;
        if (readFileName(item->d_name, &file)) {
            file.path = folder + "/" + item->d_name;
            files.push_back(file);
        } else if (leftovers && readFileName(targetOfTemp(item->d_name), &file)) {
            leftovers->push_back(folder + "/" + targetOfTemp(item->d_name));
        }
    }
    closedir(listing);
    std::sort(files.begin(), files.end(),
              [](const ReplayFile& a, const ReplayFile& b) { return a.keptAt > b.keptAt; });
    return files;
}

// For each entry in rank order, the newest replay of its score and name that no entry above
// took; the files no entry took stay in spare.
std::vector<std::string> matchReplays(const HighScoreTable& table, std::vector<ReplayFile> files,
                                      std::vector<ReplayFile>* spare) {
    std::vector<std::string> matched;
    for (const HighScoreEntry& entry : table.entries) {
        auto found = std::find_if(files.begin(), files.end(), [&](const ReplayFile& file) {
            return file.entry.score == entry.score && file.entry.name == entry.name;
        });
        matched.push_back(found == files.end() ? std::string() : found->path);
        if (found != files.end())
            files.erase(found);
    }
    if (spare)
        *spare = files;
    return matched;
}

uint64_t nowNanos() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}
} // namespace

bool keepReplay(const char* scorePath, const HighScoreEntry& entry, const std::string& replay) {
    const std::string folder = replayFolderOf(scorePath);
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    HighScoreEntry named = entry;
    named.name.resize(std::min(named.name.size(), size_t(HighScoreTable::maxNameLength)));
    const std::string path = folder + "/" + fileNameOf(named, nowNanos());
    return writeFileSafely(path, reinterpret_cast<const unsigned char*>(replay.data()),
                           replay.size(), false);
}

void pruneReplays(const char* scorePath, const HighScoreTable& table) {
    std::vector<ReplayFile> spare;
    std::vector<std::string> leftovers;
    matchReplays(table, replayFilesIn(replayFolderOf(scorePath), &leftovers), &spare);
    for (const ReplayFile& file : spare)
        unlink(file.path.c_str());
    for (const std::string& target : leftovers)
        removeLeftoverTemps(target);
}

std::vector<std::string> replayFilesOf(const HighScoreTable& table, const char* scorePath) {
    return matchReplays(table, replayFilesIn(replayFolderOf(scorePath)), nullptr);
}
