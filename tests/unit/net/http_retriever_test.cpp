#include <gtest/gtest.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "net/http_retriever.h"
#include "tests/unit/net/local_servers.h"

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
        savedLimits = httpLimits;
        local.server.Get(
            "/body/(\\d+)", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content(bodyOf(std::stoul(request.matches[1])), "text/plain");
            });
        local.server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<h1>Not here</h1>", "text/html");
        });
        local.server.Get("/old", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/body/5");
        });
        local.server.Get(
            "/agent", [this](const httplib::Request& request, httplib::Response& response) {
                log.add(request);
                response.set_content(request.get_header_value("User-Agent"), "text/plain");
            });
        local.server.Post("/form",
                          [this](const httplib::Request& request, httplib::Response& response) {
                              log.add(request);
                              response.set_content("posted", "text/plain");
                          });
        ASSERT_TRUE(local.start());
    }
    void TearDown() override { httpLimits = savedLimits; }

    std::string url(const std::string& path) { return local.baseUrl() + path; }

    HttpLimits savedLimits;
    RequestLog log;
    LocalHttpServer local;
    HttpRetriever retriever;
};
} // namespace

TEST_F(HttpRetrieverTest, BodiesOfAnyLengthComeBackWholeAndTerminated) {
    for (size_t length : {0, 1, 8191, 8192, 8193, 20000}) {
        const char* text = retriever.retrieve(url("/body/" + std::to_string(length)).c_str());
        ASSERT_NE(text, nullptr) << length;
        EXPECT_EQ(strlen(text), length);
        EXPECT_EQ(std::string(text), bodyOf(length));
        EXPECT_EQ(text, retriever.responseText);
    }
}

TEST_F(HttpRetrieverTest, EachPieceGivesOnlyWhatStandsBeforeItsFirstNul) {
    std::string body = bodyOf(20000);
    body[10] = '\0';   // first piece: 0 to 8190
    body[8291] = '\0'; // second piece: 8191 to 16381
    body[8300] = '\0';
    local.server.Get("/nul", [&body](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/octet-stream");
    });
    const char* text = retriever.retrieve(url("/nul").c_str());
    ASSERT_NE(text, nullptr);
    std::string expected = body.substr(0, 10) + body.substr(8191, 100) + body.substr(16382);
    EXPECT_EQ(std::string(text), expected);
    // The same rule, apart from the network.
    EXPECT_EQ(textFromBody(body), expected);
    EXPECT_EQ(textFromBody(std::string(1, '\0') + "abc"), "");
}

TEST_F(HttpRetrieverTest, AnErrorPageIsABodyLikeAnyOtherAndRedirectsAreFollowed) {
    const char* text = retriever.retrieve(url("/missing").c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "<h1>Not here</h1>");
    text = retriever.retrieve(url("/old").c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), bodyOf(5));
}

TEST_F(HttpRetrieverTest, SendsItsUserAgentAndIgnoresProxySettings) {
    // A proxy that refuses everything: a request that went through it would fail.
    std::string proxy = "http://127.0.0.1:" + std::to_string(closedPort());
    setenv("http_proxy", proxy.c_str(), 1);
    setenv("HTTP_PROXY", proxy.c_str(), 1);
    setenv("ALL_PROXY", proxy.c_str(), 1);
    const char* text = retriever.retrieve(url("/agent").c_str());
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("ALL_PROXY");
    ASSERT_NE(text, nullptr) << "lastError " << retriever.lastError;
    EXPECT_STREQ(text, "Ravik Software HTTP Retriever 1.0");
    ASSERT_EQ(log.requests().size(), 1u);
    EXPECT_EQ(log.requests()[0].method, "GET");
}

TEST_F(HttpRetrieverTest, FailuresKeepThePreviousTextAndRecordTheirCause) {
    const char* first = retriever.retrieve(url("/body/30").c_str());
    ASSERT_NE(first, nullptr);

    std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    EXPECT_EQ(retriever.retrieve(refused.c_str()), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_COULDNT_CONNECT));
    EXPECT_EQ(retriever.responseText, first);
    EXPECT_EQ(std::string(retriever.responseText), bodyOf(30));

    size_t before = log.requests().size();
    EXPECT_EQ(retriever.retrieve(nullptr), nullptr);
    EXPECT_EQ(retriever.lastError, noUrlError);
    EXPECT_EQ(retriever.responseText, first);
    EXPECT_EQ(log.requests().size(), before);

    // Only http and https: nothing is read from the local disk.
    EXPECT_EQ(retriever.retrieve("file:///etc/hostname"), nullptr);
    EXPECT_EQ(retriever.responseText, first);

    EXPECT_NE(retriever.retrieve(url("/body/0").c_str()), nullptr);
    EXPECT_STREQ(retriever.responseText, "");
}

