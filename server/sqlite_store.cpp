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
// A replay belongs to its entry: the trigger takes it along when the entry goes, whatever
// program deletes it (sqlite3 leaves foreign keys unenforced unless asked). AUTOINCREMENT
// keeps a removed replay's number from ever naming another one.
const char* const tablesSql =
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " name BLOB NOT NULL,"
    " score INTEGER NOT NULL,"
    " UNIQUE (name, score));"
    "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id);"
    "CREATE TABLE IF NOT EXISTS replays ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " entry INTEGER NOT NULL UNIQUE REFERENCES scores (id) ON DELETE CASCADE,"
    " round BLOB NOT NULL UNIQUE,"
    " body BLOB NOT NULL);"
    "CREATE TRIGGER IF NOT EXISTS replays_follow_entries AFTER DELETE ON scores"
    " BEGIN DELETE FROM replays WHERE entry = old.id; END;"
    "CREATE TABLE IF NOT EXISTS bans (name BLOB PRIMARY KEY);";
// In WAL mode a NORMAL sync keeps every commit through a crash of the server; only a power
// cut can lose the last few, and it spares an fsync on every upload.
const char* const openSql = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";
// A database from before the version table is version 1: its scores table is the same.
const char* const versionTableSql =
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)";
const char* const versionSql = "SELECT coalesce(max(version), 1) FROM schema_version";
const char* const insertSql = "INSERT OR IGNORE INTO scores (name, score) SELECT ?1, ?2"
                              " WHERE NOT EXISTS (SELECT 1 FROM bans WHERE name = ?1)";
const char* const bannedSql = "SELECT 1 FROM bans WHERE name = ?";
const char* const entrySql = "INSERT OR IGNORE INTO scores (name, score) VALUES (?, ?)";
const char* const takenSql = "SELECT 1 FROM replays AS r JOIN scores AS s ON s.id = r.entry"
                             " WHERE r.round = ?3 AND NOT (s.name = ?1 AND s.score = ?2)";
const char* const replaySql = "INSERT OR IGNORE INTO replays (entry, round, body)"
                              " SELECT id, ?3, ?4 FROM scores WHERE name = ?1 AND score = ?2";
const char* const rankSql[] = {
    "SELECT s.name, s.score, r.id FROM scores AS s LEFT JOIN replays AS r ON r.entry = s.id"
    " ORDER BY s.score DESC, s.id LIMIT ? OFFSET ?",
    "SELECT s.name, s.score, r.id FROM scores AS s JOIN replays AS r ON r.entry = s.id"
    " ORDER BY s.score DESC, s.id LIMIT ? OFFSET ?"};
const char* const fetchReplaySql = "SELECT body FROM replays WHERE id = ?";
const char* const removeSql = "DELETE FROM scores WHERE name = ? AND score = ?";
const char* const banSql[] = {"DELETE FROM bans WHERE name = ?",
                              "INSERT OR IGNORE INTO bans (name) VALUES (?)"};

// What the last call of SQLite that failed on this thread said. A store call reports it once
// it is over: the statements finalized after the failure, or a rollback, leave the connection
// itself saying "not an error".
struct Failure {
    int code = SQLITE_OK;
    std::string reason;
};
thread_local Failure lastFailure;

int noted(sqlite3* db, int result) {
    if (result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE)
        lastFailure = {sqlite3_errcode(db), sqlite3_errmsg(db)};
    return result;
}

bool execute(sqlite3* db, const char* sql) {
    return noted(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) == SQLITE_OK;
}

