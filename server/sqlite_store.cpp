#include "server/store_backends.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {
// Readers never wait for the writer (WAL), so a few let rank requests run side by side.
const int readerCount = 3;
// How often a lock held by another program is tried again.
const auto lockedPause = std::chrono::milliseconds(5);

// Names are kept as blobs: the game's names are 8-bit texts, not necessarily UTF-8.
// In WAL mode a NORMAL sync keeps every commit through a crash of the server; only a power
// cut can lose the last few, and it spares an fsync on every upload.
// A database from before the version table is version 1: its scores table is the same.
const std::string schema = "PRAGMA journal_mode=WAL;"
                           "PRAGMA synchronous=NORMAL;"
                           "BEGIN IMMEDIATE;"
                           "CREATE TABLE IF NOT EXISTS scores ("
                           " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " name BLOB NOT NULL,"
                           " score INTEGER NOT NULL,"
                           " UNIQUE (name, score));"
                           "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id);"
                           "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);"
                           "INSERT INTO schema_version SELECT " +
                           std::to_string(scoreSchemaVersion) +
                           " WHERE NOT EXISTS (SELECT 1 FROM schema_version);"
                           "COMMIT;";
const char* const versionSql = "SELECT max(version) FROM schema_version";
const char* const insertSql = "INSERT OR IGNORE INTO scores (name, score) VALUES (?, ?)";
const char* const rankSql =
    "SELECT name, score FROM scores ORDER BY score DESC, id ASC LIMIT ? OFFSET ?";

bool prepareStatement(sqlite3* db, const char* sql, sqlite3_stmt** statement) {
    return sqlite3_prepare_v2(db, sql, -1, statement, nullptr) == SQLITE_OK;
}

// One connection, and the deadline of the call it serves for its busy handler.
struct SqliteConnection {
    ~SqliteConnection() { sqlite3_close(db); }
    sqlite3* db = nullptr;
    StoreClock::time_point deadline;
    const std::atomic<bool>* stopping = nullptr;
};

// A lock that another program holds (an operator's transaction, a backup) is waited out in
// short pauses up to the call's deadline, and no longer once the server stops.
int waitWhileLocked(void* context, int) {
    auto* connection = static_cast<SqliteConnection*>(context);
    StoreClock::time_point now = StoreClock::now();
    if (*connection->stopping || now >= connection->deadline)
        return 0;
    std::this_thread::sleep_for(
        std::min<StoreClock::duration>(lockedPause, connection->deadline - now));
    return 1;
}

bool openConnection(SqliteConnection& connection, const std::string& path,
                    const std::atomic<bool>& stopping, std::string* error) {
    connection.stopping = &stopping;
    if (sqlite3_open(path.c_str(), &connection.db) != SQLITE_OK) {
        *error = connection.db ? sqlite3_errmsg(connection.db) : "out of memory";
        return false;
    }
    sqlite3_busy_handler(connection.db, waitWhileLocked, &connection);
    return true;
}

// Connections that one call at a time may take, waiting for one up to its deadline.
struct ConnectionPool {
    std::vector<std::unique_ptr<SqliteConnection>> all;
    std::vector<SqliteConnection*> idle;
    std::mutex guard;
    std::condition_variable freed;
};

SqliteConnection* take(ConnectionPool& pool, StoreClock::time_point deadline,
                       const std::atomic<bool>& stopping) {
    std::unique_lock<std::mutex> lock(pool.guard);
    if (!pool.freed.wait_until(lock, deadline, [&] { return stopping || !pool.idle.empty(); }) ||
        stopping)
        return nullptr;
    SqliteConnection* connection = pool.idle.back();
    pool.idle.pop_back();
    connection->deadline = deadline;
    return connection;
}

void giveBack(ConnectionPool& pool, SqliteConnection* connection) {
    {
        std::lock_guard<std::mutex> lock(pool.guard);
        pool.idle.push_back(connection);
    }
    pool.freed.notify_one();
}

// One connection writes; a few others read. The file is held with an exclusive lock while it
// is open, so that two servers never split the uploads between them.
struct SqliteBackend : ScoreBackend {
    ~SqliteBackend() override;
    bool store(const ScoreUpload& upload, StoreClock::time_point deadline) override;
    bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores,
                     StoreClock::time_point deadline) override;
    void interrupt() override;
    bool fail(SqliteConnection& connection);

    std::string path;
    int lockFd = -1;
    std::atomic<bool> stopping{false};
    ConnectionPool writers, readers;
    FailureReports failures;
};

// The lock's descriptor is closed last: closing any descriptor of a file drops the fcntl()
// locks that SQLite holds on it.
SqliteBackend::~SqliteBackend() {
    readers.all.clear();
    writers.all.clear();
    if (lockFd >= 0)
        close(lockFd);
}

