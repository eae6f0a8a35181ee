#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "game/game_state.h"
#include "net/score_exchange.h"
#include "net/score_signature.h"
#include "server/score_server.h"
#include "tests/support/test_game.h"
#include "tests/unit/net/local_servers.h"

namespace {
const char* const rankPath = "/velmo/orbelle/haeennatykset.php?sija=";

std::string signatureOf(const std::string& text) {
    ScoreSignature signature;
    signature.compute(text.c_str());
    return signature.hexString();
}

void fillOldLines() {
    for (int i = 0; i < 10; ++i)
        game.internetScores[i] = "old " + std::to_string(i);
}

void expectOldLines() {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(game.internetScores[i], "old " + std::to_string(i));
}

class ScoreExchangeTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameForTest();
        savedLimits = httpLimits;
        fillOldLines();
    }
    void TearDown() override {
        httpLimits = savedLimits;
        unsetenv("ORBELLE_SCORE_SERVER");
    }
    void pointGameAt(const LocalHttpServer& local) {
        setenv("ORBELLE_SCORE_SERVER", local.hostAndPort().c_str(), 1);
    }
    void pointGameAtNothing() {
        std::string host = "127.0.0.1:" + std::to_string(closedPort());
        setenv("ORBELLE_SCORE_SERVER", host.c_str(), 1);
    }
    // Answers every request with a text naming it, and records it.
    void recordEverything(LocalHttpServer& local) {
        local.server.Get(".*",
                         [this](const httplib::Request& request, httplib::Response& response) {
                             log.add(request);
                             std::string sija = request.get_param_value("sija");
                             if (sija == "3")
                                 response.set_content("<b>Third</b>\nline two", "text/html");
                             else
                                 response.set_content("line " + sija, "text/plain");
                         });
        ASSERT_TRUE(local.start());
        pointGameAt(local);
    }

    HttpLimits savedLimits;
    RequestLog log;
};
} // namespace

TEST_F(ScoreExchangeTest, DownloadAsksForRankOneThenRanksOneToTen) {
    LocalHttpServer local;
    recordEverything(local);
    EXPECT_EQ(downloadInternetScores(), 1);
    std::vector<std::string> expected = {std::string(rankPath) + "1"};
    for (int k = 1; k <= 10; ++k)
        expected.push_back(rankPath + std::to_string(k));
    EXPECT_EQ(log.targets(), expected);
    EXPECT_EQ(game.internetScores[0], "line 1");
    EXPECT_EQ(game.internetScores[2], "<b>Third</b>\nline two");
    EXPECT_EQ(game.internetScores[9], "line 10");
    EXPECT_STREQ(game.statusMessage, "");
}

TEST_F(ScoreExchangeTest, UploadProbesTheRootThenSignsAndSendsEveryEntry) {
    LocalHttpServer local;
    recordEverything(local);
    game.localScores.entries[0] = HighScoreEntry(-5, "a&b %c");
    game.localScores.entries[1] = HighScoreEntry(2147483647, "Zed#1+");
    EXPECT_NE(uploadLocalScores(), 0);
    EXPECT_STREQ(game.statusMessage, "");
    auto requests = log.requests();
    ASSERT_EQ(requests.size(), 11u);
    EXPECT_EQ(requests[0].target, "/");
    for (int i = 0; i < 10; ++i) {
        const HighScoreEntry& entry = game.localScores.entries[i];
        const httplib::Request& upload = requests[size_t(i) + 1];
        std::string score = std::to_string(entry.score);
        EXPECT_EQ(upload.path, "/velmo/orbelle/lisaaennatys.php");
        EXPECT_EQ(upload.get_param_value("name"), entry.name) << "entry " << i;
        EXPECT_EQ(upload.get_param_value("score"), score);
        EXPECT_EQ(upload.get_param_value("hashcheck"),
                  signatureOf(entry.name + score + "kovrenaltu37"));
    }
    EXPECT_EQ(requests[1].target, "/velmo/orbelle/lisaaennatys.php?name=a%26b%20%25c&score=-5"
                                  "&hashcheck=" +
                                      signatureOf("a&b %c-5kovrenaltu37"));
    EXPECT_EQ(requests[3].get_param_value("name"), "Tester") << "default entries are sent too";
}

