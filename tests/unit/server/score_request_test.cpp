#include <gtest/gtest.h>

#include <random>

#include "server/score_request.h"

namespace {
QueryParams upload(const std::string& name, const std::string& score, const std::string& hash) {
    return {{"name", name}, {"score", score}, {"hashcheck", hash}};
}
} // namespace

TEST(ScoreRequest, RankIsOneToTenWrittenPlainly) {
    for (int rank = 1; rank <= 10; ++rank)
        EXPECT_EQ(parseRankQuery({{"sija", std::to_string(rank)}}), rank);
    for (const char* bad : {"0", "11", "01", "", "a", "1 ", "+1", "-1", "100", "1x"})
        EXPECT_EQ(parseRankQuery({{"sija", bad}}), 0) << '"' << bad << '"';
    EXPECT_EQ(parseRankQuery({}), 0);
    EXPECT_EQ(parseRankQuery({{"sija", "1"}, {"sija", "2"}}), 0);
}

TEST(ScoreRequest, ScoreIsA32BitIntegerInCanonicalForm) {
    int32_t score = 7;
    EXPECT_TRUE(parseScoreText("0", &score));
    EXPECT_EQ(score, 0);
    EXPECT_TRUE(parseScoreText("-5", &score));
    EXPECT_EQ(score, -5);
    EXPECT_TRUE(parseScoreText("2147483647", &score));
    EXPECT_EQ(score, INT32_MAX);
    EXPECT_TRUE(parseScoreText("-2147483648", &score));
    EXPECT_EQ(score, INT32_MIN);
    for (const char* bad : {"2147483648", "-2147483649", "99999999999", "01", "-0", "+1", "", "-",
                            "1e3", " 1", "1 ", "0x10", "12a"}) {
        score = 7;
        EXPECT_FALSE(parseScoreText(bad, &score)) << '"' << bad << '"';
        EXPECT_EQ(score, 7);
    }
}

TEST(ScoreRequest, NamesAndHashchecksAreCheckedForShape) {
    EXPECT_TRUE(isAcceptableName(""));
    EXPECT_TRUE(isAcceptableName("a&b %c=\xe4"));
    EXPECT_TRUE(isAcceptableName(std::string(15, 'n')));
    EXPECT_FALSE(isAcceptableName(std::string(16, 'n')));
    EXPECT_FALSE(isAcceptableName("two\nlines"));
    EXPECT_FALSE(isAcceptableName(std::string("nul\0", 4)));

    EXPECT_TRUE(isHashcheckText("0123456789abcdefABCDEF0123456789"));
    EXPECT_FALSE(isHashcheckText("0123456789abcdef0123456789abcde"));
    EXPECT_FALSE(isHashcheckText("0123456789abcdef0123456789abcdef0"));
    EXPECT_FALSE(isHashcheckText("0123456789abcdef0123456789abcdeg"));
}

TEST(ScoreRequest, UploadIsAcceptedOnlyWithTheGamesSignature) {
    // MD5 of "Tester1000kovrenaltu37", as the game signs that entry.
    std::string hash = expectedHashcheck("Tester", "1000");
    ASSERT_EQ(hash.size(), 32u);
    ScoreUpload stored;
    EXPECT_EQ(checkUpload(upload("Tester", "1000", hash), &stored), UploadCheck::accepted);
    EXPECT_EQ(stored.name, "Tester");
    EXPECT_EQ(stored.score, 1000);

    std::string upper = hash;
    for (char& c : upper)
        c = char(toupper(c));
    EXPECT_EQ(checkUpload(upload("Tester", "1000", upper), &stored), UploadCheck::accepted);

    EXPECT_EQ(checkUpload(upload("Tester", "1001", hash), &stored), UploadCheck::badHashcheck);
    EXPECT_EQ(checkUpload(upload("tester", "1000", hash), &stored), UploadCheck::badHashcheck);
    EXPECT_EQ(checkUpload(upload("Tester", "01000", hash), &stored), UploadCheck::badRequest);
    EXPECT_EQ(checkUpload(upload("Tester", "1000", hash.substr(1)), &stored),
              UploadCheck::badRequest);
    EXPECT_EQ(checkUpload({{"name", "Tester"}, {"score", "1000"}}, &stored),
              UploadCheck::badRequest);
    QueryParams twice = upload("Tester", "1000", hash);
    twice.insert({"name", "Other"});
    EXPECT_EQ(checkUpload(twice, &stored), UploadCheck::badRequest);
    EXPECT_EQ(rankLineText("a b", -3), "a b -3");
}

TEST(ScoreRequest, RandomQueriesAreNeverAcceptedWithoutAMatchingSignature) {
    std::mt19937 generator(37);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 40), pick(0, 3);
    auto randomText = [&] {
        std::string text(size_t(length(generator)), ' ');
        for (char& c : text)
            c = char(byte(generator));
        return text;
    };
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string name = randomText().substr(0, size_t(pick(generator)) * 6);
        std::string score = pick(generator) == 0 ? randomText() : std::to_string(int(generator()));
        std::string hash = pick(generator) == 0 ? randomText() : expectedHashcheck(name, score);
        ScoreUpload stored;
        if (checkUpload(upload(name, score, hash), &stored) != UploadCheck::accepted)
            continue;
        ++accepted;
        EXPECT_TRUE(isAcceptableName(name));
        EXPECT_EQ(hash, expectedHashcheck(name, score));
        EXPECT_EQ(std::to_string(stored.score), score);
    }
    EXPECT_GT(accepted, 100) << "the well-formed half should mostly pass";
}
