// The score server's stored entries behind one small interface: an SQLite file that one
// server owns, or a PostgreSQL database that any number of servers share.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "server/score_request.h"

using StoreClock = std::chrono::steady_clock;

struct RankedScore {
    std::string name;
    int32_t score = 0;
};

// One kind of store. Each guards its own connections, so that several threads may call at
// once. Every call answers false when the store is unavailable (the database is unreachable,
// gone, damaged, full or locked by another program) or did not answer by the deadline.
// Requests then get 503 and the game keeps what it showed.
struct ScoreBackend {
    virtual ~ScoreBackend() = default;
    // Stores an entry unless the same name and score are already there.
    virtual bool store(const ScoreUpload& upload, StoreClock::time_point deadline) = 0;
    // Up to limit entries from position offset (0 = the best), best first and earlier stored
    // first among equals.
    virtual bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores,
                             StoreClock::time_point deadline) = 0;
    // The server is stopping: calls under way give up within a moment, later ones at once.
    virtual void interrupt() = 0;
};

struct ScoreStore {
    std::unique_ptr<ScoreBackend> backend;
};

struct StoreSettings {
    std::string location;
    std::string password; // for PostgreSQL, when neither the URI nor a PGPASSFILE has one
    // The longest that one statement may wait for locks or the database.
    std::chrono::milliseconds statementTime{2000};
};

// A libpq connection URI chooses PostgreSQL; anything else is the name of an SQLite file.
bool isPostgresLocation(const std::string& location);
// The location as it may be shown in messages: a URI's password is replaced by "***".
std::string storeDisplayName(const std::string& location);
// False with a reason when the database cannot be reached, created or understood.
bool openScoreStore(ScoreStore& store, const StoreSettings& settings, std::string* error);
void interruptScoreStore(ScoreStore& store);
void closeScoreStore(ScoreStore& store);
bool storeScore(ScoreStore& store, const ScoreUpload& upload, StoreClock::time_point deadline);
// The line of rank 1 to 10; an empty line when fewer entries are stored.
bool fetchRankLine(ScoreStore& store, int rank, std::string* line, StoreClock::time_point deadline);
// The best limit entries, best first.
bool fetchTopScores(ScoreStore& store, int limit, std::vector<RankedScore>* scores,
                    StoreClock::time_point deadline);