TEST_F(ScoreExchangeTest, SwitchedOffMeansNoTrafficAtAll) {
    LocalHttpServer local;
    recordEverything(local);
    game.internetScoresEnabled = false;
    EXPECT_EQ(downloadInternetScores(), -2);
    EXPECT_STREQ(game.statusMessage, "You have disabled internet highscores.");
    game.statusMessage = "";
    EXPECT_EQ(uploadLocalScores(), -2);
    EXPECT_STREQ(game.statusMessage, "You have disabled internet highscores.");
    EXPECT_TRUE(log.targets().empty());
    expectOldLines();
}

TEST_F(ScoreExchangeTest, AnUnreachableServerLeavesTheLinesAndSaysSo) {
    pointGameAtNothing();
    EXPECT_EQ(downloadInternetScores(), -1);
    EXPECT_STREQ(game.statusMessage, "Could not connect to server.");
    expectOldLines();
    game.statusMessage = "";
    EXPECT_EQ(uploadLocalScores(), -1);
    EXPECT_STREQ(game.statusMessage, "Could not connect to server.");
}

TEST_F(ScoreExchangeTest, AServerThatHangsAfterOneAnswerIsBoundedByTheExchangeDeadline) {
    httpLimits.exchangeMillis = 600;
    LocalHttpServer local;
    std::atomic<int> answered{0};
    // Answers the first request of each exchange and then hangs.
    local.server.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        log.add(request);
        if (answered++ > 0)
            sleepUnless(local.stopping, 8000);
        response.set_content("line", "text/plain");
    });
    ASSERT_TRUE(local.start());
    pointGameAt(local);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(downloadInternetScores(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(log.targets().size(), 2u) << "no request is made once the deadline has passed";
    expectOldLines();
    EXPECT_STREQ(game.statusMessage, "");
    EXPECT_EQ(game.downloader.deadline, std::chrono::steady_clock::time_point{});

    answered = 0;
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(uploadLocalScores(), 0) << "the tenth entry was never sent";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(log.targets().size(), 4u);
}

TEST_F(ScoreExchangeTest, UploadedEntriesComeBackFromOurServerOnceEach) {
    std::string database =
        testing::TempDir() + "orbelle_exchange_" + std::to_string(getpid()) + ".db";
    remove(database.c_str());
    ScoreStore store;
    std::string error;
    ASSERT_TRUE(openScoreStore(store, database, &error)) << error;
    {
        LocalHttpServer local;
        addScoreRoutes(local.server, store);
        ASSERT_TRUE(local.start());
        pointGameAt(local);
        game.localScores.entries[0] = HighScoreEntry(900, "a&b %c");
        game.localScores.entries[1] = HighScoreEntry(500, "Second");
        game.localScores.entries[2] = HighScoreEntry(-20, "Minus");
        EXPECT_EQ(uploadLocalScores(), 1);
        EXPECT_EQ(uploadLocalScores(), 1);
        EXPECT_EQ(downloadInternetScores(), 1);
    }
    closeScoreStore(store);
    remove(database.c_str());
    EXPECT_EQ(game.internetScores[0], "a&b %c 900");
    EXPECT_EQ(game.internetScores[1], "Second 500");
    EXPECT_EQ(game.internetScores[2], "Tester 1") << "seven equal defaults are stored once";
    EXPECT_EQ(game.internetScores[3], "Minus -20");
    for (int i = 4; i < 10; ++i)
        EXPECT_EQ(game.internetScores[i], "") << "line " << i + 1;
}

TEST(ScoreServerHost, TheEnvironmentOverridesTheBuiltInHost) {
    unsetenv("ORBELLE_SCORE_SERVER");
    std::string builtIn = scoreServerHost();
    EXPECT_FALSE(builtIn.empty());
    setenv("ORBELLE_SCORE_SERVER", "", 1);
    EXPECT_EQ(scoreServerHost(), builtIn);
    setenv("ORBELLE_SCORE_SERVER", "scores.example:81", 1);
    EXPECT_STREQ(scoreServerHost(), "scores.example:81");
    unsetenv("ORBELLE_SCORE_SERVER");
}

TEST(EncodeQueryValue, LeavesOnlyUnreservedBytesAsTheyAre) {
    EXPECT_EQ(encodeQueryValue("Az09-._~"), "Az09-._~");
    EXPECT_EQ(encodeQueryValue("a&b %c=d+e#f?"), "a%26b%20%25c%3Dd%2Be%23f%3F");
    EXPECT_EQ(encodeQueryValue(std::string("\x00\x0f\xff", 3)), "%00%0F%FF");
    EXPECT_EQ(encodeQueryValue(""), "");
}
