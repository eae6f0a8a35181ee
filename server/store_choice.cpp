#include "server/store_backends.h"

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

bool openScoreStore(ScoreStore& store, const std::string& location, std::string* error) {
    store.backend = isPostgresLocation(location) ? openPostgresBackend(location, error)
                                                 : openSqliteBackend(location, error);
    return store.backend != nullptr;
}

void closeScoreStore(ScoreStore& store) {
    store.backend.reset();
}

bool storeScore(ScoreStore& store, const ScoreUpload& upload) {
    return store.backend->store(upload);
}

bool fetchRankLine(ScoreStore& store, int rank, std::string* line) {
    std::vector<RankedScore> scores;
    if (!store.backend->fetchRanked(rank - 1, 1, &scores))
        return false;
    *line = scores.empty() ? "" : rankLineText(scores[0].name, scores[0].score);
    return true;
}

bool fetchTopScores(ScoreStore& store, int limit, std::vector<RankedScore>* scores) {
    return store.backend->fetchRanked(0, limit, scores);
}
