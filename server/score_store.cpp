#include "server/score_store.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const int busyMillis = 2000;

// Names are kept as blobs: the game's names are 8-bit texts, not necessarily UTF-8.
// In WAL mode a NORMAL sync keeps every commit through a crash of the server; only a power
// cut can lose the last few, and it spares an fsync on every upload.
const char* const schema = "PRAGMA journal_mode=WAL;"
                           "PRAGMA synchronous=NORMAL;"
                           "CREATE TABLE IF NOT EXISTS scores ("
                           " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " name BLOB NOT NULL,"
                           " score INTEGER NOT NULL,"
                           " UNIQUE (name, score));"
                           // A rank is then a short walk down an index, not a sort of the table.
                           "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id);";
const char* const insertSql = "INSERT OR IGNORE INTO scores (name, score) VALUES (?, ?)";
const char* const rankSql =
    "SELECT name, score FROM scores ORDER BY score DESC, id ASC LIMIT 1 OFFSET ?";

bool prepareStatement(sqlite3* db, const char* sql, sqlite3_stmt** statement) {
    return sqlite3_prepare_v2(db, sql, -1, statement, nullptr) == SQLITE_OK;
}

// SQLite's own locks are taken per transaction; this one lasts as long as the server. It is
// a flock(), which SQLite's fcntl() locks neither see nor release, so readers such as a
// backup still get in. The descriptor stays open until SQLite has closed the file, since
// closing any descriptor of a file drops its fcntl() locks.
bool lockDatabaseFile(ScoreStore& store, std::string* error) {
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
bool reportFailure(ScoreStore& store) {
    if (!store.failureReported)
        fprintf(stderr, "orbelle-score-server: %s: %s; requests are answered with 503\n",
                store.path.c_str(), sqlite3_errmsg(store.db));
    store.failureReported = true;
    return false;
}
} // namespace

bool openScoreStore(ScoreStore& store, const std::string& path, std::string* error) {
    store.path = path;
    if (!lockDatabaseFile(store, error))
        return false;
    if (sqlite3_open(path.c_str(), &store.db) != SQLITE_OK) {
        *error = store.db ? sqlite3_errmsg(store.db) : "out of memory";
        closeScoreStore(store);
        return false;
    }
    sqlite3_busy_timeout(store.db, busyMillis);
    char* message = nullptr;
    if (sqlite3_exec(store.db, schema, nullptr, nullptr, &message) != SQLITE_OK) {
        *error = message ? message : "cannot prepare the database";
        sqlite3_free(message);
        closeScoreStore(store);
        return false;
    }
    return true;
}

void closeScoreStore(ScoreStore& store) {
    std::lock_guard<std::mutex> lock(store.guard);
    if (store.db != nullptr)
        sqlite3_close(store.db);
    store.db = nullptr;
    if (store.lockFd >= 0)
        close(store.lockFd);
    store.lockFd = -1;
}

bool storeScore(ScoreStore& store, const ScoreUpload& upload) {
    std::lock_guard<std::mutex> lock(store.guard);
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(store.db, insertSql, &statement))
        return reportFailure(store);
    sqlite3_bind_blob(statement, 1, upload.name.data(), int(upload.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, upload.score);
    bool done = sqlite3_step(statement) == SQLITE_DONE;
    if (!done)
        reportFailure(store);
    sqlite3_finalize(statement);
    return done;
}

bool fetchRankLine(ScoreStore& store, int rank, std::string* line) {
    std::lock_guard<std::mutex> lock(store.guard);
    sqlite3_stmt* statement = nullptr;
    if (!prepareStatement(store.db, rankSql, &statement))
        return reportFailure(store);
    sqlite3_bind_int(statement, 1, rank - 1);
    int stepped = sqlite3_step(statement);
    line->clear();
    if (stepped == SQLITE_ROW) {
        const void* name = sqlite3_column_blob(statement, 0);
        int nameLength = sqlite3_column_bytes(statement, 0);
        std::string nameText(name ? static_cast<const char*>(name) : "", size_t(nameLength));
        *line = rankLineText(nameText, int32_t(sqlite3_column_int64(statement, 1)));
    }
    bool read = stepped == SQLITE_ROW || stepped == SQLITE_DONE;
    if (!read)
        reportFailure(store);
    sqlite3_finalize(statement);
    return read;
}
