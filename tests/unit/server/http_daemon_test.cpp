// The HTTP layer as clients meet it: raw requests on a real socket, the status each gets and
// the access-log line each leaves; connections past their limits; a full check queue.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <future>
#include <regex>

#include "server/score_server.h"
#include "server/server_log.h"
#include "tests/support/local_servers.h"
#include "tests/support/reference_replays.h"

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

struct HttpDaemonTest : testing::Test {
    void SetUp() override {
        settings.location = freshScoreDatabase();
        ASSERT_TRUE(openScoreStore(store, settings, &error)) << error;
        startWorkPool(storeWork, 1, 8);
        startWorkPool(replayWork, 1, 1);
        routes.store = &store;
        routes.storeWork = &storeWork;
        routes.replayWork = &replayWork;
        http.handler = [this](const HttpRequest& request) {
            return routeScoreRequest(routes, request);
        };
        http.bodyRoutes = {{"POST", scoreReplayPath, replayMaxFileBytes}};
        http.limits.requestLineLength = 100;
        http.bodyBudget = 1000;
        ASSERT_EQ(pipe2(log, O_CLOEXEC | O_NONBLOCK), 0);
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
        close(log[0]);
        close(log[1]);
        closeScoreStore(store);
        std::remove(settings.location.c_str());
    }
    // The next line of the log, waited for up to 10 s.
    std::string logged() {
        for (size_t end; (end = logText.find('\n')) == std::string::npos;) {
            pollfd ready{log[0], POLLIN, 0};
            char buffer[4096];
            ssize_t size = poll(&ready, 1, 10000) == 1 ? read(log[0], buffer, sizeof buffer) : 0;
            if (size <= 0)
                return "nothing logged";
            logText.append(buffer, size_t(size));
        }
        std::string line = logText.substr(0, logText.find('\n'));
        logText.erase(0, line.size() + 1);
        return line;
    }
    StoreSettings settings;
    ScoreStore store;
    std::string error, logText;
    WorkPool storeWork, replayWork;
    ScoreRoutes routes;
    HttpDaemon http;
    int log[2] = {-1, -1};
};
} // namespace

// Each log line: the UTC time, the client, the method and target as sent with unprintable
// bytes and backslashes escaped and the signature left out, the status and the microseconds.
TEST_F(HttpDaemonTest, EachRequestGetsItsStatusAndOneEscapedLogLine) {
    start();
    const std::string rank = std::string(scoreRankPath) + "?sija=1", replay = referenceReplay("0");
    const std::string hash = "710dbc618e9e892d99a35713964eb01e"; // md5 of "A7kovrenaltu37"
    std::string args = "/?";
    for (int i = 0; i < 33; ++i)
        args += "a&";
    const struct {
        std::string bytes;
        int status;
        std::string logged; // with the status, without time, client and microseconds
    } cases[] = {
        {request("GET " + rank), 200, "GET " + rank + " 200"},
        {request("HEAD " + rank), 200, "HEAD " + rank + " 200"},
        {request("GET " + std::string(scoreUploadPath) + "?hashcheck=" + hash + "&name=A&score=7"),
         200, "GET /velmo/orbelle/lisaaennatys.php?name=A&score=7 200"},
        {request("GET /a\x1b[b\\c?x=\x7f\xff&hashcheck=1"), 404,
         "GET /a\\x1b[b\\x5cc?x=\\x7f\\xff 404"},
        {request("G\x01T /"), 404, "G\\x01T / 404"},
        {request("GET /" + std::string(99, 'a')), 404, "GET /" + std::string(99, 'a') + " 404"},
        {request("GET /" + std::string(100, 'a')), 414, "GET /" + std::string(100, 'a') + " 414"},
        {request("GET /?a=1?b=2"), 400, "GET /?a=1?b=2 400"},
        {request("GET " + args), 400, "GET " + args + " 400"},
        {request("GET /", "Content-Length: 0\r\nContent-Length: 5\r\n"), 400, "GET / 400"},
        {request("GET /", "Content-Length: 0\r\nContent-Length: 0\r\n"), 200, "GET / 200"},
        {request("GET /", "Content-Length: 5\r\n") + "abcde", 413, "GET / 413"},
        {request("POST /replays", "Transfer-Encoding: chunked\r\n") + "0\r\n\r\n", 411,
         "POST /replays 411"},
        {request("POST /replays", "Content-Length: 1048577\r\n"), 413, "POST /replays 413"},
        {request("POST /replays", "Content-Length: 1001\r\n"), 503, "POST /replays 503"},
        {request("POST /replays", "Content-Length: 1000\r\n") + std::string(1000, 'x'), 400,
         "POST /replays 400"},
        {request("POST /replays", "Content-Length: " + std::to_string(replay.size()) + "\r\n") +
             replay,
         200, "POST /replays 200"},
        {request("POST " + rank), 404, "POST " + rank + " 404"},
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

// The journal stamps lines itself.
TEST_F(HttpDaemonTest, TheLogOmitsTimesForTheJournal) {
    http.logTimes = false;
    start();
    EXPECT_EQ(statusOf(http.port, request("GET /x")), 404);
    EXPECT_EQ(logged().substr(0, 21), "127.0.0.1 GET /x 404 ");
}

// Two connections a client: a third is closed unanswered. A request line and headers are due
// within a second of the opening, however slowly they trickle.
TEST_F(HttpDaemonTest, ConnectionsPastTheClientsShareOrTheirHeaderTimeAreClosed) {
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
    EXPECT_EQ(statusOf(http.port, request("GET /")), 200);
}

// While the check's one thread is busy and one replay waits, the next gets 503 at once and
// rank requests go on; the replay that waited is answered when its turn comes. Quiet, the
// server logs no request.
TEST_F(HttpDaemonTest, AFullCheckQueueAnswersAtOnceAndRanksGoOn) {
    http.accessLog = false;
    start();
    const std::string rank = request("GET " + std::string(scoreRankPath) + "?sija=1"),
                      replay = referenceReplay("0");
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
    EXPECT_EQ(statusOf(http.port, rank), 200);
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    release.set_value();
    EXPECT_EQ(waiting.get(), 200);
    std::vector<RankedScore> best;
    ASSERT_TRUE(fetchTopScores(store, 1, true, &best, StoreClock::now() + std::chrono::seconds(2)));
    EXPECT_EQ(rankLineText(best.at(0).name, best.at(0).score), "script 226");
    logMessage("end");
    EXPECT_EQ(logged(), "orbelle-score-server: end");
}
