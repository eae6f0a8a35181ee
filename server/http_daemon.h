// The score server's HTTP plumbing on libmicrohttpd: one event loop per core over epoll, so a
// connection that idles or trickles costs a little memory and no thread. What is served is
// decided elsewhere, by one function from a request to a reply; work that may wait (the
// database) runs on worker threads while the event loops go on with other connections.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/connection_slots.h"
#include "server/score_request.h"
#include "server/work_pool.h"

struct MHD_Daemon;

struct HttpRequest {
    std::string method;
    std::string path; // decoded
    QueryParams query;
    std::string accept;        // the Accept header, empty when absent
    std::string clientAddress; // numeric
    std::string body;          // only where a BodyRoute lets one in
};

struct HttpAnswer {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
};

// The answer, or work that makes the reply, which may be more work for another pool (a check
// that costs CPU, then a store call). The work runs on the pool's threads, or where the reply
// is taken when there is no pool; a full pool gets 503 with an empty body at once.
struct HttpReply {
    HttpAnswer answer;
    std::function<HttpReply()> work;
    WorkPool* pool = nullptr;
};

using HttpHandler = std::function<HttpReply(const HttpRequest&)>;

// The answer of a reply, all its work done on this thread.
HttpAnswer answerNow(HttpReply reply);

// Requests that may carry a body, which is read into memory: the rest get 413 for one. The
// body must arrive, with the headers, within the header deadline.
struct BodyRoute {
    std::string method, path;
    size_t maxBytes;
};

struct ServerLimits {
    unsigned connections = 4096;
    unsigned connectionsPerAddress = 32; // per client group (IPv6: per /64)
    unsigned idleSeconds = 10;
    unsigned headerSeconds = 5;             // for a request line and headers, from waiting on
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
    bool logTimes = true; // access-log lines begin with the UTC time
    std::vector<BodyRoute> bodyRoutes;
    // Memory that the bodies being read and served may hold together; past it, 503.
    size_t bodyBudget = 64 << 20;
    std::atomic<size_t> bodyBytesHeld{0};
    std::atomic<int> requestsInFlight{0};
    ConnectionSlots slots;
    // Drops connections whose headers are overdue.
    std::thread watcher;
    std::mutex watcherGuard;
    std::condition_variable watcherWake;
    bool stopping = false;
};

// Binds and listens on a numeric IPv4 or IPv6 address; port 0 takes a free port. The port is
// never shared with another socket (no SO_REUSEPORT), so a second server on it fails here.
bool openListenSocket(HttpDaemon& http, const std::string& address, int port, std::string* error);
// Serves the listening socket with handler until stopHttpDaemon.
bool startHttpDaemon(HttpDaemon& http, std::string* error);
// Stops taking connections; those open may still send requests.
void quiesceHttpDaemon(HttpDaemon& http);
// Waits for up to millis until no request is in flight.
void awaitRequests(HttpDaemon& http, int millis);
// Closes every connection. The pools that replies name must be stopped before: no work may
// be left to answer a connection.
void stopHttpDaemon(HttpDaemon& http);
