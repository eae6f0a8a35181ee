// usage: orbelle-commit-loop DIR LOG COUNT. Commits results through commitResult, for a script
// to kill at any moment; before each, logs the file image it means to leave as a line of hex.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hiscore/high_score_table.h"
#include "record/game_state.h"
#include "scores/result_screen.h"

int main(int argc, char** argv) {
    int log = argc == 4 ? open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
    if (log < 0 || chdir(argv[1]) != 0) {
        fputs("usage: orbelle-commit-loop DIR LOG COUNT\n", stderr);
        return 2;
    }
    game.localScores.load(localScoreFile);
    for (long i = 0; i < strtol(argv[3], nullptr, 10); ++i) {
        // Always a new best, so every commit changes the file; at most 13 characters.
        int32_t score = game.localScores.entries[0].score + 1;
        std::string name =
            "p" + std::to_string(getpid() % 100000) + "-" + std::to_string(i % 1000000);
        HighScoreTable intended = game.localScores;
        intended.insert(HighScoreEntry(score, name));
        unsigned char bytes[HighScoreTable::fileSize];
        writeScoresToBytes(intended, bytes);
        std::string line;
        for (unsigned char b : bytes)
            line += "0123456789abcdef"[b >> 4] + std::string(1, "0123456789abcdef"[b & 15]);
        line += "\n";
        // One write per line: a kill cannot leave half of it.
        if (write(log, line.data(), line.size()) != ssize_t(line.size())) {
            perror("orbelle-commit-loop: log");
            return 2;
        }
        game.score = float(score);
        std::memset(game.playerName, 0, sizeof game.playerName);
        std::memcpy(game.playerName, name.c_str(), name.size());
        commitResult();
    }
    return 0;
}
