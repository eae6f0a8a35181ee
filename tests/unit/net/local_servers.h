// Servers on 127.0.0.1 for the network tests, each on a port of its own.
#pragma once

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A cpp-httplib server running on its own thread while the object lives.
class LocalHttpServer {
  public:
    LocalHttpServer();
    explicit LocalHttpServer(httplib::Server* server); // e.g. an SSLServer; takes ownership
    ~LocalHttpServer();
    // Binds 127.0.0.1 (port 0: any free port) and serves; false when the port is taken.
    bool start(int port = 0);
    std::string baseUrl() const;
    std::string hostAndPort() const;

    httplib::Server& server;
    int port = -1;
    std::atomic<bool> stopping{false};

  private:
    std::unique_ptr<httplib::Server> owned;
    std::thread thread;
};

// Records the target of every request, in order of arrival.
class RequestLog {
  public:
    void add(const httplib::Request& request);
    std::vector<std::string> targets();
    std::vector<httplib::Request> requests();

  private:
    std::mutex guard;
    std::vector<httplib::Request> seen;
};

// Sends raw bytes for the odd cases that a proper server never produces: after reading a
// request's headers it sends reply, then keeps the connection open for holdMillis (or until
// destruction) before closing it.
class RawReplyServer {
  public:
    RawReplyServer(std::string reply, int holdMillis);
    ~RawReplyServer();
    int port = -1;
    std::atomic<int> connections{0};

  private:
    void serve();
    std::string reply;
    int holdMillis;
    int listener = -1;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

// A loopback port on which nothing listens.
int closedPort();
// Waits up to maxMillis, in short steps, while the flag is clear.
void sleepUnless(const std::atomic<bool>& flag, int maxMillis);
