// hisc.dat as anyone may have written it: names stay short and NUL-free, missing records keep
// their defaults, and what is loaded saves and loads back unchanged.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "hiscore/high_score_table.h"

namespace {
bool sameEntry(const HighScoreEntry& a, const HighScoreEntry& b) {
    return a.score == b.score && a.name == b.name;
}

// Every name fits a record, and saving and loading again gives the same table and the same bytes.
void checkTable(const HighScoreTable& table) {
    unsigned char bytes[HighScoreTable::fileSize], again[HighScoreTable::fileSize];
    writeScoresToBytes(table, bytes);
    HighScoreTable reloaded;
    loadScoresFromBytes(reloaded, bytes, sizeof bytes);
    writeScoresToBytes(reloaded, again);
    FUZZ_CHECK(std::memcmp(bytes, again, sizeof bytes) == 0);
    for (int k = 0; k < HighScoreTable::entryCount; ++k) {
        const std::string& name = table.entries[k].name;
        FUZZ_CHECK(name.size() <= size_t(HighScoreTable::maxNameLength));
        FUZZ_CHECK(name.find('\0') == std::string::npos);
        FUZZ_CHECK(sameEntry(table.entries[k], reloaded.entries[k]));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    HighScoreTable table;
    const HighScoreTable defaults;
    loadScoresFromBytes(table, data, size);
    checkTable(table);
    for (size_t k = size / HighScoreTable::recordSize; k < size_t(HighScoreTable::entryCount); ++k)
        FUZZ_CHECK(sameEntry(table.entries[k], defaults.entries[k]));
    // Whatever lies past the file's length becomes a result of any score and a name of any
    // length; typed names hold no NUL, so the name ends at the first one.
    if (size > size_t(HighScoreTable::fileSize) + 4) {
        const unsigned char* extra = data + HighScoreTable::fileSize;
        int32_t score = int32_t(uint32_t(extra[0]) | uint32_t(extra[1]) << 8 |
                                uint32_t(extra[2]) << 16 | uint32_t(extra[3]) << 24);
        std::string name(reinterpret_cast<const char*>(extra + 4),
                         size - HighScoreTable::fileSize - 4);
        name.resize(std::strlen(name.c_str()));
        table.insert(HighScoreEntry(score, name));
        checkTable(table);
    }
    return 0;
}
