#include "server/store_backends.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
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

// A replay belongs to its entry and goes with it, whatever program deletes the entry.
const char* const tablesSql =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " name bytea NOT NULL,"
    " score integer NOT NULL,"
    " UNIQUE (name, score));"
    "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id);"
    "CREATE TABLE IF NOT EXISTS replays ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " entry bigint NOT NULL UNIQUE REFERENCES scores (id) ON DELETE CASCADE,"
    " round bytea NOT NULL UNIQUE,"
    " body bytea NOT NULL);"
    "CREATE TABLE IF NOT EXISTS bans (name bytea PRIMARY KEY);";
const std::string lockSchemaSql =
    "BEGIN; SELECT pg_advisory_xact_lock(" + std::string(schemaLockKey) +
    "); CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL);";
// A database from before the version table is version 1: its scores table is the same.
const char* const versionSql = "SELECT coalesce(max(version), 1) FROM schema_version";
const char* const insertSql =
    "WITH banned AS (SELECT EXISTS (SELECT 1 FROM bans WHERE name = $1::bytea) AS yes),"
    " added AS (INSERT INTO scores (name, score) SELECT $1::bytea, $2::integer FROM banned"
    " WHERE NOT yes ON CONFLICT (name, score) DO NOTHING)"
    " SELECT yes FROM banned";
// One statement, so that the entry, its replay and the looks at the bans and the rounds kept
// are one transaction. The update that changes nothing gives the id of an entry that was there
// before, also of one that another server has just stored.
const char* const replaySql =
    "WITH banned AS (SELECT EXISTS (SELECT 1 FROM bans WHERE name = $1::bytea) AS yes),"
    " taken AS (SELECT EXISTS (SELECT 1 FROM replays AS r JOIN scores AS s ON s.id = r.entry"
    " WHERE r.round = $3::bytea AND NOT (s.name = $1::bytea AND s.score = $2::integer)) AS yes),"
    " entry AS (INSERT INTO scores (name, score) SELECT $1::bytea, $2::integer FROM banned, taken"
    " WHERE NOT banned.yes AND NOT taken.yes"
    " ON CONFLICT (name, score) DO UPDATE SET score = EXCLUDED.score RETURNING id),"
    " kept AS (INSERT INTO replays (entry, round, body) SELECT id, $3::bytea, $4::bytea FROM entry"
    " ON CONFLICT DO NOTHING)"
    " SELECT banned.yes, taken.yes FROM banned, taken";
const char* const rankSql[] = {
    "SELECT s.name, s.score, coalesce(r.id, 0) FROM scores AS s"
    " LEFT JOIN replays AS r ON r.entry = s.id ORDER BY s.score DESC, s.id LIMIT $1 OFFSET $2",
    "SELECT s.name, s.score, r.id FROM scores AS s"
    " JOIN replays AS r ON r.entry = s.id ORDER BY s.score DESC, s.id LIMIT $1 OFFSET $2"};
const char* const fetchReplaySql = "SELECT body FROM replays WHERE id = $1";
const char* const removeSql = "DELETE FROM scores WHERE name = $1 AND score = $2";
const char* const banSql[] = {"DELETE FROM bans WHERE name = $1",
                              "INSERT INTO bans (name) VALUES ($1) ON CONFLICT (name) DO NOTHING"};
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

// The integer in the first field of a result, or -1.
int firstNumber(PGconn* connection, const char* sql) {
    Result got(PQexec(connection, sql));
    return got.status() == PGRES_TUPLES_OK && PQntuples(got.result) == 1
               ? atoi(PQgetvalue(got.result, 0, 0))
               : -1;
}

// Creates the tables when missing and brings an older database up to them; false with a
// reason when they cannot be used. Servers starting at once take their turns.
bool prepareSchema(PGconn* connection, std::string* error) {
    Result locked(PQexec(connection, lockSchemaSql.c_str()));
    int version = locked.status() == PGRES_COMMAND_OK ? firstNumber(connection, versionSql) : -1;
    std::string upgrade = std::string(tablesSql) +
                          "DELETE FROM schema_version; INSERT INTO schema_version VALUES (" +
                          std::to_string(scoreSchemaVersion) + ");";
    bool ready = version == scoreSchemaVersion ||
                 (version > 0 && version < scoreSchemaVersion &&
                  Result(PQexec(connection, upgrade.c_str())).status() == PGRES_COMMAND_OK);
    if (!ready)
        *error = version > scoreSchemaVersion
                     ? "schema version " + std::to_string(version) +
                           ", this server knows version " + std::to_string(scoreSchemaVersion)
                     : connectionError(connection);
    ready =
        Result(PQexec(connection, ready ? "COMMIT" : "ROLLBACK")).status() == PGRES_COMMAND_OK &&
        ready;
    if (!ready && error->empty())
        *error = connectionError(connection);
    return ready;
}

// A statement's parameters: byte strings go as they are, numbers as text.
struct Params {
    Params& bytes(const std::string& value) {
        values.push_back(value.data());
        lengths.push_back(int(value.size()));
        formats.push_back(binary);
        return *this;
    }
    Params& number(int64_t value) {
        texts.push_back(std::to_string(value));
        values.push_back(texts.back().c_str());
        lengths.push_back(0);
        formats.push_back(0);
        return *this;
    }
    std::deque<std::string> texts; // where the numbers' texts stay put
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
};

