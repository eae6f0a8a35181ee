#include "server/score_request.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <strings.h>
#include <vector>

#include "protocol/score_protocol.h"
#include "protocol/score_signature.h"

namespace {
// The single value of key; false when the key is missing or given more than once, since
// an ambiguous query must not be guessed at.
bool singleValue(const QueryParams& params, const char* key, std::string* value) {
    auto range = params.equal_range(key);
    if (range.first == range.second || std::next(range.first) != range.second)
        return false;
    *value = range.first->second;
    return true;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Calls take(begin, end) for each piece between separators, trimmed of blanks and tabs;
// empty pieces are skipped.
template <typename Take> void splitTrimmed(const std::string& text, char separator, Take take) {
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find(separator, begin);
        end = end == std::string::npos ? text.size() : end;
        size_t first = begin, last = end;
        while (first < last && (text[first] == ' ' || text[first] == '\t'))
            ++first;
        while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t'))
            --last;
        if (first < last)
            take(text.substr(first, last - first));
        begin = end + 1;
    }
}

bool parseQueryText(const std::string& query, QueryParams* params) {
    std::set<std::string> seen;
    size_t pieces = 0;
    splitTrimmed(query, '&', [&](const std::string& pair) {
        if (++pieces > serverMaxQueryArguments || !seen.insert(pair).second)
            return;
        std::string key, value;
        // "k=a=b" has always meant k is b: the last piece wins.
        splitTrimmed(pair, '=',
                     [&](const std::string& piece) { (key.empty() ? key : value) = piece; });
        if (!key.empty())
            params->emplace(decodeUrlText(key, true), decodeUrlText(value, true));
    });
    return pieces <= serverMaxQueryArguments;
}

bool allDigits(const std::string& text, size_t from) {
    if (from >= text.size())
        return false;
    for (size_t i = from; i < text.size(); ++i)
        if (!isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}
} // namespace

int parseRankQuery(const QueryParams& params) {
    std::string value;
    if (!singleValue(params, "sija", &value))
        return 0;
    if (value.size() > 2 || !allDigits(value, 0) || value[0] == '0')
        return 0;
    int rank = atoi(value.c_str());
    return rank <= serverRankCount ? rank : 0;
}

int parseLimitQuery(const QueryParams& params, int fallback) {
    if (params.count("limit") == 0)
        return fallback;
    std::string value;
    if (!singleValue(params, "limit", &value) || value.size() > 4 || !allDigits(value, 0) ||
        value[0] == '0')
        return 0;
    int limit = atoi(value.c_str());
    return limit <= serverMaxListLength ? limit : 0;
}

bool parseScoreText(const std::string& text, int32_t* score) {
    size_t digitsFrom = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (!allDigits(text, digitsFrom))
        return false;
    // One form per number: no leading zeros, no "-0".
    if (text[digitsFrom] == '0' && (text.size() > digitsFrom + 1 || digitsFrom == 1))
        return false;
    if (text.size() - digitsFrom > 10)
        return false;
    long long value = strtoll(text.c_str(), nullptr, 10);
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    *score = static_cast<int32_t>(value);
    return true;
}

bool isHashcheckText(const std::string& text) {
    if (text.size() != 32)
        return false;
    for (unsigned char c : text)
        if (!isxdigit(c))
            return false;
    return true;
}

bool isAcceptableName(const std::string& name) {
    return name.size() <= serverMaxNameLength &&
           name.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}

std::string expectedHashcheck(const std::string& name, const std::string& scoreText) {
    std::string input = name + scoreText + scoreSalt;
    ScoreSignature signature;
    signature.compute(input.c_str());
    return signature.hexString();
}

UploadCheck checkUpload(const QueryParams& params, ScoreUpload* upload) {
    std::string name, scoreText, hashcheck;
    int32_t score = 0;
    if (!singleValue(params, "name", &name) || !singleValue(params, "score", &scoreText) ||
        !singleValue(params, "hashcheck", &hashcheck))
        return UploadCheck::badRequest;
    if (!isAcceptableName(name) || !parseScoreText(scoreText, &score) ||
        !isHashcheckText(hashcheck))
        return UploadCheck::badRequest;
    if (strcasecmp(expectedHashcheck(name, scoreText).c_str(), hashcheck.c_str()) != 0)
        return UploadCheck::badHashcheck;
    upload->name = name;
    upload->score = score;
    return UploadCheck::accepted;
}

std::string decodeUrlText(const std::string& text, bool plusIsBlank) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hexDigitValue(text[i + 1]), low = hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += plusIsBlank && text[i] == '+' ? ' ' : text[i];
    }
    return decoded;
}

bool parseRequestTarget(const std::string& target, std::string* path, QueryParams* params) {
    std::vector<std::string> pieces;
    splitTrimmed(target, '?', [&](const std::string& piece) { pieces.push_back(piece); });
    if (pieces.size() > 2)
        return false;
    *path = pieces.empty() ? std::string() : decodeUrlText(pieces[0], false);
    return pieces.size() < 2 || parseQueryText(pieces[1], params);
}

std::string rankLineText(const std::string& name, int32_t score) {
    return name + " " + std::to_string(score);
}
