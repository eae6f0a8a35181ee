// Downloading and uploading scores, against recording servers and against our own server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "net/score_exchange.h"
#include "record/game_state.h"
#include "server/score_request.h"
#include "server/score_server.h"
#include "tests/support/test_game.h"
#include "tests/unit/net/local_servers.h"

namespace {
class ScoreExchangeTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameForTest();
        for (int i = 0; i < 10; ++i)
            game.internetScores[i] = "old " + std::to_string(i);
        // Answers the first request of an exchange, then each with its rank (or hangs).
        local.server.Get(
            ".*", [this](const httplib::Request& request, httplib::Response& response) {
                local.log(request);
                if (hang && local.requests().size() % 2 == 0)
                    local.sleepUnlessStopping(8000);
                const std::string rank = request.get_param_value("sija");
                if (rank == failingRank)
                    response.status = 500;
                response.set_content(rank == failingRank ? "Server oops" : "line " + rank,
                                     "text/plain");
            });
    }
    void TearDown() override {
        httpLimits = HttpLimits();
        unsetenv("ORBELLE_SCORE_SERVER");
    }
    void start() {
        ASSERT_TRUE(local.start());
        setenv("ORBELLE_SCORE_SERVER", local.hostAndPort().c_str(), 1);
    }
    void expectOldLines() {
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(game.internetScores[i], "old " + std::to_string(i));
    }

    bool hang = false;
    std::string failingRank; // this rank answers an error page
    LocalHttpServer local;
};
} // namespace

TEST_F(ScoreExchangeTest, ElevenRequestsEachWay) {
    start();
    EXPECT_EQ(downloadInternetScores(), 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(game.internetScores[i], "line " + std::to_string(i + 1));
    game.localScores.entries[0] = HighScoreEntry(-5, "a&b %c");
    EXPECT_EQ(uploadLocalScores(), 1);
    EXPECT_STREQ(game.statusMessage, "");

    const auto requests = local.requests();
    ASSERT_EQ(requests.size(), 22u);
    for (size_t i = 0; i < 11; ++i) // rank 1 first, then ranks 1 to 10
        EXPECT_EQ(requests[i].target,
                  "/velmo/orbelle/haeennatykset.php?sija=" + std::to_string(i == 0 ? 1 : i));
    EXPECT_EQ(requests[11].target, "/"); // the upload probes the root first
    EXPECT_EQ(requests[12].target, "/velmo/orbelle/lisaaennatys.php?name=a%26b%20%25c&score=-5"
                                   "&hashcheck=" +
                                       expectedHashcheck("a&b %c", "-5"));
    for (int i = 1; i < 10; ++i) {
        const std::string score = std::to_string(game.localScores.entries[i].score);
        EXPECT_EQ(requests[size_t(i) + 12].target,
                  "/velmo/orbelle/lisaaennatys.php?name=Tester&score=" + score +
                      "&hashcheck=" + expectedHashcheck("Tester", score));
    }
}

TEST_F(ScoreExchangeTest, SwitchedOffOrUnreachableChangesNothingAndSaysSo) {
    start();
    for (bool enabled : {false, true}) {
        game.internetScoresEnabled = enabled;
        if (enabled) // the switched-off exchanges went to a live server
            setenv("ORBELLE_SCORE_SERVER", refusingHost, 1);
        for (auto exchange : {downloadInternetScores, uploadLocalScores}) {
            game.statusMessage = "";
            EXPECT_EQ(exchange(), enabled ? -1 : -2);
            EXPECT_STREQ(game.statusMessage, enabled ? "Could not connect to server."
                                                     : "You have disabled internet highscores.");
        }
    }
    EXPECT_TRUE(local.requests().empty());
    expectOldLines();
}

TEST_F(ScoreExchangeTest, AServerThatHangsAfterOneAnswerIsBoundedByTheExchangeDeadline) {
    httpLimits.exchangeMillis = 600;
    hang = true;
    start();
    // The download got its first answer; the upload never sent its tenth entry. Cut short,
    // each says so.
    const std::pair<int (*)(), int> exchanges[] = {{downloadInternetScores, -1},
                                                   {uploadLocalScores, 0}};
    for (auto [exchange, result] : exchanges) {
        game.statusMessage = "";
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(exchange(), result);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
        EXPECT_STREQ(game.statusMessage, "Could not connect to server.");
    }
    EXPECT_EQ(local.requests().size(), 4u) << "no request is made once the deadline has passed";
    expectOldLines();
}

TEST_F(ScoreExchangeTest, AnErrorPageIsNoLineOfTheList) {
    start();
    failingRank = "3";
    EXPECT_EQ(downloadInternetScores(), 1);
    failingRank = "1"; // the test request: no server worth the name
    EXPECT_EQ(downloadInternetScores(), -1);
    EXPECT_STREQ(game.statusMessage, "Could not connect to server.");
    const char* const expected[10] = {"line 1", "line 2", "old 2",  "line 4", "line 5",
                                      "line 6", "line 7", "line 8", "line 9", "line 10"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(game.internetScores[i], expected[i]) << "line " << i + 1;
}

TEST_F(ScoreExchangeTest, UploadedEntriesComeBackFromOurServerOnceEach) {
    const std::string database =
        testing::TempDir() + "orbelle_exchange_" + std::to_string(getpid()) + ".db";
    remove(database.c_str());
    LocalScoreServer ours(database);
    ASSERT_TRUE(ours.started) << ours.error;
    setenv("ORBELLE_SCORE_SERVER", ours.hostAndPort().c_str(), 1);
    game.localScores.entries[0] = HighScoreEntry(900, "a&b %c");
    game.localScores.entries[1] = HighScoreEntry(-20, "Minus");
    EXPECT_EQ(uploadLocalScores(), 1);
    EXPECT_EQ(uploadLocalScores(), 1);
    EXPECT_EQ(downloadInternetScores(), 1);
    ours.stop();
    remove(database.c_str());
    const std::string expected[10] = {"a&b %c 900", "Tester 1", "Minus -20"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(game.internetScores[i], expected[i]) << "line " << i + 1;
}
