// The score server's stored entries behind one small interface: an SQLite file that one
// server owns, or a PostgreSQL database that any number of servers share.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "server/score_request.h"

struct RankedScore {
    std::string name;
    int32_t score = 0;
};

// One kind of store. Each guards its own connection, so the request threads may call at once.
// Every call answers false when the store is unavailable: the database is unreachable, gone
// or damaged. Requests then get 503 and the game keeps what it showed.
struct ScoreBackend {
    virtual ~ScoreBackend() = default;
    // Stores an entry unless the same name and score are already there.
    virtual bool store(const ScoreUpload& upload) = 0;
    // Up to limit entries from position offset (0 = the best), best first and earlier stored
    // first among equals.
    virtual bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) = 0;
};

struct ScoreStore {
    std::unique_ptr<ScoreBackend> backend;
};

// A libpq connection URI chooses PostgreSQL; anything else is the name of an SQLite file.
bool isPostgresLocation(const std::string& location);
// The location as it may be shown in messages: a URI's password is replaced by "***".
std::string storeDisplayName(const std::string& location);
// False with a reason when the database cannot be reached, created or understood.
bool openScoreStore(ScoreStore& store, const std::string& location, std::string* error);
void closeScoreStore(ScoreStore& store);
bool storeScore(ScoreStore& store, const ScoreUpload& upload);
// The line of rank 1 to 10; an empty line when fewer entries are stored.
bool fetchRankLine(ScoreStore& store, int rank, std::string* line);
// The best limit entries, best first.
bool fetchTopScores(ScoreStore& store, int limit, std::vector<RankedScore>* scores);
