#include "server/store_backends.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const int busyMillis = 2000;

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

// One connection shared by the request threads under a lock. The file is held with an
// exclusive lock while it is open, so that two servers never split the uploads between them.
struct SqliteBackend : ScoreBackend {
    ~SqliteBackend() override;
    bool store(const ScoreUpload& upload) override;
    bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) override;
    bool reportFailure();

    sqlite3* db = nullptr;
    std::mutex guard;
    std::string path;
    int lockFd = -1;
    bool failureReported = false;
};

SqliteBackend::~SqliteBackend() {
    if (db != nullptr)
        sqlite3_close(db);
    if (lockFd >= 0)
        close(lockFd);
}

// SQLite's own locks are taken per transaction; this one lasts as long as the server. It is
// a flock(), which SQLite's fcntl() locks neither see nor release, so readers such as a
// backup still get in. The descriptor stays open until SQLite has closed the file, since
// closing any descriptor of a file drops its fcntl() locks.
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

// Called with the guard held. Once is enough: a damaged file fails every request alike.
bool SqliteBackend::reportFailure() {
    if (!failureReported)
        fprintf(stderr, "orbelle-score-server: %s: %s; requests are answered with 503\n",
                path.c_str(), sqlite3_errmsg(db));
    failureReported = true;
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
} // namespace

std::unique_ptr<ScoreBackend> openSqliteBackend(const std::string& path, std::string* error) {
    auto store = std::make_unique<SqliteBackend>();
    store->path = path;
    if (!lockDatabaseFile(*store, error))
        return nullptr;
    if (sqlite3_open(path.c_str(), &store->db) != SQLITE_OK) {
        *error = store->db ? sqlite3_errmsg(store->db) : "out of memory";
        return nullptr;
    }
    sqlite3_busy_timeout(store->db, busyMillis);
    char* message = nullptr;
    if (sqlite3_exec(store->db, schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        *error = message ? message : "cannot prepare the database";
        sqlite3_free(message);
        return nullptr;
    }
    int version = storedVersion(store->db);
    if (version != scoreSchemaVersion) {
        *error = "schema version " + std::to_string(version) + ", this server knows version " +
                 std::to_string(scoreSchemaVersion);
        return nullptr;
    }
    return store;
}

bool SqliteBackend::store(const ScoreUpload& upload) {
    std::lock_guard<std::mutex> lock(guard);
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(db, insertSql, &statement))
        return reportFailure();
    sqlite3_bind_blob(statement, 1, upload.name.data(), int(upload.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, upload.score);
    bool done = sqlite3_step(statement) == SQLITE_DONE;
    if (!done)
        reportFailure();
    sqlite3_finalize(statement);
    return done;
}

bool SqliteBackend::fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) {
    std::lock_guard<std::mutex> lock(guard);
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(db, rankSql, &statement))
        return reportFailure();
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
    if (stepped != SQLITE_DONE)
        reportFailure();
    sqlite3_finalize(statement);
    return stepped == SQLITE_DONE;
}
