// The HTTP retriever against servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "http/http_retriever.h"
#include "tests/support/local_servers.h"
#include "tests/support/test_game.h"

namespace {
// A body of length bytes that holds no NUL and does not repeat within a piece.
std::string bodyOf(size_t length) {
    std::string body(length, ' ');
    for (size_t i = 0; i < length; ++i)
        body[i] = char('!' + (i * 7 + i / 91) % 90);
    return body;
}

class HttpRetrieverTest : public testing::Test {
  protected:
    void SetUp() override {
        body = bodyOf(20000);
        body[10] = '\0';   // first piece: 0 to 8190
        body[8291] = '\0'; // second piece: 8191 to 16381
        body[8300] = '\0';
        local.server.Get(
            "/body/(\\d+)", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content(bodyOf(std::stoul(request.matches[1])), "text/plain");
            });
        local.server.Get("/nul", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(body, "application/octet-stream");
        });
        local.server.Get(
            "/cut/(\\d+)", [](const httplib::Request& request, httplib::Response& response) {
                const size_t sent = std::stoul(request.matches[1]);
                response.set_content_provider(
                    100, "text/plain", [sent](size_t, size_t, httplib::DataSink& sink) {
                        sink.write(bodyOf(sent).data(), sent);
                        return false; // the connection is closed after the headers and sent bytes
                    });
            });
        local.server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<h1>Not here</h1>", "text/html");
        });
        local.server.Get("/hang", [this](const httplib::Request&, httplib::Response&) {
            local.sleepUnlessStopping(5000);
        });
        // Redirects to this server, to another port and to another name of this host.
        ASSERT_TRUE(other.start());
        const std::pair<std::string, std::string> redirects[] = {
            {"/here", "/body/30"},
            {"/moved", "/hang"},
            {"/loop", "/loop"},
            {"/elsewhere", other.url("/body/5")},
            {"/otherhost", "http://localhost:" + std::to_string(local.port) + "/body/5"}};
        for (const auto& [from, to] : redirects)
            local.server.Get(from, [to = to](const httplib::Request&, httplib::Response& response) {
                response.set_redirect(to);
                response.set_content("moved", "text/plain");
            });
        ASSERT_TRUE(local.start());
    }
    void TearDown() override { httpLimits = HttpLimits(); }
    const char* get(const std::string& path) { return retriever.retrieve(local.url(path).c_str()); }
    std::string body;
    LocalHttpServer other, local;
    HttpRetriever retriever;
};
} // namespace

// An error page is an answer like any other, and a body cut short by the server is what came of
// it, none at all included.
TEST_F(HttpRetrieverTest, BodiesComeBackWholeUpToTheLimitAndEachPieceUpToItsNul) {
    const std::pair<std::string, std::string> cases[] = {
        {"/body/0", ""},
        {"/body/8191", bodyOf(8191)},
        {"/body/8192", bodyOf(8192)},
        {"/body/20000", bodyOf(20000)},
        {"/body/1500000", bodyOf(1024 * 1024)},
        {"/nul", body.substr(0, 10) + body.substr(8191, 100) + body.substr(16382)},
        {"/missing", "<h1>Not here</h1>"},
        {"/cut/0", ""},
        {"/cut/5", bodyOf(5)}};
    // Through a proxy that refuses everything a request would fail: none is used.
    setenv("http_proxy", (std::string("http://") + refusingHost).c_str(), 1);
    for (const auto& [path, expected] : cases) {
        const char* text = get(path);
        ASSERT_NE(text, nullptr) << path << " lastError " << retriever.lastError;
        EXPECT_EQ(std::string(text), expected) << path;
    }
    unsetenv("http_proxy");
}

TEST_F(HttpRetrieverTest, FailuresKeepThePreviousTextAndRecordTheirCause) {
    const char* first = get("/body/30");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(retriever.retrieve((std::string("http://") + refusingHost + "/").c_str()), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_COULDNT_CONNECT));
    EXPECT_EQ(retriever.retrieve(nullptr), nullptr);
    EXPECT_EQ(retriever.lastError, 0xFFFFFFFFu);
    EXPECT_EQ(retriever.retrieve("file:///etc/hostname"), nullptr); // only http and https
    EXPECT_EQ(retriever.responseText, first);
    EXPECT_EQ(std::string(retriever.responseText), bodyOf(30));
    // Less than a millisecond left counts as none: curl would read a time-out of 0 as no
    // time-out. With libcurl loaded and the handle made, a request takes well under one to prepare.
    retriever.deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(990);
    EXPECT_EQ(get("/body/30"), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_OPERATION_TIMEDOUT));
    retriever.deadline = {};
    httpLimits.requestMillis = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get("/hang"), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    // A redirect is no answer: its end of headers must not pass for one.
    EXPECT_EQ(get("/moved"), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_OPERATION_TIMEDOUT));
}

// Anyone on the path of plain HTTP could otherwise send the game's requests to any machine.
TEST_F(HttpRetrieverTest, RedirectsAreFollowedOnTheSameServerOnlyAndAFewTimesAtMost) {
    const std::pair<const char*, std::string> cases[] = {{"/here", bodyOf(30)},
                                                         {"/loop", "moved"},
                                                         {"/elsewhere", "moved"},
                                                         {"/otherhost", "moved"}};
    for (const auto& [path, expected] : cases) {
        const char* text = get(path);
        ASSERT_NE(text, nullptr) << path;
        EXPECT_EQ(std::make_pair(std::string(text), retriever.status),
                  std::make_pair(expected, expected == "moved" ? 302L : 200L))
            << path;
    }
    EXPECT_EQ(other.requests().size(), 0u);
    // The first request and five redirects; the next one is not followed.
    const auto requests = local.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const httplib::Request& r) { return r.path == "/loop"; }),
              6);
}

TEST(HttpPost, PlainHttpOnPort80HttpsElsewhereAndTheCertificateIsVerified) {
    EXPECT_EQ(postTargetUrl("http://example.org/a/b?c=1"), "http://example.org:80/a/b?c=1");
    EXPECT_EQ(postTargetUrl("http://example.org:8080/x"), "https://example.org:8080/x");
    EXPECT_EQ(postTargetUrl("https://example.org:80/p#frag"), "http://example.org:80/p");
    EXPECT_EQ(postTargetUrl("http://example.org"), "http://example.org:80/");
    // A self-signed certificate for 127.0.0.1, with its key: a verifying client turns it down.
    const std::string pem =
        ScratchDirectory::sourceDirectory() + "/tests/unit/http/self-signed.pem";
    LocalHttpServer local(new httplib::SSLServer(pem.c_str(), pem.c_str()));
    local.server.Post("/form", [](const httplib::Request&, httplib::Response&) {});
    ASSERT_TRUE(local.start());
    HttpRetriever retriever; // any port but 80 means HTTPS, so this goes to the TLS server
    EXPECT_EQ(retriever.retrieve(local.url("/form").c_str(), true, "a=1", -1), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_PEER_FAILED_VERIFICATION));
}
