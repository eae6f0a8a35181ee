#include <gtest/gtest.h>

#include <cstdio>

#include "server/moderation.h"
#include "tests/support/score_stores.h"

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

// Each command on a store with two entries, in turn: its exit status and what it printed.
TEST_F(StoreTest, ModerationCommandsActAndSayWhatTheyDid) {
    ASSERT_EQ(store.backend->store({"A", 5}, soon()), StoreAnswer::done);
    ASSERT_EQ(store.backend->store({"J\xFC", 7}, soon()), StoreAnswer::done);
    const std::string both = "   1           7 -              $'J\\xfc'\n"
                             "   2           5 -              A\n";
    const struct {
        ServerAction action;
        const char* name;
        int status;
        std::string printed;
    } steps[] = {
        {ServerAction::list, "", 0, both},
        {ServerAction::remove, "A", 0, "removed A 5, and its replay if it had one\n"},
        {ServerAction::remove, "A", 1, ""},
        {ServerAction::ban, "B", 0,
         "banned B: its uploads get 403; --remove takes out entries listed\n"},
        {ServerAction::ban, "B", 0, "B was banned already\n"},
        {ServerAction::unban, "B", 0, "unbanned B\n"},
        {ServerAction::unban, "B", 0, "B was not banned\n"},
        {ServerAction::list, "", 0, both.substr(0, both.find('\n') + 1)},
    };
    for (const auto& step : steps) {
        ServerOptions options;
        options.action = step.action;
        options.listCount = 5;
        options.moderated = {step.name, 5};
        testing::internal::CaptureStdout();
        EXPECT_EQ(runModeration(options, store, std::chrono::seconds(2)), step.status);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), step.printed) << int(step.action);
    }
}