// One statement, finalized when it goes out of scope.
struct Statement {
    Statement(sqlite3* db, const char* sql)
        : db(db),
          prepared(noted(db, sqlite3_prepare_v2(db, sql, -1, &statement, nullptr)) == SQLITE_OK) {}
    ~Statement() { sqlite3_finalize(statement); }
    Statement& bytes(int index, const std::string& value) {
        sqlite3_bind_blob(statement, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& number(int index, int64_t value) {
        sqlite3_bind_int64(statement, index, value);
        return *this;
    }
    int step() { return prepared ? noted(db, sqlite3_step(statement)) : SQLITE_ERROR; }
    std::string columnBytes(int column) {
        const void* data = sqlite3_column_blob(statement, column);
        return std::string(data ? static_cast<const char*>(data) : "",
                           size_t(sqlite3_column_bytes(statement, column)));
    }
    sqlite3_stmt* statement = nullptr;
    sqlite3* db;
    bool prepared;
};

// done when the statement ran and changed a row, none when it ran and changed nothing.
StoreAnswer changed(sqlite3* db, Statement& statement) {
    if (statement.step() != SQLITE_DONE)
        return StoreAnswer::unavailable;
    return sqlite3_changes(db) > 0 ? StoreAnswer::done : StoreAnswer::none;
}

// banned when the name is, otherwise the answer given.
StoreAnswer unlessBanned(sqlite3* db, const std::string& name, StoreAnswer otherwise) {
    switch (Statement(db, bannedSql).bytes(1, name).step()) {
    case SQLITE_ROW:
        return StoreAnswer::banned;
    case SQLITE_DONE:
        return otherwise;
    default:
        return StoreAnswer::unavailable;
    }
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

bool openConnection(SqliteConnection& connection, const std::string& path, int flags,
                    const std::atomic<bool>& stopping, std::string* error) {
    connection.stopping = &stopping;
    if (sqlite3_open_v2(path.c_str(), &connection.db, flags, nullptr) != SQLITE_OK) {
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

// One connection writes; a few others read. A server holds the file with an exclusive lock
// while it is open, so that two servers never split the uploads between them. A command that
// removes an entry or bans a name is no second server: it writes through SQLite's own locks,
// which let it in between the server's statements, and leaves the server's lock alone.
struct SqliteBackend : ScoreBackend {
    ~SqliteBackend() override;
    StoreAnswer store(const ScoreUpload& upload, StoreClock::time_point deadline) override;
    StoreAnswer storeReplay(const ScoreUpload& entry, const std::string& round,
                            const std::string& replay, StoreClock::time_point deadline) override;
    bool fetchRanked(int offset, int limit, bool verifiedOnly, std::vector<RankedScore>* scores,
                     StoreClock::time_point deadline) override;
    StoreAnswer fetchReplay(int64_t id, std::string* replay,
                            StoreClock::time_point deadline) override;
    StoreAnswer remove(const ScoreUpload& entry, StoreClock::time_point deadline) override;
    StoreAnswer setBanned(const std::string& name, bool banned,
                          StoreClock::time_point deadline) override;
    void interrupt() override;
    template <typename Work>
    StoreAnswer use(ConnectionPool& pool, StoreClock::time_point deadline, Work work);
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
    std::string reason =
        lastFailure.reason.empty() ? sqlite3_errmsg(connection.db) : lastFailure.reason;
    if (lastFailure.code == SQLITE_IOERR)
        reason += fileSizeLimitNote();
    reportStoreFailure(failures, path, reason);
    return false;
}

// Runs work(db) on a connection of the pool; a failure is reported while the connection still
// holds its reason.
template <typename Work>
StoreAnswer SqliteBackend::use(ConnectionPool& pool, StoreClock::time_point deadline, Work work) {
    SqliteConnection* connection = take(pool, deadline, stopping);
    if (connection == nullptr)
        return StoreAnswer::unavailable;
    lastFailure = Failure();
    StoreAnswer answer = work(connection->db);
    if (answer == StoreAnswer::unavailable)
        fail(*connection);
    giveBack(pool, connection);
    return answer;
}

// work(db) inside one transaction, kept only when it is done.
template <typename Work> StoreAnswer inTransaction(sqlite3* db, Work work) {
    if (!execute(db, "BEGIN IMMEDIATE"))
        return StoreAnswer::unavailable;
    StoreAnswer answer = work(db);
    if (answer == StoreAnswer::done && !execute(db, "COMMIT"))
        answer = StoreAnswer::unavailable;
    if (answer != StoreAnswer::done)
        execute(db, "ROLLBACK");
    return answer;
}

int storedVersion(sqlite3* db) {
    Statement version(db, versionSql);
    return version.step() == SQLITE_ROW ? sqlite3_column_int(version.statement, 0) : -1;
}

// Brings an older database up to this server's tables; a newer one is left as it is.
StoreAnswer upgradeSchema(sqlite3* db, std::string* error) {
    int version = execute(db, versionTableSql) ? storedVersion(db) : -1;
    if (version < 0 || version > scoreSchemaVersion) {
        *error = version < 0
                     ? sqlite3_errmsg(db)
                     : "schema version " + std::to_string(version) +
                           ", this server knows version " + std::to_string(scoreSchemaVersion);
        return StoreAnswer::none;
    }
    if (version == scoreSchemaVersion)
        return StoreAnswer::done;
    std::string setVersion = "DELETE FROM schema_version; INSERT INTO schema_version VALUES (" +
                             std::to_string(scoreSchemaVersion) + ");";
    if (execute(db, tablesSql) && execute(db, setVersion.c_str()))
        return StoreAnswer::done;
    *error = sqlite3_errmsg(db);
    return StoreAnswer::none;
}

bool prepareSchema(SqliteConnection& writer, std::string* error) {
    if (!execute(writer.db, openSql) || inTransaction(writer.db, [&](sqlite3* db) {
                                            return upgradeSchema(db, error);
                                        }) == StoreAnswer::unavailable) {
        *error = lastFailure.reason;
        return false;
    }
    return error->empty();
}

// A pool of count connections to the store's file.
bool openPool(SqliteBackend& store, ConnectionPool& pool, int count, int flags,
              std::string* error) {
    for (int i = 0; i < count; ++i) {
        pool.all.push_back(std::make_unique<SqliteConnection>());
        if (!openConnection(*pool.all.back(), store.path, flags, store.stopping, error))
            return false;
        pool.idle.push_back(pool.all.back().get());
    }
    return true;
}
} // namespace

// Beside a server the file must be there already: a mistyped name makes no new database.
std::unique_ptr<ScoreBackend> openSqliteBackend(const StoreSettings& settings, std::string* error) {
    auto store = std::make_unique<SqliteBackend>();
    store->path = settings.location;
    int flags = SQLITE_OPEN_READWRITE | (settings.besideServer ? 0 : SQLITE_OPEN_CREATE);
    if ((!settings.besideServer && !lockDatabaseFile(*store, error)) ||
        !openPool(*store, store->writers, 1, flags, error))
        return nullptr;
    SqliteConnection& writer = *store->writers.all[0];
    writer.deadline = StoreClock::now() + settings.statementTime;
    int readers = settings.besideServer ? 1 : readerCount;
    if (!prepareSchema(writer, error) || !openPool(*store, store->readers, readers, flags, error))
        return nullptr;
    return store;
}

StoreAnswer SqliteBackend::store(const ScoreUpload& upload, StoreClock::time_point deadline) {
    return use(writers, deadline, [&](sqlite3* db) {
        Statement insert(db, insertSql);
        StoreAnswer answer = changed(db, insert.bytes(1, upload.name).number(2, upload.score));
        // Nothing stored: the entry was there already, or the name is banned.
        return answer == StoreAnswer::none ? unlessBanned(db, upload.name, StoreAnswer::done)
                                           : answer;
    });
}

StoreAnswer SqliteBackend::storeReplay(const ScoreUpload& entry, const std::string& round,
                                       const std::string& replay, StoreClock::time_point deadline) {
    return use(writers, deadline, [&](sqlite3* db) {
        return inTransaction(db, [&](sqlite3*) {
            Statement taken(db, takenSql), insertEntry(db, entrySql), insertReplay(db, replaySql);
            taken.bytes(1, entry.name).number(2, entry.score).bytes(3, round);
            int seen = taken.step();
            if (seen != SQLITE_DONE)
                return seen == SQLITE_ROW ? StoreAnswer::taken : StoreAnswer::unavailable;
            StoreAnswer answer = unlessBanned(db, entry.name, StoreAnswer::done);
            if (answer != StoreAnswer::done)
                return answer;
            insertEntry.bytes(1, entry.name).number(2, entry.score);
            insertReplay.bytes(1, entry.name).number(2, entry.score).bytes(3, round);
            insertReplay.bytes(4, replay);
            bool stored = insertEntry.step() == SQLITE_DONE && insertReplay.step() == SQLITE_DONE;
            return stored ? StoreAnswer::done : StoreAnswer::unavailable;
        });
    });
}

bool SqliteBackend::fetchRanked(int offset, int limit, bool verifiedOnly,
                                std::vector<RankedScore>* scores, StoreClock::time_point deadline) {
    StoreAnswer answer = use(readers, deadline, [&](sqlite3* db) {
        Statement rows(db, rankSql[verifiedOnly]);
        rows.number(1, limit).number(2, offset);
        scores->clear();
        int stepped = SQLITE_ROW;
        while ((stepped = rows.step()) == SQLITE_ROW)
            scores->push_back({rows.columnBytes(0),
                               int32_t(sqlite3_column_int64(rows.statement, 1)),
                               sqlite3_column_int64(rows.statement, 2)});
        return stepped == SQLITE_DONE ? StoreAnswer::done : StoreAnswer::unavailable;
    });
    return answer == StoreAnswer::done;
}

StoreAnswer SqliteBackend::fetchReplay(int64_t id, std::string* replay,
                                       StoreClock::time_point deadline) {
    return use(readers, deadline, [&](sqlite3* db) {
        Statement row(db, fetchReplaySql);
        switch (row.number(1, id).step()) {
        case SQLITE_ROW:
            *replay = row.columnBytes(0);
            return StoreAnswer::done;
        case SQLITE_DONE:
            return StoreAnswer::none;
        default:
            return StoreAnswer::unavailable;
        }
    });
}

StoreAnswer SqliteBackend::remove(const ScoreUpload& entry, StoreClock::time_point deadline) {
    return use(writers, deadline, [&](sqlite3* db) {
        Statement removal(db, removeSql);
        return changed(db, removal.bytes(1, entry.name).number(2, entry.score));
    });
}

StoreAnswer SqliteBackend::setBanned(const std::string& name, bool banned,
                                     StoreClock::time_point deadline) {
    return use(writers, deadline, [&](sqlite3* db) {
        Statement change(db, banSql[banned]);
        return changed(db, change.bytes(1, name));
    });
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
