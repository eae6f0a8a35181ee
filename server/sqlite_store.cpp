#include "server/store_backends.h"

#include <mutex>
#include <sqlite3.h>

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
                           "CREATE INDEX IF NOT EXISTS scores_rank ON scores (score DESC, id);"
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

// One connection shared by the request threads under a lock.
struct SqliteBackend : ScoreBackend {
    ~SqliteBackend() override { sqlite3_close(db); }
    bool store(const ScoreUpload& upload) override;
    bool fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) override;

    sqlite3* db = nullptr;
    std::mutex guard;
};

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
        return false;
    sqlite3_bind_blob(statement, 1, upload.name.data(), int(upload.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, upload.score);
    bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    return done;
}

bool SqliteBackend::fetchRanked(int offset, int limit, std::vector<RankedScore>* scores) {
    std::lock_guard<std::mutex> lock(guard);
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(db, rankSql, &statement))
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
