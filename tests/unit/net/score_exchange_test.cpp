// Downloading and uploading scores, against a stand-in server that logs every request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include <SDL.h>

#include "game/input.h"
#include "net/score_exchange.h"
#include "protocol/score_protocol.h"
#include "record/game_state.h"
#include "tests/support/local_servers.h"
#include "tests/support/test_game.h"

namespace {
const char* const noConnection = "Could not connect to server.";
// Far longer than an exchange may take: only its deadline or a close ends such a wait.
const int endlessMillis = 60000;
const size_t oneMiB = 1024 * 1024; // the most a replay may be
const int noAnswer = -1;

class ScoreExchangeTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameForTest();
        for (int i = 0; i < 10; ++i)
            game.internetScores[i] = "old " + std::to_string(i);
        // Each rank's line, the root and every upload 200, unless a case says otherwise.
        local.server.Get(
            ".*", [this](const httplib::Request& request, httplib::Response& response) {
                if (closeWhileWaiting)
                    pushTestEvent(SDL_QUIT);
                const bool upload = request.has_param("name");
                const int uploaded = upload ? ++uploads : 0;
                if (closeWhileWaiting || (hang && local.requests().size() % 2 == 0) ||
                    uploaded > 10 - unansweredUploads)
                    local.sleepUnlessStopping(endlessMillis);
                const std::string rank = request.get_param_value("sija");
                const bool failing = !upload && rank == failingRank;
                const bool refused = upload && uploaded <= refusedUploads;
                response.status = failing ? failingStatus : refused ? refusedStatus : 200;
                if (!upload)
                    response.set_content(failing ? "Server oops" : "line " + rank, "text/plain");
            });
        local.server.Post(
            scoreReplayPath, [this](const httplib::Request& request, httplib::Response& response) {
                // The lock is held for the whole statement.
                std::lock_guard<std::mutex>(local.guard),
                    replaysSeen.push_back(request.get_header_value("Content-Type") + " " +
                                          std::to_string(request.body.size()) + " " +
                                          request.body.substr(0, 3));
                const int answer = replayAnswers.empty() ? 200 : replayAnswers.front();
                if (!replayAnswers.empty())
                    replayAnswers.erase(replayAnswers.begin());
                if (answer == noAnswer)
                    local.sleepUnlessStopping(endlessMillis);
                response.status = answer;
            });
        ASSERT_TRUE(local.start());
        setenv("ORBELLE_SCORE_SERVER", local.hostAndPort().c_str(), 1);
    }
    void TearDown() override {
        httpLimits = HttpLimits();
        unsetenv("ORBELLE_SCORE_SERVER");
    }
    void expectLines(const std::vector<std::string>& lines) {
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(game.internetScores[i], lines[i]) << "line " << i + 1;
    }
    bool hang = false;              // every other request gets no answer
    bool closeWhileWaiting = false; // a close is asked for while a request waits
    int uploads = 0;
    int refusedUploads = 0; // the first uploads are answered refusedStatus
    int refusedStatus = 429;
    int unansweredUploads = 0; // the last uploads get no answer
    std::string failingRank;   // this rank answers failingStatus and an error page
    int failingStatus = 500;
    std::vector<int> replayAnswers;       // to the replays, in turn; then 200
    std::vector<std::string> replaysSeen; // type, size and start of each body
    LocalHttpServer local;
};

std::vector<std::string> linesOf(const char* prefix, int first) {
    std::vector<std::string> lines;
    for (int i = 0; i < 10; ++i)
        lines.push_back(prefix + std::to_string(i + first));
    return lines;
}
} // namespace

// The signatures are python3's hashlib.md5 of name, score and salt.
TEST_F(ScoreExchangeTest, ElevenRequestsEachWay) {
    EXPECT_EQ(downloadInternetScores(), 1);
    expectLines(linesOf("line ", 1));
    game.localScores.entries[0] = HighScoreEntry(-5, "AZaz09-._~");
    game.localScores.entries[1] = HighScoreEntry(9, "a&b %\xE9\xFF");
    EXPECT_EQ(uploadLocalScores(), 1);
    EXPECT_STREQ(game.statusMessage, "");
    const auto requests = local.requests();
    ASSERT_EQ(requests.size(), 22u);
    for (size_t i = 0; i < 11; ++i) // rank 1 first, then ranks 1 to 10
        EXPECT_EQ(requests[i].target,
                  "/velmo/orbelle/haeennatykset.php?sija=" + std::to_string(i == 0 ? 1 : i));
    EXPECT_EQ(requests[11].target, "/"); // the upload probes the root first
    const std::string upload = "/velmo/orbelle/lisaaennatys.php?";
    EXPECT_EQ(requests[12].target,
              upload + "name=AZaz09-._~&score=-5&hashcheck=aacd61f63e42e8ba4a9665fa3a3778b7");
    EXPECT_EQ(requests[13].target,
              upload + "name=a%26b%20%25%E9%FF&score=9&hashcheck=50a1db7939cb7109c00b5703e76e7a33");
    for (size_t i = 14; i < 22; ++i)
        EXPECT_EQ(requests[i].target,
                  upload + "name=Tester&score=1&hashcheck=f3cb658bc71bd27d99349de985f5bf71");
}

