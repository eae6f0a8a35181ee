// Upload and rank queries of any content reaching the score server: nothing crashes, and an
// upload is accepted exactly when its name, score and hashcheck are all valid and the
// hashcheck is the one the game signs with.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <charconv>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/score_exchange.h"
#include "net/score_signature.h"
#include "server/score_request.h"

namespace {
bool validName(const std::string& name) {
    if (name.size() > 15)
        return false;
    for (unsigned char c : name)
        if (std::iscntrl(c))
            return false;
    return true;
}

// One spelling per score: what printing the int32 gives back.
bool canonicalScore(const std::string& text, int32_t& score) {
    auto result = std::from_chars(text.data(), text.data() + text.size(), score);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() &&
           std::to_string(score) == text;
}

bool hexDigits(const std::string& text) {
    if (text.size() != 32)
        return false;
    for (unsigned char c : text)
        if (!std::isxdigit(c))
            return false;
    return true;
}

// The signature as the game makes it, over the bytes of name, score and salt.
std::string gameSignature(const std::string& name, const std::string& scoreText) {
    std::string input = name + scoreText + scoreSalt;
    Md5Context context;
    md5Init(&context);
    md5Update(&context, reinterpret_cast<const unsigned char*>(input.data()), input.size());
    unsigned char digest[16];
    md5Final(digest, &context);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Puts key in the query none, one or two times.
void addKey(QueryParams& params, const char* key, const std::string& value, int times,
            FuzzedDataProvider& input) {
    for (int i = 0; i < times; ++i)
        params.emplace(key, i == 0 ? value : input.ConsumeRandomLengthString(40));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string name = input.ConsumeRandomLengthString(40);
    std::string scoreText = input.ConsumeRandomLengthString(16);
    std::string hashcheck = input.ConsumeRandomLengthString(40);
    std::string rankText = input.ConsumeRandomLengthString(8);
    int signing = input.ConsumeIntegralInRange(0, 2);
    if (signing == 1)
        hashcheck = gameSignature(name, scoreText);
    else if (signing == 2)
        for (char& c : hashcheck = gameSignature(name, scoreText))
            c = char(std::toupper(static_cast<unsigned char>(c)));
    int nameTimes = input.ConsumeIntegralInRange(0, 3) ? 1 : input.ConsumeIntegralInRange(0, 2);
    int scoreTimes = input.ConsumeIntegralInRange(0, 3) ? 1 : input.ConsumeIntegralInRange(0, 2);
    int hashTimes = input.ConsumeIntegralInRange(0, 3) ? 1 : input.ConsumeIntegralInRange(0, 2);

    QueryParams params;
    addKey(params, "name", name, nameTimes, input);
    addKey(params, "score", scoreText, scoreTimes, input);
    addKey(params, "hashcheck", hashcheck, hashTimes, input);
    ScoreUpload upload;
    upload.name = "untouched";
    UploadCheck check = checkUpload(params, &upload);

    int32_t score = 0;
    bool wellFormed = nameTimes == 1 && scoreTimes == 1 && hashTimes == 1 && validName(name) &&
                      canonicalScore(scoreText, score) && hexDigits(hashcheck);
    if (!wellFormed) {
        FUZZ_CHECK(check == UploadCheck::badRequest);
    } else if (lowerCase(hashcheck) != gameSignature(name, scoreText)) {
        FUZZ_CHECK(check == UploadCheck::badHashcheck);
    } else {
        FUZZ_CHECK(check == UploadCheck::accepted);
        FUZZ_CHECK(upload.name == name && upload.score == score);
    }
    if (check != UploadCheck::accepted)
        FUZZ_CHECK(upload.name == "untouched");

    QueryParams rankQuery{{"sija", rankText}};
    int rank = parseRankQuery(rankQuery);
    FUZZ_CHECK(rank >= 0 && rank <= serverRankCount);
    FUZZ_CHECK(rank == 0 || std::to_string(rank) == rankText);
    for (int r = 1; r <= serverRankCount; ++r)
        if (rankText == std::to_string(r))
            FUZZ_CHECK(rank == r);
    return 0;
}
