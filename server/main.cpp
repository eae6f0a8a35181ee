// orbelle-score-server: keeps the internet top ten of Orbelle.
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <sys/resource.h>

#include "server/http_daemon.h"
#include "server/score_server.h"
#include "server/server_options.h"

namespace {
const char* const program = "orbelle-score-server";
const int failureStatus = 1;
const int stopGraceMillis = 5000;

// Every connection is a descriptor; the usual soft limit of 1024 would cut the connection
// limit short.
void raiseOpenFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

// The stop signals are taken by sigwait in main, so every thread must leave them blocked.
sigset_t blockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that goes away while its answer is being written must not end the server.
    signal(SIGPIPE, SIG_IGN);
    return stopSignals;
}

int fail(const std::string& subject, const std::string& reason) {
    fprintf(stderr, "%s: %s: %s\n", program, subject.c_str(), reason.c_str());
    return failureStatus;
}
} // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    int status = parseServerOptions(argc, argv, &options);
    if (status != keepRunning)
        return status;
    raiseOpenFileLimit();
    sigset_t stopSignals = blockStopSignals();

    HttpDaemon http;
    std::string error;
    // The port first: a server that cannot have it must leave the database alone.
    if (!openListenSocket(http, options.listenAddress, options.port, &error))
        return fail("cannot listen on " + options.listenAddress + " port " +
                        std::to_string(options.port),
                    error);
    ScoreStore store;
    if (!openScoreStore(store, options.databasePath, &error)) {
        stopHttpDaemon(http, 0);
        return fail(storeDisplayName(options.databasePath), error);
    }
    UploadLimiter uploads;
    uploads.perMinute = options.uploadsPerMinute;
    ScoreRoutes routes{&store, &uploads, int(options.pageSize)};
    http.handler = [&routes](const HttpRequest& request) {
        return answerScoreRequest(routes, request);
    };
    http.limits = options.limits;
    http.accessLog = !options.quiet;
    if (!startHttpDaemon(http, &error)) {
        stopHttpDaemon(http, 0);
        closeScoreStore(store);
        return fail(options.listenAddress, error);
    }
    printf("%s listening on %s:%d\n", program, options.listenAddress.c_str(), http.port);
    fflush(stdout);

    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    stopHttpDaemon(http, stopGraceMillis);
    closeScoreStore(store);
    return 0;
}
