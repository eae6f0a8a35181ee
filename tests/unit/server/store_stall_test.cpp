// A store whose database another program has locked (an operator's transaction, a backup):
// calls end at their deadline or at the server's stop instead of waiting out the lock.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <future>
#include <thread>

#include "server/score_store.h"
#include "tests/support/local_servers.h"

namespace {
using std::chrono::milliseconds;

// Holds the write lock of an SQLite file, or LOCK TABLE scores in PostgreSQL, while it lives.
struct Locker {
    explicit Locker(const std::string& location) {
        if (isPostgresLocation(location)) {
            pg = PQconnectdb(location.c_str());
            PQclear(PQexec(pg, "BEGIN; LOCK TABLE scores"));
            locked = PQtransactionStatus(pg) == PQTRANS_INTRANS;
        } else {
            sqlite3_open(location.c_str(), &lite);
            locked = sqlite3_exec(lite, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        }
    }
    ~Locker() {
        PQfinish(pg);
        sqlite3_close(lite);
    }
    PGconn* pg = nullptr;
    sqlite3* lite = nullptr;
    bool locked = false;
};

struct StoreStallTest : testing::Test {
    void SetUp() override {
        settings.location = freshScoreDatabase();
        settings.statementTime = milliseconds(200);
        ASSERT_TRUE(openScoreStore(store, settings, &error)) << error;
        ASSERT_EQ(storeScore(store, {"Ann", 5}, soon()), StoreAnswer::done);
    }
    void TearDown() override {
        closeScoreStore(store);
        std::remove(settings.location.c_str());
    }
    static StoreClock::time_point soon() { return StoreClock::now() + milliseconds(200); }
    std::string top() {
        std::vector<RankedScore> scores;
        if (!fetchTopScores(store, 10, false, &scores, soon()))
            return "unavailable";
        std::string text;
        for (const RankedScore& entry : scores)
            text += entry.name + " " + std::to_string(entry.score) + ";";
        return text;
    }
    StoreSettings settings;
    ScoreStore store;
    std::string error;
};
} // namespace

// Reads of SQLite pass a writer's lock; PostgreSQL's LOCK TABLE holds them too.
TEST_F(StoreStallTest, CallsFailAtTheirDeadlineWhileLockedAndSucceedAfter) {
    {
        Locker locker(settings.location);
        ASSERT_TRUE(locker.locked);
        EXPECT_EQ(storeScore(store, {"Bo", 7}, soon()), StoreAnswer::unavailable);
        EXPECT_EQ(top(), isPostgresLocation(settings.location) ? "unavailable" : "Ann 5;");
    }
    EXPECT_EQ(storeScore(store, {"Bo", 7}, soon()), StoreAnswer::done);
    EXPECT_EQ(top(), "Bo 7;Ann 5;");
}

// A call that would wait a minute for the lock ends once the store is interrupted, as the
// server does at SIGTERM, and every later call fails at once, the lock gone or not.
TEST_F(StoreStallTest, AnInterruptEndsACallWaitingForTheLockAndAllAfterIt) {
    settings.statementTime = std::chrono::minutes(1);
    closeScoreStore(store);
    ASSERT_TRUE(openScoreStore(store, settings, &error)) << error;
    StoreClock::time_point deadline = StoreClock::now() + std::chrono::minutes(1);
    {
        Locker locker(settings.location);
        ASSERT_TRUE(locker.locked);
        std::promise<bool> stored;
        std::thread call([&] {
            stored.set_value(storeScore(store, {"Cy", 9}, deadline) == StoreAnswer::done);
        });
        std::future<bool> result = stored.get_future();
        EXPECT_EQ(result.wait_for(milliseconds(300)), std::future_status::timeout);
        interruptScoreStore(store);
        call.join();
        EXPECT_FALSE(result.get());
    }
    EXPECT_LT(StoreClock::now(), deadline);
    EXPECT_EQ(storeScore(store, {"Cy", 9}, deadline), StoreAnswer::unavailable);
    EXPECT_EQ(top(), "unavailable");
}
