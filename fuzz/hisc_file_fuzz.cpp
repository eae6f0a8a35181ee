// hisc.dat as anyone may have written it: names stay short and NUL-free, missing records keep
// their defaults, and what is loaded saves and loads back unchanged.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "hiscore/high_score_table.h"

namespace {
bool sameEntries(const HighScoreTable& a, const HighScoreTable& b) {
    for (int k = 0; k < HighScoreTable::entryCount; ++k)
        if (a.entries[k].score != b.entries[k].score || a.entries[k].name != b.entries[k].name)
            return false;
    return true;
}

void checkNames(const HighScoreTable& table) {
    for (const HighScoreEntry& entry : table.entries) {
        FUZZ_CHECK(entry.name.size() <= size_t(HighScoreTable::maxNameLength));
        FUZZ_CHECK(entry.name.find('\0') == std::string::npos);
    }
}

// Saving and loading again gives the same table and the same bytes.
void checkRoundTrip(const HighScoreTable& table) {
    unsigned char bytes[HighScoreTable::fileSize];
    writeScoresToBytes(table, bytes);
    HighScoreTable reloaded;
    loadScoresFromBytes(reloaded, bytes, sizeof bytes);
    FUZZ_CHECK(sameEntries(table, reloaded));
    unsigned char again[HighScoreTable::fileSize];
    writeScoresToBytes(reloaded, again);
    FUZZ_CHECK(std::memcmp(bytes, again, sizeof bytes) == 0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    HighScoreTable table;
    const HighScoreTable defaults;
    loadScoresFromBytes(table, data, size);
    checkNames(table);
    for (size_t k = size / HighScoreTable::recordSize; k < size_t(HighScoreTable::entryCount); ++k)
        FUZZ_CHECK(table.entries[k].score == defaults.entries[k].score &&
                   table.entries[k].name == defaults.entries[k].name);
    checkRoundTrip(table);
    // Whatever lies past the file's length becomes a result of any score and a name of any
    // length; typed names hold no NUL, so the name ends at the first one.
    if (size > size_t(HighScoreTable::fileSize) + 4) {
        const unsigned char* extra = data + HighScoreTable::fileSize;
        int32_t score = int32_t(uint32_t(extra[0]) | uint32_t(extra[1]) << 8 |
                                uint32_t(extra[2]) << 16 | uint32_t(extra[3]) << 24);
        std::string name(reinterpret_cast<const char*>(extra + 4),
                         size - HighScoreTable::fileSize - 4);
        name.resize(std::strlen(name.c_str()));
        if (table.insert(HighScoreEntry(score, name)) == 0)
            checkNames(table);
        checkRoundTrip(table);
    }
    return 0;
}
