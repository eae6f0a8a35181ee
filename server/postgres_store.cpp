#include "server/store_backends.h"

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <libpq-fe.h>
#include <mutex>

namespace {
using Clock = std::chrono::steady_clock;

// A database that does not answer must not hold a request for long.
const char* const connectTimeoutSeconds = "3";
// Enough for the request threads of one server on a small machine; each is a process on the
// database server.
const int connectionCount = 4;
// After a failed connection attempt, requests get 503 at once for this long, doubling up to
// the longest, so that a dead database is not hammered by every request.
const int firstBackoffMillis = 100;
const int longestBackoffMillis = 2000;
// Any fixed number shared by every server on the database: schema creation by two servers
// starting at once must not race.
const char* const schemaLockKey = "727100";

const std::string schemaSql =
    "BEGIN;"
    "SELECT pg_advisory_xact_lock(" +
    std::string(schemaLockKey) +
    ");"
    "CREATE TABLE IF NOT EXISTS scores ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " name bytea NOT NULL,"
    " score integer NOT NULL,"
    " UNIQUE (name, score));"
    "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id);"
    "CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL);"
    "INSERT INTO schema_version SELECT " +
    std::to_string(scoreSchemaVersion) +
    " WHERE NOT EXISTS (SELECT 1 FROM schema_version);"
    "COMMIT;";
const char* const versionSql = "SELECT max(version) FROM schema_version";
const char* const insertName = "orbelle_insert";
const char* const insertSql =
    "INSERT INTO scores (name, score) VALUES ($1, $2) ON CONFLICT (name, score) DO NOTHING";
const char* const rankName = "orbelle_rank";
const char* const rankSql =
    "SELECT name, score FROM scores ORDER BY score DESC, id ASC LIMIT $1 OFFSET $2";
const int binary = 1;

struct Result {
    explicit Result(PGresult* given) : result(given) {}
    ~Result() { PQclear(result); }
    ExecStatusType status() const { return PQresultStatus(result); }
    PGresult* result;
};

PGconn* connectTo(const std::string& uri) {
    // The URI comes last, so a connect_timeout it names wins over ours.
    const char* const keys[] = {"connect_timeout", "dbname", nullptr};
    const char* const values[] = {connectTimeoutSeconds, uri.c_str(), nullptr};
    return PQconnectdbParams(keys, values, 1);
}

std::string connectionError(PGconn* connection) {
    std::string message = connection ? PQerrorMessage(connection) : "out of memory";
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    return message;
}

bool prepareStatements(PGconn* connection) {
    return Result(PQprepare(connection, insertName, insertSql, 0, nullptr)).status() ==
               PGRES_COMMAND_OK &&
           Result(PQprepare(connection, rankName, rankSql, 0, nullptr)).status() ==
               PGRES_COMMAND_OK;
}

// Creates the tables when missing; false with a reason when they cannot be used.
bool prepareSchema(PGconn* connection, std::string* error) {
    Result created(PQexec(connection, schemaSql.c_str()));
    if (created.status() != PGRES_COMMAND_OK) {
        *error = connectionError(connection);
        return false;
    }
    Result version(PQexec(connection, versionSql));
    int stored = version.status() == PGRES_TUPLES_OK && !PQgetisnull(version.result, 0, 0)
                     ? atoi(PQgetvalue(version.result, 0, 0))
                     : -1;
    if (stored == scoreSchemaVersion)
        return true;
    *error = "schema version " + std::to_string(stored) + ", this server knows version " +
             std::to_string(scoreSchemaVersion);
    return false;
}

// A few connections shared by the request threads, opened when needed. A lost connection is
// made again by the next request that needs one, with a growing pause between failed attempts.
struct PostgresBackend : ScoreBackend {
    ~PostgresBackend() override {
        for (PGconn* connection : idle)
            PQfinish(connection);
    }
    bool store(const ScoreUpload& upload) override;
    bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) override;
    PGconn* acquire();
    PGconn* connectAgain(std::unique_lock<std::mutex>& lock);
    void release(PGconn* connection, bool broken);
    template <typename Work> bool run(Work work);

    std::string uri;
    std::mutex guard;
    std::condition_variable freed;
    std::vector<PGconn*> idle;
    int open = 0;
    Clock::time_point nextAttempt;
    int backoffMillis = 0;
    bool reported = false;
};

