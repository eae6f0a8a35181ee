// The store the server tests run against: ORBELLE_TEST_PG names the state file of the private
// PostgreSQL cluster (tests/pg/cluster.sh) for the PostgreSQL run; unset means SQLite.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <libpq-fe.h>
#include <string>
#include <unistd.h>

// A fresh, empty database: a new SQLite file name, or a new database in the cluster, which is
// removed whole after the run.
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
