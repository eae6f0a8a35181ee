// Servers on 127.0.0.1 for the network tests.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback address on which nothing listens: connections to it are refused.
const char* const refusingHost = "127.0.0.1:1";

// A cpp-httplib server (or an SSLServer it takes over) serving on its own thread while it lives.
struct LocalHttpServer {
    explicit LocalHttpServer(httplib::Server* given = new httplib::Server)
        : owned(given), server(*given) {}
    ~LocalHttpServer() { stop(); }
    // Every request is logged in order of arrival, whatever its answer.
    bool start() {
        server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            std::lock_guard<std::mutex> lock(guard);
            seen.push_back(request);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        port = server.bind_to_any_port("127.0.0.1");
        // An idle kept-alive connection would hold up stop() for the whole keep-alive time.
        server.set_keep_alive_max_count(1);
        thread = std::thread([this] { server.listen_after_bind(); });
        // stop() is lost on a server that has not begun its loop, so wait for it.
        for (int i = 0; i < 300 && !server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return port > 0 && server.is_running();
    }
    void stop() {
        stopping = true;
        if (thread.joinable()) {
            server.stop();
            thread.join();
        }
    }
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(port); }
    std::string url(const std::string& path) const { return "http://" + hostAndPort() + path; }
    std::vector<httplib::Request> requests() {
        std::lock_guard<std::mutex> lock(guard);
        return seen;
    }
    void sleepUnlessStopping(int maxMillis) {
        for (int waited = 0; !stopping && waited < maxMillis; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::unique_ptr<httplib::Server> owned;
    httplib::Server& server;
    int port = -1;
    std::atomic<bool> stopping{false};
    std::thread thread;
    std::mutex guard;
    std::vector<httplib::Request> seen;
};
