#include "server/score_server.h"

#include <httplib.h>

namespace {
const char* const textType = "text/plain";
const char* const probeText = "Orbelle score server\n";

void answer(httplib::Response& response, int status, const std::string& body) {
    response.status = status;
    response.set_content(body, textType);
}

void serveRank(ScoreStore& store, const httplib::Request& request, httplib::Response& response) {
    int rank = parseRankQuery(request.params);
    if (rank == 0)
        return answer(response, 400, "Bad rank\n");
    std::string line;
    if (!fetchRankLine(store, rank, &line))
        return answer(response, 503, "");
    answer(response, 200, line);
}

void serveUpload(ScoreStore& store, const httplib::Request& request, httplib::Response& response) {
    ScoreUpload upload;
    switch (checkUpload(request.params, &upload)) {
    case UploadCheck::badRequest:
        return answer(response, 400, "Bad request\n");
    case UploadCheck::badHashcheck:
        return answer(response, 403, "Bad hashcheck\n");
    case UploadCheck::accepted:
        break;
    }
    if (!storeScore(store, upload))
        return answer(response, 503, "");
    answer(response, 200, "OK\n");
}
} // namespace

void addScoreRoutes(httplib::Server& server, ScoreStore& store) {
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        answer(response, 200, probeText);
    });
    server.Get(scoreRankPath,
               [&store](const httplib::Request& request, httplib::Response& response) {
                   serveRank(store, request, response);
               });
    server.Get(scoreUploadPath,
               [&store](const httplib::Request& request, httplib::Response& response) {
                   serveUpload(store, request, response);
               });
}
