// The server's answers on a real store: straight from the routes, and as clients meet them on
// a real socket, with the status each gets and the access-log line each leaves; connections
// past their limits; a full check queue.
#include <gtest/gtest.h>
#include <httplib.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <regex>

#include "server/score_server.h"
#include "server/server_log.h"
#include "tests/support/reference_replays.h"
#include "tests/support/score_stores.h"

namespace {
std::string request(const std::string& line, const std::string& headers = "") {
    return line + " HTTP/1.1\r\nHost: o\r\nConnection: close\r\n" + headers + "\r\n";
}

int connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    return fd;
}

// What arrives on fd until the peer closes it, or "timeout" after 10 s without a byte.
std::string readToEnd(int fd) {
    std::string got;
    char buffer[4096];
    for (pollfd ready{fd, POLLIN, 0}; poll(&ready, 1, 10000) == 1;) {
        ssize_t size = read(fd, buffer, sizeof(buffer));
        if (size <= 0)
            return got;
        got.append(buffer, size_t(size));
    }
    return "timeout";
}

// The status of the answer to bytes sent on a new connection; 0 when closed without one.
int statusOf(int port, const std::string& bytes) {
    int fd = connectTo(port);
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); // a refused connection may be closed
    std::string answer = readToEnd(fd);
    close(fd);
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::stoi(answer.substr(9, 3)) : 0;
}

std::string upload(const std::string& name, const std::string& score, const std::string& hash) {
    return std::string(scoreUploadPath) + "?name=" + httplib::detail::encode_query_param(name) +
           "&score=" + score + "&hashcheck=" + hash;
}

std::string rank(const std::string& text) {
    return std::string(scoreRankPath) + "?sija=" + text;
}

// The routes on a fresh store, served on a free port of 127.0.0.1 once start() is called,
// with the log on a socket whose lines logged() reads.
struct ScoreServerTest : StoreTest {
    void SetUp() override {
        StoreTest::SetUp();
        startWorkPool(storeWork, 1, 8);
        startWorkPool(replayWork, 1, 1);
        routes.store = &store;
        routes.storeWork = &storeWork;
        routes.replayWork = &replayWork;
        routes.pageSize = 3;
        http.handler = [this](const HttpRequest& request) {
            return routeScoreRequest(routes, request);
        };
        http.bodyRoutes = {{"POST", scoreReplayPath, replayMaxFileBytes}};
        http.limits.requestLineLength = 100;
        http.bodyBudget = 1000;
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, log), 0);
        const timeval tenSeconds{10, 0}; // the longest logged() waits for a line
        setsockopt(log[0], SOL_SOCKET, SO_RCVTIMEO, &tenSeconds, sizeof tenSeconds);
        logReader = fdopen(log[0], "r");
        startServerLog(log[1], 1 << 16);
    }
    void start() {
        ASSERT_TRUE(openListenSocket(http, "127.0.0.1", 0, &error) && startHttpDaemon(http, &error))
            << error;
    }
    void TearDown() override {
        stopWorkPool(replayWork);
        stopWorkPool(storeWork);
        stopHttpDaemon(http);
        stopServerLog(1000);
        if (logReader != nullptr)
            fclose(logReader);
        close(log[1]);
        StoreTest::TearDown();
    }
    std::string logged() {
        char line[4096];
        return fgets(line, sizeof line, logReader) ? std::string(line, strcspn(line, "\n"))
                                                   : "nothing logged";
    }
    // The answer straight from the routes, its work done here.
    std::string answer(const std::string& target, const char* method = "GET",
                       const char* accept = "") {
        HttpRequest request{method, "", {}, accept, "10.0.0.1", ""};
        EXPECT_TRUE(parseRequestTarget(target, &request.path, &request.query));
        HttpAnswer got = answerNow(routeScoreRequest(routes, request));
        return std::to_string(got.status) + " " + got.contentType + " " + got.body;
    }
    // The status and the first line of the answer to a replay sent.
    std::string post(const std::string& file) {
        HttpRequest request{"POST", scoreReplayPath, {}, "", "10.0.0.1", file};
        HttpAnswer got = answerNow(routeScoreRequest(routes, request));
        return std::to_string(got.status) + " " + got.body.substr(0, got.body.find(':'));
    }
    WorkPool storeWork, replayWork;
    ScoreRoutes routes;
    HttpDaemon http;
    int log[2] = {-1, -1};
    FILE* logReader = nullptr;
};
} // namespace

