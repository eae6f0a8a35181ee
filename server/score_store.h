// The score server's stored entries: one SQLite database, one connection shared by the
// request threads under a lock.
#pragma once

#include <mutex>
#include <string>

#include "server/score_request.h"

struct sqlite3;

struct ScoreStore {
    sqlite3* db = nullptr;
    std::mutex guard;
};

// False with a reason when the database cannot be opened or prepared.
bool openScoreStore(ScoreStore& store, const std::string& path, std::string* error);
void closeScoreStore(ScoreStore& store);
// Stores an entry unless the same name and score are already there. False on a database error.
bool storeScore(ScoreStore& store, const ScoreUpload& upload);
// The line of rank 1 to 10, best first and earlier stored first among equals; an empty
// line when fewer entries are stored. False on a database error.
bool fetchRankLine(ScoreStore& store, int rank, std::string* line);