// SQLite's own locks are taken per transaction; this one lasts as long as the server. It is
// a flock(), which SQLite's fcntl() locks neither see nor release, so readers such as a
// backup still get in.
bool lockDatabaseFile(SqliteBackend& store, std::string* error) {
    store.lockFd = open(store.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (store.lockFd < 0) {
        *error = strerror(errno);
        return false;
    }
    if (flock(store.lockFd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? "in use by another orbelle-score-server" : strerror(errno);
        close(store.lockFd);
        store.lockFd = -1;
        return false;
    }
    return true;
}

// A write past a file-size limit (ulimit -f, LimitFSIZE=) fails as a mere "disk I/O error".
std::string fileSizeLimitNote() {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return "";
    return " (files may hold " + std::to_string(limit.rlim_cur) + " bytes at most)";
}

// Called while the connection is held. A call cut short by the server's stop is no failure.
bool SqliteBackend::fail(SqliteConnection& connection) {
    if (stopping)
        return false;
    std::string reason = sqlite3_errmsg(connection.db);
    if (sqlite3_errcode(connection.db) == SQLITE_IOERR)
        reason += fileSizeLimitNote();
    reportStoreFailure(failures, path, reason);
    return false;
}

int storedVersion(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(db, versionSql, &statement))
        return -1;
    int version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return version;
}

bool prepareSchema(SqliteConnection& writer, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(writer.db, schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        *error = message ? message : "cannot prepare the database";
        sqlite3_free(message);
        return false;
    }
    int version = storedVersion(writer.db);
    if (version == scoreSchemaVersion)
        return true;
    *error = "schema version " + std::to_string(version) + ", this server knows version " +
             std::to_string(scoreSchemaVersion);
    return false;
}

bool readRanked(SqliteConnection& reader, int offset, int limit, std::vector<RankedScore>* scores) {
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(reader.db, rankSql, &statement))
        return false;
    sqlite3_bind_int(statement, 1, limit);
    sqlite3_bind_int(statement, 2, offset);
    scores->clear();
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        const void* name = sqlite3_column_blob(statement, 0);
        int nameLength = sqlite3_column_bytes(statement, 0);
        std::string nameText(name ? static_cast<const char*>(name) : "", size_t(nameLength));
        scores->push_back({nameText, int32_t(sqlite3_column_int64(statement, 1))});
    }
    sqlite3_finalize(statement);
    return stepped == SQLITE_DONE;
}

// A pool of count connections to the store's file.
bool openPool(SqliteBackend& store, ConnectionPool& pool, int count, std::string* error) {
    for (int i = 0; i < count; ++i) {
        pool.all.push_back(std::make_unique<SqliteConnection>());
        if (!openConnection(*pool.all.back(), store.path, store.stopping, error))
            return false;
        pool.idle.push_back(pool.all.back().get());
    }
    return true;
}
} // namespace

std::unique_ptr<ScoreBackend> openSqliteBackend(const StoreSettings& settings, std::string* error) {
    auto store = std::make_unique<SqliteBackend>();
    store->path = settings.location;
    if (!lockDatabaseFile(*store, error) || !openPool(*store, store->writers, 1, error))
        return nullptr;
    SqliteConnection& writer = *store->writers.all[0];
    writer.deadline = StoreClock::now() + settings.statementTime;
    if (!prepareSchema(writer, error) || !openPool(*store, store->readers, readerCount, error))
        return nullptr;
    return store;
}

bool SqliteBackend::store(const ScoreUpload& upload, StoreClock::time_point deadline) {
    SqliteConnection* writer = take(writers, deadline, stopping);
    if (writer == nullptr)
        return false;
    sqlite3_stmt* statement = nullptr;
    bool done = prepareStatement(writer->db, insertSql, &statement);
    if (done) {
        sqlite3_bind_blob(statement, 1, upload.name.data(), int(upload.name.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(statement, 2, upload.score);
        done = sqlite3_step(statement) == SQLITE_DONE;
    }
    if (!done)
        fail(*writer);
    sqlite3_finalize(statement);
    giveBack(writers, writer);
    return done;
}

bool SqliteBackend::fetchRanked(int offset, int limit, std::vector<RankedScore>* scores,
                                StoreClock::time_point deadline) {
    SqliteConnection* reader = take(readers, deadline, stopping);
    if (reader == nullptr)
        return false;
    bool done = readRanked(*reader, offset, limit, scores) || fail(*reader);
    giveBack(readers, reader);
    return done;
}

// Only waits for another program's lock can last; the busy handler ends those. An
// sqlite3_interrupt() would outlast the calls it cuts short and stop the checkpoint that
// closing the database makes, leaving the WAL behind.
void SqliteBackend::interrupt() {
    for (ConnectionPool* pool : {&writers, &readers}) {
        {
            std::lock_guard<std::mutex> lock(pool->guard);
            stopping = true;
        }
        pool->freed.notify_all();
    }
}
