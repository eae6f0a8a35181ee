#include "server/server_log.h"
#include "server/store_backends.h"

namespace {
const auto reportInterval = std::chrono::minutes(1);
// Reasons may carry details that vary; the record of them is forgotten past this many.
const size_t reasonsKept = 32;
} // namespace

bool isPostgresLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::string storeDisplayName(const std::string& location) {
    if (!isPostgresLocation(location))
        return location;
    std::string shown = location;
    size_t start = shown.find("://") + 3, at = shown.find('@', start);
    size_t colon = shown.find(':', start);
    if (at != std::string::npos && colon < at && shown.find('/', start) > at)
        shown.replace(colon + 1, at - colon - 1, "***");
    for (size_t key = shown.find("password="); key != std::string::npos;
         key = shown.find("password=", key + 1)) {
        size_t end = shown.find('&', key);
        shown.replace(key + 9, (end == std::string::npos ? shown.size() : end) - key - 9, "***");
    }
    return shown;
}

void reportStoreFailure(FailureReports& reports, const std::string& subject,
                        const std::string& reason) {
    StoreClock::time_point now = StoreClock::now();
    {
        std::lock_guard<std::mutex> lock(reports.guard);
        auto told = reports.lastTold.find(reason);
        if (told != reports.lastTold.end() && now - told->second < reportInterval)
            return;
        if (reports.lastTold.size() >= reasonsKept)
            reports.lastTold.clear();
        reports.lastTold[reason] = now;
    }
    logMessage(subject + ": " + reason + "; requests are answered with 503");
}

bool openScoreStore(ScoreStore& store, const StoreSettings& settings, std::string* error) {
    store.backend = isPostgresLocation(settings.location) ? openPostgresBackend(settings, error)
                                                          : openSqliteBackend(settings, error);
    return store.backend != nullptr;
}

void interruptScoreStore(ScoreStore& store) {
    store.backend->interrupt();
}

void closeScoreStore(ScoreStore& store) {
    store.backend.reset();
}

StoreAnswer storeScore(ScoreStore& store, const ScoreUpload& upload,
                       StoreClock::time_point deadline) {
    return store.backend->store(upload, deadline);
}

bool fetchRankLine(ScoreStore& store, int rank, bool verifiedOnly, std::string* line,
                   StoreClock::time_point deadline) {
    std::vector<RankedScore> scores;
    if (!store.backend->fetchRanked(rank - 1, 1, verifiedOnly, &scores, deadline))
        return false;
    *line = scores.empty() ? "" : rankLineText(scores[0].name, scores[0].score);
    return true;
}

bool fetchTopScores(ScoreStore& store, int limit, bool verifiedOnly,
                    std::vector<RankedScore>* scores, StoreClock::time_point deadline) {
    return store.backend->fetchRanked(0, limit, verifiedOnly, scores, deadline);
}
