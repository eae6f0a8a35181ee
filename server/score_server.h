// The score server's answers: the probe, the rank lines and the uploads. One function maps a
// request to its answer; the HTTP plumbing lives in http_daemon.
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
};

HttpAnswer answerScoreRequest(ScoreRoutes& routes, const HttpRequest& request);
