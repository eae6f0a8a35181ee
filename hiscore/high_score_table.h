// The local top ten and its file, hisc.dat: ten 32-byte little-endian records, best first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HighScoreEntry {
    HighScoreEntry() = default;
    HighScoreEntry(int32_t score, const std::string& name) : score(score), name(name) {}

    int32_t score = 0;
    std::string name; // at most 15 characters
};

class HighScoreTable {
  public:
    static const int entryCount = 10;
    static const int recordSize = 32;
    static const int maxNameLength = 15;
    static const int fileSize = entryCount * recordSize;

    HighScoreTable(); // ten entries "Tester" with score 1

    // 1 when score is strictly greater than the tenth entry's score, -1 otherwise.
    int qualifies(int32_t score) const;
    // 0 when placed, -1 when refused (score below the tenth entry's score).
    // A name longer than 15 characters is cut to 15, the most a record can hold.
    int insert(HighScoreEntry entry);
    // Never loses the previous file: a failed save leaves it as it was. False when the file
    // could not be written; anything but a regular file at path is never replaced.
    bool save(const char* path) const;
    // A missing or unreadable file leaves the table unchanged, and so does anything but a
    // regular file (or a link to one), which is not even waited on.
    void load(const char* path);

    HighScoreEntry entries[entryCount];
    // Results that this game entered but could not save: the next commit tries them again.
    std::vector<HighScoreEntry> unsaved;
};

struct CommitOutcome {
    bool placed = false; // the new result took a place in the table
    bool saved = false;  // the file now holds the table, the result included
};

// Inserts the result into the table as the file at path holds it now, and saves that: another
// game in the same folder may have saved its own since this one read the file. All under a
// lock on the folder, so that two games saving at once keep both results. Results that earlier
// saves could not keep go in again first. Without a file to read, the table in memory is the
// base. Afterwards the table is what was saved, or what would have been. The result's replay
// (empty for none) is kept in replays/ beside the file when the result takes a place, and a
// save removes the replays of the entries that left the table.
CommitOutcome commitToFile(HighScoreTable& table, const HighScoreEntry& result, const char* path,
                           const std::string& replay = std::string());

// The replays of the table's entries as kept beside the score file at path: for each entry in
// rank order, its replay file's path, or empty when it has none. Of equal entries (score and
// name) the higher takes the newer replay.
std::vector<std::string> replayFilesOf(const HighScoreTable& table, const char* path);
// Writes an entry's replay into replays/ beside the score file; false when it could not.
bool keepReplay(const char* path, const HighScoreEntry& entry, const std::string& replay);
// Removes the replays that no entry of the table holds.
void pruneReplays(const char* path, const HighScoreTable& table);

// Where the local table lives: "hisc.dat" in the working directory until start-up says otherwise.
extern const char* localScoreFile;

// The file image of the table: exactly HighScoreTable::fileSize bytes.
void writeScoresToBytes(const HighScoreTable& table, unsigned char* bytes);
// Replaces the entries whose records the buffer holds in full, in file order; an
// incomplete last record and any bytes past the tenth record are ignored.
void loadScoresFromBytes(HighScoreTable& table, const unsigned char* bytes, size_t size);
