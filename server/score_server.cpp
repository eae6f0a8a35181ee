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

// A browser gets the list as a page; the game's probe and everything else the short text.
HttpAnswer serveProbe(ScoreRoutes& routes, const HttpRequest& request) {
    if (!acceptsHtml(request.accept))
        return textAnswer(ok, probeText);
    std::vector<RankedScore> scores;
    if (!fetchTopScores(*routes.store, routes.pageSize, &scores))
        return unavailable();
    return HttpAnswer{ok, "text/html; charset=utf-8",
                      leaderboardPage(scores, "orbelle-score-server " ORBELLE_VERSION)};
}

HttpAnswer serveJson(ScoreRoutes& routes, const HttpRequest& request) {
    int limit = parseLimitQuery(request.query, routes.pageSize);
    if (limit == 0)
        return textAnswer(badRequest, "Bad limit\n");
    std::vector<RankedScore> scores;
    if (!fetchTopScores(*routes.store, limit, &scores))
        return unavailable();
    return HttpAnswer{ok, "application/json", scoresJson(scores)};
}

HttpAnswer serveRank(ScoreRoutes& routes, const HttpRequest& request) {
    int rank = parseRankQuery(request.query);
    if (rank == 0)
        return textAnswer(badRequest, "Bad rank\n");
    std::string line;
    if (!fetchRankLine(*routes.store, rank, &line))
        return unavailable();
    return textAnswer(ok, line);
}

HttpAnswer serveUpload(ScoreRoutes& routes, const HttpRequest& request) {
    ScoreUpload upload;
    switch (checkUpload(request.query, &upload)) {
    case UploadCheck::badRequest:
        return textAnswer(badRequest, "Bad request\n");
    case UploadCheck::badHashcheck:
        return textAnswer(badHashcheck, "Bad hashcheck\n");
    case UploadCheck::accepted:
        break;
    }
    if (routes.uploads != nullptr &&
        !takeUploadToken(*routes.uploads, request.clientAddress, LimitClock::now()))
        return textAnswer(tooManyUploads, "Too many uploads\n");
    if (!storeScore(*routes.store, upload))
        return unavailable();
    return textAnswer(ok, "OK\n");
}

struct Route {
    const char* path;
    HttpAnswer (*serve)(ScoreRoutes&, const HttpRequest&);
};

const Route routeTable[] = {
    {"/", serveProbe},
    {scoreRankPath, serveRank},
    {scoreUploadPath, serveUpload},
    {scoreJsonPath, serveJson},
};
} // namespace

HttpAnswer answerScoreRequest(ScoreRoutes& routes, const HttpRequest& request) {
    if (request.method == "GET" || request.method == "HEAD")
        for (const Route& route : routeTable)
            if (request.path == route.path)
                return route.serve(routes, request);
    return textAnswer(notFound, "");
}
