// Our score server on a loopback port, over a database that outlives it.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include "server/score_request.h"
#include "server/score_server.h"
#include "tests/unit/net/local_servers.h"

namespace {
std::string upload(const std::string& name, const std::string& score, const std::string& hash) {
    return std::string(scoreUploadPath) + "?name=" + httplib::detail::encode_query_param(name) +
           "&score=" + score + "&hashcheck=" + hash;
}

std::string signedUpload(const std::string& name, int score) {
    return upload(name, std::to_string(score), expectedHashcheck(name, std::to_string(score)));
}

std::string rank(const std::string& rank) {
    return std::string(scoreRankPath) + "?sija=" + rank;
}

struct RunningServer : LocalHttpServer {
    explicit RunningServer(const std::string& database) {
        EXPECT_TRUE(openScoreStore(store, database, &error)) << error;
        addScoreRoutes(server, store);
        EXPECT_TRUE(start());
    }
    ~RunningServer() {
        stop();
        closeScoreStore(store);
    }
    // The status and body of a GET; status -1 when there was no answer.
    std::pair<int, std::string> get(const std::string& target) {
        auto result = httplib::Client("127.0.0.1", port).Get(target.c_str());
        return result ? std::make_pair(result->status, result->body) : std::make_pair(-1, "");
    }
    int storedCount() {
        std::lock_guard<std::mutex> lock(store.guard);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(store.db, "SELECT COUNT(*) FROM scores", -1, &statement, nullptr);
        int count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        return count;
    }
    std::string error;
    ScoreStore store;
};

class ScoreServerTest : public testing::Test {
  protected:
    void TearDown() override {
        for (const char* suffix : {"", "-wal", "-shm"})
            remove((database + suffix).c_str());
    }
    const std::string database = testing::TempDir() + "orbelle_server_" + std::to_string(getpid()) +
                                 "_" +
                                 testing::UnitTest::GetInstance()->current_test_info()->name();
};
} // namespace

TEST_F(ScoreServerTest, RanksAreBestFirstStoredOnceAndSurviveARestart) {
    {
        RunningServer running(database);
        EXPECT_EQ(running.get("/").first, 200);
        for (auto [name, score] :
             {std::pair("low", -7), {"a&b %c", 50}, {"second", 50}, {"a&b %c", 50}, {"best", 900}})
            EXPECT_EQ(running.get(signedUpload(name, score)).first, 200);
    }
    RunningServer restarted(database);
    EXPECT_EQ(restarted.storedCount(), 4);
    const char* const expected[] = {"best 900", "a&b %c 50", "second 50", "low -7", "", ""};
    for (int k = 1; k <= 6; ++k)
        EXPECT_EQ(restarted.get(rank(std::to_string(k))),
                  std::make_pair(200, std::string(expected[k - 1])));
}

TEST_F(ScoreServerTest, BadQueriesAreRefusedAndChangeNothing) {
    RunningServer running(database);
    ASSERT_EQ(running.get(signedUpload("Ann", 10)).first, 200);
    const std::string hash = expectedHashcheck("Ann", "10");
    std::vector<std::string> bad = {rank("0"),
                                    rank("11"),
                                    rank("01"),
                                    rank("x"),
                                    rank("1&sija=2"),
                                    upload("Ann", "10", hash.substr(1)),
                                    std::string(scoreUploadPath) + "?name=Ann&score=10",
                                    upload("Ann", "10", hash) + "&name=Bob",
                                    signedUpload(std::string(16, 'A'), 10)};
    for (const char* score : {"2147483648", "01", "-0", "+1", "", "1e3"})
        bad.push_back(upload("Ann", score, expectedHashcheck("Ann", score)));
    for (const std::string& target : bad)
        EXPECT_EQ(running.get(target).first, 400) << target;
    EXPECT_EQ(running.get(upload("Ann", "11", hash)).first, 403); // not signed as the game signs
    EXPECT_EQ(running.storedCount(), 1);
    EXPECT_EQ(running.get(rank("1")).second, "Ann 10");
}

TEST_F(ScoreServerTest, ConcurrentUploadsAreAllStored) {
    RunningServer running(database);
    std::vector<std::thread> uploaders;
    std::atomic<int> refused{0};
    for (int t = 0; t < 4; ++t)
        uploaders.emplace_back([&running, &refused, t] {
            for (int i = 0; i < 15; ++i) // every thread also sends one entry all of them share
                refused +=
                    running.get(signedUpload("racer", i == 0 ? 1 : 1000 + t * 100 + i)).first !=
                    200;
        });
    for (auto& uploader : uploaders)
        uploader.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(running.storedCount(), 4 * 14 + 1);
    EXPECT_EQ(running.get(rank("1")).second, "racer 1314");
}
