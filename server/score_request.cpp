#include "server/score_request.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <strings.h>

#include "net/score_signature.h"

namespace {
const char* const salt = "kovrenaltu37";

// The single value of key; false when the key is missing or given more than once, since
// an ambiguous query must not be guessed at.
bool singleValue(const QueryParams& params, const char* key, std::string* value) {
    auto range = params.equal_range(key);
    if (range.first == range.second || std::next(range.first) != range.second)
        return false;
    *value = range.first->second;
    return true;
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
    if (name.size() > serverMaxNameLength)
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

std::string expectedHashcheck(const std::string& name, const std::string& scoreText) {
    std::string input = name + scoreText + salt;
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

std::string rankLineText(const std::string& name, int32_t score) {
    return name + " " + std::to_string(score);
}
