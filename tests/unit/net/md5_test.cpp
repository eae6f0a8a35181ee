#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "net/score_signature.h"

namespace {
std::string hexOf(const std::string& text) {
    ScoreSignature signature;
    signature.compute(text.c_str());
    return signature.hexString();
}

std::string hexOfDigest(const unsigned char digest[16]) {
    char hex[33];
    for (int i = 0; i < 16; ++i)
        snprintf(&hex[2 * i], 3, "%02x", digest[i]);
    return hex;
}

// Digests of the texts from python3's hashlib, which shares nothing with our code.
std::vector<std::string> referenceDigests(const std::vector<std::string>& texts) {
    std::string path = testing::TempDir() + "md5_reference_input.txt";
    FILE* file = fopen(path.c_str(), "w");
    for (const auto& text : texts)
        fprintf(file, "%s\n", text.c_str());
    fclose(file);
    std::string command = "python3 -c \"import hashlib,sys\n"
                          "for line in open(sys.argv[1],'rb').read().split(b'\\\\n')[:-1]:\n"
                          "  print(hashlib.md5(line).hexdigest())\" " +
                          path;
    std::vector<std::string> digests;
    FILE* pipe = popen(command.c_str(), "r");
    char line[64];
    while (pipe && fgets(line, sizeof(line), pipe))
        digests.push_back(std::string(line, 32));
    if (pipe)
        pclose(pipe);
    return digests;
}
} // namespace

TEST(Md5, MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(hexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(hexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(hexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(hexOf("1234567890123456789012345678901234567890123456789012345678901234567890"
                    "1234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, BlockBoundaryLengthsAndRandomTextsAgreeWithAnIndependentDigest) {
    std::vector<std::string> texts;
    for (size_t length : {55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000})
        texts.push_back(std::string(length, 'x'));
    std::mt19937 generator(1321);
    std::uniform_int_distribution<int> printable(32, 126), lengths(0, 300);
    for (int i = 0; i < 200; ++i) {
        std::string text(size_t(lengths(generator)), ' ');
        for (char& c : text)
            c = char(printable(generator));
        texts.push_back(text);
    }
    std::vector<std::string> expected = referenceDigests(texts);
    ASSERT_EQ(expected.size(), texts.size()) << "python3 hashlib is needed for this test";
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(hexOf(texts[i]), expected[i]) << "length " << texts[i].size();
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigestAsOneUpdate) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += char(i * 7 + 3);
    auto bytes = reinterpret_cast<const unsigned char*>(text.data());
    Md5Context whole;
    md5Init(&whole);
    md5Update(&whole, bytes, text.size());
    unsigned char wholeDigest[16];
    md5Final(wholeDigest, &whole);
    // Pieces that start and end at every offset within a block.
    for (size_t pieceLength : {1, 3, 55, 63, 64, 65, 130}) {
        Md5Context pieces;
        md5Init(&pieces);
        for (size_t at = 0; at < text.size(); at += pieceLength)
            md5Update(&pieces, bytes + at, std::min(pieceLength, text.size() - at));
        unsigned char digest[16];
        md5Final(digest, &pieces);
        EXPECT_EQ(hexOfDigest(digest), hexOfDigest(wholeDigest)) << "pieces of " << pieceLength;
        const unsigned char* raw = reinterpret_cast<const unsigned char*>(&pieces);
        EXPECT_TRUE(std::all_of(raw, raw + sizeof(pieces), [](unsigned char b) { return b == 0; }))
            << "the context is wiped after the final step";
    }
}

TEST(ScoreSignature, HolderGivesNullUntilComputedThenTheLatestDigest) {
    ScoreSignature signature;
    EXPECT_EQ(signature.hexString(), nullptr);
    EXPECT_TRUE(signature.compute("abc"));
    ASSERT_NE(signature.hexString(), nullptr);
    EXPECT_STREQ(signature.hexString(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(signature.digest[0], 0x90);
    EXPECT_TRUE(signature.compute("a"));
    // 0x0c: a byte below 0x10 keeps its leading zero.
    EXPECT_STREQ(signature.hexString(), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(strlen(signature.hexString()), 32u);
    EXPECT_FALSE(signature.compute(nullptr));
    EXPECT_EQ(signature.hexString(), nullptr);
}
