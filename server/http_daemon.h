// The score server's HTTP plumbing on libmicrohttpd: one event loop per core over epoll, so a
// connection that idles or trickles costs a little memory and no thread. What is served is
// decided elsewhere, by one function from a request to an answer.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "server/score_request.h"

struct MHD_Daemon;

struct HttpRequest {
    std::string method;
    std::string path; // decoded
    QueryParams query;
    std::string accept;        // the Accept header, empty when absent
    std::string clientAddress; // numeric
};

struct HttpAnswer {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
};

using HttpHandler = std::function<HttpAnswer(const HttpRequest&)>;

struct ServerLimits {
    unsigned connections = 4096;
    unsigned connectionsPerAddress = 32;
    unsigned idleSeconds = 10;
    size_t memoryPerConnection = 32 * 1024; // request line and headers must fit
    size_t requestLineLength = 1024;        // the target of the request line, in bytes
    unsigned threads = 0;                   // 0: one per processor
};

struct HttpDaemon {
    MHD_Daemon* daemon = nullptr;
    int listenSocket = -1;
    int port = 0;
    HttpHandler handler;
    ServerLimits limits;
    bool accessLog = true;
    std::atomic<int> requestsInFlight{0};
};

// Binds and listens on a numeric IPv4 or IPv6 address; port 0 takes a free port. The port is
// never shared with another socket (no SO_REUSEPORT), so a second server on it fails here.
bool openListenSocket(HttpDaemon& http, const std::string& address, int port, std::string* error);
// Serves the listening socket with handler until stopHttpDaemon.
bool startHttpDaemon(HttpDaemon& http, std::string* error);
// Stops taking connections, lets the requests in flight finish for up to graceMillis, then
// closes everything.
void stopHttpDaemon(HttpDaemon& http, int graceMillis);
