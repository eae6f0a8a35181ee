// The score server's stored entries: one SQLite database, one connection shared by the
// request threads under a lock. The file is held with an exclusive lock while it is open, so
// that two servers never split the uploads between them.
#pragma once

#include <mutex>
#include <string>

#include "server/score_request.h"

struct sqlite3;

struct ScoreStore {
    sqlite3* db = nullptr;
    std::mutex guard;
    std::string path;
    int lockFd = -1;
    bool failureReported = false;
};

// False with a reason when the database is held by another server (nothing is changed then)
// or cannot be opened or prepared.
bool openScoreStore(ScoreStore& store, const std::string& path, std::string* error);
void closeScoreStore(ScoreStore& store);
// Stores an entry unless the same name and score are already there. False on a database
// error; the first of those is reported on stderr with the file's name.
bool storeScore(ScoreStore& store, const ScoreUpload& upload);
// The line of rank 1 to 10, best first and earlier stored first among equals; an empty
// line when fewer entries are stored. False on a database error.
bool fetchRankLine(ScoreStore& store, int rank, std::string* line);
