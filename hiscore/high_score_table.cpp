#include "hiscore/high_score_table.h"

const char* localScoreFile = "hisc.dat";

namespace {
const int32_t defaultScore = 1;
const char* const defaultName = "Tester";
} // namespace

HighScoreTable::HighScoreTable() {
    for (auto& entry : entries)
        entry = HighScoreEntry(defaultScore, defaultName);
}

int HighScoreTable::qualifies(int32_t score) const {
    return score > entries[entryCount - 1].score ? 1 : -1;
}

int HighScoreTable::insert(HighScoreEntry entry) {
    if (entry.score < entries[entryCount - 1].score)
        return -1;
    if (entry.name.size() > size_t(maxNameLength))
        entry.name.resize(maxNameLength);
    // The tenth entry is at most entry.score here, so the search always stops in the table;
    // a newcomer goes above every older entry with the same score.
    int place = 0;
    while (entries[place].score > entry.score)
        ++place;
    for (int i = entryCount - 1; i > place; --i)
        entries[i] = entries[i - 1];
    entries[place] = entry;
    return 0;
}