// Equal scores keep the order they came in; the same name and score twice is one entry. With
// no time left for the store, what needs it gets 503 with an empty body, and the rest is
// answered as ever.
TEST_F(ScoreServerTest, EachRouteAndMethodGetsItsAnswer) {
    const std::string uploads[] = {upload("low", "-7", "d96bb601cca7bd8280d216f2db983851"),
                                   upload("a&b %c", "50", "61da91937d1976463ff114a8f9d0b93c"),
                                   upload("second", "50", "d353cd5b3b7f69aab3f0510342930cc7"),
                                   upload("a&b %c", "50", "61da91937d1976463ff114a8f9d0b93c")};
    for (const std::string& target : uploads)
        EXPECT_EQ(answer(target), "200 text/plain OK\n");
    const std::string json = "200 application/json [{\"rank\":1,\"name\":\"best\",\"score\":900,"
                             "\"verified\":false},{\"rank\":2,\"name\":\"a&b %c\",\"score\":50,"
                             "\"verified\":false}";
    const struct {
        std::string target;
        const char *method, *accept;
        std::string expected;
        bool store; // needs the store
    } cases[] = {
        {upload("best", "900", "c166e72aab68a17f4010465fe0e42eee"), "GET", "",
         "200 text/plain OK\n", true},
        {rank("1"), "GET", "", "200 text/plain best 900", true},
        {rank("1"), "HEAD", "", "200 text/plain best 900", true},
        {rank("2"), "GET", "", "200 text/plain a&b %c 50", true},
        {rank("3"), "GET", "", "200 text/plain second 50", true},
        {rank("4"), "GET", "", "200 text/plain low -7", true},
        {rank("5"), "GET", "", "200 text/plain ", true},
        {rank("11"), "GET", "", "400 text/plain Bad rank\n", false},
        {rank("1"), "POST", "", "404 text/plain ", false},
        {"/velmo/other.php", "GET", "", "404 text/plain ", false},
        {"/", "GET", "text/plain", "200 text/plain Orbelle score server\n", false},
        {"/scores.json?limit=2", "GET", "", json + "]\n", true},
        {"/scores.json", "GET", "",
         json + ",{\"rank\":3,\"name\":\"second\",\"score\":50,\"verified\":false}]\n", true},
        {"/scores.json?limit=0", "GET", "", "400 text/plain Bad limit\n", false},
        {upload("Ann", "10", "fb589b3825329776a6d2a64aa8718711"), "GET", "",
         "403 text/plain Bad hashcheck\n", false},
        {upload("Ann", "1e3", "fb589b3825329776a6d2a64aa8718710"), "GET", "",
         "400 text/plain Bad request\n", false},
        {"/health", "GET", "", "200 text/plain OK\n", true},
        {"/replays/1", "GET", "", "404 text/plain ", true},
    };
    for (int millis : {2000, 0}) {
        routes.storeTime = std::chrono::milliseconds(millis);
        for (const auto& c : cases)
            EXPECT_EQ(answer(c.target, c.method, c.accept),
                      c.store && millis == 0 ? "503 text/plain " : c.expected)
                << millis << " ms: " << c.method << " " << c.target;
        const std::string page = answer("/", "GET", "text/html");
        EXPECT_EQ(page.substr(0, 29), millis ? "200 text/html; charset=utf-8 " : "503 text/plain ");
        EXPECT_EQ(page.find("<td>second</td>") != std::string::npos, millis != 0);
    }
}

