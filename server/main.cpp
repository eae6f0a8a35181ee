// orbelle-score-server: keeps the internet top ten of Orbelle.
#include <httplib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "server/score_server.h"

namespace {
struct ServerOptions {
    std::string listenAddress = "127.0.0.1";
    int port = 8765;
    std::string databasePath = "orbelle-scores.db";
};

const char* const usage =
    "usage: orbelle-score-server [--listen ADDR] [--port N] [--db FILE|postgresql://URI]\n";

bool parsePort(const char* text, int* port) {
    char* end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 65535)
        return false;
    *port = int(value);
    return true;
}

bool parseOptions(int argc, char** argv, ServerOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        if (strcmp(option, "--listen") == 0) {
            options->listenAddress = value;
        } else if (strcmp(option, "--port") == 0) {
            if (!parsePort(value, &options->port))
                return false;
        } else if (strcmp(option, "--db") == 0) {
            options->databasePath = value;
        } else {
            return false;
        }
    }
    return true;
}

// Port 0 asks the system for a free port, which is then printed.
int bindServer(httplib::Server& server, const ServerOptions& options) {
    if (options.port == 0)
        return server.bind_to_any_port(options.listenAddress.c_str());
    return server.bind_to_port(options.listenAddress.c_str(), options.port) ? options.port : -1;
}
} // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    if (!parseOptions(argc, argv, &options)) {
        fputs(usage, stderr);
        return 2;
    }
    // The signals are taken by sigwait below, so every thread must leave them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ScoreStore store;
    std::string error;
    if (!openScoreStore(store, options.databasePath, &error)) {
        fprintf(stderr, "orbelle-score-server: %s: %s\n", options.databasePath.c_str(),
                error.c_str());
        return 1;
    }
    httplib::Server server;
    addScoreRoutes(server, store);
    // A game sends its requests back to back; an idle client must not hold a worker long.
    server.set_keep_alive_timeout(1);
    // Headers and body leave in separate writes; with Nagle's algorithm the body then waits
    // for the client's delayed acknowledgement, about 40 ms on every answer that has one.
    server.set_tcp_nodelay(true);
    int port = bindServer(server, options);
    if (port < 0) {
        fprintf(stderr, "orbelle-score-server: cannot listen on %s:%d\n",
                options.listenAddress.c_str(), options.port);
        closeScoreStore(store);
        return 1;
    }
    printf("orbelle-score-server listening on %s:%d\n", options.listenAddress.c_str(), port);
    fflush(stdout);

    std::thread listener([&server] {
        server.listen_after_bind();
        // Should the listener stop by itself, the main thread must not wait for a signal.
        kill(getpid(), SIGTERM);
    });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    listener.join();
    closeScoreStore(store);
    return 0;
}
