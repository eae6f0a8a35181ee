// The score signature's MD5 against the digests python3's hashlib gives for the first n
// characters of a text that runs through the printable ones: lengths around the 64-byte blocks
// and their 56-byte padding edge, in one holder as an upload uses it. No text is no signature.
#include <gtest/gtest.h>

#include <string>

#include "protocol/score_signature.h"

TEST(Md5, AgreesWithPythonHashlibAroundTheBlockEdgesAndNoTextIsNone) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += char(32 + i * 37 % 95);
    // clang-format off
    const std::pair<size_t, const char*> cases[] = {
        {0, "d41d8cd98f00b204e9800998ecf8427e"},   {1, "7215ee9c7d9dc229d2921a40e899ec5f"},
        {55, "b65923e4c07a0b8515dd82eac5db5228"},  {56, "52488d3d83bdeb5bf17f20f60589901c"},
        {57, "400c8999c7ff6810e6666196537fff55"},  {63, "f398e6259c7034d05ce2908bd505b6c1"},
        {64, "adc944ca1b0e10b92a0220b63c2a080d"},  {65, "acb3ea8dd572bc51a159121e955862d6"},
        {119, "14ea510004b85453bc7b94dc20df672a"}, {120, "c32882c7f88d844f47ca59eecb43fe9c"},
        {127, "1712ea124fded3774d370da987c466a1"}, {128, "81b8a40362aa0900e3befd492b564e40"},
        {129, "a65e352bc4f3b570c1b68198dd9eda09"}, {1000, "12d30c2af94039986da2d6997b7ede02"}};
    // clang-format on
    ScoreSignature signature;
    EXPECT_EQ(signature.hexString(), nullptr);
    for (const auto& [length, digest] : cases) {
        EXPECT_TRUE(signature.compute(text.substr(0, length).c_str()));
        EXPECT_STREQ(signature.hexString(), digest) << "length " << length;
    }
    EXPECT_FALSE(signature.compute(nullptr));
    EXPECT_EQ(signature.hexString(), nullptr);
}
