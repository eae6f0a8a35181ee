// Upload and rank queries of any content: an upload is accepted exactly when it is well formed
// (each key once, a short name without NUL, CR or LF, an int32 score) and signed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "protocol/score_protocol.h"
#include "protocol/score_signature.h"
#include "server/score_request.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string name = input.ConsumeRandomLengthString(40);
    std::string scoreText = input.ConsumeRandomLengthString(16);
    std::string hashcheck = input.ConsumeRandomLengthString(40);
    // The signature as the game makes it, with the game's own salt; sent as is or upper-cased.
    ScoreSignature signature;
    signature.compute((name + scoreText + scoreSalt).c_str());
    std::string signedHex = signature.hexString(), upperHex = signedHex;
    for (char& c : upperHex)
        c = char(std::toupper(c));
    hashcheck = std::vector{hashcheck, signedHex, upperHex}[input.ConsumeIntegralInRange(0, 2)];
    // Each key goes in once, or now and then none or two times.
    QueryParams params;
    const char* keys[] = {"name", "score", "hashcheck"};
    const std::string* values[] = {&name, &scoreText, &hashcheck};
    for (int k = 0; k < 3; ++k) {
        int times = input.ConsumeIntegralInRange(0, 3) ? 1 : input.ConsumeIntegralInRange(0, 2);
        for (int i = 0; i < times; ++i)
            params.emplace(keys[k], i == 0 ? *values[k] : input.ConsumeRandomLengthString(40));
    }
    ScoreUpload upload{"untouched", 0};
    UploadCheck check = checkUpload(params, &upload);
    // One spelling per score: what printing the int32 gives back.
    int32_t score = 0;
    auto parsed = std::from_chars(scoreText.data(), scoreText.data() + scoreText.size(), score);
    const bool wellFormed =
        params.count("name") == 1 && params.count("score") == 1 && params.count("hashcheck") == 1 &&
        name.size() <= 15 && name.find_first_of(std::string("\0\r\n", 3)) == std::string::npos &&
        parsed.ec == std::errc() && std::to_string(score) == scoreText && hashcheck.size() == 32 &&
        hashcheck.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    for (char& c : hashcheck)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (!wellFormed)
        FUZZ_CHECK(check == UploadCheck::badRequest);
    else if (hashcheck != signedHex)
        FUZZ_CHECK(check == UploadCheck::badHashcheck);
    else
        FUZZ_CHECK(check == UploadCheck::accepted && upload.name == name && upload.score == score);
    FUZZ_CHECK(check == UploadCheck::accepted || upload.name == "untouched");
    return 0;
}
