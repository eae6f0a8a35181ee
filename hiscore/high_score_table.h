// The local top ten and its file, hisc.dat: ten 32-byte little-endian records, best first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
    // Never loses the previous file: a failed save leaves it as it was. Failures are silent.
    void save(const char* path) const;
    // A missing or unreadable file leaves the table unchanged.
    void load(const char* path);

    HighScoreEntry entries[entryCount];
};

// Where the local table lives: "hisc.dat" in the working directory until start-up says otherwise.
extern const char* localScoreFile;

// The file image of the table: exactly HighScoreTable::fileSize bytes.
void writeScoresToBytes(const HighScoreTable& table, unsigned char* bytes);
// Replaces the entries whose records the buffer holds in full, in file order; an
// incomplete last record and any bytes past the tenth record are ignored.
void loadScoresFromBytes(HighScoreTable& table, const unsigned char* bytes, size_t size);
