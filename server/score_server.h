// The score server's answers: the probe, the rank lines, the uploads, the replays and the
// lists for the web. One function maps a request to its reply; the HTTP plumbing lives in
// http_daemon.
#pragma once

#include <atomic>

#include "protocol/score_protocol.h"
#include "replay/verify_replay.h"
#include "server/http_daemon.h"
#include "server/score_store.h"
#include "server/upload_limit.h"

const char* const scoreJsonPath = "/scores.json";
const char* const healthPath = "/health";

// What the answers are made from.
struct ScoreRoutes {
    ScoreStore* store = nullptr;
    UploadLimiter* uploads = nullptr; // null: uploads are not limited
    int pageSize = 100;               // entries on the web page and in scores.json
    WorkPool* storeWork = nullptr;    // where store calls run; null: where the reply is taken
    // From the request to the end of its store call, past which it gets 503.
    std::chrono::milliseconds storeTime{2000};
    bool verifiedOnly = false;      // the lists hold only entries that a replay proves
    WorkPool* replayWork = nullptr; // where replays are checked; null: where the reply is taken
    VerifyLimits replayLimits;
    // A replay that waited this long for its check gets 503: the game has given up on it.
    std::chrono::milliseconds replayWait{5000};
    // The server is stopping: replays still waiting get 503 unchecked.
    std::atomic<bool> stopping{false};
};

// Requests that need no store are answered at once; the others get work for storeWork.
HttpReply routeScoreRequest(ScoreRoutes& routes, const HttpRequest& request);
