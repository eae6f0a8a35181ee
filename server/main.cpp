// orbelle-score-server: keeps the internet top ten of Orbelle.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "server/http_daemon.h"
#include "server/moderation.h"
#include "server/score_server.h"
#include "server/server_log.h"
#include "server/server_options.h"

namespace {
const char* const program = "orbelle-score-server";
const int failureStatus = 1;
// At a stop, requests in flight get this long to finish on their own; those still waiting
// for the database are then cut short with 503, and their answers get as long again to leave.
const int stopGraceMillis = 1000;
// Store calls run on a few threads of their own; past the queue, requests get 503 at once.
const unsigned storeThreads = 4;
const size_t storeQueue = 512;
// Checks of replays run one at a time (there is one copy of the simulation), below the
// priority of the threads that answer requests.
const unsigned replayThreads = 1;
const int replayNiceness = 10;
const size_t logCapacity = 1 << 20;
const int logFlushMillis = 1000;

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
sigset_t setUpSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that goes away while its answer is being written must not end the server.
    signal(SIGPIPE, SIG_IGN);
    // Nor may a file-size limit (ulimit -f, LimitFSIZE=): a write past it fails like one to a
    // full disk, and the store answers 503.
    signal(SIGXFSZ, SIG_IGN);
    return stopSignals;
}

int fail(const std::string& subject, const std::string& reason) {
    fprintf(stderr, "%s: %s: %s\n", program, subject.c_str(), reason.c_str());
    return failureStatus;
}

bool readPassword(const std::string& path, std::string* password) {
    std::ifstream file(path);
    return file && std::getline(file, *password) && !password->empty();
}

void setUpRoutes(ScoreRoutes& routes, const ServerOptions& options, ScoreStore& store,
                 UploadLimiter& uploads, WorkPool& storeWork, WorkPool& replayWork) {
    routes.store = &store;
    routes.uploads = &uploads;
    routes.pageSize = int(options.pageSize);
    routes.storeWork = &storeWork;
    routes.storeTime = std::chrono::milliseconds(options.storeMillis);
    routes.verifiedOnly = options.verifiedOnly;
    routes.replayWork = &replayWork;
    routes.replayLimits.maxCpuMillis = options.replayCpuMillis;
}

// A command on the database beside any server that runs on it.
int moderate(const ServerOptions& options, StoreSettings settings) {
    settings.besideServer = true;
    ScoreStore store;
    std::string error;
    if (!openScoreStore(store, settings, &error))
        return fail(storeDisplayName(settings.location), error);
    int status = runModeration(options, store, settings.statementTime);
    closeScoreStore(store);
    return status;
}

// Replays still waiting are answered 503 unchecked; the check under way ends within its CPU
// limit, and what it passes on to the store is refused at once.
void stopServing(HttpDaemon& http, ScoreRoutes& routes, WorkPool& replayWork, WorkPool& storeWork) {
    quiesceHttpDaemon(http);
    awaitRequests(http, stopGraceMillis);
    routes.stopping = true;
    interruptScoreStore(*routes.store);
    stopWorkPool(replayWork);
    stopWorkPool(storeWork);
    awaitRequests(http, stopGraceMillis);
    stopHttpDaemon(http);
}
} // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    int status = parseServerOptions(argc, argv, &options);
    if (status != keepRunning)
        return status;
    StoreSettings settings{options.databasePath, "",
                           std::chrono::milliseconds(options.storeMillis)};
    if (!options.passwordFile.empty() && !readPassword(options.passwordFile, &settings.password))
        return fail(options.passwordFile, "cannot read a password from its first line");
    if (options.action != ServerAction::serve)
        return moderate(options, settings);
    raiseOpenFileLimit();
    sigset_t stopSignals = setUpSignals();
    HttpDaemon http;
    std::string error;
    // The port first: a server that cannot have it must leave the database alone.
    if (!openListenSocket(http, options.listenAddress, options.port, &error))
        return fail("cannot listen on " + options.listenAddress + " port " +
                        std::to_string(options.port),
                    error);
    ScoreStore store;
    if (!openScoreStore(store, settings, &error)) {
        stopHttpDaemon(http);
        return fail(storeDisplayName(options.databasePath), error);
    }
    WorkPool storeWork, replayWork;
    startWorkPool(storeWork, storeThreads, storeQueue);
    startWorkPool(replayWork, replayThreads, options.replayQueue, replayNiceness);
    UploadLimiter uploads;
    uploads.perMinute = options.uploadsPerMinute;
    ScoreRoutes routes;
    setUpRoutes(routes, options, store, uploads, storeWork, replayWork);
    http.handler = [&routes](const HttpRequest& request) {
        return routeScoreRequest(routes, request);
    };
    http.limits = options.limits;
    http.accessLog = !options.quiet;
    http.logTimes = !standardErrorIsJournal();
    http.bodyRoutes = {{"POST", scoreReplayPath, replayMaxFileBytes}};
    startServerLog(STDERR_FILENO, logCapacity);
    if (!startHttpDaemon(http, &error)) {
        stopServerLog(logFlushMillis);
        stopWorkPool(replayWork);
        stopWorkPool(storeWork);
        stopHttpDaemon(http);
        closeScoreStore(store);
        return fail(options.listenAddress, error);
    }
    printf("%s listening on %s:%d\n", program, options.listenAddress.c_str(), http.port);
    fflush(stdout);

    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    stopServing(http, routes, replayWork, storeWork);
    closeScoreStore(store);
    stopServerLog(logFlushMillis);
    return 0;
}
