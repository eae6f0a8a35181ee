// The two kinds of score store; only the store choice includes this.
#pragma once

#include <map>
#include <mutex>

#include "server/score_store.h"

// Raised with every change of the tables; a store holding a newer version is not touched, an
// older one is brought up to this one at start. Version 2 added the replays and the bans.
const int scoreSchemaVersion = 2;

std::unique_ptr<ScoreBackend> openSqliteBackend(const StoreSettings& settings, std::string* error);
std::unique_ptr<ScoreBackend> openPostgresBackend(const StoreSettings& settings,
                                                  std::string* error);

// A store's failures, told to the log without flooding it: each reason at most once a minute.
struct FailureReports {
    std::mutex guard;
    std::map<std::string, StoreClock::time_point> lastTold;
};

void reportStoreFailure(FailureReports& reports, const std::string& subject,
                        const std::string& reason);