// Connects outside the lock, so that requests on the other connections go on meanwhile.
PGconn* PostgresBackend::connectAgain(std::unique_lock<std::mutex>& lock) {
    ++open;
    lock.unlock();
    PGconn* connection = connectTo(uri);
    bool ready = PQstatus(connection) == CONNECTION_OK && prepareStatements(connection);
    std::string error = ready ? "" : connectionError(connection);
    if (!ready) {
        PQfinish(connection);
        connection = nullptr;
    }
    lock.lock();
    if (ready) {
        if (reported)
            fprintf(stderr, "orbelle-score-server: database connection restored\n");
        reported = false;
        backoffMillis = 0;
        return connection;
    }
    --open;
    // Said once per outage, not once per request.
    if (!reported)
        fprintf(stderr, "orbelle-score-server: database unavailable: %s\n", error.c_str());
    reported = true;
    backoffMillis = std::min(std::max(firstBackoffMillis, backoffMillis * 2), longestBackoffMillis);
    nextAttempt = Clock::now() + std::chrono::milliseconds(backoffMillis);
    freed.notify_all();
    return nullptr;
}

// An idle connection, a new one, or nullptr while the database is unavailable.
PGconn* PostgresBackend::acquire() {
    std::unique_lock<std::mutex> lock(guard);
    for (;;) {
        if (!idle.empty()) {
            PGconn* connection = idle.back();
            idle.pop_back();
            return connection;
        }
        if (open < connectionCount)
            return Clock::now() < nextAttempt ? nullptr : connectAgain(lock);
        freed.wait(lock);
    }
}

// A broken connection means the database went away: the idle ones are broken too.
void PostgresBackend::release(PGconn* connection, bool broken) {
    std::lock_guard<std::mutex> lock(guard);
    if (broken) {
        idle.push_back(connection);
        open -= int(idle.size());
        for (PGconn* stale : idle)
            PQfinish(stale);
        idle.clear();
        freed.notify_all();
        return;
    }
    idle.push_back(connection);
    freed.notify_one();
}

// Runs work on a live connection. A connection found broken is replaced at once and the work
// tried once more: both statements can be repeated without changing their meaning.
template <typename Work> bool PostgresBackend::run(Work work) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        PGconn* connection = acquire();
        if (connection == nullptr)
            return false;
        bool done = work(connection);
        bool broken = !done && PQstatus(connection) != CONNECTION_OK;
        release(connection, broken);
        if (!broken)
            return done;
    }
    return false;
}

bool PostgresBackend::store(const ScoreUpload& upload) {
    std::string scoreText = std::to_string(upload.score);
    const char* values[] = {upload.name.data(), scoreText.c_str()};
    const int lengths[] = {int(upload.name.size()), 0};
    const int formats[] = {binary, 0};
    return run([&](PGconn* connection) {
        return Result(PQexecPrepared(connection, insertName, 2, values, lengths, formats, 0))
                   .status() == PGRES_COMMAND_OK;
    });
}

int32_t readInt4(const char* bytes) {
    uint32_t networkOrder = 0;
    memcpy(&networkOrder, bytes, sizeof networkOrder);
    return int32_t(ntohl(networkOrder));
}

bool PostgresBackend::fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) {
    std::string limitText = std::to_string(limit), offsetText = std::to_string(offset);
    const char* values[] = {limitText.c_str(), offsetText.c_str()};
    return run([&](PGconn* connection) {
        Result rows(PQexecPrepared(connection, rankName, 2, values, nullptr, nullptr, binary));
        if (rows.status() != PGRES_TUPLES_OK)
            return false;
        scores->clear();
        for (int row = 0; row < PQntuples(rows.result); ++row) {
            std::string name(PQgetvalue(rows.result, row, 0), PQgetlength(rows.result, row, 0));
            if (PQgetlength(rows.result, row, 1) != 4)
                return false;
            scores->push_back({name, readInt4(PQgetvalue(rows.result, row, 1))});
        }
        return true;
    });
}
} // namespace

std::unique_ptr<ScoreBackend> openPostgresBackend(const std::string& uri, std::string* error) {
    auto store = std::make_unique<PostgresBackend>();
    store->uri = uri;
    PGconn* connection = connectTo(uri);
    bool ready = PQstatus(connection) == CONNECTION_OK && prepareSchema(connection, error) &&
                 prepareStatements(connection);
    if (!ready) {
        if (error->empty())
            *error = connectionError(connection);
        PQfinish(connection);
        return nullptr;
    }
    store->idle.push_back(connection);
    store->open = 1;
    return store;
}