// A few connections shared by the worker threads, opened when needed. A lost connection is
// made again by the next request that needs one, with a growing pause between failed attempts.
struct PostgresBackend : ScoreBackend {
    ~PostgresBackend() override {
        for (PGconn* connection : idle)
            PQfinish(connection);
    }
    StoreAnswer store(const ScoreUpload& upload, Clock::time_point deadline) override;
    StoreAnswer storeReplay(const ScoreUpload& entry, const std::string& round,
                            const std::string& replay, Clock::time_point deadline) override;
    bool fetchRanked(int offset, int limit, bool verifiedOnly, std::vector<RankedScore>* scores,
                     Clock::time_point deadline) override;
    StoreAnswer fetchReplay(int64_t id, std::string* replay, Clock::time_point deadline) override;
    StoreAnswer remove(const ScoreUpload& entry, Clock::time_point deadline) override;
    StoreAnswer setBanned(const std::string& name, bool banned,
                          Clock::time_point deadline) override;
    void interrupt() override;
    PGconn* acquire(Clock::time_point deadline);
    PGconn* connectAgain(std::unique_lock<std::mutex>& lock);
    void release(PGconn* connection, bool broken);
    template <typename Read>
    StoreAnswer run(Clock::time_point deadline, const char* sql, const Params& params, Read read);

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

// Sends a statement on a live connection and reads its result, in binary. A connection found
// broken is replaced and the statement sent once more while time is left: every statement
// here can be repeated without changing its meaning.
template <typename Read>
StoreAnswer PostgresBackend::run(Clock::time_point deadline, const char* sql, const Params& params,
                                 Read read) {
    for (int attempt = 0; attempt < 2 && Clock::now() < deadline; ++attempt) {
        PGconn* connection = acquire(deadline);
        if (connection == nullptr)
            return StoreAnswer::unavailable;
        Clock::time_point until = Clock::now() + settings.statementTime + stuckDatabaseGrace;
        bool sent = PQsendQueryParams(connection, sql, int(params.values.size()), nullptr,
                                      params.values.data(), params.lengths.data(),
                                      params.formats.data(), binary);
        Result result(sent ? awaitResult(connection, until, stopping) : nullptr);
        bool broken = result.result == nullptr || PQstatus(connection) != CONNECTION_OK;
        StoreAnswer answer = broken ? StoreAnswer::unavailable : read(result.result);
        if (answer == StoreAnswer::unavailable && !broken && !stopping)
            reportStoreFailure(failures, "database", trimmed(PQresultErrorMessage(result.result)));
        release(connection, broken);
        if (!broken)
            return answer;
    }
    return StoreAnswer::unavailable;
}

uint64_t readNumber(const char* bytes, int length) {
    uint64_t value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

// The booleans that the inserts answer: whether the name is banned, and for a replay whether
// its round is taken.
StoreAnswer bannedOrDone(PGresult* result) {
    if (PQresultStatus(result) != PGRES_TUPLES_OK || PQntuples(result) != 1)
        return StoreAnswer::unavailable;
    if (*PQgetvalue(result, 0, 0))
        return StoreAnswer::banned;
    return PQnfields(result) > 1 && *PQgetvalue(result, 0, 1) ? StoreAnswer::taken
                                                              : StoreAnswer::done;
}

// done when the command changed a row, none when it changed nothing.
StoreAnswer rowsChanged(PGresult* result) {
    if (PQresultStatus(result) != PGRES_COMMAND_OK)
        return StoreAnswer::unavailable;
    return atoi(PQcmdTuples(result)) > 0 ? StoreAnswer::done : StoreAnswer::none;
}

StoreAnswer PostgresBackend::store(const ScoreUpload& upload, Clock::time_point deadline) {
    return run(deadline, insertSql, Params().bytes(upload.name).number(upload.score), bannedOrDone);
}

StoreAnswer PostgresBackend::storeReplay(const ScoreUpload& entry, const std::string& round,
                                         const std::string& replay, Clock::time_point deadline) {
    Params params;
    params.bytes(entry.name).number(entry.score).bytes(round).bytes(replay);
    return run(deadline, replaySql, params, bannedOrDone);
}

bool PostgresBackend::fetchRanked(int offset, int limit, bool verifiedOnly,
                                  std::vector<RankedScore>* scores, Clock::time_point deadline) {
    auto read = [&](PGresult* rows) {
        if (PQresultStatus(rows) != PGRES_TUPLES_OK)
            return StoreAnswer::unavailable;
        scores->clear();
        for (int row = 0; row < PQntuples(rows); ++row) {
            if (PQgetlength(rows, row, 1) != 4 || PQgetlength(rows, row, 2) != 8)
                return StoreAnswer::unavailable;
            scores->push_back({std::string(PQgetvalue(rows, row, 0), PQgetlength(rows, row, 0)),
                               int32_t(readNumber(PQgetvalue(rows, row, 1), 4)),
                               int64_t(readNumber(PQgetvalue(rows, row, 2), 8))});
        }
        return StoreAnswer::done;
    };
    return run(deadline, rankSql[verifiedOnly], Params().number(limit).number(offset), read) ==
           StoreAnswer::done;
}

StoreAnswer PostgresBackend::fetchReplay(int64_t id, std::string* replay,
                                         Clock::time_point deadline) {
    return run(deadline, fetchReplaySql, Params().number(id), [&](PGresult* rows) {
        if (PQresultStatus(rows) != PGRES_TUPLES_OK)
            return StoreAnswer::unavailable;
        if (PQntuples(rows) == 0)
            return StoreAnswer::none;
        replay->assign(PQgetvalue(rows, 0, 0), size_t(PQgetlength(rows, 0, 0)));
        return StoreAnswer::done;
    });
}

StoreAnswer PostgresBackend::remove(const ScoreUpload& entry, Clock::time_point deadline) {
    return run(deadline, removeSql, Params().bytes(entry.name).number(entry.score), rowsChanged);
}

StoreAnswer PostgresBackend::setBanned(const std::string& name, bool banned,
                                       Clock::time_point deadline) {
    return run(deadline, banSql[banned], Params().bytes(name), rowsChanged);
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
