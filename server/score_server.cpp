#include "server/score_server.h"

#include <cstring>

#include "server/score_pages.h"

#ifndef ORBELLE_VERSION
#define ORBELLE_VERSION "unknown"
#endif

namespace {
const char* const probeText = "Orbelle score server\n";
const int ok = 200, badRequest = 400, badHashcheck = 403, notFound = 404, tooManyUploads = 429,
          storeUnavailable = 503;

HttpAnswer textAnswer(int status, const std::string& body) {
    return HttpAnswer{status, "text/plain", body};
}

// The game shows any body as a score line, so a failing store answers with none.
HttpAnswer unavailable() {
    return textAnswer(storeUnavailable, "");
}

// Store work with its deadline: a request that waited for a worker past it is not worth a
// store call any more.
template <typename Work> HttpReply viaStore(ScoreRoutes& routes, Work work) {
    StoreClock::time_point deadline = StoreClock::now() + routes.storeTime;
    HttpReply reply;
    reply.pool = routes.storeWork;
    reply.work = [work, deadline] {
        return StoreClock::now() < deadline ? work(deadline) : unavailable();
    };
    return reply;
}

HttpReply answered(int status, const std::string& body) {
    HttpReply reply;
    reply.answer = textAnswer(status, body);
    return reply;
}

// A browser gets the list as a page; the game's probe and everything else the short text.
HttpReply serveProbe(ScoreRoutes& routes, const HttpRequest& request) {
    if (!acceptsHtml(request.accept))
        return answered(ok, probeText);
    return viaStore(routes, [&routes](StoreClock::time_point deadline) {
        std::vector<RankedScore> scores;
        if (!fetchTopScores(*routes.store, routes.pageSize, &scores, deadline))
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
        if (!fetchTopScores(*routes.store, limit, &scores, deadline))
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
        if (!fetchRankLine(*routes.store, rank, &line, deadline))
            return unavailable();
        return textAnswer(ok, line);
    });
}

HttpReply serveUpload(ScoreRoutes& routes, const HttpRequest& request) {
    ScoreUpload upload;
    switch (checkUpload(request.query, &upload)) {
    case UploadCheck::badRequest:
        return answered(badRequest, "Bad request\n");
    case UploadCheck::badHashcheck:
        return answered(badHashcheck, "Bad hashcheck\n");
    case UploadCheck::accepted:
        break;
    }
    if (routes.uploads != nullptr &&
        !takeUploadToken(*routes.uploads, request.clientAddress, LimitClock::now()))
        return answered(tooManyUploads, "Too many uploads\n");
    return viaStore(routes, [&routes, upload](StoreClock::time_point deadline) {
        if (!storeScore(*routes.store, upload, deadline))
            return unavailable();
        return textAnswer(ok, "OK\n");
    });
}

struct Route {
    const char* path;
    HttpReply (*serve)(ScoreRoutes&, const HttpRequest&);
};

const Route routeTable[] = {
    {"/", serveProbe},
    {scoreRankPath, serveRank},
    {scoreUploadPath, serveUpload},
    {scoreJsonPath, serveJson},
};
} // namespace

HttpReply routeScoreRequest(ScoreRoutes& routes, const HttpRequest& request) {
    if (request.method == "GET" || request.method == "HEAD")
        for (const Route& route : routeTable)
            if (request.path == route.path)
                return route.serve(routes, request);
    return answered(notFound, "");
}
