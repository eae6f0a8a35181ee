// The score signature's MD5 against python3's hashlib, which shares nothing with our code.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "protocol/score_signature.h"

// Lengths around the 64-byte blocks and their 56-byte padding edge, then random printable texts.
TEST(Md5, AgreesWithPythonHashlibOnBlockEdgesAndRandomTexts) {
    FILE* pipe = popen("python3 -c \"import hashlib,random\n"
                       "random.seed(1321)\n"
                       "texts=['x'*n for n in (0,1,55,56,57,63,64,65,119,120,127,128,129,1000)]\n"
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
        ScoreSignature signature;
        EXPECT_TRUE(signature.compute(text.c_str()));
        EXPECT_EQ(signature.hexString(), std::string(line, 32)) << "length " << text.size();
    }
    pclose(pipe);
    EXPECT_EQ(checked, 214) << "python3 is needed for this test";
}

TEST(Md5, NoTextIsNoSignature) {
    ScoreSignature signature;
    EXPECT_FALSE(signature.compute(nullptr));
    EXPECT_EQ(signature.hexString(), nullptr);
}
