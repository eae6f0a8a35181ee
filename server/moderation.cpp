#include "server/moderation.h"

#include <cstdio>

namespace {
const char* const program = "orbelle-score-server";
const int failed = 1;
const char* const plainBytes = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                               "._-+:,@%/=";

int storeFailed(const std::string& what) {
    fprintf(stderr, "%s: the database did not answer; %s\n", program, what.c_str());
    return failed;
}

int listEntries(ScoreStore& store, unsigned count, StoreClock::time_point deadline) {
    std::vector<RankedScore> scores;
    if (!fetchTopScores(store, int(count), false, &scores, deadline))
        return storeFailed("nothing listed");
    for (size_t i = 0; i < scores.size(); ++i) {
        std::string proof =
            scores[i].replayId == 0 ? "-" : "/replays/" + std::to_string(scores[i].replayId);
        printf("%4zu %11d %-14s %s\n", i + 1, scores[i].score, proof.c_str(),
               shellWord(scores[i].name).c_str());
    }
    return 0;
}

int removeEntry(ScoreStore& store, const ScoreUpload& entry, StoreClock::time_point deadline) {
    std::string named = shellWord(entry.name) + " " + std::to_string(entry.score);
    switch (store.backend->remove(entry, deadline)) {
    case StoreAnswer::done:
        printf("removed %s, and its replay if it had one\n", named.c_str());
        return 0;
    case StoreAnswer::none:
        fprintf(stderr, "%s: no entry %s to remove\n", program, named.c_str());
        return failed;
    default:
        return storeFailed(named + " not removed");
    }
}

int changeBan(ScoreStore& store, const std::string& name, bool banned,
              StoreClock::time_point deadline) {
    std::string named = shellWord(name);
    const char* outcome = nullptr;
    switch (store.backend->setBanned(name, banned, deadline)) {
    case StoreAnswer::done:
        outcome = banned ? "banned %s: its uploads get 403; --remove takes out entries listed\n"
                         : "unbanned %s\n";
        break;
    case StoreAnswer::none:
        outcome = banned ? "%s was banned already\n" : "%s was not banned\n";
        break;
    default:
        return storeFailed(named + (banned ? " not banned" : " not unbanned"));
    }
    printf(outcome, named.c_str());
    return 0;
}
} // namespace

std::string shellWord(const std::string& name) {
    if (!name.empty() && name.find_first_not_of(plainBytes) == std::string::npos)
        return name;
    static const char hexDigits[] = "0123456789abcdef";
    std::string word = "$'";
    for (unsigned char byte : name) {
        if (byte == '\\' || byte == '\'') {
            word += '\\';
            word += char(byte);
        } else if (byte >= 0x20 && byte < 0x7F) {
            word += char(byte);
        } else {
            word += "\\x";
            word += hexDigits[byte >> 4];
            word += hexDigits[byte & 0x0F];
        }
    }
    return word + "'";
}

int runModeration(const ServerOptions& options, ScoreStore& store,
                  std::chrono::milliseconds storeTime) {
    StoreClock::time_point deadline = StoreClock::now() + storeTime;
    switch (options.action) {
    case ServerAction::list:
        return listEntries(store, options.listCount, deadline);
    case ServerAction::remove:
        return removeEntry(store, options.moderated, deadline);
    case ServerAction::ban:
    case ServerAction::unban:
        return changeBan(store, options.moderated.name, options.action == ServerAction::ban,
                         deadline);
    case ServerAction::serve:
        break;
    }
    return failed;
}
