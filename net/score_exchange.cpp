// The download of the internet top ten and the upload of the local table.
#include "net/score_exchange.h"

#include <SDL.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "protocol/replay_format.h"
#include "protocol/score_protocol.h"
#include "protocol/score_signature.h"
#include "record/game_state.h"

#ifndef ORBELLE_DEFAULT_SCORE_SERVER
#define ORBELLE_DEFAULT_SCORE_SERVER "127.0.0.1:8765"
#endif

namespace {
const char* const disabledMessage = "You have disabled internet highscores.";
const char* const downloadingMessage = "Downloading internet highscores. Please wait.";
const char* const uploadingMessage = "Uploading local highscores. Please wait.";
const char* const noConnectionMessage = "Could not connect to server.";
const char* const rankUrlFormat = "http://%s%s?sija=%d";
const char* const probeUrlFormat = "http://%s/";
const char* const uploadUrlFormat = "http://%s%s?name=%s&score=%i&hashcheck=%s";
const char* const hashInputFormat = "%s%i%s";
const int internetLineCount = 10;
const char* const refusedFormat = "%d of %d scores were refused by the server.";
const char* const notThroughFormat = "%d of %d scores did not get through to the server.";
const char* const replayUrlFormat = "http://%s%s";
const char* const replayContentType = "application/octet-stream";
const char* const replaysRefusedFormat = "%d of %d replays were refused by the server%s.";
const char* const replaysNotThroughFormat = "%d of %d replays did not get through to the server.";
// The status line when some uploads were not kept; it lives until the next one.
char uploadOutcome[textBufferSize];
char replayUploadOutcome[textBufferSize];

// What the server's refusal of a replay says, for the status line.
struct ReplayRefusal {
    long status;
    const char* reason;
} const replayRefusals[] = {{400, " (damaged)"},
                            {403, " (the name is banned)"},
                            {413, " (too large)"},
                            {422, " (they do not play out as they claim)"},
                            {429, " (over the upload limit)"},
                            {503, " (the server is busy)"}};

// A close asked for while a request waits (SIGTERM arrives as one too) ends the request: the
// game then ends on it within a second, as it would have between frames. It stays queued.
bool quitRequested() {
    SDL_PumpEvents();
    SDL_Event event;
    return SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_QUITMASK) > 0;
}

// Keys pressed while an exchange kept the game waiting would each start what they asked for
// after it, one stall after another: they are dropped. A window close stays queued.
void dropKeysPressedWhileWaiting() {
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT,
                          SDL_EVENTMASK(SDL_KEYDOWN) | SDL_EVENTMASK(SDL_KEYUP)) > 0) {
    }
}

// Gives every request of one exchange the same end and lets a close cut it short; takes both
// away again afterwards, with the keys pressed in the meantime.
class ExchangeDeadline {
  public:
    explicit ExchangeDeadline(HttpRetriever& retriever) : retriever(retriever) {
        retriever.deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(httpLimits.exchangeMillis);
        retriever.giveUp = quitRequested;
    }
    ~ExchangeDeadline() {
        retriever.deadline = {};
        retriever.giveUp = nullptr;
        dropKeysPressedWhileWaiting();
    }
    // To the millisecond, as the retriever counts what is left when it refuses a request.
    bool passed() const {
        return retriever.deadline - std::chrono::steady_clock::now() < std::chrono::milliseconds(1);
    }

  private:
    HttpRetriever& retriever;
};

// False when the text does not fit, so that a cut URL is never sent.
template <typename... Values>
bool formatInto(char (&buffer)[textBufferSize], const char* format, Values... values) {
    int length = snprintf(buffer, sizeof(buffer), format, values...);
    return length >= 0 && length < textBufferSize;
}

bool isSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

// An error page is no line of the list: only a 2xx answer counts.
const char* retrieveRank(int rank) {
    char url[textBufferSize];
    if (!formatInto(url, rankUrlFormat, scoreServerHost(), scoreRankPath, rank))
        return nullptr;
    const char* text = game.downloader.retrieve(url);
    return text != nullptr && isSuccessStatus(game.downloader.status) ? text : nullptr;
}

// Empty when every entry was taken; otherwise how many were not, and whether the server said
// no (a full rate limit, a bad signature) or never answered.
const char* uploadOutcomeMessage(int unanswered, int refused, const ExchangeDeadline& bound) {
    if (unanswered > 0 && bound.passed())
        return noConnectionMessage;
    if (unanswered + refused == 0)
        return "";
    const char* format = unanswered > 0 ? notThroughFormat : refusedFormat;
    snprintf(uploadOutcome, sizeof uploadOutcome, format, unanswered + refused,
             HighScoreTable::entryCount);
    return uploadOutcome;
}

const char* replayRefusalReason(long status) {
    for (const ReplayRefusal& refusal : replayRefusals)
        if (refusal.status == status)
            return refusal.reason;
    return "";
}

// At most what a replay may be; empty when the file cannot be read or is larger.
std::string replayFileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(replayMaxFileBytes + 1, '\0');
    in.read(&bytes[0], std::streamsize(bytes.size()));
    bytes.resize(size_t(in.gcount()));
    return bytes.size() > replayMaxFileBytes ? std::string() : bytes;
}

