// The server's answers on a real store, straight through routeScoreRequest.
#include <gtest/gtest.h>

#include "server/score_server.h"
#include "tests/support/local_servers.h"
#include "tests/support/reference_replays.h"

namespace {
std::string upload(const std::string& name, const std::string& score, const std::string& hash) {
    return std::string(scoreUploadPath) + "?name=" + httplib::detail::encode_query_param(name) +
           "&score=" + score + "&hashcheck=" + hash;
}

std::string rank(const std::string& text) {
    return std::string(scoreRankPath) + "?sija=" + text;
}

// SQLite removes its -wal and -shm files when the last connection closes.
struct ScoreServerTest : testing::Test {
    void SetUp() override {
        StoreSettings settings;
        settings.location = database;
        ASSERT_TRUE(openScoreStore(store, settings, &error)) << error;
        routes.store = &store;
        routes.pageSize = 3;
    }
    void TearDown() override {
        closeScoreStore(store);
        std::remove(database.c_str());
    }
    std::string answer(const std::string& target, const char* method = "GET",
                       const char* accept = "", const char* address = "10.0.0.1") {
        HttpRequest request{method, "", {}, accept, address, ""};
        EXPECT_TRUE(parseRequestTarget(target, &request.path, &request.query));
        HttpAnswer got = answerNow(routeScoreRequest(routes, request));
        return std::to_string(got.status) + " " + got.contentType + " " + got.body;
    }
    // The status and the first line of the answer to a replay sent.
    std::string post(const std::string& file, const char* address = "10.0.0.1") {
        HttpRequest request{"POST", scoreReplayPath, {}, "", address, file};
        HttpAnswer got = answerNow(routeScoreRequest(routes, request));
        return std::to_string(got.status) + " " + got.body.substr(0, got.body.find(':'));
    }
    static StoreClock::time_point soon() { return StoreClock::now() + std::chrono::seconds(2); }
    const std::string database = freshScoreDatabase();
    ScoreStore store;
    std::string error;
    ScoreRoutes routes;
};
} // namespace