// Only a 2xx answer is a line of the list; an error page for rank 1, the test request, means
// no server worth the name.
TEST_F(ScoreExchangeTest, AnErrorPageIsNoLineOfTheList) {
    // The failing rank, its status, and the third line after.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"3", 299, "Server oops"}, {"3", 300, "old 2"}, {"1", 500, "old 2"}};
    for (const auto& [rank, status, line3] : cases) {
        for (int i = 0; i < 10; ++i)
            game.internetScores[i] = "old " + std::to_string(i);
        failingRank = rank, failingStatus = status;
        const bool noServer = failingRank == "1";
        EXPECT_EQ(downloadInternetScores(), noServer ? -1 : 1) << status;
        std::vector<std::string> lines = noServer ? linesOf("old ", 0) : linesOf("line ", 1);
        lines[2] = line3;
        expectLines(lines);
        EXPECT_STREQ(game.statusMessage, noServer ? noConnection : "");
    }
}

// Each local entry goes up signed, then its replay as it lies beside hisc.dat (unless larger
// than any replay may be) as the body of a POST to /replays. The status line counts what the
// server did not take: scores first, else replays, with the reason for the first refusal.
TEST_F(ScoreExchangeTest, UploadsAndReplaysTheServerDidNotTakeAreCounted) {
    httpLimits.requestMillis = 400; // what an upload without an answer costs
    ScratchDirectory scratch;
    commitToFile(game.localScores, HighScoreEntry(50, "A"), localScoreFile, std::string("r\0A", 3));
    commitToFile(game.localScores, HighScoreEntry(45, "big"), localScoreFile,
                 std::string(oneMiB + 1, 'x'));
    commitToFile(game.localScores, HighScoreEntry(40, "B"), localScoreFile,
                 std::string(oneMiB, 'B'));
    const auto refused = [](int count, const char* reason) {
        return std::to_string(count) + " of 2 replays were refused by the server" + reason + ".";
    };
    const struct {
        int refused, status, unanswered, result;
        std::vector<int> replayAnswers;
        std::string message;
    } cases[] = {
        {3, 429, 0, 1, {}, "3 of 10 scores were refused by the server."},
        {10, 503, 0, 1, {}, "10 of 10 scores were refused by the server."},
        {1, 300, 0, 1, {422}, "1 of 10 scores were refused by the server."},
        {0, 200, 1, 0, {}, "1 of 10 scores did not get through to the server."},
        {1, 429, 2, 0, {}, "3 of 10 scores did not get through to the server."},
        {0, 200, 0, 1, {200, 299}, ""},
        {0, 200, 0, 1, {422}, refused(1, " (they do not play out as they claim)")},
        {0, 200, 0, 1, {413, 429}, refused(2, " (too large)")},
        {0, 200, 0, 1, {200, 429}, refused(1, " (over the upload limit)")},
        {0, 200, 0, 1, {400}, refused(1, " (damaged)")},
        {0, 200, 0, 1, {403}, refused(1, " (the name is banned)")},
        {0, 200, 0, 1, {503}, refused(1, " (the server is busy)")},
        {0, 200, 0, 1, {300}, refused(1, "")},
        {0, 200, 0, 1, {noAnswer, noAnswer}, "2 of 2 replays did not get through to the server."},
    };
    for (const auto& c : cases) {
        uploads = 0, refusedUploads = c.refused, refusedStatus = c.status;
        unansweredUploads = c.unanswered, replayAnswers = c.replayAnswers;
        const size_t before = local.requests().size();
        EXPECT_EQ(uploadLocalScores(), c.result) << c.message;
        EXPECT_EQ(game.statusMessage, c.message);
        EXPECT_EQ(local.requests().size(), before + 13) << c.message;
    }
    // Return on the score screen: the download after the upload leaves the count in place.
    uploads = unansweredUploads = 0, refusedUploads = 1, refusedStatus = 429;
    game.scoreScreenVisible = game.inMenu = true;
    game.menuSelection = 1;
    pushTestEvent(SDL_KEYDOWN, SDLK_RETURN);
    handleInput();
    EXPECT_STREQ(game.statusMessage, "1 of 10 scores were refused by the server.");
    EXPECT_EQ(game.internetScores[9], "line 10");
    const std::string small = "application/octet-stream 3 " + std::string("r\0A", 3),
                      mib = "application/octet-stream 1048576 BBB";
    std::lock_guard<std::mutex> lock(local.guard);
    ASSERT_EQ(replaysSeen.size(), 2 * std::size(cases) + 2); // and Return's
    for (size_t i = 0; i < replaysSeen.size(); ++i)
        EXPECT_EQ(replaysSeen[i], i % 2 ? mib : small) << "replay " << i;
}

