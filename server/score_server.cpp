#include "server/score_server.h"

#include <cstring>
#include <memory>

#include "server/replay_round.h"
#include "server/score_pages.h"

#ifndef ORBELLE_VERSION
#define ORBELLE_VERSION "unknown"
#endif

namespace {
const char* const probeText = "Orbelle score server\n";
const char* const healthyText = "OK\n";
const char* const replayType = "application/octet-stream";
const int ok = 200, badRequest = 400, forbidden = 403, notFound = 404, conflict = 409,
          contentTooLarge = 413, unprocessable = 422, tooManyUploads = 429, storeUnavailable = 503;

HttpAnswer textAnswer(int status, const std::string& body) {
    return HttpAnswer{status, "text/plain", body};
}

// The game shows any body as a score line, so a failing store answers with none.
HttpAnswer unavailable() {
    return textAnswer(storeUnavailable, "");
}

HttpReply answered(const HttpAnswer& answer) {
    HttpReply reply;
    reply.answer = answer;
    return reply;
}

HttpReply answered(int status, const std::string& body) {
    return answered(textAnswer(status, body));
}

// Store work with its deadline: a request that waited for a worker past it is not worth a
// store call any more.
template <typename Work> HttpReply viaStore(ScoreRoutes& routes, Work work) {
    StoreClock::time_point deadline = StoreClock::now() + routes.storeTime;
    HttpReply reply;
    reply.pool = routes.storeWork;
    reply.work = [work, deadline] {
        return answered(StoreClock::now() < deadline ? work(deadline) : unavailable());
    };
    return reply;
}

// A browser gets the list as a page; the game's probe and everything else the short text.
HttpReply serveProbe(ScoreRoutes& routes, const HttpRequest& request) {
    if (!acceptsHtml(request.accept))
        return answered(ok, probeText);
    return viaStore(routes, [&routes](StoreClock::time_point deadline) {
        std::vector<RankedScore> scores;
        if (!fetchTopScores(*routes.store, routes.pageSize, routes.verifiedOnly, &scores, deadline))
            return unavailable();
        return HttpAnswer{ok, "text/html; charset=utf-8",
                          leaderboardPage(scores, "orbelle-score-server " ORBELLE_VERSION)};
    });
}

HttpReply serveJson(ScoreRoutes& routes, const HttpRequest& request) {
    int limit = parseLimitQuery(request.query, routes.pageSize);
    if (limit == 0)
        return answered(badRequest, "Bad limit\n");
    return viaStore(routes, [&routes, limit](StoreClock::time_point deadline) {
        std::vector<RankedScore> scores;
        if (!fetchTopScores(*routes.store, limit, routes.verifiedOnly, &scores, deadline))
            return unavailable();
        return HttpAnswer{ok, "application/json", scoresJson(scores)};
    });
}

HttpReply serveRank(ScoreRoutes& routes, const HttpRequest& request) {
    int rank = parseRankQuery(request.query);
    if (rank == 0)
        return answered(badRequest, "Bad rank\n");
    return viaStore(routes, [&routes, rank](StoreClock::time_point deadline) {
        std::string line;
        if (!fetchRankLine(*routes.store, rank, routes.verifiedOnly, &line, deadline))
            return unavailable();
        return textAnswer(ok, line);
    });
}

// How a store call that keeps something went, for the uploader.
HttpAnswer storedAnswer(StoreAnswer stored) {
    switch (stored) {
    case StoreAnswer::done:
    case StoreAnswer::none:
        return textAnswer(ok, "OK\n");
    case StoreAnswer::banned:
        return textAnswer(forbidden, "Banned name\n");
    default:
        return unavailable();
    }
}

HttpReply serveUpload(ScoreRoutes& routes, const HttpRequest& request) {
    ScoreUpload upload;
    switch (checkUpload(request.query, &upload)) {
    case UploadCheck::badRequest:
        return answered(badRequest, "Bad request\n");
    case UploadCheck::badHashcheck:
        return answered(forbidden, "Bad hashcheck\n");
    case UploadCheck::accepted:
        break;
    }
    if (routes.uploads != nullptr &&
        !takeUploadToken(*routes.uploads, request.clientAddress, LimitClock::now()))
        return answered(tooManyUploads, "Too many uploads\n");
    return viaStore(routes, [&routes, upload](StoreClock::time_point deadline) {
        return storedAnswer(storeScore(*routes.store, upload, deadline));
    });
}

// What a replay that was refused unstored is told.
HttpAnswer refusedReplay(const ReplayVerdict& verdict) {
    switch (verdict.kind) {
    case ReplayVerdictKind::mismatch:
        return textAnswer(unprocessable, "Does not play out as claimed: " + verdict.reason + "\n");
    case ReplayVerdictKind::tooCostly:
        return textAnswer(contentTooLarge, "Too much to check: " + verdict.reason + "\n");
    default:
        return textAnswer(badRequest, "Not a replay: " + verdict.reason + "\n");
    }
}

HttpAnswer keptReplayAnswer(StoreAnswer stored) {
    switch (stored) {
    case StoreAnswer::taken:
        return textAnswer(conflict, "The round is kept already under another name or score\n");
    case StoreAnswer::done:
    case StoreAnswer::none:
        return textAnswer(ok, "Verified\n");
    default:
        return storedAnswer(stored);
    }
}

// The round played again, then, when it comes out as claimed, the entry and the replay kept.
HttpReply checkReplay(ScoreRoutes& routes, const std::shared_ptr<const std::string>& file) {
    ReplayVerdict verdict = verifyReplay(*file, routes.replayLimits);
    if (verdict.kind != ReplayVerdictKind::ok)
        return answered(refusedReplay(verdict));
    if (!isAcceptableName(verdict.name))
        return answered(badRequest, "Not a name for the list\n");
    Replay replay;
    decodeReplay(*file, &replay);
    ScoreUpload entry{verdict.name, verdict.score};
    std::string round = replayRound(replay);
    return viaStore(routes, [&routes, entry, round, file](StoreClock::time_point deadline) {
        return keptReplayAnswer(routes.store->backend->storeReplay(entry, round, *file, deadline));
    });
}

// Replays take the client's upload tokens as signed uploads do, before any check is queued.
HttpReply serveReplayUpload(ScoreRoutes& routes, const HttpRequest& request) {
    if (routes.uploads != nullptr &&
        !takeUploadToken(*routes.uploads, request.clientAddress, LimitClock::now()))
        return answered(tooManyUploads, "Too many uploads\n");
    StoreClock::time_point waitedTooLong = StoreClock::now() + routes.replayWait;
    auto file = std::make_shared<const std::string>(request.body);
    HttpReply reply;
    reply.pool = routes.replayWork;
    reply.work = [&routes, file, waitedTooLong] {
        if (routes.stopping || StoreClock::now() >= waitedTooLong)
            return answered(unavailable());
        return checkReplay(routes, file);
    };
    return reply;
}

// The number after /replays/, written without a leading zero; 0 for anything else.
int64_t replayIdOf(const std::string& path) {
    std::string digits = path.substr(strlen(replayPathPrefix));
    if (digits.empty() || digits.size() > 18 || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return strtoll(digits.c_str(), nullptr, 10);
}

HttpReply serveReplay(ScoreRoutes& routes, const HttpRequest& request) {
    int64_t id = replayIdOf(request.path);
    if (id == 0)
        return answered(notFound, "");
    return viaStore(routes, [&routes, id](StoreClock::time_point deadline) {
        std::string replay;
        switch (routes.store->backend->fetchReplay(id, &replay, deadline)) {
        case StoreAnswer::done:
            return HttpAnswer{ok, replayType, replay};
        case StoreAnswer::unavailable:
            return unavailable();
        default:
            return textAnswer(notFound, "");
        }
    });
}

// Whether the store answers, as a monitor or a load balancer asks.
HttpReply serveHealth(ScoreRoutes& routes, const HttpRequest&) {
    return viaStore(routes, [&routes](StoreClock::time_point deadline) {
        std::vector<RankedScore> best;
        if (!fetchTopScores(*routes.store, 1, false, &best, deadline))
            return unavailable();
        return textAnswer(ok, healthyText);
    });
}

struct Route {
    const char* method; // GET also stands for HEAD
    const char* path;
    bool prefix; // the path begins with it
    HttpReply (*serve)(ScoreRoutes&, const HttpRequest&);
};

const Route routeTable[] = {
    {"GET", "/", false, serveProbe},
    {"GET", scoreRankPath, false, serveRank},
    {"GET", scoreUploadPath, false, serveUpload},
    {"GET", scoreJsonPath, false, serveJson},
    {"GET", healthPath, false, serveHealth},
    {"GET", replayPathPrefix, true, serveReplay},
    {"POST", scoreReplayPath, false, serveReplayUpload},
};

bool matches(const Route& route, const HttpRequest& request) {
    std::string method = request.method == "HEAD" ? "GET" : request.method;
    return method == route.method &&
           (route.prefix ? request.path.rfind(route.path, 0) == 0 : request.path == route.path);
}
} // namespace

HttpReply routeScoreRequest(ScoreRoutes& routes, const HttpRequest& request) {
    for (const Route& route : routeTable)
        if (matches(route, request))
            return route.serve(routes, request);
    return answered(notFound, "");
}
