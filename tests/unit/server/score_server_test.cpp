#include <gtest/gtest.h>

#include <httplib.h>
#include <sqlite3.h>
#include <unistd.h>

#include <thread>

#include "server/score_server.h"

namespace {
std::string uploadTarget(const std::string& name, int score, const std::string& hash) {
    return std::string(scoreUploadPath) + "?name=" + httplib::detail::encode_query_param(name) +
           "&score=" + std::to_string(score) + "&hashcheck=" + hash;
}

std::string signedTarget(const std::string& name, int score) {
    return uploadTarget(name, score, expectedHashcheck(name, std::to_string(score)));
}

std::string rankTarget(const std::string& rank) {
    return std::string(scoreRankPath) + "?sija=" + rank;
}

// Our server on a free loopback port, over a database that outlives it.
class RunningServer {
  public:
    explicit RunningServer(const std::string& database) {
        std::string error;
        opened = openScoreStore(store, database, &error);
        addScoreRoutes(server, store);
        server.set_keep_alive_max_count(1);
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        for (int i = 0; i < 300 && !server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~RunningServer() {
        server.stop();
        thread.join();
        closeScoreStore(store);
    }
    // The status and body of a GET; status -1 when there was no answer.
    std::pair<int, std::string> get(const std::string& target) {
        httplib::Client client("127.0.0.1", port);
        client.set_connection_timeout(2);
        client.set_read_timeout(5);
        auto result = client.Get(target.c_str());
        if (!result)
            return {-1, ""};
        return {result->status, result->body};
    }
    int storedCount() {
        std::lock_guard<std::mutex> lock(store.guard);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(store.db, "SELECT COUNT(*) FROM scores", -1, &statement, nullptr);
        int count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        return count;
    }

    bool opened = false;
    ScoreStore store;
    httplib::Server server;
    int port = -1;
    std::thread thread;
};

class ScoreServerTest : public testing::Test {
  protected:
    void SetUp() override {
        database = testing::TempDir() + "orbelle_server_" + std::to_string(getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name() + ".db";
        removeDatabase();
    }
    void TearDown() override { removeDatabase(); }
    void removeDatabase() {
        for (const char* suffix : {"", "-wal", "-shm"})
            remove((database + suffix).c_str());
    }
    std::string database;
};
} // namespace

TEST_F(ScoreServerTest, RanksAreBestFirstWithEarlierEntriesFirstAmongEquals) {
    RunningServer running(database);
    ASSERT_TRUE(running.opened);
    EXPECT_EQ(running.get("/").first, 200);
    EXPECT_FALSE(running.get("/").second.empty());
    EXPECT_EQ(running.get(rankTarget("1")), std::make_pair(200, std::string()));
    for (auto entry : {std::make_pair("low", -7), std::make_pair("first", 50),
                       std::make_pair("second", 50), std::make_pair("best", 900)})
        EXPECT_EQ(running.get(signedTarget(entry.first, entry.second)).first, 200);
    EXPECT_EQ(running.get(rankTarget("1")).second, "best 900");
    EXPECT_EQ(running.get(rankTarget("2")).second, "first 50");
    EXPECT_EQ(running.get(rankTarget("3")).second, "second 50");
    EXPECT_EQ(running.get(rankTarget("4")).second, "low -7");
    EXPECT_EQ(running.get(rankTarget("5")), std::make_pair(200, std::string()));
    EXPECT_EQ(running.get(rankTarget("10")).first, 200);
}

TEST_F(ScoreServerTest, BadQueriesAreRefusedAndChangeNothing) {
    RunningServer running(database);
    ASSERT_TRUE(running.opened);
    for (const char* rank : {"0", "11", "01", "x", ""})
        EXPECT_EQ(running.get(rankTarget(rank)).first, 400) << rank;
    EXPECT_EQ(running.get(scoreRankPath).first, 400);

    std::string good = expectedHashcheck("Ann", "10");
    EXPECT_EQ(running.get(uploadTarget("Ann", 11, good)).first, 403);
    std::string upload = std::string(scoreUploadPath) + "?name=Ann";
    for (std::string bad :
         {upload + "&score=10&hashcheck=" + good.substr(2), upload + "&score=10",
          upload + "&score=010&hashcheck=" + good, upload + "&score=4294967306&hashcheck=" + good,
          signedTarget(std::string(16, 'A'), 10)})
        EXPECT_EQ(running.get(bad).first, 400) << bad;
    EXPECT_EQ(running.storedCount(), 0);
}

TEST_F(ScoreServerTest, EntriesAreStoredOnceAndSurviveARestart) {
    {
        RunningServer running(database);
        ASSERT_TRUE(running.opened);
        EXPECT_EQ(running.get(signedTarget("a&b %c", 42)).first, 200);
        EXPECT_EQ(running.get(signedTarget("a&b %c", 42)).first, 200);
        EXPECT_EQ(running.get(signedTarget("a&b %c", 43)).first, 200);
        EXPECT_EQ(running.storedCount(), 2);
    }
    RunningServer restarted(database);
    ASSERT_TRUE(restarted.opened);
    EXPECT_EQ(restarted.storedCount(), 2);
    EXPECT_EQ(restarted.get(rankTarget("1")).second, "a&b %c 43");
    EXPECT_EQ(restarted.get(rankTarget("2")).second, "a&b %c 42");
}

TEST_F(ScoreServerTest, ConcurrentUploadsAreAllStored) {
    RunningServer running(database);
    ASSERT_TRUE(running.opened);
    const int threads = 4, perThread = 15;
    std::vector<std::thread> uploaders;
    std::atomic<int> refused{0};
    for (int t = 0; t < threads; ++t) {
        uploaders.emplace_back([&running, &refused, t] {
            for (int i = 0; i < perThread; ++i) {
                // Every thread also sends one entry that all of them share.
                int score = i == 0 ? 1 : 1000 + t * 100 + i;
                if (running.get(signedTarget("racer", score)).first != 200)
                    ++refused;
            }
        });
    }
    for (auto& uploader : uploaders)
        uploader.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(running.storedCount(), threads * (perThread - 1) + 1);
    EXPECT_EQ(running.get(rankTarget("1")).second, "racer 1314");
}
