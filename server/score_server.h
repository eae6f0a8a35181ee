// The score server's answers: the probe, the rank lines and the uploads. One function maps a
// request to its reply; the HTTP plumbing lives in http_daemon.
#pragma once

#include "protocol/score_protocol.h"
#include "server/http_daemon.h"
#include "server/score_store.h"
#include "server/upload_limit.h"

const char* const scoreJsonPath = "/scores.json";

// What the answers are made from.
struct ScoreRoutes {
    ScoreStore* store = nullptr;
    UploadLimiter* uploads = nullptr; // null: uploads are not limited
    int pageSize = 100;               // entries on the web page and in scores.json
    WorkPool* storeWork = nullptr;    // where store calls run; null: where the reply is taken
    // From the request to the end of its store call, past which it gets 503.
    std::chrono::milliseconds storeTime{2000};
};

// Requests that need no store are answered at once; the others get work for storeWork.
HttpReply routeScoreRequest(ScoreRoutes& routes, const HttpRequest& request);
