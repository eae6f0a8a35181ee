// hisc.dat, byte by byte. Each record is the image of an entry whose short name sits inline:
// score, a reserved slot, sixteen name bytes, the name length and the capacity 15.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "hiscore/file_safety.h"
#include "hiscore/high_score_table.h"

namespace {
const int scoreOffset = 0;
const int nameOffset = 8;
const int lengthOffset = 24;
const int capacityOffset = 28;
const uint32_t inlineCapacity = 15;

void putLittleEndian(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t getLittleEndian(const unsigned char* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(at[i]) << (8 * i);
    return value;
}

void writeRecord(const HighScoreEntry& entry, unsigned char* record) {
    std::memset(record, 0, HighScoreTable::recordSize);
    putLittleEndian(record + scoreOffset, static_cast<uint32_t>(entry.score));
    size_t length = entry.name.size();
    if (length > size_t(HighScoreTable::maxNameLength))
        length = HighScoreTable::maxNameLength;
    std::memcpy(record + nameOffset, entry.name.data(), length);
    putLittleEndian(record + lengthOffset, static_cast<uint32_t>(length));
    putLittleEndian(record + capacityOffset, inlineCapacity);
}

// Bytes 8..23 are always read as characters, never as an address, so a record written by
// anything else can at worst give a wrong name of at most 15 bytes.
void readRecord(const unsigned char* record, HighScoreEntry& entry) {
    entry.score = static_cast<int32_t>(getLittleEndian(record + scoreOffset));
    uint32_t limit = getLittleEndian(record + lengthOffset);
    if (limit > uint32_t(HighScoreTable::maxNameLength))
        limit = HighScoreTable::maxNameLength;
    const char* name = reinterpret_cast<const char*>(record + nameOffset);
    entry.name.assign(name, strnlen(name, limit));
}

// Reads the file over the table as loading does; false when there was no regular file.
bool readScoreFile(HighScoreTable& table, const char* path) {
    int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    unsigned char bytes[HighScoreTable::fileSize];
    size_t size = readUpTo(fd, bytes, sizeof bytes);
    close(fd);
    loadScoresFromBytes(table, bytes, size);
    return true;
}

} // namespace

void writeScoresToBytes(const HighScoreTable& table, unsigned char* bytes) {
    for (int k = 0; k < HighScoreTable::entryCount; ++k)
        writeRecord(table.entries[k], bytes + k * HighScoreTable::recordSize);
}

void loadScoresFromBytes(HighScoreTable& table, const unsigned char* bytes, size_t size) {
    // An incomplete record leaves its entry as it was: part of a score is no score.
    size_t whole = size / HighScoreTable::recordSize;
    if (whole > size_t(HighScoreTable::entryCount))
        whole = HighScoreTable::entryCount;
    for (size_t k = 0; k < whole; ++k)
        readRecord(bytes + k * HighScoreTable::recordSize, table.entries[k]);
}

// The new contents go to a fresh file beside the old one and replace it in one rename.
bool HighScoreTable::save(const char* path) const {
    unsigned char bytes[fileSize];
    writeScoresToBytes(*this, bytes);
    const std::string target = saveTarget(path);
    if (isSomethingElse(target))
        return false;
    return writeFileSafely(target, bytes, sizeof bytes, true);
}

void HighScoreTable::load(const char* path) {
    readScoreFile(*this, path);
}

CommitOutcome commitToFile(HighScoreTable& table, const HighScoreEntry& result, const char* path,
                           const std::string& replay) {
    const int folderLock = lockFolderOf(saveTarget(path));
    // Unsaved results are still in the table unless the file's contents replace it.
    if (readScoreFile(table, path))
        for (const HighScoreEntry& earlier : table.unsaved)
            table.insert(earlier);
    CommitOutcome outcome;
    outcome.placed = table.insert(result) == 0;
    // Before the table: a crash in between leaves a replay of no entry, which the next save
    // removes, rather than an entry without its replay.
    if (outcome.placed && !replay.empty())
        keepReplay(path, result, replay);
    outcome.saved = table.save(path);
    if (outcome.saved) {
        table.unsaved.clear();
        pruneReplays(path, table);
    } else {
        table.unsaved.push_back(result);
    }
    if (folderLock >= 0)
        close(folderLock);
    return outcome;
}