// Each replay is refused whole: no entry stored, none marked. A genuine round is kept once, for
// the name and score it carries, and only for those. (Each way a replay can part from its
// round: VerifyCommand.)
TEST_F(ScoreServerTest, ForgedReplaysAreRefusedAndNothingIsKept) {
    using Change = std::function<void(Replay&)>;
    const std::string genuine = referenceReplay("3"), nothing = "200 text/plain ",
                      kept = "200 text/plain script 410";
    UploadLimiter limiter;
    limiter.perMinute = 6;
    routes.uploads = &limiter;
    ASSERT_EQ(store.backend->setBanned("x", true, soon()), StoreAnswer::done);
    // clang-format off
    const struct {
        const char* what;
        std::string file, answer, rankOne;
    } cases[] = {
        {"one input changed", changedReplay("3", Change([](Replay& r) { r.frames[700].input ^= replayHeldLeft; })), "422 Does not play out as claimed", nothing},
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

// Each log line: the UTC time, the client, the method and target as sent with unprintable
// bytes and backslashes escaped and the signature left out, the status and the microseconds.
TEST_F(ScoreServerTest, EachRequestGetsItsStatusAndOneEscapedLogLine) {
    start();
    const std::string hash = "710dbc618e9e892d99a35713964eb01e"; // md5 of "A7kovrenaltu37"
    const struct {
        std::string bytes;
        int status;
        std::string logged; // with the status, without time, client and microseconds
    } cases[] = {
        {request("GET " + rank("1")), 200, "GET " + rank("1") + " 200"},
        {request("GET " + std::string(scoreUploadPath) + "?hashcheck=" + hash + "&name=A&score=7"),
         200, "GET /velmo/orbelle/lisaaennatys.php?name=A&score=7 200"},
        {request("GET /a\x1b[b\\c?x=\x7f\xff&hashcheck=1"), 404,
         "GET /a\\x1b[b\\x5cc?x=\\x7f\\xff 404"},
        {request("G\x01T /"), 404, "G\\x01T / 404"},
        {request("GET /" + std::string(99, 'a')), 404, "GET /" + std::string(99, 'a') + " 404"},
        {request("GET /" + std::string(100, 'a')), 414, "GET /" + std::string(100, 'a') + " 414"},
        {request("GET /?a=1?b=2"), 400, "GET /?a=1?b=2 400"},
        {request("GET /", "Content-Length: 0\r\nContent-Length: 5\r\n"), 400, "GET / 400"},
        {request("GET /", "Content-Length: 0\r\nContent-Length: 0\r\n"), 200, "GET / 200"},
        {request("GET /", "Content-Length: 5\r\n") + "abcde", 413, "GET / 413"},
        {request("POST /replays", "Transfer-Encoding: chunked\r\n") + "0\r\n\r\n", 411,
         "POST /replays 411"},
        {request("POST /replays", "Content-Length: 1048577\r\n"), 413, "POST /replays 413"},
        {request("POST /replays", "Content-Length: 1001\r\n"), 503, "POST /replays 503"},
        {request("POST /replays", "Content-Length: 1000\r\n") + std::string(1000, 'x'), 400,
         "POST /replays 400"},
    };
    const std::regex line("(20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]Z) "
                          "127\\.0\\.0\\.1 (.*) ([0-9]+)");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        EXPECT_EQ(statusOf(http.port, c.bytes), c.status);
        std::smatch parts;
        std::string text = logged();
        ASSERT_TRUE(std::regex_match(text, parts, line)) << text;
        EXPECT_EQ(parts[2].str(), c.logged);
        EXPECT_LT(std::stoll(parts[3].str()), 60000000);
    }
}

// Two connections a client: a third is closed unanswered. A request line and headers are due
// within a second of the opening, however slowly they trickle. For the journal, which stamps
// lines itself, the log leaves out the time.
TEST_F(ScoreServerTest, ConnectionsPastTheClientsShareOrTheirHeaderTimeAreClosed) {
    http.logTimes = false;
    http.limits.connectionsPerAddress = 2;
    http.limits.headerSeconds = 1;
    http.limits.idleSeconds = 60;
    start();
    auto opened = std::chrono::steady_clock::now();
    int held[] = {connectTo(http.port), connectTo(http.port)};
    EXPECT_EQ(statusOf(http.port, request("GET /")), 0);
    EXPECT_EQ(write(held[0], "GET / HTTP/1.1\r\n", 16), 16);
    for (int fd : held) {
        EXPECT_EQ(readToEnd(fd), "");
        close(fd);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - opened, std::chrono::seconds(1));
    for (int i = 0; i < 3; ++i) // each gives its slot back when it closes
        EXPECT_EQ(statusOf(http.port, request("GET /")), 200) << i;
    EXPECT_EQ(logged().substr(0, 20), "127.0.0.1 GET / 200 ");
}

// While the check's one thread is busy and one replay waits, the next gets 503 at once and
// rank requests go on; the replay that waited is answered when its turn comes. Quiet, the
// server logs no request.
TEST_F(ScoreServerTest, AFullCheckQueueAnswersAtOnceAndRanksGoOn) {
    http.accessLog = false;
    start();
    const std::string replay = referenceReplay("0");
    auto send = [&] {
        return statusOf(
            http.port,
            request("POST /replays", "Content-Length: " + std::to_string(replay.size()) + "\r\n") +
                replay);
    };
    auto queued = [&] {
        std::lock_guard<std::mutex> lock(replayWork.guard);
        return replayWork.jobs.size();
    };
    std::promise<void> started, release;
    ASSERT_TRUE(submitWork(replayWork, [&, released = release.get_future().share()] {
        started.set_value();
        released.wait();
    }));
    started.get_future().wait();
    std::future<int> waiting = std::async(std::launch::async, send);
    for (int i = 0; i < 1000 && queued() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(queued(), 1u);
    EXPECT_EQ(send(), 503);
    EXPECT_EQ(statusOf(http.port, request("GET " + rank("1"))), 200);
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    release.set_value();
    EXPECT_EQ(waiting.get(), 200);
    EXPECT_EQ(listedScores(store), "script 226 +;");
    logMessage("end");
    EXPECT_EQ(logged(), "orbelle-score-server: end");
}