TEST_F(HttpRetrieverTest, AServerThatNeverAnswersIsGivenUpOnAtTheTimeLimit) {
    httpLimits.requestMillis = 300;
    RawReplyServer silent("", 5000);
    auto start = std::chrono::steady_clock::now();
    std::string target = "http://127.0.0.1:" + std::to_string(silent.port) + "/";
    EXPECT_EQ(retriever.retrieve(target.c_str()), nullptr);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_LT(took, std::chrono::milliseconds(4000)) << "the server held for 5 s";
    EXPECT_EQ(silent.connections, 1);
}

TEST_F(HttpRetrieverTest, ABodyCutShortKeepsWhatArrived) {
    httpLimits.requestMillis = 300;
    // Promises 100 bytes, sends 5 and stalls: the request times out in mid-body.
    RawReplyServer stalling("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhello", 5000);
    std::string target = "http://127.0.0.1:" + std::to_string(stalling.port) + "/";
    const char* text = retriever.retrieve(target.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "hello");

    // Headers and then nothing: an empty text, not a failure.
    RawReplyServer headersOnly("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", 5000);
    target = "http://127.0.0.1:" + std::to_string(headersOnly.port) + "/";
    text = retriever.retrieve(target.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
}

TEST_F(HttpRetrieverTest, GathersNoMoreThanTheBodyLimit) {
    httpLimits.maxBodyBytes = 100000;
    const char* text = retriever.retrieve(url("/body/300000").c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(strlen(text), 100000u);
    EXPECT_EQ(std::string(text), bodyOf(300000).substr(0, 100000));
}

TEST_F(HttpRetrieverTest, NoRequestIsStartedAfterTheDeadline) {
    retriever.deadline = std::chrono::steady_clock::now() - std::chrono::milliseconds(1);
    EXPECT_EQ(retriever.retrieve(url("/agent").c_str()), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_OPERATION_TIMEDOUT));
    EXPECT_TRUE(log.requests().empty());
    retriever.deadline = {};
    EXPECT_NE(retriever.retrieve(url("/agent").c_str()), nullptr);
}

TEST_F(HttpRetrieverTest, PostSendsAFormWithTheGivenOrMeasuredLength) {
    std::string target = url("/form");
    ASSERT_TRUE(retriever.sendPost(target.c_str(), "a=1&b=two", -1));
    ASSERT_TRUE(retriever.sendPost(target.c_str(), "x=1\0hidden", 10));
    auto requests = log.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].get_header_value("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].get_header_value("User-Agent"), "Ravik Software HTTP Retriever 1.0");
    EXPECT_EQ(requests[0].body, "a=1&b=two");
    EXPECT_EQ(requests[1].body, std::string("x=1\0hidden", 10));
    EXPECT_EQ(retriever.connection, retriever.rootHandle);
}

TEST(HttpPostTarget, PlainHttpOnPort80AndHttpsOnEveryOtherPort) {
    EXPECT_STREQ(postSchemeForPort(80), "http");
    EXPECT_STREQ(postSchemeForPort(443), "https");
    EXPECT_STREQ(postSchemeForPort(8080), "https");
    EXPECT_EQ(postTargetUrl("http://example.org/a/b?c=1"), "http://example.org:80/a/b?c=1");
    EXPECT_EQ(postTargetUrl("http://example.org:8080/x"), "https://example.org:8080/x");
    EXPECT_EQ(postTargetUrl("https://example.org"), "https://example.org:443/");
    EXPECT_EQ(postTargetUrl("https://example.org:80/p#frag"), "http://example.org:80/p");
    EXPECT_EQ(postTargetUrl("not a url"), "");
    EXPECT_EQ(postTargetUrl(nullptr), "");

    HttpRetriever retriever;
    EXPECT_EQ(retriever.retrieve("::::", true, "a=1", -1), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_URL_MALFORMAT));
}

TEST(HttpPost, VerifiesTheCertificateOfAnHttpsServer) {
    // A self-signed certificate for 127.0.0.1: a verifying client must turn it down.
    std::string dir = testing::TempDir();
    std::string cert = dir + "orbelle_test_cert.pem", key = dir + "orbelle_test_key.pem";
    std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                          " -addext subjectAltName=IP:127.0.0.1 -keyout " +
                          key + " -out " + cert + " >/dev/null 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << "openssl is needed for this test";
    LocalHttpServer local(new httplib::SSLServer(cert.c_str(), key.c_str()));
    local.server.Post("/form", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("accepted", "text/plain");
    });
    ASSERT_TRUE(local.start());
    HttpRetriever retriever;
    // Any port but 80 means HTTPS, so this goes to the TLS server.
    std::string target = local.baseUrl() + "/form";
    EXPECT_EQ(retriever.retrieve(target.c_str(), true, "a=1", -1), nullptr);
    EXPECT_EQ(retriever.lastError, uint32_t(CURLE_PEER_FAILED_VERIFICATION));
}