// Switched off, or cut short by the deadline of a server that hangs after one answer or by a
// close asked for while a request waits (SIGTERM comes as one): each exchange says why, the list
// stays as it was, and no request is made that could not help. A close stays queued for the
// frame loop; keys pressed while an exchange waited are dropped.
TEST_F(ScoreExchangeTest, SwitchedOffOrCutShortTheListStaysAsItWas) {
    const std::vector<int> none, key{SDL_KEYDOWN, SDL_KEYUP}, close{SDL_QUIT};
    const struct {
        bool enabled, hang, closeWhileWaiting;
        long exchangeMillis; // each request may take as long as it likes
        int download, upload;
        const char* message;
        size_t requests;
        std::vector<int> queued; // after each exchange
    } cases[] = {
        {false, false, false, 10000, -2, -2, "You have disabled internet highscores.", 0, key},
        // The first answer comes well within 3 s however loaded the machine.
        {true, true, false, 3000, -1, 0, noConnection, 4, none},
        {true, false, true, endlessMillis, -1, -1, noConnection, 1, close}};
    for (const auto& c : cases) {
        game.internetScoresEnabled = c.enabled, hang = c.hang;
        closeWhileWaiting = c.closeWhileWaiting;
        httpLimits.requestMillis = endlessMillis, httpLimits.exchangeMillis = c.exchangeMillis;
        const size_t before = local.requests().size();
        for (auto [exchange, result] : {std::make_pair(downloadInternetScores, c.download),
                                        std::make_pair(uploadLocalScores, c.upload)}) {
            game.statusMessage = "";
            pushTestEvent(SDL_KEYDOWN, '\r'), pushTestEvent(SDL_KEYUP, '\r'); // both dropped
            const auto begin = std::chrono::steady_clock::now();
            EXPECT_EQ(exchange(), result) << c.message;
            EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
            EXPECT_STREQ(game.statusMessage, c.message);
            EXPECT_EQ(takeQueuedEventTypes(), c.queued) << c.message;
            if (c.closeWhileWaiting) // still asked for when the upload begins
                pushTestEvent(SDL_QUIT);
        }
        EXPECT_EQ(local.requests().size() - before, c.requests) << c.message;
        expectLines(linesOf("old ", 0));
    }
}

// Nothing that could carry the request elsewhere or cut the URL gets through.
TEST(ScoreServerChoice, AddressesAndWhichChoiceWins) {
    for (const char* valid :
         {"a-b.example.org:1", "10.0.0.1:65535", "[::1]:8765", "[fe80::1]", "[::]"})
        EXPECT_TRUE(isScoreServerAddress(valid)) << valid;
    for (const char* bad :
         {"", ":80", "example.org:", "example.org:0", "example.org:65536", "a b", "evil.org/x",
          "evil.org#", "user@host", "[::1", "[:]", "::1", "h:80:90", "[g::1]", "h:+80"})
        EXPECT_FALSE(isScoreServerAddress(bad)) << bad;
    EXPECT_TRUE(isScoreServerAddress(std::string(253, 'a')));
    EXPECT_FALSE(isScoreServerAddress(std::string(254, 'a')));
    unsetenv("ORBELLE_SCORE_SERVER");
    const std::string builtIn = scoreServerHost();
    chooseScoreServer("chosen.example:9");
    EXPECT_STREQ(scoreServerHost(), "chosen.example:9");
    setenv("ORBELLE_SCORE_SERVER", "env.example:7", 1);
    EXPECT_STREQ(scoreServerHost(), "env.example:7");
    setenv("ORBELLE_SCORE_SERVER", "", 1); // set to nothing: chooses nothing
    EXPECT_STREQ(scoreServerHost(), "chosen.example:9");
    unsetenv("ORBELLE_SCORE_SERVER");
    chooseScoreServer("");
    EXPECT_EQ(scoreServerHost(), builtIn);
    EXPECT_NE(builtIn, "chosen.example:9");
}
