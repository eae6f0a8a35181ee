#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game/command_line.h"

namespace {
std::string readBack(FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += char(c);
    std::fclose(file);
    return text;
}
} // namespace

TEST(CommandLine, HelpAndVersionPrintAndEndOtherArgumentsAreNamed) {
    struct Case {
        std::vector<const char*> args;
        int status;
        const char *out, *err;
    };
    const Case cases[] = {
        {{"orbelle"}, playOn, "", ""},
        {{"orbelle", "--help"}, 0, "Usage: orbelle [--help | --version]\n", ""},
        {{"orbelle", "--version"}, 0, "orbelle 1.0\n", ""},
        {{"orbelle", "--bogus"},
         2,
         "",
         "orbelle: unknown argument '--bogus' (try 'orbelle --help')\n"},
        {{"orbelle", "-h"}, 2, "", "orbelle: unknown argument '-h' (try 'orbelle --help')\n"},
        {{"orbelle", "--help", "x"},
         2,
         "",
         "orbelle: unknown argument 'x' (try 'orbelle --help')\n"},
        {{"orbelle", ""}, 2, "", "orbelle: unknown argument '' (try 'orbelle --help')\n"},
    };
    for (const Case& c : cases) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        ASSERT_TRUE(out && err);
        const int status =
            handleCommandLine(int(c.args.size()), const_cast<char**>(c.args.data()), out, err);
        EXPECT_EQ(status, c.status) << c.args.back();
        // The first line printed is enough here; the rest of the help is prose.
        const std::string printed = readBack(out);
        EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), c.out) << c.args.back();
        EXPECT_EQ(readBack(err), c.err) << c.args.back();
    }
}
