#include "tests/unit/net/local_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {
const int pollStepMillis = 10;
const int startWaitSteps = 300;

int bindLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

bool waitReadable(int fd, const std::atomic<bool>& stopping) {
    pollfd entry{fd, POLLIN, 0};
    while (!stopping) {
        if (poll(&entry, 1, pollStepMillis) > 0)
            return true;
    }
    return false;
}
} // namespace

LocalHttpServer::LocalHttpServer() : server(*new httplib::Server), owned(&server) {}

LocalHttpServer::LocalHttpServer(httplib::Server* server) : server(*server), owned(server) {}

LocalHttpServer::~LocalHttpServer() {
    stopping = true;
    if (thread.joinable()) {
        server.stop();
        thread.join();
    }
}

bool LocalHttpServer::start(int wantedPort) {
    if (wantedPort == 0) {
        port = server.bind_to_any_port("127.0.0.1");
    } else {
        port = server.bind_to_port("127.0.0.1", wantedPort) ? wantedPort : -1;
    }
    if (port <= 0)
        return false;
    // An idle kept-alive connection would hold up stop() for the whole keep-alive time.
    server.set_keep_alive_max_count(1);
    thread = std::thread([this] { server.listen_after_bind(); });
    // stop() is lost on a server that has not begun its loop, so wait for it.
    for (int i = 0; i < startWaitSteps && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(pollStepMillis));
    return server.is_running();
}

std::string LocalHttpServer::hostAndPort() const {
    return "127.0.0.1:" + std::to_string(port);
}

std::string LocalHttpServer::baseUrl() const {
    return "http://" + hostAndPort();
}

void RequestLog::add(const httplib::Request& request) {
    std::lock_guard<std::mutex> lock(guard);
    seen.push_back(request);
}

std::vector<std::string> RequestLog::targets() {
    std::lock_guard<std::mutex> lock(guard);
    std::vector<std::string> result;
    for (const auto& request : seen)
        result.push_back(request.target);
    return result;
}

std::vector<httplib::Request> RequestLog::requests() {
    std::lock_guard<std::mutex> lock(guard);
    return seen;
}

RawReplyServer::RawReplyServer(std::string reply, int holdMillis)
    : reply(std::move(reply)), holdMillis(holdMillis) {
    listener = bindLoopback(0);
    listen(listener, 8);
    port = boundPort(listener);
    thread = std::thread([this] { serve(); });
}

RawReplyServer::~RawReplyServer() {
    stopping = true;
    thread.join();
    close(listener);
}

void RawReplyServer::serve() {
    while (waitReadable(listener, stopping)) {
        int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        ++connections;
        std::string request;
        char chunk[4096];
        while (request.find("\r\n\r\n") == std::string::npos && waitReadable(client, stopping)) {
            ssize_t got = recv(client, chunk, sizeof(chunk), 0);
            if (got <= 0)
                break;
            request.append(chunk, size_t(got));
        }
        if (!reply.empty())
            send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        sleepUnless(stopping, holdMillis);
        close(client);
    }
}

int closedPort() {
    int fd = bindLoopback(0);
    int port = boundPort(fd);
    close(fd);
    return port;
}

void sleepUnless(const std::atomic<bool>& flag, int maxMillis) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMillis);
    while (!flag && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(pollStepMillis));
}
