#include <gtest/gtest.h>

#include <cstdio>

#include "server/moderation.h"

// bash itself reads each word back, and must get the name's bytes, whatever they are.
TEST(Moderation, ShellWordsGiveBashTheNameBytes) {
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += char(byte);
    const std::string names[] = {"Ann", "J\xFCrgen", "a b",  "it's", "\\x41",  "$HOME", "-x",
                                 "~",   "*",         "`id`", "!!",   "Tab\tX", "",      every};
    const std::string file = testing::TempDir() + "shell_words.sh";
    FILE* script = fopen(file.c_str(), "w");
    ASSERT_NE(script, nullptr);
    for (const std::string& name : names)
        fprintf(script, "printf '%%s' %s | od -An -tx1 | tr -d ' \\n'; echo\n",
                shellWord(name).c_str());
    fclose(script);
    FILE* bash = popen(("bash " + file).c_str(), "r");
    for (const std::string& name : names) {
        char line[1024] = "", hex[3];
        std::string expected;
        for (unsigned char byte : name)
            expected += (snprintf(hex, sizeof hex, "%02x", byte), hex);
        EXPECT_TRUE(fgets(line, sizeof line, bash) && line == expected + "\n") << shellWord(name);
    }
    pclose(bash);
    std::remove(file.c_str());
    EXPECT_EQ(shellWord("J\xFCrgen") + shellWord("Ann-1.0"), "$'J\\xfcrgen'Ann-1.0");
}
