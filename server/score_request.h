// The score server's reading of its queries, apart from the HTTP layer so that it can be
// tested and fuzzed on its own.
#pragma once

#include <cstdint>
#include <map>
#include <string>

using QueryParams = std::multimap<std::string, std::string>;

const int serverRankCount = 10;
const size_t serverMaxNameLength = 15;
// The most entries one web page or JSON answer holds.
const int serverMaxListLength = 1000;
// The most pieces a query may have; the game sends three.
const size_t serverMaxQueryArguments = 32;

struct ScoreUpload {
    std::string name;
    int32_t score = 0;
};

enum class UploadCheck { accepted, badRequest, badHashcheck };

// The rank that "sija" asks for, 1 to 10 written without a leading zero; 0 for anything else.
int parseRankQuery(const QueryParams& params);
// The "limit" of a list request, 1 to serverMaxListLength written without a leading zero;
// fallback when there is none, 0 for anything else.
int parseLimitQuery(const QueryParams& params, int fallback);
// True for a 32-bit signed integer in its one canonical decimal form ("0", "-5", "123").
bool parseScoreText(const std::string& text, int32_t* score);
// True for exactly 32 hex digits, either case.
bool isHashcheckText(const std::string& text);
// True for at most 15 bytes and none of NUL, CR and LF, which would break the line format.
bool isAcceptableName(const std::string& name);
// The 32 lower-case hex digits that the game sends for this name and score text.
std::string expectedHashcheck(const std::string& name, const std::string& scoreText);
// Percent escapes decoded, and '+' as a blank when plusIsBlank; a '%' without two hex digits
// stays as it is.
std::string decodeUrlText(const std::string& text, bool plusIsBlank);
// Splits a request target into its decoded path and query keys, as clients have always been
// read here: pieces trimmed of blanks and tabs, a repeated identical pair kept once. False
// for a target with more than one '?' or more than serverMaxQueryArguments pieces.
bool parseRequestTarget(const std::string& target, std::string* path, QueryParams* params);
// Checks an upload query; fills upload only when it is accepted.
UploadCheck checkUpload(const QueryParams& params, ScoreUpload* upload);
// One line of the internet list as the game shows it: the name, a blank, the score.
std::string rankLineText(const std::string& name, int32_t score);
