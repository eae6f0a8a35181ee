// A store whose database another program has locked (an operator's transaction, a backup):
// calls end at their deadline or at the server's stop instead of waiting out the lock.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "server/score_store.h"
#include "tests/support/score_stores.h"

namespace {
using std::chrono::milliseconds;

// Holds the write lock of an SQLite file, or LOCK TABLE scores in PostgreSQL, while it lives.
struct Locker : RawDatabase {
    explicit Locker(const std::string& location)
        : RawDatabase(location),
          locked(run(isPostgresLocation(location) ? "BEGIN; LOCK TABLE scores"
                                                  : "BEGIN IMMEDIATE") == "") {}
    bool locked;
};

struct StoreStallTest : StoreTest {
    void SetUp() override {
        settings.statementTime = milliseconds(200); // as long as a call may wait
        StoreTest::SetUp();
        ASSERT_EQ(storeScore(store, {"Ann", 5}, shortly()), StoreAnswer::done);
    }
    static StoreClock::time_point shortly() { return StoreClock::now() + milliseconds(200); }
    std::string top() { return listedScores(store, false, shortly()); }
};
} // namespace

// Reads of SQLite pass a writer's lock; PostgreSQL's LOCK TABLE holds them too.
TEST_F(StoreStallTest, CallsFailAtTheirDeadlineWhileLockedAndSucceedAfter) {
    {
        Locker locker(settings.location);
        ASSERT_TRUE(locker.locked);
        EXPECT_EQ(storeScore(store, {"Bo", 7}, shortly()), StoreAnswer::unavailable);
        EXPECT_EQ(top(), isPostgresLocation(settings.location) ? "unavailable" : "Ann 5 -;");
    }
    EXPECT_EQ(storeScore(store, {"Bo", 7}, shortly()), StoreAnswer::done);
    EXPECT_EQ(top(), "Bo 7 -;Ann 5 -;");
}

// A call that would wait a minute for the lock ends once the store is interrupted, as the
// server does at SIGTERM, and every later call fails at once, the lock gone or not.
TEST_F(StoreStallTest, AnInterruptEndsACallWaitingForTheLockAndAllAfterIt) {
    settings.statementTime = std::chrono::minutes(1);
    reopen();
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
