// Commits results one after another through the game's own commitResult, in a directory of
// its own, so that a script can kill it at any moment of a save. Before each commit it appends
// to a log the whole file image the commit is meant to leave, as one line of hex, so the
// checker knows every table a complete save could have written.
//
// usage: orbelle-commit-loop DIR LOG COUNT
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hiscore/high_score_table.h"
#include "record/game_state.h"
#include "scores/result_screen.h"

namespace {
std::string hexImage(const HighScoreTable& table) {
    unsigned char bytes[HighScoreTable::fileSize];
    writeScoresToBytes(table, bytes);
    static const char digits[] = "0123456789abcdef";
    std::string line;
    for (unsigned char b : bytes) {
        line += digits[b >> 4];
        line += digits[b & 0x0f];
    }
    return line + "\n";
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
    for (int k = 0; k < HighScoreTable::entryCount; ++k)
        if (a.entries[k].score != b.entries[k].score || a.entries[k].name != b.entries[k].name)
            return false;
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fputs("usage: orbelle-commit-loop DIR LOG COUNT\n", stderr);
        return 2;
    }
    long count = strtol(argv[3], nullptr, 10);
    int log = open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log < 0 || chdir(argv[1]) != 0) {
        perror("orbelle-commit-loop");
        return 2;
    }
    game.localScores.load(localScoreFile);
    for (long i = 0; i < count; ++i) {
        // Always a new best, so every commit changes the file.
        int32_t score = game.localScores.entries[0].score + 1;
        // At most 13 characters: "p", five digits, "-", six digits.
        std::string name =
            "p" + std::to_string(getpid() % 100000) + "-" + std::to_string(i % 1000000);

        HighScoreTable intended = game.localScores;
        if (intended.insert(HighScoreEntry(score, name)) != 0) {
            fprintf(stderr, "orbelle-commit-loop: score %d was refused\n", int(score));
            return 3;
        }
        // One write per line: a kill cannot leave half of it.
        std::string line = hexImage(intended);
        if (write(log, line.data(), line.size()) != ssize_t(line.size())) {
            perror("orbelle-commit-loop: log");
            return 2;
        }

        game.score = float(score);
        std::memset(game.playerName, 0, sizeof game.playerName);
        std::memcpy(game.playerName, name.c_str(), name.size());
        commitResult();
        if (!sameTable(game.localScores, intended)) {
            fprintf(stderr, "orbelle-commit-loop: commit %ld placed the entry elsewhere\n", i);
            return 3;
        }
    }
    return 0;
}