// Equal scores keep the order they came in; the same name and score twice is one entry.
TEST_F(ScoreServerTest, EachRouteAndMethodGetsItsAnswer) {
    const std::string uploads[] = {upload("low", "-7", "d96bb601cca7bd8280d216f2db983851"),
                                   upload("a&b %c", "50", "61da91937d1976463ff114a8f9d0b93c"),
                                   upload("second", "50", "d353cd5b3b7f69aab3f0510342930cc7"),
                                   upload("a&b %c", "50", "61da91937d1976463ff114a8f9d0b93c"),
                                   upload("best", "900", "c166e72aab68a17f4010465fe0e42eee")};
    for (const std::string& target : uploads)
        EXPECT_EQ(answer(target), "200 text/plain OK\n");
    const std::string json = "200 application/json [{\"rank\":1,\"name\":\"best\",\"score\":900,"
                             "\"verified\":false},{\"rank\":2,\"name\":\"a&b %c\",\"score\":50,"
                             "\"verified\":false}";
    const struct {
        std::string target;
        const char *method, *accept;
        std::string expected;
    } cases[] = {
        {rank("1"), "GET", "", "200 text/plain best 900"},
        {rank("1"), "HEAD", "", "200 text/plain best 900"},
        {rank("2"), "GET", "", "200 text/plain a&b %c 50"},
        {rank("3"), "GET", "", "200 text/plain second 50"},
        {rank("4"), "GET", "", "200 text/plain low -7"},
        {rank("5"), "GET", "", "200 text/plain "},
        {rank("11"), "GET", "", "400 text/plain Bad rank\n"},
        {rank("1"), "POST", "", "404 text/plain "},
        {"/velmo/other.php", "GET", "", "404 text/plain "},
        {"/", "GET", "text/plain", "200 text/plain Orbelle score server\n"},
        {"/scores.json?limit=2", "GET", "", json + "]\n"},
        {"/scores.json", "GET", "",
         json + ",{\"rank\":3,\"name\":\"second\",\"score\":50,\"verified\":false}]\n"},
        {"/scores.json?limit=0", "GET", "", "400 text/plain Bad limit\n"},
        {upload("Ann", "10", "fb589b3825329776a6d2a64aa8718711"), "GET", "",
         "403 text/plain Bad hashcheck\n"},
        {upload("Ann", "1e3", "fb589b3825329776a6d2a64aa8718710"), "GET", "",
         "400 text/plain Bad request\n"},
        {"/health", "GET", "", "200 text/plain OK\n"},
        {"/replays/1", "GET", "", "404 text/plain "},
        {"/replays/1", "POST", "", "404 text/plain "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answer(c.target, c.method, c.accept), c.expected) << c.method << " " << c.target;
    const std::string page = answer("/", "GET", "text/html");
    EXPECT_EQ(page.substr(0, 29), "200 text/html; charset=utf-8 ");
    EXPECT_NE(page.find("<td>second</td>"), std::string::npos);
}

// With no time left for the store, what needs it gets 503 with an empty body, and what does
// not is answered as ever.
TEST_F(ScoreServerTest, OnlyRequestsThatNeedTheStoreWaitForIt) {
    routes.storeTime = std::chrono::milliseconds(0);
    const struct {
        std::string target;
        const char *accept, *expected;
    } cases[] = {
        {rank("1"), "", "503 text/plain "},
        {rank("0"), "", "400 text/plain Bad rank\n"},
        {"/", "", "200 text/plain Orbelle score server\n"},
        {"/", "text/html", "503 text/plain "},
        {"/scores.json", "", "503 text/plain "},
        {upload("best", "900", "c166e72aab68a17f4010465fe0e42eee"), "", "503 text/plain "},
        {upload("best", "900", "c166e72aab68a17f4010465fe0e42eef"), "",
         "403 text/plain Bad hashcheck\n"},
        {"/health", "", "503 text/plain "},
        {"/replays/1", "", "503 text/plain "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answer(c.target, "GET", c.accept), c.expected) << c.target;
}

// Each replay is refused whole: no entry stored, none marked. A genuine round is kept once, for
// the name and score it carries, and only for those.
TEST_F(ScoreServerTest, ForgedReplaysAreRefusedAndNothingIsKept) {
    using Change = std::function<void(Replay&)>;
    const std::string genuine = referenceReplay("3"), nothing = "200 text/plain ",
                      kept = "200 text/plain script 410";
    UploadLimiter limiter;
    limiter.perMinute = 9;
    routes.uploads = &limiter;
    ASSERT_EQ(store.backend->setBanned("x", true, soon()), StoreAnswer::done);
    // clang-format off
    const struct {
        const char* what;
        std::string file, answer, rankOne;
    } cases[] = {
        {"one input changed", changedReplay("3", Change([](Replay& r) { r.frames[700].input ^= replayHeldLeft; })), "422 Does not play out as claimed", nothing},
        {"a higher score claimed", changedReplay("3", Change([](Replay& r) { r.score += 1; })), "422 Does not play out as claimed", nothing},
        {"cut short", changedReplay("3", Change([](Replay& r) { r.frames.resize(1600); })), "422 Does not play out as claimed", nothing},
        {"the start edited", changedReplay("3", Change([](Replay& r) { r.start.randomState ^= 1; })), "422 Does not play out as claimed", nothing},
        {"damaged", genuine.substr(0, genuine.size() - 1), "400 Not a replay", nothing},
        {"genuine", genuine, "200 Verified\n", kept},
        {"genuine again", genuine, "200 Verified\n", kept},
        {"stolen", changedReplay("3", Change([](Replay& r) { r.name = "thief"; })), "409 The round is kept already under another name or score\n", kept},
        {"banned", referenceReplay("5-entered"), "403 Banned name\n", kept},
        {"past the limit", referenceReplay("4"), "429 Too many uploads\n", kept},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(post(c.file), c.answer) << c.what;
        EXPECT_EQ(answer(rank("1")) + answer(rank("2")), c.rankOne + nothing) << c.what;
    }
    EXPECT_EQ(answer("/scores.json"),
              "200 application/json [{\"rank\":1,\"name\":\"script\","
              "\"score\":410,\"verified\":true,\"replay\":\"/replays/1\"}]\n");
    EXPECT_EQ(answer("/replays/1"), "200 application/octet-stream " + genuine);
    for (const char* other : {"/replays/01", "/replays/1x", "/replays/2", "/replays/"})
        EXPECT_EQ(answer(other), "404 text/plain ") << other;
}

// Replays that the server will not check now: too long for it, or waiting too long.
TEST_F(ScoreServerTest, ReplaysPastTheCheckLimitsAreNotChecked) {
    routes.replayLimits.maxFrames = 1645;
    EXPECT_EQ(post(referenceReplay("4")), "413 Too much to check");
    routes.replayLimits.maxFrames = 1646;
    routes.replayWait = std::chrono::milliseconds(0);
    EXPECT_EQ(post(referenceReplay("4")), "503 ");
    EXPECT_EQ(answer(rank("1")), "200 text/plain ");
}
