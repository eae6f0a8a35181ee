// Our score server on a loopback port, over a database that outlives it.
#include <gtest/gtest.h>

#include <unistd.h>

#include "server/score_request.h"
#include "server/score_server.h"
#include "tests/unit/net/local_servers.h"
#include "tests/unit/server/test_store.h"

namespace {
// An upload query, signed as the game signs unless another hashcheck is given.
std::string upload(const std::string& name, const std::string& score, std::string hash = "") {
    hash = hash.empty() ? expectedHashcheck(name, score) : hash;
    return std::string(scoreUploadPath) + "?name=" + httplib::detail::encode_query_param(name) +
           "&score=" + score + "&hashcheck=" + hash;
}

std::string rank(int rank) {
    return std::string(scoreRankPath) + "?sija=" + std::to_string(rank);
}

struct RunningServer : LocalScoreServer {
    explicit RunningServer(const std::string& database) : LocalScoreServer(database) {
        EXPECT_TRUE(started) << error;
    }
    // The status and body of a GET; status -1 when there was no answer.
    std::pair<int, std::string> get(const std::string& target) {
        auto result = httplib::Client("127.0.0.1", http.port).Get(target.c_str());
        return result ? std::make_pair(result->status, result->body) : std::make_pair(-1, "");
    }
};

// SQLite removes its -wal and -shm files when the last connection closes.
struct ScoreServerTest : testing::Test {
    void TearDown() override { std::remove(database.c_str()); }
    const std::string database = freshScoreDatabase();
};
} // namespace

// The same name and score twice is one entry and equal scores keep the order they came in;
// refused queries (400 when malformed, 403 when not signed as the game signs) store nothing.
// Rank 5 coming back empty shows that nothing more was stored.
TEST_F(ScoreServerTest, RanksAreBestFirstStoredOnceUnchangedByBadQueriesAndSurviveARestart) {
    {
        RunningServer running(database);
        for (auto [name, score] :
             {std::pair("low", -7), {"a&b %c", 50}, {"second", 50}, {"a&b %c", 50}, {"best", 900}})
            EXPECT_EQ(running.get(upload(name, std::to_string(score))).first, 200);
        const std::string hash = expectedHashcheck("Ann", "10"), path = scoreRankPath;
        std::vector<std::string> bad = {upload("Ann", "10", hash.substr(1)),
                                        upload("Ann", "10") + "&name=Bob",
                                        upload(std::string(16, 'A'), "10"),
                                        std::string(scoreUploadPath) + "?name=Ann&score=10"};
        for (const char* text : {"0", "11", "01", "x", "1&sija=2"})
            bad.push_back(path + "?sija=" + text);
        for (const char* score : {"2147483648", "01", "-0", "+1", "", "1e3"})
            bad.push_back(upload("Ann", score));
        for (const std::string& target : bad)
            EXPECT_EQ(running.get(target).first, 400) << target;
        EXPECT_EQ(running.get(upload("Ann", "11", hash)).first, 403);
    }
    RunningServer restarted(database);
    const char* const expected[] = {"best 900", "a&b %c 50", "second 50", "low -7", "", ""};
    for (int k = 1; k <= 6; ++k)
        EXPECT_EQ(restarted.get(rank(k)), std::make_pair(200, std::string(expected[k - 1])));
}

// Four threads send the same nine entries at once, each twice and each thread in its own order:
// every one is stored, and only once.
TEST_F(ScoreServerTest, ConcurrentUploadsAreAllStoredOnce) {
    RunningServer running(database);
    std::vector<std::thread> uploaders;
    for (int t = 0; t < 4; ++t)
        uploaders.emplace_back([&running, t] {
            for (int i = 0; i < 18; ++i)
                EXPECT_EQ(running.get(upload("racer", std::to_string(1 + (i + t) % 9))).first, 200);
        });
    for (auto& uploader : uploaders)
        uploader.join();
    for (int k = 1; k <= 10; ++k)
        EXPECT_EQ(running.get(rank(k)).second, k < 10 ? "racer " + std::to_string(10 - k) : "");
}

// Targets are read as they always were here: escapes decoded once, '+' a blank in the query
// only, a stray '%' kept, an identical pair repeated kept once, the last '=' piece the value.
TEST(RequestTarget, PathAndQueryAreDecodedAsBefore) {
    const struct {
        const char* target;
        bool read;
        const char* path;
        QueryParams query;
    } cases[] = {
        {"/velmo/x.php?sija=10", true, "/velmo/x.php", {{"sija", "10"}}},
        {"/a%2fb+c?n%61me=1+2%2B&t=%09%1b%4",
         true,
         "/a/b+c",
         {{"name", "1 2+"}, {"t", "\t\x1b%4"}}},
        {"/?name=Ann&name=Ann&name=Bo", true, "/", {{"name", "Ann"}, {"name", "Bo"}}},
        {"/?k=a=b&&=&z", true, "/", {{"k", "b"}, {"z", ""}}},
        {"/?a=1?b=2", false, "", {}},
    };
    for (const auto& c : cases) {
        std::string path;
        QueryParams query;
        EXPECT_EQ(parseRequestTarget(c.target, &path, &query), c.read) << c.target;
        if (c.read) {
            EXPECT_EQ(std::make_pair(path, query), std::make_pair(std::string(c.path), c.query))
                << c.target;
        }
    }
}
