// The server's reading of request targets and upload queries, as pure functions.
#include <gtest/gtest.h>

#include "server/score_request.h"

namespace {
// python3: hashlib.md5((name + score + "kovrenaltu37").encode()).hexdigest()
const char* const ann10 = "fb589b3825329776a6d2a64aa8718710";

QueryParams uploadQuery(const std::string& name, const std::string& score,
                        const std::string& hash) {
    return {{"name", name}, {"score", score}, {"hashcheck", hash}};
}
} // namespace

// count pieces: k0 and k1 by turns, the last one z=1.
std::string pieces(int count) {
    std::string query;
    for (int i = 1; i < count; ++i)
        query += "k" + std::to_string(i % 2) + "&";
    return query + "z=1";
}

TEST(RequestTarget, PathAndQueryAreDecodedAsBefore) {
    const struct {
        std::string target;
        bool read;
        const char* path;
        QueryParams query;
    } cases[] = {
        {"/velmo/x.php?sija=10", true, "/velmo/x.php", {{"sija", "10"}}},
        {"/a%2fb+c%41?n%61me=1+2%2B&t=%09%1b%4&u=%4",
         true,
         "/a/b+cA",
         {{"name", "1 2+"}, {"t", "\t\x1b%4"}, {"u", "%4"}}},
        {"/?name=Ann&name=Ann&name=Bo", true, "/", {{"name", "Ann"}, {"name", "Bo"}}},
        {"/?k=a=b&&=&z", true, "/", {{"k", "b"}, {"z", ""}}},
        {"/?a=1?b=2", false, "", {}},
        // Pieces are counted before repeated ones are dropped.
        {"/?" + pieces(32), true, "/", {{"k0", ""}, {"k1", ""}, {"z", "1"}}},
        {"/?" + pieces(33), false, "", {}},
    };
    for (const auto& c : cases) {
        std::string path;
        QueryParams query;
        EXPECT_EQ(parseRequestTarget(c.target, &path, &query), c.read) << c.target;
        if (c.read) {
            EXPECT_EQ(std::make_pair(path, query), std::make_pair(std::string(c.path), c.query));
        }
    }
}

TEST(UploadQuery, AcceptedOnlyWellFormedAndSignedAsTheGameSigns) {
    QueryParams twice = uploadQuery("Ann", "10", ann10);
    twice.emplace("score", "10");
    const struct {
        QueryParams query;
        UploadCheck check;
        int32_t score;
    } cases[] = {
        {uploadQuery("Ann", "10", ann10), UploadCheck::accepted, 10},
        {uploadQuery("Ann", "10", "FB589B3825329776A6D2A64AA8718710"), UploadCheck::accepted, 10},
        {uploadQuery("Ann", "-2147483648", "0f090e49cf86f0afa722b2fe725a9f8b"),
         UploadCheck::accepted, INT32_MIN},
        {uploadQuery("ABCDEFGHIJKLMNO", "7", "6f625dd06cfd01c1bcf7b0830f5db8da"),
         UploadCheck::accepted, 7},
        {uploadQuery("Ann", "10", "fb589b3825329776a6d2a64aa8718711"), UploadCheck::badHashcheck,
         0},
        {uploadQuery("Ann", "11", ann10), UploadCheck::badHashcheck, 0},
        {uploadQuery("Ann", "10", std::string(ann10).substr(1)), UploadCheck::badRequest, 0},
        {uploadQuery("ABCDEFGHIJKLMNOP", "7", ann10), UploadCheck::badRequest, 0},
        {uploadQuery("A\rB", "7", ann10), UploadCheck::badRequest, 0},
        {uploadQuery("A\nB", "7", ann10), UploadCheck::badRequest, 0},
        {uploadQuery(std::string("A\0B", 3), "7", ann10), UploadCheck::badRequest, 0},
        {twice, UploadCheck::badRequest, 0},
        {{{"name", "Ann"}, {"score", "10"}}, UploadCheck::badRequest, 0},
    };
    for (const char* score : {"2147483648", "-2147483649", "01", "-0", "+1", "", "1e3", "-"})
        EXPECT_EQ(checkUpload(uploadQuery("Ann", score, ann10), nullptr), UploadCheck::badRequest)
            << score;
    for (const auto& c : cases) {
        ScoreUpload upload{"untouched", 0};
        EXPECT_EQ(checkUpload(c.query, &upload), c.check) << c.query.begin()->second;
        const bool accepted = c.check == UploadCheck::accepted;
        EXPECT_EQ(upload.name, accepted ? c.query.find("name")->second : "untouched");
        EXPECT_EQ(upload.score, accepted ? c.score : 0);
    }
}

TEST(ListQueries, RanksOneToTenAndLimitsUpToAThousandWithoutLeadingZeros) {
    const std::pair<const char*, int> ranks[] = {{"1", 1},  {"10", 10}, {"11", 0}, {"0", 0},
                                                 {"01", 0}, {"x", 0},   {"", 0}};
    for (const auto& [text, rank] : ranks)
        EXPECT_EQ(parseRankQuery({{"sija", text}}), rank) << text;
    EXPECT_EQ(parseRankQuery({{"sija", "1"}, {"sija", "2"}}), 0);
    const std::pair<const char*, int> limits[] = {{"1", 1},   {"1000", 1000}, {"1001", 0}, {"0", 0},
                                                  {"010", 0}, {"99999", 0},   {"-1", 0}};
    for (const auto& [text, limit] : limits)
        EXPECT_EQ(parseLimitQuery({{"limit", text}}, 7), limit) << text;
    EXPECT_EQ(parseLimitQuery({}, 7), 7);
}
