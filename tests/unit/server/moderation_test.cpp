#include <gtest/gtest.h>

#include <cstdio>

#include "server/moderation.h"

// bash itself reads each word back: it must give the name's bytes, whatever they are.
TEST(Moderation, ShellWordsGiveBashTheNameBytes) {
    std::vector<std::string> names = {"Ann", "J\xFCrgen", "a b",  "it's", "\\x41", "$HOME",  "-x",
                                      "~",   "*",         "a\"b", "`id`", "!!",    "Tab\tX", ""};
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += char(byte);
    names.push_back(every);
    std::string script;
    for (const std::string& name : names)
        script += "printf '%s' " + shellWord(name) + " | od -An -tx1 | tr -d ' \\n'; echo\n";
    const std::string file = testing::TempDir() + "shell_words.sh";
    FILE* written = fopen(file.c_str(), "w");
    ASSERT_NE(written, nullptr);
    fputs(script.c_str(), written);
    fclose(written);
    FILE* bash = popen(("bash " + file).c_str(), "r");
    ASSERT_NE(bash, nullptr);
    for (const std::string& name : names) {
        char line[2048] = "";
        ASSERT_NE(fgets(line, sizeof line, bash), nullptr);
        std::string hex;
        for (unsigned char byte : name) {
            char digits[3];
            snprintf(digits, sizeof digits, "%02x", byte);
            hex += digits;
        }
        EXPECT_EQ(std::string(line), hex + "\n") << shellWord(name);
    }
    pclose(bash);
    std::remove(file.c_str());
    EXPECT_EQ(shellWord("J\xFCrgen"), "$'J\\xfcrgen'");
    EXPECT_EQ(shellWord("Ann-1.0"), "Ann-1.0");
}