// Each local entry's replay, the file as the body; empty when the server took every one.
const char* uploadReplays() {
    char url[textBufferSize];
    if (!formatInto(url, replayUrlFormat, scoreServerHost(), scoreReplayPath))
        return "";
    int sent = 0, unanswered = 0, refused = 0;
    const char* reason = "";
    for (const std::string& file : replayFilesOf(game.localScores, localScoreFile)) {
        const std::string bytes = file.empty() ? std::string() : replayFileBytes(file);
        if (bytes.empty())
            continue;
        ++sent;
        if (!game.uploader.sendPost(url, bytes.data(), long(bytes.size()), replayContentType)) {
            ++unanswered;
        } else if (!isSuccessStatus(game.uploader.status)) {
            reason = refused++ ? reason : replayRefusalReason(game.uploader.status);
        }
    }
    char* outcome = replayUploadOutcome;
    if (unanswered > 0)
        snprintf(outcome, textBufferSize, replaysNotThroughFormat, unanswered + refused, sent);
    else if (refused > 0)
        snprintf(outcome, textBufferSize, replaysRefusedFormat, refused, sent, reason);
    return unanswered + refused > 0 ? outcome : "";
}

const char* uploadEntry(const HighScoreEntry& entry, ScoreSignature& signature) {
    char hashInput[textBufferSize];
    char url[textBufferSize];
    const char* name = entry.name.c_str();
    if (!formatInto(hashInput, hashInputFormat, name, int(entry.score), scoreSalt))
        return nullptr;
    signature.compute(hashInput);
    std::string encodedName = encodeQueryValue(entry.name);
    if (!formatInto(url, uploadUrlFormat, scoreServerHost(), scoreUploadPath, encodedName.c_str(),
                    int(entry.score), signature.hexString()))
        return nullptr;
    return game.uploader.retrieve(url);
}
} // namespace

namespace {
std::string chosenScoreServer;

const size_t maxHostLength = 253;
const long maxPort = 65535;

bool isHostName(const std::string& host) {
    if (host.empty() || host.size() > maxHostLength)
        return false;
    for (unsigned char c : host)
        if (!std::isalnum(c) && c != '.' && c != '-')
            return false;
    return true;
}

bool isBracketedIpv6(const std::string& host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']')
        return false;
    for (size_t i = 1; i + 1 < host.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(host[i])) && host[i] != ':' && host[i] != '.')
            return false;
    return true;
}

bool isPort(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    const long port = std::strtol(text.c_str(), nullptr, 10);
    return port >= 1 && port <= maxPort;
}
} // namespace

bool isScoreServerAddress(const std::string& text) {
    // The port follows the last colon outside the brackets of an IPv6 address.
    const size_t bracketEnd = text.rfind(']');
    const size_t colon = text.find(':', bracketEnd == text.npos ? 0 : bracketEnd);
    const std::string host = text.substr(0, colon);
    const bool hostValid =
        !host.empty() && host[0] == '[' ? isBracketedIpv6(host) : isHostName(host);
    return hostValid && (colon == text.npos || isPort(text.substr(colon + 1)));
}

void chooseScoreServer(const std::string& hostAndPort) {
    chosenScoreServer = hostAndPort;
}

const char* scoreServerHost() {
    const char* host = getenv("ORBELLE_SCORE_SERVER");
    if (host != nullptr && host[0] != '\0')
        return host;
    if (!chosenScoreServer.empty())
        return chosenScoreServer.c_str();
    return ORBELLE_DEFAULT_SCORE_SERVER;
}

std::string encodeQueryValue(const std::string& text) {
    static const char hexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += hexDigits[c >> 4];
            encoded += hexDigits[c & 0x0f];
        }
    }
    return encoded;
}

int downloadInternetScores() {
    if (!game.internetScoresEnabled) {
        game.statusMessage = disabledMessage;
        return -2;
    }
    game.statusMessage = downloadingMessage;
    ExchangeDeadline bound(game.downloader);
    if (retrieveRank(1) == nullptr) {
        game.statusMessage = noConnectionMessage;
        return -1;
    }
    // A rank that fails after the test keeps the line it had; the others are still fetched.
    bool allAnswered = true;
    for (int rank = 1; rank <= internetLineCount; ++rank) {
        const char* text = retrieveRank(rank);
        if (text != nullptr)
            game.internetScores[rank - 1] = text;
        else
            allAnswered = false;
    }
    // Cut short by the deadline, the list would stand half blank with no word why.
    if (!allAnswered && bound.passed()) {
        game.statusMessage = noConnectionMessage;
        return -1;
    }
    game.statusMessage = "";
    return 1;
}

int uploadLocalScores() {
    if (!game.internetScoresEnabled) {
        game.statusMessage = disabledMessage;
        return -2;
    }
    game.statusMessage = uploadingMessage;
    ExchangeDeadline bound(game.uploader);
    char probeUrl[textBufferSize];
    if (!formatInto(probeUrl, probeUrlFormat, scoreServerHost()) ||
        game.uploader.retrieve(probeUrl) == nullptr) {
        game.statusMessage = noConnectionMessage;
        return -1;
    }
    ScoreSignature signature;
    const char* lastAnswer = nullptr;
    int unanswered = 0, refused = 0;
    for (const HighScoreEntry& entry : game.localScores.entries) {
        lastAnswer = uploadEntry(entry, signature);
        if (lastAnswer == nullptr)
            ++unanswered;
        else if (!isSuccessStatus(game.uploader.status))
            ++refused;
    }
    game.statusMessage = uploadOutcomeMessage(unanswered, refused, bound);
    // After the signed uploads, which stay as they were: peers and older games rely on them.
    // What became of the scores comes first on the status line.
    const char* replaysOutcome = uploadReplays();
    if (game.statusMessage[0] == '\0')
        game.statusMessage = replaysOutcome;
    return lastAnswer != nullptr ? 1 : 0;
}
