#include "server/store_backends.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <libpq-fe.h>
#include <poll.h>

#include "server/server_log.h"

namespace {
using Clock = StoreClock;

// A database that does not answer must not hold a request for long.
const char* const connectTimeoutSeconds = "3";
// A statement's time-out is the database's to enforce, keeping the connection; past it by
// this much, the database itself is taken to be stuck and the connection is given up.
const auto stuckDatabaseGrace = std::chrono::seconds(1);
// How often a wait for the database looks whether the server is stopping.
const int stopCheckMillis = 100;
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
const char* const insertSql =
    "INSERT INTO scores (name, score) VALUES ($1, $2) ON CONFLICT (name, score) DO NOTHING";
const char* const rankSql =
    "SELECT name, score FROM scores ORDER BY score DESC, id ASC LIMIT $1 OFFSET $2";
const int binary = 1;

struct Result {
    explicit Result(PGresult* given) : result(given) {}
    ~Result() { PQclear(result); }
    ExecStatusType status() const { return result ? PQresultStatus(result) : PGRES_FATAL_ERROR; }
    PGresult* result;
};

std::string trimmed(std::string message) {
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    return message;
}

std::string connectionError(PGconn* connection) {
    return connection ? trimmed(PQerrorMessage(connection)) : "out of memory";
}

// The database's notices and warnings, in the server's log rather than bare on stderr.
void logNotice(void*, const char* message) {
    logMessage("database: " + trimmed(message));
}

PGconn* connectTo(const StoreSettings& settings) {
    // The URI comes last, so that what it names wins over ours. An empty password is left
    // out, since it would hide the one in a PGPASSFILE.
    std::vector<const char*> keys = {"connect_timeout"}, values = {connectTimeoutSeconds};
    if (!settings.password.empty()) {
        keys.push_back("password");
        values.push_back(settings.password.c_str());
    }
    keys.insert(keys.end(), {"dbname", nullptr});
    values.insert(values.end(), {settings.location.c_str(), nullptr});
    PGconn* connection = PQconnectdbParams(keys.data(), values.data(), 1);
    if (connection != nullptr)
        PQsetNoticeProcessor(connection, logNotice, nullptr);
    return connection;
}

// Waits for the statement sent to finish, until the time given or the server's stop. Null
// when it did not: the connection is then in an unknown state and must be given up.
PGresult* awaitResult(PGconn* connection, Clock::time_point until,
                      const std::atomic<bool>& stopping) {
    while (PQisBusy(connection)) {
        Clock::time_point now = Clock::now();
        if (stopping || now >= until)
            return nullptr;
        long long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
        pollfd ready{PQsocket(connection), POLLIN, 0};
        if (poll(&ready, 1, int(std::min<long long>(left, stopCheckMillis))) < 0 && errno != EINTR)
            return nullptr;
        if (!PQconsumeInput(connection))
            return nullptr;
    }
    PGresult* result = PQgetResult(connection);
    while (PGresult* more = PQgetResult(connection))
        PQclear(more);
    return result;
}

// Every statement of this connection ends within the time given, waits for locks included,
// and only warnings and errors come back as notices ("already exists, skipping" does not).
// Nothing is prepared on a new connection: a statement prepared on the scores table would
// wait for any lock on it, and a table locked by an operator would then look like a database
// that cannot be reached.
bool setUpConnection(PGconn* connection, const StoreSettings& settings,
                     const std::atomic<bool>& stopping) {
    std::string sql = "SELECT set_config('statement_timeout', '" +
                      std::to_string(settings.statementTime.count()) +
                      "', false), set_config('client_min_messages', 'warning', false)";
    Clock::time_point until = Clock::now() + settings.statementTime + stuckDatabaseGrace;
    return PQsendQuery(connection, sql.c_str()) &&
           Result(awaitResult(connection, until, stopping)).status() == PGRES_TUPLES_OK;
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

// A few connections shared by the worker threads, opened when needed. A lost connection is
// made again by the next request that needs one, with a growing pause between failed attempts.
struct PostgresBackend : ScoreBackend {
    ~PostgresBackend() override {
        for (PGconn* connection : idle)
            PQfinish(connection);
    }
    bool store(const ScoreUpload& upload, Clock::time_point deadline) override;
    bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores,
                     Clock::time_point deadline) override;
    void interrupt() override;
    PGconn* acquire(Clock::time_point deadline);
    PGconn* connectAgain(std::unique_lock<std::mutex>& lock);
    void release(PGconn* connection, bool broken);
    template <typename Send, typename Read>
    bool run(Clock::time_point deadline, Send send, Read read);

    StoreSettings settings;
    std::atomic<bool> stopping{false};
    std::mutex guard;
    std::condition_variable freed;
    std::vector<PGconn*> idle;
    int open = 0;
    Clock::time_point nextAttempt;
    int backoffMillis = 0;
    bool reported = false;
    FailureReports failures;
};

// Connects outside the lock, so that requests on the other connections go on meanwhile.
PGconn* PostgresBackend::connectAgain(std::unique_lock<std::mutex>& lock) {
    ++open;
    lock.unlock();
    PGconn* connection = connectTo(settings);
    bool ready =
        PQstatus(connection) == CONNECTION_OK && setUpConnection(connection, settings, stopping);
    std::string error = ready ? "" : connectionError(connection);
    if (!ready) {
        PQfinish(connection);
        connection = nullptr;
    }
    lock.lock();
    if (ready) {
        if (reported)
            logMessage("database connection restored");
        reported = false;
        backoffMillis = 0;
        return connection;
    }
    --open;
    // Said once per outage, not once per request.
    if (!reported && !stopping)
        logMessage("database unavailable: " + error);
    reported = true;
    backoffMillis = std::min(std::max(firstBackoffMillis, backoffMillis * 2), longestBackoffMillis);
    nextAttempt = Clock::now() + std::chrono::milliseconds(backoffMillis);
    freed.notify_all();
    return nullptr;
}

// An idle connection, a new one, or nullptr while the database is unavailable, when none is
// free by the deadline, or once the server stops.
PGconn* PostgresBackend::acquire(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(guard);
    for (;;) {
        if (stopping)
            return nullptr;
        if (!idle.empty()) {
            PGconn* connection = idle.back();
            idle.pop_back();
            return connection;
        }
        if (open < connectionCount)
            return Clock::now() < nextAttempt ? nullptr : connectAgain(lock);
        if (freed.wait_until(lock, deadline) == std::cv_status::timeout)
            return nullptr;
    }
}

// A broken connection means the database went away: the idle ones are broken too.
void PostgresBackend::release(PGconn* connection, bool broken) {
    std::lock_guard<std::mutex> lock(guard);
    idle.push_back(connection);
    if (broken) {
        open -= int(idle.size());
        for (PGconn* stale : idle)
            PQfinish(stale);
        idle.clear();
        freed.notify_all();
        return;
    }
    freed.notify_one();
}

// Sends a statement on a live connection and reads its result. A connection found broken is
// replaced and the statement sent once more while time is left: both statements can be
// repeated without changing their meaning.
template <typename Send, typename Read>
bool PostgresBackend::run(Clock::time_point deadline, Send send, Read read) {
    for (int attempt = 0; attempt < 2 && Clock::now() < deadline; ++attempt) {
        PGconn* connection = acquire(deadline);
        if (connection == nullptr)
            return false;
        Clock::time_point until = Clock::now() + settings.statementTime + stuckDatabaseGrace;
        Result result(send(connection) ? awaitResult(connection, until, stopping) : nullptr);
        bool broken = result.result == nullptr || PQstatus(connection) != CONNECTION_OK;
        bool done = !broken && read(result.result);
        if (!done && !broken && !stopping)
            reportStoreFailure(failures, "database", trimmed(PQresultErrorMessage(result.result)));
        release(connection, broken);
        if (!broken)
            return done;
    }
    return false;
}

bool PostgresBackend::store(const ScoreUpload& upload, Clock::time_point deadline) {
    std::string scoreText = std::to_string(upload.score);
    const char* values[] = {upload.name.data(), scoreText.c_str()};
    const int lengths[] = {int(upload.name.size()), 0};
    const int formats[] = {binary, 0};
    return run(
        deadline,
        [&](PGconn* connection) {
            return PQsendQueryParams(connection, insertSql, 2, nullptr, values, lengths, formats,
                                     0);
        },
        [](PGresult* result) { return PQresultStatus(result) == PGRES_COMMAND_OK; });
}

int32_t readInt4(const char* bytes) {
    uint32_t networkOrder = 0;
    memcpy(&networkOrder, bytes, sizeof networkOrder);
    return int32_t(ntohl(networkOrder));
}

bool PostgresBackend::fetchRanked(int offset, int limit, std::vector<RankedScore>* scores,
                                  Clock::time_point deadline) {
    std::string limitText = std::to_string(limit), offsetText = std::to_string(offset);
    const char* values[] = {limitText.c_str(), offsetText.c_str()};
    return run(
        deadline,
        [&](PGconn* connection) {
            return PQsendQueryParams(connection, rankSql, 2, nullptr, values, nullptr, nullptr,
                                     binary);
        },
        [&](PGresult* rows) {
            if (PQresultStatus(rows) != PGRES_TUPLES_OK)
                return false;
            scores->clear();
            for (int row = 0; row < PQntuples(rows); ++row) {
                std::string name(PQgetvalue(rows, row, 0), PQgetlength(rows, row, 0));
                if (PQgetlength(rows, row, 1) != 4)
                    return false;
                scores->push_back({name, readInt4(PQgetvalue(rows, row, 1))});
            }
            return true;
        });
}

void PostgresBackend::interrupt() {
    {
        std::lock_guard<std::mutex> lock(guard);
        stopping = true;
    }
    freed.notify_all();
}
} // namespace

std::unique_ptr<ScoreBackend> openPostgresBackend(const StoreSettings& settings,
                                                  std::string* error) {
    auto store = std::make_unique<PostgresBackend>();
    store->settings = settings;
    PGconn* connection = connectTo(settings);
    // The time limit first, so that a table another session has locked cannot hold the start.
    bool ready = PQstatus(connection) == CONNECTION_OK &&
                 setUpConnection(connection, settings, store->stopping) &&
                 prepareSchema(connection, error);
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
