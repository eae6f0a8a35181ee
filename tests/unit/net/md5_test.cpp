// MD5 of the score signature, against RFC 1321 and python3's hashlib.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/score_signature.h"

namespace {
std::string hexOf(const std::string& text) {
    ScoreSignature signature;
    signature.compute(text.c_str());
    return signature.hexString();
}
} // namespace

TEST(Md5, MatchesTheRfc1321TestSuite) {
    const std::pair<std::string, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890"
         "1234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    for (const auto& [text, digest] : suite)
        EXPECT_EQ(hexOf(text), digest) << text;
}

// python3 makes the texts (block-boundary lengths, then random printable ones) and their digests;
// its hashlib shares nothing with our code.
TEST(Md5, BlockBoundaryLengthsAndRandomTextsAgreeWithPythonHashlib) {
    FILE* pipe = popen("python3 -c \"import hashlib,random\n"
                       "random.seed(1321)\n"
                       "texts=['x'*n for n in (55,56,57,63,64,65,119,120,127,128,129,1000)]\n"
                       "for _ in range(200):\n"
                       "  texts.append(''.join(chr(random.randint(32,126)) for _ in "
                       "range(random.randint(0,300))))\n"
                       "for t in texts: print(hashlib.md5(t.encode()).hexdigest()+t)\"",
                       "r");
    ASSERT_NE(pipe, nullptr);
    char line[1100];
    int checked = 0;
    for (; fgets(line, sizeof line, pipe); ++checked) {
        const std::string text(line + 32, std::strlen(line) - 33); // without the newline
        EXPECT_EQ(hexOf(text), std::string(line, 32)) << "length " << text.size();
    }
    pclose(pipe);
    EXPECT_EQ(checked, 212) << "python3 is needed for this test";
}
