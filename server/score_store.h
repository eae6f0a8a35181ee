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
    // The replay that proves the entry; 0 for an entry that only a signature vouches for.
    int64_t replayId = 0;
};

// What a store call came to. Every call answers unavailable when the store is (the database
// is unreachable, gone, damaged, full or locked by another program) or did not answer by the
// deadline. Requests then get 503 and the game keeps what it showed.
enum class StoreAnswer {
    done,
    none,   // nothing to act on: no such entry or replay, or the ban already as asked
    banned, // the name may not upload
    taken,  // the round is kept already, for another entry
    unavailable,
};

// One kind of store. Each guards its own connections, so that several threads may call at
// once. Verified entries are those with a replay: one fact, kept in one place, so that
// removing an entry takes its replay along in any tool.
struct ScoreBackend {
    virtual ~ScoreBackend() = default;
    // Stores an entry unless the same name and score are already there or the name is banned.
    virtual StoreAnswer store(const ScoreUpload& upload, StoreClock::time_point deadline) = 0;
    // Stores the entry unless there, and the replay that proves it unless it has one. A round
    // (what the replay plays, whoever it names) proves one entry only.
    virtual StoreAnswer storeReplay(const ScoreUpload& entry, const std::string& round,
                                    const std::string& replay, StoreClock::time_point deadline) = 0;
    // Up to limit entries from position offset (0 = the best), best first and earlier stored
    // first among equals; with verifiedOnly, those with a replay alone.
    virtual bool fetchRanked(int offset, int limit, bool verifiedOnly,
                             std::vector<RankedScore>* scores, StoreClock::time_point deadline) = 0;
    virtual StoreAnswer fetchReplay(int64_t id, std::string* replay,
                                    StoreClock::time_point deadline) = 0;
    // Removes an entry and its replay.
    virtual StoreAnswer remove(const ScoreUpload& entry, StoreClock::time_point deadline) = 0;
    virtual StoreAnswer setBanned(const std::string& name, bool banned,
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
    // A command that acts on the store beside a running server instead of serving it: an
    // SQLite file must exist already and is not claimed for a server.
    bool besideServer = false;
};

// A libpq connection URI chooses PostgreSQL; anything else is the name of an SQLite file.
bool isPostgresLocation(const std::string& location);
// The location as it may be shown in messages: a URI's password is replaced by "***".
std::string storeDisplayName(const std::string& location);
// False with a reason when the database cannot be reached, created, brought up to this
// server's tables or understood.
bool openScoreStore(ScoreStore& store, const StoreSettings& settings, std::string* error);
void interruptScoreStore(ScoreStore& store);
void closeScoreStore(ScoreStore& store);
StoreAnswer storeScore(ScoreStore& store, const ScoreUpload& upload,
                       StoreClock::time_point deadline);
// The line of rank 1 to 10; an empty line when fewer entries are stored.
bool fetchRankLine(ScoreStore& store, int rank, bool verifiedOnly, std::string* line,
                   StoreClock::time_point deadline);
// The best limit entries, best first.
bool fetchTopScores(ScoreStore& store, int limit, bool verifiedOnly,
                    std::vector<RankedScore>* scores, StoreClock::time_point deadline);
