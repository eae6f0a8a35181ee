// Score stores for the server tests: each test gets an empty database of its own.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "server/score_store.h"

// A fresh, empty database: a new SQLite file name, or, when ORBELLE_TEST_PG names the state
// file of the private PostgreSQL cluster (tests/pg/cluster.sh), a new database in it.
inline std::string freshScoreDatabase() {
    static std::atomic<int> count{0};
    std::string tag = "orbelle_" + std::to_string(getpid()) + "_" + std::to_string(++count);
    const char* state = getenv("ORBELLE_TEST_PG");
    if (state == nullptr || *state == '\0') {
        std::string path = testing::TempDir() + tag + ".db";
        std::remove(path.c_str());
        return path;
    }
    std::ifstream file(state);
    std::string line, base;
    while (std::getline(file, line))
        if (line.rfind("uri=", 0) == 0)
            base = line.substr(4);
    PGconn* connection = PQconnectdb(base.c_str());
    PGresult* result = PQexec(connection, ("CREATE DATABASE " + tag).c_str());
    EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(connection);
    PQclear(result);
    PQfinish(connection);
    return base.replace(base.find("/postgres?"), 10, "/" + tag + "?");
}

inline StoreClock::time_point soon() {
    return StoreClock::now() + std::chrono::seconds(2);
}

// The best ten as "name score +;" for entries a replay proves, "name score -;" for the
// others, or "unavailable".
inline std::string listedScores(ScoreStore& store, bool verifiedOnly = false,
                                StoreClock::time_point deadline = soon()) {
    std::vector<RankedScore> scores;
    if (!fetchTopScores(store, 10, verifiedOnly, &scores, deadline))
        return "unavailable";
    std::string text;
    for (const RankedScore& entry : scores)
        text += entry.name + " " + std::to_string(entry.score) + (entry.replayId ? " +;" : " -;");
    return text;
}

// A store open on a fresh database for each test. SQLite removes its -wal and -shm files when
// the last connection closes.
struct StoreTest : testing::Test {
    void SetUp() override { reopen(); }
    void TearDown() override {
        closeScoreStore(store);
        std::remove(settings.location.c_str());
    }
    // Opens the store again, on a fresh database when none is named.
    void reopen() {
        closeScoreStore(store);
        if (settings.location.empty())
            settings.location = freshScoreDatabase();
        ASSERT_TRUE(openScoreStore(store, settings, &error)) << error;
    }
    StoreSettings settings;
    ScoreStore store;
    std::string error;
};

// A connection of its own to a store's database, as an operator's tool would open one.
struct RawDatabase {
    explicit RawDatabase(const std::string& location) {
        if (isPostgresLocation(location))
            pg = PQconnectdb(location.c_str());
        else
            sqlite3_open(location.c_str(), &lite);
    }
    ~RawDatabase() {
        PQfinish(pg);
        sqlite3_close(lite);
    }
    // The first field of the last result, "" for none, or "error".
    std::string run(const std::string& sql) {
        std::string first;
        if (pg != nullptr) {
            PGresult* result = PQexec(pg, sql.c_str());
            ExecStatusType status = PQresultStatus(result);
            first = status == PGRES_TUPLES_OK    ? PQgetvalue(result, 0, 0)
                    : status == PGRES_COMMAND_OK ? ""
                                                 : "error";
            PQclear(result);
            return first;
        }
        auto keep = [](void* out, int, char** values, char**) {
            return *static_cast<std::string*>(out) = values[0], 0;
        };
        return sqlite3_exec(lite, sql.c_str(), keep, &first, nullptr) == SQLITE_OK ? first
                                                                                   : "error";
    }
    PGconn* pg = nullptr;
    sqlite3* lite = nullptr;
};
